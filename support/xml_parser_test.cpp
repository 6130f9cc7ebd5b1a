#include "support/xml_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace Vadu {
namespace {

std::string Str(const String& s) { return std::string(s.ToView()); }

// Names of a node's children, for compact expectations.
std::vector<std::string> ChildNames(const XMLNode* node) {
  std::vector<std::string> names;
  for (const XMLNode* child : node->Children()) names.push_back(Str(child->GetName()));
  return names;
}

TEST(XMLStripComments, RemovesEveryCommentAndEveryCopyOfIt) {
  EXPECT_EQ(Str(XMLParser::StripComments("<a><!-- c --><b/><!-- c --></a>")), "<a><b/></a>");
  EXPECT_EQ(Str(XMLParser::StripComments("x<!-- one -->y<!-- two -->z")), "xyz");
  // Removing a comment can join the pieces of a new one, which goes too.
  EXPECT_EQ(Str(XMLParser::StripComments("<!<!--x-->--y-->z")), "z");
  EXPECT_EQ(Str(XMLParser::StripComments("no comments")), "no comments");
  EXPECT_EQ(Str(XMLParser::StripComments("open <!-- only")), "open <!-- only");
  EXPECT_EQ(Str(XMLParser::StripComments("close --> only")), "close --> only");
}

TEST(XMLStripComments, EndMarkerBeforeTheFirstCommentSwallowsTheRest) {
  EXPECT_EQ(Str(XMLParser::StripComments("a-->b<!--c-->d")), "a-->b");
  // The end marker right before the comment's start: the piece would be empty; it also runs to
  // the end rather than never shrinking the text.
  EXPECT_EQ(Str(XMLParser::StripComments("x--><!--y-->z")), "x-->");
}

TEST(XMLTokeniser, RecordsTagPositionsNamesAndAttributeTexts) {
  XMLParser parser;
  parser.Parse("<r k=\"v\"><e/>t</r >");
  const std::vector<TagInfo>& tags = parser.Tags();
  ASSERT_EQ(tags.size(), 4u);
  EXPECT_TRUE(tags[0].opening);
  EXPECT_EQ(tags[0].start, 0u);
  EXPECT_EQ(tags[0].end, 8u);
  EXPECT_EQ(Str(tags[0].name), "r");
  EXPECT_EQ(Str(tags[0].attributeText), "k=\"v\"");
  // A self-closing tag: the start tag ends at its "/", the end tag sits on the next character.
  EXPECT_TRUE(tags[1].opening);
  EXPECT_EQ(tags[1].start, 9u);
  EXPECT_EQ(tags[1].end, 11u);
  EXPECT_FALSE(tags[2].opening);
  EXPECT_EQ(tags[2].start, 12u);
  EXPECT_EQ(tags[2].end, 12u);
  EXPECT_EQ(Str(tags[2].name), "e");
  EXPECT_FALSE(tags[3].opening);
  EXPECT_EQ(tags[3].start, 14u);
  EXPECT_EQ(tags[3].end, 18u);
  EXPECT_EQ(Str(tags[3].name), "r");
}

TEST(XMLTokeniser, OnlyTheSpaceSeparatesTheNameAndBlanksAreTrimmed) {
  XMLParser parser;
  parser.Parse("<\r\n a   b='1'  \t><c\td>x</c\td></a>");
  const std::vector<TagInfo>& tags = parser.Tags();
  ASSERT_EQ(tags.size(), 4u);
  EXPECT_EQ(Str(tags[0].name), "a");
  EXPECT_EQ(Str(tags[0].attributeText), "b='1'");
  EXPECT_EQ(Str(tags[1].name), "c\td");
  EXPECT_TRUE(tags[1].attributeText.IsEmpty());
  EXPECT_EQ(Str(tags[2].name), "c\td");
}

TEST(XMLTokeniser, DoubleQuotesProtectTagEndsButSingleQuotesDoNot) {
  XMLParser parser;
  XMLNode* root = parser.Parse("<a href=\"x/y>z\">t</a>");
  EXPECT_EQ(Str(root->GetName()), "a");
  EXPECT_EQ(Str(root->GetAttribute("href")), "x/y>z");
  EXPECT_EQ(Str(root->GetText()), "t");

  // A "/" inside single quotes ends the tag as self-closing.
  root = parser.Parse("<a href='x/y'>t</a>");
  EXPECT_EQ(Str(root->GetName()), "a");
  EXPECT_EQ(Str(root->GetAttributeText()), "href='x");
  EXPECT_EQ(root->AttributeCount(), 0u);
  EXPECT_EQ(parser.Tags().size(), 3u);

  // So does a ">"; the rest of the tag becomes text.
  root = parser.Parse("<a t='>'>x</a>");
  EXPECT_EQ(Str(root->GetText()), "'>x");
  EXPECT_EQ(Str(root->GetText(false)), "&apos;&rt;x");
}

TEST(XMLTokeniser, LongTagsAreKeptWhole) {
  std::string value(20000, 'v');
  std::string name(15000, 'n');
  std::string text =
      "<" + name + " a=\"" + value + "\" b=\"2\"><x c=\"" + value + "\"/></" + name + ">";
  XMLParser parser;
  XMLNode* root = parser.Parse(String(std::string_view(text)));
  EXPECT_EQ(root->GetName().Length(), 15000u);
  EXPECT_EQ(Str(root->GetAttribute("a")), value);
  EXPECT_EQ(Str(root->GetAttribute("b")), "2");
  ASSERT_EQ(root->ChildCount(), 1u);
  EXPECT_EQ(Str(root->Children()[0]->GetAttribute("c")), value);
}

TEST(XMLParse, SkipsDeclarationAndDocumentTypeAndReadsAPropertyList) {
  const char* plist =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n"
      "<dict>\n"
      "\t<key>CFBundleName</key>\n"
      "\t<string>Zentu Client</string>\n"
      "\t<key>CFBundleShortVersionString</key>\n"
      "\t<string>1.2.3</string>\n"
      "\t<key>Empty</key>\n"
      "\t<string/>\n"
      "</dict>\n"
      "</plist>\n";
  XMLParser parser;
  XMLNode* root = parser.Parse(plist);
  EXPECT_EQ(Str(root->GetName()), "plist");
  EXPECT_EQ(Str(root->GetAttribute("version")), "1.0");
  ASSERT_EQ(root->ChildCount(), 1u);
  XMLNode* dict = root->FindChild("dict");
  ASSERT_NE(dict, nullptr);
  EXPECT_EQ(ChildNames(dict),
            (std::vector<std::string>{"key", "string", "key", "string", "key", "string"}));
  EXPECT_EQ(Str(dict->FindChild("string", 0)->GetText()), "Zentu Client");
  EXPECT_EQ(Str(dict->FindChild("key", 1)->GetText()), "CFBundleShortVersionString");
  EXPECT_TRUE(dict->FindChild("string", 2)->GetText().IsEmpty());
  EXPECT_EQ(Str(parser.Serialize(root, 0)),
            "\n<plist version=\"1.0\">"
            "\n  <dict>"
            "\n    <key>CFBundleName</key>"
            "\n    <string>Zentu Client</string>"
            "\n    <key>CFBundleShortVersionString</key>"
            "\n    <string>1.2.3</string>"
            "\n    <key>Empty</key>"
            "\n    <string />"
            "\n  </dict>"
            "\n</plist>");
}

TEST(XMLParse, CommentsAreRemovedBeforeTokenising) {
  XMLParser parser;
  XMLNode* root = parser.Parse("<a><!-- c --><b>x<!-- in <c>tag</c> -->y</b><!-- c --></a>");
  EXPECT_EQ(Str(parser.Input()), "<a><b>xy</b></a>");
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"b"}));
  EXPECT_EQ(Str(root->Children()[0]->GetText()), "xy");
}

