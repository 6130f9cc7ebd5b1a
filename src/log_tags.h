// The two log sources of the utility, the log files they write to, and what every run records.
#pragma once

#include "support/string_base.h"

namespace Zentu {

// Source tags, by convention the source file path as a quoted string literal.
inline constexpr char kFrontEndLogTag[] = "\"src\\\\main.cpp\"";
inline constexpr char kArchiveLogTag[] = "\"src\\\\7zip.cpp\"";

// The folder the logs go to: for an installed program the per-user state folder "zentu-rebrand"
// (root's too: nothing is written into the program's folder), empty when the environment names
// none; for a portable copy its own folder when this process can write there, else the state
// folder, so that the logs of a run never vanish silently.
Vadu::WString LogFolder();

// Attaches a file logger to each source: <executable name>.main.log and
// <executable name>.7zip.log in LogFolder().
void AttachLogFiles();

// Records in the main log when the run started (local time) and its command line.
void LogRunStart(const Vadu::WString& commandLine);
// Records in the main log how the run ended: its exit code and what it means.
void LogRunOutcome(int exitCode);

}  // namespace Zentu
