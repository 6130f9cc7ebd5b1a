#include "oem/resource_block.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <future>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "support/file_system.h"
#include "support/pe_checksum.h"
#include "support/zlib_codec.h"

namespace Zentu {
namespace {

using Vadu::SettingsMap;
using Vadu::String;

constexpr char kMarker[3] = {'O', 'E', 'M'};
static_assert(kBlockTrailerSize == sizeof(uint32_t) + sizeof kMarker);
// The bytes at the end of a file that the block search reads: the marker at most kMaxBlockTail
// bytes before the end, and the length field before it.
constexpr uint32_t kSearchSpan = kMaxBlockTail + kBlockTrailerSize;
static_assert(kSearchSpan == kBlockSearchSpan);

// PE layout, offsets from the PE header for the COFF and optional headers' fields.
constexpr uint32_t kPeOffsetField = 0x3C;
constexpr uint32_t kSectionCountOffset = 6;
constexpr uint32_t kOptionalHeaderSizeOffset = 20;
constexpr uint32_t kOptionalHeaderOffset = 24;
constexpr uint32_t kMagicOffset = kOptionalHeaderOffset;
constexpr uint16_t kMagicPe32Plus = 0x20B;
// SizeOfHeaders and CheckSum, from the start of the optional header (PE32 and PE32+ alike).
constexpr uint32_t kHeadersSizeField = 60, kChecksumField = 64;
constexpr uint32_t kDirectoryCountOffset32 = 116, kDirectoryCountOffset64 = 132;
constexpr uint32_t kDirectoriesOffset32 = 120, kDirectoriesOffset64 = 136;
constexpr uint32_t kSecurityDirectoryIndex = 4;
constexpr uint32_t kDirectoryEntrySize = 8;
// A section header, and where its SizeOfRawData and PointerToRawData lie.
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kRawSizeField = 16, kRawPointerField = 20;
static_assert(kOptionalHeaderOffset + kChecksumField == Vadu::PeChecksum::kFieldOffsetInHeader);

// Zip: the end of central directory record, its fields, and the magic that ends an APK signing
// block right before the central directory.
constexpr char kEndRecordSignature[4] = {'P', 'K', 5, 6};
constexpr uint32_t kEndRecordSize = 22;
constexpr uint32_t kDirectoryStartField = 16, kCommentLengthField = 20;
constexpr uint32_t kMaxCommentLength = 0xFFFF;
constexpr char kApkSigningBlockMagic[16] = {'A', 'P', 'K', ' ', 'S', 'i', 'g', ' ',
                                            'B', 'l', 'o', 'c', 'k', ' ', '4', '2'};
// Compressions of a block for an Android package before its bytes are given up on.
constexpr int kCompressionAttempts = 8;

// An empty stored deflate block that is not the last: three header bits, the rest of the byte,
// then LEN 0 and NLEN 0xFFFF. After the zlib header it starts and ends on a byte boundary.
constexpr char kEmptyStoredBlock[5] = {0, 0, 0, '\xFF', '\xFF'};
constexpr uint32_t kZlibHeaderSize = 2;

// Bytes a checksum sum or a copy reads at a time.
constexpr uint32_t kReadChunk = 1u << 20;

uint32_t ReadU32(const unsigned char* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void WriteU32(char* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The bytes of a file, read at positions: a string in memory or an open file.
class HostBytes {
 public:
  virtual ~HostBytes() = default;
  virtual uint64_t Size() const = 0;
  // Copies `count` bytes from `at` (all within Size()); false when they cannot be read.
  virtual bool Read(uint64_t at, void* out, uint32_t count) const = 0;
};

class StringBytes : public HostBytes {
 public:
  explicit StringBytes(const String& bytes) : bytes_(bytes) {}
  uint64_t Size() const override { return bytes_.Length(); }
  bool Read(uint64_t at, void* out, uint32_t count) const override {
    if (count) std::memcpy(out, bytes_.Data() + at, count);
    return true;
  }

 private:
  const String& bytes_;
};

class FileBytes : public HostBytes {
 public:
  explicit FileBytes(const Vadu::FileReader& file) : file_(file) {}
  uint64_t Size() const override { return file_.Size(); }
  bool Read(uint64_t at, void* out, uint32_t count) const override {
    return file_.ReadAt(at, out, count);
  }

 private:
  const Vadu::FileReader& file_;
};

// Where the certificate table, the security entry and the checksum field of a host lie. The
// host seen without its table (the view) is the file as RemoveSignature returns it: the bytes
// before the table followed by the bytes after it, the security entry reading as zeros.
struct HostLayout {
  uint64_t size = 0;
  uint64_t cutAt = 0, cutSize = 0;  // the certificate table, in the file
  bool hasEntry = false;
  uint64_t entryAt = 0;  // where the security entry lies in the view
  // Where a PE program's checksum field lies in the view; 0 when the host has none.
  uint64_t checksumAt = 0;
  // A security entry that points into the program's headers or sections: never cut, and no
  // block is written into such a program.
  bool entryInsideProgram = false;
  uint32_t entryPosition = 0, entrySize = 0;

  uint64_t ViewLength() const { return size - cutSize; }
};

// A block found in a view, with offsets that may pass 4 GiB.
struct ViewBlock {
  uint64_t offset = 0;
  uint32_t length = 0;
};

// Reads the little-endian u32 at `at`; false when it cannot be read.
bool ReadU32At(const HostBytes& host, uint64_t at, uint32_t* value) {
  unsigned char bytes[4];
  if (!host.Read(at, bytes, 4)) return false;
  *value = ReadU32(bytes);
  return true;
}

bool ReadU16At(const HostBytes& host, uint64_t at, uint16_t* value) {
  unsigned char bytes[2];
  if (!host.Read(at, bytes, 2)) return false;
  *value = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
  return true;
}

// Where the program's own bytes end in the file, that of the PE header at `pe`: its headers (at
// least SizeOfHeaders, and the section table) and the raw data of every section. The whole file
// when the section table does not fit in it. False when the bytes cannot be read.
bool ProgramEnd(const HostBytes& host, uint64_t pe, uint64_t* end) {
  const uint64_t size = host.Size();
  uint16_t sections = 0, optionalSize = 0;
  if (pe + kOptionalHeaderOffset > size) {
    *end = size;
    return true;
  }
  if (!ReadU16At(host, pe + kSectionCountOffset, &sections) ||
      !ReadU16At(host, pe + kOptionalHeaderSizeOffset, &optionalSize))
    return false;
  const uint64_t optional = pe + kOptionalHeaderOffset;
  const uint64_t table = optional + optionalSize;
  const uint64_t tableSize = uint64_t{sections} * kSectionHeaderSize;
  if (table + tableSize > size) {
    *end = size;
    return true;
  }
  uint64_t programEnd = table + tableSize;
  uint32_t headersSize = 0;
  if (optionalSize >= kHeadersSizeField + 4) {
    if (!ReadU32At(host, optional + kHeadersSizeField, &headersSize)) return false;
    programEnd = std::max<uint64_t>(programEnd, headersSize);
  }
  std::vector<unsigned char> headers(tableSize);
  if (tableSize && !host.Read(table, headers.data(), static_cast<uint32_t>(tableSize)))
    return false;
  for (uint64_t at = 0; at < tableSize; at += kSectionHeaderSize) {
    const uint32_t rawSize = ReadU32(&headers[at + kRawSizeField]);
    if (rawSize)
      programEnd =
          std::max(programEnd, uint64_t{ReadU32(&headers[at + kRawPointerField])} + rawSize);
  }
  *end = programEnd;
  return true;
}

// Finds the certificate table, the security entry and the checksum field of a PE host with a
// few positioned reads; a host that is no PE file has none of them, and one whose entry is not
// to be honoured has no table. False only when the bytes cannot be read.
bool LocateCertificates(const HostBytes& host, HostLayout* layout) {
  *layout = HostLayout{};
  const uint64_t size = layout->size = host.Size();
  unsigned char mz[2];
  if (size < kPeOffsetField + 4) return true;
  if (!host.Read(0, mz, 2)) return false;
  if (mz[0] != 'M' || mz[1] != 'Z') return true;
  uint32_t peField;
  if (!ReadU32At(host, kPeOffsetField, &peField)) return false;
  const uint64_t pe = peField;
  if (pe == 0 || pe >= size - 4) return true;
  char signature[4];
  if (!host.Read(pe, signature, 4)) return false;
  if (std::memcmp(signature, "PE\0\0", 4) != 0) return true;
  if (pe + kMagicOffset + 2 > size) return true;
  unsigned char magic[2];
  if (!host.Read(pe + kMagicOffset, magic, 2)) return false;
  uint16_t optionalSize;
  if (!ReadU16At(host, pe + kOptionalHeaderSizeOffset, &optionalSize)) return false;
  const uint64_t checksumAt = pe + kOptionalHeaderOffset + kChecksumField;
  if (optionalSize >= kChecksumField + 4 && checksumAt + 4 <= size) layout->checksumAt = checksumAt;
  const bool plus = (magic[0] | magic[1] << 8) == kMagicPe32Plus;
  const uint64_t countAt = pe + (plus ? kDirectoryCountOffset64 : kDirectoryCountOffset32);
  const uint64_t entryAt = pe + (plus ? kDirectoriesOffset64 : kDirectoriesOffset32) +
                           kSecurityDirectoryIndex * kDirectoryEntrySize;
  if (countAt + 4 > size) return true;
  uint32_t count;
  if (!ReadU32At(host, countAt, &count)) return false;
  if (count <= kSecurityDirectoryIndex || entryAt + kDirectoryEntrySize > size) return true;
  layout->hasEntry = true;
  layout->entryAt = entryAt;
  uint32_t position32, length32;
  if (!ReadU32At(host, entryAt, &position32) || !ReadU32At(host, entryAt + 4, &length32))
    return false;
  const uint64_t position = position32, length = length32;
  if (position == 0 || length == 0) return true;
  // Signing tools put the table after everything the section table accounts for; an entry that
  // points into the headers or a section would have code or data cut out.
  uint64_t programEnd;
  if (!ProgramEnd(host, pe, &programEnd)) return false;
  if (position < programEnd) {
    layout->entryInsideProgram = true;
    layout->entryPosition = position32;
    layout->entrySize = length32;
    return true;
  }
  if (position + length > size) return true;
  // A table that covers its own directory entry is not a certificate table.
  if (entryAt < position + length && entryAt + kDirectoryEntrySize > position) return true;
  layout->cutAt = position;
  layout->cutSize = length;
  layout->entryAt = entryAt < position ? entryAt : entryAt - length;
  if (layout->checksumAt >= position + length)
    layout->checksumAt -= length;
  else if (layout->checksumAt + 4 > position)
    layout->checksumAt = 0;  // a field inside the table is none
  return true;
}

// Copies `count` bytes of the view from `start` (all within the view).
bool ReadView(const HostBytes& host, const HostLayout& layout, uint64_t start, uint32_t count,
              char* out) {
  if (count == 0) return true;
  const uint64_t end = start + count;
  if (start < layout.cutAt &&
      !host.Read(start, out, static_cast<uint32_t>(std::min(end, layout.cutAt) - start)))
    return false;
  if (end > layout.cutAt) {
    const uint64_t from = std::max(start, layout.cutAt);
    if (!host.Read(from + layout.cutSize, out + (from - start), static_cast<uint32_t>(end - from)))
      return false;
  }
  if (layout.cutSize) {
    const uint64_t low = std::max(start, layout.entryAt);
    const uint64_t high = std::min(end, layout.entryAt + kDirectoryEntrySize);
    if (low < high) std::memset(out + (low - start), 0, high - low);
  }
  return true;
}

// The block search over the last bytes of a file of `length` bytes; `tail` holds its last
// min(length, kSearchSpan) bytes.
ViewBlock FindBlockInTail(uint64_t length, const unsigned char* tail) {
  const uint64_t tailStart = length - std::min<uint64_t>(length, kSearchSpan);
  for (uint32_t i = 0; i <= kMaxBlockTail; ++i) {
    if (length <= i + kBlockTrailerSize) break;
    const uint64_t markerAt = length - sizeof kMarker - i;
    if (std::memcmp(tail + (markerAt - tailStart), kMarker, sizeof kMarker) != 0) continue;
    const uint64_t lengthAt = markerAt - 4;
    const uint32_t payload = ReadU32(tail + (lengthAt - tailStart));
    if (payload == 0 || payload > lengthAt) return {};
    return {lengthAt - payload, payload};
  }
  return {};
}

// The block at the end of the view; false when the bytes cannot be read.
bool FindBlockIn(const HostBytes& host, const HostLayout& layout, ViewBlock* block) {
  unsigned char tail[kSearchSpan] = {};
  const uint64_t length = layout.ViewLength();
  const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(length, kSearchSpan));
  if (!ReadView(host, layout, length - count, count, reinterpret_cast<char*>(tail))) return false;
  *block = FindBlockInTail(length, tail);
  return true;
}

// Where the host's bytes end in the view: at the old block, else at the view's end.
uint64_t HostEnd(const HostLayout& layout, const ViewBlock& block) {
  return block.length ? block.offset : layout.ViewLength();
}

// The end record of a zip in the view, and the bytes from it to the end of the host.
struct ZipEnd {
  bool found = false;
  uint64_t at = 0;
  // The record and its comment up to the old block (or the end of the file).
  String record;
  // The central directory is preceded by an APK signing block.
  bool apkSigned = false;

  uint64_t CommentAt() const { return at + kEndRecordSize; }
};

// Finds the end record of a zip whose comment ends at the host's end (an unbranded package, or
// one branded with the block after the record) or runs on into the old block: the last record
// signature before the host's end that says so. False when the bytes cannot be read.
bool LocateZipEnd(const HostBytes& host, const HostLayout& layout, uint64_t hostEnd, ZipEnd* zip) {
  *zip = ZipEnd{};
  if (hostEnd < kEndRecordSize) return true;
  const uint64_t start = hostEnd - std::min<uint64_t>(hostEnd, kEndRecordSize + kMaxCommentLength);
  String window;
  window.Resize(static_cast<uint32_t>(hostEnd - start));
  if (!ReadView(host, layout, start, window.Length(), window.MutableData())) return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(window.Data());
  for (uint64_t i = window.Length() - kEndRecordSize + 1; i-- > 0;) {
    if (std::memcmp(bytes + i, kEndRecordSignature, sizeof kEndRecordSignature) != 0) continue;
    const uint64_t commentEnd =
        start + i + kEndRecordSize +
        (bytes[i + kCommentLengthField] | bytes[i + kCommentLengthField + 1] << 8);
    if (commentEnd < hostEnd || commentEnd > layout.ViewLength()) continue;
    zip->found = true;
    zip->at = start + i;
    zip->record = window.Substring(static_cast<uint32_t>(i));
    const uint64_t directory = ReadU32(bytes + i + kDirectoryStartField);
    char magic[sizeof kApkSigningBlockMagic];
    if (directory >= sizeof magic && directory <= zip->at) {
      if (!ReadView(host, layout, directory - sizeof magic, sizeof magic, magic)) return false;
      zip->apkSigned = std::memcmp(magic, kApkSigningBlockMagic, sizeof magic) == 0;
    }
    return true;
  }
  return true;
}

// What a host is made of: its signature and checksum, its block, and, for an Android package, its
// zip end record.
struct HostAnalysis {
  HostLayout layout;
  ViewBlock block;
  ZipEnd zip;

  // Where the host's own bytes end: before the block and a signature at the end.
  uint64_t End() const { return HostEnd(layout, block); }
  // The new file gets a checksum: a PE program whose field lies in the bytes kept (an Android
  // package is no Windows program, whatever its first bytes).
  bool TakesChecksum() const {
    return layout.checksumAt != 0 && layout.checksumAt + 4 <= End() && !zip.found;
  }
};

// False when the bytes cannot be read.
bool Analyse(const HostBytes& host, HostFormat format, HostAnalysis* analysis) {
  if (!LocateCertificates(host, &analysis->layout) ||
      !FindBlockIn(host, analysis->layout, &analysis->block))
    return false;
  return format != HostFormat::kAndroidPackage ||
         LocateZipEnd(host, analysis->layout, analysis->End(), &analysis->zip);
}

// Why no block can go into the host named `name`; empty when one can.
String HostProblem(const HostAnalysis& analysis, const String& name) {
  const HostLayout& layout = analysis.layout;
  if (!layout.entryInsideProgram) return String();
  char where[80];
  std::snprintf(where, sizeof where, " (offset 0x%X, size 0x%X)", layout.entryPosition,
                layout.entrySize);
  return name + ": the certificate table entry points into the program's headers or sections" +
         where + ", not at a signature after them";
}

// Bytes of the new file over the host's: a field that changes.
struct Patch {
  uint64_t at = 0;
  uint32_t count = 0;
  char bytes[8] = {};
};

// What embedding writes: the host's view up to `base` with its patches, then the new block.
struct Embedding {
  HostLayout layout;
  uint64_t base = 0;
  std::vector<Patch> patches;
  // The payload, the length field and the marker; empty until the resources are compressed.
  String block;
  // Where the checksum patch is; kNone when the file takes none.
  static constexpr size_t kNone = static_cast<size_t>(-1);
  size_t checksumPatch = kNone;

  uint64_t Size() const { return base + block.Length(); }
};

// The file that embedding makes, read at positions.
class EmbeddedBytes : public HostBytes {
 public:
  EmbeddedBytes(const HostBytes& host, const Embedding& embedding)
      : host_(host), embedding_(embedding) {}
  uint64_t Size() const override { return embedding_.Size(); }
  bool Read(uint64_t at, void* out, uint32_t count) const override {
    char* bytes = static_cast<char*>(out);
    const uint64_t end = at + count, base = embedding_.base;
    if (at < base) {
      const uint32_t head = static_cast<uint32_t>(std::min(end, base) - at);
      if (!ReadView(host_, embedding_.layout, at, head, bytes)) return false;
      for (const Patch& patch : embedding_.patches) {
        const uint64_t low = std::max(at, patch.at);
        const uint64_t high = std::min(at + head, patch.at + patch.count);
        if (low < high) std::memcpy(bytes + (low - at), patch.bytes + (low - patch.at), high - low);
      }
    }
    if (end > base) {
      const uint64_t from = std::max(at, base);
      std::memcpy(bytes + (from - at), embedding_.block.Data() + (from - base), end - from);
    }
    return true;
  }

 private:
  const HostBytes& host_;
  const Embedding& embedding_;
};

// What of the host stays and which of its fields change, before the block is known.
Embedding StartEmbedding(const HostAnalysis& analysis) {
  Embedding embedding;
  const HostLayout& layout = embedding.layout = analysis.layout;
  const uint64_t base = embedding.base = analysis.End();
  // The result is unsigned: the security entry reads as zero where a table was cut, and a whole
  // entry that was not honoured (one pointing past the end, say) is cleared too, so that it
  // cannot come to point into the new block once the file has grown.
  if (layout.hasEntry && layout.entryAt < base &&
      (layout.cutSize || layout.entryAt + kDirectoryEntrySize <= base)) {
    Patch clear;
    clear.at = layout.entryAt;
    clear.count = static_cast<uint32_t>(std::min<uint64_t>(kDirectoryEntrySize, base - clear.at));
    embedding.patches.push_back(clear);
  }
  if (analysis.TakesChecksum()) {
    // Zero while the file is summed; the sum then takes its place.
    Patch checksum;
    checksum.at = layout.checksumAt;
    checksum.count = 4;
    embedding.checksumPatch = embedding.patches.size();
    embedding.patches.push_back(checksum);
  }
  return embedding;
}

// The sum of the new file's bytes before the block, its checksum field read as zero; nothing
// when they cannot be read or `stop` is set.
std::optional<Vadu::PeChecksum> SumHostPart(const HostBytes& host, const Embedding& embedding,
                                            const std::atomic<bool>* stop = nullptr) {
  const EmbeddedBytes file(host, embedding);
  std::vector<char> buffer(std::min<uint64_t>(kReadChunk, embedding.base));
  Vadu::PeChecksum sum;
  for (uint64_t at = 0; at < embedding.base;) {
    if (stop && stop->load()) return std::nullopt;
    const uint32_t count =
        static_cast<uint32_t>(std::min<uint64_t>(kReadChunk, embedding.base - at));
    if (!file.Read(at, buffer.data(), count)) return std::nullopt;
    sum.Add(at, buffer.data(), count);
    at += count;
  }
  return sum;
}

// Adds the block to the sum of the bytes before it and writes the file's checksum into its patch.
void SetChecksum(Embedding& embedding, Vadu::PeChecksum sum) {
  sum.Add(embedding.base, embedding.block.Data(), embedding.block.Length());
  WriteU32(embedding.patches[embedding.checksumPatch].bytes, sum.Value(embedding.Size()));
}

// The payload, length field and marker; with `evenOut`, a payload of even length grows by an
// empty stored block after its zlib header, so that the block's length changes parity.
String BlockBytes(const String& payload, bool evenOut) {
  const uint32_t extra = evenOut ? sizeof kEmptyStoredBlock : 0;
  String bytes;
  bytes.Resize(payload.Length() + extra + kBlockTrailerSize);
  char* out = bytes.MutableData();
  const uint32_t head = std::min(payload.Length(), kZlibHeaderSize);
  std::memcpy(out, payload.Data(), head);
  std::memcpy(out + head, kEmptyStoredBlock, extra);
  std::memcpy(out + head + extra, payload.Data() + head, payload.Length() - head);
  out += payload.Length() + extra;
  WriteU32(out, payload.Length() + extra);
  std::memcpy(out + 4, kMarker, sizeof kMarker);
  return bytes;
}

// The raw form compressed with a sync flush at every `pieces`-th part of it, and inside every
// end-record signature it holds (which a stored block would otherwise copy whole): the same
// data, in other bytes. Empty on failure.
String DeflateInPieces(const String& raw, int pieces) {
  std::vector<uint32_t> cuts;
  for (int i = 1; i < pieces; ++i)
    cuts.push_back(static_cast<uint32_t>(uint64_t{raw.Length()} * i / pieces));
  const String signature(kEndRecordSignature, sizeof kEndRecordSignature);
  for (uint32_t at = raw.Find(signature); at != String::npos; at = raw.Find(signature, at + 1))
    cuts.push_back(at + 3);
  std::sort(cuts.begin(), cuts.end());
  Vadu::Deflater deflater;
  uint32_t done = 0;
  for (uint32_t cut : cuts) {
    if (!deflater.Add(raw.Data() + done, cut - done) || !deflater.Flush()) return String();
    done = cut;
  }
  if (!deflater.Add(raw.Data() + done, raw.Length() - done)) return String();
  return deflater.Finish();
}

// True when the end record's signature appears anywhere after the record's own in the new file:
// Android's search, backwards from the end, would take that one for the record.
bool HoldsSecondEndRecord(const ZipEnd& zip, const Patch& commentLength, const String& block) {
  std::string tail(zip.record.Data(), zip.record.Length());
  tail.replace(kCommentLengthField, commentLength.count, commentLength.bytes, commentLength.count);
  tail.append(block.Data(), block.Length());
  return tail.find(std::string_view(kEndRecordSignature, sizeof kEndRecordSignature), 1) !=
         std::string::npos;
}

enum class Completion { kDone, kFailed, kRefused };

// Compresses the resources into the embedding's block and sets the fields that depend on it (an
// Android package's comment length). Refused, with `problem` set, when the block does not fit an
// Android package or cannot be made free of the end record's signature.
Completion CompleteEmbedding(const HostAnalysis& analysis, const SettingsMap& map,
                             Embedding* embedding, String* problem) {
  String payload = map.Save();
  if (payload.IsEmpty()) return Completion::kFailed;
  const ZipEnd& zip = analysis.zip;
  if (!zip.found) {
    const bool odd = (embedding->base + payload.Length() + kBlockTrailerSize) % 2 != 0;
    embedding->block = BlockBytes(payload, embedding->checksumPatch != Embedding::kNone && odd);
    return Completion::kDone;
  }
  String raw;
  for (int attempt = 1;; ++attempt) {
    const uint64_t comment =
        embedding->base - zip.CommentAt() + payload.Length() + kBlockTrailerSize;
    if (comment > kMaxAndroidComment) {
      *problem = String("resources too large for an Android package: ") +
                 String::FromNumber(comment) + " bytes, at most " +
                 String::FromNumber(kMaxAndroidComment);
      return Completion::kRefused;
    }
    Patch length;
    length.at = zip.at + kCommentLengthField;
    length.count = 2;
    length.bytes[0] = static_cast<char>(comment & 0xFF);
    length.bytes[1] = static_cast<char>(comment >> 8);
    String block = BlockBytes(payload, false);
    if (!HoldsSecondEndRecord(zip, length, block)) {
      embedding->patches.push_back(length);
      embedding->block = std::move(block);
      return Completion::kDone;
    }
    if (attempt == kCompressionAttempts) {
      *problem =
          "resources can't be stored in an Android package: every compression of them "
          "holds the signature of a zip end record";
      return Completion::kRefused;
    }
    if (raw.IsEmpty()) raw = map.Serialize();
    payload = DeflateInPieces(raw, attempt + 1);
    if (raw.IsEmpty() || payload.IsEmpty()) return Completion::kFailed;
  }
}

// A PE header cut short by the end of the host would be completed by the block's bytes, and the
// block could then read as a security entry: such a host cannot carry a block.
bool BlockCompletesHeader(const HostBytes& host, const Embedding& embedding) {
  const EmbeddedBytes result(host, embedding);
  HostLayout resultLayout;
  return !LocateCertificates(result, &resultLayout) || resultLayout.cutSize != 0 ||
         resultLayout.entryInsideProgram;
}

// The in-memory view of a string: its layout and block.
struct StringView {
  explicit StringView(const String& bytes, HostFormat format = HostFormat::kAsFound) : host(bytes) {
    Analyse(host, format, &analysis);
  }
  // `count` bytes of the view from `start`, sharing the string's buffer when nothing is cut.
  String Slice(const String& bytes, uint64_t start, uint64_t count) const {
    if (analysis.layout.cutSize == 0)
      return bytes.Substring(static_cast<uint32_t>(start), static_cast<uint32_t>(count));
    String slice;
    slice.Resize(static_cast<uint32_t>(count));
    ReadView(host, analysis.layout, start, static_cast<uint32_t>(count), slice.MutableData());
    return slice;
  }

  StringBytes host;
  HostAnalysis analysis;
};

// The embedding of `map` into the string's host, the checksum set; false when it cannot be made.
bool EmbedInMemory(const StringView& view, const SettingsMap& map, Embedding* embedding) {
  if (view.analysis.layout.entryInsideProgram) return false;
  *embedding = StartEmbedding(view.analysis);
  String problem;
  if (CompleteEmbedding(view.analysis, map, embedding, &problem) != Completion::kDone) return false;
  if (embedding->Size() >= String::npos || BlockCompletesHeader(view.host, *embedding))
    return false;
  if (embedding->checksumPatch != Embedding::kNone) {
    const std::optional<Vadu::PeChecksum> sum = SumHostPart(view.host, *embedding);
    if (!sum) return false;
    SetChecksum(*embedding, *sum);
  }
  return true;
}

}  // namespace

String RemoveSignature(const String& bytes) {
  const StringView view(bytes);
  return view.Slice(bytes, 0, view.analysis.layout.ViewLength());
}

BlockLocation FindBlock(const String& bytes) {
  const uint32_t length = bytes.Length();
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.CStr());
  const ViewBlock block = FindBlockInTail(length, data + (length - std::min(length, kSearchSpan)));
  return {static_cast<uint32_t>(block.offset), block.length};
}

std::optional<BlockSpan> FindBlockAtEnd(uint64_t length, const String& tail) {
  if (tail.Length() != std::min<uint64_t>(length, kSearchSpan)) return std::nullopt;
  const ViewBlock block =
      FindBlockInTail(length, reinterpret_cast<const unsigned char*>(tail.CStr()));
  if (block.length == 0) return std::nullopt;
  return BlockSpan{block.offset, block.length};
}

String ExtractBlock(const String& bytes) {
  if (bytes.IsEmpty()) return String();
  const StringView view(bytes);
  const ViewBlock& block = view.analysis.block;
  return block.length ? view.Slice(bytes, block.offset, block.length) : String();
}

String StripBlock(const String& bytes) {
  const StringView view(bytes);
  return view.Slice(bytes, 0, view.analysis.End());
}

String AppendBlock(const String& bytes, const SettingsMap& map, HostFormat format) {
  if (!map.HasEntries()) return bytes;
  const StringView view(bytes, format);
  Embedding embedding;
  if (!EmbedInMemory(view, map, &embedding)) return String();
  // One allocation of the final size.
  String result;
  result.Resize(static_cast<uint32_t>(embedding.Size()));
  EmbeddedBytes(view.host, embedding).Read(0, result.MutableData(), result.Length());
  return result;
}

String AppendBlock(String&& bytes, const SettingsMap& map, HostFormat format) {
  if (!map.HasEntries()) return std::move(bytes);
  Embedding embedding;
  {
    const StringView view(bytes, format);
    // Cutting a certificate table out moves the host's bytes: that takes a new buffer anyway.
    if (view.analysis.layout.cutSize)
      return AppendBlock(static_cast<const String&>(bytes), map, format);
    if (!EmbedInMemory(view, map, &embedding)) return String();
  }
  // The host's bytes stay where they are; only its changed fields and the end of the buffer do.
  String result = std::move(bytes);
  result.Resize(static_cast<uint32_t>(embedding.Size()));
  char* out = result.MutableData();
  for (const Patch& patch : embedding.patches)
    std::memcpy(out + patch.at, patch.bytes, patch.count);
  std::memcpy(out + embedding.base, embedding.block.Data(), embedding.block.Length());
  return result;
}

bool LoadBlock(SettingsMap& map, const String& bytes) {
  String payload = ExtractBlock(bytes);
  if (payload.IsEmpty()) {
    map.Clear();
    return false;
  }
  return map.Load(payload);
}

}  // namespace Zentu

