#include "src/commands/check_command.h"

#include <gtest/gtest.h>

#include "oem/oem_key_catalogue.h"
#include "oem/oem_template.h"
#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::Std;
using Testing::Text;
using Testing::UtilityRun;

// The template as -getxml writes it, with one text replaced.
std::string TemplateWith(const std::string& from, const std::string& to) {
  std::string text = Std(OemTemplateText());
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::vector<std::string> Problems(const std::string& text) {
  std::vector<std::string> lines;
  for (const Vadu::String& line : OemInformationProblems(Testing::Bytes(text)))
    lines.push_back(Std(line));
  return lines;
}

TEST(OemInformationCheck, TheTemplateAsWrittenIsSound) {
  EXPECT_EQ(Problems(Std(OemTemplateText())), std::vector<std::string>{});
}

TEST(OemInformationCheck, AMisspelledKeyNamesTheNearestKnownKey) {
  const std::string text = TemplateWith("<ProductName>Your Program Name</ProductName>",
                                        "<ProductNmae>Example Cam</ProductNmae>");
  EXPECT_EQ(Problems(text),
            (std::vector<std::string>{
                "ERROR: ProductNmae: unknown key, did you mean ProductName?",
                "ERROR: ProductName is missing: the product would keep its stock name"}));
  // Inside a group the nearest key of that group; a word far from every key gets no guess.
  EXPECT_EQ(Std(NearestKnownKey("Enabeld", {"Sms"})), "Enabled");
  EXPECT_EQ(Std(NearestKnownKey("helpurl", {})), "HelpURL");
  EXPECT_EQ(Std(NearestKnownKey("Unrelated", {})), "");
  EXPECT_EQ(Problems(TemplateWith("<oem>", "<oem>\n<Unrelated>x</Unrelated>")),
            std::vector<std::string>{"ERROR: Unrelated: unknown key"});
}

TEST(OemInformationCheck, ATruncatedFileNamesWhereItEnds) {
  const std::string whole = Std(OemTemplateText());
  const std::string cut = whole.substr(0, whole.find("<ProductName>") + 20);
  const size_t lines = std::count(cut.begin(), cut.end(), '\n') + 1;
  const size_t column = cut.size() - cut.rfind('\n');
  EXPECT_EQ(Problems(cut),
            std::vector<std::string>{"ERROR: oem_info.xml line " + std::to_string(lines) +
                                     ", column " + std::to_string(column) +
                                     ": unexpected end of file in element <ProductName>"});
  EXPECT_EQ(Problems("<?xml version=\"1.0\"?>\n<vendormark/>\n"),
            std::vector<std::string>{"ERROR: oem_info.xml holds no <oem> keys"});
}

TEST(OemInformationCheck, ValuesOfTheWrongKind) {
  std::string text = TemplateWith("<MaxArchiveSizeMB>0<", "<MaxArchiveSizeMB>10 GB<");
  text.replace(text.find("<AlwaysFullscreen>false<"), 24, "<AlwaysFullscreen>yes<");
  text.replace(text.find("<HelpURL>http://www.example.com/help<"), 37, "<HelpURL>www.example.com<");
  text.replace(text.find("<UsePostMethod>true<"), 20, "<UsePostMethod>on<");
  EXPECT_EQ(Problems(text),
            (std::vector<std::string>{
                "ERROR: AlwaysFullscreen: \"yes\" is not a boolean (true or false)",
                "ERROR: HelpURL: \"www.example.com\" is not a web address (http:// or https://)",
                "ERROR: MaxArchiveSizeMB: \"10 GB\" is not a whole number",
                "ERROR: Sms/UsePostMethod: \"on\" is not a boolean (true or false)"}));
}

class CheckCommand : public Testing::CommandTest {};

TEST_F(CheckCommand, ASoundFolderListsItsFilesAndTheSizeBrandingEmbeds) {
  OemDocument document;
  SetProductName(document, "Example Cam");
  SetVersionUniqueID(document, "com.example.cam");
  const fs::path resources =
      MakeResources({{"oem_info.xml", Std(document.ToXml())}, {"logo.png", "12345"}});
  UtilityRun run = Run("-check " + Arg(resources));
  EXPECT_EQ(run.exitCode, 0);
  // The compressed size is that of the payload branding writes.
  const fs::path target = work_.Path() / "firmware.bin";
  Vadu::Testing::WriteFileBytes(target, "firmware");
  ASSERT_EQ(Run("-resource " + Arg(resources) + " -target " + Arg(target)).exitCode, 0);
  const std::string branded = Vadu::Testing::ReadFileBytes(target);
  uint32_t payload = 0;
  for (int i = 0; i < 4; ++i)
    payload |= uint32_t(uint8_t(branded[branded.size() - 7 + i])) << 8 * i;
  const std::string size = std::to_string(document.ToXml().Length());
  EXPECT_EQ(run.output,
            "Checking " + Text(resources) + "\nFiles to embed:\n           5  logo.png\n" +
                std::string(12 - size.size(), ' ') + size +
                "  oem_info.xml\nCompressed size: " + std::to_string(payload) +
                " bytes, fits an Android package (at most 65527)\nOK: " + Text(resources) +
                " is ready to embed\n");
}

TEST_F(CheckCommand, WarningsAndTheAndroidLimitLeaveTheExitCode) {
  // Noise that does not compress, too much for an Android package.
  std::string noise(70000, '\0');
  uint32_t state = 7;
  for (char& c : noise) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
  const std::string product = "Caf\xC3\xA9 Vision Pros";  // 16 characters, 17 bytes
  fs::path resources =
      MakeResources({{"oem_info.xml", TemplateWith("<ProductName>Your Program Name<",
                                                   "<ProductName>" + product + "<")},
                     {"noise.bin", noise}});
  UtilityRun run = Run("-check " + Arg(resources));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.output.find("\nWARNING: VersionUniqueID is still the template's "
                            "\"Customized_Version_Unique_ID\": give the product a bundle "
                            "identifier of its own\nWARNING: ProductName has 16 characters: macOS "
                            "shows at most 15 of a bundle's short name (CFBundleName)\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find(" bytes, too large for an Android package (at most 65527)\nOK: "),
            std::string::npos)
      << run.output;

  // Fifteen characters are shown whole; an identifier that is missing is said so.
  OemDocument document;
  SetProductName(document, product.substr(0, product.size() - 1).c_str());
  Vadu::Testing::WriteFileBytes(resources / "oem_info.xml", Std(document.ToXml()));
  run = Run("-check " + Arg(resources));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.output.find("\nWARNING: VersionUniqueID is missing: a macOS application keeps "
                            "the stock bundle identifier, which every product without one "
                            "shares\nFiles to embed:"),
            std::string::npos)
      << run.output;
}

TEST_F(CheckCommand, EveryProblemSetsExitCodeOne) {
  fs::path resources = MakeResources({{"oem_info.xml", "<oem><ProductName>Cam</oem>"}});
  UtilityRun run = Run("-check " + Arg(resources));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("ERROR: oem_info.xml line 1, column 22: end tag </oem> does not match "
                            "<ProductName>\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("ERROR: " + Text(resources) + " is not ready to embed\n"),
            std::string::npos);

  fs::remove(resources / "oem_info.xml");
  run = Run("-check " + Arg(resources));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("ERROR: no oem_info.xml in " + Text(resources) + "\n"),
            std::string::npos)
      << run.output;

  run = Run("-check " + Arg(work_.Path() / "missing"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, "ERROR: can't find missing\n");
}

}  // namespace
}  // namespace Zentu
