// Starting outside programs: run and wait for the exit code, run a command line through the
// command interpreter and capture its output, or start a program directly and capture its output.
// All calls block until the child ends; RunProgram and RunProgramCaptured take a time limit.
//
// Children end with this process. Each child runs with whatever it starts in a group of its own
// (POSIX: a process group; Windows: a job object that ends its processes when it is closed), so
// that a time limit, EndChildProcesses and the end of its run end all of it: whatever a child
// left running when it ended is ended with its run. When this process dies, however it dies
// (even killed outright), Windows ends the whole job; Linux ends the child (SIGKILL as its
// parent-death signal), though not what the child started, and other POSIX systems end nothing
// then. RunCaptured on Windows goes through the C runtime's command pipe, which gives no process
// to bind: its child is left out of all this.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "support/string_base.h"

namespace Vadu {

// What a captured run reports.
struct CommandResult {
  bool completed = false;  // the output was read to its end without a stream error
  int32_t exitCode = -1;   // the child's exit status; -1 when unknown
  WString output;          // everything the child wrote, decoded from UTF-8
  bool timedOut = false;   // the output had not ended at the time limit; the child was ended
};

// How a run ended.
struct RunOutcome {
  bool started = false;   // the program was started
  bool timedOut = false;  // it was ended because it ran past the limit
  int32_t exitCode = -1;  // its exit status when it ended by itself, else -1
};

// No time limit; so is any limit of zero or less.
inline constexpr std::chrono::milliseconds kNoTimeLimit{0};

// What happens to the standard error of a captured command. Values other than these three act
// as None.
enum class StderrRedirect : int {
  None = 0,      // left to this process's standard error
  ToOutput = 1,  // merged into the captured output
  ToNull = 2,    // discarded
};

// The command interpreter's redirection text for `redirect`: " 2>&1", " 2>" + the null device, or
// nothing.
WString RedirectSuffix(StderrRedirect redirect);

// The name of the null device in the command interpreter's syntax: "nul" or "/dev/null".
WString NullDevice();

// The command interpreter that RunCaptured uses (a full path), and its switch that runs the text
// that follows it as a command ("/c" or "-c").
WString CommandInterpreter();
WString CommandInterpreterSwitch();

// Starts `program` (an executable file, absolute or relative to the current directory) with
// `arguments` (those after the program's own name) and waits for it to end. `hidden` hides its
// window where programs have one. True exactly when the program ran and ended with exit code 0;
// an empty path, or one that names a directory or nothing, starts nothing and gives false.
// Each argument reaches the program as it is, whatever it holds (spaces, quotes, backslashes, a
// leading "-", nothing at all): on POSIX it is one entry of the program's argument vector, in the
// file-name encoding (UTF-8, with the bytes of a name that is not UTF-8 given back as they were);
// on Windows it is quoted into the command line with QuoteWindowsArgument. No system passes an
// argument holding U+0000 whole: with one, nothing is started (rather than a shortened argument
// or a command line cut short). On POSIX a hidden program reads its standard input from the null
// device.
bool RunAndWait(const WString& program, const std::vector<WString>& arguments, bool hidden);

// RunAndWait with the parameter text `parameters` (the arguments as a Windows command line
// holds them), passed as it is on Windows; on POSIX it is split with SplitWindowsCommandLine.
bool RunAndWait(const WString& program, const WString& parameters, bool hidden);

// RunAndWait with a limit, reporting how the run ended. A program that runs past `limit` is ended
// (with its process group / job), and the call returns after it is gone. A program ended by
// EndChildProcesses reports exit code -1.
RunOutcome RunProgram(const WString& program, const std::vector<WString>& arguments, bool hidden,
                      std::chrono::milliseconds limit);

// RunProgram with a parameter text, taken as RunAndWait takes one.
RunOutcome RunProgram(const WString& program, const WString& parameters, bool hidden,
                      std::chrono::milliseconds limit);

// Runs `commandLine` (program first) through the command interpreter with RedirectSuffix of
// `redirect` appended, and captures its standard output. An empty command line runs nothing.
// The output is read as text: carriage-return/line-feed pairs arrive as line feeds. On POSIX the
// command runs as "/bin/sh -c" with the whole text, in a process group of its own.
CommandResult RunCaptured(const WString& commandLine, StderrRedirect redirect);

// Starts `program` directly, with no command interpreter in between, and captures its standard
// output through a pipe; standard input is the null device. The arguments reach the program as
// RunAndWait passes them. Line ends are as in RunCaptured. A program that cannot be started
// gives completed false and exit code -1. When the output has not ended by `limit` (the program
// runs on, or something it started holds the pipe open), the program is ended with its process
// group / job and the result has timedOut true, completed false and no output; its exit code is
// kept when it had ended by itself.
CommandResult RunProgramCaptured(const WString& program, const std::vector<WString>& arguments,
                                 StderrRedirect redirect,
                                 std::chrono::milliseconds limit = kNoTimeLimit);

// RunProgramCaptured with a parameter text, taken as RunAndWait takes one.
CommandResult RunProgramCaptured(const WString& program, const WString& parameters,
                                 StderrRedirect redirect,
                                 std::chrono::milliseconds limit = kNoTimeLimit);

// For when this process is ending: ends every child that a runner above is waiting for, with
// its process group / job, and from then on starts nothing more (the runners report a program
// that did not start). The waiting runners return with exit code -1. The termination cleanup
// (termination.h) calls it before its cleanup; call it yourself before cleaning up on another
// way out while runners may be waiting on other threads. Safe from any thread; never undone.
void EndChildProcesses();

// Splits a parameter text into arguments as Windows programs split their command line: spaces
// and tabs separate arguments outside double quotes; a double quote starts or ends quoting and
// is dropped, and inside quotes two double quotes give one literal quote; 2n backslashes before
// a quote give n backslashes and the quote acts as above, 2n+1 give n backslashes and a literal
// quote; backslashes anywhere else are literal.
std::vector<WString> SplitWindowsCommandLine(const WString& text);

// One argument quoted for a Windows command line, so that SplitWindowsCommandLine gives it back
// unchanged: an argument that is empty or holds a space, tab or double quote is put in quotes,
// with its quotes escaped and the backslashes before them and at its end doubled.
WString QuoteWindowsArgument(const WString& argument);

// The arguments each quoted with QuoteWindowsArgument and joined by single spaces: the parameter
// text that SplitWindowsCommandLine splits back into them. Also how logs show an argument list.
WString JoinWindowsArguments(const std::vector<WString>& arguments);

}  // namespace Vadu
