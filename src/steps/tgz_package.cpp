#include "src/steps/tgz_package.h"

#include <algorithm>
#include <map>
#include <memory>

#include "oem/resource_block.h"
#include "src/steps/bundle.h"
#include "support/file_system.h"
#include "support/gzip_file.h"
#include "support/tar_format.h"
#include "support/tar_writer.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

// A name that may be the application's, as the applications of archives have always been found.
bool IsApplicationName(const String& name) {
  return name.Contains(".app") && (name.Contains("MacOS") || !name.Contains("Contents"));
}

// The last component of an entry name.
String LastComponent(const String& name) {
  const uint32_t slash = name.ReverseFind('/');
  return slash == String::npos ? name : name.Substring(slash + 1);
}

// Keeps the last bytes of a stream that arrives in pieces.
void KeepTail(String& tail, const char* data, uint32_t count) {
  const uint32_t keep = kBlockSearchSpan;
  if (count >= keep) {
    tail = String(data + count - keep, keep);
    return;
  }
  tail.Append(data, count);
  if (tail.Length() > keep) tail = tail.Substring(tail.Length() - keep);
}

// A property list of a bundle, which the branding rewrites.
bool IsPropertyListName(const String& name) {
  const String file = LastComponent(name);
  return name.Contains(".app/") && (file == "Info.plist" || file == "version.plist");
}

// True when the entry lies in a bundle (a folder whose name ends in ".app"), or is one.
bool InBundle(const Vadu::TarEntry& entry, const String& name) {
  return !BundleRootOf(name).IsEmpty() ||
         (entry.type == Vadu::TarType::kDirectory && LastComponent(name).EndsWith(".app"));
}

// The first pass: indexes the entries and extracts, as they stream by, the data of the
// candidates and of the bundles' property lists.
class Indexer {
 public:
  Indexer(PackageIndex& index, const WString& extractInto)
      : index_(index), extractInto_(extractInto) {}

  bool OnEntry(const Vadu::TarEntry& entry, const String& headers) {
    ++index_.entries;
    const String name = NormalEntryName(entry.name);
    index_.names.insert(name);
    // A later entry of the same name takes the place of an earlier one, as on extraction.
    if (auto earlier = live_.find(name); earlier != live_.end()) {
      ApplicationCandidate& replaced = index_.candidates[earlier->second];
      if (!replaced.extracted.IsEmpty()) Vadu::RemoveFile(replaced.extracted);
      superseded_.push_back(earlier->second);
      live_.erase(earlier);
    }
    if (entry.IsHardLink() || entry.IsSymbolicLink()) index_.links.push_back({entry, headers});
    if (InBundle(entry, name)) index_.inBundles.push_back({entry, headers});
    tail_ = nullptr;
    if (!entry.IsRegularFile()) return true;
    if (IsApplicationName(name)) {
      live_[name] = index_.candidates.size();
      ApplicationCandidate& candidate = index_.candidates.emplace_back();
      candidate.stored = {entry, headers};
      tail_ = &candidate.tail;
      if (entry.sparse) return true;
      return Extract(entry, u"application-", &candidate.extracted);
    }
    if (IsPropertyListName(name) && !entry.sparse)
      return Extract(entry, u"plist-", &index_.propertyLists[name]);
    return true;
  }

  bool OnData(const Vadu::TarEntry& entry, const char* data, uint32_t count) {
    if (entry.header != current_) return true;
    if (tail_) KeepTail(*tail_, data, count);
    if (!out_) return true;
    written_ += count;
    if (!out_->Write(data, count)) return !(outputFailed_ = true);
    return written_ < entry.size || CloseOutput();
  }

  // Drops the candidates that later entries replaced.
  void Finish() {
    std::sort(superseded_.begin(), superseded_.end());
    for (auto k = superseded_.rbegin(); k != superseded_.rend(); ++k)
      index_.candidates.erase(index_.candidates.begin() + static_cast<ptrdiff_t>(*k));
  }

  bool OutputFailed() const { return outputFailed_; }

 private:
  // Starts writing the entry's data into the extraction folder under a name of our own.
  bool Extract(const Vadu::TarEntry& entry, const char16_t* prefix, WString* path) {
    current_ = entry.header;
    if (extractInto_.IsEmpty()) return true;
    *path = Vadu::JoinPath(extractInto_, prefix + WString::FromNumber(++extracted_));
    out_ = std::make_unique<Vadu::FileReplacement>(*path);
    written_ = 0;
    if (!out_->IsOpen()) return !(outputFailed_ = true);
    return entry.size > 0 || CloseOutput();
  }