namespace Zentu {
namespace {

// Appends the first `count` bytes of the file's view to the replacement: the bytes before the
// certificate table, then those after it.
bool CopyView(const Vadu::FileReader& file, const HostLayout& layout, uint64_t count,
              Vadu::FileReplacement& out) {
  const uint64_t head = layout.cutSize ? std::min(count, layout.cutAt) : count;
  return out.CopyFrom(file, 0, head) &&
         (count == head || out.CopyFrom(file, head + layout.cutSize, count - head));
}

// Zeroes the security entry in a copy of the first `end` bytes of the view where a table was cut
// (the view reads it as zeros).
bool ClearCutSecurityEntry(const HostLayout& layout, uint64_t end, Vadu::FileReplacement& out) {
  if (!layout.cutSize || layout.entryAt >= end) return true;
  const uint64_t count = std::min<uint64_t>(kDirectoryEntrySize, end - layout.entryAt);
  const char zeros[kDirectoryEntrySize] = {};
  return out.WriteAt(layout.entryAt, zeros, static_cast<uint32_t>(count));
}

// A host file opened for reading its block or for a rewrite: what it is made of.
struct HostFile {
  HostFile(const Vadu::WString& path, HostFormat format) : file(path), bytes(file) {
    found = file.IsOpen() && Analyse(bytes, format, &analysis);
  }

