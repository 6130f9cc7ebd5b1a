#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/file_system.h"
#include "support/private_folder.h"

namespace Vadu {

bool IsOwnFolder(const WString& path) {
  struct stat status;
  return !path.IsEmpty() && lstat(ToUtf8(path).CStr(), &status) == 0 && S_ISDIR(status.st_mode) &&
         status.st_uid == geteuid();
}

String WhyUnsafeParent(const WString& parent) {
  char* resolved = realpath(ToUtf8(NormalizePath(parent)).CStr(), nullptr);
  if (resolved == nullptr) return ToUtf8(parent) + String(" cannot be resolved");
  std::string folder(resolved);
  free(resolved);
  const uid_t self = geteuid();
  for (;;) {
    struct stat status;
    if (stat(folder.c_str(), &status) != 0) return String(folder.c_str()) + " cannot be examined";
    if (status.st_uid != self && status.st_uid != 0)
      return String(folder.c_str()) + " belongs to another user (uid " +
             String::FromNumber(static_cast<uint64_t>(status.st_uid)) + ")";
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (status.st_mode & S_ISVTX) == 0)
      return String(folder.c_str()) + " may be written by other users and is not sticky";
    if (folder == "/") return String();
    const size_t slash = folder.rfind('/');
    folder = slash == 0 ? std::string("/") : folder.substr(0, slash);
  }
}

namespace Platform {

bool MakeNewDirectory(const WString& path, bool ownerOnly) {
  const String name = ToUtf8(path);
  // mkdir never reuses anything at the path, link or not; the umask can only take bits away.
  if (mkdir(name.CStr(), ownerOnly ? 0700 : 0777) != 0) return false;
  struct stat status;
  if (lstat(name.CStr(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != geteuid() ||
      (ownerOnly && (status.st_mode & 0077) != 0)) {
    rmdir(name.CStr());
    return false;
  }
  return true;
}

}  // namespace Platform

}  // namespace Vadu
