#include "src/steps/package_target.h"

#include <chrono>
#include <map>
#include <optional>
#include <vector>

#include "oem/resource_block.h"
#include "src/log_tags.h"
#include "src/print_line.h"
#include "src/steps/bundle.h"
#include "support/file_system.h"
#include "support/log.h"
#include "support/system_error.h"
#include "support/tar_rewrite.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

constexpr char kAppSuffix[] = ".app";

Vadu::LogSource InfoSource() { return Vadu::LogSource(Vadu::LogInfo, kFrontEndLogTag); }
Vadu::LogSource ErrorSource() { return Vadu::LogSource(Vadu::LogError, kFrontEndLogTag); }

// The part of an entry name before its last component, with the "/"; empty at the top.
String FolderPart(const String& name) {
  const uint32_t slash = name.ReverseFind('/');
  return slash == String::npos ? String() : name.Substring(0, slash + 1);
}

String LastComponent(const String& name) { return name.Substring(FolderPart(name).Length()); }

// The blocks the candidates carry, read from their extracted copies.
std::vector<Vadu::SettingsMap> BlocksOfExtracted(const PackageIndex& index) {
  std::vector<Vadu::SettingsMap> blocks(index.candidates.size());
  for (size_t k = 0; k < index.candidates.size(); ++k) {
    String payload;
    if (!index.candidates[k].extracted.IsEmpty() &&
        ReadBlockOfFile(index.candidates[k].extracted, &payload) && !payload.IsEmpty() &&
        !blocks[k].Load(payload))
      blocks[k].Clear();
  }
  return blocks;
}

const ApplicationCandidate& Application(const RebrandJob& job) {
  return job.package->candidates[job.application];
}

// The names branding changes in a package, as NormalEntryName gives them: the application file,
// or the bundle (a folder, renamed with everything in it) and its executable.
class Renames {
 public:
  explicit Renames(const RebrandJob& job) {
    const String application = NormalEntryName(Application(job).stored.entry.name);
    oldRoot_ = BundleRootOf(application);
    // A product word that is not one plain file name renames nothing, as on disk.
    const WString word = job.productWord + WString(u".app");
    const String product = IsPlainName(word)
                               ? Vadu::ToUtf8(word)
                               : LastComponent(oldRoot_.IsEmpty() ? application : oldRoot_);
    if (oldRoot_.IsEmpty()) {
      named_ = LastComponent(application);
      Add(application, FolderPart(application) + product);
      return;
    }
    named_ = LastComponent(oldRoot_);
    newRoot_ = FolderPart(oldRoot_) + product;
    Add(oldRoot_, newRoot_);
    // The executable takes the product name (spaces kept) where that is a plain file name.
    const String executable = BundleProductName(job.resources);
    if (!executable.IsEmpty() && IsPlainName(Vadu::FromUtf8(executable)))
      Add(application, FolderPart(application) + executable);
  }

  bool IsBundle() const { return !oldRoot_.IsEmpty(); }
  // The renamed names, old to new, each in its old folder.
  const std::map<String, String>& Pairs() const { return pairs_; }

  // The new name of an entry, and of what lies below a renamed bundle; nothing when it keeps its
  // name.
  std::optional<String> NewName(const String& name) const {
    const auto exact = pairs_.find(name);
    const String renamed = exact != pairs_.end() ? exact->second : name;
    if (IsBundle() && newRoot_ != oldRoot_ && renamed.StartsWith(oldRoot_ + "/"))
      return newRoot_ + renamed.Substring(oldRoot_.Length());
    if (exact != pairs_.end()) return renamed;
    return std::nullopt;
  }

  // A stored name (with its "./" or trailing "/") with a new normal name in its place.
  static String Stored(const String& stored, const String& normal) {
    const String lead = stored.StartsWith("./") ? String("./") : String();
    const String trail = stored.EndsWith("/") ? String("/") : String();
    return lead + normal + trail;
  }

