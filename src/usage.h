// The help printed when no command is recognised or help is asked for: the five original commands
// with their command lines, then the later ones.
#pragma once

#include <vector>

#include "support/string_base.h"

namespace Zentu {

// The help's 45 lines (without line ends) for a program file name and a version text.
std::vector<Vadu::String> UsageLines(const Vadu::String& program, const Vadu::String& version);
// The lines after those 45 (without line ends): -check, -list, -version, -outdir and help.
std::vector<Vadu::String> LaterUsageLines(const Vadu::String& program);
// The 45 lines for the running executable's file name and the build version text, then the
// later lines.
std::vector<Vadu::String> UsageLines();
// Prints UsageLines() on standard output, each followed by a line feed.
void PrintUsage();

}  // namespace Zentu
