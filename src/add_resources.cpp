#include "src/add_resources.h"

#include "oem/oem_document.h"
#include "oem/oem_key_catalogue.h"
#include "oem/resource_block.h"
#include "oem/resource_map.h"
#include "src/exit_code.h"
#include "src/icon_step.h"
#include "src/log_tags.h"
#include "src/print_line.h"
#include "src/target_state.h"
#include "support/file_system.h"
#include "support/log.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

// The resource that records the day of the customization.
constexpr char kDateEntry[] = "date";

Vadu::LogSource ErrorSource() { return Vadu::LogSource(Vadu::LogError, kFrontEndLogTag); }

void Fail(const String& line) {
  PrintLine(line);
  SetExitCode(kExitError);
}

// True when the file at `path` is empty (as opposed to unreadable).
bool IsEmptyFile(const WString& path) {
  const WString normal = Vadu::NormalizePath(path);
  const WString name = Vadu::GetFileName(normal);
  for (const Vadu::FileEntry& entry : Vadu::ListDirectory(Vadu::GetDirectoryPart(normal), name))
    if (entry.Name() == name && !entry.IsDirectory()) return entry.Size() == 0;
  return false;
}

// Replaces the file's content with itself carrying the resource map as its block. `content` is
// the file's content when the caller has read it already, else empty. The block is built in the
// content's own buffer, so a large program is held once; the file is replaced atomically and
// stays as it was on any failure.
bool WriteBlockInto(const WString& path, String content) {
  if (content.IsEmpty()) {
    content = Vadu::ReadWholeFile(path);
    // An empty result is also what a failed read gives; only a file that is really empty may be
    // written as a bare block.
    if (content.IsEmpty() && !IsEmptyFile(path)) return false;
  }
  const String result = AppendBlock(std::move(content), ResourceMap());
  if (result.IsEmpty()) return false;  // the block format refused the host
  return Vadu::ReplaceFileContent(result, path);
}

// LoadResources, also handing back the target's content as read for its block.
bool LoadResourcesKeeping(const WString& resources, const WString& target, String* targetBytes) {
  Vadu::SettingsMap& map = ResourceMap();
  if (PathPresent(target)) {
    String bytes = Vadu::ReadWholeFile(target);
    LoadBlock(map, bytes);
    if (targetBytes) *targetBytes = std::move(bytes);
  }
  if (!PathPresent(resources)) return false;
  if (Vadu::DirectoryExists(resources)) {
    for (const Vadu::FileEntry& entry : Vadu::ListDirectory(resources, u"*")) {
      const WString path = Vadu::JoinPath(resources, entry.Name());
      // Subdirectories, and links to them, are not resources.
      if (entry.IsDirectory() || (entry.IsLink() && Vadu::DirectoryExists(path))) continue;
      map.Set(Vadu::ToUtf8(entry.Name()), Vadu::ReadWholeFile(path));
    }
  } else {
    map.Set(Vadu::ToUtf8(Vadu::GetFileName(resources)), Vadu::ReadWholeFile(resources));
  }
  return true;
}

bool IsSeparator(char16_t c) { return c == Vadu::PathSeparator(); }

}  // namespace

bool PathPresent(const WString& path) {
  if (path.IsEmpty()) return false;
  if (Vadu::PathExists(path, false) || Vadu::PathExists(path, true)) return true;
  Fail(String("ERROR: can't find ") + Vadu::ToUtf8(Vadu::GetFileName(path)));
  return false;
}

bool LoadResources(const WString& resources, const WString& target) {
  return LoadResourcesKeeping(resources, target, nullptr);
}

void TakeProductName() {
  const Vadu::SettingsMap& map = ResourceMap();
  for (const String& name : map.ListNames()) {
    if (!Vadu::EndsWithNoCase(name, String(".xml"))) continue;
    const String product = ProductName(OemDocument(map.Get(name)));
    if (product.IsEmpty()) continue;
    const String word = product.ReplaceAll(" ", "_").ReplaceAll("/", "_").ReplaceAll("\\", "_");
    ProductWord() = Vadu::FromUtf8(word);
    return;
  }
}

