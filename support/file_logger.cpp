#include "support/file_logger.h"

#include <cstring>
#include <string>

#include "support/file_system.h"

namespace Vadu {

namespace {
constexpr int kSeekFromEnd = 2;
}

FileLogger::FileLogger(const WString& path) : path_(path) {}

bool FileLogger::OpenFile() {
  if (path_.IsEmpty()) return false;
  // A missing file is created with its directories; an existing one is appended to.
  bool create = !FileExists(path_);
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
  if (!headerWritten_ || level != headerLevel_) {
    String header;
    if (headerWritten_) header.Append("\r\n");
    header.Append(LevelHeader(level));
    headerLevel_ = level;
    headerWritten_ = true;
    if (!header.IsEmpty()) {
      stream_.Write(header.Data(), header.Length());
      last_ = header[header.Length() - 1];
    }
  }
  // The level lines end with "\r\n"; a bare "\n" in the text becomes "\r\n" too, so that the
  // file keeps one line-ending style.
  std::string normal;
  normal.reserve(text.Length() + 16);
  for (uint32_t k = 0; k < text.Length(); ++k) {
    if (text[k] == '\n' && last_ != '\r') normal.push_back('\r');
    last_ = text[k];
    normal.push_back(text[k]);
  }
  stream_.Write(normal.data(), static_cast<uint32_t>(normal.size()));
}

void FileLogger::Flush() { stream_.Flush(); }

}  // namespace Vadu
