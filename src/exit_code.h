// The process-wide exit code: 0 at start, 1 after any error (ReportError raises it), 2 when no
// command was recognised. The utility only ever raises it; tests that run several commands in one
// process set it back to 0 between them.
#pragma once

namespace Zentu {

enum ExitCodeValue : int { kExitSuccess = 0, kExitError = 1, kExitNoCommand = 2 };

int ExitCode();
void SetExitCode(int code);

}  // namespace Zentu
