#include "src/steps/bundle_archive.h"

#include "src/log_tags.h"
#include "src/steps/bundle.h"
#include "support/date_time.h"
#include "support/file_system.h"
#include "support/gzip_file.h"
#include "support/log.h"
#include "support/system_error.h"
#include "support/tar_writer.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

// Where an entry of the image lies after the branding, relative to the working folder; empty for
// entries outside the bundle.
class BundleNames {
 public:
  explicit BundleNames(const RebrandJob& job) : executable_(job.imageExecutable) {
    oldBundle_ = executable_.Substring(0, executable_.Find(u"/"));
    newBundle_ = Vadu::GetFileName(BundleFolderOf(job));
    const WString inside = executable_.Substring(oldBundle_.Length());
    newExecutable_ = newBundle_ + inside.Substring(0, inside.ReverseFind(u"/") + 1) +
                     Vadu::GetFileName(job.workingPath);
  }

  WString NewName(const WString& path) const {
    if (oldBundle_.IsEmpty() || newBundle_.IsEmpty()) return WString();
    if (path == executable_) return newExecutable_;
    if (path == oldBundle_ || path.StartsWith(oldBundle_ + u"/"))
      return newBundle_ + path.Substring(oldBundle_.Length());
    return WString();
  }

 private:
  WString executable_, oldBundle_, newBundle_, newExecutable_;
};

Vadu::TarWriteEntry TarEntryOf(const ListedEntry& listed, const WString& name) {
  Vadu::TarWriteEntry entry;
  entry.name = Vadu::ToUtf8(name);
  entry.mtime = ListedTime(listed.modified);
  entry.mode = listed.mode;
  switch (listed.kind) {
    case ListedEntry::Kind::kFolder:
      entry.kind = Vadu::TarWriteEntry::Kind::kDirectory;
      entry.name += "/";
      if (!entry.mode) entry.mode = 0755;
      break;
    case ListedEntry::Kind::kLink:
      entry.kind = Vadu::TarWriteEntry::Kind::kSymbolicLink;
      entry.linkName = Vadu::ToUtf8(listed.link);
      if (!entry.mode) entry.mode = 0777;
      break;
    case ListedEntry::Kind::kFile:
      if (!entry.mode) entry.mode = 0644;
      break;
  }
  return entry;
}

// Appends a file's content, padded to whole blocks, to the archive.
bool AddContent(Vadu::GzipWriter& out, const Vadu::FileReader& file) {
  std::string buffer(1u << 20, '\0');
  for (uint64_t at = 0; at < file.Size();) {
    const uint32_t count =
        static_cast<uint32_t>(std::min<uint64_t>(buffer.size(), file.Size() - at));
    if (!file.ReadAt(at, buffer.data(), count) || !out.Add(buffer.data(), count)) return false;
    at += count;
  }
  return out.Add(Vadu::TarPadding(file.Size()));
}

}  // namespace

int64_t ListedTime(const WString& text) {
  const String t = Vadu::ToUtf8(text);
  if (t.Length() < 19 || t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != ':' || t[16] != ':')
    return 0;
  auto field = [&t](uint32_t at, uint32_t length) { return t.Substring(at, length).ToInt32(); };
  const Vadu::DateTime local(field(0, 4), field(5, 2), field(8, 2), field(11, 2), field(14, 2),
                             field(17, 2), 0);
  if (!local.IsValid()) return 0;
  // The tool shows local time; the archive holds UTC. The offset is today's, to the quarter hour.
  constexpr int64_t kQuarterHour = 15 * 60 * 1000;
  const int64_t offset =
      (Vadu::DateTime::NowLocal().Value() - Vadu::DateTime::NowUtc().Value() + kQuarterHour / 2) /
      kQuarterHour * kQuarterHour;
  const int64_t epoch = Vadu::DateTime(1970, 1, 1, 0, 0, 0, 0).Value();
  const int64_t seconds = (local.Value() - offset - epoch) / 1000;
  return seconds < 0 ? 0 : seconds;
}

bool WriteBundleArchive(const RebrandJob& job, const WString& archive, String* why) {
  // A failure to read a branded file or to write the archive: the system's reason, taken where it
  // happens.
  *why = String();
  const BundleNames names(job);
  Vadu::FileReplacement replacement(archive);
  if (!replacement.IsOpen()) return Vadu::RecordSystemFailure(why);
  Vadu::GzipWriter out(String(), [&](const char* data, uint64_t count) {
    return replacement.Write(data, count) || Vadu::RecordSystemFailure(why);
  });
  uint32_t entries = 0;
  for (const ListedEntry& listed : job.imageListing) {
    const WString name = names.NewName(listed.path);
    if (name.IsEmpty()) continue;
    Vadu::TarWriteEntry entry = TarEntryOf(listed, name);
    if (listed.kind != ListedEntry::Kind::kFile) {
      if (!out.Add(Vadu::TarHeadersFor(entry))) return Vadu::RecordSystemFailure(why);
      ++entries;
      continue;
    }
    // The branded content, which may have grown since the listing.
    const Vadu::FileReader file(Vadu::JoinPath(job.workingFolder, name));
    if (!file.IsOpen()) return Vadu::RecordSystemFailure(why);
    entry.size = file.Size();
    if (!out.Add(Vadu::TarHeadersFor(entry)) || !AddContent(out, file))
      return Vadu::RecordSystemFailure(why);
    ++entries;
  }
  if (entries == 0) {
    *why = "the image lists nothing of the bundle";
    return false;
  }
  if (!out.Add(Vadu::TarEnd()) || !out.End() || !replacement.Commit())
    return Vadu::RecordSystemFailure(why);
  Vadu::LogRecord(Vadu::LogSource(Vadu::LogInfo, kFrontEndLogTag), "Bundle archive ")
      << archive << " written: " << String::FromNumber(entries)
      << " entries from the image's listing\n";
  return true;
}

}  // namespace Zentu
