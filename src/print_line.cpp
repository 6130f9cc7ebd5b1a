#include "src/print_line.h"

#include <cstdio>

#include "src/exit_code.h"

namespace Zentu {

void PrintLine(const Vadu::String& text) {
  std::fwrite(text.CStr(), 1, text.Length(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void ReportError(const Vadu::String& line) {
  PrintLine(line);
  SetExitCode(kExitError);
}

}  // namespace Zentu
