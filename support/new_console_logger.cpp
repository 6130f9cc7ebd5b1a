#include "support/new_console_logger.h"

#include "support/file_system.h"

namespace Vadu {

std::vector<String> EncodeConsoleFrames(int32_t level, const String& text) {
  std::vector<String> frames;
  String levelText = String::FromNumber(level);
  for (uint32_t at = 0; at < text.Length(); at += kMaxConsoleFrameText) {
    String piece = text.Substring(at, kMaxConsoleFrameText);
    frames.push_back(levelText + String::FromNumber(piece.Length()).PadLeft(5, '0') + piece);
  }
  return frames;
}

NewConsoleLogger::NewConsoleLogger(const WString& title) : title_(title) {}

NewConsoleLogger::NewConsoleLogger(const WString& title, const WString& program)
    : title_(title), program_(program) {}

NewConsoleLogger::~NewConsoleLogger() = default;

void NewConsoleLogger::Write(int32_t level, const String& text) {
  if (!console_)
    console_ =
        std::make_unique<PipeConsole>(program_.IsEmpty() ? GetModulePath() : program_, title_);
  if (text.IsEmpty() || !console_->IsConnected()) return;
  // One write per frame.
  for (const String& frame : EncodeConsoleFrames(level, text)) console_->Send(frame);
}

}  // namespace Vadu
