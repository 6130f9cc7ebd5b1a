#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"
#include "support/process_test_child.h"
#include "support/test_util.h"

namespace Vadu {

namespace ProcessTesting {

uint64_t CurrentProcessId() { return GetCurrentProcessId(); }

bool ProcessIsGone(uint64_t id) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) return true;
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

namespace {

// Starts this test program with `parameters` and the creation flags `flags`, inheriting this
// process's inheritable handles when `inherit`; its process handle, or null.
HANDLE StartSelf(const WString& parameters, DWORD flags, bool inherit) {
  const WString commandLine = QuoteWindowsArgument(SelfPath()) + u" " + parameters;
  std::vector<wchar_t> writable(commandLine.CStr(), commandLine.CStr() + commandLine.Length());
  writable.push_back(0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(reinterpret_cast<const wchar_t*>(SelfPath().CStr()), writable.data(), nullptr,
                      nullptr, inherit, flags, nullptr, nullptr, &startup, &process))
    return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

}  // namespace

Helper::Helper(const WString& parameters, bool ownConsole) {
  HANDLE process = StartSelf(parameters, ownConsole ? CREATE_NEW_CONSOLE : 0, false);
  if (process == nullptr) return;
  process_ = reinterpret_cast<intptr_t>(process);
  id_ = GetProcessId(process);
}

Helper::~Helper() {
  if (process_ == 0) return;
  HANDLE process = reinterpret_cast<HANDLE>(process_);
  if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0) TerminateProcess(process, 1);
  CloseHandle(process);
}

void Helper::Kill() {
  if (process_ != 0) TerminateProcess(reinterpret_cast<HANDLE>(process_), 9);
}

int64_t Helper::AwaitStatus(std::chrono::seconds bound) {
  if (process_ == 0) return -1;
  HANDLE process = reinterpret_cast<HANDLE>(process_);
  DWORD exitCode = 0;
  if (WaitForSingleObject(process, static_cast<DWORD>(bound.count() * 1000)) != WAIT_OBJECT_0) {
    TerminateProcess(process, 1);
    return -1;
  }
  return GetExitCodeProcess(process, &exitCode) ? static_cast<int64_t>(exitCode) : -1;
}

}  // namespace ProcessTesting

namespace {

using namespace std::chrono_literals;
using ProcessTesting::AwaitGone;
using ProcessTesting::AwaitLine;
using ProcessTesting::ChildModeArguments;
using ProcessTesting::ChildModeParameters;
using ProcessTesting::IdIn;
using ProcessTesting::SelfPath;
using ProcessTesting::SleepParameters;

std::string Narrow(const WString& text) { return ToUtf8(text).CStr(); }

// The child mode of process_test_child.h.
TEST(ProcessChild, DISABLED_Sleep) {
  const auto arguments = ChildModeArguments();
  ASSERT_EQ(arguments.size(), 3u);
  SetConsoleCtrlHandler(nullptr, TRUE);  // Ctrl+C does not end it
  if (arguments[2] != u"-") {
    std::fputs((Narrow(arguments[2]) + "\n").c_str(), stdout);
    std::fflush(stdout);
  }
  ProcessTesting::WriteWhole(Narrow(arguments[0]), std::to_string(GetCurrentProcessId()) + "\n");
  Sleep(static_cast<DWORD>(arguments[1].ToInt32()) * 1000);
  std::exit(0);
}

// Run as a child:  RunSleeper <id file>
// waits for a sleeping child without a limit; ended by the tests while it waits.
TEST(ProcessChild, DISABLED_RunSleeper) {
  const auto arguments = ChildModeArguments();
  ASSERT_EQ(arguments.size(), 1u);
  RunAndWait(SelfPath(), SleepParameters(Narrow(arguments[0]), 600), true);
  std::exit(3);
}

// Run as a child:  StartSleeper <id file> <exit or sleep>
// starts a sleeping child that inherits its handles (its output among them) without waiting for
// it to end, and once that child runs, exits with code 7 at once or after ten minutes.
TEST(ProcessChild, DISABLED_StartSleeper) {
  const auto arguments = ChildModeArguments();
  ASSERT_EQ(arguments.size(), 2u);
  const std::string idFile = Narrow(arguments[0]);
  HANDLE sleeper = ProcessTesting::StartSelf(SleepParameters(idFile, 600), 0, true);
  ASSERT_NE(sleeper, nullptr);
  CloseHandle(sleeper);
  AwaitLine(idFile, 120s);
  if (arguments[1] == u"sleep") Sleep(600 * 1000);
  std::exit(7);
}

TEST(WindowsProcess, ChildrenEndWhenTheUtilityIsTerminated) {
  Testing::TempFolder folder;
  const std::string idFile = folder / "sleeper";
  ProcessTesting::Helper helper(ChildModeParameters("RunSleeper", {Testing::Wide(idFile)}));
  ASSERT_TRUE(helper.Started());
  const uint64_t sleeper = IdIn(AwaitLine(idFile, 120s));
  ASSERT_NE(sleeper, 0u);
  EXPECT_FALSE(ProcessTesting::ProcessIsGone(sleeper));
  helper.Kill();
  EXPECT_EQ(helper.AwaitStatus(120s), 9);
  EXPECT_TRUE(AwaitGone(sleeper, 60s));
}

TEST(WindowsProcess, TimeLimitEndsTheProgramsWholeJob) {
  Testing::TempFolder folder;
  const std::string idFile = folder / "sleeper";
  const RunOutcome outcome = RunProgram(
      SelfPath(), ChildModeParameters("StartSleeper", {Testing::Wide(idFile), u"sleep"}), true, 5s);
  EXPECT_TRUE(outcome.started);
  EXPECT_TRUE(outcome.timedOut);
  EXPECT_EQ(outcome.exitCode, -1);
  const uint64_t sleeper = IdIn(AwaitLine(idFile, 0s));
  ASSERT_NE(sleeper, 0u) << "the sleeping grandchild did not start within the limit";
  EXPECT_TRUE(AwaitGone(sleeper, 60s));
}

TEST(WindowsProcess, ARunEndsWhatItsProgramLeftRunning) {
  Testing::TempFolder folder;
  const std::string idFile = folder / "sleeper";
  const RunOutcome outcome =
      RunProgram(SelfPath(), ChildModeParameters("StartSleeper", {Testing::Wide(idFile), u"exit"}),
                 true, kNoTimeLimit);
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(outcome.exitCode, 7);
  const uint64_t sleeper = IdIn(AwaitLine(idFile, 120s));
  ASSERT_NE(sleeper, 0u);
  EXPECT_TRUE(AwaitGone(sleeper, 60s));
}

TEST(WindowsProcess, ADescendantHoldingTheOutputOpenDoesNotBlockPastTheLimit) {
  Testing::TempFolder folder;
  const std::string idFile = folder / "sleeper";
  // The helper ends at once; the child it left holds the pipe open.
  const CommandResult result = RunProgramCaptured(
      SelfPath(), ChildModeParameters("StartSleeper", {Testing::Wide(idFile), u"exit"}),
      StderrRedirect::None, 5s);
  EXPECT_TRUE(result.timedOut);
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(result.exitCode, 7);
  EXPECT_EQ(result.output, u"");
  const uint64_t sleeper = IdIn(AwaitLine(idFile, 0s));
  ASSERT_NE(sleeper, 0u) << "the sleeping grandchild did not start within the limit";
  EXPECT_TRUE(AwaitGone(sleeper, 60s));
}

}  // namespace
}  // namespace Vadu
