// A folder held open, and everything beneath it made, written, renamed and removed relative to
// it: a folder the user names is looked up once (links in the path they gave are followed), and
// nothing below it is ever looked up again by a path that someone who may write there could
// change meanwhile. Below the folder no link is ever followed: a subfolder swapped for a link is
// not entered, a link is removed itself, and a file is never written through one.
//
// POSIX: a directory descriptor, openat / mkdirat / unlinkat / renameat2. Windows: the folder's
// path (TEMP and the output folders there are the user's own); reparse points below it are
// treated as links, never followed when making, writing or removing.
#pragma once

#include <cstdint>
#include <vector>

#include "support/string_base.h"

namespace Vadu {

class OpenedFolder {
 public:
  OpenedFolder() = default;
  ~OpenedFolder();
  OpenedFolder(OpenedFolder&& other) noexcept;
  OpenedFolder& operator=(OpenedFolder&& other) noexcept;
  OpenedFolder(const OpenedFolder&) = delete;
  OpenedFolder& operator=(const OpenedFolder&) = delete;

  // The folder at `path` (the current folder when empty); not open when there is none.
  static OpenedFolder Open(const WString& path);

  bool IsOpen() const;
  // The path it was opened by, for messages.
  const WString& Path() const { return path_; }
  // POSIX: the directory's descriptor, for calls relative to it (-1 when not open).
  intptr_t Descriptor() const { return handle_; }

  // The subfolder `name` (one name, not a path), never through a link; not open when it is no
  // folder.
  OpenedFolder Child(const WString& name) const;
  // True when the folder belongs to the user this process runs as (Windows: always).
  bool OwnedByCaller() const;
  // The names of its entries, "." and ".." left out.
  std::vector<WString> Names() const;

  // What stands at the entry `name` (a link is a link, whatever it names). The last error code
  // stays as it was, so that a failure can be told from a name clash and keep its reason.
  enum class Kind { kNothing, kFolder, kLink, kOther };
  Kind KindOf(const WString& name) const;

  // Makes the subfolder `name` with the permissions a new folder usually gets; false when
  // anything is there already or it cannot be made.
  bool MakeFolder(const WString& name) const;
  // Makes a new subfolder named `prefix` followed by 16 random hexadecimal digits; its name, or
  // empty when none can be made.
  WString MakeNewFolder(const WString& prefix) const;
  // Writes `bytes` into a new file `name`; false, with nothing left, when anything is there
  // already (a link included) or it cannot be written whole.
  bool WriteNewFile(const WString& name, const String& bytes) const;
  // Removes the entry `name`: a file or link itself, a folder with everything in it, descending
  // through opened subfolders and never following a link. True when nothing is left at the name.
  bool RemoveTree(const WString& name) const;
  // Creates the file `name` anew for writing (never an existing file, never through a link): its
  // handle (a file descriptor or a Windows handle, as file_system_platform.h's), or -1.
  intptr_t CreateNewFile(const WString& name) const;
  // Opens the existing file `name` for reading and writing, never through a link; -1 when it
  // cannot.
  intptr_t OpenFile(const WString& name) const;
  // Renames `from` to `to`, both entries of this folder; false when anything is at `to`.
  bool Rename(const WString& from, const WString& to) const;
  // Renames `from` over `to`, replacing a file there in one step.
  bool Replace(const WString& from, const WString& to) const;
  // Moves the file at the path `source` (on this folder's file system) to the entry `name`,
  // replacing a file there.
  bool MoveHere(const WString& source, const WString& name) const;
  // Swaps the entries `a` and `b` in one step; false when the system cannot (the caller then
  // removes one and renames the other).
  bool Exchange(const WString& a, const WString& b) const;

 private:
  intptr_t handle_ = -1;  // POSIX: the directory's descriptor; Windows: 1 when open
  WString path_;
};

}  // namespace Vadu