TEST(XMLParse, LeafTextIsRawAndDecodedOnlyOnRequest) {
  XMLParser parser;
  XMLNode* root = parser.Parse("<a>x &lt; y &amp; z &gt; w\n  'q' </a>");
  EXPECT_EQ(Str(root->GetText(false)), "x &lt; y &amp; z &gt; w\n  &apos;q&apos; ");
  EXPECT_EQ(Str(root->GetText()), "x < y & z &gt; w\n  'q' ");

  // Without "&amp;" in it the raw text is stored escaped, so references still decode once.
  root = parser.Parse("<a>&lt;b&rt; \"q\"</a>");
  EXPECT_EQ(Str(root->GetText(false)), "&amp;lt;b&amp;rt; &quot;q&quot;");
  EXPECT_EQ(Str(root->GetText()), "<b> \"q\"");
}

TEST(XMLParse, SelfClosingElementsAndCDataMarkers) {
  XMLParser parser;
  XMLNode* root = parser.Parse("<r><e/><f a=\"1\" /></r>");
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"e", "f"}));
  EXPECT_TRUE(root->Children()[0]->GetText(false).IsEmpty());
  EXPECT_EQ(Str(root->Children()[1]->GetAttribute("a")), "1");

  // "<!" opens no tag, but a "<" and a letter inside the section do.
  root = parser.Parse("<a><![CDATA[ 1 <b>2</b> ]]></a>");
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"b"}));
  EXPECT_EQ(Str(root->Children()[0]->GetText()), "2");
  EXPECT_TRUE(root->GetText(false).IsEmpty());
}

