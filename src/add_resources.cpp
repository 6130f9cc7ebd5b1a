#include "src/add_resources.h"

#include <chrono>
#include <optional>

#include "oem/oem_document.h"
#include "oem/oem_key_catalogue.h"
#include "oem/resource_block.h"
#include "oem/resource_map.h"
#include "src/archive_tool.h"
#include "src/bundle.h"
#include "src/exit_code.h"
#include "src/icon_step.h"
#include "src/log_tags.h"
#include "src/print_line.h"
#include "src/properties_step.h"
#include "src/target_state.h"
#include "src/working_folder.h"
#include "support/file_lock.h"
#include "support/file_system.h"
#include "support/log.h"
#include "support/progress_line.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

// The resource that records the day of the customization.
constexpr char kDateEntry[] = "date";
// How long a run waits for another run on the same target to finish.
constexpr std::chrono::seconds kTargetLockWait{60};

Vadu::LogSource ErrorSource() { return Vadu::LogSource(Vadu::LogError, kFrontEndLogTag); }

// Replaces the file's content with itself carrying the resource map as its block. The program's
// bytes are copied into the new file, never held in memory; the file is replaced atomically and
// stays as it was on any failure.
bool WriteBlockInto(const WString& path) {
  // Copying a large program takes a while: say so to a person watching a terminal.
  constexpr int64_t kLargeProgram = int64_t{64} << 20;
  std::optional<Vadu::ProgressLine> progress;
  if (Vadu::FileSizeOf(path) >= kLargeProgram)
    progress.emplace(String("Adding resources to ") + Vadu::ToUtf8(Vadu::GetFileName(path)));
  return WriteBlockIntoFile(path, ResourceMap());
}

// Replaces the file with the resource map's block alone, atomically.
bool WriteFreshBlock(const WString& path) {
  const String result = AppendBlock(String(), ResourceMap());
  return !result.IsEmpty() && Vadu::ReplaceFileContent(result, path);
}

// Adds one resource file to the map under its file name. A file that cannot be read, or whose
// name cannot be stored as UTF-8 in the block, is reported and left out: an entry of that name
// already embedded stays as it was.
void AddResourceFile(const WString& path, Vadu::SettingsMap& map) {
  String name;
  if (!Vadu::TryToUtf8(Vadu::GetFileName(path), &name)) {
    ReportError(String("ERROR: resource name is not UTF-8: ") + Vadu::ToUtf8(path));
    return;
  }
  String bytes;
  if (!Vadu::ReadWholeFile(path, &bytes)) {
    ReportError(String("ERROR: can't read ") + name);
    return;
  }
  map.Set(name, bytes);
}

// Loads the resources of the folder (or the one file) into the map, over the block embedded in
// the target. With `fresh`, the block embedded in the target is not taken over.
bool LoadResourcesOver(const WString& resources, const WString& target, bool fresh) {
  Vadu::SettingsMap& map = ResourceMap();
  if (fresh) {
    map.Clear();
  } else if (PathPresent(target)) {
    // Only the block is read, not the program before it.
    String payload;
    ReadBlockOfFile(target, &payload);
    // A target without a block empties the map, as a corrupt block does.
    if (payload.IsEmpty() || !map.Load(payload)) map.Clear();
  }
  if (!PathPresent(resources)) return false;
  if (Vadu::DirectoryExists(resources)) {
    for (const Vadu::FileEntry& entry : Vadu::ListDirectory(resources, u"*")) {
      const WString path = Vadu::JoinPath(resources, entry.Name());
      // Subdirectories, and links to them, are not resources.
      if (entry.IsDirectory() || (entry.IsLink() && Vadu::DirectoryExists(path))) continue;
      AddResourceFile(path, map);
    }
  } else {
    AddResourceFile(resources, map);
  }
  return true;
}

// The part of the path that names files of the target: below the working folder for a path inside
// it, else the whole path.
WString OwnPart(const WString& path) {
  return path.Substring(StartBelow(path, WorkingFolderPath()));
}

// Where archive targets are unpacked; empty when the run has no working folder.
WString UnpackFolderPath() {
  const WString working = WorkingFolderPath();
  return working.IsEmpty() ? WString() : Vadu::JoinPath(working, u"zentu");
}

// How the target was opened.
enum class Opened { kFile, kArchive, kDiskImage };

struct WorkingFile {
  WString path;
  Opened opened = Opened::kFile;
  // An archive or image was unpacked and the path names its application.
  bool unpacked = false;
  // An archive or image could not be unpacked whole.
  bool unpackFailed = false;
};

