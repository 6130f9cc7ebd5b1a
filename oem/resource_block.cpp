#include "oem/resource_block.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "support/file_system.h"

namespace Zentu {
namespace {

using Vadu::SettingsMap;
using Vadu::String;

constexpr char kMarker[3] = {'O', 'E', 'M'};
// Length field and marker.
constexpr uint32_t kTrailerSize = sizeof(uint32_t) + sizeof kMarker;
// The bytes at the end of a file that the block search reads: the marker at most kMaxBlockTail
// bytes before the end, and the length field before it.
constexpr uint32_t kSearchSpan = kMaxBlockTail + kTrailerSize;
static_assert(kSearchSpan == kBlockSearchSpan);

// PE layout, offsets from the PE header for the optional header's fields.
constexpr uint32_t kPeOffsetField = 0x3C;
constexpr uint32_t kMagicOffset = 24;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kDirectoryCountOffset32 = 116, kDirectoryCountOffset64 = 132;
constexpr uint32_t kDirectoriesOffset32 = 120, kDirectoriesOffset64 = 136;
constexpr uint32_t kSecurityDirectoryIndex = 4;
constexpr uint32_t kDirectoryEntrySize = 8;

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

// Where the certificate table and the security entry of a host lie. The host seen without its
// table (the view) is the file as RemoveSignature returns it: the bytes before the table
// followed by the bytes after it, the security entry reading as zeros.
struct HostLayout {
  uint64_t size = 0;
  uint64_t cutAt = 0, cutSize = 0;  // the certificate table, in the file
  bool hasEntry = false;
  uint64_t entryAt = 0;  // where the security entry lies in the view

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

// Finds the certificate table and security entry of a PE host with a few positioned reads; a
// host that is no PE file, or whose entry is inconsistent, has no table. False only when the
// bytes cannot be read.
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
  if (position == 0 || length == 0 || position + length > size) return true;
  // A table that covers its own directory entry is not a certificate table.
  if (entryAt < position + length && entryAt + kDirectoryEntrySize > position) return true;
  layout->cutAt = position;
  layout->cutSize = length;
  layout->entryAt = entryAt < position ? entryAt : entryAt - length;
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
    if (length <= i + kTrailerSize) break;
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

// What follows a payload of `length` bytes: the length field and the marker.
struct Trailer {
  explicit Trailer(uint32_t length) {
    WriteU32(bytes, length);
    std::memcpy(bytes + sizeof(uint32_t), kMarker, sizeof kMarker);
  }
  char bytes[kTrailerSize];
};

// The payload, length field and marker that follow the host's bytes.
String BlockBytes(const String& payload) {
  String bytes = payload;
  bytes.Append(Trailer(payload.Length()).bytes, kTrailerSize);
  return bytes;
}

// A file as embedding makes it: the host's view up to `base` (its security entry zeroed) and
// then the new block.
class EmbeddedBytes : public HostBytes {
 public:
  EmbeddedBytes(const HostBytes& host, const HostLayout& layout, uint64_t base,
                const String& payload)
      : host_(host), layout_(layout), base_(base), payload_(payload) {}
  uint64_t Size() const override { return base_ + payload_.Length() + kTrailerSize; }
  bool Read(uint64_t at, void* out, uint32_t count) const override {
    char* bytes = static_cast<char*>(out);
    const uint64_t end = at + count;
    if (at < base_) {
      const uint32_t head = static_cast<uint32_t>(std::min(end, base_) - at);
      if (!ReadView(host_, layout_, at, head, bytes)) return false;
      if (layout_.hasEntry && layout_.entryAt + kDirectoryEntrySize <= base_) {
        const uint64_t low = std::max(at, layout_.entryAt);
        const uint64_t high = std::min(at + head, layout_.entryAt + kDirectoryEntrySize);
        if (low < high) std::memset(bytes + (low - at), 0, high - low);
      }
    }
    uint64_t i = std::max(at, base_);
    const uint64_t payloadEnd = base_ + payload_.Length();
    if (i < payloadEnd && i < end) {
      const uint64_t stop = std::min(end, payloadEnd);
      std::memcpy(bytes + (i - at), payload_.Data() + (i - base_), stop - i);
      i = stop;
    }
    const Trailer trailer(payload_.Length());
    for (; i < end; ++i) bytes[i - at] = trailer.bytes[i - payloadEnd];
    return true;
  }

