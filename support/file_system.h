// Paths and files: path text operations, whole-file transfer, directory trees and listings.
// Every operation that touches the file system normalises its path first and reports failure by
// a false or empty result; none throws for file-system errors or prints anything.
#pragma once

#include <cstdint>
#include <vector>

#include "support/date_time.h"
#include "support/opened_folder.h"
#include "support/string_base.h"

namespace Vadu {

// The rules path text follows. Windows: "\" separates (and "/" is accepted on input), drive
// letters ("C:") and network paths ("\\server\share") exist. POSIX: only "/" separates, "\" is an
// ordinary file-name character, an absolute path begins with "/".
enum class PathStyle { Windows, Posix };

// The style of the platform this program runs on.
PathStyle NativePathStyle();
// The separator results use: "\" or "/".
char16_t PathSeparator(PathStyle style = NativePathStyle());

// Path text; no file-system access.
//
// Separators turned into the style's own, runs of separators collapsed (a Windows network path
// keeps its doubled opening), "." components dropped, ".." components resolved against the
// component before them, spaces at the end of components removed (Windows only: POSIX names keep
// them). A trailing separator stays.
// A ".." that would climb above the start of an absolute path makes the whole result empty.
WString NormalizePath(const WString& path, PathStyle style = NativePathStyle());
// `a` without trailing separators, one separator, `b` without leading separators (both
// normalised). An empty `a` gives `b` alone.
WString JoinPath(const WString& a, const WString& b, PathStyle style = NativePathStyle());
// Everything before the last separator, followed by the separator; empty when there is none.
// The doubled opening of a Windows network path never counts as the last separator.
WString GetDirectoryPart(const WString& path, PathStyle style = NativePathStyle());
// Everything after the last separator; the whole path when there is none.
WString GetFileName(const WString& path, PathStyle style = NativePathStyle());
// The file name without its extension.
WString GetFileStem(const WString& path, PathStyle style = NativePathStyle());
// The text after the last "." of the file name, without the "."; empty when there is none.
WString GetExtension(const WString& path, PathStyle style = NativePathStyle());
// True for a path that does not depend on the current directory: "/..." (POSIX); "\...",
// "C:..." (Windows).
bool IsAbsolutePath(const WString& path, PathStyle style = NativePathStyle());
// True when `inner` names the same directory as `outer` or one below it, comparing the
// normalised texts without leading and trailing separators, ignoring letter case on Windows.
bool IsPathWithin(const WString& inner, const WString& outer, PathStyle style = NativePathStyle());

// Where things are.
//
// The running executable's full path; empty on failure.
WString GetModulePath();
// The module path up to, not including, its last separator.
WString GetModuleDirectory();
// The current directory, normalised, without a trailing separator (except the POSIX root "/");
// empty on failure.
WString GetCurrentDir();
// The temporary directory: TEMP (Windows: else the system's temporary path; POSIX: else TMPDIR,
// else "/tmp").
WString GetTempDir();

// Queries. Symbolic links are followed: a link to a directory is a directory here.
//
// True when the path exists and is a directory (`directory` true) or not a directory (false).
// An empty path is false.
bool PathExists(const WString& path, bool directory);
// PathExists(path, false): something that is not a directory (a file, or a link to one).
bool FileExists(const WString& path);
// PathExists(path, true).
bool DirectoryExists(const WString& path);
// True when the path itself is a symbolic link (Windows: a junction or another reparse point).
bool IsSymbolicLink(const WString& path);

// The size of the regular file at the path; -1 when there is none or it cannot be opened.
int64_t FileSizeOf(const WString& path);

// Whole-file transfer.
//
// The file's bytes; empty for an empty path, a file that cannot be opened or read whole, an
// empty file, or a file of 4 GiB or more (longer than a string can be).
String ReadWholeFile(const WString& path);
// The same, telling an empty file from a failure: true and `bytes` set when the path names a
// regular file that was read whole; false (and `bytes` as it was) otherwise.
bool ReadWholeFile(const WString& path, String* bytes);
// The same, also giving the user who owns the file that was read (a link: the file it names),
// found on the opened file, so that a link swapped meanwhile cannot lend another file's owner;
// -1 where the system keeps no owners (Windows).
bool ReadWholeFile(const WString& path, String* bytes, int64_t* owner);
// The user who owns the file or folder at the path (a link: what it names); -1 when it cannot be
// found or the system keeps no owners (Windows).
int64_t OwnerOf(const WString& path);
// The user this process acts as; -1 where the system keeps no owners (Windows).
int64_t CurrentUser();
// Writes all bytes, first creating the directory part of the path; appends or truncates. True
// only when every byte was written; writing zero bytes creates or empties the file.
bool WriteWholeFile(const String& bytes, const WString& path, bool append = false);
// Creates the file with the bytes, exclusively: fails when anything (a file, a link, a folder)
// exists at the path, so nothing is ever written through a link or into a file planted there.
// A file written only in part is removed again. True when every byte was written.
bool WriteNewFile(const String& bytes, const WString& path);
// Replaces the file's content atomically: the bytes go to a temporary file in the same folder
// (".~<process id>-<serial>.tmp") that is then renamed over the path. The new file keeps the old
// one's permission bits on POSIX, but the set-user-ID and set-group-ID bits only when its owner
// (group) is the old file's. A symbolic link at the path is replaced by the file, never written
// through. A file the caller may not write (Windows: a read-only file) is not replaced. On any
// failure the original stays byte for byte as it was, the temporary file is removed, and the
// result is false. A missing file is created.
bool ReplaceFileContent(const String& bytes, const WString& path);
// The same with the content of the file at `source`, which is removed once the target holds it
// (moved when both lie on one file system, else copied). On failure the target stays as it was.
bool ReplaceFileWith(const WString& source, const WString& target);
// A regular file open for reading at any offset, of any size. Not for use by two threads at once.
class FileReader {
 public:
  // Opens the regular file at the path; IsOpen tells whether that worked.
  explicit FileReader(const WString& path);
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  bool IsOpen() const { return file_ != -1; }
  // The size when it was opened.
  uint64_t Size() const { return size_; }
  // Reads exactly `count` bytes at `offset`; false when they cannot all be read.
  bool ReadAt(uint64_t offset, void* buffer, uint32_t count) const;

