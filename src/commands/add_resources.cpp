#include "src/commands/add_resources.h"

#include <chrono>
#include <optional>

#include "oem/oem_document.h"
#include "oem/oem_key_catalogue.h"
#include "oem/resource_block.h"
#include "src/exit_code.h"
#include "src/log_tags.h"
#include "src/option_names.h"
#include "src/print_line.h"
#include "src/steps/archive_tool.h"
#include "src/steps/bundle.h"
#include "src/steps/bundle_archive.h"
#include "src/steps/icon_step.h"
#include "src/steps/package_target.h"
#include "src/steps/properties_step.h"
#include "src/steps/run_folder.h"
#include "src/steps/working_folder.h"
#include "support/file_lock.h"
#include "support/file_system.h"
#include "support/log.h"
#include "support/progress_line.h"
#include "support/system_error.h"
#include "support/zlib_codec.h"

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

// The resources a run adds, read whole before the target is opened.
struct AddedResources {
  Vadu::SettingsMap files;
  // The icon file's bytes, when an icon was given.
  String icon;
};

// The raw length a block may hold: what the reader inflates at most. Its compressed form then
// stays far within the 32-bit length field.
constexpr uint64_t kMaxResourceBytes = Vadu::kMaxInflatedSize;

// Reports resources whose raw form would be longer than a block can carry (false).
bool FitsBlock(uint64_t rawLength, uint64_t carried) {
  if (rawLength <= kMaxResourceBytes) return true;
  String line = String("ERROR: resources too large: ") + String::FromNumber(rawLength) +
                " bytes with their names, at most " + String::FromNumber(kMaxResourceBytes) +
                " can be embedded";
  if (carried)
    line += String(" (") + String::FromNumber(carried) + " of them embedded already; " +
            Vadu::ToUtf8(kReplaceOption) + " drops those)";
  ReportError(line);
  return false;
}

// The files of the resources folder that are resources (every entry directly inside it but
// subfolders and links to them), or the resources file itself.
std::vector<WString> ResourcePaths(const WString& resources) {
  if (!Vadu::DirectoryExists(resources)) return {resources};
  std::vector<WString> paths;
  for (const Vadu::FileEntry& entry : Vadu::ListDirectory(resources, u"*")) {
    const WString path = Vadu::JoinPath(resources, entry.Name());
    if (entry.IsDirectory() || (entry.IsLink() && Vadu::DirectoryExists(path))) continue;
    paths.push_back(path);
  }
  return paths;
}

// Reads the resource files and the icon: every one must be there and readable, its name UTF-8,
// and all of them together within what a block can carry (told from their sizes before any is
// read). False after reporting every problem found.
bool GatherResources(const WString& resources, const WString& icon, AddedResources* added) {
  bool sound = true;
  if (!resources.IsEmpty() && !PathPresent(resources)) sound = false;
  if (!icon.IsEmpty() && !PathPresent(icon)) sound = false;
  if (!sound) return false;
  const std::vector<WString> paths =
      resources.IsEmpty() ? std::vector<WString>() : ResourcePaths(resources);
  uint64_t total = 0;
  for (const WString& path : paths) {
    const int64_t size = Vadu::FileSizeOf(path);
    total += Vadu::SettingsMap::RawLengthOf(Vadu::ToUtf8(Vadu::GetFileName(path)).Length(),
                                            size < 0 ? 0 : static_cast<uint64_t>(size));
  }
  if (!icon.IsEmpty()) {
    const int64_t size = Vadu::FileSizeOf(icon);
    total += Vadu::SettingsMap::RawLengthOf(9, size < 0 ? 0 : static_cast<uint64_t>(size));
  }
  if (!FitsBlock(total, 0)) return false;
  for (const WString& path : paths) {
    String name, bytes;
    if (!Vadu::TryToUtf8(Vadu::GetFileName(path), &name)) {
      ReportFileError(String("ERROR: resource name is not UTF-8: ") + ShownPath(path), path,
                      "a resource's name must be UTF-8");
      sound = false;
    } else if (String line, reason; !ReadFileToEmbed(path, &bytes, &line, &reason)) {
      ReportFileError(line, path, reason);
      sound = false;
    } else {
      added->files.Set(name, bytes);
    }
  }
  if (String line, reason;
      !icon.IsEmpty() && !ReadFileToEmbed(icon, &added->icon, &line, &reason)) {
    ReportFileError(line, icon, reason);
    sound = false;
  }
  return sound;
}

