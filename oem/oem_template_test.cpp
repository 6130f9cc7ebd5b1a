#include "oem/oem_template.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "oem/oem_key_catalogue.h"
#include "oem/oem_test_util.h"
#include "support/test_util.h"

namespace Zentu {
namespace {

using Testing::ReadXmlLines;
using Testing::Str;
using Testing::XmlLine;
using Vadu::String;

// The elements of the "oem" section in file order, the group elements where they fall.
const std::vector<std::string> kTopLevelOrder = {
    "ANPRSettingsUrl",
    "AdditionalCommandLine",
    "AllowToCreateNewFoldersForExport",
    "AlwaysFullscreen",
    "Sms",
    "ApplicationServiceName",
    "ApplicationUniqueKey",
    "ArchiveDataBaseDirPath",
    "ArchivePlaybackStartPosition",
    "AutoSelectionLoginAndPasswordEnabled",
    "AuxPtzParamsForControl",
    "BackupURL",
    "BdtmmSettingApiServerAddress",
    "BdtmmSettingApiServerPort",
    "BdtmmSettingDriveName",
    "BdtmmSettingStoreFolderPath",
    "BdtmmSettingTempFolderPath",
    "BdtmmSettingUserName",
    "BdtmmSettingUserPassword",
    "BdtmmUseByDefault",
    "BottomPanelMovementEnable",
    "BufferingOnClient",
    "BuyFarwireURL",
    "CameraErrorText",
    "CamerasFeedbackURL",
    "ChainsSamples",
    "CloudServiceAddress",
    "CompanyAddress",
    "CompanyName",
    "CompareVersionsUrl",
    "ConnectionErrorText",
    "ConnectionParametersEnabled",
    "CreateNewFolderForExportErrorMessage",
    "CursorHideInterval",
    "CustomLicenseAgreement",
    "DefaultExportFormatId",
    "DefaultExportPath",
    "DefaultLogins",
    "DefaultPasswords",
    "DefaultPorts",
    "DefaultSourceName",
    "DefaultUrls",
    "DisableBottomPanelButtons",
    "DisableExportWithReencoding",
    "DisableModules",
    "DisableOnlineControlsInHelp",
    "EnableLabelWarningPreviewStreamDoesNotWork",
    "Email",
    "ExitEnabled",
    "FeedbackURL",
    "GraphEnabled",
    "HelpURL",
    "HideWarningLowFPS",
    "HttpsSslHelper",
    "InformationAboutCloudURL",
    "IpCamsEnabled",
    "LanguageChangeEnabled",
    "LeftPanelEnabled",
    "LicenseEnabled",
    "LicensePlatesLog",
    "MainMenuDevicesByGroupsItemEnabled",
    "MainMenuInformationItemEnabled",
    "MainMenuIstallItemEnabled",
    "MainMenuRemoteAccessItemEnabled",
    "MainMenuTurnAllCamerasOffItemEnabled",
    "MaxArchiveSizeMB",
    "MicrophoneSoundDelayEnabled",
    "ModulesComparisonUrl",
    "MultiServerConnection",
    "NewVersionChangesURL",
    "NewVersionInfoDownloadURL",
    "NewVersionNotificationURL",
    "OnlyOnvifSearchEnabled",
    "OpenAlprDownloadURL",
    "OutsourceUrl",
    "ProductName",
    "RandomCamerasEnabled",
    "RateAppUrl",
    "RegisterProtocolEnabled",
    "RunOnlyClient",
    "SearchByHttpMarking",
    "SearchByLicensePlates",
    "SearchByMotion",
    "ServerAddress",
    "ServerPassword",
    "ServersFileContent",
    "ServersFileName",
    "SettingsBackupDirPath",
    "SettingsBackupEnabled",
    "SettingsDirPath",
    "ShowSplashScreen",
    "SpecialOfferURL",
    "StretchFactor",
    "SupportPhone",
    "SupportedCameraVendorsURL",
    "TempDir",
    "UserPermissionDialogUseCsvLogAlwaysOn",
    "VersionUniqueID",
    "VideoTutorialURL",
    "WebsiteURL",
};
// The keys of each group, in order.
const std::vector<std::string> kSmsOrder = {
    "ApiIDParam",
    "Enabled",
    "LoginParam",
    "ModemEnabled",
    "OperatorName",
    "OperatorURL",
    "OtherOperatorsEnabled",
    "OtherURLParams",
    "PasswordParam",
    "RecepientParam",
    "SenderParam",
    "SuccessCode",
    "TextParam",
    "UsePostMethod",
    "XmlData",
    "XmlParam",
};
const std::vector<std::string> kEmailOrder = {
    "EncryptionType",    "IsCanRemoveCurrentRecipient",
    "LoginParam",        "MailServer",
    "PasswordParam",     "RecipientAddresses",
    "SmtpServerAddress", "SmtpServerPort",
    "SubjectOfLetter",   "TextOfLetter",
};
// Every key (by item key) with the text its default gives.
const std::vector<std::pair<std::string, std::string>> kDefaults = {
    {"ANPRSettingsUrl", ""},
    {"AdditionalCommandLine", ""},
    {"AllowToCreateNewFoldersForExport", "true"},
    {"AlwaysFullscreen", "false"},
    {"ApiIDParamSms", "%APIID%"},
    {"ApplicationServiceName", "CoreServiceNameHere"},
    {"ApplicationUniqueKey", ""},
    {"ArchiveDataBaseDirPath", ""},
    {"ArchivePlaybackStartPosition", "0"},
    {"AutoSelectionLoginAndPasswordEnabled", "false"},
    {"AuxPtzParamsForControl", ""},
    {"BackupURL", "http://www.example.com/backup"},
    {"BdtmmSettingApiServerAddress", ""},
    {"BdtmmSettingApiServerPort", ""},
    {"BdtmmSettingDriveName", ""},
    {"BdtmmSettingStoreFolderPath", ""},
    {"BdtmmSettingTempFolderPath", ""},
    {"BdtmmSettingUserName", ""},
    {"BdtmmSettingUserPassword", ""},
    {"BdtmmUseByDefault", "false"},
    {"BottomPanelMovementEnable", "true"},
    {"BufferingOnClient", "false"},
    {"BuyFarwireURL", "http://www.example.com/shop/farwire"},
    {"CameraErrorText", ""},
    {"CamerasFeedbackURL", "http://www.example.com/feedback/cameras"},
    {"ChainsSamples", ""},
    {"CloudServiceAddress", ""},
    {"CompanyAddress", " Address line 1 \\n Address line 2 \\n Address line 3 "},
    {"CompanyName", "Your company name"},
    {"CompareVersionsUrl", "http://www.example.com/versions/compare"},
    {"ConnectionErrorText", ""},
    {"ConnectionParametersEnabled", "true"},
    {"CreateNewFolderForExportErrorMessage", ""},
    {"CursorHideInterval", "0"},
    {"CustomLicenseAgreement", "true"},
    {"DefaultExportFormatId", "0"},
    {"DefaultExportPath", ""},
    {"DefaultLogins", ""},
    {"DefaultPasswords", ""},
    {"DefaultPorts", ""},
    {"DefaultSourceName", ""},
    {"DefaultUrls", ""},
    {"DisableBottomPanelButtons", ""},
    {"DisableExportWithReencoding", "true"},
    {"DisableModules", ""},
    {"DisableOnlineControlsInHelp", "false"},
    {"EnableLabelWarningPreviewStreamDoesNotWork", "true"},
    {"EnabledSms", "true"},
    {"EncryptionTypeEmail", ""},
    {"ExitEnabled", "true"},
    {"FeedbackURL", "http://www.example.com/feedback"},
    {"GraphEnabled", "true"},
    {"HelpURL", "http://www.example.com/help"},
    {"HideWarningLowFPS", "true"},
    {"HttpsSslHelper", "http://www.example.com/help/https-ssl-access"},
    {"InformationAboutCloudURL", "http://www.example.com/cloud/about"},
    {"IpCamsEnabled", "true"},
    {"IsCanRemoveCurrentRecipientEmail", "true"},
    {"LanguageChangeEnabled", "true"},
    {"LeftPanelEnabled", "true"},
    {"LicenseEnabled", "true"},
    {"LicensePlatesLog", "true"},
    {"LoginParamEmail", ""},
    {"LoginParamSms", "%LOGIN%"},
    {"MailServerEmail", ""},
    {"MainMenuDevicesByGroupsItemEnabled", "true"},
    {"MainMenuInformationItemEnabled", "true"},
    {"MainMenuIstallItemEnabled", "true"},
    {"MainMenuRemoteAccessItemEnabled", "true"},
    {"MainMenuTurnAllCamerasOffItemEnabled", "true"},
    {"MaxArchiveSizeMB", "0"},
    {"MicrophoneSoundDelayEnabled", "false"},
    {"ModemEnabledSms", "true"},
    {"ModulesComparisonUrl", "http://www.example.com/editions"},
    {"MultiServerConnection", ""},
    {"NewVersionChangesURL", "http://www.example.com/updates/changes"},
    {"NewVersionInfoDownloadURL", "http://www.example.com/updates/version.xml"},
    {"NewVersionNotificationURL", "http://www.example.com/updates/notification"},
    {"OnlyOnvifSearchEnabled", "false"},
    {"OpenAlprDownloadURL", "http://www.example.com/downloads/openalpr"},
    {"OperatorNameSms", "Your SMS operator name"},
    {"OperatorURLSms", "http://sms.example.com/send"},
    {"OtherOperatorsEnabledSms", "true"},
    {"OtherURLParamsSms", "&param1=value1&param2=value2"},
    {"OutsourceUrl", "http://www.example.com/outsource"},
    {"PasswordParamEmail", ""},
    {"PasswordParamSms", "%PASSWORD%"},
    {"ProductName", "Your Program Name"},
    {"RandomCamerasEnabled", "true"},
    {"RateAppUrl", "http://www.example.com/rate"},
    {"RecepientParamSms", "%TO%"},
    {"RecipientAddressesEmail", ""},
    {"RegisterProtocolEnabled", "false"},
    {"RunOnlyClient", "false"},
    {"SearchByHttpMarking", "false"},
    {"SearchByLicensePlates", "true"},
    {"SearchByMotion", "true"},
    {"SenderParamSms", "%FROM%"},
    {"ServerAddress", ""},
    {"ServerPassword", ""},
    {"ServersFileContent",
     "192.0.2.10:8080|secret1|Connection Name 1 \\n 198.51.100.20:8081|secret2|Connection Name 2"},
    {"ServersFileName", "servers.xml"},
    {"SettingsBackupDirPath", ""},
    {"SettingsBackupEnabled", "true"},
    {"SettingsDirPath", ""},
    {"ShowSplashScreen", "false"},
    {"SmtpServerAddressEmail", ""},
    {"SmtpServerPortEmail", ""},
    {"SpecialOfferURL", "http://www.example.com/special-offers"},
    {"StretchFactor", "100"},
    {"SubjectOfLetterEmail", ""},
    {"SuccessCodeSms", "Your response code after SMS send is successful"},
    {"SupportPhone", "Your support phone number"},
    {"SupportedCameraVendorsURL", "http://www.example.com/cameras/vendors"},
    {"TempDir", ""},
    {"TextOfLetterEmail", ""},
    {"TextParamSms", "%MESSAGE%"},
    {"UsePostMethodSms", "true"},
    {"UserPermissionDialogUseCsvLogAlwaysOn", "false"},
    {"VersionUniqueID", "Customized_Version_Unique_ID"},
    {"VideoTutorialURL", "http://www.example.com/video-tutorials"},
    {"WebsiteURL", "http://www.example.com/"},
    {"XmlDataSms",
     "<yourAPI><sendMsg><user>{ %LOGIN% }</user><password>{ %PASSWORD% }</password><api_id>{ "
     "%APIID% }</api_id><from>{ %FROM% }</from><to>{ %TO% }</to><text>{ %MESSAGE% "
     "}</text></sendMsg></yourAPI>"},
    {"XmlParamSms", "data"},
};

std::string Template() { return Str(OemTemplateText()); }

bool Contains(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& piece) {
  size_t count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
    ++count;
  return count;
}

// --- Exact bytes of selected parts -----------------------------------------------------------

TEST(OemTemplateBytes, Beginning) {
  const std::string expected =
      "<?xml version=\"1.0\"?>\n"
      "<!-- If you delete a line, the default (Ostrak's) info will be used -->\n"
      "<vendormark>\n"
      "  <oem>\n"
      "    <!-- URL of the ANPR module settings page -->\n"
      "    <ANPRSettingsUrl />\n"
      "    <!-- Commands for console. Here you can list console commands to launch the program "
      "with every time it starts and restarts (choose supported commands from the list in "
      "http://www.example.com/help/console-commands). Note: replace quotation marks with "
      "'&quot;' -->\n"
      "    <AdditionalCommandLine />\n"
      "    <!-- Allow to create new folders for export from the archive -->\n"
      "    <AllowToCreateNewFoldersForExport>true</AllowToCreateNewFoldersForExport>\n"
      "    <!-- If set to true, client will always work in fullscreen mode (for Windows and "
      "Linux) -->\n"
      "    <AlwaysFullscreen>false</AlwaysFullscreen>\n"
      "    <Sms>\n"
      "      <!-- The \"API ID\" macro will be substituted by real data in requests (this ID may "
      "be provided by the operator after registration) -->\n"
      "      <ApiIDParam>%APIID%</ApiIDParam>\n"
      "      <!-- Enable the SMS sending module -->\n"
      "      <Enabled>true</Enabled>\n";
  EXPECT_EQ(Template().substr(0, expected.size()), expected);
}

TEST(OemTemplateBytes, EndOfTheSmsGroup) {
  const std::string expected =
      "\n      <!-- XML data to send to the operator (if the operator accepts requests in XML). "
      "(The exported data containing macros that are specified above and are to be substituted "
      "by real data) -->\n"
      "      <XmlData>&lt;yourAPI&rt;&lt;sendMsg&rt;&lt;user&rt;{ %LOGIN% }&lt;/user&rt;"
      "&lt;password&rt;{ %PASSWORD% }&lt;/password&rt;&lt;api_id&rt;{ %APIID% }&lt;/api_id&rt;"
      "&lt;from&rt;{ %FROM% }&lt;/from&rt;&lt;to&rt;{ %TO% }&lt;/to&rt;&lt;text&rt;"
      "{ %MESSAGE% }&lt;/text&rt;&lt;/sendMsg&rt;&lt;/yourAPI&rt;</XmlData>\n"
      "      <XmlParam>data</XmlParam>\n"
      "    </Sms>\n"
      "    <!-- Application service name. Only A-Z letters available, no spaces, length 35 "
      "characters max -->\n"
      "    <ApplicationServiceName>CoreServiceNameHere</ApplicationServiceName>\n";
  EXPECT_EQ(Count(Template(), expected), 1u);
  EXPECT_TRUE(Contains(Template(),
                       "\n      <!-- New operator's additional parameters (in SMS "
                       "sending URL-request) -->\n      <OtherURLParams>"
                       "&amp;param1=value1&amp;param2=value2</OtherURLParams>\n"));
}

TEST(OemTemplateBytes, EmailGroup) {
  const std::string expected =
      "\n    <EnableLabelWarningPreviewStreamDoesNotWork>true"
      "</EnableLabelWarningPreviewStreamDoesNotWork>\n"
      "    <Email>\n"
      "      <!-- Encryption Type - set if \"MailServer\" is \"custom\". Can be: [ "
      "WithoutEncryption, SSL, STARTTLS ] -->\n"
      "      <EncryptionType />\n"
      "      <!-- If \"false\", then when you click on the \"Delete current user\" button, the "
      "user will not be deleted -->\n"
      "      <IsCanRemoveCurrentRecipient>true</IsCanRemoveCurrentRecipient>\n"
      "      <!-- Login of the mail being sent -->\n"
      "      <LoginParam />\n"
      "      <!-- Select one mail server from: [ custom, gmail, outlook, yahoo, icloud, aol, "
      "zoho, gmx ]If the value \"custom\" is selected, then you need to define : "
      "SmtpServerAddress, SmtpServerPort, EncryptionType -->\n"
      "      <MailServer />\n"
      "      <!-- Password of the mail being sent -->\n"
      "      <PasswordParam />\n"
      "      <!-- Recipient Addresses - Listing addresses via \";\". For example "
      "\"alice@example.com; bob@example.org; carol@example.net; dave@example.com\" -->\n"
      "      <RecipientAddresses />\n"
      "      <!-- Smtp Server Address - set if \"MailServer\" is \"custom\" -->\n"
      "      <SmtpServerAddress />\n"
      "      <!-- Smtp Server Port - set if \"MailServer\" is \"custom\" -->\n"
      "      <SmtpServerPort />\n"
      "      <!-- Subject Of Letter -->\n"
      "      <SubjectOfLetter />\n"
      "      <!-- Text Of Letter -->\n"
      "      <TextOfLetter />\n"
      "    </Email>\n"
      "    <!-- If set to true, the Exit option will be displayed in Main Menu (useful for "
      "integration into DVRs where you don't need anything but Zentu, so there's no use in "
      "exiting it) -->\n"
      "    <ExitEnabled>true</ExitEnabled>\n";
  EXPECT_EQ(Count(Template(), expected), 1u);
}

TEST(OemTemplateBytes, CommentsWithCarriageReturns) {
  const std::string format =
      "\n    <!-- Default format for export from the archive:\r\n"
      "    0 - not set\r\n    1 - JPEG\r\n    2 - MJPEG\r\n    3 - AVI\r\n"
      "    4 - AVI without reencoding\r\n    5 - MP4 without reencoding\r\n    6 - VP8\r\n"
      "    7 - VP9\r\n    8 - WMV\r\n    9 - MKV without reencoding\r\n"
      "     -->\n"
      "    <DefaultExportFormatId>0</DefaultExportFormatId>\n";
  const std::string servers =
      "\n    <!-- You can add content of the servers file. Note should have the following "
      "format: IP1|Pass1|Name1 \\n IP2|Pass2|Name2 -->\n"
      "    <ServersFileContent>192.0.2.10:8080|secret1|Connection Name 1 \\n "
      "198.51.100.20:8081|secret2|Connection Name 2</ServersFileContent>\n"
      "    <!-- Enter here the name of a file with the list of servers to connect to.\r\n"
      "    Note: content of the file should have the syntax like :\r\n"
      "    <Servers>\r\n"
      "        <Connection address = \"192.0.2.10:8080\" password = \"secret1\">Connection "
      "Name 1</Connection>\r\n"
      "        <Connection address = \"198.51.100.20:8081\" password = \"secret2\">Connection "
      "Name 2</Connection>\r\n"
      "    </Servers> -->\n"
      "    <ServersFileName>servers.xml</ServersFileName>\n";
  std::string text = Template();
  EXPECT_EQ(Count(text, format), 1u);
  EXPECT_EQ(Count(text, servers), 1u);
  // Carriage returns occur only where descriptions hold them (7 + 11 + 5), each before a line
  // feed.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 23);
  EXPECT_EQ(Count(text, "\r\n"), 23u);
}

TEST(OemTemplateBytes, KeysWithoutDescription) {
  std::string text = Template();
  EXPECT_EQ(Count(text,
                  "\n    <!-- URL of a page with outsource -->\n"
                  "    <OutsourceUrl>http://www.example.com/outsource</OutsourceUrl>\n"
                  "    <ProductName>Your Program Name</ProductName>\n"
                  "    <!-- Ability to add random world camera -->\n"),
            1u);
  EXPECT_EQ(Count(text, "</XmlData>\n      <XmlParam>data</XmlParam>\n"), 1u);
}

TEST(OemTemplateBytes, End) {
  const std::string expected =
      "\n    <!-- URL of a page with video tutorials -->\n"
      "    <VideoTutorialURL>http://www.example.com/video-tutorials</VideoTutorialURL>\n"
      "    <!-- URL of the program website -->\n"
      "    <WebsiteURL>http://www.example.com/</WebsiteURL>\n"
      "  </oem>\n"
      "</vendormark>";
  std::string text = Template();
  ASSERT_GE(text.size(), expected.size());
  EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
}

// --- Structure ------------------------------------------------------------------------------

TEST(OemTemplateStructure, EveryLineIsOneWellIndentedPiece) {
  std::string text = Template();
  const std::string declaration = "<?xml version=\"1.0\"?>\n";
  ASSERT_EQ(text.compare(0, declaration.size(), declaration), 0);
  EXPECT_NE(text.back(), '\n');
  EXPECT_EQ(text.find("\xEF\xBB\xBF"), std::string::npos);
  std::vector<XmlLine> pieces = ReadXmlLines(text.substr(declaration.size()));
  ASSERT_GE(pieces.size(), 5u);
  EXPECT_EQ(pieces[0].kind, XmlLine::kComment);
  EXPECT_EQ(pieces[0].indent, 0);
  EXPECT_EQ(pieces[1].kind, XmlLine::kStart);
  EXPECT_EQ(pieces[1].name, "vendormark");
  EXPECT_EQ(pieces.back().kind, XmlLine::kEnd);
  EXPECT_EQ(pieces.back().name, "vendormark");
  // Walk the nesting: every piece sits at two spaces per open element, every comment is
  // followed by an element at its own indentation, every end tag closes the last start tag.
  std::vector<std::string> open;
  for (size_t i = 1; i < pieces.size(); ++i) {
    const XmlLine& piece = pieces[i];
    ASSERT_NE(piece.kind, XmlLine::kOther) << "piece " << i;
    if (piece.kind == XmlLine::kEnd) {
      ASSERT_FALSE(open.empty());
      EXPECT_EQ(piece.name, open.back());
      open.pop_back();
      EXPECT_EQ(piece.indent, static_cast<int>(2 * open.size())) << piece.name;
      continue;
    }
    EXPECT_EQ(piece.indent, static_cast<int>(2 * open.size())) << piece.name << piece.text;
    if (piece.kind == XmlLine::kComment) {
      ASSERT_LT(i + 1, pieces.size());
      EXPECT_NE(pieces[i + 1].kind, XmlLine::kComment);
      EXPECT_NE(pieces[i + 1].kind, XmlLine::kEnd);
      EXPECT_EQ(piece.text.find("--"), std::string::npos) << piece.text;
    }
    if (piece.kind == XmlLine::kStart) open.push_back(piece.name);
  }
  EXPECT_TRUE(open.empty());
}

// The elements directly inside `parent` (found by its start tag at `indent`), in order.
std::vector<std::string> ChildNames(const std::vector<XmlLine>& pieces, const std::string& parent,
                                    int indent) {
  std::vector<std::string> names;
  bool inside = false;
  for (const XmlLine& piece : pieces) {
    if (!inside) {
      inside = piece.kind == XmlLine::kStart && piece.name == parent && piece.indent == indent;
      continue;
    }
    if (piece.kind == XmlLine::kEnd && piece.indent == indent) break;
    if (piece.indent == indent + 2 && piece.kind != XmlLine::kComment &&
        piece.kind != XmlLine::kEnd)
      names.push_back(piece.name);
  }
  return names;
}

TEST(OemTemplateStructure, KeysAndGroupsInFileOrder) {
  std::vector<XmlLine> pieces = ReadXmlLines(Template());
  EXPECT_EQ(ChildNames(pieces, "vendormark", 0), std::vector<std::string>{"oem"});
  EXPECT_EQ(ChildNames(pieces, "oem", 2), kTopLevelOrder);
  EXPECT_EQ(ChildNames(pieces, "Sms", 4), kSmsOrder);
  EXPECT_EQ(ChildNames(pieces, "Email", 4), kEmailOrder);
  EXPECT_EQ(kSmsOrder.size(), 16u);
  EXPECT_EQ(kEmailOrder.size(), 10u);
  // The group elements directly follow AlwaysFullscreen and
  // EnableLabelWarningPreviewStreamDoesNotWork.
  auto sms = std::find(kTopLevelOrder.begin(), kTopLevelOrder.end(), "Sms");
  auto email = std::find(kTopLevelOrder.begin(), kTopLevelOrder.end(), "Email");
  ASSERT_NE(sms, kTopLevelOrder.begin());
  ASSERT_NE(email, kTopLevelOrder.begin());
  EXPECT_EQ(*(sms - 1), "AlwaysFullscreen");
  EXPECT_EQ(*(email - 1), "EnableLabelWarningPreviewStreamDoesNotWork");
}

TEST(OemTemplateStructure, LoginAndPasswordOnceInEachGroup) {
  std::string text = Template();
  for (const char* name : {"LoginParam", "PasswordParam"}) {
    EXPECT_EQ(Count(text, std::string("<") + name), 2u) << name;
    EXPECT_EQ(std::count(kSmsOrder.begin(), kSmsOrder.end(), name), 1) << name;
    EXPECT_EQ(std::count(kEmailOrder.begin(), kEmailOrder.end(), name), 1) << name;
    EXPECT_EQ(std::count(kTopLevelOrder.begin(), kTopLevelOrder.end(), name), 0) << name;
  }
  EXPECT_EQ(Count(text, "<Sms>"), 1u);
  EXPECT_EQ(Count(text, "<Email>"), 1u);
}

TEST(OemTemplateStructure, EmptyDefaultsAreSelfClosingAndValuesAreEscaped) {
  std::vector<XmlLine> pieces = ReadXmlLines(Template());
  std::set<std::string> empty, filled;
  for (const auto& [key, value] : kDefaults) (value.empty() ? empty : filled).insert(key);
  size_t elements = 0;
  for (size_t i = 0; i < pieces.size(); ++i) {
    const XmlLine& piece = pieces[i];
    if (piece.kind != XmlLine::kEmpty && piece.kind != XmlLine::kLeaf) continue;
    ++elements;
    // The item key: the name followed by the group the element sits in.
    std::string group;
    if (piece.indent == 6) {
      for (size_t j = i; j-- > 0;)
        if (pieces[j].kind == XmlLine::kStart && pieces[j].indent == 4) {
          group = pieces[j].name;
          break;
        }
    }
    std::string key = piece.name + group;
    if (piece.kind == XmlLine::kEmpty) {
      EXPECT_EQ(empty.count(key), 1u) << key;
    } else {
      EXPECT_EQ(filled.count(key), 1u) << key;
      EXPECT_EQ(piece.text.find_first_of("<>\"'"), std::string::npos) << key;
    }
  }
  EXPECT_EQ(elements, 124u);
  EXPECT_EQ(empty.size() + filled.size(), 124u);
}

TEST(OemTemplateStructure, HiddenItemIsNeverWritten) {
  EXPECT_FALSE(Contains(Template(), "MainMenuAboutItemEnable"));
  OemDocument document;
  FillOemTemplate(document);
  ASSERT_EQ(document.Size(), 125u);
  const OemItem* about = document.Find("MainMenuAboutItemEnable");
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->hidden);
  EXPECT_EQ(Str(about->value), "true");
  for (const auto& [key, item] : document.AllItems()) {
    if (key != String("MainMenuAboutItemEnable")) {
      EXPECT_FALSE(item.hidden) << Str(key);
    }
  }
}

TEST(OemTemplateStructure, PlaceholderAddressesAreDistinctSampleSites) {
  std::set<std::string> seen;
  for (const auto& [key, value] : kDefaults) {
    if (value.rfind("http", 0) != 0) continue;
    EXPECT_TRUE(seen.insert(value).second) << key;
    // Only the example domains reserved for documentation.
    size_t host = value.find("://") + 3;
    std::string name = value.substr(host, value.find('/', host) - host);
    bool example = false;
    for (const char* domain : {"example.com", "example.org", "example.net"})
      example |=
          name == domain || (name.size() > std::string(domain).size() &&
                             name.compare(name.size() - std::string(domain).size() - 1,
                                          std::string::npos, std::string(".") + domain) == 0);
    EXPECT_TRUE(example) << key << " " << value;
  }
  EXPECT_EQ(seen.size(), 20u);  // the 19 web-address keys and the SMS operator
}

// --- Reading the template back --------------------------------------------------------------

TEST(OemTemplateRoundTrip, EveryVisibleKeyComesBackWithItsDefault) {
  OemDocument loaded;
  ASSERT_TRUE(loaded.Load(OemTemplateText()));
  EXPECT_EQ(loaded.Size(), kDefaults.size());
  for (const auto& [key, value] : kDefaults) {
    const OemItem* item = loaded.Find(String(key.c_str()));
    ASSERT_NE(item, nullptr) << key;
    EXPECT_EQ(Str(item->value), value) << key;
  }
  EXPECT_EQ(loaded.Find("MainMenuAboutItemEnable"), nullptr);
  EXPECT_EQ(Str(ProductName(loaded)), "Your Program Name");
  EXPECT_EQ(Str(VersionUniqueID(loaded)), "Customized_Version_Unique_ID");
}

TEST(OemTemplateRoundTrip, FilledDocumentMatchesTheLoadedOne) {
  OemDocument filled;
  FillOemTemplate(filled);
  OemDocument loaded(OemTemplateText());
  for (const auto& [key, item] : filled.AllItems()) {
    if (item.hidden) continue;
    const OemItem* back = loaded.Find(key);
    ASSERT_NE(back, nullptr) << Str(key);
    EXPECT_EQ(Str(back->value), Str(item.value)) << Str(key);
    EXPECT_EQ(back->path, item.path) << Str(key);
  }
}

// --- Writing the file -----------------------------------------------------------------------

TEST(OemTemplateFile, WritesOemInfoIntoTheDirectory) {
  Vadu::Testing::TempFolder folder;
  ASSERT_TRUE(WriteOemTemplate(Vadu::Testing::Wide(folder.Path())));
  EXPECT_EQ(Vadu::Testing::ReadFileBytes(folder.Path() / "oem_info.xml"), Template());
}

TEST(OemTemplateFile, ReplacesALongerFileAndCreatesMissingFolders) {
  Vadu::Testing::TempFolder folder;
  Vadu::Testing::WriteFileBytes(folder.Path() / "oem_info.xml", std::string(100000, 'x'));
  ASSERT_TRUE(WriteOemTemplate(Vadu::Testing::Wide(folder.Path())));
  EXPECT_EQ(Vadu::Testing::ReadFileBytes(folder.Path() / "oem_info.xml"), Template());
  ASSERT_TRUE(WriteOemTemplate(Vadu::Testing::Wide(folder.Path() / "new" / "dir")));
  EXPECT_EQ(Vadu::Testing::ReadFileBytes(folder.Path() / "new" / "dir" / "oem_info.xml"),
            Template());
}

TEST(OemTemplateFile, FailsWhenTheFileCannotBeWritten) {
  Vadu::Testing::TempFolder folder;
  // The directory is a file.
  Vadu::Testing::WriteFileBytes(folder.Path() / "plain", "data");
  EXPECT_FALSE(WriteOemTemplate(Vadu::Testing::Wide(folder.Path() / "plain")));
  EXPECT_EQ(Vadu::Testing::ReadFileBytes(folder.Path() / "plain"), "data");
  // The file name is taken by a directory.
  std::filesystem::create_directory(folder.Path() / "sub");
  std::filesystem::create_directory(folder.Path() / "sub" / "oem_info.xml");
  EXPECT_FALSE(WriteOemTemplate(Vadu::Testing::Wide(folder.Path() / "sub")));
}

}  // namespace
}  // namespace Zentu
