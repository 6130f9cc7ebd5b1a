#include <windows.h>

#include "support/file_mode.h"

namespace Vadu {

bool SetExecutable(const WString& path) {
  if (path.IsEmpty()) return false;
  DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.CStr()));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace Vadu
