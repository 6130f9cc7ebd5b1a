// The commands' way of reporting: one line of UTF-8 text on standard output.
#pragma once

#include "support/string_base.h"

namespace Zentu {

// Text as it may be shown on a terminal (a name from a file or an archive): printable UTF-8 as it
// is; control characters (C0, DEL, C1), backslashes and bytes of no valid sequence escaped (as
// "\x1B" and "\\"), so that no name can move the cursor, clear the screen or forge a line.
Vadu::String Printable(const Vadu::String& text);

// Writes the text and a line feed to standard output and flushes it, so that lines keep their
// order with the output of the tools the commands run.
void PrintLine(const Vadu::String& text);

// Reports a failure: prints the line (an "ERROR: ..." line) and sets the exit code to 1.
void ReportError(const Vadu::String& line);

}  // namespace Zentu
