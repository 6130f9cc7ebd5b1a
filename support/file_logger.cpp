#include "support/file_logger.h"

#include <cstring>

#include "support/file_system.h"

namespace Vadu {

namespace {
constexpr int kSeekFromEnd = 2;
}

FileLogger::FileLogger(const WString& path) : path_(path) {}

bool FileLogger::OpenFile() {
  if (path_.IsEmpty()) return false;
  // A missing file is created with its directories; an existing one is appended to.
  bool create = !PathExists(path_, false);
  if (!stream_.Open(path_, create)) return false;
  if (!stream_.Seek(0, kSeekFromEnd)) {
    stream_.Close();
    return false;
  }
  return true;
}

void FileLogger::SwitchTo(const WString& path) {
  stream_.Close();
  path_ = path;
  OpenFile();
}

void FileLogger::Write(int32_t level, const String& text) {
  if (text.IsEmpty()) return;
  if (!stream_.IsOpen() && !OpenFile()) return;
  if (!header_written_ || level != header_level_) {
    String header;
    if (header_written_) header.Append("\r\n");
    header.Append(LevelHeader(level));
    header_level_ = level;
    header_written_ = true;
    if (!header.IsEmpty()) stream_.Write(header.Data(), header.Length());
  }
  stream_.Write(text.Data(), text.Length());
}

void FileLogger::Flush() { stream_.Flush(); }

}  // namespace Vadu
