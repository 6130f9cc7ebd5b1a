// The two log sources of the utility and the log files they write to.
#pragma once

namespace Zentu {

// Source tags, by convention the source file path as a quoted string literal.
inline constexpr char kFrontEndLogTag[] = "\"src\\\\main.cpp\"";
inline constexpr char kArchiveLogTag[] = "\"src\\\\7zip.cpp\"";

// Attaches a file logger to each source: <executable name>.main.log and
// <executable name>.7zip.log beside the running executable.
void AttachLogFiles();

}  // namespace Zentu
