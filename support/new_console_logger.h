// A logger that ships its text through a pipe to a separate console process.
#pragma once

#include <memory>
#include <vector>

#include "support/logger.h"
#include "support/pipe_console.h"

namespace Vadu {

// The longest text one frame carries: its length field has five digits.
constexpr uint32_t kMaxConsoleFrameText = 99999;

// The frames carrying a text, each the level in decimal, the length of its bytes in decimal padded
// with "0" to five digits, and the bytes. A text longer than 99999 bytes is cut into several
// frames, so that the length field keeps its width. None for an empty text.
std::vector<String> EncodeConsoleFrames(int32_t level, const String& text);

class NewConsoleLogger : public LoggerImpl {
 public:
  // The console process is this program itself, started on the first write.
  explicit NewConsoleLogger(const WString& title);
  // The console process is `program`.
  NewConsoleLogger(const WString& title, const WString& program);
  ~NewConsoleLogger() override;

  void Write(int32_t level, const String& text) override;
  void Flush() override {}

  const WString& Title() const { return title_; }
  // Whether the console process is there to take text (false before the first write).
  bool IsConnected() const { return console_ && console_->IsConnected(); }

 private:
  WString title_;
  WString program_;
  std::unique_ptr<PipeConsole> console_;
};

}  // namespace Vadu
