// An open file for reading and writing, kept open between writes (the file loggers' file).
#pragma once

#include <cstdint>

#include "support/string_base.h"

namespace Vadu {

class FileStream {
 public:
  FileStream() = default;
  // Opens the path at once unless it is empty.
  FileStream(const WString& path, bool create);
  virtual ~FileStream();
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  // Closes any open file first. With `create`, makes the missing directories and a new, empty
  // file (replacing any); without, opens only an existing file. Others may read and write the
  // file meanwhile; child processes do not inherit it. The position is the start. True when a
  // file is open.
  bool Open(const WString& path, bool create);
  // Moves the position: origin 0 = start, 1 = current position, 2 = end (others: start).
  bool Seek(int64_t offset, int origin);
  // The count of bytes written; 0 when closed or given nothing.
  uint32_t Write(const void* bytes, uint32_t count);
  // Forces the written bytes to the disk.
  bool Flush();
  bool IsOpen() const;
  void Close();
  // The file's size when it was opened.
  int64_t Size() const { return size_; }

 private:
  intptr_t handle_ = -1;
  int64_t size_ = 0;
};

}  // namespace Vadu
