#include <windows.h>

#include "support/progress_line.h"

namespace Vadu {

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace Vadu
