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

TEST(OemDocumentSet, NewKeyTakesEveryArgument) {
  OemDocument document;
  document.Set("about", "v", "Name", "Outer", "Inner", true);
  const OemItem* item = document.Find("NameOuterInner");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(Str(item->name), "Name");
  EXPECT_EQ(item->path, (std::vector<String>{"Outer", "Inner"}));
  EXPECT_EQ(Str(item->value), "v");
  EXPECT_EQ(Str(item->description), "about");
  EXPECT_TRUE(item->hidden);
}

TEST(OemDocumentSet, SecondGroupCountsOnlyAfterAFirst) {
  OemDocument document;
  document.Set("", "1", "A", "", "Inner");
  // The key still holds the second name, but the path does not.
  const OemItem* item = document.Find("AInner");
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(item->path.empty());
  document.Set("", "2", "B", "Sms");
  ASSERT_NE(document.Find("BSms"), nullptr);
  EXPECT_EQ(document.Find("BSms")->path, (std::vector<String>{"Sms"}));
}

TEST(OemDocumentSet, ExistingKeyOnlyTakesTheValue) {
  OemDocument document;
  document.Set("first", "1", "Key", "Sms", "", false);
  document.Set("second", "2", "Key", "Sms", "", true);
  ASSERT_EQ(document.Size(), 1u);
  const OemItem* item = document.Find("KeySms");
  EXPECT_EQ(Str(item->value), "2");
  EXPECT_EQ(Str(item->description), "first");
  EXPECT_FALSE(item->hidden);
}

TEST(OemDocumentSet, SameNameInTwoGroupsGivesTwoItems) {
  OemDocument document;
  document.Set("", "mail", "LoginParam", "Email");
  document.Set("", "sms", "LoginParam", "Sms");
  document.Set("", "top", "LoginParam");
  EXPECT_EQ(Keys(document),
            (std::vector<std::string>{"LoginParam", "LoginParamEmail", "LoginParamSms"}));
  EXPECT_EQ(Str(document.Value("LoginParamSms", "")), "sms");
  EXPECT_EQ(Str(document.Value("LoginParamEmail", "")), "mail");
}

TEST(OemDocumentSet, KeysSortByUnsignedBytesWithPrefixFirst) {
  OemDocument document;
  for (const char* name : {"b", "\xC3\xA9t\xC3\xA9", "a", "B", "ab", "A"})
    document.Set("", "", name);
  EXPECT_EQ(Keys(document),
            (std::vector<std::string>{"A", "B", "a", "ab", "b", "\xC3\xA9t\xC3\xA9"}));
}

TEST(OemDocumentValue, FallbackForAbsentOrEmptyValues) {
  OemDocument document;
  document.Set("", "", "Empty");
  document.Set("", "x", "Full");
  EXPECT_EQ(Str(document.Value("Full", "fb")), "x");
  EXPECT_EQ(Str(document.Value("Empty", "fb")), "fb");
  EXPECT_EQ(Str(document.Value("Missing", "fb")), "fb");
  EXPECT_EQ(Str(document.Value("Missing", "")), "");
  EXPECT_EQ(document.Find("Missing"), nullptr);
  EXPECT_EQ(document.Size(), 2u);  // looking up never inserts
}

// --- Writing -------------------------------------------------------------------------------

TEST(OemDocumentToXml, EmptyDocumentHasNoSection) {
  EXPECT_EQ(Str(OemDocument().ToXml()), kHead + "<vendormark />");
}

TEST(OemDocumentToXml, OnlyHiddenItemsGiveAnEmptySection) {
  OemDocument document;
  document.Set("", "true", "MainMenuAboutItemEnable", "", "", true);
  EXPECT_EQ(Str(document.ToXml()), kHead +
                                       "<vendormark>\n"
                                       "  <oem />\n"
                                       "</vendormark>");
}

