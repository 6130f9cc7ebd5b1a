#include "oem/oem_key_catalogue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "oem/oem_test_util.h"

namespace Zentu {
namespace {

using Testing::Str;
using Vadu::String;

std::string ValueOf(const OemDocument& document, const char* key) {
  const OemItem* item = document.Find(key);
  EXPECT_NE(item, nullptr) << key;
  return item ? Str(item->value) : "<absent>";
}

TEST(OemKeyKinds, EachKindBecomesItsText) {
  OemDocument document;
  SetAlwaysFullscreen(document, true);
  Sms::SetUsePostMethod(document, false);
  SetArchivePlaybackStartPosition(document, -5);
  SetCursorHideInterval(document, std::numeric_limits<int32_t>::max());
  SetDefaultExportFormatId(document, std::numeric_limits<int32_t>::min());
  SetMaxArchiveSizeMB(document, std::numeric_limits<int64_t>::min());
  SetDisableModules(document, {"ImageMerger", "FTPReceiver", "alpha", "Zoom"});
  SetDisableBottomPanelButtons(document, {});
  SetTempDir(document, u"C:\\Temp\\Z\u00E9ntu \u20AC");
  Email::SetSubjectOfLetter(document, u"\U0001F4F7 alarm");
  SetHelpURL(document, WebAddress("http://www.example.com:80"));
  SetFeedbackURL(document, WebAddress("https://shop.example.org:8443/feedback?a=b c&x"));
  SetANPRSettingsUrl(document, Vadu::Url());
  SetCompanyName(document, "Smith & Sons <Ltd>");
  const struct {
    const char* key;
    std::string text;
  } cases[] = {
      {"AlwaysFullscreen", "true"},
      {"UsePostMethodSms", "false"},
      {"ArchivePlaybackStartPosition", "-5"},
      {"CursorHideInterval", "2147483647"},
      {"DefaultExportFormatId", "-2147483648"},
      {"MaxArchiveSizeMB", "-9223372036854775808"},
      // Name lists are sorted by bytes and joined.
      {"DisableModules", "FTPReceiver,ImageMerger,Zoom,alpha"},
      {"DisableBottomPanelButtons", ""},
      // Wide text is stored as UTF-8, also beyond U+FFFF.
      {"TempDir", "C:\\Temp\\Z\xC3\xA9ntu \xE2\x82\xAC"},
      {"SubjectOfLetterEmail", "\xF0\x9F\x93\xB7 alarm"},
      // Web addresses take their canonical form; one without a host is empty.
      {"HelpURL", "http://www.example.com/"},
      {"FeedbackURL", "https://shop.example.org:8443/feedback?a=b+c&x"},
      {"ANPRSettingsUrl", ""},
      // Text is stored as given; escaping is the writer's business.
      {"CompanyName", "Smith & Sons <Ltd>"},
  };
  for (const auto& c : cases) EXPECT_EQ(ValueOf(document, c.key), c.text) << c.key;
}

TEST(OemKeyKinds, ValueTextHelpers) {
  EXPECT_EQ(Str(NameListValue({"", "b", "B"})), ",B,b");
  EXPECT_EQ(Str(Number64Value(int64_t{5000000000})), "5000000000");
  EXPECT_EQ(Str(WebAddressValue(WebAddress("www.example.com/x"))), "http://www.example.com/x");
  EXPECT_EQ(Str(WebAddressValue(WebAddress(""))), "");
}

TEST(OemKeyItems, SecondCallOnlyReplacesTheValue) {
  OemDocument document;
  SetCompanyName(document, "First");
  SetCompanyName(document, "Second");
  EXPECT_EQ(document.Size(), 1u);
  EXPECT_EQ(ValueOf(document, "CompanyName"), "Second");
  EXPECT_EQ(Str(document.Find("CompanyName")->description),
            "Will be displayed in \"About\" dialog");
  // A key set first with another description keeps that one.
  document.Set("mine", "x", "SupportPhone");
  SetSupportPhone(document, "123");
  EXPECT_EQ(Str(document.Find("SupportPhone")->description), "mine");
  EXPECT_EQ(ValueOf(document, "SupportPhone"), "123");
}

TEST(OemKeyItems, GroupedKeysCarryTheirGroup) {
  OemDocument document;
  Sms::SetLoginParam(document, "sms-login");
  Email::SetLoginParam(document, "mail-login");
  Sms::SetPasswordParam(document, "sms-pass");
  Email::SetPasswordParam(document, "mail-pass");
  SetExitEnabled(document, true);
  ASSERT_EQ(document.Size(), 5u);
  const struct {
    const char* key;
    const char* name;
    std::vector<String> path;
    const char* value;
  } cases[] = {
      {"LoginParamSms", "LoginParam", {"Sms"}, "sms-login"},
      {"LoginParamEmail", "LoginParam", {"Email"}, "mail-login"},
      {"PasswordParamSms", "PasswordParam", {"Sms"}, "sms-pass"},
      {"PasswordParamEmail", "PasswordParam", {"Email"}, "mail-pass"},
      {"ExitEnabled", "ExitEnabled", {}, "true"},
  };
  for (const auto& c : cases) {
    const OemItem* item = document.Find(c.key);
    ASSERT_NE(item, nullptr) << c.key;
    EXPECT_EQ(Str(item->name), c.name);
    EXPECT_EQ(item->path, c.path) << c.key;
    EXPECT_EQ(Str(item->value), c.value);
    EXPECT_FALSE(item->hidden) << c.key;
  }
  EXPECT_EQ(Str(document.Find("LoginParamEmail")->description), "Login of the mail being sent");
}

TEST(OemKeyItems, AboutItemIsHidden) {
  OemDocument document;
  SetMainMenuAboutItemEnable(document, true);
  const OemItem* item = document.Find("MainMenuAboutItemEnable");
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(item->hidden);
  EXPECT_EQ(Str(item->value), "true");
  EXPECT_EQ(Str(document.ToXml()).find("MainMenuAboutItemEnable"), std::string::npos);
}

TEST(OemKeyItems, GettersReadOnlyTheTopLevelKeys) {
  OemDocument document;
  EXPECT_EQ(Str(ProductName(document)), "");
  SetProductName(document, "Acme Vision");
  SetVersionUniqueID(document, "acme-2");
  SetCompanyName(document, "Acme & Co");
  EXPECT_EQ(Str(ProductName(document)), "Acme Vision");
  EXPECT_EQ(Str(VersionUniqueID(document)), "acme-2");
  EXPECT_EQ(Str(CompanyName(document)), "Acme & Co");
  OemDocument grouped(
      "<r><oem><G><ProductName>No</ProductName><CompanyName>No</CompanyName></G></oem></r>");
  EXPECT_EQ(Str(ProductName(grouped)), "");
  EXPECT_EQ(Str(CompanyName(grouped)), "");
}

// The table lists the keys in the order of the file, each once, the hidden item last: a row out
// of place or repeated would make the table disagree with the file it describes.
TEST(OemKeyCatalogue, RowsFollowTheFileOrderOnceEach) {
  const std::vector<OemKeyInfo>& table = OemKeyCatalogue();
  ASSERT_GE(table.size(), 2u);
  for (size_t k = 1; k + 1 < table.size(); ++k)
    EXPECT_LT(Str(OemItemKeyOf(table[k - 1])), Str(OemItemKeyOf(table[k]))) << table[k].name;
  for (size_t k = 0; k + 1 < table.size(); ++k) EXPECT_FALSE(table[k].hidden) << table[k].name;
  EXPECT_TRUE(table.back().hidden);
  EXPECT_EQ(std::string(table.back().name), "MainMenuAboutItemEnable");
}

// Each typed setter stores exactly what its row says: a setter expanded into the wrong group or
// with another row's description or kind shows here.
TEST(OemKeyCatalogue, SettersStoreTheirRow) {
  OemDocument document;
  SetMaxArchiveSizeMB(document, int64_t{7});
  Sms::SetXmlParam(document, "x");
  Email::SetTextOfLetter(document, u"t");
  SetDisableModules(document, {"b", "a"});
  SetMainMenuAboutItemEnable(document, false);
  size_t found = 0;
  for (const OemKeyInfo& key : OemKeyCatalogue()) {
    const OemItem* item = document.Find(OemItemKeyOf(key));
    if (!item) continue;
    ++found;
    EXPECT_EQ(Str(item->name), key.name);
    EXPECT_EQ(Str(item->description), key.description) << key.name;
    EXPECT_EQ(item->hidden, key.hidden) << key.name;
    const std::vector<String> path =
        *key.group ? std::vector<String>{key.group} : std::vector<String>();
    EXPECT_EQ(item->path, path) << key.name;
  }
  EXPECT_EQ(found, document.Size());
  EXPECT_EQ(ValueOf(document, "MaxArchiveSizeMB"), "7");
  EXPECT_EQ(ValueOf(document, "XmlParamSms"), "x");
  EXPECT_EQ(ValueOf(document, "TextOfLetterEmail"), "t");
  EXPECT_EQ(ValueOf(document, "DisableModules"), "a,b");
  EXPECT_EQ(ValueOf(document, "MainMenuAboutItemEnable"), "false");
}

}  // namespace
}  // namespace Zentu
