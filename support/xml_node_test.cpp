#include "support/xml_node.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/test_util.h"

namespace Vadu {
namespace {

using Testing::Std;

std::string Render(const XMLAttributes& attributes) {
  std::string out;
  for (const auto& [name, value] : attributes) out += Std(name) + "=" + Std(value) + ";";
  return out;
}

TEST(XMLEscape, EncodesAndDecodesWithTheSystemsOwnReferences) {
  const std::pair<const char*, const char*> encoded[] = {
      {"a<b>c", "a&lt;b&rt;c"},
      {"&'\"", "&amp;&apos;&quot;"},
      {"a &amp; b & c", "a &amp; b & c"},  // holding "&amp;": every "&" stays
      {"", ""},
  };
  for (const auto& [text, expected] : encoded) EXPECT_EQ(Std(EscapeText(text, true)), expected);
  const std::pair<const char*, const char*> decoded[] = {
      {"&lt;&rt;&apos;&quot;&amp;", "<>'\"&"},
      {"&gt; &#65; &#x41;", "&gt; &#65; &#x41;"},  // no other reference is known
      {"&amp;lt;", "<"},                           // "&amp;" goes first
      {"&amp;amp;", "&amp;"},                      // one pass per reference
  };
  for (const auto& [text, expected] : decoded) EXPECT_EQ(Std(EscapeText(text, false)), expected);
  for (int b = 1; b < 256; ++b) {
    String text = String("x") + String(static_cast<char>(b)) + String("<y>");
    EXPECT_EQ(EscapeText(EscapeText(text, true), false), text) << b;
  }
}

TEST(XMLAttributes, PairsQuotedValuesWithTheirNamesOrGivesNothing) {
  const std::pair<const char*, const char*> cases[] = {
      {"version=\"1.0\" encoding='UTF-8'", "encoding=UTF-8;version=1.0;"},
      {"\r\n\tk \t= \"a = 'b'\"  o='x\"y'", "k=a = 'b';o=x\"y;"},
      {"e=\"\"", "e=;"},
      {"k=\"first\" k='second'", "k=second;"},  // the later value wins
      {"=\"1\" b=\"2\"", "b=2;"},               // "=" at the start: no name
      {"a=\"1\"  =\"2\"", "a=1;"},              // blank name
      {"a= b= \"x\" \"y\"", "a=x;"},            // second name region lies past its "="
      {"a=\"1\" b=2", ""},                      // an unquoted value spoils everything
      {"a=\"1\" b=\"2", ""},                    // unterminated quote
      {"\"1\" a=\"2\"", ""},                    // a value without "="
      {"no pairs", ""},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(Render(ParseAttributes(text)), expected) << text;
}

TEST(XMLNodeFields, TextIsStoredEscapedAndAttributesDecoded) {
  XMLNode node;
  node.SetText("a < b & c");
  EXPECT_EQ(Std(node.GetText(false)), "a &lt; b &amp; c");
  EXPECT_EQ(Std(node.GetText()), "a < b & c");

  node.SetAttributeText("z=\"&lt;last&rt;\" a='&amp;first'");
  EXPECT_EQ(Std(node.GetAttributeText()), "z=\"&lt;last&rt;\" a='&amp;first'");
  EXPECT_EQ(Render(node.GetAttributes()), "a=&first;z=<last>;");
  EXPECT_EQ(Std(node.AttributeNameAt(1)), "z");
  EXPECT_EQ(Std(node.AttributeValueAt(1)), "<last>");
  EXPECT_TRUE(node.AttributeNameAt(2).IsEmpty());
  EXPECT_TRUE(node.AttributeValueAt(2).IsEmpty());
  EXPECT_TRUE(node.GetAttribute("missing").IsEmpty());

  // Added pairs are stored as given; an existing name keeps its value.
  node.AddAttribute("a", "other");
  node.AddAttribute("B", "&lt;");
  EXPECT_EQ(Render(node.GetAttributes()), "B=&lt;;a=&first;z=<last>;");
  node.SetAttributeText("only=\"1\"");
  EXPECT_EQ(Render(node.GetAttributes()), "only=1;");
}

TEST(XMLNodeTree, AppendFindClearAndDestroy) {
  XMLNode root, a, b, c;
  a.SetName("key");
  b.SetName("string");
  c.SetName("key");
  EXPECT_FALSE(root.AppendChild(nullptr));
  EXPECT_TRUE(root.AppendChild(&a));
  EXPECT_FALSE(root.AppendChild(&a));  // already has a parent
  EXPECT_TRUE(root.AppendChild(&b));
  EXPECT_TRUE(root.AppendChild(&c));
  EXPECT_FALSE(a.AppendChild(&a));     // itself
  EXPECT_FALSE(a.AppendChild(&root));  // an ancestor
  EXPECT_EQ(a.GetParent(), &root);
  EXPECT_EQ(root.FindChild("key", 1), &c);
  EXPECT_EQ(root.FindChild("key", 2), nullptr);
  EXPECT_EQ(root.FindChild("KEY"), nullptr);
  EXPECT_EQ(root.ChildrenByName("key"), (std::vector<XMLNode*>{&a, &c}));
  {
    XMLNode transient;
    ASSERT_TRUE(root.AppendChild(&transient));
    EXPECT_EQ(root.ChildCount(), 4u);
  }
  EXPECT_EQ(root.Children(), (std::vector<XMLNode*>{&a, &b, &c}));

  root.SetName("r");
  root.SetComment("kept");
  root.SetText("t");
  root.SetAttributeText("x=\"1\"");
  root.Clear();
  EXPECT_TRUE(root.GetName().IsEmpty() && root.GetText().IsEmpty());
  EXPECT_TRUE(root.GetAttributeText().IsEmpty() && root.GetAttributes().empty());
  EXPECT_EQ(Std(root.GetComment()), "kept");
  EXPECT_EQ(root.ChildCount(), 0u);
  EXPECT_EQ(a.GetParent(), nullptr);

  {
    XMLNode parent;
    ASSERT_TRUE(parent.AppendChild(&a));
  }
  EXPECT_EQ(a.GetParent(), nullptr);
}

TEST(XMLWriter, WritesNestedTreeByteForByte) {
  XMLNode root, group, item, empty, mixed, leaf;
  root.SetName("vendormark");
  root.SetComment("top");
  group.SetName("oem");
  group.AddAttribute("b", "2");
  group.AddAttribute("a", "say \"<hi>\"");
  item.SetName("Name");
  item.SetText("A & B <x>");
  item.SetComment("line one\r\nline two");
  empty.SetName("Empty");
  mixed.SetName("Mixed");
  mixed.SetText("lead");
  leaf.SetName("Leaf");
  leaf.SetText("v");
  for (auto [parent, child] : {std::pair{&root, &group},
                               {&group, &item},
                               {&group, &empty},
                               {&group, &mixed},
                               {&mixed, &leaf}})
    ASSERT_TRUE(parent->AppendChild(child));
  EXPECT_EQ(Std(SerializeNode(&root, 0)),
            "\n<!-- top -->"
            "\n<vendormark>"
            "\n  <oem a=\"say &quot;&lt;hi&rt;&quot;\" b=\"2\">"
            "\n    <!-- line one\r"
            "\n    line two -->"
            "\n    <Name>A &amp; B &lt;x&rt;</Name>"
            "\n    <Empty />"
            "\n    <Mixed>lead"
            "\n      <Leaf>v</Leaf>"
            "\n    </Mixed>"
            "\n  </oem>"
            "\n</vendormark>");
  EXPECT_EQ(Std(SerializeNode(&leaf, 24)), "\n" + std::string(48, ' ') + "<Leaf>v</Leaf>");
  for (uint32_t depth : {25u, 30u, 0xFFFFFFFFu})
    EXPECT_EQ(Std(SerializeNode(&empty, depth)), "\n" + std::string(50, ' ') + "<Empty />");
  EXPECT_TRUE(SerializeNode(nullptr, 3).IsEmpty());
}

TEST(XMLWriter, VeryDeepTreesAreWrittenWithoutRecursion) {
  const int kDepth = 100000;
  std::vector<std::unique_ptr<XMLNode>> nodes;
  for (int i = 0; i < kDepth; ++i) {
    nodes.push_back(std::make_unique<XMLNode>());
    nodes.back()->SetName("e");
  }
  for (int i = kDepth - 1; i > 0; --i) ASSERT_TRUE(nodes[i - 1]->AppendChild(nodes[i].get()));
  nodes.back()->SetText("x");
  uint64_t expected = 0;  // per level "\n", indent, "<e>", and "\n", indent, "</e>"
  for (int i = 0; i < kDepth; ++i) expected += 2 * (1 + (i >= 25 ? 50 : 2 * i)) + 7;
  expected -= 50;  // the innermost writes "x" and no indented end line
  EXPECT_EQ(SerializeNode(nodes.front().get(), 0).Length(), expected);
}

}  // namespace
}  // namespace Vadu
