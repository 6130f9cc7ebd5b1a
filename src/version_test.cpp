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

TEST(Version, TheCommandPrintsTheThreeVersionsAndExitsWithZero) {
  Testing::UtilitySandbox sandbox;
  const Testing::UtilityRun run = sandbox.Run("-version");
  EXPECT_EQ(run.exitCode, 0);
  std::string expected;
  for (const Vadu::String& line :
       VersionLines(Vadu::ToUtf8(Vadu::Testing::Wide(sandbox.Executable().filename()))))
    expected += Std(line) + "\n";
  EXPECT_EQ(run.output, expected);
  EXPECT_NE(run.output.find("Build version " + Std(BuildVersionText()) + "\n"), std::string::npos);
}

}  // namespace
}  // namespace Zentu
