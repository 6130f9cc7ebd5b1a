#include "support/file_stream.h"

#include "support/file_system.h"
#include "support/file_system_platform.h"

namespace Vadu {

FileStream::FileStream(const WString& path, bool create) {
  if (!path.IsEmpty()) Open(path, create);
}

FileStream::~FileStream() { Close(); }

bool FileStream::Open(const WString& path, bool create) {
  Close();
  WString normal = NormalizePath(path);
  if (normal.IsEmpty()) return false;
  if (create) {
    WString directory = GetDirectoryPart(normal);
    if (!directory.IsEmpty()) CreateDirectories(directory);
  }
  handle_ = Platform::OpenFile(
      normal, create ? Platform::OpenMode::kReadWriteCreate : Platform::OpenMode::kReadWrite);
  if (handle_ == Platform::kNoFile) return false;
  int64_t size = Platform::FileSize(handle_);
  if (size < 0 || !Platform::SeekFile(handle_, 0, 0)) {
    Close();
    return false;
  }
  size_ = size;
  return true;
}

bool FileStream::Seek(int64_t offset, int origin) {
  return IsOpen() && Platform::SeekFile(handle_, offset, origin);
}

uint32_t FileStream::Write(const void* bytes, uint32_t count) {
  if (!IsOpen() || !bytes || count == 0) return 0;
  const char* next = static_cast<const char*>(bytes);
  uint32_t done = 0;
  while (done < count) {
    int64_t written = Platform::WriteSome(handle_, next + done, count - done);
    if (written <= 0) break;
    done += static_cast<uint32_t>(written);
  }
  return done;
}

bool FileStream::Flush() { return IsOpen() && Platform::FlushFile(handle_); }

bool FileStream::IsOpen() const { return handle_ != Platform::kNoFile; }

void FileStream::Close() {
  if (IsOpen()) Platform::CloseFile(handle_);
  handle_ = Platform::kNoFile;
  size_ = 0;
}

}  // namespace Vadu
