#include <gtest/gtest.h>

#include <filesystem>

#include "support/process.h"
#include "support/test_util.h"

namespace Vadu {
namespace {

namespace fs = std::filesystem;

TEST(PosixProcess, RunAndWaitNeedsAnExecutableFile) {
  Testing::TempFolder folder;
  const std::string script = folder / "tool with space.sh";
  Testing::WriteFileBytes(script, "#!/bin/sh\ntest \"$1\" = \"a b\" && exit 0\nexit 2\n");
  // Not executable yet: nothing runs.
  EXPECT_FALSE(RunAndWait(Testing::Wide(script), u"\"a b\"", true));
  fs::permissions(script, fs::perms::owner_exec, fs::perm_options::add);
  EXPECT_TRUE(RunAndWait(Testing::Wide(script), u"\"a b\"", true));
  EXPECT_FALSE(RunAndWait(Testing::Wide(script), u"a b", true));
}

TEST(PosixProcess, ChildEndedBySignalHasNoExitCode) {
  CommandResult captured = RunCaptured(u"echo before; kill -9 $$", StderrRedirect::None);
  EXPECT_TRUE(captured.completed);
  EXPECT_EQ(captured.exitCode, -1);
  EXPECT_EQ(captured.output, u"before\n");

  CommandResult direct = RunProgramCaptured(u"/bin/sh", u"-c \"kill -9 $$\"", StderrRedirect::None);
  EXPECT_TRUE(direct.completed);
  EXPECT_EQ(direct.exitCode, -1);
  EXPECT_FALSE(RunAndWait(u"/bin/sh", u"-c \"kill -9 $$\"", true));
}

TEST(PosixProcess, OutputIsDecodedFromUtf8) {
  CommandResult captured = RunCaptured(u"printf '\\303\\251\\342\\202\\254'", StderrRedirect::None);
  EXPECT_TRUE(captured.completed);
  EXPECT_EQ(captured.output, u"\u00e9\u20ac");
  CommandResult direct = RunProgramCaptured(u"/bin/echo", u"\u00e9 \u20ac", StderrRedirect::None);
  EXPECT_EQ(direct.output, u"\u00e9 \u20ac\n");
}

}  // namespace
}  // namespace Vadu

namespace Vadu {
namespace {

TEST(ProcessPosix, AHiddenProgramShowsNoOutput) {
  testing::internal::CaptureStdout();
  EXPECT_TRUE(RunAndWait(u"/bin/echo", u"shown", false));
  EXPECT_TRUE(RunAndWait(u"/bin/echo", u"hidden", true));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "shown\n");
}

}  // namespace
}  // namespace Vadu