 private:
  const HostBytes& host_;
  const HostLayout& layout_;
  uint64_t base_;
  const String& payload_;
};

// A PE header cut short by the end of the host would be completed by the block's bytes, and the
// block could then read as a certificate table: such a host cannot carry a block.
bool BlockCompletesHeader(const HostBytes& host, const HostLayout& layout, uint64_t base,
                          const String& payload) {
  const EmbeddedBytes result(host, layout, base, payload);
  HostLayout resultLayout;
  return !LocateCertificates(result, &resultLayout) || resultLayout.cutSize != 0;
}

// Where the host's bytes end in the view: at the old block, else at the view's end.
uint64_t HostEnd(const HostLayout& layout, const ViewBlock& block) {
  return block.length ? block.offset : layout.ViewLength();
}

// The in-memory view of a string: its layout and block.
struct StringView {
  explicit StringView(const String& bytes) : host(bytes) {
    LocateCertificates(host, &layout);
    FindBlockIn(host, layout, &block);
  }
  // `count` bytes of the view from `start`, sharing the string's buffer when nothing is cut.
  String Slice(const String& bytes, uint64_t start, uint64_t count) const {
    if (layout.cutSize == 0)
      return bytes.Substring(static_cast<uint32_t>(start), static_cast<uint32_t>(count));
    String slice;
    slice.Resize(static_cast<uint32_t>(count));
    ReadView(host, layout, start, static_cast<uint32_t>(count), slice.MutableData());
    return slice;
  }