TEST(XMLParse, MatchesNestedElementsOfTheSameName) {
  XMLParser parser;
  XMLNode* root = parser.Parse("<a><a><a>1</a></a><a>2</a></a>");
  ASSERT_EQ(ChildNames(root), (std::vector<std::string>{"a", "a"}));
  XMLNode* first = root->Children()[0];
  ASSERT_EQ(first->ChildCount(), 1u);
  EXPECT_EQ(Str(first->Children()[0]->GetText()), "1");
  EXPECT_EQ(Str(root->Children()[1]->GetText()), "2");
  EXPECT_EQ(first->GetParent(), root);
}

TEST(XMLParse, MixedContentLosesItsText) {
  XMLParser parser;
  XMLNode* root = parser.Parse("<a>lead<b>1</b>tail</a>");
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"b"}));
  EXPECT_TRUE(root->GetText(false).IsEmpty());
}

TEST(XMLParse, UnmatchedTagsCutTheChildren) {
  XMLParser parser;
  // An end tag of another name: the enclosing element gets no children.
  XMLNode* root = parser.Parse("<a><b>x</c></a>");
  EXPECT_EQ(Str(root->GetName()), "a");
  EXPECT_EQ(root->ChildCount(), 0u);
  // The first child without an end tag: no children at all.
  root = parser.Parse("<r><a>1<b>2</b></r>");
  EXPECT_EQ(root->ChildCount(), 0u);
  // A later sibling without an end tag ends the list there.
  root = parser.Parse("<r><a>1</a><b>2<c>3</c></r>");
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"a"}));
  // Names are case-sensitive.
  root = parser.Parse("<r><a>1</A></r>");
  EXPECT_EQ(root->ChildCount(), 0u);
}

TEST(XMLParse, TwoRootsTakeTheFirstStartTagAndTheLastTag) {
  XMLParser parser;
  XMLNode* root = parser.Parse("<a><x/></a><b>2</b>");
  EXPECT_EQ(Str(root->GetName()), "a");
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"x"}));
  root = parser.Parse("<a>1</a><b>2</b>");
  EXPECT_EQ(Str(root->GetName()), "a");
  EXPECT_EQ(root->ChildCount(), 0u);
  EXPECT_TRUE(root->GetText(false).IsEmpty());
}

TEST(XMLParse, TruncatedAndDegenerateInputsGiveWhatTheTagsAllow) {
  XMLParser parser;
  XMLNode* root = parser.Parse("<a>x</a><");
  EXPECT_EQ(Str(root->GetName()), "a");
  EXPECT_EQ(Str(root->GetText()), "x");
  EXPECT_EQ(parser.Tags().size(), 2u);

  for (const char* text : {"<", "<a", "</", "<a b=\"unclosed>", "plain text", "<?pi?>", "<!x>"}) {
    root = parser.Parse(text);
    EXPECT_TRUE(parser.Tags().empty()) << text;
    EXPECT_TRUE(root->GetName().IsEmpty()) << text;
    EXPECT_EQ(root->ChildCount(), 0u) << text;
  }

  // One tag only: it names the root.
  root = parser.Parse("<a>text without end");
  EXPECT_EQ(Str(root->GetName()), "a");
  EXPECT_TRUE(root->GetText(false).IsEmpty());
  root = parser.Parse("</z>");
  EXPECT_EQ(Str(root->GetName()), "z");
  // Empty names.
  root = parser.Parse("< ></ >");
  EXPECT_TRUE(root->GetName().IsEmpty());
  EXPECT_EQ(parser.Tags().size(), 2u);
}

TEST(XMLParse, PrefixesAreStrippedOnlyWhenAsked) {
  const char* text =
      "<ns:root><ab:cdef>1</ab:cdef><a:b>2</a:b><abc:d>3</abc:d><:abc>4</:abc>"
      "<x:y:zz>5</x:y:zz></ns:root>";
  XMLParser parser;
  XMLNode* root = parser.Parse(text, true);
  EXPECT_EQ(Str(root->GetName()), "root");
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"cdef", "a:b", "abc:d", ":abc", "y:zz"}));
  root = parser.Parse(text, false);
  EXPECT_EQ(Str(root->GetName()), "ns:root");
  EXPECT_EQ(ChildNames(root),
            (std::vector<std::string>{"ab:cdef", "a:b", "abc:d", ":abc", "x:y:zz"}));
}

TEST(XMLParse, EmptyTextKeepsThePreviousResult) {
  XMLParser fresh;
  XMLNode* empty = fresh.Parse("");
  EXPECT_TRUE(empty->GetName().IsEmpty());
  EXPECT_EQ(empty->ChildCount(), 0u);

  XMLParser parser;
  XMLNode* root = parser.Parse("<a><b>1</b></a>");
  EXPECT_EQ(parser.Parse(""), root);
  EXPECT_EQ(Str(root->GetName()), "a");
  ASSERT_EQ(root->ChildCount(), 1u);
  EXPECT_EQ(Str(root->Children()[0]->GetText()), "1");

  // A new parse replaces the whole tree.
  EXPECT_EQ(parser.Parse("<c d=\"1\"/>"), root);
  EXPECT_EQ(Str(root->GetName()), "c");
  EXPECT_EQ(root->ChildCount(), 0u);
  EXPECT_EQ(Str(root->GetAttribute("d")), "1");
}