  // The target a relative symbolic link stored at `link` takes: each component at which the path
  // it resolves to is a renamed one takes the new name. Nothing when nothing changes or the target
  // climbs above the top of the archive.
  std::optional<String> NewLinkTarget(const String& link, const String& target) const {
    std::vector<String> resolved;
    for (const String& part : FolderPart(NormalEntryName(link)).Split("/"))
      if (!part.IsEmpty()) resolved.push_back(part);
    std::vector<String> parts = target.Split("/");
    bool changed = false;
    for (String& part : parts) {
      if (part.IsEmpty() || part == ".") continue;
      if (part == "..") {
        if (resolved.empty()) return std::nullopt;
        resolved.pop_back();
        continue;
      }
      resolved.push_back(part);
      String path;
      for (const String& piece : resolved) path += (path.IsEmpty() ? "" : "/") + piece;
      if (auto renamed = pairs_.find(path); renamed != pairs_.end()) {
        part = LastComponent(renamed->second);
        changed = true;
      }
    }
    if (!changed) return std::nullopt;
    String joined;
    for (size_t k = 0; k < parts.size(); ++k) joined += (k ? "/" : "") + parts[k];
    return joined;
  }

  // True when an absolute link target may name what is renamed: one of its components is the
  // name of the application file, or of the bundle.
  bool MayName(const String& absolute) const {
    if (pairs_.empty()) return false;
    for (const String& part : absolute.Split("/"))
      if (part == named_) return true;
    return false;
  }

 private:
  void Add(const String& from, const String& to) {
    if (from != to) pairs_[from] = to;
  }

  std::map<String, String> pairs_;
  String oldRoot_, newRoot_;  // a bundle's folder, before and after
  String named_;              // the last component of the application file or the bundle
};

// Collects the entries written anew, one replacement per entry.
class Replacements {
 public:
  explicit Replacements(const Renames& renames) : renames_(renames) {}

  // The entry with its name (and link target) following the renames; `data` and `size` replace
  // its data when given.
  bool Add(const PackageEntry& stored, const WString& data = WString(),
           std::optional<uint64_t> size = std::nullopt) {
    Vadu::TarEntryChange change;
    const Vadu::TarEntry& entry = stored.entry;
    if (const std::optional<String> name = renames_.NewName(NormalEntryName(entry.name)))
      change.name = Renames::Stored(entry.name, *name);
    if (entry.IsHardLink()) {
      if (const std::optional<String> target = renames_.NewName(NormalEntryName(entry.linkName)))
        change.linkName = Renames::Stored(entry.linkName, *target);
    } else if (entry.IsSymbolicLink()) {
      if (entry.linkName.StartsWith("/")) {
        if (renames_.MayName(entry.linkName))
          PrintLine(String("WARNING: the link ") + Printable(entry.name) + " points at " +
                    Printable(entry.linkName) +
                    ", which may be the application; it is left as it was");
      } else {
        change.linkName = renames_.NewLinkTarget(entry.name, entry.linkName);
      }
    }
    change.size = size;
    if (!change.name && !change.linkName && !change.size) return true;
    const std::optional<String> headers = Vadu::RewriteTarHeaders(stored.headers, change);
    if (!headers) return false;
    replaced_[entry.start] = {&stored, *headers, data};
    return true;
  }

  std::vector<EntryReplacement> Take() {
    std::vector<EntryReplacement> all;
    for (auto& [start, replacement] : replaced_) all.push_back(std::move(replacement));
    return all;
  }

 private:
  const Renames& renames_;
  std::map<uint64_t, EntryReplacement> replaced_;
};

// A regular file's new data: its size, or nothing when it cannot be read.
std::optional<uint64_t> SizeOf(const WString& path) {
  const int64_t size = Vadu::FileSizeOf(path);
  return size < 0 ? std::nullopt : std::optional<uint64_t>(static_cast<uint64_t>(size));
}

