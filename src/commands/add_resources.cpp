#include "src/commands/add_resources.h"

#include <chrono>
#include <optional>

#include "oem/oem_document.h"
#include "oem/oem_key_catalogue.h"
#include "oem/resource_block.h"
#include "src/exit_code.h"
#include "src/log_tags.h"
#include "src/print_line.h"
#include "src/steps/archive_tool.h"
#include "src/steps/bundle.h"
#include "src/steps/bundle_archive.h"
#include "src/steps/icon_step.h"
#include "src/steps/package_target.h"
#include "src/steps/properties_step.h"
#include "src/steps/working_folder.h"
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

// Replaces the file's content with itself carrying the resources as its block. The program's
// bytes are copied into the new file, never held in memory; the file is replaced atomically and
// stays as it was on any failure.
BlockWrite WriteBlockInto(const WString& path, const Vadu::SettingsMap& resources,
                          HostFormat format) {
  // Copying a large program takes a while: say so to a person watching a terminal.
  constexpr int64_t kLargeProgram = int64_t{64} << 20;
  std::optional<Vadu::ProgressLine> progress;
  if (Vadu::FileSizeOf(path) >= kLargeProgram)
    progress.emplace(String("Adding resources to ") + Vadu::ToUtf8(Vadu::GetFileName(path)));
  return WriteBlockIntoFile(path, resources, format);
}

// Replaces the file with the block of the resources alone, atomically.
BlockWrite WriteFreshBlock(const WString& path, const Vadu::SettingsMap& resources) {
  const String result = AppendBlock(String(), resources);
  return {!result.IsEmpty() && Vadu::ReplaceFileContent(result, path), String()};
}

// How the working file takes the block: an Android package inside its zip end record.
HostFormat FormatOf(const RebrandJob& job) {
  return job.kind == TargetKind::kAndroid ? HostFormat::kAndroidPackage : HostFormat::kAsFound;
}

// Looks at the working file before anything changes it: one that cannot take a block is
// reported and left as it is (false).
bool InspectWorkingFile(const RebrandJob& job, HostReport* host) {
  // A file that cannot be read is reported when it is written.
  if (!InspectHostFile(job.workingPath, FormatOf(job), host) || host->problem.IsEmpty())
    return true;
  ReportError(String("ERROR: ") + host->problem);
  return false;
}

// The line after the result for a target whose signature branding took away.
void ReportLostSignature(const WString& target, const HostReport& host) {
  const String name = Vadu::ToUtf8(target);
  if (host.authenticodeSigned)
    PrintLine(String("WARNING: ") + name + " is no longer signed: sign it again");
  if (host.apkSigned)
    PrintLine(String("WARNING: ") + name +
              " is no longer signed: sign it again with apksigner before Android installs it");
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
bool LoadResourcesOver(const WString& resources, const WString& target, bool fresh,
                       Vadu::SettingsMap& map) {
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

// What became of opening the target.
enum class OpenResult {
  kReady,          // the working path names the file that receives the block
  kNoApplication,  // an archive was unpacked, but holds no application
  kUnpackFailed,   // an archive or image could not be unpacked whole
};

// Finds the file that receives the block: the target itself, or, for a .tgz archive or a .dmg
// disk image, the application inside it once unpacked into the working folder.
OpenResult OpenTarget(RebrandJob& job) {
  job.workingPath = job.target;
  if (Vadu::EndsWithNoCase(job.target, WString(u".tgz"))) {
    switch (OpenPackageTarget(job)) {
      case PackageOpening::kReady:
        return OpenResult::kReady;
      case PackageOpening::kUnreadable:
        return OpenResult::kUnpackFailed;
      case PackageOpening::kNoApplication:
        return OpenResult::kNoApplication;
    }
  } else if (Vadu::EndsWithNoCase(job.target, WString(u".dmg"))) {
    job.opened = Opened::kDiskImage;
    const WString& folder = job.workingFolder;
    if (Vadu::DirectoryExists(folder)) Vadu::RemoveDirectoryTree(folder);
    if (folder.IsEmpty() || !UnpackDmg(job.target, folder, &job.imageListing))
      return OpenResult::kUnpackFailed;
    job.imageExecutable = u"zentu.app/Contents/MacOS/zentu";
    job.workingPath = Vadu::JoinPath(folder, job.imageExecutable);
    // The copy is the run's own: what the image holds read-only is changed here all the same (its
    // modes travel from the image's listing into the archive).
    if (!Vadu::MakeTreeWritable(Vadu::JoinPath(folder, u"zentu.app")))
      return OpenResult::kUnpackFailed;
  }
  return OpenResult::kReady;
}

// Writes the resources, with the day of the customization, into the working path, and packs
// what was unpacked back into the target. False, with the ERROR line printed, when any of it
// failed.
bool WriteAndRepack(RebrandJob& job, bool fresh) {
  job.resources.Set(kDateEntry, DateText(Vadu::DateTime::NowLocal()));
  // A fresh package holds the block alone.
  const BlockWrite written = fresh ? WriteFreshBlock(job.workingPath, job.resources)
                                   : WriteBlockInto(job.workingPath, job.resources, FormatOf(job));
  if (!written) {
    ReportError(written.problem.IsEmpty() ? String("ERROR: can't replace zentu executable file")
                                          : String("ERROR: ") + written.problem);
    return false;
  }
  if (job.opened == Opened::kFile) return true;
  if (job.package) {
    if (WritePackageTarget(job)) return true;
    ReportError(String("ERROR: can't pack ") + Vadu::ToUtf8(job.target));
    return false;
  }
  if (!UpdateBundlePlists(job)) {
    SetExitCode(kExitError);
    return false;
  }
  if (!Repack(job)) {
    ReportError(String("ERROR: can't pack ") + Vadu::ToUtf8(job.target));
    return false;
  }
  return true;
}

// The whole road of the command for one target: open it, gather the resources, brand the
// application, write the block and pack the target again.
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

  RebrandJob job;
  job.target = target;
  job.workingFolder = WorkingFolderPath();
  const OpenResult opened = OpenTarget(job);
  if (opened == OpenResult::kUnpackFailed) {
    ReportError(String("ERROR: can't unpack ") + Vadu::ToUtf8(target));
    return;
  }
  // A package's application was told by its name in the package, and carries its own block.
  const bool package = job.package.has_value();
  if (!package) DetectTargetKind(job);
  LoadResourcesOver(resources, package ? job.workingPath : target, fresh, job.resources);
  TakeProductName(job);
  if (package ? !PackageNameFree(job) : !RenameAppBundle(job)) {
    SetExitCode(kExitError);
    return;
  }
  // An archive without an application is not written into.
  if (opened == OpenResult::kNoApplication || !Vadu::FileExists(job.workingPath)) {
    ReportError("ERROR: can't find zentu executable file");
    Vadu::LogRecord(ErrorSource(), "ERROR: can't find zentu executable file ")
        << job.workingPath << "\n";
    return;
  }
  HostReport host;
  if (!fresh && !InspectWorkingFile(job, &host)) return;

  if (PathPresent(icon)) {
    job.icon = icon;
    ApplyIcon(job, icon);
  }
  if (properties == Properties::kBrand) ApplyProperties(job);
  if (!job.resources.HasEntries()) {
    PrintLine("Can not found resources");
    return;
  }
  if (WriteAndRepack(job, fresh)) {
    PrintLine(String("Success add resources to file: ") + Vadu::ToUtf8(target));
    ReportLostSignature(target, host);
  }
}

}  // namespace

