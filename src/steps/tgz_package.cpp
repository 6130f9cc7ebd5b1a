#include "src/steps/tgz_package.h"

#include <algorithm>
#include <map>
#include <memory>

#include "oem/resource_block.h"
#include "src/steps/bundle.h"
#include "support/file_system.h"
#include "support/gzip_file.h"
#include "support/parallel_deflate.h"
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
  // The deflate data is indexed when the package is to be written anew.
  const Vadu::GzipReading gzip = Vadu::InflateGzipFile(
      file, [&](const char* data, uint32_t count) { return tar.Feed(data, count); },
      extractInto.IsEmpty() ? nullptr : &index.deflate);
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
    // The application file, or the bundle of an executable, named after the product.
    const String name = NormalEntryName(candidates[k].stored.entry.name);
    const String root = BundleRootOf(name);
    const String word = ProductWordOf(blocks[k]);
    if (!word.IsEmpty() && LastComponent(root.IsEmpty() ? name : root) == word + ".app") return k;
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

namespace {

// The tar stream with the replacements made, from the original stream handed over in pieces.
class ReplacedStream {
 public:
  using Add = std::function<bool(const char* data, uint32_t count)>;
  ReplacedStream(const std::vector<EntryReplacement>& replacements, uint64_t position, Add add)
      : replacements_(replacements), position_(position), add_(std::move(add)) {}

  // Takes the original bytes that follow those taken before.
  bool Take(const char* data, uint32_t count) {
    const uint64_t end = position_ + count;
    bool ok = true;
    for (uint64_t at = position_; ok && at < end;) {
      // The bytes up to the next replacement are copied as they are.
      const EntryReplacement* replacement =
          next_ < replacements_.size() ? &replacements_[next_] : nullptr;
      const uint64_t from = replacement ? replacement->stored->entry.start : end;
      if (at < from) {
        const uint64_t stop = std::min(end, from);
        ok = add_(data + (at - position_), static_cast<uint32_t>(stop - at));
        at = stop;
        continue;
      }
      const uint64_t to = Covered(*replacement);
      if (at == from) ok = Emit(*replacement);
      at = std::min(to, end);
      if (at == to) ++next_;
    }
    position_ = end;
    return ok;
  }

  bool Done() const { return next_ == replacements_.size(); }
  uint64_t Position() const { return position_; }

  // What a replacement covers of the stream: the headers, and the data too when it brings new
  // data.
  static uint64_t Covered(const EntryReplacement& replacement) {
    const Vadu::TarEntry& entry = replacement.stored->entry;
    return replacement.data.IsEmpty() ? entry.data : entry.end;
  }

 private:
  // Puts a replacement's headers, and its new data with the padding, into the stream.
  bool Emit(const EntryReplacement& replacement) {
    if (!add_(replacement.headers.Data(), replacement.headers.Length())) return false;
    if (replacement.data.IsEmpty()) return true;
    const Vadu::FileReader data(replacement.data);
    if (!data.IsOpen()) return false;
    std::string buffer(1u << 20, '\0');
    for (uint64_t at = 0; at < data.Size();) {
      const uint32_t count =
          static_cast<uint32_t>(std::min<uint64_t>(buffer.size(), data.Size() - at));
      if (!data.ReadAt(at, buffer.data(), count) || !add_(buffer.data(), count)) return false;
      at += count;
    }
    const String padding = Vadu::TarPadding(data.Size());
    return add_(padding.Data(), padding.Length());
  }

