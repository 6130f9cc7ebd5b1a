#include "support/termination.h"

#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "support/process.h"
#include "support/process_test_child.h"
#include "support/test_util.h"

namespace Vadu {
namespace {

using namespace std::chrono_literals;
using ProcessTesting::AwaitGone;
using ProcessTesting::AwaitLine;
using ProcessTesting::ChildModeArguments;
using ProcessTesting::ChildModeParameters;
using ProcessTesting::Helper;
using ProcessTesting::IdIn;
using ProcessTesting::SelfPath;
using ProcessTesting::SleepParameters;

// Run as a child:  CleanupOnSignal <marker> <id file> <ignore SIGHUP: 0 or 1>
// installs a cleanup that writes whether the sleeping child was gone to <marker>, then waits
// for that child and, should the wait end, ends the process with code 3 as the utility does.
TEST(ProcessChild, DISABLED_CleanupOnSignal) {
  const auto arguments = ChildModeArguments();
  ASSERT_EQ(arguments.size(), 3u);
  const std::string marker = ToUtf8(arguments[0]).CStr();
  const std::string idFile = ToUtf8(arguments[1]).CStr();
  if (arguments[2] == u"1") signal(SIGHUP, SIG_IGN);
  InstallTerminationCleanup([marker, idFile] {
    const uint64_t sleeper = IdIn(AwaitLine(idFile, 0s));
    const bool gone = sleeper != 0 && AwaitGone(sleeper, 60s);
    // Slow enough that a main thread returning meanwhile would end the process first.
    std::this_thread::sleep_for(300ms);
    ProcessTesting::WriteWhole(marker, gone ? "cleaned, child gone\n" : "cleaned, child left\n");
  });
  RunProgram(SelfPath(), SleepParameters(idFile, 600), true, kNoTimeLimit);
  EndProcess(3);
}

TEST(Termination, CleansUpAfterEndingTheChildrenAndEndsByTheSignal) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    Testing::TempFolder folder;
    const std::string marker = folder / "marker", idFile = folder / "sleeper";
    Helper helper(ChildModeParameters("CleanupOnSignal",
                                      {Testing::Wide(marker), Testing::Wide(idFile), u"0"}));
    ASSERT_TRUE(helper.Started());
    const std::string line = AwaitLine(idFile, 120s);
    const uint64_t sleeper = IdIn(line);
    ASSERT_NE(sleeper, 0u);
    // The helper blocks the signals; its child does not inherit that.
    EXPECT_NE(line.find(" blocked=0 ignored=0"), std::string::npos) << line;
    kill(static_cast<pid_t>(helper.Id()), signal);
    const int64_t status = helper.AwaitStatus(120s);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(Testing::ReadFileBytes(marker), "cleaned, child gone\n");
    EXPECT_TRUE(AwaitGone(sleeper, 60s));
  }
}

TEST(Termination, ASignalIgnoredAtTheStartStaysIgnored) {
  Testing::TempFolder folder;
  const std::string marker = folder / "marker", idFile = folder / "sleeper";
  Helper helper(
      ChildModeParameters("CleanupOnSignal", {Testing::Wide(marker), Testing::Wide(idFile), u"1"}));
  ASSERT_TRUE(helper.Started());
  ASSERT_NE(IdIn(AwaitLine(idFile, 120s)), 0u);
  // Were SIGHUP taken, it would come first: sigwait takes the lowest signal pending.
  kill(static_cast<pid_t>(helper.Id()), SIGHUP);
  kill(static_cast<pid_t>(helper.Id()), SIGTERM);
  const int64_t status = helper.AwaitStatus(120s);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(Testing::ReadFileBytes(marker), "cleaned, child gone\n");
}

}  // namespace
}  // namespace Vadu