  bool CloseOutput() {
    const bool committed = out_->Commit();
    out_.reset();
    outputFailed_ = !committed;
    return committed;
  }

  PackageIndex& index_;
  const WString extractInto_;
  std::map<String, size_t> live_;  // candidates by name
  std::vector<size_t> superseded_;
  uint64_t current_ = UINT64_MAX;  // the header of the entry whose data is kept
  String* tail_ = nullptr;         // where the last bytes of its data go
  std::unique_ptr<Vadu::FileReplacement> out_;
  uint64_t written_ = 0;
  uint32_t extracted_ = 0;
  bool outputFailed_ = false;
};

}  // namespace

String BundleRootOf(const String& name) {
  uint32_t at = 0;
  for (;;) {
    const uint32_t slash = name.Find('/', at);
    if (slash == String::npos) return String();
    if (name.Substring(0, slash).EndsWith(".app")) return name.Substring(0, slash);
    at = slash + 1;
  }
}

String NormalEntryName(const String& name) {
  String normal = name;
  while (normal.Contains("//")) normal = normal.ReplaceAll("//", "/");
  while (normal.StartsWith("./")) normal = normal.Substring(2);
  while (normal.Length() > 1 && normal.EndsWith("/"))
    normal = normal.Substring(0, normal.Length() - 1);
  return normal;
}

std::optional<PackageIndex> ReadPackage(const WString& path, const WString& extractInto,
                                        String* failure) {
  const Vadu::FileReader file(path);
  if (!file.IsOpen()) {
    *failure = "can't open the package";
    return std::nullopt;
  }
  PackageIndex index;
  Indexer indexer(index, extractInto);
  Vadu::TarReader tar([&](const Vadu::TarEntry& entry,
                          const String& headers) { return indexer.OnEntry(entry, headers); },
                      [&](const Vadu::TarEntry& entry, const char* data, uint32_t count) {
                        return indexer.OnData(entry, data, count);
                      });
  const Vadu::GzipReading gzip = Vadu::InflateGzipFile(
      file, [&](const char* data, uint32_t count) { return tar.Feed(data, count); });
  indexer.Finish();
  if (indexer.OutputFailed()) {
    *failure = "can't write the application into the run folder";
  } else if (!tar.Failure().IsEmpty() || !tar.Finish()) {
    *failure = String("tar: ") + tar.Failure();
  } else if (!gzip.failure.IsEmpty()) {
    *failure = String("gzip: ") + gzip.failure;
  } else {
    index.gzipHeader = gzip.firstHeader;
    index.members = gzip.members;
    index.tarLength = gzip.inflated;
    return index;
  }
  RemoveExtracted(index);
  return std::nullopt;
}

void RemoveExtracted(const PackageIndex& index) {
  for (const ApplicationCandidate& candidate : index.candidates)
    if (!candidate.extracted.IsEmpty()) Vadu::RemoveFile(candidate.extracted);
  for (const auto& [name, path] : index.propertyLists)
    if (!path.IsEmpty()) Vadu::RemoveFile(path);
}

std::optional<std::vector<String>> ReadCandidatePayloads(const WString& path,
                                                         const PackageIndex& index) {
  // Where each payload lies in the tar stream; candidates come in archive order, so do these.
  struct Range {
    size_t candidate;
    uint64_t start, length;
  };
  std::vector<Range> ranges;
  for (size_t k = 0; k < index.candidates.size(); ++k) {
    const ApplicationCandidate& candidate = index.candidates[k];
    const Vadu::TarEntry& entry = candidate.stored.entry;
    if (entry.sparse) continue;
    if (const std::optional<BlockSpan> block = FindBlockAtEnd(entry.size, candidate.tail))
      ranges.push_back({k, entry.data + block->offset, block->length});
  }
  std::vector<String> payloads(index.candidates.size());
  if (ranges.empty()) return payloads;
  const Vadu::FileReader file(path);
  if (!file.IsOpen()) return std::nullopt;
  uint64_t position = 0;
  size_t next = 0;
  const Vadu::GzipReading gzip = Vadu::InflateGzipFile(file, [&](const char* data, uint32_t count) {
    const uint64_t end = position + count;
    while (next < ranges.size() && ranges[next].start < end) {
      const Range& range = ranges[next];
      const uint64_t from = std::max(range.start, position);
      const uint64_t to = std::min(range.start + range.length, end);
      if (from < to)
        payloads[range.candidate].Append(data + (from - position),
                                         static_cast<uint32_t>(to - from));
      if (range.start + range.length > end) break;
      ++next;
    }
    position = end;
    return next < ranges.size();  // nothing more to read once every payload is in
  });
  if (next < ranges.size()) return std::nullopt;
  (void)gzip;
  return payloads;
}

