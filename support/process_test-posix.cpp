#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "support/process.h"
#include "support/process_children.h"
#include "support/process_test_child.h"
#include "support/test_util.h"

extern char** environ;

namespace Vadu {

namespace ProcessTesting {

uint64_t CurrentProcessId() { return static_cast<uint64_t>(getpid()); }

bool ProcessIsGone(uint64_t id) {
  if (kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH) return true;
  // A process that ended but is not yet collected still answers; Linux shows its state. Read
  // without streams: a process collected meanwhile fails the read (ESRCH), which a stream would
  // throw as an exception.
  const int fd = open(("/proc/" + std::to_string(id) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  char buffer[1024];
  const ssize_t count = read(fd, buffer, sizeof buffer);
  close(fd);
  if (count <= 0) return true;
  const std::string text(buffer, static_cast<size_t>(count));
  const size_t nameEnd = text.rfind(')');
  if (nameEnd == std::string::npos || nameEnd + 2 >= text.size()) return false;
  return text[nameEnd + 2] == 'Z' || text[nameEnd + 2] == 'X';
}

Helper::Helper(const WString& parameters, bool) {
  std::vector<std::string> texts = {ToUtf8(SelfPath()).CStr()};
  for (const WString& argument : SplitWindowsCommandLine(parameters))
    texts.push_back(ToUtf8(argument).CStr());
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  pid_t child = 0;
  if (posix_spawn(&child, argv[0], nullptr, &attributes, argv.data(), environ) == 0) {
    process_ = child;
    id_ = static_cast<uint64_t>(child);
  }
  posix_spawnattr_destroy(&attributes);
}

Helper::~Helper() {
  if (process_ == 0) return;
  kill(static_cast<pid_t>(process_), SIGKILL);
  waitpid(static_cast<pid_t>(process_), nullptr, 0);
}

void Helper::Kill() {
  if (process_ != 0) kill(static_cast<pid_t>(process_), SIGKILL);
}

int64_t Helper::AwaitStatus(std::chrono::seconds bound) {
  if (process_ == 0) return -1;
  const pid_t child = static_cast<pid_t>(process_);
  process_ = 0;
  const auto end = std::chrono::steady_clock::now() + bound;
  int status = 0;
  while (waitpid(child, &status, WNOHANG) != child) {
    if (std::chrono::steady_clock::now() >= end) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return status;
}

}  // namespace ProcessTesting

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ProcessTesting::AwaitGone;
using ProcessTesting::AwaitLine;
using ProcessTesting::ChildModeArguments;
using ProcessTesting::ChildModeParameters;
using ProcessTesting::IdIn;
using ProcessTesting::SelfPath;
using ProcessTesting::SleepParameters;
using ProcessTesting::Words;

std::string Narrow(const WString& text) { return ToUtf8(text).CStr(); }

// How many of the standard signals this thread blocks, and how many this process ignores.
std::string SignalState() {
  sigset_t blocked;
  pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
  int blockedCount = 0, ignoredCount = 0;
  for (int signal = 1; signal < 32; ++signal) {
    struct sigaction action;
    if (sigismember(&blocked, signal) == 1) ++blockedCount;
    if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) ++ignoredCount;
  }
  return "blocked=" + std::to_string(blockedCount) + " ignored=" + std::to_string(ignoredCount);
}

// The child mode of process_test_child.h; its line also gives its process group and
// SignalState.
TEST(ProcessChild, DISABLED_Sleep) {
  const auto arguments = ChildModeArguments();
  ASSERT_EQ(arguments.size(), 3u);
  if (arguments[2] != u"-") {
    std::fputs((Narrow(arguments[2]) + "\n").c_str(), stdout);
    std::fflush(stdout);
  }
  ProcessTesting::WriteWhole(Narrow(arguments[0]), std::to_string(getpid()) +
                                                       " group=" + std::to_string(getpgrp()) + " " +
                                                       SignalState() + "\n");
  std::this_thread::sleep_for(std::chrono::seconds(arguments[1].ToInt32()));
  std::exit(0);
}

// Run as a child:  RunSleeper <id file>
// waits for a sleeping child without a limit; killed by the tests while it waits.
TEST(ProcessChild, DISABLED_RunSleeper) {
  const auto arguments = ChildModeArguments();
  ASSERT_EQ(arguments.size(), 1u);
  RunProgram(SelfPath(), SleepParameters(Narrow(arguments[0]), 600), true, kNoTimeLimit);
  std::exit(3);
}

// A shell script text in the runners' parameter syntax.
WString ShellParameters(const std::string& script) {
  return u"-c " + QuoteWindowsArgument(Testing::Wide(script));
}

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

// The program that starts is the file opened at the path, whatever is put there before the start.
TEST(PosixProcess, TheProgramOpenedIsTheOneThatRuns) {
  static Testing::TempFolder* folder;
  Testing::TempFolder scratch;
  folder = &scratch;
  fs::copy_file("/bin/true", scratch / "tool");
  fs::copy_file("/bin/false", scratch / "other");
  Platform::SetProgramOpenedHook([] { fs::rename(*folder / "other", *folder / "tool"); });
  const bool ran = RunAndWait(Testing::Wide(scratch / "tool"), u"", true);
  Platform::SetProgramOpenedHook(nullptr);
  EXPECT_FALSE(fs::exists(scratch / "other")) << "the hook did not run";
  EXPECT_TRUE(ran) << "the file put at the path ran, not the one opened";
}

TEST(PosixProcess, ArgumentsThatAreNotUtf8ReachTheProgramAsTheBytesTheyWere) {
  Testing::TempFolder folder;
  // A file name and arguments with bytes that no UTF-8 decoding gives: each stands for itself.
  const std::string name = "report \xff\xfe \"x\" \xc3(.txt";
  const std::vector<std::string> raw = {
      "\xff",       "caf\xe9", "a\x80 b\"\xc0\xaf", "\xed\xa0\x80", "-\xf8\x88\x80\x80\x80",
      "ok \xc3\xa9"};
  Words arguments;
  std::string expected = "<<<";
  for (const std::string& bytes : raw) {
    arguments.push_back(FromUtf8(String(bytes.c_str())));
    expected += "[" + bytes + "]";
  }
  expected += ">>>";
  const fs::path report = folder.Path() / name;
  Words words = {u"0", u"1", FromUtf8(String(report.c_str()))};
  words.insert(words.end(), arguments.begin(), arguments.end());
  ASSERT_TRUE(
      RunAndWait(SelfPath(), ProcessTesting::ChildModeWords("ReportArguments", words), true));
  EXPECT_EQ(Testing::ReadFileBytes(report), expected);

  // Through a program of the system: the shell's printf shows each argument's bytes.
  Words printf = {u"-c", u"printf '<<<'; printf '[%s]' \"$@\"; printf '>>>'", u"sh"};
  printf.insert(printf.end(), arguments.begin(), arguments.end());
  const CommandResult result = RunProgramCaptured(u"/bin/sh", printf, StderrRedirect::None);
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(Narrow(result.output), expected);
  const RunOutcome outcome = RunProgram(
      u"/bin/sh", Words{u"-c", u"test \"$1\" = \"$(printf '\\377')\"", u"sh", arguments[0]}, true,
      600s);
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(outcome.exitCode, 0);
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

TEST(PosixProcess, AHiddenProgramShowsNoOutputAndReadsNoInput) {
  testing::internal::CaptureStdout();
  EXPECT_TRUE(RunAndWait(u"/bin/echo", u"shown", false));
  EXPECT_TRUE(RunAndWait(u"/bin/echo", u"hidden", true));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "shown\n");

  // Standard input holds a line for a while: the hidden program reads the null device.
  const int saved = dup(STDIN_FILENO);
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  ASSERT_EQ(write(ends[1], "line\n", 5), 5);
  close(ends[1]);
  dup2(ends[0], STDIN_FILENO);
  close(ends[0]);
  const WString readsALine = ShellParameters("read text && exit 3; exit 0");
  const bool hiddenReadNothing = RunAndWait(u"/bin/sh", readsALine, true);
  const bool shownReadNothing = RunAndWait(u"/bin/sh", readsALine, false);
  dup2(saved, STDIN_FILENO);
  close(saved);
  EXPECT_TRUE(hiddenReadNothing);
  EXPECT_FALSE(shownReadNothing);
}

TEST(PosixProcess, ChildrenStartInAGroupOfTheirOwnWithNoSignalBlocked) {
  // This process blocks one signal, ignores one and handles another.
  sigset_t blocked, previousMask;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);
  struct sigaction ignore = {}, handle = {}, previousPipe, previousUsr2;
  ignore.sa_handler = SIG_IGN;
  handle.sa_handler = [](int) {};
  sigaction(SIGPIPE, &ignore, &previousPipe);
  sigaction(SIGUSR2, &handle, &previousUsr2);
  const std::string parentState = SignalState();

  Testing::TempFolder folder;
  const std::string direct = folder / "direct", captured = folder / "captured",
                    interpreted = folder / "interpreted";
  const bool ran = RunAndWait(SelfPath(), SleepParameters(direct, 0), true);
  const CommandResult capture =
      RunProgramCaptured(SelfPath(), SleepParameters(captured, 0), StderrRedirect::ToNull);
  const CommandResult interpret =
      RunCaptured(QuoteWindowsArgument(SelfPath()) + u" " + SleepParameters(interpreted, 0),
                  StderrRedirect::ToNull);
  pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
  sigaction(SIGPIPE, &previousPipe, nullptr);
  sigaction(SIGUSR2, &previousUsr2, nullptr);

  EXPECT_TRUE(ran);
  EXPECT_TRUE(capture.completed);
  EXPECT_TRUE(interpret.completed);
  // Nothing blocked; what this process ignores stays ignored, as across any program start.
  ASSERT_NE(parentState.find("blocked=1 "), std::string::npos) << parentState;
  const std::string childState = "blocked=0 " + parentState.substr(parentState.find("ignored="));
  for (const std::string& idFile : {direct, captured}) {
    const std::string line = AwaitLine(idFile, 0s);
    const uint64_t id = IdIn(line);
    ASSERT_NE(id, 0u) << idFile;
    EXPECT_EQ(line, std::to_string(id) + " group=" + std::to_string(id) + " " + childState);
  }
  // Through the interpreter the group is the interpreter's.
  EXPECT_NE(AwaitLine(interpreted, 0s).find(" " + childState), std::string::npos);
}

TEST(PosixProcess, ARunEndsWhatItsProgramLeftRunning) {
  Testing::TempFolder folder;
  const std::string idFile = folder / "left";
  EXPECT_TRUE(RunAndWait(u"/bin/sh",
                         ShellParameters("sleep 600 & echo $! > '" + idFile + "'; exit 0"), true));
  const uint64_t left = IdIn(AwaitLine(idFile, 0s));
  ASSERT_NE(left, 0u);
  EXPECT_TRUE(AwaitGone(left, 60s));
}

TEST(PosixProcess, TimeLimitEndsTheProgramsWholeProcessGroup) {
  Testing::TempFolder folder;
  const std::string idFile = folder / "background";
  const RunOutcome outcome = RunProgram(
      u"/bin/sh", ShellParameters("sleep 600 & echo $! > '" + idFile + "'; sleep 600"), true, 2s);
  EXPECT_TRUE(outcome.started);
  EXPECT_TRUE(outcome.timedOut);
  EXPECT_EQ(outcome.exitCode, -1);
  const uint64_t background = IdIn(AwaitLine(idFile, 0s));
  ASSERT_NE(background, 0u);
  EXPECT_TRUE(AwaitGone(background, 60s));
}

TEST(PosixProcess, ADescendantHoldingTheOutputOpenDoesNotBlockPastTheLimit) {
  Testing::TempFolder folder;
  const std::string idFile = folder / "background";
  // The interpreter ends at once; what it left in the background keeps the pipe open.
  const CommandResult result = RunProgramCaptured(
      u"/bin/sh", ShellParameters("sleep 600 & echo $! > '" + idFile + "'; echo done; exit 7"),
      StderrRedirect::None, 2s);
  EXPECT_TRUE(result.timedOut);
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(result.exitCode, 7);
  EXPECT_EQ(result.output, u"");
  const uint64_t background = IdIn(AwaitLine(idFile, 0s));
  ASSERT_NE(background, 0u);
  EXPECT_TRUE(AwaitGone(background, 60s));
}

TEST(PosixProcess, ChildrenEndWhenTheUtilityIsKilled) {
#ifndef __linux__
  GTEST_SKIP() << "only Linux ends a child when its parent dies";
#endif
  Testing::TempFolder folder;
  const std::string idFile = folder / "sleeper";
  ProcessTesting::Helper helper(ChildModeParameters("RunSleeper", {Testing::Wide(idFile)}));
  ASSERT_TRUE(helper.Started());
  const uint64_t sleeper = IdIn(AwaitLine(idFile, 120s));
  ASSERT_NE(sleeper, 0u);
  EXPECT_FALSE(ProcessTesting::ProcessIsGone(sleeper));
  helper.Kill();
  const int64_t status = helper.AwaitStatus(120s);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_TRUE(AwaitGone(sleeper, 60s));
}

}  // namespace
}  // namespace Vadu