 private:
  friend class FileReplacement;
  intptr_t file_ = -1;
  uint64_t size_ = 0;
};

// The new content of a file, built piece by piece in a temporary file beside it and put in its
// place by Commit with every guarantee of ReplaceFileContent: a failure at any point, or a
// replacement dropped without Commit, leaves the target byte for byte as it was and removes the
// temporary file.
class FileReplacement {
 public:
  // Creates the temporary file; IsOpen is false when the target may not be replaced (a folder, a
  // file the caller may not write) or no temporary file can be made.
  explicit FileReplacement(const WString& path);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  bool IsOpen() const { return file_ != -1; }
  // Bytes written so far.
  uint64_t Length() const { return length_; }
  // Appends bytes. False once anything has failed.
  bool Write(const char* bytes, uint64_t count);
  // Appends `count` bytes of `source` from `offset`, within the file system where it can (POSIX:
  // copy_file_range, which clones where the file system supports it), else through a buffer.
  // False when they cannot all be copied.
  bool CopyFrom(const FileReader& source, uint64_t offset, uint64_t count);
  // Overwrites bytes already written at `offset` (a header field of the copy).
  bool WriteAt(uint64_t offset, const char* bytes, uint32_t count);
  // Flushes the content to the disk, gives it the target's permissions and renames it over the
  // target. False, with the target unchanged, on any failure now or before.
  bool Commit();

 private:
  void Abandon();

  WString target_, temporary_;
  OpenedFolder folder_;  // the target's, looked up once
  intptr_t file_ = -1;
  uint64_t length_ = 0;
  bool ok_ = false;
};

// Removes the temporary files of replacements this process is still making (a process asked to
// end leaves none behind); the replacements then fail. Safe to call from another thread.
void RemoveUnfinishedReplacements();

// True for a name of ReplaceFileContent's temporary files.
bool IsReplacementTemporaryName(const WString& name);
// Removes from `folder` the temporary files of ReplaceFileContent that a killed process left: those
// that no live process holds and that nothing has written to for a minute. Returns how many.
uint32_t RemoveStaleTemporaries(const WString& folder);

// Lets the owner write every file and folder of the tree at `path` (POSIX: the owner's write bit;
// Windows: the read-only attribute cleared), so that a copy made read-only can be changed. Links
// are left alone and never followed. False when something could not be changed.
bool MakeTreeWritable(const WString& path);

// Changes. Symbolic links inside trees are removed or moved as links, never followed.
//
// Creates the directory and all its missing parents; true when it exists as a directory
// afterwards.
bool CreateDirectories(const WString& path);
// Removes one empty directory (one trailing separator is dropped first); true when the
// directory no longer exists.
bool RemoveEmptyDirectory(const WString& path);
// Removes a directory with everything in it (a link to a directory: the link alone); true when
// no directory exists at the path afterwards, also when none existed. False for an empty path.
bool RemoveDirectoryTree(const WString& path);
// Removes a file (a link: the link itself); true when no file exists at the path afterwards.
// False for an empty path.
bool RemoveFile(const WString& path);
// Copies a file, overwriting an existing target; copying a file onto itself fails.
bool CopyFileTo(const WString& source, const WString& target);
// Moves a file, replacing an existing target file; also between file systems (by copying).
bool MoveFileTo(const WString& source, const WString& target);
// Moves the contents of a directory into the target directory (created as needed), then removes
// the emptied source. Subdirectories move only when `recursive` is true; non-recursive moving
// leaves them, and with them the source. Refused (false, nothing changes) unless the source is a
// directory and not a link, the target is not empty, and the target is neither the source nor
// inside it. The first failure stops the move and gives false.
bool MoveDirectoryTo(const WString& source, const WString& target, bool recursive);

// One entry of a directory listing.
class FileEntry {
 public:
  FileEntry() = default;
  FileEntry(const WString& name, bool isDirectory, uint64_t size, DateTime lastWriteTime,
            bool isLink = false)
      : name_(name),
        isDirectory_(isDirectory),
        isLink_(isLink),
        size_(size),
        lastWriteTime_(lastWriteTime) {}
  virtual ~FileEntry() = default;

  // The entry's file name (no directory).
  const WString& Name() const { return name_; }
  // The directory attribute. A POSIX symbolic link is never a directory here; a Windows
  // junction or directory link keeps its directory attribute and is also a link.
  bool IsDirectory() const { return isDirectory_; }
  // A symbolic link, junction or other reparse point: never to be descended into.
  bool IsLink() const { return isLink_; }
  uint64_t Size() const { return size_; }
  // Local time, to the millisecond.
  DateTime LastWriteTime() const { return lastWriteTime_; }

 private:
  WString name_;
  bool isDirectory_ = false;
  bool isLink_ = false;
  uint64_t size_ = 0;
  DateTime lastWriteTime_;
};

// The entries of one directory whose names match the wildcard pattern ("*" and "?"; "*" when
// the pattern is empty), without "." and "..", not descending. The directory is taken as passed
// (not normalised); an empty directory means the current one. Empty when it cannot be listed.
std::vector<FileEntry> ListDirectory(const WString& directory, const WString& pattern = WString());

}  // namespace Vadu
