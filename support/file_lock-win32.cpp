// Locks of Windows: named mutexes, which the system abandons when the holder ends, and files held
// open without sharing.
#include <windows.h>

#include <cwctype>
#include <string>

#include "support/file_lock.h"
#include "support/file_lock_platform.h"
#include "support/file_system.h"

namespace Vadu {

namespace {

const wchar_t* Wide(const WString& text) { return reinterpret_cast<const wchar_t*>(text.CStr()); }

// The full path of the file in the form every spelling of it shares: absolute, normalised, in
// upper case (Windows file names ignore case).
std::wstring CanonicalPath(const WString& path) {
  const WString normal = NormalizePath(path);
  const DWORD needed = GetFullPathNameW(Wide(normal), 0, nullptr, nullptr);
  if (needed == 0) return std::wstring();
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(Wide(normal), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return std::wstring();
  full.resize(length);
  // A folder named with a trailing separator is the same folder.
  while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
  for (wchar_t& c : full) c = static_cast<wchar_t>(std::towupper(c));
  return full;
}

// The mutex name of a path: a 64-bit FNV-1a hash of its canonical form, in hexadecimal. Mutex
// names cannot hold "\", and the hash keeps them short.
std::wstring MutexName(const std::wstring& canonical, const wchar_t* space) {
  uint64_t hash = 14695981039346656037ull;
  for (wchar_t c : canonical) {
    hash ^= static_cast<uint16_t>(c);
    hash *= 1099511628211ull;
  }
  wchar_t digits[17];
  for (int i = 15; i >= 0; --i, hash >>= 4) digits[i] = L"0123456789abcdef"[hash & 15];
  digits[16] = 0;
  return std::wstring(space) + L"zentu-rebrand-lock-" + digits;
}

// A mutex every session sees where this user may make one, else one of this session.
HANDLE OpenNamedMutex(const std::wstring& canonical) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, MutexName(canonical, L"Global\\").c_str());
  if (mutex == nullptr)
    mutex = CreateMutexW(nullptr, FALSE, MutexName(canonical, L"Local\\").c_str());
  return mutex;
}

// Takes the mutex of the full path of a file (a folder when `folder`), waiting up to `wait`.
FileLock::Status LockNamed(const WString& path, std::chrono::milliseconds wait, bool folder,
                           intptr_t* handle) {
  using Status = FileLock::Status;
  const WString normal = NormalizePath(path);
  if (normal.IsEmpty()) return Status::kMissing;
  const DWORD attributes = GetFileAttributesW(Wide(normal));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Status::kMissing
                                                                          : Status::kFailed;
  }
  const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) || isFolder != folder) return Status::kNotRegularFile;
  const std::wstring canonical = CanonicalPath(normal);
  if (canonical.empty()) return Status::kFailed;
  HANDLE mutex = OpenNamedMutex(canonical);
  if (mutex == nullptr) return Status::kFailed;
  const DWORD waited = WaitForSingleObject(mutex, static_cast<DWORD>(wait.count()));
  // An abandoned mutex: its holder ended without letting go, and the lock is now ours.
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    *handle = reinterpret_cast<intptr_t>(mutex);
    return Status::kLocked;
  }
  CloseHandle(mutex);
  return waited == WAIT_TIMEOUT ? Status::kBusy : Status::kFailed;
}

}  // namespace

FileLock::Status FileLock::Acquire(const WString& path, std::chrono::milliseconds wait) {
  Release();
  return LockNamed(path, wait, /*folder=*/false, &handle_);
}

FileLock::Status FileLock::AcquireFolder(const WString& path, std::chrono::milliseconds wait) {
  Release();
  return LockNamed(path, wait, /*folder=*/true, &handle_);
}

void FileLock::Release() {
  if (handle_ == kNone) return;
  HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  handle_ = kNone;
}

namespace Platform {

MarkerHandle CreateMarker(const WString& path) {
  // No sharing: while this handle is open nobody else can open, replace or remove the file.
  HANDLE file = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kNoMarker;
  return reinterpret_cast<MarkerHandle>(file);
}

void CloseMarker(MarkerHandle marker) { CloseHandle(reinterpret_cast<HANDLE>(marker)); }

}  // namespace Platform

bool MarkerFileHeld(const WString& path) {
  const WString normal = NormalizePath(path);
  HANDLE file = CreateFileW(Wide(normal), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
  }
  CloseHandle(file);
  return false;
}

}  // namespace Vadu
