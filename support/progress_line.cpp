#include "support/progress_line.h"

#include <cstdio>
#include <string>

namespace Vadu {

namespace {

void WriteToStandardError(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

ProgressLine::ProgressLine(const String& text) {
  if (!StandardErrorIsTerminal()) return;
  shown_ = text + "...";
  WriteToStandardError("\r" + std::string(shown_.CStr(), shown_.Length()));
}

ProgressLine::~ProgressLine() {
  if (shown_.IsEmpty()) return;
  // Spaces rather than a terminal control sequence: every console understands them.
  WriteToStandardError("\r" + std::string(shown_.Length(), ' ') + "\r");
}

}  // namespace Vadu
