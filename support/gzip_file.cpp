#include "support/gzip_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace Vadu {

namespace {

constexpr unsigned char kMagic1 = 0x1F, kMagic2 = 0x8B, kDeflate = 8;
constexpr unsigned char kFlagHeaderCrc = 0x02, kFlagExtra = 0x04, kFlagName = 0x08,
                        kFlagComment = 0x10, kFlagsReserved = 0xE0;
constexpr uint32_t kFixedHeader = 10, kTrailerSize = 8;
constexpr uint32_t kInputStep = 256 * 1024, kOutputStep = 256 * 1024;

uint32_t ReadU32(const unsigned char* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Bytes held in memory, read as a file is.
class StringSource {
 public:
  explicit StringSource(const String& bytes) : bytes_(bytes) {}
  uint64_t Size() const { return bytes_.Length(); }
  bool ReadAt(uint64_t offset, void* out, uint32_t count) const {
    if (offset > Size() || count > Size() - offset) return false;
    if (count) std::memcpy(out, bytes_.Data() + offset, count);
    return true;
  }

 private:
  const String& bytes_;
};

// The member header at `at`, read with as few reads as its length needs; nothing when there is
// none (`why` says so).
template <class Source>
std::optional<String> ReadHeaderAt(const Source& file, uint64_t at, String* why) {
  uint64_t want = 4096;
  for (;;) {
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(want, file.Size() - at));
    String bytes;
    bytes.Resize(count);
    if (count && !file.ReadAt(at, bytes.MutableData(), count)) {
      *why = "read error";
      return std::nullopt;
    }
    const std::optional<uint32_t> length = GzipHeaderLength(bytes);
    if (!length) {
      *why = "not a gzip member";
      return std::nullopt;
    }
    if (*length > 0) return bytes.Substring(0, *length);
    if (count < want || want > kMaxGzipHeader) {
      *why = count < want ? "gzip header cut short" : "gzip header too long";
      return std::nullopt;
    }
    want *= 4;
  }
}

// Inflates the raw deflate data of one member from `at` into `sink`; where the data ended, its
// CRC-32 and length. False when it is malformed or cut short.
struct MemberData {
  uint64_t end = 0;
  uint32_t crc = 0;
  uint64_t length = 0;
};

// Indexes a member's deflate data while it is inflated: the block boundaries, and access points
// with the window before them.
class DeflateIndexer {
 public:
  DeflateIndexer(GzipIndex& index, uint64_t dataStart) : index_(index) {
    index_ = GzipIndex();
    index_.boundaries.push_back({dataStart * 8, 0, 0});
    index_.accessPoints.push_back({index_.boundaries.back(), std::string()});
  }

  // Takes the next bytes of output, keeping the last 32 KiB.
  void Take(const unsigned char* data, uint32_t produced) {
    const uint32_t keep = std::min<uint32_t>(produced, kWindowSize);
    window_.append(reinterpret_cast<const char*>(data) + produced - keep, keep);
    if (window_.size() > kWindowSize) window_.erase(0, window_.size() - kWindowSize);
  }

  // A block ended at `bit` after `offset` bytes of data with CRC-32 `crc`.
  void Boundary(uint64_t bit, uint64_t offset, uint32_t crc) {
    index_.boundaries.push_back({bit, offset, crc});
    if (offset - index_.accessPoints.back().boundary.offset < spacing_) return;
    index_.accessPoints.push_back({index_.boundaries.back(), window_});
    if (index_.accessPoints.size() <= GzipIndex::kMaxAccessPoints) return;
    // Twice as far apart from now on: every other point goes.
    std::vector<DeflateAccessPoint> kept;
    for (size_t k = 0; k < index_.accessPoints.size(); k += 2)
      kept.push_back(std::move(index_.accessPoints[k]));
    index_.accessPoints = std::move(kept);
    spacing_ *= 2;
  }

