// File-system primitives of Windows, through the wide-character interfaces.
#include <windows.h>

#include <vector>

#include "support/file_system.h"
#include "support/file_system_platform.h"

namespace Vadu {

namespace {

const wchar_t* Wide(const WString& text) { return reinterpret_cast<const wchar_t*>(text.CStr()); }

WString FromWide(const wchar_t* text, size_t count) {
  return WString(reinterpret_cast<const char16_t*>(text), static_cast<uint32_t>(count));
}

// A file time (UTC) as local calendar time, in the time zone in force now.
DateTime LocalTimeOf(const FILETIME& time) {
  SYSTEMTIME utc, local;
  if (!FileTimeToSystemTime(&time, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
    return DateTime();
  return DateTime(local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
                  local.wMilliseconds);
}

// Removes trailing separators, keeping the one of a drive's root.
WString TrimmedDirectory(std::wstring_view text) {
  while (text.size() > 1 && (text.back() == L'\\' || text.back() == L'/') &&
         text[text.size() - 2] != L':')
    text.remove_suffix(1);
  return FromWide(text.data(), text.size());
}

}  // namespace

PathStyle NativePathStyle() { return PathStyle::Windows; }

WString GetModulePath() {
  // Start with the classic limit and grow while the answer is cut short.
  for (DWORD size = MAX_PATH; size <= 32768 * 2; size *= 2) {
    std::vector<wchar_t> buffer(size);
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) return WString();
    if (length < size) return FromWide(buffer.data(), length);
  }
  return WString();
}

WString GetCurrentDir() {
  DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return WString();
  std::vector<wchar_t> buffer(needed + 1);
  DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length == 0 || length >= buffer.size()) return WString();
  WString normal = NormalizePath(FromWide(buffer.data(), length), PathStyle::Windows);
  return TrimmedDirectory(std::wstring_view(Wide(normal), normal.Length()));
}

WString GetTempDir() {
  DWORD needed = GetEnvironmentVariableW(L"TEMP", nullptr, 0);
  if (needed > 1) {
    std::vector<wchar_t> buffer(needed);
    DWORD length = GetEnvironmentVariableW(L"TEMP", buffer.data(), needed);
    if (length > 0 && length < needed) return FromWide(buffer.data(), length);
  }
  // Without TEMP, the system's own choice (TMP, the user's profile, the Windows folder).
  wchar_t path[MAX_PATH + 2];
  DWORD length = GetTempPathW(MAX_PATH + 1, path);
  if (length == 0 || length > MAX_PATH + 1) return WString();
  return TrimmedDirectory(std::wstring_view(path, length));
}

std::vector<FileEntry> ListDirectory(const WString& directory, const WString& pattern) {
  std::vector<FileEntry> entries;
  WString search = directory;
  if (!search.IsEmpty() && !search.EndsWith(u"\\") && !search.EndsWith(u"/")) search += u'\\';
  search += pattern.IsEmpty() ? WString(u"*") : pattern;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Wide(search), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    std::wstring_view name(data.cFileName);
    if (name == L"." || name == L"..") continue;
    uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entries.emplace_back(FromWide(name.data(), name.size()),
                         (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, size,
                         LocalTimeOf(data.ftLastWriteTime),
                         (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return entries;
}

namespace Platform {

PathStatus QueryPath(const WString& path) {
  PathStatus result;
  DWORD attributes = GetFileAttributesW(Wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return result;
  result.exists = true;
  result.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  result.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return result;
}

bool MakeDirectory(const WString& path) { return CreateDirectoryW(Wide(path), nullptr) != 0; }

bool RemoveDirectoryEntry(const WString& path) { return RemoveDirectoryW(Wide(path)) != 0; }

bool RemoveFileEntry(const WString& path) { return DeleteFileW(Wide(path)) != 0; }

bool RemoveLink(const WString& path) {
  // A junction or directory link is removed as a directory: the link goes, its target stays.
  DWORD attributes = GetFileAttributesW(Wide(path));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return RemoveDirectoryW(Wide(path)) != 0;
  return DeleteFileW(Wide(path)) != 0;
}

bool RenameEntry(const WString& source, const WString& target) {
  DWORD attributes = GetFileAttributesW(Wide(source));
  // Replacing applies to files only; a directory (or directory link) moves to a free name.
  DWORD flags = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                    ? 0
                    : MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  return MoveFileExW(Wide(source), Wide(target), flags) != 0;
}

bool CopyFileContent(const WString& source, const WString& target) {
  return CopyFileW(Wide(source), Wide(target), FALSE) != 0;
}

FileHandle OpenFile(const WString& path, OpenMode mode) {
  DWORD access = GENERIC_WRITE;
  DWORD disposition = CREATE_ALWAYS;
  switch (mode) {
    case OpenMode::kRead:
      access = GENERIC_READ;
      disposition = OPEN_EXISTING;
      break;
    case OpenMode::kReadWrite:
      access = GENERIC_READ | GENERIC_WRITE;
      disposition = OPEN_EXISTING;
      break;
    case OpenMode::kReadWriteCreate:
      access = GENERIC_READ | GENERIC_WRITE;
      disposition = CREATE_ALWAYS;
      break;
    case OpenMode::kWriteTruncate:
      disposition = CREATE_ALWAYS;
      break;
    case OpenMode::kWriteAppend:
      disposition = OPEN_ALWAYS;
      break;
    case OpenMode::kCreateNew:
      disposition = CREATE_NEW;
      break;
  }
  // Nothing is written through a symbolic link or junction.
  if (mode != OpenMode::kRead) {
    const DWORD attributes = GetFileAttributesW(Wide(path));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return kNoFile;
  }
  // No security attributes: the handle is not inherited by child processes.
  HANDLE file = CreateFileW(Wide(path), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kNoFile;
  if (mode == OpenMode::kWriteAppend) {
    LARGE_INTEGER zero = {};
    if (!SetFilePointerEx(file, zero, nullptr, FILE_END)) {
      CloseHandle(file);
      return kNoFile;
    }
  }
  return reinterpret_cast<FileHandle>(file);
}

bool CloseFile(FileHandle file) { return CloseHandle(reinterpret_cast<HANDLE>(file)) != 0; }

bool IsRegularFile(FileHandle file) {
  BY_HANDLE_FILE_INFORMATION information;
  return GetFileType(reinterpret_cast<HANDLE>(file)) == FILE_TYPE_DISK &&
         GetFileInformationByHandle(reinterpret_cast<HANDLE>(file), &information) &&
         !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t FileSize(FileHandle file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(reinterpret_cast<HANDLE>(file), &size)) return -1;
  return size.QuadPart;
}

bool SeekFile(FileHandle file, int64_t offset, int origin) {
  DWORD method = origin == 1 ? FILE_CURRENT : origin == 2 ? FILE_END : FILE_BEGIN;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  return SetFilePointerEx(reinterpret_cast<HANDLE>(file), distance, nullptr, method) != 0;
}

int64_t ReadSome(FileHandle file, void* buffer, uint32_t count) {
  DWORD got = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(file), buffer, count, &got, nullptr)) return -1;
  return got;
}

int64_t WriteSome(FileHandle file, const void* bytes, uint32_t count) {
  DWORD written = 0;
  if (!WriteFile(reinterpret_cast<HANDLE>(file), bytes, count, &written, nullptr)) return -1;
  return written;
}

// Windows copies ranges of open files only through a buffer.
int64_t CopyRange(FileHandle, uint64_t, FileHandle, uint64_t) { return -1; }

bool FlushFile(FileHandle file) { return FlushFileBuffers(reinterpret_cast<HANDLE>(file)) != 0; }

void CopyPermissions(const OpenedFolder&, const WString&, FileHandle) {}

bool MakeOwnerWritable(const WString& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (!(attributes & FILE_ATTRIBUTE_READONLY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return true;
  return SetFileAttributesW(Wide(path), attributes & ~FILE_ATTRIBUTE_READONLY) != 0;
}

bool MayReplace(const WString& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
         !(attributes & FILE_ATTRIBUTE_READONLY);
}

bool MarkInUse(FileHandle) { return true; }

uint32_t ProcessId() { return GetCurrentProcessId(); }

int64_t FileOwner(FileHandle) { return -1; }
int64_t PathOwner(const WString&) { return -1; }
int64_t EffectiveUser() { return -1; }

}  // namespace Platform

}  // namespace Vadu
