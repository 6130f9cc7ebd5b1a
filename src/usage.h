// The help printed when no command is recognised: the five commands with their command lines.
#pragma once

#include <vector>

#include "support/string_base.h"

namespace Zentu {

// The help's 45 lines (without line ends) for a program file name and a version text.
std::vector<Vadu::String> UsageLines(const Vadu::String& program, const Vadu::String& version);
// The lines for the running executable's file name and the build version text.
std::vector<Vadu::String> UsageLines();
// Prints UsageLines() on standard output, each followed by a line feed.
void PrintUsage();

}  // namespace Zentu