  void End(uint64_t bit, uint32_t crc, uint64_t length) {
    index_.dataEndBit = bit;
    index_.crc = crc;
    index_.length = length;
    index_.usable = true;
  }

 private:
  static constexpr uint32_t kWindowSize = 32 * 1024;
  GzipIndex& index_;
  std::string window_;
  uint64_t spacing_ = GzipIndex::kAccessSpacing;
};

template <class Source>
bool InflateMember(const Source& file, uint64_t at, const InflateSink& sink, MemberData* member,
                   String* why, DeflateIndexer* indexer = nullptr) {
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) {
    *why = "no memory";
    return false;
  }
  std::vector<unsigned char> input(kInputStep), output(kOutputStep);
  uint64_t next = at;
  uint32_t crc = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (stream.avail_in == 0) {
      const uint32_t count =
          static_cast<uint32_t>(std::min<uint64_t>(kInputStep, file.Size() - next));
      if (count == 0) {
        *why = "gzip data cut short";
        break;
      }
      if (!file.ReadAt(next, input.data(), count)) {
        *why = "read error";
        break;
      }
      next += count;
      stream.next_in = input.data();
      stream.avail_in = count;
    }
    stream.next_out = output.data();
    stream.avail_out = kOutputStep;
    // Indexing stops at every block boundary.
    rc = inflate(&stream, indexer ? Z_BLOCK : Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) {
      *why = "malformed deflate data";
      break;
    }
    const uint32_t produced = kOutputStep - stream.avail_out;
    if (produced > 0) {
      crc = static_cast<uint32_t>(crc32(crc, output.data(), produced));
      member->length += produced;
      if (indexer) indexer->Take(output.data(), produced);
      if (!sink(reinterpret_cast<const char*>(output.data()), produced)) {
        *why = "stopped";
        break;
      }
    }
    // After a block's end code, and not at the end of the last block.
    if (indexer && rc == Z_OK && (stream.data_type & 128) && !(stream.data_type & 64))
      indexer->Boundary((next - stream.avail_in) * 8 - (stream.data_type & 7), member->length, crc);
  }
  const uint64_t endBit = (next - stream.avail_in) * 8 - (stream.data_type & 7);
  inflateEnd(&stream);
  if (rc != Z_STREAM_END || !why->IsEmpty()) return false;
  member->end = next - stream.avail_in;
  member->crc = crc;
  if (indexer) indexer->End(endBit, crc, member->length);
  return true;
}

// True when the file holds only zero bytes from `at` to its end.
template <class Source>
bool OnlyZerosFrom(const Source& file, uint64_t at) {
  std::vector<unsigned char> buffer(kInputStep);
  while (at < file.Size()) {
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kInputStep, file.Size() - at));
    if (!file.ReadAt(at, buffer.data(), count)) return false;
    if (std::any_of(buffer.begin(), buffer.begin() + count, [](unsigned char b) { return b != 0; }))
      return false;
    at += count;
  }
  return true;
}