TEST(OemDocumentToXml, LayoutOfItemsGroupsAndComments) {
  OemDocument document;
  document.Set("Second key", "", "Beta");
  document.Set("Inner one", "1", "One", "Group");
  document.Set("", "hidden", "Hidden", "", "", true);
  document.Set("First key", "alpha", "Alpha");
  document.Set("", "2", "Two", "Group");
  document.Set("Deep", "d", "Deep", "Group", "Sub");
  document.Set("Last", "z", "Zed");
  // Group is created where its first item (DeepGroupSub) falls, and gathers all of its items.
  EXPECT_EQ(Str(document.ToXml()), kHead +
                                       "<vendormark>\n"
                                       "  <oem>\n"
                                       "    <!-- First key -->\n"
                                       "    <Alpha>alpha</Alpha>\n"
                                       "    <!-- Second key -->\n"
                                       "    <Beta />\n"
                                       "    <Group>\n"
                                       "      <Sub>\n"
                                       "        <!-- Deep -->\n"
                                       "        <Deep>d</Deep>\n"
                                       "      </Sub>\n"
                                       "      <!-- Inner one -->\n"
                                       "      <One>1</One>\n"
                                       "      <Two>2</Two>\n"
                                       "    </Group>\n"
                                       "    <!-- Last -->\n"
                                       "    <Zed>z</Zed>\n"
                                       "  </oem>\n"
                                       "</vendormark>");
}

TEST(OemDocumentToXml, MultiLineCommentsKeepCarriageReturns) {
  OemDocument document;
  document.Set("Head:\r\n  0 - zero\r\n", "", "Key");
  document.Set("Plain\n  next", "", "Other", "G");
  EXPECT_EQ(Str(document.ToXml()), kHead +
                                       "<vendormark>\n"
                                       "  <oem>\n"
                                       "    <!-- Head:\r\n"
                                       "      0 - zero\r\n"
                                       "     -->\n"
                                       "    <Key />\n"
                                       "    <G>\n"
                                       "      <!-- Plain\n"
                                       "        next -->\n"
                                       "      <Other />\n"
                                       "    </G>\n"
                                       "  </oem>\n"
                                       "</vendormark>");
}

TEST(OemDocumentToXml, ValuesAreEscapedCommentsAreNot) {
  OemDocument document;
  document.Set("Use <Tag>.</Tag> & \"quotes\"", "<a href='x'>&b</a>", "Markup");
  EXPECT_EQ(Str(document.ToXml()),
            kHead +
                "<vendormark>\n"
                "  <oem>\n"
                "    <!-- Use <Tag>.</Tag> & \"quotes\" -->\n"
                "    <Markup>&lt;a href=&apos;x&apos;&rt;&amp;b&lt;/a&rt;</Markup>\n"
                "  </oem>\n"
                "</vendormark>");
}

// --- Loading -------------------------------------------------------------------------------

TEST(OemDocumentLoad, ReadsItemsGroupsAndDecodedValues) {
  OemDocument document;
  EXPECT_TRUE(
      document.Load("<?xml version=\"1.0\"?>\n<!-- c -->\n<anything attr=\"1\"><oem x=\"y\">\n"
                    "  <!-- about A --><A>a &lt;1&rt; &amp;amp;</A>\n"
                    "  <Sms><Login>%LOGIN%</Login><Empty /></Sms>\n"
                    "  <Outer><Inner><Deep>d</Deep></Inner><Flat>f</Flat></Outer>\n"
                    "</oem></anything>",
                    false));
  EXPECT_EQ(Keys(document),
            (std::vector<std::string>{"A", "DeepOuterInner", "EmptySms", "FlatOuter", "LoginSms"}));
  const OemItem* a = document.Find("A");
  // One decoding pass: "&amp;amp;" becomes "&amp;".
  EXPECT_EQ(Str(a->value), "a <1> &amp;");
  EXPECT_TRUE(a->description.IsEmpty());
  EXPECT_FALSE(a->hidden);
  EXPECT_EQ(document.Find("DeepOuterInner")->path, (std::vector<String>{"Outer", "Inner"}));
  EXPECT_EQ(document.Find("FlatOuter")->path, (std::vector<String>{"Outer"}));
  EXPECT_EQ(Str(document.Find("LoginSms")->name), "Login");
  EXPECT_EQ(Str(document.Value("LoginSms", "")), "%LOGIN%");
  EXPECT_TRUE(document.Find("EmptySms")->value.IsEmpty());
}

TEST(OemDocumentLoad, FirstSectionWithItemsWins) {
  OemDocument document;
  EXPECT_TRUE(
      document.Load("<root><oem></oem><oem>ignored text</oem><other><A>no</A></other>"
                    "<oem><A>first</A></oem><oem><A>second</A><B>b</B></oem></root>"));
  EXPECT_EQ(Keys(document), (std::vector<std::string>{"A"}));
  EXPECT_EQ(Str(document.Value("A", "")), "first");
}

