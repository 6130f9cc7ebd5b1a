#include "src/exit_code.h"

namespace Zentu {

namespace {
int g_exit_code = kExitSuccess;
}

int ExitCode() { return g_exit_code; }

void SetExitCode(int code) { g_exit_code = code; }

}  // namespace Zentu