  StringBytes host;
  HostLayout layout;
  ViewBlock block;
};

}  // namespace

String RemoveSignature(const String& bytes) {
  const StringView view(bytes);
  return view.Slice(bytes, 0, view.layout.ViewLength());
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
  return view.block.length ? view.Slice(bytes, view.block.offset, view.block.length) : String();
}

String StripBlock(const String& bytes) {
  const StringView view(bytes);
  return view.Slice(bytes, 0, HostEnd(view.layout, view.block));
}

String AppendBlock(const String& bytes, const SettingsMap& map) {
  if (!map.HasEntries()) return bytes;
  const String payload = map.Save();
  if (payload.IsEmpty()) return String();
  const StringView view(bytes);
  const uint64_t base = HostEnd(view.layout, view.block);
  const uint64_t total = base + payload.Length() + kTrailerSize;
  if (total >= String::npos) return String();
  const EmbeddedBytes embedded(view.host, view.layout, base, payload);
  if (BlockCompletesHeader(view.host, view.layout, base, payload)) return String();
  // One allocation of the final size.
  String result;
  result.Resize(static_cast<uint32_t>(total));
  embedded.Read(0, result.MutableData(), static_cast<uint32_t>(total));
  return result;
}

String AppendBlock(String&& bytes, const SettingsMap& map) {
  if (!map.HasEntries()) return std::move(bytes);
  uint64_t base = 0;
  HostLayout layout;
  {
    const StringView view(bytes);
    // Cutting a certificate table out moves the host's bytes: that takes a new buffer anyway.
    if (view.layout.cutSize) return AppendBlock(static_cast<const String&>(bytes), map);
    base = HostEnd(view.layout, view.block);
    layout = view.layout;
  }
  const String payload = map.Save();
  if (payload.IsEmpty()) return String();
  const uint64_t total = base + payload.Length() + kTrailerSize;
  if (total >= String::npos) return String();
  if (BlockCompletesHeader(StringBytes(bytes), layout, base, payload)) return String();
  // The host's bytes stay where they are; only the end of the buffer changes.
  String result = std::move(bytes);
  result.Resize(static_cast<uint32_t>(total));
  char* out = result.MutableData();
  // The result is unsigned. A security entry that was not honoured (one pointing past the end,
  // say) must not come to point into the new block once the file has grown.
  if (layout.hasEntry && layout.entryAt + kDirectoryEntrySize <= base)
    std::memset(out + layout.entryAt, 0, kDirectoryEntrySize);
  const String block = BlockBytes(payload);
  std::memcpy(out + base, block.Data(), block.Length());
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

// Zeroes the security entry in a copy of the first `end` bytes of the view: the part below `end`
// when a table was cut (the view reads it as zeros), and, with `unsign`, a whole entry that was
// not honoured too, so that it cannot come to point into a new block.
bool ClearSecurityEntry(const HostLayout& layout, uint64_t end, bool unsign,
                        Vadu::FileReplacement& out) {
  if (!layout.hasEntry || layout.entryAt >= end) return true;
  const uint64_t count = std::min<uint64_t>(kDirectoryEntrySize, end - layout.entryAt);
  if (!layout.cutSize && !(unsign && count == kDirectoryEntrySize)) return true;
  const char zeros[kDirectoryEntrySize] = {};
  return out.WriteAt(layout.entryAt, zeros, static_cast<uint32_t>(count));
}

// A host file opened for reading its block or for a rewrite: where its signature and block lie.
struct HostFile {
  explicit HostFile(const Vadu::WString& path) : file(path), bytes(file) {
    found =
        file.IsOpen() && LocateCertificates(bytes, &layout) && FindBlockIn(bytes, layout, &block);
  }
  // Where the host's own bytes end: before the block and a signature at the end.
  uint64_t End() const { return HostEnd(layout, block); }
  // Copies the host's own bytes into `out`, the security entry cleared as ClearSecurityEntry says.
  bool CopyInto(Vadu::FileReplacement& out, bool unsign) const {
    return CopyView(file, layout, End(), out) && ClearSecurityEntry(layout, End(), unsign, out);
  }

  const Vadu::FileReader file;
  const FileBytes bytes;
  HostLayout layout;
  ViewBlock block;
  // The file was read and its layout understood.
  bool found = false;
};

}  // namespace

bool ReadBlockOfFile(const Vadu::WString& path, String* payload) {
  const HostFile host(path);
  if (!host.found) return false;
  const ViewBlock& block = host.block;
  String bytes;
  if (block.length) {
    try {
      bytes.Resize(block.length);
    } catch (const std::bad_alloc&) {
      return false;  // a length field that claims more than memory holds
    }
    if (!ReadView(host.bytes, host.layout, block.offset, block.length, bytes.MutableData()))
      return false;
  }
  *payload = std::move(bytes);
  return true;
}

bool WriteBlockIntoFile(const Vadu::WString& path, const SettingsMap& map) {
  if (!map.HasEntries()) return true;
  const String payload = map.Save();
  if (payload.IsEmpty()) return false;
  Vadu::FileReplacement out(path);
  {
    // Closed before the replacement takes the file's place (Windows renames no open file).
    const HostFile host(path);
    if (!host.found || !out.IsOpen()) return false;
    if (BlockCompletesHeader(host.bytes, host.layout, host.End(), payload)) return false;
    if (!host.CopyInto(out, /*unsign=*/true)) return false;
  }
  const String block = BlockBytes(payload);
  return out.Write(block.Data(), block.Length()) && out.Commit();
}

bool StripBlockFromFile(const Vadu::WString& path) {
  Vadu::FileReplacement out(path);
  {
    const HostFile host(path);
    if (!host.found || !out.IsOpen()) return false;
    // Nothing to cut: the file is already what the result would be.
    if (host.layout.cutSize == 0 && host.block.length == 0) return true;
    if (!host.CopyInto(out, /*unsign=*/false)) return false;
  }
  return out.Commit();
}

}  // namespace Zentu
