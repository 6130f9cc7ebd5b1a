// The console on POSIX: the terminal on standard output, coloured with ANSI sequences. Output
// that is not a terminal gets nothing, as a Windows console write to a redirected handle fails.
// Window placement does not apply.
#include <unistd.h>

#include "support/console_output.h"

namespace Vadu {

void ConsoleOutput::Open() { handle_ = isatty(STDOUT_FILENO) ? STDOUT_FILENO : -1; }

bool ConsoleOutput::WriteText(uint16_t attribute, const String& text) {
  if (handle_ < 0) return false;
  String bytes = AnsiColourSequence(attribute) + text + "\x1b[0m";
  // One attempt; partial writes are not retried.
  ssize_t written = write(static_cast<int>(handle_), bytes.Data(), bytes.Length());
  (void)written;
  return true;
}

void ConsoleOutput::SavePlacement() {}

void ConsoleOutput::SaveFinalPlacement() {}

}  // namespace Vadu