// Puts the resources the target already carries into the map: the block of `carrier` (the target,
// or a package's application). A block that cannot be read is reported, naming -replace as the way
// to brand the target all the same (false): dropping the resources silently would lose them.
bool LoadCarriedResources(const WString& carrier, const WString& target, Vadu::SettingsMap& map) {
  map.Clear();
  // A bundle folder carries no block of its own.
  if (Vadu::DirectoryExists(carrier)) return true;
  String payload;
  if (!ReadBlockOfFile(carrier, &payload)) {
    const String reason = Vadu::WhyUnreadable(carrier);
    ReportFileError(String("ERROR: can't read ") + ShownPath(target) +
                        (reason.IsEmpty() ? String() : ": " + reason),
                    carrier, reason.IsEmpty() ? String("its block cannot be read") : reason);
    return false;
  }
  if (payload.IsEmpty() || map.Load(payload)) return true;
  ReportFileError(String("ERROR: damaged resources in ") + ShownPath(target) + ": brand it with " +
                      Vadu::ToUtf8(kReplaceOption) + " to replace them",
                  carrier, "the embedded block does not inflate or is malformed");
  return false;
}

// Loads the resources of the folder (or the one file) into the map, over the block embedded in
// the target. With `fresh`, the block embedded in the target is not taken over.
bool LoadResourcesOver(const WString& resources, const WString& target, bool fresh,
                       Vadu::SettingsMap& map) {
  if (fresh) {
    map.Clear();
  } else if (PathPresent(target) && !LoadCarriedResources(target, target, map)) {
    return false;
  }
  if (!PathPresent(resources)) return false;
  AddedResources added;
  if (!GatherResources(resources, WString(), &added)) return false;
  for (const String& name : added.files.ListNames()) map.Set(name, added.files.Get(name));
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

// Where a run edits a program before the target takes its place: a copy of the target in the run
// folder, so that the icon and properties steps, which rewrite the file, never touch the target
// itself. Empty after reporting why it cannot be made.
WString MakePrivateCopy(const WString& target) {
  const WString run = RunFolder();
  const WString folder = run.IsEmpty() ? WString() : Vadu::JoinPath(run, u"branded");
  const WString copy =
      folder.IsEmpty() ? WString() : Vadu::JoinPath(folder, Vadu::GetFileName(target));
  if (!copy.IsEmpty() && Vadu::CreateDirectories(folder) && Vadu::CopyFileTo(target, copy))
    return copy;
  const String reason = Vadu::LastSystemErrorText();
  ReportFileError(
      String("ERROR: can't copy ") + ShownPath(target) + " into the run folder: " + reason, target,
      reason);
  return WString();
}

// Writes the resources, with the day of the customization, into the working path, and puts the
// result in the target's place: the private copy over the target, or the package written anew.
// False, with the ERROR line printed and the target as it was, when any of it failed.
bool WriteAndRepack(RebrandJob& job, bool fresh, const WString& privateCopy) {
  job.resources.Set(kDateEntry, DateText(Vadu::DateTime::NowLocal()));
  if (!FitsBlock(job.resources.RawLength(), 0)) return false;
  if (fresh) {
    // A package is the block alone, and its folder is made only now that it is complete.
    const String block = AppendBlock(String(), job.resources);
    const WString folder = Vadu::GetDirectoryPart(Vadu::NormalizePath(job.workingPath));
    if (!block.IsEmpty() && (folder.IsEmpty() || Vadu::CreateDirectories(folder)) &&
        Vadu::ReplaceFileContent(block, job.workingPath))
      return true;
    const String reason = Vadu::LastSystemErrorText();
    ReportFileError(
        String("ERROR: can't save resource package to '") + Vadu::ToUtf8(job.workingPath) + "'",
        job.workingPath, reason);
    return false;
  }
  const BlockWrite written = WriteBlockInto(job.workingPath, job.resources, FormatOf(job));
  if (!written) {
    const String reason = Vadu::LastSystemErrorText();
    if (written.problem.IsEmpty())
      ReportFileError("ERROR: can't replace zentu executable file", job.target, reason);
    else
      ReportFileError(String("ERROR: ") + written.problem, job.target, written.problem);
    return false;
  }
  if (!privateCopy.IsEmpty()) {
    if (Vadu::ReplaceFileWith(privateCopy, job.target)) return true;
    const String reason = Vadu::LastSystemErrorText();
    ReportFileError("ERROR: can't replace zentu executable file", job.target, reason);
    return false;
  }
  if (job.opened == Opened::kFile) return true;
  if (job.package) {
    String why;
    if (WritePackageTarget(job, &why)) return true;
    ReportFileError(String("ERROR: can't pack ") + Vadu::ToUtf8(job.target), job.target, why);
    return false;
  }
  if (!UpdateBundlePlists(job)) {
    SetExitCode(kExitError);
    return false;
  }
  String why;
  if (!Repack(job, &why)) {
    ReportFileError(String("ERROR: can't pack ") + Vadu::ToUtf8(job.target), job.target, why);
    return false;
  }
  return true;
}

// True when a step other than the block rewrites the working file: the icon or the properties of
// a Windows program.
bool StepsRewriteProgram(const RebrandJob& job, const WString& icon,
                         const BrandingChoices& choices) {
  if (job.kind != TargetKind::kWindows) return false;
  return Vadu::EndsWithNoCase(icon, WString(u".ico")) ||
         (choices.properties == Properties::kBrand &&
          !PropertiesFromResources(job.resources).empty());
}

// The whole road of the command for one target. Every input is checked first (the target, the
// resource files, the icon, their size, the resources the target carries); every step then works
// on the run's own copies, and the target is replaced once, at the end. Any failure leaves it as
// it was.
void AddResourcesTo(const WString& target, const WString& icon, const WString& resources,
                    bool fresh, const BrandingChoices& choices) {
  // A new package has no file yet.
  const bool newPackage = fresh && !Vadu::FileExists(target) && !Vadu::DirectoryExists(target);
  if (!newPackage && !PathPresent(target)) {
    PrintLine(String("ERROR: resource not exist : ") + Vadu::ToUtf8(target));
    SetExitCode(kExitError);
    Vadu::LogRecord(ErrorSource(), "ERROR: resource not exist: ") << target << "\n";
    return;
  }
  AddedResources added;
  if (!GatherResources(resources, icon, &added)) return;
  Vadu::FileLock lock;
  if (!newPackage && !LockTarget(target, lock)) return;
  // What killed runs left beside the target.
  Vadu::RemoveStaleTemporaries(Vadu::GetDirectoryPart(Vadu::NormalizePath(target)));

  RebrandJob job;
  job.target = target;
  job.workingFolder = WorkingFolderPath();
  const OpenResult opened = OpenTarget(job);
  if (opened == OpenResult::kUnpackFailed) {
    ReportFileError(String("ERROR: can't unpack ") + Vadu::ToUtf8(target), target,
                    "the archive could not be read whole");
    return;
  }
  // A package's application was told by its name in the package, and carries its own block.
  const bool package = job.package.has_value();
  if (!package) DetectTargetKind(job);
  const bool merge = !fresh && choices.embedded == Embedded::kMerge;
  if (merge && !LoadCarriedResources(package ? job.workingPath : target, target, job.resources))
    return;
  const uint64_t carried = job.resources.RawLength();
  for (const String& name : added.files.ListNames()) job.resources.Set(name, added.files.Get(name));
  // With what the target carries, the icon and the day's entry, the resources must still fit.
  const uint64_t more =
      Vadu::SettingsMap::RawLengthOf(4, 20) +
      (icon.IsEmpty() ? 0 : Vadu::SettingsMap::RawLengthOf(9, added.icon.Length()));
  if (!FitsBlock(job.resources.RawLength() + more, carried)) return;
  TakeProductName(job);
  if (package ? !PackageNameFree(job) : !RenameAppBundle(job)) {
    SetExitCode(kExitError);
    return;
  }
  // An archive without an application is not written into.
  if (opened == OpenResult::kNoApplication || (!newPackage && !Vadu::FileExists(job.workingPath))) {
    PrintLine("ERROR: can't find zentu executable file");
    SetExitCode(kExitError);
    Vadu::LogRecord(ErrorSource(), "ERROR: can't find zentu executable file ")
        << job.workingPath << "\n";
    return;
  }
  HostReport host;
  if (!fresh && !InspectWorkingFile(job, &host)) return;

  WString privateCopy;
  if (!fresh && job.opened == Opened::kFile && StepsRewriteProgram(job, icon, choices)) {
    privateCopy = MakePrivateCopy(job.workingPath);
    if (privateCopy.IsEmpty()) return;
    job.workingPath = privateCopy;
  }
  // A package only checks that its icon is there: it has no program to give it to.
  if (!icon.IsEmpty() && !fresh) {
    job.icon = icon;
    if (!ApplyIcon(job, icon)) return;
  }
  if (choices.properties == Properties::kBrand && !ApplyProperties(job)) return;
  if (!job.resources.HasEntries()) {
    PrintLine("Can not found resources");
    return;
  }
  if (WriteAndRepack(job, fresh, privateCopy)) {
    PrintLine(String("Success add resources to file: ") + Vadu::ToUtf8(target));
    ReportLostSignature(target, host);
  }
}

}  // namespace

