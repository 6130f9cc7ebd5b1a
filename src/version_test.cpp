#include "src/version.h"

#include <gtest/gtest.h>

#include <regex>

#include "src/steps/payloads.h"
#include "support/process.h"
#include "support/test_util.h"
#include "tests/test_command_util.h"

namespace Zentu {
namespace {

using Vadu::Testing::Std;

TEST(Version, TheProgramVersionIsTheConfiguredOneNotTheFallback) {
  const std::string version = Std(ProgramVersionText());
  EXPECT_TRUE(std::regex_match(version, std::regex("[0-9]+(\\.[0-9]+){1,3}"))) << version;
  EXPECT_NE(version, "0.0.0");
}

TEST(Version, TheReported7ZipVersionIsThatOfTheCarriedProgram) {
  Testing::ScopedTempEnvironment temp;
  const Vadu::WString tool = EnsureArchiveTool();
  ASSERT_FALSE(tool.IsEmpty());
  // 7-Zip names its version in the first line of every run: "7-Zip (z) 26.03 (x64) : ...".
  const Vadu::CommandResult result =
      Vadu::RunProgramCaptured(tool, u"i", Vadu::StderrRedirect::ToOutput);
  const std::string banner = Std(Vadu::ToUtf8(result.output));
  EXPECT_NE(banner.find(" " + Std(ArchiveToolVersionText()) + " "), std::string::npos) << banner;
}

TEST(Version, EverySpellingPrintsTheProgramTheBuildAndThe7ZipVersionsAndExitsWithZero) {
  Testing::UtilitySandbox sandbox;
  const Testing::UtilityRun run = sandbox.Run("-version");
  EXPECT_EQ(run.exitCode, 0);
  const std::string name = sandbox.Executable().filename().string();
  EXPECT_TRUE(std::regex_match(
      run.output, std::regex(std::regex_replace(name, std::regex("[.]"), "\\.") +
                             " [0-9]+\\.[0-9]+(\\.[0-9]+)*\nBuild version [0-9]{2}\\.[0-9]{1,2}\\."
                             "[0-9]{1,2}\n7-Zip [0-9]+\\.[0-9]+\n")))
      << run.output;
  // The build version is the one the usage banner shows.
  const Testing::UtilityRun usage = sandbox.Run("-help");
  const std::string build = run.output.substr(run.output.find("Build version ") + 14);
  EXPECT_EQ(usage.output.rfind("    Zentu Rebrand " + build.substr(0, build.find('\n')) + "\n", 0),
            0u)
      << usage.output;
  for (const char* spelling : {"--version", "-V"}) {
    const Testing::UtilityRun other = sandbox.Run(spelling);
    EXPECT_EQ(other.exitCode, 0) << spelling;
    EXPECT_EQ(other.output, run.output) << spelling;
  }
}

}  // namespace
}  // namespace Zentu
