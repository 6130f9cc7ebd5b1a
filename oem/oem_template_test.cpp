#include "oem/oem_template.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "oem/oem_key_catalogue.h"
#include "oem/oem_test_util.h"
#include "support/test_util.h"

namespace Zentu {
namespace {

using Testing::Str;
using Vadu::String;

std::string Template() { return Str(OemTemplateText()); }

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

// Each excerpt occurs exactly once: the end of the SMS group with its escaped XML sample, the
// whole e-mail group, keys without description, and comments holding CR LF line breaks.
TEST(OemTemplateBytes, Excerpts) {
  const char* const excerpts[] = {
      "\n      <!-- New operator's additional parameters (in SMS sending URL-request) -->\n"
      "      <OtherURLParams>&amp;param1=value1&amp;param2=value2</OtherURLParams>\n",

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
      "    <ApplicationServiceName>CoreServiceNameHere</ApplicationServiceName>\n",

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
      "    <ExitEnabled>true</ExitEnabled>\n",

      "\n    <!-- URL of a page with outsource -->\n"
      "    <OutsourceUrl>http://www.example.com/outsource</OutsourceUrl>\n"
      "    <ProductName>Your Program Name</ProductName>\n"
      "    <!-- Ability to add random world camera -->\n",

      "\n    <!-- Default format for export from the archive:\r\n"
      "    0 - not set\r\n    1 - JPEG\r\n    2 - MJPEG\r\n    3 - AVI\r\n"
      "    4 - AVI without reencoding\r\n    5 - MP4 without reencoding\r\n    6 - VP8\r\n"
      "    7 - VP9\r\n    8 - WMV\r\n    9 - MKV without reencoding\r\n"
      "     -->\n"
      "    <DefaultExportFormatId>0</DefaultExportFormatId>\n",

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
      "    <ServersFileName>servers.xml</ServersFileName>\n",
  };
  std::string text = Template();
  for (const char* excerpt : excerpts) EXPECT_EQ(Count(text, excerpt), 1u) << excerpt;
  // Carriage returns occur only where descriptions hold them (7 + 11 + 5), each before a line
  // feed.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 23);
  EXPECT_EQ(Count(text, "\r\n"), 23u);
}

// --- Structure ------------------------------------------------------------------------------

TEST(OemTemplateStructure, CommentsStayCommentsAndEmptyValuesSelfClose) {
  std::string text = Template();
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\"?>\n<!-- ", 0), 0u);  // no byte-order mark
  EXPECT_NE(text.back(), '\n');
  OemDocument document;
  FillOemTemplate(document);
  size_t emptyValues = 0;
  for (const auto& [key, item] : document.AllItems()) {
    // "--" would end the comment early.
    EXPECT_EQ(Str(item.description).find("--"), std::string::npos) << Str(key);
    if (!item.hidden && item.value.IsEmpty()) ++emptyValues;
  }
  // Empty defaults are written as self-closing elements.
  EXPECT_EQ(Count(text, " />\n"), emptyValues);
}

TEST(OemTemplateStructure, OnlyTheAboutItemIsHiddenAndNeverWritten) {
  EXPECT_EQ(Template().find("MainMenuAboutItemEnable"), std::string::npos);
  OemDocument document;
  FillOemTemplate(document);
  ASSERT_EQ(document.Size(), 125u);
  for (const auto& [key, item] : document.AllItems())
    EXPECT_EQ(item.hidden, key == String("MainMenuAboutItemEnable")) << Str(key);
}

TEST(OemTemplateStructure, PlaceholderAddressesAreDistinct) {
  OemDocument document;
  FillOemTemplate(document);
  std::set<std::string> seen;
  for (const auto& [key, item] : document.AllItems()) {
    if (Str(item.value).rfind("http", 0) == 0) {
      EXPECT_TRUE(seen.insert(Str(item.value)).second) << Str(key);
    }
  }
  EXPECT_EQ(seen.size(), 20u);  // the 19 web-address keys and the SMS operator
}

TEST(OemTemplateStructure, ReadsBackAsTheFilledDocument) {
  OemDocument filled;
  FillOemTemplate(filled);
  OemDocument loaded;
  ASSERT_TRUE(loaded.Load(OemTemplateText()));
  EXPECT_EQ(loaded.Size(), filled.Size() - 1);
  for (const auto& [key, item] : filled.AllItems()) {
    const OemItem* back = loaded.Find(key);
    if (item.hidden) {
      EXPECT_EQ(back, nullptr);
      continue;
    }
    ASSERT_NE(back, nullptr) << Str(key);
    EXPECT_EQ(Str(back->value), Str(item.value)) << Str(key);
    EXPECT_EQ(back->path, item.path) << Str(key);
  }
}

// --- Writing the file -----------------------------------------------------------------------

TEST(OemTemplateFile, ReplacesAnEarlierFileAndCreatesMissingFolders) {
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
  std::filesystem::create_directories(folder.Path() / "sub" / "oem_info.xml");
  EXPECT_FALSE(WriteOemTemplate(Vadu::Testing::Wide(folder.Path() / "sub")));
}

}  // namespace
}  // namespace Zentu