// The lines of a target that is not there, or is no file or folder that can be branded.
void ReportMissingTarget(const WString& target) {
  ReportError(String("ERROR: can't find ") + Vadu::ToUtf8(Vadu::GetFileName(target)));
  ReportError(String("ERROR: resource not exist : ") + Vadu::ToUtf8(target));
  Vadu::LogRecord(ErrorSource(), "ERROR: resource not exist: ") << target << "\n";
}

// Locks a file target for the run, so that two runs on one target take turns instead of one
// losing the other's resources; refuses a target that is neither a regular file nor a folder (a
// named pipe would block every reader). A folder (an application bundle) is not locked.
bool LockTarget(const WString& target, Vadu::FileLock& lock) {
  if (Vadu::DirectoryExists(target)) return true;
  switch (lock.Acquire(target, kTargetLockWait)) {
    case Vadu::FileLock::Status::kLocked:
      return true;
    case Vadu::FileLock::Status::kBusy:
      ReportError(String("ERROR: another run is still working on ") + Vadu::ToUtf8(target));
      return false;
    case Vadu::FileLock::Status::kMissing:
    case Vadu::FileLock::Status::kNotRegularFile:
      ReportMissingTarget(target);
      return false;
    case Vadu::FileLock::Status::kFailed:
      break;
  }
  ReportError(String("ERROR: can't read ") + Vadu::ToUtf8(target));
  return false;
}

// The file that receives the block: the target itself, or, for a .tgz archive or a .dmg disk
// image, the application inside it once unpacked into the working folder.
WorkingFile ResolveWorkingPath(const WString& target) {
  WorkingFile working;
  working.path = target;
  if (Vadu::EndsWithNoCase(target, WString(u".tgz"))) {
    working.opened = Opened::kArchive;
    // The archive is the target itself: a file of the same name beside the utility would be
    // unpacked and then packed over the target.
    const WString folder = UnpackFolderPath();
    if (folder.IsEmpty() || !UnpackTgz(target, folder)) {
      working.unpackFailed = true;
      return working;
    }
    const WString chosen = ChooseApplicationFile(ListFilesDepthFirst(folder), folder);
    if (!chosen.IsEmpty() && Vadu::FileExists(chosen)) {
      working.path = chosen;
      working.unpacked = true;
    }
  } else if (Vadu::EndsWithNoCase(target, WString(u".dmg"))) {
    working.opened = Opened::kDiskImage;
    const WString folder = WorkingFolderPath();
    if (Vadu::DirectoryExists(folder)) Vadu::RemoveDirectoryTree(folder);
    if (folder.IsEmpty() || !UnpackDmg(target, folder)) {
      working.unpackFailed = true;
      return working;
    }
    working.path = Vadu::JoinPath(folder, u"/zentu.app/Contents/MacOS/zentu");
    working.unpacked = true;
  }
  return working;
}

// Moves a finished archive over the target: first beside it (a copy when the working folder lies
// on another file system), then renamed over it, so that the target changes in one step.
bool PlaceArchive(const WString& packed, const WString& archive) {
  return Vadu::ReplaceFileWith(packed, archive);
}

}  // namespace

bool PathPresent(const WString& path) {
  if (path.IsEmpty()) return false;
  if (Vadu::FileExists(path) || Vadu::DirectoryExists(path)) return true;
  ReportError(String("ERROR: can't find ") + Vadu::ToUtf8(Vadu::GetFileName(path)));
  return false;
}

bool LoadResources(const WString& resources, const WString& target) {
  return LoadResourcesOver(resources, target, /*fresh=*/false);
}

