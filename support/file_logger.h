// A logger that appends to one file, heading each run of pieces at one level with a level line.
#pragma once

#include "support/file_stream.h"
#include "support/logger.h"

namespace Vadu {

class FileLogger : public LoggerImpl {
 public:
  // The file is opened on the first write; an empty path logs nothing.
  explicit FileLogger(const WString& path);

  // Opens the file if needed (creating it and its directories when missing, else appending to
  // it), writes a level line when the level differs from the last one this logger wrote, then
  // the text with every bare "\n" written as "\r\n", the line end of the level lines. A file that
  // cannot be opened drops the text; the next write tries again.
  void Write(int32_t level, const String& text) override;
  void Flush() override;

  // Points the logger at another file and opens it at once, closing the current one. The header
  // state is kept: the next piece gets a level line only if its level differs from the last.
  void SwitchTo(const WString& path);

  const WString& Path() const { return path_; }
  bool IsOpen() const { return stream_.IsOpen(); }

 private:
  bool OpenFile();

  FileStream stream_;
  WString path_;
  int32_t headerLevel_ = 0;
  bool headerWritten_ = false;
  char last_ = 0;  // the last byte written, so that a "\r\n" split between pieces stays one
};

}  // namespace Vadu