template <class Source>
GzipReading InflateGzipFrom(const Source& file, const InflateSink& sink, GzipIndex* index) {
  GzipReading reading;
  uint64_t at = 0;
  do {
    const std::optional<String> header = ReadHeaderAt(file, at, &reading.failure);
    if (!header) break;
    if (reading.members == 0) reading.firstHeader = *header;
    MemberData member;
    // Only a file of one member is indexed: a second one makes the index unusable.
    std::optional<DeflateIndexer> indexer;
    if (index) {
      if (reading.members == 0)
        indexer.emplace(*index, at + header->Length());
      else
        *index = GzipIndex();
    }
    const bool inflated = InflateMember(file, at + header->Length(), sink, &member,
                                        &reading.failure, indexer ? &*indexer : nullptr);
    reading.inflated += member.length;
    if (!inflated) break;
    unsigned char trailer[kTrailerSize];
    if (file.Size() - member.end < kTrailerSize) {
      reading.failure = "gzip trailer cut short";
      break;
    }
    if (!file.ReadAt(member.end, trailer, kTrailerSize)) {
      reading.failure = "read error";
      break;
    }
    if (ReadU32(trailer) != member.crc ||
        ReadU32(trailer + 4) != static_cast<uint32_t>(member.length)) {
      reading.failure = "gzip checksum or length does not match the data";
      break;
    }
    ++reading.members;
    at = member.end + kTrailerSize;
    // Another member follows, or the file ends (zero bytes a tape writer padded with may follow).
    unsigned char magic = 0;
    if (at < file.Size() && !file.ReadAt(at, &magic, 1)) {
      reading.failure = "read error";
      break;
    }
    if (at < file.Size() && magic != kMagic1 && !OnlyZerosFrom(file, at)) {
      reading.failure = "bytes after the last gzip member";
      break;
    }
    if (at < file.Size() && magic != kMagic1) at = file.Size();
  } while (at < file.Size());
  if (reading.members == 0 && reading.failure.IsEmpty()) reading.failure = "not a gzip file";
  if (!reading.failure.IsEmpty()) reading.failure += " at byte " + String::FromNumber(at);
  return reading;
}

}  // namespace

std::optional<uint32_t> GzipHeaderLength(const String& bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.Data());
  const uint32_t size = bytes.Length();
  if (size >= 1 && p[0] != kMagic1) return std::nullopt;
  if (size >= 2 && p[1] != kMagic2) return std::nullopt;
  if (size >= 3 && p[2] != kDeflate) return std::nullopt;
  if (size >= 4 && (p[3] & kFlagsReserved)) return std::nullopt;
  if (size < kFixedHeader) return 0u;
  const unsigned char flags = p[3];
  uint32_t at = kFixedHeader;
  if (flags & kFlagExtra) {
    if (size < at + 2) return 0u;
    at += 2 + (uint32_t{p[at]} | uint32_t{p[at + 1]} << 8);
  }
  for (unsigned char flag : {kFlagName, kFlagComment}) {
    if (!(flags & flag)) continue;
    while (at < size && p[at] != 0) ++at;
    if (at >= size) return 0u;
    ++at;
  }
  if (flags & kFlagHeaderCrc) {
    if (size < at + 2) return 0u;
    const uint32_t crc = static_cast<uint32_t>(crc32(0, p, at)) & 0xFFFF;
    if (crc != (uint32_t{p[at]} | uint32_t{p[at + 1]} << 8)) return std::nullopt;
    at += 2;
  }
  if (size < at) return 0u;
  return at;
}

String GzipTrailer(uint32_t crc, uint64_t length) {
  char bytes[kTrailerSize];
  const uint32_t size = static_cast<uint32_t>(length);
  for (int k = 0; k < 4; ++k) {
    bytes[k] = static_cast<char>(crc >> (8 * k));
    bytes[4 + k] = static_cast<char>(size >> (8 * k));
  }
  return String(bytes, kTrailerSize);
}

GzipWriter::GzipWriter(const String& header, Output output) : output_(std::move(output)) {
  // ID1 ID2, deflate, no flags, no time, default compression, Unix.
  static const char kPlainHeader[] = "\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03";
  const String stored = header.IsEmpty() ? String(kPlainHeader, kFixedHeader) : header;
  ok_ = output_(stored.Data(), stored.Length());
  deflater_ = std::make_unique<ParallelDeflater>(
      ParallelDeflater::Format::kRawDeflate,
      [this](const char* data, uint32_t count) { return output_(data, count); });
}

GzipWriter::~GzipWriter() = default;

bool GzipWriter::Add(const char* data, uint32_t count) {
  ok_ = ok_ && deflater_->Add(data, count);
  length_ += count;
  return ok_;
}

bool GzipWriter::End() {
  if (!ok_ || !deflater_->End()) return ok_ = false;
  const String trailer = GzipTrailer(deflater_->Crc32(), deflater_->InputLength());
  return ok_ = output_(trailer.Data(), trailer.Length());
}