TEST(XMLParse, DeepNestingIsCutAtTheDepthLimit) {
  const uint32_t kLevels = 50000;
  std::string text;
  for (uint32_t i = 0; i < kLevels; ++i) text += "<e>";
  text += "x";
  for (uint32_t i = 0; i < kLevels; ++i) text += "</e>";
  XMLParser parser;
  const XMLNode* node = parser.Parse(String(std::string_view(text)));
  uint32_t depth = 0;
  while (node->ChildCount() == 1) {
    node = node->Children()[0];
    ++depth;
  }
  EXPECT_EQ(depth, XMLParser::kMaxDepth);
  EXPECT_EQ(node->ChildCount(), 0u);
  EXPECT_TRUE(node->GetText(false).IsEmpty());

  // Within the limit nothing is lost.
  text.clear();
  for (uint32_t i = 0; i < XMLParser::kMaxDepth + 1; ++i) text += "<e>";
  text += "x";
  for (uint32_t i = 0; i < XMLParser::kMaxDepth + 1; ++i) text += "</e>";
  node = parser.Parse(String(std::string_view(text)));
  depth = 0;
  while (node->ChildCount() == 1) {
    node = node->Children()[0];
    ++depth;
  }
  EXPECT_EQ(depth, XMLParser::kMaxDepth);
  EXPECT_EQ(Str(node->GetText()), "x");
}

TEST(XMLRoundTrip, WriterOutputParsesBackToTheSameText) {
  const char* text =
      "\n<vendormark>"
      "\n  <oem>"
      "\n    <A>1</A>"
      "\n    <G k=\"v &amp; w\">"
      "\n      <B>x &amp; y</B>"
      "\n      <C />"
      "\n    </G>"
      "\n  </oem>"
      "\n</vendormark>";
  XMLParser parser;
  XMLNode* root = parser.Parse(text);
  EXPECT_EQ(Str(parser.Serialize(root)), text);
  EXPECT_EQ(Str(root->FindChild("oem")->FindChild("G")->GetAttribute("k")), "v & w");
}

TEST(XMLRoundTrip, SerialisingAParsedDocumentSettlesAfterTwoRounds) {
  const char* samples[] = {
      "<?xml version=\"1.0\"?><!-- c --><root a='1' b=\"&quot;\"><x>1 &lt; 2</x>"
      "<y><z/><z>&amp;&rt;</z></y><w>it's \"q\" &gt;</w></root>",
      "<plist version=\"1.0\"><dict><key>K</key><string>a > b</string></dict></plist>",
      "<r>\n  <t>  spaced  text  </t>\n</r>",
  };
  for (const char* sample : samples) {
    XMLParser parser;
    String once = parser.Serialize(parser.Parse(sample));
    EXPECT_FALSE(once.IsEmpty());
    String twice = parser.Serialize(parser.Parse(once));
    String thrice = parser.Serialize(parser.Parse(twice));
    // Raw leaf text is stored escaped, so a ">" becomes "&rt;" on the first write and, read
    // back without "&amp;" in it, "&amp;rt;" on the second; from then on the text is fixed.
    EXPECT_EQ(Str(thrice), Str(twice)) << sample;
  }
}

TEST(XMLRoundTrip, ReparsingTheWriterOutputKeepsNamesAttributesAndDecodedTexts) {
  XMLParser first;
  XMLNode* a = first.Parse(
      "<r v=\"&lt;x&rt; &apos;\"><k>&lt;tag&rt;</k><k>a &amp; b</k><e/><g><h>&quot;</h></g></r>");
  XMLParser second;
  XMLNode* b = second.Parse(first.Serialize(a));
  std::vector<std::pair<const XMLNode*, const XMLNode*>> pending{{a, b}};
  while (!pending.empty()) {
    auto [x, y] = pending.back();
    pending.pop_back();
    EXPECT_EQ(Str(x->GetName()), Str(y->GetName()));
    EXPECT_EQ(x->GetAttributes(), y->GetAttributes());
    EXPECT_EQ(Str(x->GetText()), Str(y->GetText()));
    ASSERT_EQ(x->ChildCount(), y->ChildCount());
    for (size_t i = 0; i < x->ChildCount(); ++i)
      pending.emplace_back(x->Children()[i], y->Children()[i]);
  }
}

}  // namespace
}  // namespace Vadu