  const Vadu::FileReader file;
  const FileBytes bytes;
  HostAnalysis analysis;
  // The file was read and its layout understood.
  bool found = false;
};

// Sums the bytes a new file keeps of a host on a thread of its own, reading the host through a
// reader of its own, while the resources are compressed and the host is copied.
class HostPartSum {
 public:
  HostPartSum(const Vadu::WString& path, const Embedding& embedding, uint64_t hostSize)
      : path_(path), embedding_(embedding), hostSize_(hostSize) {
    try {
      result_ = std::async(std::launch::async, [this] { return Sum(); });
    } catch (const std::system_error&) {
      // No thread to be had: summed when asked for.
    }
  }
  ~HostPartSum() {
    stop_ = true;
    if (result_.valid()) result_.wait();
  }
  HostPartSum(const HostPartSum&) = delete;
  HostPartSum& operator=(const HostPartSum&) = delete;

  std::optional<Vadu::PeChecksum> Get() { return result_.valid() ? result_.get() : Sum(); }

 private:
  std::optional<Vadu::PeChecksum> Sum() const {
    const Vadu::FileReader file(path_);
    // The same file as the one analysed: the run holds its lock, but nothing else is trusted.
    if (!file.IsOpen() || file.Size() != hostSize_) return std::nullopt;
    return SumHostPart(FileBytes(file), embedding_, &stop_);
  }