GzipReading InflateGzipFile(const FileReader& file, const InflateSink& sink, GzipIndex* index) {
  GzipReading reading = InflateGzipFrom(file, sink, index);
  if (index && !reading.failure.IsEmpty()) *index = GzipIndex();
  return reading;
}

GzipReading InflateGzipBytes(const String& bytes, const InflateSink& sink) {
  return InflateGzipFrom(StringSource(bytes), sink, nullptr);
}

bool InflateFromAccessPoint(const FileReader& file, const DeflateAccessPoint& point,
                            uint64_t length, const InflateSink& sink) {
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) return false;
  // The bits of the boundary's byte that follow it start the next block.
  uint64_t next = point.boundary.bit / 8;
  const int used = static_cast<int>(point.boundary.bit % 8);
  bool ok = true;
  if (used) {
    unsigned char byte = 0;
    ok = file.ReadAt(next++, &byte, 1) && inflatePrime(&stream, 8 - used, byte >> used) == Z_OK;
  }
  if (ok && !point.window.empty())
    ok = inflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(point.window.data()),
                              static_cast<uInt>(point.window.size())) == Z_OK;
  std::vector<unsigned char> input(kInputStep), output(kOutputStep);
  while (ok && length > 0) {
    if (stream.avail_in == 0) {
      const uint32_t count =
          static_cast<uint32_t>(std::min<uint64_t>(kInputStep, file.Size() - next));
      ok = count > 0 && file.ReadAt(next, input.data(), count);
      next += count;
      stream.next_in = input.data();
      stream.avail_in = count;
      if (!ok) break;
    }
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(std::min<uint64_t>(kOutputStep, length));
    const uInt room = stream.avail_out;
    const int rc = inflate(&stream, Z_NO_FLUSH);
    const uint32_t produced = room - stream.avail_out;
    ok = (rc == Z_OK || (rc == Z_STREAM_END && produced == length)) &&
         (produced == 0 || sink(reinterpret_cast<const char*>(output.data()), produced));
    length -= produced;
  }
  inflateEnd(&stream);
  return ok && length == 0;
}

bool CopyFileBits(const FileReader& file, uint64_t from, uint64_t to,
                  const std::function<bool(const char* data, uint64_t count)>& output) {
  const int shift = static_cast<int>(from % 8);
  std::vector<unsigned char> input(kInputStep + 1);
  std::vector<char> out(kInputStep);
  for (uint64_t bit = from; bit < to;) {
    // Whole output bytes from here, the last one possibly short.
    const uint64_t bits = std::min<uint64_t>(to - bit, uint64_t{kInputStep} * 8);
    const uint32_t bytes = static_cast<uint32_t>((bits + 7) / 8);
    const uint64_t first = bit / 8;
    const uint32_t need = static_cast<uint32_t>(std::min<uint64_t>(bytes + 1, file.Size() - first));
    if (need < (bits + shift + 7) / 8 || !file.ReadAt(first, input.data(), need)) return false;
    for (uint32_t k = 0; k < bytes; ++k) {
      const unsigned high = k + 1 < need ? input[k + 1] : 0;
      out[k] = static_cast<char>(shift ? (input[k] >> shift) | (high << (8 - shift)) : input[k]);
    }
    if (bits % 8) out[bytes - 1] = static_cast<char>(out[bytes - 1] & ((1 << (bits % 8)) - 1));
    if (!output(out.data(), bytes)) return false;
    bit += bits;
  }
  return true;
}

uint32_t Crc32Combine(uint32_t first, uint32_t second, uint64_t length) {
  return static_cast<uint32_t>(crc32_combine(first, second, static_cast<z_off_t>(length)));
}

uint32_t Crc32OfRest(uint32_t whole, uint32_t head, uint64_t length) {
  // The CRC-32 of two parts is the first one's carried over the second's length, added to it.
  return whole ^ static_cast<uint32_t>(crc32_combine(head, 0, static_cast<z_off_t>(length)));
}

}  // namespace Vadu
