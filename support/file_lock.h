// Locks that other processes see and that the system releases when the holder ends, however it
// ends (kill -9 included): one process at a time changing a file, and marker files that show a
// folder or a temporary file is still in use.
#pragma once

#include <chrono>
#include <cstdint>

#include "support/string_base.h"

namespace Vadu {

// An exclusive lock on a file for the life of the object: POSIX, an advisory lock on the file
// itself (a file that is replaced by rename while a waiter waits is locked again under its new
// identity); Windows, a named mutex made from the file's full path, so that the lock never stands
// in the way of reading, writing or replacing the file. Only cooperating processes are held back.
class FileLock {
 public:
  enum class Status {
    kLocked,          // this object holds the lock
    kBusy,            // another holder kept it for the whole wait
    kMissing,         // nothing at the path
    kNotRegularFile,  // a directory, named pipe, device or socket
    kFailed,          // the file or the lock could not be opened
  };

  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(FileLock&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }
  FileLock& operator=(FileLock&& other) noexcept {
    if (this != &other) {
      Release();
      handle_ = other.handle_;
      other.handle_ = kNone;
    }
    return *this;
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Locks the regular file at `path` (a symbolic link: the file it names), waiting up to `wait`
  // while another holder has it. Releases a lock this object held before. Never blocks on a named
  // pipe.
  Status Acquire(const WString& path, std::chrono::milliseconds wait);
  // The same for the folder at `path` (a link: the folder it names); kNotRegularFile when it is
  // no folder.
  Status AcquireFolder(const WString& path, std::chrono::milliseconds wait);
  bool IsHeld() const { return handle_ != kNone; }
  void Release();

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;  // a file descriptor or a mutex handle
};

// Marker files. A marker is created exclusively (never through a link, never reusing a file) and
// held open by this process until it ends; another process can tell whether a marker is still
// held. Lets a later run tell a folder or file left by a killed run from one in use.
//
// Creates the marker at `path` and holds it for the rest of the process's life. False when
// anything exists at the path or it cannot be made.
bool HoldMarkerFile(const WString& path);
// Lets go of a marker this process holds (so that it can be removed, also on Windows); false when
// it holds none at the path.
bool ReleaseMarkerFile(const WString& path);
// True when the marker at `path` is held by a live process, or cannot be examined (so that a
// caller never removes what may be in use). False when nobody holds it or it does not exist.
bool MarkerFileHeld(const WString& path);

}  // namespace Vadu
