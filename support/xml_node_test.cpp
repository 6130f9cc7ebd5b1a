#include "support/xml_node.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace Vadu {
namespace {

std::string Str(const String& s) { return std::string(s.ToView()); }

TEST(XMLEscape, EncodesTheFiveCharactersWithTheSystemsOwnReferences) {
  EXPECT_EQ(Str(EscapeText("a<b", true)), "a&lt;b");
  EXPECT_EQ(Str(EscapeText("a>b", true)), "a&rt;b");
  EXPECT_EQ(Str(EscapeText("a&b", true)), "a&amp;b");
  EXPECT_EQ(Str(EscapeText("it's", true)), "it&apos;s");
  EXPECT_EQ(Str(EscapeText("say \"hi\"", true)), "say &quot;hi&quot;");
  // Ampersands are escaped before the other references are written.
  EXPECT_EQ(Str(EscapeText("&<>'\"", true)), "&amp;&lt;&rt;&apos;&quot;");
  EXPECT_EQ(Str(EscapeText("", true)), "");
  EXPECT_EQ(Str(EscapeText("plain text", true)), "plain text");
}

TEST(XMLEscape, TextAlreadyHoldingAmpEntityKeepsEveryAmpersand) {
  EXPECT_EQ(Str(EscapeText("a &amp; b & c", true)), "a &amp; b & c");
  EXPECT_EQ(Str(EscapeText("&amp;<", true)), "&amp;&lt;");
}

TEST(XMLEscape, DecodesOnlyTheFiveReferencesAmpFirst) {
  EXPECT_EQ(Str(EscapeText("&lt;&rt;&apos;&quot;&amp;", false)), "<>'\"&");
  // The standard reference for ">" and numeric references stay literal.
  EXPECT_EQ(Str(EscapeText("a &gt; b &#65; &#x41;", false)), "a &gt; b &#65; &#x41;");
  // "&amp;" is decoded first, so a following "lt;" then makes a "<".
  EXPECT_EQ(Str(EscapeText("&amp;lt;", false)), "<");
  // One pass per reference: a doubled "&amp;" loses one level only.
  EXPECT_EQ(Str(EscapeText("&amp;amp;", false)), "&amp;");
  EXPECT_EQ(Str(EscapeText("&", false)), "&");
}

TEST(XMLEscape, EncodeThenDecodeRestoresTextHoldingNoReferences) {
  const char* samples[] = {"", "x", "<tag attr='v'>&\"</tag>", "a > b && c < d",
                           "\xC3\xA9 & \xE2\x82\xAC"};
  for (const char* sample : samples)
    EXPECT_EQ(Str(EscapeText(EscapeText(sample, true), false)), sample) << sample;
  // Every single byte value, alone and between letters.
  for (int b = 1; b < 256; ++b) {
    String one(static_cast<char>(b));
    EXPECT_EQ(EscapeText(EscapeText(one, true), false), one) << b;
    String wrapped = String("x") + one + String("y");
    EXPECT_EQ(EscapeText(EscapeText(wrapped, true), false), wrapped) << b;
  }
}

TEST(XMLAttributes, ParsesQuotedPairsInEitherQuoteStyle) {
  XMLAttributes a = ParseAttributes("version=\"1.0\" encoding='UTF-8'");
  ASSERT_EQ(a.size(), 2u);
  EXPECT_EQ(Str(a["version"]), "1.0");
  EXPECT_EQ(Str(a["encoding"]), "UTF-8");

  // Values may hold "=", spaces and the other quote; names are trimmed of blanks.
  a = ParseAttributes("\r\n\tkey \t= \"a = 'b'\"  \n other='x\"y'");
  ASSERT_EQ(a.size(), 2u);
  EXPECT_EQ(Str(a["key"]), "a = 'b'");
  EXPECT_EQ(Str(a["other"]), "x\"y");

  // Empty values are values.
  a = ParseAttributes("e=\"\"");
  ASSERT_EQ(a.size(), 1u);
  EXPECT_TRUE(a["e"].IsEmpty());
}

TEST(XMLAttributes, MismatchedOrUnterminatedTextGivesNoAttributes) {
  EXPECT_TRUE(ParseAttributes("a=\"1\" b=2").empty());    // unquoted value spoils everything
  EXPECT_TRUE(ParseAttributes("a=\"1\" b=\"2").empty());  // unterminated quote
  EXPECT_TRUE(ParseAttributes("\"1\" a=\"2\"").empty());  // a value without "="
  EXPECT_TRUE(ParseAttributes("no pairs here").empty());
  EXPECT_TRUE(ParseAttributes("").empty());
}

TEST(XMLAttributes, PairsWithoutUsableNameAreSkippedAndLaterDuplicatesWin) {
  XMLAttributes a = ParseAttributes("=\"1\" b=\"2\"");  // "=" at the start: no name
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(Str(a["b"]), "2");

  a = ParseAttributes("a=\"1\"  =\"2\"");  // blank name
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(Str(a["a"]), "1");

  // Both "=" signs come before the first value: the second name region starts after that value,
  // past its "=", so only the first pair is made.
  a = ParseAttributes("a= b= \"x\" \"y\"");
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(Str(a["a"]), "x");

  a = ParseAttributes("k=\"first\" k='second'");
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(Str(a["k"]), "second");
}

TEST(XMLNodeFields, TextIsStoredEscapedAndReturnedDecodedOnRequest) {
  XMLNode node;
  node.SetName("item");
  node.SetComment("raw <comment> & all");
  node.SetText("a < b & c");
  EXPECT_EQ(Str(node.GetName()), "item");
  EXPECT_EQ(Str(node.GetComment()), "raw <comment> & all");
  EXPECT_EQ(Str(node.GetText(false)), "a &lt; b &amp; c");
  EXPECT_EQ(Str(node.GetText(true)), "a < b & c");
  EXPECT_EQ(Str(node.GetText()), "a < b & c");
}

TEST(XMLNodeFields, AttributeTextIsParsedAndDecoded) {
  XMLNode node;
  node.SetAttributeText("z=\"&lt;last&rt;\" a='&amp;first'");
  EXPECT_EQ(Str(node.GetAttributeText()), "z=\"&lt;last&rt;\" a='&amp;first'");
  ASSERT_EQ(node.AttributeCount(), 2u);
  EXPECT_EQ(Str(node.AttributeNameAt(0)), "a");
  EXPECT_EQ(Str(node.AttributeValueAt(0)), "&first");
  EXPECT_EQ(Str(node.AttributeNameAt(1)), "z");
  EXPECT_EQ(Str(node.AttributeValueAt(1)), "<last>");
  EXPECT_TRUE(node.AttributeNameAt(2).IsEmpty());
  EXPECT_TRUE(node.AttributeValueAt(2).IsEmpty());
  EXPECT_EQ(Str(node.GetAttribute("z")), "<last>");
  EXPECT_TRUE(node.GetAttribute("missing").IsEmpty());

  // A new attribute text replaces the whole map.
  node.SetAttributeText("only=\"1\"");
  EXPECT_EQ(node.AttributeCount(), 1u);
  EXPECT_TRUE(node.GetAttribute("a").IsEmpty());
}

TEST(XMLNodeFields, AddAttributeKeepsAnExistingValueAndStoresValuesUnchanged) {
  XMLNode node;
  node.AddAttribute("b", "&lt;");
  node.AddAttribute("a", "1");
  node.AddAttribute("b", "other");
  XMLAttributes all = node.GetAttributes();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(Str(all["b"]), "&lt;");
  // Names are ordered byte-wise, a shorter prefix first, upper case before lower case.
  node.AddAttribute("B", "x");
  node.AddAttribute("aa", "y");
  EXPECT_EQ(Str(node.AttributeNameAt(0)), "B");
  EXPECT_EQ(Str(node.AttributeNameAt(1)), "a");
  EXPECT_EQ(Str(node.AttributeNameAt(2)), "aa");
  EXPECT_EQ(Str(node.AttributeNameAt(3)), "b");
}

TEST(XMLNodeTree, AppendChildRefusesNullParentedAndCyclicNodes) {
  XMLNode root, a, b, c;
  EXPECT_FALSE(root.AppendChild(nullptr));
  EXPECT_TRUE(root.AppendChild(&a));
  EXPECT_EQ(a.GetParent(), &root);
  EXPECT_FALSE(root.AppendChild(&a));  // already has a parent
  XMLNode other;
  EXPECT_FALSE(other.AppendChild(&a));
  EXPECT_TRUE(a.AppendChild(&b));
  EXPECT_FALSE(b.AppendChild(&b));     // itself
  EXPECT_FALSE(b.AppendChild(&root));  // an ancestor
  EXPECT_TRUE(b.AppendChild(&c));
  EXPECT_EQ(root.ChildCount(), 1u);
  EXPECT_EQ(b.ChildCount(), 1u);
  EXPECT_EQ(c.GetParent(), &b);
}

TEST(XMLNodeTree, FindsChildrenByExactNameInOrder) {
  XMLNode root, k1, v1, k2, v2, K;
  k1.SetName("key");
  v1.SetName("string");
  k2.SetName("key");
  v2.SetName("string");
  K.SetName("Key");
  for (XMLNode* n : {&k1, &v1, &k2, &v2, &K}) ASSERT_TRUE(root.AppendChild(n));
  EXPECT_EQ(root.FindChild("key"), &k1);
  EXPECT_EQ(root.FindChild("key", 1), &k2);
  EXPECT_EQ(root.FindChild("key", 2), nullptr);
  EXPECT_EQ(root.FindChild("Key"), &K);
  EXPECT_EQ(root.FindChild("KEY"), nullptr);
  EXPECT_EQ(root.ChildrenByName("string"), (std::vector<XMLNode*>{&v1, &v2}));
  EXPECT_TRUE(root.ChildrenByName("none").empty());
  EXPECT_EQ(root.Children(), (std::vector<XMLNode*>{&k1, &v1, &k2, &v2, &K}));
}

TEST(XMLNodeTree, ClearEmptiesAllButTheCommentAndDetachesChildren) {
  XMLNode root, child;
  root.SetName("r");
  root.SetComment("kept");
  root.SetText("t");
  root.SetAttributeText("a=\"1\"");
  ASSERT_TRUE(root.AppendChild(&child));
  root.Clear();
  EXPECT_TRUE(root.GetName().IsEmpty());
  EXPECT_TRUE(root.GetText(false).IsEmpty());
  EXPECT_TRUE(root.GetAttributeText().IsEmpty());
  EXPECT_EQ(root.AttributeCount(), 0u);
  EXPECT_EQ(root.ChildCount(), 0u);
  EXPECT_EQ(Str(root.GetComment()), "kept");
  EXPECT_EQ(child.GetParent(), nullptr);
  // A detached node may be attached again.
  XMLNode other;
  EXPECT_TRUE(other.AppendChild(&child));
}

TEST(XMLNodeTree, DestroyingANodeDetachesBothWays) {
  XMLNode child;
  {
    XMLNode parent;
    ASSERT_TRUE(parent.AppendChild(&child));
  }
  EXPECT_EQ(child.GetParent(), nullptr);

  XMLNode parent;
  XMLNode first;
  ASSERT_TRUE(parent.AppendChild(&first));
  {
    XMLNode second;
    ASSERT_TRUE(parent.AppendChild(&second));
    EXPECT_EQ(parent.ChildCount(), 2u);
  }
  EXPECT_EQ(parent.Children(), (std::vector<XMLNode*>{&first}));
}

TEST(XMLWriter, WritesNestedTreeWithCommentsAttributesTextAndEmptyElements) {
  XMLNode root, group, item, empty, mixed, leaf;
  root.SetName("vendormark");
  root.SetComment("top");
  group.SetName("oem");
  group.AddAttribute("b", "2");
  group.AddAttribute("a", "1");
  item.SetName("Name");
  item.SetText("A & B <x>");
  item.SetComment("line one\nline two");
  empty.SetName("Empty");
  mixed.SetName("Mixed");
  mixed.SetText("lead");
  leaf.SetName("Leaf");
  leaf.SetText("v");
  ASSERT_TRUE(root.AppendChild(&group));
  ASSERT_TRUE(group.AppendChild(&item));
  ASSERT_TRUE(group.AppendChild(&empty));
  ASSERT_TRUE(group.AppendChild(&mixed));
  ASSERT_TRUE(mixed.AppendChild(&leaf));
  EXPECT_EQ(Str(SerializeNode(&root, 0)),
            "\n<!-- top -->"
            "\n<vendormark>"
            "\n  <oem a=\"1\" b=\"2\">"
            "\n    <!-- line one"
            "\n    line two -->"
            "\n    <Name>A &amp; B &lt;x&rt;</Name>"
            "\n    <Empty />"
            "\n    <Mixed>lead"
            "\n      <Leaf>v</Leaf>"
            "\n    </Mixed>"
            "\n  </oem>"
            "\n</vendormark>");
  // A subtree at a given depth.
  EXPECT_EQ(Str(SerializeNode(&leaf, 1)), "\n  <Leaf>v</Leaf>");
  EXPECT_EQ(Str(SerializeNode(&empty, 0)), "\n<Empty />");
  EXPECT_TRUE(SerializeNode(nullptr, 3).IsEmpty());
}

TEST(XMLWriter, CommentCarriageReturnStaysBeforeTheNewIndentation) {
  XMLNode node;
  node.SetName("n");
  node.SetComment("a\r\nb");
  EXPECT_EQ(Str(SerializeNode(&node, 1)), "\n  <!-- a\r\n  b -->\n  <n />");
}

TEST(XMLWriter, IndentationIsCappedAtFiftySpaces) {
  XMLNode node;
  node.SetName("d");
  std::string fifty(50, ' ');
  EXPECT_EQ(Str(SerializeNode(&node, 25)), "\n" + fifty + "<d />");
  EXPECT_EQ(Str(SerializeNode(&node, 30)), "\n" + fifty + "<d />");
  EXPECT_EQ(Str(SerializeNode(&node, 24)), "\n" + std::string(48, ' ') + "<d />");
  EXPECT_EQ(Str(SerializeNode(&node, 0xFFFFFFFFu)), "\n" + fifty + "<d />");
}

TEST(XMLWriter, AttributeValuesAreEscapedSoTheyReadBack) {
  XMLNode node;
  node.SetName("n");
  node.SetAttributeText("q='say \"hi\"' lt=\"&lt;\"");
  ASSERT_EQ(Str(node.GetAttribute("q")), "say \"hi\"");
  EXPECT_EQ(Str(SerializeNode(&node, 0)), "\n<n lt=\"&lt;\" q=\"say &quot;hi&quot;\" />");
  XMLNode reread;
  reread.SetAttributeText("lt=\"&lt;\" q=\"say &quot;hi&quot;\"");
  EXPECT_EQ(reread.GetAttributes(), node.GetAttributes());
}

TEST(XMLWriter, VeryDeepTreesAreWrittenWithoutRecursion) {
  const int kDepth = 100000;
  std::vector<std::unique_ptr<XMLNode>> nodes;
  for (int i = 0; i < kDepth; ++i) {
    nodes.push_back(std::make_unique<XMLNode>());
    nodes.back()->SetName("e");
  }
  // Bottom-up, so that each parent is still a root when it takes its child.
  for (int i = kDepth - 1; i > 0; --i) {
    ASSERT_TRUE(nodes[i - 1]->AppendChild(nodes[i].get()));
  }
  nodes.back()->SetText("x");
  String text = SerializeNode(nodes.front().get(), 0);
  // Each level is written as "\n" + indent + "<e>" and, but the innermost, "\n" + indent + "</e>".
  uint64_t expected = 0;
  for (int i = 0; i < kDepth; ++i) {
    uint64_t indent = i >= 25 ? 50 : 2 * i;
    expected += 1 + indent + 3;
    expected += i + 1 == kDepth ? 1 + 4 : 1 + indent + 4;
  }
  EXPECT_EQ(text.Length(), expected);
  EXPECT_TRUE(text.EndsWith("\n</e>"));
}

}  // namespace
}  // namespace Vadu
