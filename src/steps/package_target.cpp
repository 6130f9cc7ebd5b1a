#include "src/steps/package_target.h"

#include <chrono>
#include <vector>

#include "oem/resource_block.h"
#include "src/log_tags.h"
#include "src/print_line.h"
#include "src/steps/bundle.h"
#include "support/file_system.h"
#include "support/log.h"
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

// The entry a relative symbolic link stored at `link` names, as NormalEntryName gives names;
// nothing when it climbs above the top of the archive.
std::optional<String> ResolveRelativeLink(const String& link, const String& target) {
  std::vector<String> parts;
  for (const String& part : (FolderPart(NormalEntryName(link)) + target).Split("/")) {
    if (part.IsEmpty() || part == ".") continue;
    if (part == "..") {
      if (parts.empty()) return std::nullopt;
      parts.pop_back();
    } else {
      parts.push_back(part);
    }
  }
  String resolved;
  for (const String& part : parts) resolved += (resolved.IsEmpty() ? "" : "/") + part;
  return resolved;
}

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

void RemoveExtracted(const PackageIndex& index) {
  for (const ApplicationCandidate& candidate : index.candidates)
    if (!candidate.extracted.IsEmpty()) Vadu::RemoveFile(candidate.extracted);
}

// The replacements for the links that point at the application, renamed from `oldName` to
// `newName`: hard links by their archive name, relative symbolic links by what they resolve to.
// Symbolic links by an absolute path that may name it are left, with a warning.
std::vector<EntryReplacement> FollowingLinks(const PackageIndex& index, const String& oldName,
                                             const String& newName) {
  std::vector<EntryReplacement> replacements;
  const String application = NormalEntryName(oldName);
  const String oldFile = LastComponent(application), newFile = LastComponent(newName);
  for (const PackageEntry& link : index.links) {
    const String& target = link.entry.linkName;
    std::optional<String> newTarget;
    if (link.entry.IsHardLink()) {
      if (NormalEntryName(target) == application) newTarget = newName;
    } else if (target.StartsWith("/")) {
      if (LastComponent(NormalEntryName(target)) == oldFile)
        PrintLine(String("WARNING: the link ") + Printable(link.entry.name) + " points at " +
                  Printable(target) + ", which may be the application; it is left as it was");
    } else if (ResolveRelativeLink(link.entry.name, target) == application) {
      if (LastComponent(target) == oldFile)
        newTarget = FolderPart(target) + newFile;
      else
        PrintLine(String("WARNING: the link ") + Printable(link.entry.name) + " points at " +
                  Printable(target) + ", the application; it is left as it was");
    }
    if (!newTarget) continue;
    Vadu::TarEntryChange change;
    change.linkName = *newTarget;
    if (std::optional<String> headers = Vadu::RewriteTarHeaders(link.headers, change))
      replacements.push_back({&link, *headers, WString()});
  }
  return replacements;
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
  if (!chosen) {
    RemoveExtracted(*index);
    return PackageOpening::kNoApplication;
  }
  const ApplicationCandidate& application = index->candidates[*chosen];
  const String name = NormalEntryName(application.stored.entry.name);
  if (name.Contains("Contents") || name.Contains("MacOS")) {
    RemoveExtracted(*index);
    return PackageOpening::kBundle;
  }
  if (application.stored.entry.sparse) {
    Vadu::LogRecord(ErrorSource(), "The application of the package ")
        << job.target << " is a sparse file\n";
    RemoveExtracted(*index);
    return PackageOpening::kUnreadable;
  }
  // Only the application's copy stays in the run folder.
  for (size_t k = 0; k < index->candidates.size(); ++k)
    if (k != *chosen && !index->candidates[k].extracted.IsEmpty())
      Vadu::RemoveFile(index->candidates[k].extracted);
  job.workingPath = application.extracted;
  job.kind = TargetKind::kAppFile;
  const String file = LastComponent(name);
  if (blocks[*chosen].HasEntries() && file.EndsWith(kAppSuffix) && file.Length() > 4)
    job.productWord = Vadu::FromUtf8(file.Substring(0, file.Length() - 4));
  job.application = *chosen;
  job.package = std::move(index);
  return PackageOpening::kReady;
}

namespace {

// The application's name in the package after branding.
String NewApplicationName(const RebrandJob& job) {
  const String& name = job.package->candidates[job.application].stored.entry.name;
  return FolderPart(name) + Vadu::ToUtf8(job.productWord) + kAppSuffix;
}

}  // namespace

bool PackageNameFree(const RebrandJob& job) {
  const String& oldName = job.package->candidates[job.application].stored.entry.name;
  const String newName = NormalEntryName(NewApplicationName(job));
  if (newName == NormalEntryName(oldName) || !job.package->names.count(newName)) return true;
  PrintLine(String("ERROR: can't rename ") + Printable(LastComponent(oldName)) + " to " +
            Printable(LastComponent(newName)) + ": the name is taken");
  return false;
}

bool WritePackageTarget(const RebrandJob& job) {
  const auto started = std::chrono::steady_clock::now();
  const PackageIndex& index = *job.package;
  const PackageEntry& application = index.candidates[job.application].stored;
  const String oldName = application.entry.name;
  const String newName = NewApplicationName(job);
  const bool renamed = NormalEntryName(newName) != NormalEntryName(oldName);
  const int64_t size = Vadu::FileSizeOf(job.workingPath);
  Vadu::TarEntryChange change;
  if (renamed) change.name = newName;
  change.size = static_cast<uint64_t>(size);
  const std::optional<String> headers = Vadu::RewriteTarHeaders(application.headers, change);
  if (size < 0 || !headers) return false;
  std::vector<EntryReplacement> replacements{{&application, *headers, job.workingPath}};
  if (renamed) {
    for (EntryReplacement& link : FollowingLinks(index, oldName, newName))
      replacements.push_back(std::move(link));
  }

  Vadu::FileReplacement out(job.target);
  const size_t changed = replacements.size();
  if (!out.IsOpen() ||
      !WritePackage(job.target, index, std::move(replacements),
                    [&out](const char* data, uint64_t count) { return out.Write(data, count); }) ||
      !out.Commit())
    return false;
  const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - started)
                                .count();
  Vadu::LogRecord(InfoSource(), "Package ")
      << job.target << " written anew: " << String::FromNumber(index.entries) << " entries, "
      << String::FromNumber(index.entries - changed) << " copied as they were, the application "
      << oldName << (renamed ? String(" renamed to ") + newName : String(" kept its name")) << " ("
      << String::FromNumber(size) << " bytes), " << String::FromNumber(changed - 1)
      << " links following it, " << String::FromNumber(milliseconds) << " ms\n";
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