// The bundle's property lists receive the product's name and identifier, as in a bundle on disk.
void UpdatePropertyLists(const RebrandJob& job, const Renames& renames) {
  const String application = NormalEntryName(Application(job).stored.entry.name);
  const uint32_t macOs = application.Find("MacOS");
  if (macOs == String::npos) return;
  const String contents = application.Substring(0, macOs);
  const String productName = BundleProductName(job.resources);
  const auto executable = renames.NewName(application);
  const String executableName = LastComponent(executable ? *executable : application);
  const String named = executableName == productName ? executableName : String();
  const std::map<String, WString>& lists = job.package->propertyLists;
  if (auto version = lists.find(contents + "version.plist"); version != lists.end())
    UpdatePlistFile(version->second, {{"ProjectName", productName}});
  if (auto info = lists.find(contents + "Info.plist"); info != lists.end())
    UpdatePlistFile(info->second, {{"CFBundleGetInfoString", productName},
                                   {"CFBundleExecutable", named},
                                   {"CFBundleName", productName},
                                   {"CFBundleIdentifier", BundleIdentifier(job.resources)}});
}

// The replacements of a bundle's entries: every entry below it renamed; the property lists and
// a user icon with their new content.
bool AddBundle(const RebrandJob& job, const Renames& renames, Replacements& replacements) {
  UpdatePropertyLists(job, renames);
  const PackageIndex& index = *job.package;
  const String application = NormalEntryName(Application(job).stored.entry.name);
  const String icon = BundleRootOf(application) + "/Contents/Resources/icon.icns";
  const bool newIcon = !job.icon.IsEmpty() && Vadu::EndsWithNoCase(job.icon, WString(u".icns"));
  for (const PackageEntry& stored : index.inBundles) {
    const String name = NormalEntryName(stored.entry.name);
    if (name == application) continue;
    WString data;
    if (auto list = index.propertyLists.find(name); list != index.propertyLists.end())
      data = list->second;
    else if (newIcon && name == icon && stored.entry.IsRegularFile() && !stored.entry.sparse)
      data = job.icon;
    const std::optional<uint64_t> size = data.IsEmpty() ? std::nullopt : SizeOf(data);
    if ((!data.IsEmpty() && !size) || !replacements.Add(stored, data, size)) return false;
  }
  return true;
}

}  // namespace

PackageOpening OpenPackageTarget(RebrandJob& job) {
  job.opened = Opened::kPackage;
  const WString& folder = job.workingFolder;
  String failure;
  if (folder.IsEmpty() || !Vadu::CreateDirectories(folder)) failure = "no run folder";
  std::optional<PackageIndex> index =
      failure.IsEmpty() ? ReadPackage(job.target, folder, &failure) : std::nullopt;
  if (!index) {
    Vadu::LogRecord(ErrorSource(), "Can't read the package ")
        << job.target << ": " << failure << "\n";
    return PackageOpening::kUnreadable;
  }
  const std::vector<Vadu::SettingsMap> blocks = BlocksOfExtracted(*index);
  const std::optional<size_t> chosen = ChooseApplication(index->candidates, blocks);
  if (!chosen || index->candidates[*chosen].stored.entry.sparse) {
    if (chosen)
      Vadu::LogRecord(ErrorSource(), "The application of the package ")
          << job.target << " is a sparse file\n";
    RemoveExtracted(*index);
    return chosen ? PackageOpening::kUnreadable : PackageOpening::kNoApplication;
  }
  // Only the application's copy and the property lists stay in the run folder.
  for (size_t k = 0; k < index->candidates.size(); ++k)
    if (k != *chosen && !index->candidates[k].extracted.IsEmpty())
      Vadu::RemoveFile(index->candidates[k].extracted);
  const ApplicationCandidate& application = index->candidates[*chosen];
  const String name = NormalEntryName(application.stored.entry.name);
  const String root = BundleRootOf(name);
  job.workingPath = application.extracted;
  job.kind = root.IsEmpty() ? TargetKind::kAppFile : TargetKind::kAppBundle;
  // Branded before: it keeps its name unless the new resources name a product.
  const String own = LastComponent(root.IsEmpty() ? name : root);
  if (blocks[*chosen].HasEntries() && own.EndsWith(kAppSuffix) && own.Length() > 4)
    job.productWord = Vadu::FromUtf8(own.Substring(0, own.Length() - 4));
  job.application = *chosen;
  job.package = std::move(index);
  return PackageOpening::kReady;
}