bool ReadFileToEmbed(const WString& path, String* bytes, String* line, String* reason) {
  int64_t owner = -1;
  if (!Vadu::ReadWholeFile(path, bytes, &owner)) {
    *reason = Vadu::WhyUnreadable(path);
    *line = String("ERROR: can't read ") + ShownPath(path) + ": " + *reason;
    return false;
  }
  const WString folder = Vadu::GetDirectoryPart(Vadu::NormalizePath(path));
  const int64_t folderOwner = Vadu::OwnerOf(folder.IsEmpty() ? Vadu::GetCurrentDir() : folder);
  if (owner < 0 || folderOwner < 0 || folderOwner == Vadu::CurrentUser() || owner == folderOwner)
    return true;
  *bytes = String();
  *reason = String("it is a file of user ") + String::FromNumber(owner) +
            ", not of the folder's owner (user " + String::FromNumber(folderOwner) + ")";
  *line = String("ERROR: ") + ShownPath(path) + ": " + *reason;
  return false;
}

bool PathPresent(const WString& path) {
  if (path.IsEmpty()) return false;
  if (Vadu::FileExists(path) || Vadu::DirectoryExists(path)) return true;
  ReportFileError(String("ERROR: can't find ") + Vadu::ToUtf8(Vadu::GetFileName(path)), path,
                  Vadu::WhyUnreadable(path));
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

bool Repack(const RebrandJob& job, String* why) {
  // A disk image's bundle goes into an archive beside it, written from the image's listing.
  if (job.opened == Opened::kDiskImage) return WriteBundleArchive(job, job.target + u".tgz", why);
  *why = "only a disk image's bundle is packed anew";
  return false;
}

void AddResources(const WString& target, const WString& icon, const WString& resources,
                  const BrandingChoices& choices) {
  AddResourcesTo(target, icon, resources, /*fresh=*/false, choices);
}

void AddResourcesToPackage(const WString& package, const WString& icon, const WString& resources) {
  AddResourcesTo(package, icon, resources, /*fresh=*/true, BrandingChoices());
}

}  // namespace Zentu