bool PathPresent(const WString& path) {
  if (path.IsEmpty()) return false;
  if (Vadu::FileExists(path) || Vadu::DirectoryExists(path)) return true;
  ReportError(String("ERROR: can't find ") + Vadu::ToUtf8(Vadu::GetFileName(path)));
  return false;
}

bool LoadResources(const WString& resources, const WString& target, Vadu::SettingsMap& map) {
  return LoadResourcesOver(resources, target, /*fresh=*/false, map);
}

void TakeProductName(RebrandJob& job) {
  const String word = ProductWordOf(job.resources);
  if (!word.IsEmpty()) job.productWord = Vadu::FromUtf8(word);
}

String DateText(Vadu::DateTime now) {
  now.TruncateToDay();
  return String::FromNumber(now.Value());
}

void DetectTargetKind(RebrandJob& job) {
  // A folder first: a bundle folder's name holds ".app" as well.
  if (Vadu::DirectoryExists(job.workingPath)) {
    job.kind = TargetKind::kBundleFolder;
    const WString executable = Vadu::JoinPath(job.workingPath, u"/Contents/MacOS/zentu");
    if (Vadu::FileExists(executable)) job.workingPath = executable;
    return;
  }
  const WString own = job.OwnPart(job.workingPath);
  if (own.Contains(u"MacOS") && own.Contains(u".app")) {
    job.kind = TargetKind::kAppBundle;
  } else if (!own.Contains(u"Contents") && own.Contains(u".app")) {
    job.kind = TargetKind::kAppFile;
  } else if (own.Contains(u".apk")) {
    job.kind = TargetKind::kAndroid;
  } else if (own.Contains(u".exe")) {
    job.kind = TargetKind::kWindows;
  }
}

bool Repack(const RebrandJob& job) {
  // A disk image's bundle goes into an archive beside it, written from the image's listing.
  return job.opened == Opened::kDiskImage && WriteBundleArchive(job, job.target + u".tgz");
}

void AddResources(const WString& target, const WString& icon, const WString& resources,
                  Properties properties) {
  AddResourcesTo(target, icon, resources, /*fresh=*/false, properties);
}

void AddResourcesToPackage(const WString& package, const WString& icon, const WString& resources) {
  AddResourcesTo(package, icon, resources, /*fresh=*/true, Properties::kKeep);
}

}  // namespace Zentu
