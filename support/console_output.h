// Coloured text in the process's console. On Windows the console is allocated on demand and its
// window placement is kept across runs in a small file under TEMP; on POSIX the text goes to the
// terminal on standard output with ANSI colours, and placement does not apply.
#pragma once

#include <cstdint>

#include "support/elapsed_timer.h"
#include "support/string_base.h"

namespace Vadu {

struct WindowRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

// Placement file contents: the four values little-endian, left, top, right, bottom.
constexpr uint32_t kPlacementFileSize = 16;
String EncodePlacement(const WindowRect& rect);
// False when fewer than 16 bytes are given; extra bytes are ignored.
bool DecodePlacement(const String& bytes, WindowRect* rect);

// Whether a stored window rectangle may be applied on a screen: its top-left corner lies no more
// than 15 pixels before the screen's top-left and at least 100 pixels inside its right and
// bottom edges, and it is more than 100 pixels wide and high.
bool IsPlacementAcceptable(const WindowRect& stored, const WindowRect& screen);

// The placement file's name for a console title: the title's UTF-8 bytes in upper-case hex,
// then ".logconsole"; empty for an empty title.
WString PlacementFileName(const WString& title);

// The ANSI sequence that selects a console text attribute (Windows bits: blue 1, green 2, red 4,
// intensity 8 for the text, the same shifted by four for the background; a black background
// leaves the terminal's own).
String AnsiColourSequence(uint16_t attribute);

class ConsoleOutput {
 public:
  // Obtains the console (Windows: allocates one if the process has none) and, once per process,
  // restores the console window's placement.
  ConsoleOutput();
  // Saves the window placement (once per process).
  ~ConsoleOutput();
  ConsoleOutput(const ConsoleOutput&) = delete;
  ConsoleOutput& operator=(const ConsoleOutput&) = delete;

  // Writes the bytes unchanged in the given attribute, restoring the previous one afterwards;
  // dropped when there is no console. Saves the placement at most every 20 seconds.
  void Write(uint16_t attribute, const String& text);

 private:
  // Platform parts.
  void Open();
  bool WriteText(uint16_t attribute, const String& text);
  void SavePlacement();
  void SaveFinalPlacement();

  intptr_t handle_ = -1;  // the platform's output handle; -1 when there is none
  ElapsedCounterTimer timer_;
  WindowRect saved_;
};

}  // namespace Vadu