TEST(OemDocumentLoad, SectionNameMustMatchExactly) {
  OemDocument document;
  EXPECT_FALSE(document.Load("<root><OEM><A>1</A></OEM><oem2><A>2</A></oem2></root>"));
  EXPECT_TRUE(document.IsEmpty());
  EXPECT_EQ(Str(document.Value("A", "fallback")), "fallback");
}

TEST(OemDocumentLoad, FirstOfTwoEqualKeysStays) {
  OemDocument document;
  document.Load("<r><oem><A>1</A><G><B>2</B></G><A>3</A><G><B>4</B></G></oem></r>");
  EXPECT_EQ(Str(document.Value("A", "")), "1");
  EXPECT_EQ(Str(document.Value("BG", "")), "2");
  EXPECT_EQ(document.Size(), 2u);
}

TEST(OemDocumentLoad, ElementWithTextAndChildrenIsAGroup) {
  OemDocument document;
  document.Load("<r><oem><G>lost text<A>1</A></G></oem></r>");
  EXPECT_EQ(Keys(document), (std::vector<std::string>{"AG"}));
  EXPECT_EQ(document.Find("G"), nullptr);
}

TEST(OemDocumentLoad, DeepNestingGivesLongPaths) {
  OemDocument document;
  document.Load("<r><oem><a><b><c><K>v</K></c></b></a></oem></r>");
  const OemItem* item = document.Find("Kabc");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->path, (std::vector<String>{"a", "b", "c"}));
  // The writer reproduces the whole path of a loaded item.
  OemDocument reloaded;
  reloaded.Load(document.ToXml());
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

TEST(OemDocumentLoad, MalformedTextKeepsWhatCanBeRead) {
  OemDocument document;
  // The unterminated element ends the list of children there.
  document.Load("<r><oem><A>1</A><B>2</B><C>3</oem></r>");
  EXPECT_EQ(Keys(document), (std::vector<std::string>{"A", "B"}));
  for (const char* text :
       {"<", "<oem>", "</oem>", "<r><oem><A>1", "<!-- <r><oem><A>1</A></oem></r>",
        "<r><oem><A>1</A></oem></r> -->", "\xFF\xFE<\x00>"}) {
    OemDocument other;
    other.Load(text);  // must not fail, whatever it finds
    EXPECT_LE(other.Size(), 1u) << text;
  }
}

TEST(OemDocumentLoad, ConstructionFromTextLoadsAndNormalises) {
  OemDocument document(
      "<r><oem><ApplicationServiceName>My Service 2</ApplicationServiceName></oem></r>");
  EXPECT_EQ(Str(document.Value("ApplicationServiceName", "")), "MyService");
  EXPECT_TRUE(OemDocument(String()).IsEmpty());
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

TEST(OemDocumentServiceName, KeepsOnlyAsciiLettersInOrder) {
  EXPECT_EQ(Normalised("My Core-Service 2"), "MyCoreService");
  EXPECT_EQ(Normalised("AlreadyFine"), "AlreadyFine");
  EXPECT_EQ(Normalised("caf\xC3\xA9_Z\xC3\xBC"
                       "rich"),
            "cafZrich");
  EXPECT_EQ(Normalised("@[`{"), "ZentuCoreService");  // the bytes next to the letter ranges
  EXPECT_EQ(Normalised("2024"), "ZentuCoreService");
  EXPECT_EQ(Normalised(" - "), "ZentuCoreService");
}

TEST(OemDocumentServiceName, CutToThirtyFiveLetters) {
  EXPECT_EQ(Normalised(std::string(40, 'a')), std::string(35, 'a'));
  EXPECT_EQ(Normalised("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghi"),
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghi");
  // Letters are gathered first, then cut.
  std::string spaced;
  for (int i = 0; i < 36; ++i) spaced += std::string(1, static_cast<char>('a' + i % 26)) + " ";
  EXPECT_EQ(Normalised(spaced), "abcdefghijklmnopqrstuvwxyzabcdefghi");
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

TEST(OemDocumentServiceName, LoadNormalisesOnlyWhenAsked) {
  const char* text = "<r><oem><ApplicationServiceName>123</ApplicationServiceName></oem></r>";
  OemDocument document;
  document.Load(text, false);
  EXPECT_EQ(Str(document.Value("ApplicationServiceName", "")), "123");
  document.Load(text, true);
  EXPECT_EQ(Str(document.Value("ApplicationServiceName", "")), "ZentuCoreService");
}

}  // namespace
}  // namespace Zentu
