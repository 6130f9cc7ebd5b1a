// Starting outside programs: run and wait for the exit code, run a command line through the
// command interpreter and capture its output, or start a program directly and capture its output.
// All calls block until the child ends; none has a time limit.
#pragma once

#include <cstdint>
#include <vector>

#include "support/string_base.h"

namespace Vadu {

// What a captured run reports.
struct CommandResult {
  bool completed = false;  // the output was read to its end without a stream error
  int32_t exitCode = -1;   // the child's exit status; -1 when unknown
  WString output;          // everything the child wrote, decoded from UTF-8
};

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

// Starts `program` (an executable file, absolute or relative to the current directory) with the
// parameter text `parameters`, passed as it is, and waits for it to end. `hidden` hides its
// window where programs have one. True exactly when the program ran and ended with exit code 0;
// an empty path, or one that names a directory or nothing, starts nothing and gives false.
// On POSIX the parameter text is split as a Windows program splits its command line.
bool RunAndWait(const WString& program, const WString& parameters, bool hidden);

// Runs `commandLine` (program first) through the command interpreter with RedirectSuffix of
// `redirect` appended, and captures its standard output. An empty command line runs nothing.
// The output is read as text: carriage-return/line-feed pairs arrive as line feeds.
CommandResult RunCaptured(const WString& commandLine, StderrRedirect redirect);

// Starts `program` directly, with no command interpreter in between, and captures its standard
// output through a pipe; standard input is the null device. The parameter text reaches the
// program as RunAndWait passes it. Line ends are as in RunCaptured. A program that cannot be
// started gives completed false and exit code -1.
CommandResult RunProgramCaptured(const WString& program, const WString& parameters,
                                 StderrRedirect redirect);

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

}  // namespace Vadu
