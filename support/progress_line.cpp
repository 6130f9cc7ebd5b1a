#include "support/progress_line.h"

#include <cstdio>
#include <string>

namespace Vadu {

namespace {

// Writes a carriage return, then the text, so that the line replaces what the cursor's line showed.
void WriteOverLine(const std::string& text) {
  std::fputc('\r', stderr);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

ProgressLine::ProgressLine(const String& text) {
  if (!StandardErrorIsTerminal()) return;
  shown_ = text + "...";
  WriteOverLine(std::string(shown_.CStr(), shown_.Length()));
}

ProgressLine::~ProgressLine() {
  if (shown_.IsEmpty()) return;
  // Spaces rather than a terminal control sequence: every console understands them.
  WriteOverLine(std::string(shown_.Length(), ' ') + "\r");
}

}  // namespace Vadu
