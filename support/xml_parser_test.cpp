#include "support/xml_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_util.h"

namespace Vadu {
namespace {

using Testing::Std;

// The tree a text parses into, shown as the writer's text.
std::string Tree(const char* text, bool stripPrefixes = false) {
  XMLParser parser;
  return Std(parser.Serialize(parser.Parse(text, stripPrefixes)));
}

TEST(XMLStripComments, RemovesEveryCopyOfEachComment) {
  const std::pair<const char*, const char*> cases[] = {
      {"<a><!-- c --><b/><!-- c --></a>", "<a><b/></a>"},
      {"<!<!--x-->--y-->z", "z"},   // a removal that joins a new comment
      {"a-->b<!--c-->d", "a-->b"},  // "-->" first: the comment runs to the end
      {"x--><!--y-->z", "x-->"},    // likewise right before it (no empty piece)
      {"open <!-- only", "open <!-- only"},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(Std(XMLParser::StripComments(text)), expected) << text;
}

TEST(XMLTokeniser, RecordsPositionsNamesAndAttributeTexts) {
  XMLParser parser;
  parser.Parse("<r k=\"v\"><e/>t</r ><\r\n a   b='1'  \t><c\td>");
  std::string seen;
  for (const TagInfo& t : parser.Tags())
    seen += (t.opening ? "+" : "-") + Std(t.name) + "[" + Std(t.attributeText) + "]" +
            std::to_string(t.start) + ":" + std::to_string(t.end) + " ";
  // A self-closing start tag ends at its "/", its end tag sits on the next character; only the
  // space separates a name.
  EXPECT_EQ(seen, "+r[k=\"v\"]0:8 +e[]9:11 -e[]12:12 -r[]14:18 +a[b='1']19:35 +c\td[]36:40 ");
}

TEST(XMLParse, BuildsTreesAsTheTagsMatch) {
  const std::pair<const char*, const char*> cases[] = {
      // Declarations, document types and CDATA markers are text.
      {"<?xml version=\"1.0\"?>\n<!DOCTYPE plist \"x//y\">\n<plist version=\"1.0\">\n<dict>\n"
       "\t<key>K</key>\n\t<string>Zentu Client</string>\n\t<string/>\n</dict>\n</plist>\n",
       "\n<plist version=\"1.0\">\n  <dict>\n    <key>K</key>\n    <string>Zentu Client</string>"
       "\n    <string />\n  </dict>\n</plist>"},
      {"<a><![CDATA[ 1 <b>2</b> ]]></a>", "\n<a>\n  <b>2</b>\n</a>"},
      {"<a><!-- c --><b>x<!-- <c/> -->y</b></a>", "\n<a>\n  <b>xy</b>\n</a>"},
      // Double quotes protect ">" and "/"; single quotes do not.
      {"<a h=\"x/y>z\">t</a>", "\n<a h=\"x/y&rt;z\">t</a>"},
      {"<a h='x/y'>t</a>", "\n<a />"},
      {"<a t='>'>x</a>", "\n<a>&apos;&rt;x</a>"},
      {"<a><a><a>1</a></a><a>2</a></a>", "\n<a>\n  <a>\n    <a>1</a>\n  </a>\n  <a>2</a>\n</a>"},
      {"<a>lead<b>1</b>tail</a>", "\n<a>\n  <b>1</b>\n</a>"},      // mixed content loses its text
      {"<a><b>x</c></a>", "\n<a />"},                              // mismatched end tag
      {"<r><a>1<b>2</b></r>", "\n<r />"},                          // first child unclosed
      {"<r><a>1</a><b>2<c>3</c></r>", "\n<r>\n  <a>1</a>\n</r>"},  // later sibling unclosed
      {"<r><a>1</A></r>", "\n<r />"},                              // names are case-sensitive
      {"<a><x/></a><b>2</b>", "\n<a>\n  <x />\n</a>"},  // two roots: the last tag ends the first
      {"<a>1</a><b>2</b>", "\n<a />"},
      {"<a>x</a><", "\n<a>x</a>"},
      {"<a>text without end", "\n<a />"},
      {"</z>", "\n<z />"},
      {"< ></ >", "\n< />"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(Tree(text), expected) << text;
  for (const char* text : {"", "<", "<a", "</", "<a b=\"open>", "plain", "<?pi?>", "<!x>"})
    EXPECT_EQ(Tree(text), "\n< />") << text;
}

TEST(XMLParse, LeafTextIsRawAndDecodedOnRequest) {
  XMLParser parser;
  XMLNode* root = parser.Parse("<a>x &lt; y &amp; z &gt; 'q' </a>");
  EXPECT_EQ(Std(root->GetText(false)), "x &lt; y &amp; z &gt; &apos;q&apos; ");
  EXPECT_EQ(Std(root->GetText()), "x < y & z &gt; 'q' ");
  root = parser.Parse("<a>&lt;b&rt; \"q\"</a>");
  EXPECT_EQ(Std(root->GetText(false)), "&amp;lt;b&amp;rt; &quot;q&quot;");
  EXPECT_EQ(Std(root->GetText()), "<b> \"q\"");
}

TEST(XMLParse, PrefixesAreStrippedOnlyWhenAsked) {
  const char* text = "<ns:root><ab:cdef/><a:b/><abc:d/><:abc/><x:y:zz/></ns:root>";
  EXPECT_EQ(Tree(text, true),
            "\n<root>\n  <cdef />\n  <a:b />\n  <abc:d />\n  <:abc />\n  <y:zz />\n</root>");
  EXPECT_EQ(Tree(text, false),
            "\n<ns:root>\n  <ab:cdef />\n  <a:b />\n  <abc:d />\n  <:abc />\n  <x:y:zz />"
            "\n</ns:root>");
}

TEST(XMLParse, EmptyTextKeepsThePreviousTreeAndANewParseReplacesIt) {
  XMLParser parser;
  XMLNode* root = parser.Parse("<a><b>1</b></a>");
  EXPECT_EQ(parser.Parse(""), root);
  EXPECT_EQ(Std(parser.Serialize(root)), "\n<a>\n  <b>1</b>\n</a>");
  EXPECT_EQ(parser.Parse("<c d=\"1\"/>"), root);
  EXPECT_EQ(Std(parser.Serialize(root)), "\n<c d=\"1\" />");
}

TEST(XMLParse, LongTagsAreKeptWholeAndDeepNestingIsCut) {
  std::string value(20000, 'v'), name(15000, 'n');
  std::string text = "<" + name + " a=\"" + value + "\" b=\"2\"></" + name + ">";
  XMLParser parser;
  XMLNode* root = parser.Parse(String(std::string_view(text)));
  EXPECT_EQ(Std(root->GetName()), name);
  EXPECT_EQ(Std(root->GetAttribute("a")), value);
  EXPECT_EQ(Std(root->GetAttribute("b")), "2");

  for (uint32_t levels : {XMLParser::kMaxDepth + 1, 50000u}) {
    text.clear();
    for (uint32_t i = 0; i < levels; ++i) text += "<e>";
    text += "x";
    for (uint32_t i = 0; i < levels; ++i) text += "</e>";
    const XMLNode* node = parser.Parse(String(std::string_view(text)));
    uint32_t depth = 0;
    for (; node->ChildCount() == 1; ++depth) node = node->Children()[0];
    EXPECT_EQ(depth, XMLParser::kMaxDepth);
    EXPECT_EQ(node->ChildCount(), 0u);
    // Within the limit the innermost text is there; cut off, the element at the limit is empty.
    EXPECT_EQ(Std(node->GetText()), levels == XMLParser::kMaxDepth + 1 ? "x" : "");
  }
}

TEST(XMLRoundTrip, WriterOutputReadsBackAndSettles) {
  const char* written =
      "\n<vendormark>\n  <oem>\n    <A>1</A>\n    <G k=\"v &amp; w\">"
      "\n      <B>x &amp; y</B>\n      <C />\n    </G>\n  </oem>\n</vendormark>";
  EXPECT_EQ(Tree(written), written);

  const char* samples[] = {
      "<?xml version=\"1.0\"?><!-- c --><r a='1' b=\"&quot;\"><x>1 &lt; 2</x>"
      "<y><z/><z>&amp;&rt;</z></y><w>it's \"q\" &gt;</w></r>",
      "<plist><dict><key>K</key><string>a > b</string></dict></plist>",
  };
  for (const char* sample : samples) {
    XMLParser first, second, third;
    XMLNode* a = first.Parse(sample);
    XMLNode* b = second.Parse(first.Serialize(a));
    // Raw leaf text is stored escaped: a ">" is written "&rt;", which, read back without "&amp;"
    // in it, is written "&amp;rt;" the next time; from then on the text is fixed. The decoded
    // texts, names and attributes stay the same throughout.
    EXPECT_EQ(Std(third.Serialize(third.Parse(second.Serialize(b)))), Std(second.Serialize(b)));
    std::vector<std::pair<const XMLNode*, const XMLNode*>> pending{{a, b}};
    while (!pending.empty()) {
      auto [x, y] = pending.back();
      pending.pop_back();
      EXPECT_EQ(Std(x->GetName()), Std(y->GetName()));
      EXPECT_EQ(x->GetAttributes(), y->GetAttributes());
      EXPECT_EQ(Std(x->GetText()), Std(y->GetText()));
      ASSERT_EQ(x->ChildCount(), y->ChildCount());
      for (size_t i = 0; i < x->ChildCount(); ++i)
        pending.emplace_back(x->Children()[i], y->Children()[i]);
    }
  }
}

}  // namespace
}  // namespace Vadu
