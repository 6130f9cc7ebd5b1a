#include <unistd.h>

#include "support/progress_line.h"

namespace Vadu {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace Vadu
