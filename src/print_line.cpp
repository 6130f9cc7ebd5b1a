#include "src/print_line.h"

#include <cstdio>

namespace Zentu {

void PrintLine(const Vadu::String& text) {
  std::fwrite(text.CStr(), 1, text.Length(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace Zentu
