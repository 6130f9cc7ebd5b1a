#include "oem/oem_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "oem/oem_test_util.h"

namespace Zentu {
namespace {

using Testing::Str;
using Vadu::String;

const std::string kHead =
    "<?xml version=\"1.0\"?>\n"
    "<!-- If you delete a line, the default (Ostrak's) info will be used -->\n";

std::vector<std::string> Keys(const OemDocument& document) {
  std::vector<std::string> keys;
  for (const auto& [key, item] : document.AllItems()) keys.push_back(Str(key));
  return keys;
}

// --- Keeping items -------------------------------------------------------------------------

TEST(OemDocumentSet, NewKeyTakesEveryArgumentExistingKeyOnlyTheValue) {
  OemDocument document;
  document.Set("about", "v", "Name", "Outer", "Inner", true);
  document.Set("other", "w", "Name", "Outer", "Inner", false);
  ASSERT_EQ(document.Size(), 1u);
  const OemItem* item = document.Find("NameOuterInner");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(Str(item->name), "Name");
  EXPECT_EQ(item->path, (std::vector<String>{"Outer", "Inner"}));
  EXPECT_EQ(Str(item->value), "w");
  EXPECT_EQ(Str(item->description), "about");
  EXPECT_TRUE(item->hidden);
  // The second group counts only after a first: the key still holds its name, the path not.
  document.Set("", "1", "A", "", "Inner");
  ASSERT_NE(document.Find("AInner"), nullptr);
  EXPECT_TRUE(document.Find("AInner")->path.empty());
}

TEST(OemDocumentSet, KeysSortByUnsignedBytesWithPrefixFirst) {
  OemDocument document;
  for (const char* name : {"b", "\xC3\xA9t\xC3\xA9", "a", "B", "ab", "A"})
    document.Set("", "", name);
  // The same name in two groups gives two items.
  document.Set("", "sms", "a", "Sms");
  document.Set("", "mail", "a", "Email");
  EXPECT_EQ(Keys(document), (std::vector<std::string>{"A", "B", "a", "aEmail", "aSms", "ab", "b",
                                                      "\xC3\xA9t\xC3\xA9"}));
}

TEST(OemDocumentValue, FallbackForAbsentOrEmptyValues) {
  OemDocument document;
  document.Set("", "", "Empty");
  document.Set("", "x", "Full");
  EXPECT_EQ(Str(document.Value("Full", "fb")), "x");
  EXPECT_EQ(Str(document.Value("Empty", "fb")), "fb");
  EXPECT_EQ(Str(document.Value("Missing", "fb")), "fb");
  EXPECT_EQ(document.Find("Missing"), nullptr);
  EXPECT_EQ(document.Size(), 2u);  // looking up never inserts
}

// --- Writing -------------------------------------------------------------------------------

TEST(OemDocumentToXml, WithoutVisibleItems) {
  EXPECT_EQ(Str(OemDocument().ToXml()), kHead + "<vendormark />");
  OemDocument document;
  document.Set("", "true", "MainMenuAboutItemEnable", "", "", true);
  EXPECT_EQ(Str(document.ToXml()), kHead + "<vendormark>\n  <oem />\n</vendormark>");
}

TEST(OemDocumentToXml, LayoutOfItemsGroupsAndComments) {
  OemDocument document;
  document.Set("Second key:\r\n  0 - zero\r\n", "", "Beta");
  document.Set("Inner one\n  next", "1", "One", "Group");
  document.Set("", "hidden", "Hidden", "", "", true);
  document.Set("Use <Tag>.</Tag> & \"quotes\"", "<a href='x'>&b</a>", "Alpha");
  document.Set("", "2", "Two", "Group");
  document.Set("Deep", "d", "Deep", "Group", "Sub");
  // A group is created where its first item (DeepGroupSub) falls and gathers all of its items;
  // comments keep their text and line breaks, values are escaped.
  EXPECT_EQ(Str(document.ToXml()),
            kHead +
                "<vendormark>\n"
                "  <oem>\n"
                "    <!-- Use <Tag>.</Tag> & \"quotes\" -->\n"
                "    <Alpha>&lt;a href=&apos;x&apos;&rt;&amp;b&lt;/a&rt;</Alpha>\n"
                "    <!-- Second key:\r\n"
                "      0 - zero\r\n"
                "     -->\n"
                "    <Beta />\n"
                "    <Group>\n"
                "      <Sub>\n"
                "        <!-- Deep -->\n"
                "        <Deep>d</Deep>\n"
                "      </Sub>\n"
                "      <!-- Inner one\n"
                "        next -->\n"
                "      <One>1</One>\n"
                "      <Two>2</Two>\n"
                "    </Group>\n"
                "  </oem>\n"
                "</vendormark>");
}

// --- Loading -------------------------------------------------------------------------------

TEST(OemDocumentLoad, WhichItemsAreRead) {
  using Items = std::vector<std::pair<std::string, std::string>>;
  const struct {
    const char* text;
    Items items;
  } cases[] = {
      // Any root; comments are skipped; groups add their names to the key; one decoding pass.
      {"<?xml version=\"1.0\"?>\n<!-- c -->\n<anything attr=\"1\"><oem x=\"y\">\n"
       "  <!-- about A --><A>a &lt;1&rt; &amp;amp;</A>\n"
       "  <Sms><Login>%LOGIN%</Login><Empty /></Sms>\n"
       "  <Outer><Inner><Deep>d</Deep></Inner><Flat>f</Flat></Outer>\n"
       "</oem></anything>",
       {{"A", "a <1> &amp;"},
        {"DeepOuterInner", "d"},
        {"EmptySms", ""},
        {"FlatOuter", "f"},
        {"LoginSms", "%LOGIN%"}}},
      // The first "oem" section that holds items wins.
      {"<root><oem></oem><oem>ignored text</oem><other><A>no</A></other>"
       "<oem><A>first</A></oem><oem><A>second</A><B>b</B></oem></root>",
       {{"A", "first"}}},
      {"<root><OEM><A>1</A></OEM><oem2><A>2</A></oem2></root>", {}},
      // The first of two equal keys stays.
      {"<r><oem><A>1</A><G><B>2</B></G><A>3</A><G><B>4</B></G></oem></r>",
       {{"A", "1"}, {"BG", "2"}}},
      // An element with text and children is a group; its text is lost.
      {"<r><oem><G>lost text<A>1</A></G></oem></r>", {{"AG", "1"}}},
      {"<r><oem><a><b><c><K>v</K></c></b></a></oem></r>", {{"Kabc", "v"}}},
      // An unterminated element ends the list of children there.
      {"<r><oem><A>1</A><B>2</B><C>3</oem></r>", {{"A", "1"}, {"B", "2"}}},
  };
  for (const auto& c : cases) {
    OemDocument document;
    EXPECT_EQ(document.Load(c.text), !c.items.empty()) << c.text;
    Items items;
    for (const auto& [key, item] : document.AllItems())
      items.emplace_back(Str(key), Str(item.value));
    EXPECT_EQ(items, c.items) << c.text;
  }
}

TEST(OemDocumentLoad, DeepPathsAreWrittenBackWhole) {
  OemDocument document("<r><oem><a><b><c><K>v</K></c></b></a></oem></r>");
  ASSERT_NE(document.Find("Kabc"), nullptr);
  EXPECT_EQ(document.Find("Kabc")->path, (std::vector<String>{"a", "b", "c"}));
  OemDocument reloaded(document.ToXml());
  EXPECT_EQ(Keys(reloaded), (std::vector<std::string>{"Kabc"}));
}

TEST(OemDocumentLoad, ReplacesEarlierItemsEvenWhenNothingIsFound) {
  OemDocument document;
  document.Set("d", "v", "Old");
  EXPECT_TRUE(document.Load("<r><oem><New>n</New></oem></r>"));
  EXPECT_EQ(Keys(document), (std::vector<std::string>{"New"}));
  EXPECT_FALSE(document.Load(""));
  EXPECT_TRUE(document.IsEmpty());
  document.Set("d", "v", "Old");
  EXPECT_FALSE(document.Load("not xml at all"));
  EXPECT_TRUE(document.IsEmpty());
}

TEST(OemDocumentLoad, MalformedTextNeverFails) {
  for (const char* text :
       {"<", "<oem>", "</oem>", "<r><oem><A>1", "<!-- <r><oem><A>1</A></oem></r>",
        "<r><oem><A>1</A></oem></r> -->", "\xFF\xFE<\x00>"}) {
    OemDocument document;
    document.Load(text);
    EXPECT_LE(document.Size(), 1u) << text;
  }
}

TEST(OemDocumentRoundTrip, VisibleItemsComeBackWithTheirValues) {
  OemDocument document;
  document.Set("d1", "plain", "A");
  document.Set("d2", "<x> & 'y' \"z\"", "B", "Sms");
  document.Set("d3", "", "C", "Email");
  document.Set("d4", "h", "Hidden", "", "", true);
  document.Set("d5", "line1\nline2\r\n", "D", "Sms", "Inner");
  document.Set("d6", "caf\xC3\xA9 \xE2\x82\xAC", "E");
  OemDocument loaded;
  EXPECT_TRUE(loaded.Load(document.ToXml(), false));
  EXPECT_EQ(Keys(loaded), (std::vector<std::string>{"A", "BSms", "CEmail", "DSmsInner", "E"}));
  for (const auto& [key, item] : loaded.AllItems()) {
    const OemItem* original = document.Find(key);
    ASSERT_NE(original, nullptr) << Str(key);
    EXPECT_EQ(Str(item.value), Str(original->value)) << Str(key);
    EXPECT_EQ(item.path, original->path) << Str(key);
    EXPECT_TRUE(item.description.IsEmpty());
  }
}

TEST(OemDocumentRoundTrip, EscapedMarkupInValues) {
  OemDocument document;
  document.Set("", "a<b", "Less");
  document.Set("", "&amp;", "Amp");
  document.Set("", "x&y", "Lone");
  String xml = document.ToXml();
  EXPECT_NE(Str(xml).find("<Less>a&lt;b</Less>"), std::string::npos);
  EXPECT_NE(Str(xml).find("<Lone>x&amp;y</Lone>"), std::string::npos);
  OemDocument loaded;
  loaded.Load(xml);
  EXPECT_EQ(Str(loaded.Value("Less", "")), "a<b");
  EXPECT_EQ(Str(loaded.Value("Lone", "")), "x&y");
  // A value that already holds "&amp;" counts as escaped: it is written as it stands and its
  // reference is decoded on the way back.
  EXPECT_NE(Str(xml).find("<Amp>&amp;</Amp>"), std::string::npos);
  EXPECT_EQ(Str(loaded.Value("Amp", "")), "&");
}

// --- Service name ---------------------------------------------------------------------------

std::string Normalised(const std::string& name) {
  OemDocument document;
  document.Set("kept", String(name.c_str(), static_cast<uint32_t>(name.size())),
               "ApplicationServiceName");
  document.NormaliseServiceName();
  const OemItem* item = document.Find("ApplicationServiceName");
  EXPECT_EQ(Str(item->description), "kept");
  return Str(item->value);
}

TEST(OemDocumentServiceName, KeepsAtMostThirtyFiveAsciiLetters) {
  std::string spaced;  // 36 letters with spaces: gathered first, then cut
  for (int i = 0; i < 36; ++i) spaced += std::string(1, static_cast<char>('a' + i % 26)) + " ";
  const struct {
    std::string name, normalised;
  } cases[] = {
      {"My Core-Service 2", "MyCoreService"},
      {"caf\xC3\xA9_Z\xC3\xBCrich", "cafZrich"},
      {"@[`{", "ZentuCoreService"},  // the bytes next to the letter ranges
      {"2024", "ZentuCoreService"},
      {std::string(40, 'a'), std::string(35, 'a')},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghi", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghi"},
      {spaced, "abcdefghijklmnopqrstuvwxyzabcdefghi"},
  };
  for (const auto& c : cases) EXPECT_EQ(Normalised(c.name), c.normalised) << c.name;
}

TEST(OemDocumentServiceName, AbsentOrEmptyNameStaysSo) {
  OemDocument document;
  document.NormaliseServiceName();
  EXPECT_TRUE(document.IsEmpty());
  document.Set("", "", "ApplicationServiceName");
  document.NormaliseServiceName();
  EXPECT_TRUE(document.Find("ApplicationServiceName")->value.IsEmpty());
  // A service name inside a group is another key and is left alone.
  document.Set("", "a b", "ApplicationServiceName", "Sms");
  document.NormaliseServiceName();
  EXPECT_EQ(Str(document.Value("ApplicationServiceNameSms", "")), "a b");
}

TEST(OemDocumentServiceName, LoadNormalisesWhenAskedConstructionAlways) {
  const char* text = "<r><oem><ApplicationServiceName>123</ApplicationServiceName></oem></r>";
  OemDocument document;
  document.Load(text, false);
  EXPECT_EQ(Str(document.Value("ApplicationServiceName", "")), "123");
  document.Load(text, true);
  EXPECT_EQ(Str(document.Value("ApplicationServiceName", "")), "ZentuCoreService");
  EXPECT_EQ(Str(OemDocument(text).Value("ApplicationServiceName", "")), "ZentuCoreService");
  EXPECT_TRUE(OemDocument(String()).IsEmpty());
}

}  // namespace
}  // namespace Zentu
