#include <sys/stat.h>

#include "support/file_mode.h"

namespace Vadu {

bool SetExecutable(const WString& path) {
  if (path.IsEmpty()) return false;
  return chmod(ToUtf8(path).CStr(), 0755) == 0;
}

}  // namespace Vadu
