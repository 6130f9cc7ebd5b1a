// Windows: the folder is held by its path. Reparse points (symbolic links, junctions) below it
// count as links: never entered, removed themselves.
#include <windows.h>

#include "support/file_system.h"
#include "support/file_system_platform.h"
#include "support/opened_folder.h"
#include "support/system_error.h"

namespace Vadu {

namespace {

const wchar_t* Wide(const WString& text) { return reinterpret_cast<const wchar_t*>(text.CStr()); }

// Removes the entry at `path`, never following a reparse point.
bool RemoveAtPath(const WString& path) {
  const Platform::PathStatus status = Platform::QueryPath(path);
  if (!status.exists) return true;
  if (status.link) {
    Platform::RemoveLink(path);
  } else if (!status.directory) {
    // Read-only files and folders go once their attribute is cleared.
    if (!Platform::RemoveFileEntry(path) && Platform::MakeOwnerWritable(path))
      Platform::RemoveFileEntry(path);
  } else if (!Platform::RemoveDirectoryEntry(path)) {
    Platform::MakeOwnerWritable(path);
    for (const FileEntry& entry : ListDirectory(path, u"*"))
      RemoveAtPath(JoinPath(path, entry.Name()));
    Platform::RemoveDirectoryEntry(path);
  }
  return !Platform::QueryPath(path).exists;
}

}  // namespace

OpenedFolder::~OpenedFolder() = default;

OpenedFolder::OpenedFolder(OpenedFolder&& other) noexcept
    : handle_(other.handle_), path_(other.path_) {
  other.handle_ = -1;
}

OpenedFolder& OpenedFolder::operator=(OpenedFolder&& other) noexcept {
  handle_ = other.handle_;
  path_ = other.path_;
  other.handle_ = -1;
  return *this;
}

OpenedFolder OpenedFolder::Open(const WString& path) {
  OpenedFolder folder;
  folder.path_ = path.IsEmpty() ? GetCurrentDir() : NormalizePath(path);
  if (!folder.path_.IsEmpty() && Platform::QueryPath(folder.path_).directory) folder.handle_ = 1;
  return folder;
}

bool OpenedFolder::IsOpen() const { return handle_ >= 0; }

OpenedFolder OpenedFolder::Child(const WString& name) const {
  OpenedFolder child;
  child.path_ = JoinPath(path_, name);
  const Platform::PathStatus status = Platform::QueryPath(child.path_);
  if (IsOpen() && status.directory && !status.link) child.handle_ = 1;
  return child;
}

bool OpenedFolder::OwnedByCaller() const { return IsOpen(); }

std::vector<WString> OpenedFolder::Names() const {
  std::vector<WString> names;
  if (IsOpen())
    for (const FileEntry& entry : ListDirectory(path_, u"*")) names.push_back(entry.Name());
  return names;
}

OpenedFolder::Kind OpenedFolder::KindOf(const WString& name) const {
  const KeptSystemError kept;
  const Platform::PathStatus status = Platform::QueryPath(JoinPath(path_, name));
  if (!IsOpen() || !status.exists) return Kind::kNothing;
  if (status.link) return Kind::kLink;
  return status.directory ? Kind::kFolder : Kind::kOther;
}

bool OpenedFolder::MakeFolder(const WString& name) const {
  return IsOpen() && Platform::MakeDirectory(JoinPath(path_, name));
}

bool OpenedFolder::WriteNewFile(const WString& name, const String& bytes) const {
  return IsOpen() && Vadu::WriteNewFile(bytes, JoinPath(path_, name));
}

bool OpenedFolder::RemoveTree(const WString& name) const {
  return IsOpen() && !name.IsEmpty() && RemoveAtPath(JoinPath(path_, name));
}

intptr_t OpenedFolder::CreateNewFile(const WString& name) const {
  return IsOpen() ? Platform::OpenFile(JoinPath(path_, name), Platform::OpenMode::kCreateNew) : -1;
}

intptr_t OpenedFolder::OpenFile(const WString& name) const {
  return IsOpen() ? Platform::OpenFile(JoinPath(path_, name), Platform::OpenMode::kReadWrite) : -1;
}

bool OpenedFolder::Replace(const WString& from, const WString& to) const {
  return IsOpen() && Platform::RenameEntry(JoinPath(path_, from), JoinPath(path_, to));
}

bool OpenedFolder::MoveHere(const WString& source, const WString& name) const {
  return IsOpen() && Platform::RenameEntry(NormalizePath(source), JoinPath(path_, name));
}

bool OpenedFolder::Rename(const WString& from, const WString& to) const {
  // Without MOVEFILE_REPLACE_EXISTING: nothing at `to` is ever replaced.
  return IsOpen() && MoveFileExW(Wide(JoinPath(path_, from)), Wide(JoinPath(path_, to)), 0) != 0;
}

bool OpenedFolder::Exchange(const WString&, const WString&) const { return false; }

}  // namespace Vadu