bool PackageNameFree(const RebrandJob& job) {
  const Renames renames(job);
  for (const auto& [from, to] : renames.Pairs()) {
    // The executable's new name is taken in its own folder, before the bundle moves.
    const String taken = FolderPart(from) + LastComponent(to);
    if (!job.package->names.count(taken)) continue;
    PrintLine(String("ERROR: can't rename ") + Printable(LastComponent(from)) + " to " +
              Printable(LastComponent(to)) + ": the name is taken");
    return false;
  }
  return true;
}

bool WritePackageTarget(const RebrandJob& job, String* why) {
  const auto started = std::chrono::steady_clock::now();
  const PackageIndex& index = *job.package;
  const PackageEntry& application = Application(job).stored;
  const Renames renames(job);
  Replacements replacements(renames);
  const std::optional<uint64_t> size = SizeOf(job.workingPath);
  bool prepared = size && replacements.Add(application, job.workingPath, size);
  prepared = prepared && (!renames.IsBundle() || AddBundle(job, renames, replacements));
  for (const PackageEntry& link : index.links) prepared = prepared && replacements.Add(link);
  if (!prepared) {
    *why = "the changed entries could not be prepared";
    return false;
  }
  std::vector<EntryReplacement> changed = replacements.Take();
  const size_t count = changed.size();

  // A failure of the new file has the system's reason, taken where it happens; any other is the
  // package's own.
  *why = String();
  Vadu::FileReplacement out(job.target);
  const bool copied =
      (out.IsOpen() || Vadu::RecordSystemFailure(why)) &&
      WritePackage(job.target, index, std::move(changed), [&](const char* data, uint64_t bytes) {
        return out.Write(data, bytes) || Vadu::RecordSystemFailure(why);
      });
  if (!copied && why->IsEmpty()) *why = "the package could not be read again";
  if (!copied || !out.Commit()) return Vadu::RecordSystemFailure(why);
  const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - started)
                                .count();
  const auto newName = renames.NewName(NormalEntryName(application.entry.name));
  Vadu::LogRecord(InfoSource(), "Package ")
      << job.target << " written anew: " << String::FromNumber(index.entries) << " entries, "
      << String::FromNumber(index.entries - count) << " copied as they were, the application "
      << application.entry.name
      << (newName ? String(" renamed to ") + *newName : String(" kept its name")) << " ("
      << String::FromNumber(*size) << " bytes), " << String::FromNumber(count - 1)
      << " other entries written anew, " << String::FromNumber(milliseconds) << " ms\n";
  return true;
}

bool ReadPackageBlock(const WString& package, String* payload) {
  String failure;
  const std::optional<PackageIndex> index = ReadPackage(package, WString(), &failure);
  std::optional<std::vector<String>> payloads;
  if (index) payloads = ReadCandidatePayloads(package, *index);
  if (!payloads) {
    Vadu::LogRecord(ErrorSource(), "Can't read the package ") << package << ": " << failure << "\n";
    ReportError(String("ERROR: can't unpack ") + Vadu::ToUtf8(package));
    return false;
  }
  std::vector<Vadu::SettingsMap> blocks(payloads->size());
  for (size_t k = 0; k < payloads->size(); ++k)
    if (!(*payloads)[k].IsEmpty() && !blocks[k].Load((*payloads)[k])) blocks[k].Clear();
  const std::optional<size_t> chosen = ChooseApplication(index->candidates, blocks);
  if (!chosen) {
    ReportError("ERROR: can't find zentu executable file");
    return false;
  }
  *payload = (*payloads)[*chosen];
  return true;
}

}  // namespace Zentu
