#include <sys/stat.h>
#include <unistd.h>

#include "support/private_folder.h"

namespace Vadu {

bool IsOwnFolder(const WString& path) {
  struct stat status;
  return !path.IsEmpty() && lstat(ToUtf8(path).CStr(), &status) == 0 && S_ISDIR(status.st_mode) &&
         status.st_uid == geteuid();
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
