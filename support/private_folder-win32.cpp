#include <windows.h>

#include "support/private_folder.h"

namespace Vadu {

namespace {

const wchar_t* Wide(const WString& text) { return reinterpret_cast<const wchar_t*>(text.CStr()); }

}  // namespace

bool IsOwnFolder(const WString& path) {
  if (path.IsEmpty()) return false;
  const DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

String WhyUnsafeParent(const WString&) { return String(); }

namespace Platform {

bool MakeNewDirectory(const WString& path, bool) {
  // Fails when anything exists at the path; the folder takes the parent's permissions.
  return CreateDirectoryW(Wide(path), nullptr) != 0;
}

}  // namespace Platform

}  // namespace Vadu
