#include "support/console_output.h"

namespace Vadu {

namespace {

void PutInt32(String& out, int32_t value) {
  uint32_t bits = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) out.Append(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

int32_t GetInt32(const String& bytes, uint32_t at) {
  uint32_t bits = 0;
  for (int i = 0; i < 4; ++i)
    bits |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return static_cast<int32_t>(bits);
}

}  // namespace

String EncodePlacement(const WindowRect& rect) {
  String bytes;
  PutInt32(bytes, rect.left);
  PutInt32(bytes, rect.top);
  PutInt32(bytes, rect.right);
  PutInt32(bytes, rect.bottom);
  return bytes;
}

bool DecodePlacement(const String& bytes, WindowRect* rect) {
  if (bytes.Length() < kPlacementFileSize) return false;
  rect->left = GetInt32(bytes, 0);
  rect->top = GetInt32(bytes, 4);
  rect->right = GetInt32(bytes, 8);
  rect->bottom = GetInt32(bytes, 12);
  return true;
}

bool IsPlacementAcceptable(const WindowRect& stored, const WindowRect& screen) {
  // Wide arithmetic: the stored values come from a file and may be anything.
  int64_t left = stored.left, top = stored.top, right = stored.right, bottom = stored.bottom;
  return left + 15 >= screen.left && screen.right >= left + 100 && top + 15 >= screen.top &&
         screen.bottom >= top + 100 && right - left > 100 && bottom - top > 100;
}

WString PlacementFileName(const WString& title) {
  if (title.IsEmpty()) return WString();
  return FromUtf8(ToHex(ToUtf8(title)) + ".logconsole");
}

String AnsiColourSequence(uint16_t attribute) {
  // Windows orders the colour bits blue, green, red; ANSI orders them red, green, blue.
  auto ansi = [](unsigned bits) { return ((bits & 4) >> 2) | (bits & 2) | ((bits & 1) << 2); };
  unsigned text = attribute & 0x0F, background = (attribute >> 4) & 0x0F;
  String sequence("\x1b[");
  sequence += String::FromNumber((text & 8 ? 90u : 30u) + ansi(text));
  // A black background is the terminal's own background.
  if (background != 0) {
    sequence += ';';
    sequence += String::FromNumber((background & 8 ? 100u : 40u) + ansi(background));
  }
  sequence += 'm';
  return sequence;
}

ConsoleOutput::ConsoleOutput() : timer_(3, 20000, /*expired=*/false) { Open(); }

ConsoleOutput::~ConsoleOutput() { SaveFinalPlacement(); }

void ConsoleOutput::Write(uint16_t attribute, const String& text) {
  if (!WriteText(attribute, text)) return;
  if (timer_.CheckAndRestart()) SavePlacement();
}

}  // namespace Vadu
