// The commands' way of reporting: one line of UTF-8 text on standard output.
#pragma once

#include "support/string_base.h"

namespace Zentu {

// Writes the text and a line feed to standard output and flushes it, so that lines keep their
// order with the output of the tools the commands run.
void PrintLine(const Vadu::String& text);

// Reports a failure: prints the line (an "ERROR: ..." line) and sets the exit code to 1.
void ReportError(const Vadu::String& line);

}  // namespace Zentu
