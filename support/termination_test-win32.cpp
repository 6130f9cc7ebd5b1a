#include "support/termination.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
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

// The exit code of a helper whose console cannot deliver control events.
constexpr DWORD kNoConsoleEvents = 78;

// The exit code of a helper that Ctrl+C did not end.
constexpr DWORD kNotEnded = 4;

// Sends Ctrl+C to every process of this console, once `idFile` holds a line when it is given;
// ends the process with kNoConsoleEvents when the console cannot.
void SendControlC(const std::string& idFile) {
  if (!idFile.empty() && AwaitLine(idFile, 120s).empty()) return;
  if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) ExitProcess(kNoConsoleEvents);
}

// Run as a child in a console of its own:  CleanupOnEvent <marker> <id file>
// installs a cleanup that writes whether the sleeping child was gone to <marker>, waits for that
// child while another thread sends Ctrl+C, and, should the wait end, ends the process with code 3
// as the utility does.
TEST(ProcessChild, DISABLED_CleanupOnEvent) {
  const auto arguments = ChildModeArguments();
  ASSERT_EQ(arguments.size(), 2u);
  const std::string marker = ToUtf8(arguments[0]).CStr();
  const std::string idFile = ToUtf8(arguments[1]).CStr();
  InstallTerminationCleanup([marker, idFile] {
    const uint64_t sleeper = IdIn(AwaitLine(idFile, 0s));
    const bool gone = sleeper != 0 && AwaitGone(sleeper, 60s);
    // Slow enough that a main thread returning meanwhile would end the process first.
    Sleep(300);
    ProcessTesting::WriteWhole(marker, gone ? "cleaned, child gone\n" : "cleaned, child left\n");
  });
  std::thread(SendControlC, idFile).detach();
  RunProgram(SelfPath(), SleepParameters(idFile, 600), true, kNoTimeLimit);
  EndProcess(3);
}

// Run as a child in a console of its own:  ControlCWithoutCleanup
// sends itself Ctrl+C and waits; its exit code is what the event gives a process.
TEST(ProcessChild, DISABLED_ControlCWithoutCleanup) {
  SendControlC("");
  Sleep(120 * 1000);
  std::exit(kNotEnded);
}

TEST(Termination, CleansUpAfterEndingTheChildrenOnAConsoleControlEvent) {
  // What Ctrl+C gives a process without the cleanup, in a console of its own (Windows:
  // STATUS_CONTROL_C_EXIT; Wine 8: 0).
  Helper plain(ChildModeParameters("ControlCWithoutCleanup", {}), true);
  ASSERT_TRUE(plain.Started());
  const int64_t expected = plain.AwaitStatus(120s);
  if (expected == kNoConsoleEvents)
    GTEST_SKIP() << "this system cannot send console control events (GenerateConsoleCtrlEvent "
                    "fails in a new console)";
  ASSERT_NE(expected, kNotEnded) << "Ctrl+C did not end the process";

  Testing::TempFolder folder;
  const std::string marker = folder / "marker", idFile = folder / "sleeper";
  Helper helper(
      ChildModeParameters("CleanupOnEvent", {Testing::Wide(marker), Testing::Wide(idFile)}), true);
  ASSERT_TRUE(helper.Started());
  EXPECT_EQ(helper.AwaitStatus(120s), expected);
  EXPECT_EQ(Testing::ReadFileBytes(marker), "cleaned, child gone\n");
  const uint64_t sleeper = IdIn(AwaitLine(idFile, 0s));
  ASSERT_NE(sleeper, 0u);
  EXPECT_TRUE(AwaitGone(sleeper, 60s));
}

}  // namespace
}  // namespace Vadu