namespace {

void AddResourcesTo(const WString& target, const WString& icon, const WString& resources,
                    bool fresh, Properties properties) {
  if (!PathPresent(target)) {
    ReportError(String("ERROR: resource not exist : ") + Vadu::ToUtf8(target));
    Vadu::LogRecord(ErrorSource(), "ERROR: resource not exist: ") << target << "\n";
    return;
  }
  Vadu::FileLock lock;
  if (!LockTarget(target, lock)) return;
  // What killed runs left beside the target.
  Vadu::RemoveStaleTemporaries(Vadu::GetDirectoryPart(Vadu::NormalizePath(target)));

  const WorkingFile working = ResolveWorkingPath(target);
  if (working.unpackFailed) {
    ReportError(String("ERROR: can't unpack ") + Vadu::ToUtf8(target));
    return;
  }
  WString workingPath = working.path;
  DetectTargetKind(workingPath);
  LoadResourcesOver(resources, target, fresh);
  TakeProductName();
  if (!RenameAppBundle(workingPath)) {
    SetExitCode(kExitError);
    return;
  }

  // An archive or image without an application is not written into.
  const bool opened = working.opened != Opened::kFile;
  if ((opened && !working.unpacked) || !Vadu::FileExists(workingPath)) {
    ReportError("ERROR: can't find zentu executable file");
    Vadu::LogRecord(ErrorSource(), "ERROR: can't find zentu executable file ")
        << workingPath << "\n";
    return;
  }

  if (PathPresent(icon)) ApplyIcon(icon, workingPath);
  if (properties == Properties::kBrand) ApplyProperties(workingPath);

  Vadu::SettingsMap& map = ResourceMap();
  if (!map.HasEntries()) {
    PrintLine("Can not found resources");
    return;
  }
  map.Set(kDateEntry, DateText(Vadu::DateTime::NowLocal()));

  // A fresh package holds the block alone.
  const bool written = fresh ? WriteFreshBlock(workingPath) : WriteBlockInto(workingPath);
  if (!written) {
    ReportError("ERROR: can't replace zentu executable file");
    return;
  }
  if (working.unpacked) {
    if (!UpdateBundlePlists(workingPath)) {
      SetExitCode(kExitError);
      return;
    }
    if (!Repack(workingPath, target, working.opened == Opened::kDiskImage)) {
      ReportError(String("ERROR: can't pack ") + Vadu::ToUtf8(target));
      return;
    }
  }
  PrintLine(String("Success add resources to file: ") + Vadu::ToUtf8(target));
}

}  // namespace

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

WString ChooseApplicationFile(const std::vector<WString>& files, const WString& folder) {
  const WString normal = Vadu::NormalizePath(folder);
  WString first;
  for (const WString& path : files) {
    const WString own = path.Substring(StartBelow(path, normal));
    const bool app = own.Contains(u".app");
    if (!app || !(own.Contains(u"MacOS") || !own.Contains(u"Contents"))) continue;
    // The stock name wins over other applications that came first (a helper beside it).
    for (const WString& component : own.Split(WString(Vadu::PathSeparator())))
      if (component == u"zentu.app") return path;
    if (first.IsEmpty()) first = path;
  }
  return first;
}

void DetectTargetKind(WString& workingPath) {
  WString& kind = TargetKind();
  // A folder first: a bundle folder's name holds ".app" as well.
  if (Vadu::DirectoryExists(workingPath)) {
    kind = u"dir";
    const WString executable = Vadu::JoinPath(workingPath, u"/Contents/MacOS/zentu");
    if (Vadu::FileExists(executable)) workingPath = executable;
    return;
  }
  const WString own = OwnPart(workingPath);
  if (own.Contains(u"MacOS") && own.Contains(u".app")) {
    kind = u".dmg";
  } else if (!own.Contains(u"Contents") && own.Contains(u".app")) {
    kind = u".tgz";
  } else if (own.Contains(u".apk")) {
    kind = u".apk";
  } else if (own.Contains(u".exe")) {
    kind = u".exe";
  }
}

bool Repack(const WString& workingPath, const WString& target, bool diskImage) {
  const WString source = diskImage ? BundleFolderOf(workingPath) : UnpackFolderPath();
  const WString archive = diskImage ? target + u".tgz" : target;
  if (source.IsEmpty() || !Vadu::DirectoryExists(source)) return false;
  // Made in a folder of our own under the archive's own name (the gzip layer names the tar file
  // inside after it, and unpacking looks for that name), then put over the target once complete.
  const WString folder = Vadu::JoinPath(WorkingFolderPath(), u"repacked");
  const WString stem = Vadu::GetFileStem(archive);
  const WString packed = Vadu::JoinPath(folder, stem + u".tgz");
  // A name holding ".dmg" must be given with ".dmg" in place of ".tgz" to come out as itself.
  const WString destination =
      stem.Contains(u".dmg") ? Vadu::JoinPath(folder, stem + u".dmg") : packed;
  Vadu::RemoveDirectoryTree(folder);
  const bool done =
      Vadu::CreateDirectories(folder) &&
      PackTgz(source, destination, diskImage ? PackRoot::kSource : PackRoot::kFolderContents) &&
      Vadu::FileExists(packed) && PlaceArchive(packed, archive);
  Vadu::RemoveDirectoryTree(folder);
  if (done) Vadu::RemoveDirectoryTree(source);
  return done;
}

void AddResources(const WString& target, const WString& icon, const WString& resources,
                  Properties properties) {
  AddResourcesTo(target, icon, resources, /*fresh=*/false, properties);
}

void AddResourcesToPackage(const WString& package, const WString& icon, const WString& resources) {
  AddResourcesTo(package, icon, resources, /*fresh=*/true, Properties::kKeep);
}

}  // namespace Zentu
