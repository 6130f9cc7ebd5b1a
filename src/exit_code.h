// The process-wide exit code: 0 at start, 1 after any error, 2 when no command was recognised.
// Commands only ever raise it; nothing resets it.
#pragma once

namespace Zentu {

enum ExitCodeValue : int { kExitSuccess = 0, kExitError = 1, kExitNoCommand = 2 };

int ExitCode();
void SetExitCode(int code);

}  // namespace Zentu
