// A line on standard error that shows what a long step is doing while it runs, for a person
// watching a terminal. Scripts that read the output see nothing of it.
#pragma once

#include "support/string_base.h"

namespace Vadu {

// True when standard error is a terminal (a console on Windows).
bool StandardErrorIsTerminal();

// Shows "<text>..." on standard error for the object's lifetime when standard error is a
// terminal, then blanks it out again, so that it leaves nothing among the result lines; nothing
// at all otherwise.
class ProgressLine {
 public:
  explicit ProgressLine(const String& text);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

 private:
  String shown_;
};

}  // namespace Vadu