std::optional<size_t> ChooseApplication(const std::vector<ApplicationCandidate>& candidates,
                                        const std::vector<Vadu::SettingsMap>& blocks) {
  std::vector<size_t> carriers;
  for (size_t k = 0; k < candidates.size(); ++k)
    if (k < blocks.size() && blocks[k].HasEntries()) carriers.push_back(k);
  if (carriers.size() == 1) return carriers[0];
  for (size_t k : carriers) {
    const String word = ProductWordOf(blocks[k]);
    if (!word.IsEmpty() &&
        LastComponent(NormalEntryName(candidates[k].stored.entry.name)) == word + ".app")
      return k;
  }
  std::vector<size_t> pool = carriers;
  if (pool.empty())
    for (size_t k = 0; k < candidates.size(); ++k) pool.push_back(k);
  if (pool.empty()) return std::nullopt;
  // The stock name wins over other applications that came first (a helper beside it).
  for (size_t k : pool)
    for (const String& component : NormalEntryName(candidates[k].stored.entry.name).Split("/"))
      if (component == "zentu.app") return k;
  return pool.front();
}

bool WritePackage(const WString& path, const PackageIndex& index,
                  std::vector<EntryReplacement> replacements,
                  const std::function<bool(const char*, uint64_t)>& output) {
  std::sort(replacements.begin(), replacements.end(),
            [](const EntryReplacement& a, const EntryReplacement& b) {
              return a.stored->entry.start < b.stored->entry.start;
            });
  const Vadu::FileReader file(path);
  if (!file.IsOpen()) return false;
  Vadu::GzipWriter out(index.gzipHeader, output);

  // Puts a replacement's headers, and its new data with the padding, into the stream.
  auto emit = [&out](const EntryReplacement& replacement) {
    if (!out.Add(replacement.headers)) return false;
    if (replacement.data.IsEmpty()) return true;
    const Vadu::FileReader data(replacement.data);
    if (!data.IsOpen()) return false;
    std::string buffer(1u << 20, '\0');
    for (uint64_t at = 0; at < data.Size();) {
      const uint32_t count =
          static_cast<uint32_t>(std::min<uint64_t>(buffer.size(), data.Size() - at));
      if (!data.ReadAt(at, buffer.data(), count) || !out.Add(buffer.data(), count)) return false;
      at += count;
    }
    return out.Add(Vadu::TarPadding(data.Size()));
  };

  uint64_t position = 0;
  size_t next = 0;
  bool ok = true;
  const Vadu::GzipReading read = Vadu::InflateGzipFile(file, [&](const char* data, uint32_t count) {
    const uint64_t end = position + count;
    for (uint64_t at = position; ok && at < end;) {
      // The bytes up to the next replacement are copied as they are.
      const EntryReplacement* replacement =
          next < replacements.size() ? &replacements[next] : nullptr;
      const uint64_t from = replacement ? replacement->stored->entry.start : end;
      if (at < from) {
        const uint64_t stop = std::min(end, from);
        ok = out.Add(data + (at - position), static_cast<uint32_t>(stop - at));
        at = stop;
        continue;
      }
      // What a replacement covers: the headers, and the data too when it brings new data.
      const Vadu::TarEntry& entry = replacement->stored->entry;
      const uint64_t to = replacement->data.IsEmpty() ? entry.data : entry.end;
      if (at == from) ok = emit(*replacement);
      at = std::min(to, end);
      if (at == to) ++next;
    }
    position = end;
    return ok;
  });
  return ok && read.failure.IsEmpty() && position == index.tarLength &&
         next == replacements.size() && out.End();
}

}  // namespace Zentu
