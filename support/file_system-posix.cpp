// File-system primitives of POSIX systems. Paths are UTF-8 at the system calls.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "support/file_system.h"
#include "support/file_system_platform.h"

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace Vadu {

namespace {

// The last-write time of a status as local calendar time.
DateTime LocalWriteTime(const struct stat& status) {
#if defined(__APPLE__)
  const struct timespec& written = status.st_mtimespec;
#else
  const struct timespec& written = status.st_mtim;
#endif
  struct tm local = {};
  if (!localtime_r(&written.tv_sec, &local)) return DateTime();
  return DateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec,
                  static_cast<int>(written.tv_nsec / 1000000));
}

WString FromSystemText(const char* text) { return FromUtf8(String(text)); }

}  // namespace

PathStyle NativePathStyle() { return PathStyle::Posix; }

WString GetModulePath() {
  std::vector<char> buffer(1024);
#if defined(__APPLE__)
  uint32_t size = static_cast<uint32_t>(buffer.size());
  if (_NSGetExecutablePath(buffer.data(), &size) != 0) {
    buffer.resize(size + 1);
    if (_NSGetExecutablePath(buffer.data(), &size) != 0) return WString();
  }
  return FromSystemText(buffer.data());
#else
  for (;;) {
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return WString();
    if (static_cast<size_t>(length) < buffer.size())
      return FromUtf8(String(buffer.data(), static_cast<uint32_t>(length)));
    buffer.resize(buffer.size() * 2);  // possibly cut short: try again with more room
  }
#endif
}

WString GetCurrentDir() {
  std::vector<char> buffer(1024);
  while (!getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) return WString();
    buffer.resize(buffer.size() * 2);
  }
  std::u16string path(NormalizePath(FromSystemText(buffer.data()), PathStyle::Posix).ToView());
  while (path.size() > 1 && path.back() == u'/') path.pop_back();
  return WString(path);
}

WString GetTempDir() {
  for (const char* name : {"TEMP", "TMPDIR"}) {
    const char* value = std::getenv(name);
    if (value && *value) return FromSystemText(value);
  }
  return u"/tmp";
}

