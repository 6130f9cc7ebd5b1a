// The commands' way of reporting: one line of UTF-8 text on standard output.
#pragma once

#include <vector>

#include "support/string_base.h"

namespace Zentu {

// How a command that reports what it found prints it: as lines for a person, or as one JSON
// document for a program (-json).
enum class Output { kLines, kJson };

// Text as it may be shown on a terminal (a name from a file or an archive): printable UTF-8 as it
// is; control characters (C0, DEL, C1), backslashes and bytes of no valid sequence escaped (as
// "\x1B" and "\\"), so that no name can move the cursor, clear the screen or forge a line.
Vadu::String Printable(const Vadu::String& text);

// Writes the text and a line feed to standard output and flushes it, so that lines keep their
// order with the output of the tools the commands run. While a LineCollector exists, the line is
// kept by it instead.
void PrintLine(const Vadu::String& text);

// Keeps the lines a command prints while it lives, so that a command that prints one document
// (-json) can carry them inside it instead. One at a time.
class LineCollector {
 public:
  LineCollector();
  ~LineCollector();
  LineCollector(const LineCollector&) = delete;
  LineCollector& operator=(const LineCollector&) = delete;

  const std::vector<Vadu::String>& Lines() const { return lines_; }

 private:
  friend void PrintLine(const Vadu::String& text);
  std::vector<Vadu::String> lines_;
};

// Reports a failure: prints the line (an "ERROR: ..." line), records it in the main log at level
// Error and sets the exit code to 1.
void ReportError(const Vadu::String& line);

// Reports a failure on a file as ReportError does; the log record also holds what the printed
// line, often a fixed text, may leave out: the file's full path (escaped as Printable escapes
// names) and the system's reason.
void ReportFileError(const Vadu::String& line, const Vadu::WString& path,
                     const Vadu::String& reason);

// A path as lines show it: each of its names escaped by Printable, the separators between them as
// they are (a Windows path keeps its single backslashes).
Vadu::String ShownPath(const Vadu::WString& path);
// ShownPath of the path made absolute against the current directory.
Vadu::String ShownFullPath(const Vadu::WString& path);

}  // namespace Zentu
