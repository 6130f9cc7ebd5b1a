// What the process and termination tests share (process_test*.cpp, termination_test-*.cpp): this
// test program started again as a child in one of its child modes, and watching processes.
//
// A child mode is a disabled test, ProcessChild.DISABLED_<mode>, that runs only when a test
// starts this program with ChildModeParameters. Each platform's test file gives the mode
//   Sleep <id file> <seconds> <text>
// which writes <text> (unless it is "-") to standard output, then one line to <id file> that
// starts with its process id (the platform may add more words), then sleeps <seconds> seconds
// and exits with code 0; it ignores Ctrl+C where consoles have it, so that only its runner
// ends it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/command_line.h"
#include "support/process.h"
#include "support/test_util.h"

namespace Vadu::ProcessTesting {

using Words = std::vector<WString>;

// The word after which a child mode's own arguments follow.
inline constexpr char16_t kChildMarker[] = u"zentu-process-child";

// This test program, which the tests start again as a child.
inline WString SelfPath() {
  const std::string invoked = ::testing::internal::GetArgvs().at(0);
  return Testing::Wide(std::filesystem::absolute(std::filesystem::u8path(invoked)));
}

// The arguments that start this test program in the child mode `mode` with `arguments`. The
// child writes no test report, so that it never replaces the one of the run that started it.
inline Words ChildModeWords(const std::string& mode, const Words& arguments) {
  Words words = {u"--gtest_also_run_disabled_tests", u"--gtest_output=",
                 u"--gtest_filter=ProcessChild.DISABLED_" + Testing::Wide(mode), kChildMarker};
  words.insert(words.end(), arguments.begin(), arguments.end());
  return words;
}

// The same as a parameter text.
inline WString ChildModeParameters(const std::string& mode, const Words& arguments) {
  return JoinWindowsArguments(ChildModeWords(mode, arguments));
}

// The arguments that a child mode was given.
inline Words ChildModeArguments() {
  const std::vector<std::string> invoked = ::testing::internal::GetArgvs();
  std::vector<const char*> argv;
  for (const std::string& argument : invoked) argv.push_back(argument.c_str());
  const Words arguments = SystemArguments(static_cast<int>(argv.size()), argv.data());
  auto marker = std::find(arguments.begin(), arguments.end(), WString(kChildMarker));
  return marker == arguments.end() ? Words() : Words(marker + 1, arguments.end());
}

// Parameters of the Sleep mode.
inline WString SleepParameters(const std::string& idFile, int seconds, const WString& text = u"-") {
  return ChildModeParameters("Sleep", {Testing::Wide(idFile), WString::FromNumber(seconds), text});
}

// Waits up to `bound` for `path` to hold a whole line; that line, or "" when none came.
inline std::string AwaitLine(const std::string& path, std::chrono::seconds bound) {
  const auto end = std::chrono::steady_clock::now() + bound;
  do {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t lineEnd = text.find('\n');
    if (lineEnd != std::string::npos) return text.substr(0, lineEnd);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < end);
  return "";
}

// The process id at the start of a line the Sleep mode wrote; 0 when there is none.
inline uint64_t IdIn(const std::string& line) {
  std::istringstream words(line);
  uint64_t id = 0;
  words >> id;
  return id;
}

// This process's id, and whether the process `id` has ended (a process that ended and is not
// yet collected counts as ended). Each platform's test file gives them.
uint64_t CurrentProcessId();
bool ProcessIsGone(uint64_t id);

// Waits up to `bound` for the process `id` to end; true when it did.
inline bool AwaitGone(uint64_t id, std::chrono::seconds bound) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!ProcessIsGone(id)) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// A helper: this test program started with `parameters` (ChildModeParameters), not waited for.
// POSIX: it starts with default signal dispositions and an empty signal mask, whatever this
// process blocks or ignores. Windows: `ownConsole` gives it a console of its own. Each
// platform's test file gives it.
class Helper {
 public:
  explicit Helper(const WString& parameters, bool ownConsole = false);
  ~Helper();  // a helper still running is ended
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;

  bool Started() const { return id_ != 0; }
  uint64_t Id() const { return id_; }
  // Ends it outright: SIGKILL, or TerminateProcess with exit code 9.
  void Kill();
  // Waits up to `bound` for it to end; POSIX: its raw wait status, Windows: its exit code. A
  // helper that runs past `bound` is ended and gives -1.
  int64_t AwaitStatus(std::chrono::seconds bound);

 private:
  intptr_t process_ = 0;  // POSIX: its id until it is collected; Windows: its process handle
  uint64_t id_ = 0;       // its process id; 0 when it did not start
};

// Writes `text` to `path` whole: it appears under its name only when complete.
inline void WriteWhole(const std::string& path, const std::string& text) {
  const std::filesystem::path target = std::filesystem::u8path(path);
  std::filesystem::path partial = target;
  partial += ".partial";
  Testing::WriteFileBytes(partial, text);
  std::filesystem::rename(partial, target);
}

}  // namespace Vadu::ProcessTesting
