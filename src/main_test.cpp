// Runs the built utility as a user would and checks what it leaves behind.
#include <gtest/gtest.h>

#include <algorithm>

#include "src/test_sandbox.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::UtilitySandbox;

std::string LogNameOf(const UtilitySandbox& sandbox, const char* suffix) {
  return sandbox.Executable().stem().string() + suffix;
}

TEST(EntryPoint, NoCommandLogsTheStartAndTheWarningAndExitsWithTwo) {
  UtilitySandbox sandbox;
  const std::string once =
      "[INFO]:\r\nStart customization utility\n\r\n"
      "[WARNING]:\r\nAbsent or unknown command line parameter(s)\n";
  EXPECT_EQ(sandbox.Run("").exitCode, 2);
  EXPECT_EQ(sandbox.ReadBeside(LogNameOf(sandbox, ".main.log")), once);
  // A second run appends behind the first; the first header of a run has no blank line before it.
  EXPECT_EQ(sandbox.Run("-resource onlythis").exitCode, 2);
  EXPECT_EQ(sandbox.ReadBeside(LogNameOf(sandbox, ".main.log")), once + once);
}

TEST(EntryPoint, LogFilesAreNamedAfterTheRenamedExecutable) {
  UtilitySandbox sandbox(fs::path(UtilitySandbox::DefaultName()).extension().string().empty()
                             ? "brand tool"
                             : "brand tool.exe");
  Testing::UtilityRun run = sandbox.Run("free words only");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(fs::exists(sandbox.Folder() / "brand tool.main.log"));
  // The usage text names the program by its file name.
  EXPECT_EQ(run.output.rfind("    Zentu Rebrand ", 0), 0u) << run.output;
  EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 45);
  EXPECT_NE(run.output.find("        " + sandbox.Executable().filename().string() +
                            " -resource <RESOURCE_PATH> -target <ZENTU_FILE>\n"),
            std::string::npos);
}

TEST(EntryPoint, RemovesTheWorkingFolderOfAnEarlierRun) {
  UtilitySandbox sandbox;
  fs::create_directories(sandbox.Temp() / "zentuunpacked" / "deep" / "er");
  Vadu::Testing::WriteFileBytes(sandbox.Temp() / "zentuunpacked" / "deep" / "file", "x");
  Vadu::Testing::WriteFileBytes(sandbox.Temp() / "keep.txt", "kept");
  sandbox.Run("");
  EXPECT_FALSE(fs::exists(sandbox.Temp() / "zentuunpacked"));
  EXPECT_TRUE(fs::exists(sandbox.Temp() / "keep.txt"));
}

TEST(EntryPoint, GetXmlWritesTheTemplateBesideTheUtilityNotInTheCurrentFolder) {
  UtilitySandbox sandbox;
  Testing::UtilityRun run = sandbox.Run("-getxml");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "OEM Information xml file saved to \"oem_info.xml\"\n");
  std::string xml = sandbox.ReadBeside("oem_info.xml");
  EXPECT_EQ(xml.rfind("<?xml", 0), 0u);
  EXPECT_NE(xml.find("<ProductName"), std::string::npos);
  // A bare word selects the command through the dash-less lookup.
  EXPECT_EQ(sandbox.Run("getxml").exitCode, 0);
}

TEST(EntryPoint, TheTemplateCommandFailsWithExitCodeOneWhenItCannotWrite) {
  UtilitySandbox sandbox;
  fs::create_directory(sandbox.Folder() / "oem_info.xml");  // a folder stands in the way
  Testing::UtilityRun run = sandbox.Run("-getxml");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, "ERROR: can't save xml file with OEM information\n");
}

TEST(EntryPoint, EmbeddingWithoutATargetFallsThroughToTheUsageExit) {
  UtilitySandbox sandbox;
  EXPECT_EQ(sandbox.Run("-icon x.ico").exitCode, 2);
  EXPECT_EQ(sandbox.Run("-target").exitCode, 2);
  EXPECT_EQ(sandbox.Run("-Getxml").exitCode, 2);  // option names are case-sensitive
}

}  // namespace
}  // namespace Zentu
