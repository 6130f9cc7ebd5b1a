// The primitives each platform gives the portable file-system code (file_system-posix.cpp,
// file_system-win32.cpp). Paths reach them normalised in the native style.
#pragma once

#include <cstdint>

#include "support/opened_folder.h"
#include "support/string_base.h"

namespace Vadu::Platform {

struct PathStatus {
  bool exists = false;
  bool directory = false;  // the path, or what a link at it points to, is a directory
  bool link = false;       // the path itself is a symbolic link (Windows: a reparse point)
};
PathStatus QueryPath(const WString& path);

bool MakeDirectory(const WString& path);
// Removes an empty directory.
bool RemoveDirectoryEntry(const WString& path);
// Removes a file, or a POSIX symbolic link itself.
bool RemoveFileEntry(const WString& path);
// Removes a link (symbolic link, junction) itself, whatever it points to.
bool RemoveLink(const WString& path);
// Renames within one file system, atomically replacing an existing target file.
bool RenameEntry(const WString& source, const WString& target);
// Copies the content of a file over the target (created or truncated).
bool CopyFileContent(const WString& source, const WString& target);

// Open files. A handle is a file descriptor or a Windows handle; kNoFile when not open. Files
// opened for writing are never opened through a symbolic link (POSIX: O_NOFOLLOW; Windows: a
// reparse point at the path is refused).
using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

enum class OpenMode {
  kRead,             // an existing file
  kReadWrite,        // an existing file
  kReadWriteCreate,  // created, or truncated when it exists
  kWriteTruncate,    // created, or truncated when it exists
  kWriteAppend,      // created when missing, written at its end
  kCreateNew,        // created; fails when anything exists at the path
};
// Handles are never inherited by child processes.
FileHandle OpenFile(const WString& path, OpenMode mode);
bool CloseFile(FileHandle file);
// True when the open file is a regular file (not a directory, pipe, device or socket).
bool IsRegularFile(FileHandle file);
// The size in bytes; -1 on failure.
int64_t FileSize(FileHandle file);
// Origin 0 = start, 1 = current position, 2 = end.
bool SeekFile(FileHandle file, int64_t offset, int origin);
// Bytes read (0 at the end of the file) or written; -1 on failure.
int64_t ReadSome(FileHandle file, void* buffer, uint32_t count);
int64_t WriteSome(FileHandle file, const void* bytes, uint32_t count);
// Copies up to `count` bytes of `in` from `inOffset` to the current position of `out` inside the
// system, without passing them through this process: the bytes copied (0 at the end of `in`), or
// -1 when this way of copying is not available or failed (the caller then copies through a
// buffer from the same point).
int64_t CopyRange(FileHandle in, uint64_t inOffset, FileHandle out, uint64_t count);
// Forces written data to the disk.
bool FlushFile(FileHandle file);
// Gives the open file the permission bits of the entry `model` of `folder` (a link: of the file
// it names), and, where the caller may, the owner and group of a regular file there (POSIX: root
// gives both, others a group they belong to). The set-user-ID and set-group-ID bits carry over
// only from a regular file at the name itself (never from what a link names) and only when the
// open file has its owner (group): a replacement never gains privileges. No-op on Windows, or when
// nothing is at the name.
void CopyPermissions(const OpenedFolder& folder, const WString& model, FileHandle file);
// False when something the caller may not write stands at the path (POSIX: a file without write
// permission for this user; Windows: a read-only file), so that it is not swapped for a new file
// by a rename that the folder's permissions would allow. True for a missing file or a link.
bool MayReplace(const WString& path);
// Lets the owner write the file or folder at the path (POSIX: the owner's write bit; Windows: the
// read-only attribute cleared). A link is left alone. False when it cannot be changed.
bool MakeOwnerWritable(const WString& path);
// Marks the open file as in use for as long as it stays open, so that MarkerFileHeld sees it
// (POSIX: an advisory lock; Windows: the open handle itself does it).
bool MarkInUse(FileHandle file);
uint32_t ProcessId();
// The user who owns the open file; -1 where the system keeps no owners.
int64_t FileOwner(FileHandle file);
// The user who owns the file at the path (a link: what it names); -1 as above.
int64_t PathOwner(const WString& path);
int64_t EffectiveUser();

}  // namespace Vadu::Platform