std::vector<FileEntry> ListDirectory(const WString& directory, const WString& pattern) {
  std::vector<FileEntry> entries;
  String folder = directory.IsEmpty() ? String(".") : ToUtf8(directory);
  String wildcard = pattern.IsEmpty() ? String("*") : ToUtf8(pattern);
  DIR* stream = opendir(folder.CStr());
  if (!stream) return entries;
  while (struct dirent* item = readdir(stream)) {
    const char* name = item->d_name;
    if (std::string_view(name) == "." || std::string_view(name) == "..") continue;
    if (fnmatch(wildcard.CStr(), name, FNM_NOESCAPE) != 0) continue;
    // The entry itself: a symbolic link is listed as a link, never as what it points to.
    struct stat status;
    if (fstatat(dirfd(stream), name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
    entries.emplace_back(FromSystemText(name), S_ISDIR(status.st_mode),
                         static_cast<uint64_t>(status.st_size), LocalWriteTime(status),
                         S_ISLNK(status.st_mode));
  }
  closedir(stream);
  // The enumeration order of POSIX file systems is arbitrary; names give a stable one.
  std::sort(entries.begin(), entries.end(),
            [](const FileEntry& a, const FileEntry& b) { return a.Name() < b.Name(); });
  return entries;
}

namespace Platform {

namespace {

String SystemPath(const WString& path) { return ToUtf8(path); }

}  // namespace

PathStatus QueryPath(const WString& path) {
  PathStatus result;
  String p = SystemPath(path);
  struct stat status;
  if (lstat(p.CStr(), &status) != 0) return result;
  result.exists = true;
  result.link = S_ISLNK(status.st_mode);
  if (result.link) {
    struct stat target;
    result.directory = stat(p.CStr(), &target) == 0 && S_ISDIR(target.st_mode);
  } else {
    result.directory = S_ISDIR(status.st_mode);
  }
  return result;
}

bool MakeDirectory(const WString& path) { return mkdir(SystemPath(path).CStr(), 0777) == 0; }

bool RemoveDirectoryEntry(const WString& path) { return rmdir(SystemPath(path).CStr()) == 0; }

bool RemoveFileEntry(const WString& path) { return unlink(SystemPath(path).CStr()) == 0; }

bool RemoveLink(const WString& path) { return unlink(SystemPath(path).CStr()) == 0; }

bool RenameEntry(const WString& source, const WString& target) {
  return rename(SystemPath(source).CStr(), SystemPath(target).CStr()) == 0;
}

bool CopyFileContent(const WString& source, const WString& target) {
  String from = SystemPath(source), to = SystemPath(target);
  int in = open(from.CStr(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) return false;
  struct stat sourceStatus, targetStatus;
  bool ok = fstat(in, &sourceStatus) == 0 && S_ISREG(sourceStatus.st_mode);
  if (ok && lstat(to.CStr(), &targetStatus) == 0) {
    // Copying a file onto itself would empty it.
    if (targetStatus.st_dev == sourceStatus.st_dev && targetStatus.st_ino == sourceStatus.st_ino)
      ok = false;
    // A link at the target is replaced, never written through.
    else if (S_ISLNK(targetStatus.st_mode))
      ok = unlink(to.CStr()) == 0;
  }
  int out = ok ? open(to.CStr(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666) : -1;
  if (out >= 0) {
    // The copy gets the source's permission bits (an executable stays executable), where the
    // file system keeps them.
    fchmod(out, sourceStatus.st_mode & 07777);
    std::vector<char> buffer(1u << 20);
    while (ok) {
      int64_t got = ReadSome(in, buffer.data(), static_cast<uint32_t>(buffer.size()));
      if (got <= 0) {
        ok = got == 0;
        break;
      }
      for (int64_t done = 0; ok && done < got;) {
        int64_t written = WriteSome(out, buffer.data() + done, static_cast<uint32_t>(got - done));
        ok = written > 0;
        done += written;
      }
    }
    ok = close(out) == 0 && ok;
  } else {
    ok = false;
  }
  close(in);
  return ok;
}

FileHandle OpenFile(const WString& path, OpenMode mode) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::kRead:
      // Opening a named pipe must not wait for a writer; regular files ignore the flag.
      flags |= O_RDONLY | O_NONBLOCK;
      break;
    case OpenMode::kReadWrite:
      flags |= O_RDWR | O_NOFOLLOW;
      break;
    case OpenMode::kReadWriteCreate:
      flags |= O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW;
      break;
    case OpenMode::kWriteTruncate:
      flags |= O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW;
      break;
    case OpenMode::kWriteAppend:
      flags |= O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW;
      break;
    case OpenMode::kCreateNew:
      flags |= O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
      break;
  }
  int fd;
  do {
    fd = open(SystemPath(path).CStr(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd < 0 ? kNoFile : fd;
}

bool CloseFile(FileHandle file) { return close(static_cast<int>(file)) == 0; }

bool IsRegularFile(FileHandle file) {
  struct stat status;
  return fstat(static_cast<int>(file), &status) == 0 && S_ISREG(status.st_mode);
}

int64_t FileSize(FileHandle file) {
  struct stat status;
  if (fstat(static_cast<int>(file), &status) != 0) return -1;
  return status.st_size;
}

bool SeekFile(FileHandle file, int64_t offset, int origin) {
  int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
  return lseek(static_cast<int>(file), static_cast<off_t>(offset), whence) != -1;
}

int64_t ReadSome(FileHandle file, void* buffer, uint32_t count) {
  ssize_t got;
  do {
    got = read(static_cast<int>(file), buffer, count);
  } while (got < 0 && errno == EINTR);
  return got;
}

int64_t WriteSome(FileHandle file, const void* bytes, uint32_t count) {
  ssize_t written;
  do {
    written = write(static_cast<int>(file), bytes, count);
  } while (written < 0 && errno == EINTR);
  return written;
}

int64_t CopyRange(FileHandle in, uint64_t inOffset, FileHandle out, uint64_t count) {
#ifdef __linux__
  // Large copies go in pieces, so that no single call runs for long.
  constexpr uint64_t kMostPerCall = uint64_t{1} << 30;
  off_t from = static_cast<off_t>(inOffset);
  ssize_t copied;
  do {
    copied = copy_file_range(static_cast<int>(in), &from, static_cast<int>(out), nullptr,
                             static_cast<size_t>(count < kMostPerCall ? count : kMostPerCall), 0);
  } while (copied < 0 && errno == EINTR);
  return copied;
#else
  (void)in, (void)inOffset, (void)out, (void)count;
  return -1;
#endif
}

bool FlushFile(FileHandle file) { return fsync(static_cast<int>(file)) == 0; }

void CopyPermissions(const OpenedFolder& folder, const WString& model, FileHandle file) {
  struct stat status, own, at;
  const int fd = static_cast<int>(file);
  const int parent = static_cast<int>(folder.Descriptor());
  const String name = ToUtf8(model);
  if (fstatat(parent, name.CStr(), &status, 0) != 0 || fstat(fd, &own) != 0 ||
      fstatat(parent, name.CStr(), &at, AT_SYMLINK_NOFOLLOW) != 0)
    return;
  // A link lends the bits of the file it names, never its set-ID bits: root replacing a user's
  // link to a set-user-ID program must not leave a set-user-ID copy in the user's folder.
  if (!S_ISREG(at.st_mode)) status.st_mode &= ~(S_ISUID | S_ISGID);
  // A replaced file stays its owner's and its group's where the caller may give it to them (root;
  // a group the caller belongs to): a run as root must not take a build user's package away from
  // them. Only a file at the name itself counts, never what a link there points at.
  if (S_ISREG(at.st_mode) && (at.st_uid != own.st_uid || at.st_gid != own.st_gid)) {
    // Otherwise the group alone; failing both, the file stays the caller's, and the set-ID bits
    // below do not carry over.
    const bool given =
        fchown(fd, at.st_uid, at.st_gid) == 0 || fchown(fd, static_cast<uid_t>(-1), at.st_gid) == 0;
    if (given && fstat(fd, &own) != 0) return;
  }
  mode_t mode = status.st_mode & 01777;
  if ((status.st_mode & S_ISUID) && own.st_uid == status.st_uid) mode |= S_ISUID;
  if ((status.st_mode & S_ISGID) && own.st_gid == status.st_gid) mode |= S_ISGID;
  fchmod(fd, mode);
}

bool MayReplace(const WString& path) {
  const String name = SystemPath(path);
  struct stat status;
  if (lstat(name.CStr(), &status) != 0 || S_ISLNK(status.st_mode)) return true;
  return faccessat(AT_FDCWD, name.CStr(), W_OK, AT_EACCESS) == 0;
}

bool MakeOwnerWritable(const WString& path) {
  const String name = SystemPath(path);
  struct stat status;
  if (lstat(name.CStr(), &status) != 0) return false;
  if (S_ISLNK(status.st_mode) || (status.st_mode & S_IWUSR)) return true;
  return chmod(name.CStr(), (status.st_mode & 07777) | S_IWUSR) == 0;
}

bool MarkInUse(FileHandle file) {
  int result;
  do {
    result = flock(static_cast<int>(file), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

uint32_t ProcessId() { return static_cast<uint32_t>(getpid()); }

int64_t FileOwner(FileHandle file) {
  struct stat status;
  return fstat(static_cast<int>(file), &status) == 0 ? static_cast<int64_t>(status.st_uid) : -1;
}

int64_t PathOwner(const WString& path) {
  struct stat status;
  return stat(ToUtf8(path).CStr(), &status) == 0 ? static_cast<int64_t>(status.st_uid) : -1;
}

int64_t EffectiveUser() { return static_cast<int64_t>(geteuid()); }

}  // namespace Platform

}  // namespace Vadu
