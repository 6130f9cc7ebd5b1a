#include "oem/oem_key_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "oem/oem_test_util.h"

namespace Zentu {
namespace {

using Testing::Str;
using Vadu::String;

const OemItem& Item(const OemDocument& document, const char* key) {
  const OemItem* item = document.Find(key);
  if (!item) throw std::runtime_error(std::string("no item ") + key);
  return *item;
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> pieces;
  size_t from = 0;
  for (size_t at; (at = text.find(separator, from)) != std::string::npos;
       from = at + separator.size())
    pieces.push_back(text.substr(from, at - from));
  pieces.push_back(text.substr(from));
  return pieces;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// --- Value kinds ---------------------------------------------------------------------------

TEST(OemKeyKinds, YesNoKeys) {
  OemDocument document;
  SetAlwaysFullscreen(document, true);
  Sms::SetUsePostMethod(document, false);
  Email::SetIsCanRemoveCurrentRecipient(document, false);
  EXPECT_EQ(Str(document.Value("AlwaysFullscreen", "")), "true");
  EXPECT_EQ(Str(document.Value("UsePostMethodSms", "")), "false");
  EXPECT_EQ(Str(document.Value("IsCanRemoveCurrentRecipientEmail", "")), "false");
}

TEST(OemKeyKinds, NumberKeys) {
  OemDocument document;
  SetArchivePlaybackStartPosition(document, -5);
  SetCursorHideInterval(document, std::numeric_limits<int32_t>::max());
  SetDefaultExportFormatId(document, std::numeric_limits<int32_t>::min());
  SetMaxArchiveSizeMB(document, int64_t{5000000000});
  EXPECT_EQ(Str(document.Value("ArchivePlaybackStartPosition", "")), "-5");
  EXPECT_EQ(Str(document.Value("CursorHideInterval", "")), "2147483647");
  EXPECT_EQ(Str(document.Value("DefaultExportFormatId", "")), "-2147483648");
  EXPECT_EQ(Str(document.Value("MaxArchiveSizeMB", "")), "5000000000");
  SetMaxArchiveSizeMB(document, std::numeric_limits<int64_t>::min());
  EXPECT_EQ(Str(document.Value("MaxArchiveSizeMB", "")), "-9223372036854775808");
}

TEST(OemKeyKinds, NameListKeysAreSortedAndJoined) {
  OemDocument document;
  SetDisableModules(document, {"ImageMerger", "FTPReceiver", "alpha", "Zoom"});
  EXPECT_EQ(Str(document.Value("DisableModules", "")), "FTPReceiver,ImageMerger,Zoom,alpha");
  SetDisableBottomPanelButtons(document, {"PTZ"});
  EXPECT_EQ(Str(document.Value("DisableBottomPanelButtons", "")), "PTZ");
  SetDisableBottomPanelButtons(document, {});
  EXPECT_TRUE(Item(document, "DisableBottomPanelButtons").value.IsEmpty());
}

TEST(OemKeyKinds, WideTextKeysAreStoredAsUtf8) {
  OemDocument document;
  SetTempDir(document, u"C:\\Temp\\Z\u00E9ntu \u20AC");
  Email::SetSubjectOfLetter(document, u"\U0001F4F7 alarm");
  EXPECT_EQ(Str(document.Value("TempDir", "")), "C:\\Temp\\Z\xC3\xA9ntu \xE2\x82\xAC");
  EXPECT_EQ(Str(document.Value("SubjectOfLetterEmail", "")), "\xF0\x9F\x93\xB7 alarm");
}

TEST(OemKeyKinds, WebAddressKeysTakeTheCanonicalForm) {
  OemDocument document;
  SetHelpURL(document, WebAddress("http://www.example.com:80"));
  SetFeedbackURL(document, WebAddress("https://shop.example.org:8443/feedback?a=b c&x"));
  SetANPRSettingsUrl(document, Vadu::Url());
  EXPECT_EQ(Str(document.Value("HelpURL", "")), "http://www.example.com/");
  EXPECT_EQ(Str(document.Value("FeedbackURL", "")),
            "https://shop.example.org:8443/feedback?a=b+c&x");
  EXPECT_TRUE(Item(document, "ANPRSettingsUrl").value.IsEmpty());
}

TEST(OemKeyKinds, TextKeysAreStoredAsGiven) {
  OemDocument document;
  SetCompanyName(document, "Smith & Sons <Ltd>");
  Sms::SetXmlParam(document, "");
  EXPECT_EQ(Str(document.Value("CompanyName", "")), "Smith & Sons <Ltd>");
  EXPECT_TRUE(Item(document, "XmlParamSms").value.IsEmpty());
}

TEST(OemKeyKinds, ValueTextHelpers) {
  EXPECT_EQ(Str(YesNoValue(true)), "true");
  EXPECT_EQ(Str(NumberValue(0)), "0");
  EXPECT_EQ(Str(NameListValue({"", "b", "B"})), ",B,b");
  EXPECT_EQ(Str(NameListValue({})), "");
  EXPECT_EQ(Str(WideTextValue(Vadu::WString())), "");
  EXPECT_EQ(Str(WebAddressValue(WebAddress("www.example.com/x"))), "http://www.example.com/x");
  EXPECT_EQ(Str(WebAddressValue(WebAddress(""))), "");
}

// --- Items --------------------------------------------------------------------------------

TEST(OemKeyItems, SecondCallOnlyReplacesTheValue) {
  OemDocument document;
  SetCompanyName(document, "First");
  SetCompanyName(document, "Second");
  EXPECT_EQ(document.Size(), 1u);
  EXPECT_EQ(Str(Item(document, "CompanyName").value), "Second");
  EXPECT_EQ(Str(Item(document, "CompanyName").description),
            "Will be displayed in \"About\" dialog");
  // A key set first with another description keeps that one.
  document.Set("mine", "x", "SupportPhone");
  SetSupportPhone(document, "123");
  EXPECT_EQ(Str(Item(document, "SupportPhone").description), "mine");
  EXPECT_EQ(Str(Item(document, "SupportPhone").value), "123");
}

TEST(OemKeyItems, LoginAndPasswordExistInBothGroups) {
  OemDocument document;
  Sms::SetLoginParam(document, "sms-login");
  Email::SetLoginParam(document, "mail-login");
  Sms::SetPasswordParam(document, "sms-pass");
  Email::SetPasswordParam(document, "mail-pass");
  ASSERT_EQ(document.Size(), 4u);
  EXPECT_EQ(Item(document, "LoginParamSms").path, std::vector<String>{"Sms"});
  EXPECT_EQ(Item(document, "LoginParamEmail").path, std::vector<String>{"Email"});
  EXPECT_EQ(Str(Item(document, "LoginParamSms").name), "LoginParam");
  EXPECT_EQ(Str(Item(document, "PasswordParamEmail").name), "PasswordParam");
  EXPECT_EQ(Str(Item(document, "PasswordParamSms").value), "sms-pass");
  EXPECT_EQ(Str(Item(document, "LoginParamEmail").description), "Login of the mail being sent");
  EXPECT_EQ(Str(Item(document, "PasswordParamSms").description),
            "The \"PASSWORD\" macro will be substituted by real data in requests");
}

TEST(OemKeyItems, GroupedKeysCarryTheirGroup) {
  OemDocument document;
  Sms::SetEnabled(document, true);
  Sms::SetXmlData(document, "<x/>");
  Email::SetTextOfLetter(document, u"t");
  SetExitEnabled(document, true);
  EXPECT_EQ(Item(document, "EnabledSms").path, std::vector<String>{"Sms"});
  EXPECT_EQ(Item(document, "XmlDataSms").path, std::vector<String>{"Sms"});
  EXPECT_EQ(Item(document, "TextOfLetterEmail").path, std::vector<String>{"Email"});
  EXPECT_TRUE(Item(document, "ExitEnabled").path.empty());
  for (const auto& [key, item] : document.AllItems()) EXPECT_FALSE(item.hidden) << Str(key);
}

TEST(OemKeyItems, HiddenAboutItem) {
  OemDocument document;
  SetMainMenuAboutItemEnable(document, true);
  const OemItem& item = Item(document, "MainMenuAboutItemEnable");
  EXPECT_TRUE(item.hidden);
  EXPECT_TRUE(item.description.IsEmpty());
  EXPECT_EQ(Str(item.value), "true");
  EXPECT_EQ(Str(document.ToXml()).find("MainMenuAboutItemEnable"), std::string::npos);
}

TEST(OemKeyItems, Getters) {
  OemDocument document;
  EXPECT_EQ(Str(ProductName(document)), "");
  EXPECT_EQ(Str(VersionUniqueID(document)), "");
  SetProductName(document, "");
  SetVersionUniqueID(document, "");
  EXPECT_EQ(Str(ProductName(document)), "");
  EXPECT_EQ(Str(VersionUniqueID(document)), "");
  SetProductName(document, "Acme Vision");
  SetVersionUniqueID(document, "acme-2");
  EXPECT_EQ(Str(ProductName(document)), "Acme Vision");
  EXPECT_EQ(Str(VersionUniqueID(document)), "acme-2");
  // Only the top-level key counts.
  OemDocument grouped("<r><oem><G><ProductName>No</ProductName></G></oem></r>");
  EXPECT_EQ(Str(ProductName(grouped)), "");
}

// --- Descriptions --------------------------------------------------------------------------

TEST(OemKeyDescriptions, SampleOfFixedTexts) {
  OemDocument document;
  SetANPRSettingsUrl(document, Vadu::Url());
  SetArchivePlaybackStartPosition(document, 0);
  SetDisableBottomPanelButtons(document, {});
  SetCompanyAddress(document, "");
  SetBuyFarwireURL(document, Vadu::Url());
  SetProductName(document, "");
  Sms::SetXmlParam(document, "");
  SetGraphEnabled(document, true);
  SetAutoSelectionLoginAndPasswordEnabled(document, true);
  SetServerPassword(document, "");
  SetExitEnabled(document, true);
  EXPECT_EQ(Str(Item(document, "ANPRSettingsUrl").description),
            "URL of the ANPR module settings page");
  EXPECT_EQ(Str(Item(document, "ArchivePlaybackStartPosition").description),
            "Default setting for archive playback start position:\r\n  0 - Last position\r\n  1 - "
            "Beginning\r\n  2 - 5 minutes from end\r\n  3 - Calendar\r\n  4 - Stored Global\r\n"
            "  5 - Position of prev archive\r\n");
  EXPECT_EQ(Str(Item(document, "DisableBottomPanelButtons").description),
            "You can disable certain buttons on bottom panel for the client side - they will not "
            "be available.\n     For example: MainMenu, Add, Archive, PTZ, Snapshot, Graph, Clear");
  EXPECT_EQ(Str(Item(document, "CompanyAddress").description),
            "Your company address. Will be displayed in \"About\" dialog. Use \\n to break lines");
  EXPECT_EQ(Str(Item(document, "BuyFarwireURL").description),
            "To disable commands with URLs (!) you can put '.' between tags, for example: "
            "<TagName>.</TagName> - the option won't be showed in main Menu then.\nURL of a page "
            "where Farwire subscriptions can be bought");
  EXPECT_EQ(Str(Item(document, "GraphEnabled").description),
            "If set to true, grpah will be available");
  EXPECT_EQ(Str(Item(document, "AutoSelectionLoginAndPasswordEnabled").description),
            "If set to  true, check box of auto selection of login and password in search camera "
            "by ip dialog will be enable");
  EXPECT_EQ(Str(Item(document, "ServerPassword").description),
            "Specify here the server's password that this customized version is supposed to "
            "always connect to (can't be changed in the client). ");
  EXPECT_EQ(Str(Item(document, "ExitEnabled").description),
            "If set to true, the Exit option will be displayed in Main Menu (useful for "
            "integration into DVRs where you don't need anything but Zentu, so there's no use in "
            "exiting it)");
  EXPECT_TRUE(Item(document, "ProductName").description.IsEmpty());
  EXPECT_TRUE(Item(document, "XmlParamSms").description.IsEmpty());
}

TEST(OemKeyDescriptions, MailServerListsEightServers) {
  OemDocument document;
  Email::SetMailServer(document, "");
  std::string text = Str(Item(document, "MailServerEmail").description);
  const std::string head = "Select one mail server from: [ ";
  const std::string tail =
      " ]If the value \"custom\" is selected, then you need to define : SmtpServerAddress, "
      "SmtpServerPort, EncryptionType";
  ASSERT_TRUE(StartsWith(text, head)) << text;
  ASSERT_TRUE(EndsWith(text, tail)) << text;
  auto servers = Split(text.substr(head.size(), text.size() - head.size() - tail.size()), ", ");
  ASSERT_EQ(servers.size(), 8u) << text;
  EXPECT_EQ(servers[0], "custom");
  for (const std::string& server : servers) {
    EXPECT_FALSE(server.empty());
    EXPECT_EQ(server.find_first_of(" ,[]"), std::string::npos) << server;
  }
}

TEST(OemKeyDescriptions, RecipientAddressesGivesFourSamples) {
  OemDocument document;
  Email::SetRecipientAddresses(document, "");
  std::string text = Str(Item(document, "RecipientAddressesEmail").description);
  const std::string head = "Recipient Addresses - Listing addresses via \";\". For example \"";
  ASSERT_TRUE(StartsWith(text, head)) << text;
  ASSERT_TRUE(EndsWith(text, "\"")) << text;
  auto addresses = Split(text.substr(head.size(), text.size() - head.size() - 1), "; ");
  ASSERT_EQ(addresses.size(), 4u) << text;
  for (const std::string& address : addresses) {
    EXPECT_NE(address.find('@'), std::string::npos) << address;
    EXPECT_EQ(address.find_first_of(" ;\""), std::string::npos) << address;
  }
}

TEST(OemKeyDescriptions, MultiServerConnectionGivesTwoSamples) {
  OemDocument document;
  SetMultiServerConnection(document, "");
  std::string text = Str(Item(document, "MultiServerConnection").description);
  const std::string head =
      "Specify here the addresses of the servers that this customized version is supposed to "
      "always connect to (can't be changed in the client). Format: password@IP:Port. Delimiter: "
      "\";\". Example: ";
  ASSERT_TRUE(StartsWith(text, head)) << text;
  auto entries = Split(text.substr(head.size()), ";");
  ASSERT_EQ(entries.size(), 2u) << text;
  for (const std::string& entry : entries) {
    size_t at = entry.find('@'), colon = entry.rfind(':');
    ASSERT_NE(at, std::string::npos) << entry;
    ASSERT_NE(colon, std::string::npos) << entry;
    EXPECT_GT(at, 0u);
    EXPECT_LT(at, colon);
    EXPECT_EQ(entry.find(' '), std::string::npos) << entry;
    std::string port = entry.substr(colon + 1);
    EXPECT_FALSE(port.empty());
    EXPECT_EQ(port.find_first_not_of("0123456789"), std::string::npos) << entry;
  }
}

// The sample is the four lines <Servers>, two Connection elements and </Servers>.
TEST(OemKeyDescriptions, ServersFileNameShowsASample) {
  OemDocument document;
  SetServersFileName(document, "servers.xml");
  std::string text = Str(Item(document, "ServersFileName").description);
  const std::string head =
      "Enter here the name of a file with the list of servers to connect to.\r\nNote: content of "
      "the file should have the syntax like :\r\n";
  ASSERT_TRUE(StartsWith(text, head)) << text;
  auto lines = Split(text.substr(head.size()), "\r\n");
  ASSERT_EQ(lines.size(), 4u) << text;
  EXPECT_EQ(lines[0], "<Servers>");
  EXPECT_EQ(lines[3], "</Servers>");
  for (int i = 1; i <= 2; ++i) {
    const std::string& line = lines[i];
    EXPECT_TRUE(StartsWith(line, "    <Connection address = \"")) << line;
    EXPECT_NE(line.find("\" password = \""), std::string::npos) << line;
    EXPECT_TRUE(EndsWith(line, "\">Connection Name " + std::to_string(i) + "</Connection>"))
        << line;
  }
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 5);
  for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
    EXPECT_EQ(text[at - 1], '\r');
}

TEST(OemKeyDescriptions, ServersFileContent) {
  OemDocument document;
  SetServersFileContent(document, "");
  EXPECT_EQ(Str(Item(document, "ServersFileContent").description),
            "You can add content of the servers file. Note should have the following format: "
            "IP1|Pass1|Name1 \\n IP2|Pass2|Name2");
}

TEST(OemKeyDescriptions, AdditionalCommandLinePointsAtAWebPage) {
  OemDocument document;
  SetAdditionalCommandLine(document, u"");
  std::string text = Str(Item(document, "AdditionalCommandLine").description);
  const std::string head =
      "Commands for console. Here you can list console commands to launch the program with "
      "every time it starts and restarts (choose supported commands from the list in ";
  const std::string tail = "). Note: replace quotation marks with '&quot;'";
  ASSERT_TRUE(StartsWith(text, head)) << text;
  ASSERT_TRUE(EndsWith(text, tail)) << text;
  std::string address = text.substr(head.size(), text.size() - head.size() - tail.size());
  EXPECT_TRUE(StartsWith(address, "http")) << address;
  EXPECT_EQ(address.find(' '), std::string::npos) << address;
}

}  // namespace
}  // namespace Zentu
