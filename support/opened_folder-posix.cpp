#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "support/file_system.h"
#include "support/opened_folder.h"
#include "support/system_error.h"

namespace Vadu {

namespace {

// A subfolder of the open folder `parent`, never through a link; -1 when there is none.
int OpenBelow(int parent, const char* name) {
  return openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// renameat2, which glibc 2.36 declares only with _GNU_SOURCE and older ones not at all.
int RenameAt2(int folder, const char* from, const char* to, unsigned flags) {
  return static_cast<int>(syscall(SYS_renameat2, folder, from, folder, to, flags));
}

std::vector<String> EntryNames(int folder) {
  std::vector<String> names;
  const int listing = dup(folder);
  if (listing < 0) return names;
  DIR* dir = fdopendir(listing);
  if (dir == nullptr) {
    close(listing);
    return names;
  }
  rewinddir(dir);
  while (const dirent* entry = readdir(dir)) {
    const String name(entry->d_name);
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
}

bool RemoveBelow(int parent, const char* name);

// A folder of the caller's own that it may not change (0555, as a copy from a read-only medium
// leaves it) is opened up for its removal; another user's is left as it is.
void OpenUpOwnFolder(int folder) {
  struct stat status;
  if (fstat(folder, &status) == 0 && status.st_uid == geteuid() &&
      (status.st_mode & S_IRWXU) != S_IRWXU)
    fchmod(folder, (status.st_mode & 07777) | S_IRWXU);
}

// Empties the open folder, never following a link: every entry is unlinked, or, when it is a
// folder, opened without following a link, emptied and removed.
void EmptyFolder(int folder) {
  for (const String& name : EntryNames(folder)) RemoveBelow(folder, name.CStr());
}

bool RemoveBelow(int parent, const char* name) {
  if (unlinkat(parent, name, 0) == 0 || errno == ENOENT) return true;
  if (errno != EISDIR && errno != EPERM) return false;
  const int child = OpenBelow(parent, name);
  if (child < 0) {
    // Swapped meanwhile for a link or a file: that goes itself.
    return unlinkat(parent, name, 0) == 0 || errno == ENOENT;
  }
  OpenUpOwnFolder(child);
  EmptyFolder(child);
  close(child);
  return unlinkat(parent, name, AT_REMOVEDIR) == 0 || errno == ENOENT;
}

}  // namespace

OpenedFolder::~OpenedFolder() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

OpenedFolder::OpenedFolder(OpenedFolder&& other) noexcept
    : handle_(other.handle_), path_(other.path_) {
  other.handle_ = -1;
}

OpenedFolder& OpenedFolder::operator=(OpenedFolder&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) close(static_cast<int>(handle_));
    handle_ = other.handle_;
    path_ = other.path_;
    other.handle_ = -1;
  }
  return *this;
}

OpenedFolder OpenedFolder::Open(const WString& path) {
  OpenedFolder folder;
  folder.path_ = path;
  const String name = path.IsEmpty() ? String(".") : ToUtf8(NormalizePath(path));
  folder.handle_ = open(name.CStr(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return folder;
}

bool OpenedFolder::IsOpen() const { return handle_ >= 0; }

OpenedFolder OpenedFolder::Child(const WString& name) const {
  OpenedFolder child;
  child.path_ = JoinPath(path_, name);
  if (IsOpen()) child.handle_ = OpenBelow(static_cast<int>(handle_), ToUtf8(name).CStr());
  return child;
}

bool OpenedFolder::OwnedByCaller() const {
  struct stat status;
  return IsOpen() && fstat(static_cast<int>(handle_), &status) == 0 && status.st_uid == geteuid();
}

std::vector<WString> OpenedFolder::Names() const {
  std::vector<WString> names;
  if (!IsOpen()) return names;
  for (const String& name : EntryNames(static_cast<int>(handle_))) names.push_back(FromUtf8(name));
  return names;
}

OpenedFolder::Kind OpenedFolder::KindOf(const WString& name) const {
  const KeptSystemError kept;
  struct stat status;
  if (!IsOpen() ||
      fstatat(static_cast<int>(handle_), ToUtf8(name).CStr(), &status, AT_SYMLINK_NOFOLLOW) != 0)
    return Kind::kNothing;
  if (S_ISDIR(status.st_mode)) return Kind::kFolder;
  return S_ISLNK(status.st_mode) ? Kind::kLink : Kind::kOther;
}

bool OpenedFolder::MakeFolder(const WString& name) const {
  return IsOpen() && mkdirat(static_cast<int>(handle_), ToUtf8(name).CStr(), 0777) == 0;
}

bool OpenedFolder::WriteNewFile(const WString& name, const String& bytes) const {
  if (!IsOpen()) return false;
  const int folder = static_cast<int>(handle_);
  const String file = ToUtf8(name);
  const int fd =
      openat(folder, file.CStr(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = true;
  for (uint32_t done = 0; ok && done < bytes.Length();) {
    const ssize_t written = write(fd, bytes.CStr() + done, bytes.Length() - done);
    if (written < 0 && errno == EINTR) continue;
    ok = written > 0;
    if (ok) done += static_cast<uint32_t>(written);
  }
  ok = close(fd) == 0 && ok;
  if (!ok) {
    const int error = errno;
    unlinkat(folder, file.CStr(), 0);
    errno = error;
  }
  return ok;
}

bool OpenedFolder::RemoveTree(const WString& name) const {
  return IsOpen() && !name.IsEmpty() && RemoveBelow(static_cast<int>(handle_), ToUtf8(name).CStr());
}

intptr_t OpenedFolder::CreateNewFile(const WString& name) const {
  if (!IsOpen()) return -1;
  int fd;
  do {
    fd = openat(static_cast<int>(handle_), ToUtf8(name).CStr(),
                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

intptr_t OpenedFolder::OpenFile(const WString& name) const {
  if (!IsOpen()) return -1;
  int fd;
  do {
    fd = openat(static_cast<int>(handle_), ToUtf8(name).CStr(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool OpenedFolder::Replace(const WString& from, const WString& to) const {
  const int folder = static_cast<int>(handle_);
  return IsOpen() && renameat(folder, ToUtf8(from).CStr(), folder, ToUtf8(to).CStr()) == 0;
}

bool OpenedFolder::MoveHere(const WString& source, const WString& name) const {
  return IsOpen() && renameat(AT_FDCWD, ToUtf8(NormalizePath(source)).CStr(),
                              static_cast<int>(handle_), ToUtf8(name).CStr()) == 0;
}

bool OpenedFolder::Rename(const WString& from, const WString& to) const {
  if (!IsOpen()) return false;
  const int folder = static_cast<int>(handle_);
  const String source = ToUtf8(from), target = ToUtf8(to);
  if (RenameAt2(folder, source.CStr(), target.CStr(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: refuse what is there, then rename.
  struct stat status;
  if (fstatat(folder, target.CStr(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EEXIST;
    return false;
  }
  return renameat(folder, source.CStr(), folder, target.CStr()) == 0;
}

bool OpenedFolder::Exchange(const WString& a, const WString& b) const {
  return IsOpen() && RenameAt2(static_cast<int>(handle_), ToUtf8(a).CStr(), ToUtf8(b).CStr(),
                               RENAME_EXCHANGE) == 0;
}

}  // namespace Vadu