  const std::vector<EntryReplacement>& replacements_;
  size_t next_ = 0;
  uint64_t position_;
  Add add_;
};

// The whole package compressed anew, every member read.
bool WriteWhole(const Vadu::FileReader& file, const PackageIndex& index,
                const std::vector<EntryReplacement>& replacements,
                const std::function<bool(const char*, uint64_t)>& output) {
  Vadu::GzipWriter out(index.gzipHeader, output);
  ReplacedStream stream(replacements, 0,
                        [&out](const char* data, uint32_t count) { return out.Add(data, count); });
  const Vadu::GzipReading read = Vadu::InflateGzipFile(
      file, [&stream](const char* data, uint32_t count) { return stream.Take(data, count); });
  return read.failure.IsEmpty() && stream.Position() == index.tarLength && stream.Done() &&
         out.End();
}

// The compressed data kept before and after the change; only the part between is compressed anew.
bool WriteSpliced(const Vadu::FileReader& file, const PackageIndex& index,
                  const std::vector<EntryReplacement>& replacements,
                  const Vadu::DeflateAccessPoint& start, const Vadu::DeflateBoundary* resume,
                  const std::function<bool(const char*, uint64_t)>& output) {
  const Vadu::GzipIndex& deflate = index.deflate;
  const uint64_t head = start.boundary.bit / 8;
  if (!output(index.gzipHeader.Data(), index.gzipHeader.Length()) ||
      !Vadu::CopyFileBits(file, index.gzipHeader.Length() * uint64_t{8}, head * 8, output))
    return false;
  unsigned char partial = 0;
  if (start.boundary.bit % 8 && !file.ReadAt(head, &partial, 1)) return false;

  Vadu::ParallelDeflater deflater(
      Vadu::ParallelDeflater::Format::kRawDeflate,
      [&output](const char* data, uint32_t count) { return output(data, count); });
  deflater.ContinueAfter(start.window, static_cast<int>(start.boundary.bit % 8), partial);
  ReplacedStream stream(
      replacements, start.boundary.offset,
      [&deflater](const char* data, uint32_t count) { return deflater.Add(data, count); });
  const uint64_t until = resume ? resume->offset : deflate.length;
  if (!Vadu::InflateFromAccessPoint(
          file, start, until - start.boundary.offset,
          [&stream](const char* data, uint32_t count) { return stream.Take(data, count); }) ||
      !stream.Done() || !deflater.End(/*final=*/resume == nullptr))
    return false;

  // The original blocks from the boundary on, and the data's CRC-32 and length put together.
  uint32_t crc = Vadu::Crc32Combine(start.boundary.crc, deflater.Crc32(), deflater.InputLength());
  uint64_t length = start.boundary.offset + deflater.InputLength();
  if (resume) {
    const uint64_t rest = deflate.length - resume->offset;
    if (!Vadu::CopyFileBits(file, resume->bit, deflate.dataEndBit, output)) return false;
    crc = Vadu::Crc32Combine(crc, Vadu::Crc32OfRest(deflate.crc, resume->crc, rest), rest);
    length += rest;
  }
  const String trailer = Vadu::GzipTrailer(crc, length);
  return output(trailer.Data(), trailer.Length());
}

}  // namespace

bool WritePackage(const WString& path, const PackageIndex& index,
                  std::vector<EntryReplacement> replacements,
                  const std::function<bool(const char*, uint64_t)>& output) {
  std::sort(replacements.begin(), replacements.end(),
            [](const EntryReplacement& a, const EntryReplacement& b) {
              return a.stored->entry.start < b.stored->entry.start;
            });
  const Vadu::FileReader file(path);
  if (!file.IsOpen()) return false;
  const Vadu::GzipIndex& deflate = index.deflate;
  if (!deflate.usable || replacements.empty() || deflate.length != index.tarLength)
    return WriteWhole(file, index, replacements, output);

  // Compressed anew: from the last access point before the first change to the first boundary
  // that leaves a whole window of unchanged data after the last change and lies on a byte
  // boundary. The new data ends on one (a sync flush), so the blocks after it keep their place in
  // the byte: a stored block, padded to a whole byte, would not survive a shift.
  const uint64_t first = replacements.front().stored->entry.start;
  uint64_t last = 0;
  for (const EntryReplacement& replacement : replacements)
    last = std::max(last, ReplacedStream::Covered(replacement));
  const Vadu::DeflateAccessPoint* start = &deflate.accessPoints.front();
  for (const Vadu::DeflateAccessPoint& point : deflate.accessPoints)
    if (point.boundary.offset <= first) start = &point;
  const Vadu::DeflateBoundary* resume = nullptr;
  constexpr uint64_t kWindow = 32 * 1024;
  for (const Vadu::DeflateBoundary& boundary : deflate.boundaries) {
    if (boundary.offset >= last + kWindow && boundary.offset > start->boundary.offset &&
        boundary.bit % 8 == 0) {
      resume = &boundary;
      break;
    }
  }
  return WriteSpliced(file, index, replacements, *start, resume, output);
}

}  // namespace Zentu
