// Locks of POSIX systems: flock, which the system drops when the last descriptor of the open file
// is closed, so also when the holder is killed.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "support/file_lock.h"
#include "support/file_lock_platform.h"
#include "support/file_system.h"

namespace Vadu {

namespace {

using Clock = std::chrono::steady_clock;

// How often a waiter tries again.
constexpr std::chrono::milliseconds kRetryInterval{50};

String SystemPath(const WString& path) { return ToUtf8(NormalizePath(path)); }

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int TryLock(int fd) {
  int result;
  do {
    result = flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result;
}

}  // namespace

FileLock::Status FileLock::AcquireFolder(const WString& path, std::chrono::milliseconds wait) {
  Release();
  const String folder = SystemPath(path);
  if (folder.IsEmpty()) return Status::kMissing;
  const int fd = open(folder.CStr(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOTDIR) return Status::kNotRegularFile;
    return errno == ENOENT ? Status::kMissing : Status::kFailed;
  }
  const Clock::time_point deadline = Clock::now() + wait;
  while (TryLock(fd) != 0) {
    if (errno != EWOULDBLOCK || Clock::now() >= deadline) {
      const int error = errno;
      close(fd);
      return error == EWOULDBLOCK ? Status::kBusy : Status::kFailed;
    }
    std::this_thread::sleep_for(kRetryInterval);
  }
  handle_ = fd;
  return Status::kLocked;
}

FileLock::Status FileLock::Acquire(const WString& path, std::chrono::milliseconds wait) {
  Release();
  const String file = SystemPath(path);
  if (file.IsEmpty()) return Status::kMissing;
  const Clock::time_point deadline = Clock::now() + wait;
  for (;;) {
    // Non-blocking, so that a named pipe does not wait for a writer.
    const int fd = open(file.CStr(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno == ENOENT ? Status::kMissing : Status::kFailed;
    struct stat opened;
    if (fstat(fd, &opened) != 0) {
      close(fd);
      return Status::kFailed;
    }
    if (!S_ISREG(opened.st_mode)) {
      close(fd);
      return Status::kNotRegularFile;
    }
    if (TryLock(fd) == 0) {
      // The holder may have replaced the file meanwhile: the lock must be on what the path names.
      struct stat now;
      if (stat(file.CStr(), &now) == 0 && SameFile(now, opened)) {
        handle_ = fd;
        return Status::kLocked;
      }
      close(fd);
      continue;
    }
    const int error = errno;
    close(fd);
    if (error != EWOULDBLOCK) return Status::kFailed;
    if (Clock::now() >= deadline) return Status::kBusy;
    std::this_thread::sleep_for(kRetryInterval);
  }
}

void FileLock::Release() {
  if (handle_ == kNone) return;
  close(static_cast<int>(handle_));  // closing the only descriptor drops the lock
  handle_ = kNone;
}

namespace Platform {

MarkerHandle CreateMarker(const WString& path) {
  const String file = ToUtf8(path);
  const int fd = open(file.CStr(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return kNoMarker;
  if (TryLock(fd) != 0) {
    close(fd);
    unlink(file.CStr());
    return kNoMarker;
  }
  return fd;
}

void CloseMarker(MarkerHandle marker) { close(static_cast<int>(marker)); }

}  // namespace Platform

bool MarkerFileHeld(const WString& path) {
  const String file = SystemPath(path);
  const int fd = open(file.CStr(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return errno != ENOENT;
  const bool held = TryLock(fd) != 0;
  close(fd);  // drops a lock taken just now
  return held;
}

}  // namespace Vadu
