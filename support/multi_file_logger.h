// A logger that writes a series of files named after the UTC time each was started, moving on to
// a new file when the current one has taken more than about a megabyte.
#pragma once

#include "support/file_logger.h"

namespace Vadu {

class MultiFileLogger : public LoggerImpl {
 public:
  // Bytes a file takes before the next piece starts a new file.
  static constexpr uint64_t kMaxFileBytes = 0xFFFFF;

  // `pattern`: directory, base name and extension; the files are named
  // <directory><base>_<YYYY-MM-DD_HH.MM.SS>.<extension>. Without a directory nothing is logged.
  explicit MultiFileLogger(const WString& pattern);

  void Write(int32_t level, const String& text) override;
  void Flush() override;

  // The file currently written to; empty before the first write.
  WString CurrentPath() const { return file_->Path(); }

 private:
  void OpenNewFile();

  SmartPtr<FileLogger> file_;
  WString directory_;
  WString baseName_;
  WString extension_;
  uint64_t byteCount_ = 0;
};

}  // namespace Vadu