String DateText(Vadu::DateTime now) {
  now.TruncateToDay();
  return String::FromNumber(now.Value());
}

std::vector<WString> ListFilesDepthFirst(const WString& folder) {
  std::vector<WString> files;
  for (const Vadu::FileEntry& entry : Vadu::ListDirectory(folder, u"*")) {
    if (entry.IsLink()) continue;
    const WString path = Vadu::JoinPath(folder, entry.Name());
    if (entry.IsDirectory()) {
      std::vector<WString> inner = ListFilesDepthFirst(path);
      files.insert(files.end(), inner.begin(), inner.end());
    } else {
      files.push_back(path);
    }
  }
  return files;
}

WString ChooseApplicationFile(const std::vector<WString>& files) {
  for (const WString& path : files) {
    const bool app = path.Contains(u".app");
    if (app && (path.Contains(u"MacOS") || !path.Contains(u"Contents"))) return path;
  }
  return WString();
}

void DetectTargetKind(WString& workingPath) {
  WString& kind = TargetKind();
  // A folder first: a bundle folder's name holds ".app" as well.
  if (Vadu::DirectoryExists(workingPath)) {
    kind = u"dir";
    const WString executable = Vadu::JoinPath(workingPath, u"/Contents/MacOS/zentu");
    if (Vadu::PathExists(executable, false)) workingPath = executable;
  } else if (workingPath.Contains(u"MacOS") && workingPath.Contains(u".app")) {
    kind = u".dmg";
  } else if (!workingPath.Contains(u"Contents") && workingPath.Contains(u".app")) {
    kind = u".tgz";
  } else if (workingPath.Contains(u".apk")) {
    kind = u".apk";
  } else if (workingPath.Contains(u".exe")) {
    kind = u".exe";
  }
}

WString BundleFolderOf(const WString& workingPath) {
  const WString marker(u".app");
  for (uint32_t at = workingPath.Find(marker); at != WString::npos;
       at = workingPath.Find(marker, at + 1)) {
    const uint32_t end = at + marker.Length();
    if (end < workingPath.Length() && IsSeparator(workingPath[end]))
      return workingPath.Substring(0, end);
  }
  return WString();
}

void AddResources(const WString& target, const WString& icon, const WString& resources) {
  if (!PathPresent(target)) {
    Fail(String("ERROR: resource not exist : ") + Vadu::ToUtf8(target));
    Vadu::LogRecord(ErrorSource(), "ERROR: resource not exist: ") << target << "\n";
    return;
  }

  WString workingPath = target;
  DetectTargetKind(workingPath);
  // The target's content is kept while it is also the content to write: a large program is then
  // read once.
  String targetBytes;
  LoadResourcesKeeping(resources, target, &targetBytes);
  if (workingPath != target) targetBytes = String();
  TakeProductName();

  if (!Vadu::PathExists(workingPath, false)) {
    Fail("ERROR: can't find zentu executable file");
    Vadu::LogRecord(ErrorSource(), "ERROR: can't find zentu executable file ")
        << workingPath << "\n";
    return;
  }

  if (PathPresent(icon)) {
    targetBytes = String();  // the icon step may rewrite the file
    ApplyIcon(icon, workingPath);
  }

  Vadu::SettingsMap& map = ResourceMap();
  if (!map.HasEntries()) {
    PrintLine("Can not found resources");
    return;
  }
  map.Set(kDateEntry, DateText(Vadu::DateTime::NowLocal()));

  if (!WriteBlockInto(workingPath, std::move(targetBytes))) {
    Fail("ERROR: can't replace zentu executable file");
    return;
  }
  PrintLine(String("Success add resources to file: ") + Vadu::ToUtf8(target));
}

}  // namespace Zentu
