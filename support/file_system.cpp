#include "support/file_system.h"

#include <atomic>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <string_view>

#include "support/file_lock.h"
#include "support/file_system_platform.h"
#include "support/opened_folder.h"
#include "support/system_error.h"

namespace Vadu {

namespace {

using Platform::FileHandle;
using Platform::kNoFile;
using Platform::OpenMode;
using Platform::QueryPath;

// Whole files move through the system calls in pieces of this size.
constexpr uint32_t kTransferChunk = 16u << 20;

// Temporary files of ReplaceFileContent: ".~<process id>-<serial>.tmp".
constexpr char16_t kTemporaryPrefix[] = u".~";
constexpr char16_t kTemporarySuffix[] = u".tmp";
// How long a temporary file must have been left alone before it can count as a leftover.
constexpr int64_t kStaleTemporaryAgeMs = 60 * 1000;

bool IsSeparator(char16_t c, PathStyle style) {
  return c == PathSeparator(style) || (style == PathStyle::Windows && c == u'/');
}

WString ToWString(std::u16string_view text) { return WString(text); }

bool StartsNetworkPath(std::u16string_view p, PathStyle style) {
  return style == PathStyle::Windows && p.size() >= 2 && IsSeparator(p[0], style) &&
         IsSeparator(p[1], style);
}

// Position of the last separator at or after `start`; npos when there is none.
size_t LastSeparator(std::u16string_view p, PathStyle style, size_t start = 0) {
  for (size_t i = p.size(); i-- > start;)
    if (IsSeparator(p[i], style)) return i;
  return std::u16string_view::npos;
}

// Drops trailing separators of a normalised path, but never the one of a root ("/", "\",
// "C:\", "\\").
WString TrimTrailingSeparators(const WString& path, PathStyle style) {
  std::u16string_view p = path.ToView();
  const char16_t sep = PathSeparator(style);
  size_t end = p.size();
  while (end > 1 && p[end - 1] == sep && p[end - 2] != u':' && !(end == 2 && p[0] == sep)) --end;
  return end == p.size() ? path : ToWString(p.substr(0, end));
}

WString NativeNormalized(const WString& path) {
  return TrimTrailingSeparators(NormalizePath(path), NativePathStyle());
}

// `path` made independent of the current directory, when the current directory is known.
WString Absolute(const WString& path) {
  if (IsAbsolutePath(path)) return path;
  WString current = GetCurrentDir();
  return current.IsEmpty() ? path : JoinPath(current, path);
}

bool WriteAll(FileHandle file, const String& bytes) {
  uint32_t done = 0;
  while (done < bytes.Length()) {
    uint32_t piece =
        bytes.Length() - done < kTransferChunk ? bytes.Length() - done : kTransferChunk;
    int64_t written = Platform::WriteSome(file, bytes.CStr() + done, piece);
    if (written <= 0) return false;
    done += static_cast<uint32_t>(written);
  }
  return true;
}

// The tree operations below take paths that are already normalised and recurse with names
// appended as they are, so that names the normalisation would alter (such as a trailing space
// on POSIX) are still found.
WString Child(const WString& directory, const WString& name) {
  WString path = directory;
  if (!path.EndsWith(WString(PathSeparator()))) path += PathSeparator();
  return path + name;
}

bool MoveFileEntry(const WString& source, const WString& target) {
  if (Platform::RenameEntry(source, target)) return true;
  // Renaming fails across file systems: copy, then remove the source. Links and directories are
  // never copied through.
  Platform::PathStatus status = QueryPath(source);
  if (!status.exists || status.link || status.directory) return false;
  return Platform::CopyFileContent(source, target) && Platform::RemoveFileEntry(source);
}

bool MoveTree(const WString& source, const WString& target, bool recursive) {
  for (const FileEntry& entry : ListDirectory(source, u"*")) {
    WString from = Child(source, entry.Name());
    WString to = Child(target, entry.Name());
    if (entry.IsDirectory() && !entry.IsLink()) {
      if (!recursive) continue;
      if (!QueryPath(to).directory && !Platform::MakeDirectory(to)) return false;
      if (!MoveTree(from, to, true)) return false;
    } else if (!MoveFileEntry(from, to)) {
      return false;
    }
  }
  // Stays when non-recursive moving left subdirectories in it.
  Platform::RemoveDirectoryEntry(source);
  return true;
}

}  // namespace

char16_t PathSeparator(PathStyle style) { return style == PathStyle::Windows ? u'\\' : u'/'; }

WString NormalizePath(const WString& path, PathStyle style) {
  const char16_t sep = PathSeparator(style);
  std::u16string p(path.ToView());

  // One separator character.
  if (style == PathStyle::Windows)
    for (char16_t& c : p)
      if (c == u'/') c = sep;

  // Runs of separators collapse; a network path keeps its doubled opening.
  bool network = StartsNetworkPath(p, style);
  std::u16string collapsed;
  collapsed.reserve(p.size() + 1);
  for (char16_t c : p)
    if (c != sep || collapsed.empty() || collapsed.back() != sep) collapsed.push_back(c);
  if (network) collapsed.insert(collapsed.begin(), sep);
  p.swap(collapsed);

  // "\.\" becomes "\".
  const std::u16string here{sep, u'.', sep};
  for (size_t at; (at = p.find(here)) != std::u16string::npos;) p.replace(at, 3, 1, sep);

  // "component\..\" goes. A ".." with nothing to climb back over makes the path empty; one
  // following "." or ".." (a relative path's start) stays.
  const std::u16string up{sep, u'.', u'.', sep};
  size_t from = 0;
  for (size_t at; (at = p.find(up, from)) != std::u16string::npos;) {
    if (at == 0) return WString();
    size_t before = p.rfind(sep, at - 1);
    size_t begin = before == std::u16string::npos ? 0 : before + 1;
    std::u16string_view component(p.data() + begin, at - begin);
    if (component == u".." || component == u".") {
      from = at + 1;
      continue;
    }
    if (component.empty()) return WString();
    if (before == std::u16string::npos) {
      if (style == PathStyle::Windows && component.find(u':') != std::u16string_view::npos)
        return WString();  // above the root of a drive
    } else if (network && before == 1) {
      return WString();  // above the server of a network path
    }
    p.erase(begin, at + 4 - begin);
    from = 0;
  }

  // Windows ignores spaces at the end of a component; POSIX names keep every byte.
  if (style == PathStyle::Windows) {
    const std::u16string spaceSep{u' ', sep};
    for (size_t at; (at = p.find(spaceSep)) != std::u16string::npos;) p.erase(at, 1);
  }
  return ToWString(p);
}

WString JoinPath(const WString& a, const WString& b, PathStyle style) {
  if (a.IsEmpty()) return NormalizePath(b, style);
  const char16_t sep = PathSeparator(style);
  WString left = NormalizePath(a, style);
  if (left.IsEmpty()) return WString();  // `a` climbed above its root
  WString right = NormalizePath(b, style);
  std::u16string_view l = left.ToView(), r = right.ToView();
  while (!l.empty() && l.back() == sep) l.remove_suffix(1);
  while (!r.empty() && r.front() == sep) r.remove_prefix(1);
  std::u16string joined;
  joined.reserve(l.size() + 1 + r.size());
  joined.append(l).append(1, sep).append(r);
  return ToWString(joined);
}

WString GetDirectoryPart(const WString& path, PathStyle style) {
  std::u16string_view p = path.ToView();
  size_t at = LastSeparator(p, style, StartsNetworkPath(p, style) ? 2 : 0);
  if (at == std::u16string_view::npos) return WString();
  std::u16string part(p.substr(0, at));
  part.push_back(PathSeparator(style));
  return ToWString(part);
}

WString GetFileName(const WString& path, PathStyle style) {
  std::u16string_view p = path.ToView();
  size_t at = LastSeparator(p, style);
  return at == std::u16string_view::npos ? path : ToWString(p.substr(at + 1));
}

WString GetFileStem(const WString& path, PathStyle style) {
  WString name = GetFileName(path, style);
  uint32_t dot = name.ReverseFind(u'.');
  return dot == WString::npos ? name : name.Substring(0, dot);
}

WString GetExtension(const WString& path, PathStyle style) {
  WString name = GetFileName(path, style);
  uint32_t dot = name.ReverseFind(u'.');
  return dot == WString::npos ? WString() : name.Substring(dot + 1);
}

bool IsAbsolutePath(const WString& path, PathStyle style) {
  std::u16string_view p = path.ToView();
  if (p.empty()) return false;
  if (IsSeparator(p[0], style)) return true;
  return style == PathStyle::Windows && p.size() >= 2 && p[1] == u':';
}

bool IsPathWithin(const WString& inner, const WString& outer, PathStyle style) {
  const char16_t sep = PathSeparator(style);
  auto comparable = [&](const WString& path) {
    WString normal = NormalizePath(path, style);
    std::u16string_view p = normal.ToView();
    while (!p.empty() && p.front() == sep) p.remove_prefix(1);
    while (!p.empty() && p.back() == sep) p.remove_suffix(1);
    WString text = ToWString(p);
    return style == PathStyle::Windows ? ToLower(text) : text;
  };
  WString in = comparable(inner), out = comparable(outer);
  if (out.IsEmpty()) return !in.IsEmpty() || IsAbsolutePath(outer, style);
  return in == out || in.StartsWith(out + WString(sep));
}

WString GetModuleDirectory() {
  WString path = GetModulePath();
  std::u16string_view p = path.ToView();
  size_t at = LastSeparator(p, NativePathStyle());
  if (at == std::u16string_view::npos) return WString();
  if (at == 0) return WString(PathSeparator());  // a program at the root
  return ToWString(p.substr(0, at));
}

bool PathExists(const WString& path, bool directory) {
  WString normal = NormalizePath(path);
  if (normal.IsEmpty()) return false;
  Platform::PathStatus status = QueryPath(normal);
  return status.exists && status.directory == directory;
}

bool FileExists(const WString& path) { return PathExists(path, false); }

bool DirectoryExists(const WString& path) { return PathExists(path, true); }

bool IsSymbolicLink(const WString& path) {
  WString normal = NativeNormalized(path);
  return !normal.IsEmpty() && QueryPath(normal).link;
}

int64_t FileSizeOf(const WString& path) {
  WString normal = NormalizePath(path);
  if (normal.IsEmpty()) return -1;
  FileHandle file = Platform::OpenFile(normal, OpenMode::kRead);
  if (file == kNoFile) return -1;
  const int64_t size = Platform::IsRegularFile(file) ? Platform::FileSize(file) : -1;
  Platform::CloseFile(file);
  return size;
}

bool ReadWholeFile(const WString& path, String* bytes) {
  int64_t owner;
  return ReadWholeFile(path, bytes, &owner);
}

int64_t OwnerOf(const WString& path) {
  const WString normal = NormalizePath(path);
  return normal.IsEmpty() ? -1 : Platform::PathOwner(normal);
}

int64_t CurrentUser() { return Platform::EffectiveUser(); }

bool ReadWholeFile(const WString& path, String* bytes, int64_t* owner) {
  WString normal = NormalizePath(path);
  if (normal.IsEmpty()) return false;
  FileHandle file = Platform::OpenFile(normal, OpenMode::kRead);
  if (file == kNoFile) return false;
  *owner = Platform::FileOwner(file);
  String content;
  int64_t size = Platform::FileSize(file);
  // A string holds at most npos - 1 bytes: larger files give nothing rather than a part.
  bool ok = Platform::IsRegularFile(file) && size >= 0 && size < static_cast<int64_t>(String::npos);
  if (ok && size > 0) {
    try {
      content.Resize(static_cast<uint32_t>(size));
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  if (ok && size > 0) {
    char* out = content.MutableData();
    uint32_t total = static_cast<uint32_t>(size);
    uint32_t done = 0;
    while (ok && done < total) {
      uint32_t piece = total - done < kTransferChunk ? total - done : kTransferChunk;
      int64_t got = Platform::ReadSome(file, out + done, piece);
      ok = got > 0;  // a short read is a failure
      if (ok) done += static_cast<uint32_t>(got);
    }
  }
  Platform::CloseFile(file);
  if (ok) *bytes = std::move(content);
  return ok;
}

String ReadWholeFile(const WString& path) {
  String bytes;
  return ReadWholeFile(path, &bytes) ? bytes : String();
}

bool WriteWholeFile(const String& bytes, const WString& path, bool append) {
  WString normal = NormalizePath(path);
  if (normal.IsEmpty()) return false;
  WString directory = GetDirectoryPart(normal);
  if (!directory.IsEmpty()) CreateDirectories(directory);
  FileHandle file =
      Platform::OpenFile(normal, append ? OpenMode::kWriteAppend : OpenMode::kWriteTruncate);
  if (file == kNoFile) return false;
  bool written = WriteAll(file, bytes);
  return Platform::CloseFile(file) && written;
}

bool WriteNewFile(const String& bytes, const WString& path) {
  WString normal = NormalizePath(path);
  if (normal.IsEmpty()) return false;
  FileHandle file = Platform::OpenFile(normal, OpenMode::kCreateNew);
  if (file == kNoFile) return false;
  bool written = WriteAll(file, bytes);
  written = Platform::CloseFile(file) && written;
  if (!written) {
    KeptSystemError failure;
    Platform::RemoveFileEntry(normal);
  }
  return written;
}

namespace {

// Checks a file about to be replaced; its normalised path, or empty when it may not be replaced.
WString ReplaceableTarget(const WString& path) {
  WString target = NormalizePath(path);
  if (target.IsEmpty() || GetFileName(target).IsEmpty()) return WString();
  if (QueryPath(target).directory || !Platform::MayReplace(target)) return WString();
  return target;
}

// The temporary files of replacements still being made, for RemoveUnfinishedReplacements. Never
// destroyed: the cleanup of a process that is asked to end may use it at any time.
struct PendingTemporaries {
  std::mutex mutex;
  std::set<WString> paths;
};
PendingTemporaries& Pending() {
  static PendingTemporaries* pending = new PendingTemporaries;
  return *pending;
}

void ForgetTemporary(const WString& path) {
  std::lock_guard<std::mutex> lock(Pending().mutex);
  Pending().paths.erase(path);
}

// Creates a fresh, hidden temporary file beside the target (so that the rename stays within one
// file system), marked as in use so that a later run does not take it for the leftover of a
// killed one, and tracked until it is renamed or removed.
FileHandle CreateTemporaryBeside(const OpenedFolder& folder, WString* temporary) {
  static std::atomic<uint32_t> serial{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    WString name = kTemporaryPrefix;
    name += WString::FromNumber(Platform::ProcessId());
    name += u'-';
    name += WString::FromNumber(serial++);
    name += kTemporarySuffix;
    *temporary = JoinPath(folder.Path(), name);
    // Made and tracked under the lock that RemoveUnfinishedReplacements takes: a run told to end
    // in between would otherwise leave the new file beside the target.
    std::lock_guard<std::mutex> lock(Pending().mutex);
    FileHandle file = folder.CreateNewFile(name);
    if (file != kNoFile) {
      if (Platform::MarkInUse(file)) {
        Pending().paths.insert(*temporary);
        return file;
      }
      KeptSystemError failure;
      Platform::CloseFile(file);
      folder.RemoveTree(name);
      return kNoFile;
    }
    if (folder.KindOf(name) == OpenedFolder::Kind::kNothing) return kNoFile;  // not a name clash
  }
  return kNoFile;
}

// Copies the content of the file at `source` to the open file.
bool CopyInto(const WString& source, FileHandle file) {
  FileHandle in = Platform::OpenFile(source, OpenMode::kRead);
  if (in == kNoFile) return false;
  bool ok = Platform::IsRegularFile(in);
  std::string buffer(1u << 20, '\0');
  while (ok) {
    const int64_t got = Platform::ReadSome(in, buffer.data(), static_cast<uint32_t>(buffer.size()));
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    for (int64_t done = 0; ok && done < got;) {
      const int64_t written =
          Platform::WriteSome(file, buffer.data() + done, static_cast<uint32_t>(got - done));
      ok = written > 0;
      done += written;
    }
  }
  KeptSystemError failure;
  Platform::CloseFile(in);
  return ok;
}

}  // namespace

bool ReplaceFileContent(const String& bytes, const WString& path) {
  FileReplacement replacement(path);
  return replacement.Write(bytes.CStr(), bytes.Length()) && replacement.Commit();
}

bool ReplaceFileWith(const WString& source, const WString& path) {
  const WString target = ReplaceableTarget(path);
  const WString from = NormalizePath(source);
  if (target.IsEmpty() || from.IsEmpty() || QueryPath(from).directory) return false;
  // The target's folder is looked up once: the temporary is made, filled and renamed there even
  // if someone swaps a folder on the way to it meanwhile.
  const OpenedFolder folder = OpenedFolder::Open(GetDirectoryPart(target));
  const WString name = GetFileName(target);
  WString temporary;
  FileHandle file = CreateTemporaryBeside(folder, &temporary);
  if (file == kNoFile) return false;
  const WString temporaryName = GetFileName(temporary);
  bool ok;
  if (folder.MoveHere(from, temporaryName)) {
    // One file system: the source itself takes the temporary's place.
    Platform::CloseFile(file);
    FileHandle moved = folder.OpenFile(temporaryName);
    ok = moved != kNoFile;
    if (ok) {
      Platform::CopyPermissions(folder, name, moved);
      ok = Platform::FlushFile(moved);
      ok = Platform::CloseFile(moved) && ok;
    }
  } else {
    ok = CopyInto(from, file) && Platform::FlushFile(file);
    if (ok) Platform::CopyPermissions(folder, name, file);
    ok = Platform::CloseFile(file) && ok;
  }
  ok = ok && folder.Replace(temporaryName, name);
  {
    KeptSystemError failure;
    if (!ok) folder.RemoveTree(temporaryName);
    ForgetTemporary(temporary);
  }
  if (ok) Platform::RemoveFileEntry(from);  // copied across file systems: the original goes
  return ok;
}

void RemoveUnfinishedReplacements() {
  std::lock_guard<std::mutex> lock(Pending().mutex);
  for (const WString& path : Pending().paths) Platform::RemoveFileEntry(path);
  Pending().paths.clear();
}

FileReader::FileReader(const WString& path) {
  const WString normal = NormalizePath(path);
  if (normal.IsEmpty()) return;
  FileHandle file = Platform::OpenFile(normal, OpenMode::kRead);
  if (file == kNoFile) return;
  const int64_t size = Platform::IsRegularFile(file) ? Platform::FileSize(file) : -1;
  if (size < 0) {
    Platform::CloseFile(file);
    return;
  }
  file_ = file;
  size_ = static_cast<uint64_t>(size);
}

FileReader::~FileReader() {
  if (IsOpen()) Platform::CloseFile(file_);
}

bool FileReader::ReadAt(uint64_t offset, void* buffer, uint32_t count) const {
  if (!IsOpen() || offset > size_ || count > size_ - offset) return false;
  if (!Platform::SeekFile(file_, static_cast<int64_t>(offset), 0)) return false;
  auto* out = static_cast<char*>(buffer);
  for (uint32_t done = 0; done < count;) {
    const int64_t got = Platform::ReadSome(file_, out + done, count - done);
    if (got <= 0) return false;  // the file shrank
    done += static_cast<uint32_t>(got);
  }
  return true;
}

FileReplacement::FileReplacement(const WString& path) : target_(ReplaceableTarget(path)) {
  if (target_.IsEmpty()) return;
  folder_ = OpenedFolder::Open(GetDirectoryPart(target_));
  file_ = CreateTemporaryBeside(folder_, &temporary_);
  ok_ = file_ != kNoFile;
}

FileReplacement::~FileReplacement() { Abandon(); }

void FileReplacement::Abandon() {
  if (file_ == kNoFile) return;
  KeptSystemError failure;
  Platform::CloseFile(file_);
  folder_.RemoveTree(GetFileName(temporary_));
  ForgetTemporary(temporary_);
  file_ = kNoFile;
  ok_ = false;
}

bool FileReplacement::Write(const char* bytes, uint64_t count) {
  while (ok_ && count > 0) {
    const uint32_t piece = count < kTransferChunk ? static_cast<uint32_t>(count) : kTransferChunk;
    const int64_t written = Platform::WriteSome(file_, bytes, piece);
    ok_ = written > 0;
    if (!ok_) break;
    bytes += written, count -= static_cast<uint64_t>(written);
    length_ += static_cast<uint64_t>(written);
  }
  return ok_;
}

bool FileReplacement::CopyFrom(const FileReader& source, uint64_t offset, uint64_t count) {
  if (!ok_ || !source.IsOpen() || offset > source.Size() || count > source.Size() - offset)
    return ok_ = false;
  // Inside the system while it can; from where it stopped through a buffer.
  while (count > 0) {
    const int64_t copied = Platform::CopyRange(source.file_, offset, file_, count);
    if (copied <= 0) break;
    offset += static_cast<uint64_t>(copied), count -= static_cast<uint64_t>(copied);
    length_ += static_cast<uint64_t>(copied);
  }
  if (count == 0) return ok_;
  constexpr uint32_t kBuffer = 1u << 20;
  std::string buffer(kBuffer, '\0');
  while (ok_ && count > 0) {
    const uint32_t piece = count < kBuffer ? static_cast<uint32_t>(count) : kBuffer;
    ok_ = source.ReadAt(offset, buffer.data(), piece) && Write(buffer.data(), piece);
    offset += piece, count -= piece;
  }
  return ok_;
}

bool FileReplacement::WriteAt(uint64_t offset, const char* bytes, uint32_t count) {
  if (!ok_ || offset > length_ || count > length_ - offset) return ok_ = false;
  ok_ = Platform::SeekFile(file_, static_cast<int64_t>(offset), 0);
  for (uint32_t done = 0; ok_ && done < count;) {
    const int64_t written = Platform::WriteSome(file_, bytes + done, count - done);
    ok_ = written > 0;
    done += ok_ ? static_cast<uint32_t>(written) : 0;
  }
  // Later writes append again.
  return ok_ = ok_ && Platform::SeekFile(file_, static_cast<int64_t>(length_), 0);
}

bool FileReplacement::Commit() {
  if (file_ == kNoFile) return false;
  bool ok = ok_ && Platform::FlushFile(file_);
  if (ok) Platform::CopyPermissions(folder_, GetFileName(target_), file_);
  ok = Platform::CloseFile(file_) && ok;
  file_ = kNoFile;
  ok = ok && folder_.Replace(GetFileName(temporary_), GetFileName(target_));
  KeptSystemError failure;
  if (!ok) folder_.RemoveTree(GetFileName(temporary_));
  ForgetTemporary(temporary_);
  ok_ = false;
  return ok;
}

bool MakeTreeWritable(const WString& path) {
  const WString normal = NormalizePath(path);
  const Platform::PathStatus status = QueryPath(normal);
  if (!status.exists || status.link) return status.exists;
  bool ok = Platform::MakeOwnerWritable(normal);
  if (status.directory) {
    for (const FileEntry& entry : ListDirectory(normal))
      ok = MakeTreeWritable(JoinPath(normal, entry.Name())) && ok;
  }
  return ok;
}

bool IsReplacementTemporaryName(const WString& name) {
  const WString prefix(kTemporaryPrefix), suffix(kTemporarySuffix);
  if (!name.StartsWith(prefix) || !name.EndsWith(suffix)) return false;
  const std::u16string_view middle =
      name.ToView().substr(prefix.Length(), name.Length() - prefix.Length() - suffix.Length());
  const size_t dash = middle.find(u'-');
  if (dash == 0 || dash == std::u16string_view::npos || dash + 1 == middle.size()) return false;
  for (size_t i = 0; i < middle.size(); ++i)
    if (i != dash && (middle[i] < u'0' || middle[i] > u'9')) return false;
  return true;
}

uint32_t RemoveStaleTemporaries(const WString& folder) {
  const int64_t now = DateTime::NowLocal().Value();
  uint32_t removed = 0;
  for (const FileEntry& entry : ListDirectory(folder, WString(kTemporaryPrefix) + u"*")) {
    if (entry.IsDirectory() || entry.IsLink() || !IsReplacementTemporaryName(entry.Name()))
      continue;
    // A file just made is not marked yet: only one left alone for a while can be a leftover.
    if (now - entry.LastWriteTime().Value() < kStaleTemporaryAgeMs) continue;
    const WString path = JoinPath(folder, entry.Name());
    // In a shared folder a file of that name may be another user's.
    if (OwnerOf(path) != CurrentUser()) continue;
    if (!MarkerFileHeld(path) && RemoveFile(path)) ++removed;
  }
  return removed;
}

bool CreateDirectories(const WString& path) {
  const PathStyle style = NativePathStyle();
  const char16_t sep = PathSeparator(style);
  WString normal = NormalizePath(path);
  if (normal.IsEmpty()) return false;
  if (DirectoryExists(normal)) return true;

  std::vector<WString> components;
  for (const WString& piece : normal.Split(WString(sep)))
    if (!piece.IsEmpty()) components.push_back(piece);
  if (components.empty()) return false;

  // The starting point: a drive, a network server, the root, or nothing (relative).
  WString prefix;
  size_t first = 0;
  if (style == PathStyle::Windows && components[0].Find(u':') != WString::npos) {
    prefix = components[0];
    first = 1;
  } else if (StartsNetworkPath(normal.ToView(), style)) {
    prefix = WString(sep) + WString(sep) + components[0];
    first = 1;
  } else if (normal[0] == sep) {
    prefix = WString(sep);
  }
  for (size_t i = first; i < components.size(); ++i) {
    prefix = prefix.IsEmpty() ? components[i] : JoinPath(prefix, components[i]);
    if (QueryPath(prefix).directory) continue;
    // Someone else may have created it meanwhile.
    if (!Platform::MakeDirectory(prefix) && !QueryPath(prefix).directory) break;
  }
  return DirectoryExists(normal);
}

bool RemoveEmptyDirectory(const WString& path) {
  std::u16string p(NormalizePath(path).ToView());
  if (p.empty()) return false;
  if (p.size() > 1 && p.back() == PathSeparator()) p.pop_back();
  WString directory = ToWString(p);
  Platform::RemoveDirectoryEntry(directory);
  return !QueryPath(directory).directory;
}

bool RemoveDirectoryTree(const WString& path) {
  WString normal = NativeNormalized(path);
  if (normal.IsEmpty()) return false;
  if (!QueryPath(normal).directory) return true;
  // The parent is looked up once; below it nothing is looked up again by path, and no link is
  // followed (a link to a folder goes itself).
  const OpenedFolder parent = OpenedFolder::Open(GetDirectoryPart(normal));
  return parent.RemoveTree(GetFileName(normal)) || !QueryPath(normal).directory;
}

bool RemoveFile(const WString& path) {
  WString normal = NormalizePath(path);
  if (normal.IsEmpty()) return false;
  Platform::RemoveFileEntry(normal);
  Platform::PathStatus status = QueryPath(normal);
  return !status.exists || (status.directory && !status.link);
}

bool CopyFileTo(const WString& source, const WString& target) {
  WString from = NormalizePath(source), to = NormalizePath(target);
  if (from.IsEmpty() || to.IsEmpty()) return false;
  return Platform::CopyFileContent(from, to);
}

bool MoveFileTo(const WString& source, const WString& target) {
  WString from = NormalizePath(source), to = NormalizePath(target);
  if (from.IsEmpty() || to.IsEmpty()) return false;
  return MoveFileEntry(from, to);
}

bool MoveDirectoryTo(const WString& source, const WString& target, bool recursive) {
  WString from = NativeNormalized(source), to = NativeNormalized(target);
  if (from.IsEmpty() || to.IsEmpty()) return false;
  Platform::PathStatus status = QueryPath(from);
  if (!status.directory || status.link) return false;
  if (IsPathWithin(Absolute(to), Absolute(from))) return false;
  if (!CreateDirectories(to)) return false;
  return MoveTree(from, to, recursive);
}

}  // namespace Vadu