  const Vadu::WString path_;
  // Before the block is known: its bytes and patches are the ones summed.
  const Embedding embedding_;
  const uint64_t hostSize_;
  std::atomic<bool> stop_{false};
  std::future<std::optional<Vadu::PeChecksum>> result_;
};

}  // namespace

bool ReadBlockOfFile(const Vadu::WString& path, String* payload) {
  const HostFile host(path, HostFormat::kAsFound);
  if (!host.found) return false;
  const ViewBlock& block = host.analysis.block;
  String bytes;
  if (block.length) {
    try {
      bytes.Resize(block.length);
    } catch (const std::bad_alloc&) {
      return false;  // a length field that claims more than memory holds
    }
    if (!ReadView(host.bytes, host.analysis.layout, block.offset, block.length,
                  bytes.MutableData()))
      return false;
  }
  *payload = std::move(bytes);
  return true;
}

bool InspectHostFile(const Vadu::WString& path, HostFormat format, HostReport* report) {
  const HostFile host(path, format);
  if (!host.found) return false;
  *report = HostReport{};
  report->problem = HostProblem(host.analysis, Vadu::ToUtf8(Vadu::GetFileName(path)));
  report->authenticodeSigned = host.analysis.layout.cutSize != 0;
  report->apkSigned = host.analysis.zip.found && host.analysis.zip.apkSigned;
  return true;
}

BlockWrite WriteBlockIntoFile(const Vadu::WString& path, const SettingsMap& map,
                              HostFormat format) {
  if (!map.HasEntries()) return {true, String()};
  Vadu::FileReplacement out(path);
  {
    // Closed before the replacement takes the file's place (Windows renames no open file).
    const HostFile host(path, format);
    if (!host.found || !out.IsOpen()) return {};
    const HostAnalysis& analysis = host.analysis;
    String problem = HostProblem(analysis, Vadu::ToUtf8(Vadu::GetFileName(path)));
    if (!problem.IsEmpty()) return {false, problem};
    Embedding embedding = StartEmbedding(analysis);
    // A program's bytes are summed while the resources compress and the program is copied.
    std::optional<HostPartSum> sum;
    if (embedding.checksumPatch != Embedding::kNone) sum.emplace(path, embedding, host.file.Size());
    const Completion completion = CompleteEmbedding(analysis, map, &embedding, &problem);
    if (completion != Completion::kDone) return {false, problem};
    if (BlockCompletesHeader(host.bytes, embedding)) return {};
    if (!CopyView(host.file, analysis.layout, embedding.base, out)) return {};
    if (sum) {
      const std::optional<Vadu::PeChecksum> hostSum = sum->Get();
      if (!hostSum) return {};
      SetChecksum(embedding, *hostSum);
    }
    for (const Patch& patch : embedding.patches)
      if (!out.WriteAt(patch.at, patch.bytes, patch.count)) return {};
    if (!out.Write(embedding.block.Data(), embedding.block.Length())) return {};
  }
  return {out.Commit(), String()};
}

bool StripBlockFromFile(const Vadu::WString& path) {
  Vadu::FileReplacement out(path);
  {
    const HostFile host(path, HostFormat::kAsFound);
    if (!host.found || !out.IsOpen() || host.analysis.layout.entryInsideProgram) return false;
    const HostLayout& layout = host.analysis.layout;
    // Nothing to cut: the file is already what the result would be.
    if (layout.cutSize == 0 && host.analysis.block.length == 0) return true;
    const uint64_t end = host.analysis.End();
    if (!CopyView(host.file, layout, end, out) || !ClearCutSecurityEntry(layout, end, out))
      return false;
  }
  return out.Commit();
}

}  // namespace Zentu
