#include "oem/resource_block.h"

#include <algorithm>
#include <cstring>

namespace Zentu {
namespace {

using Vadu::SettingsMap;
using Vadu::String;

constexpr char kMarker[3] = {'O', 'E', 'M'};
// Length field and marker.
constexpr uint32_t kTrailerSize = 4 + sizeof kMarker;
// The bytes at the end of a file that the block search reads: the marker at most kMaxBlockTail
// bytes before the end, and the length field before it.
constexpr uint32_t kSearchSpan = kMaxBlockTail + kTrailerSize;

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

// The file as RemoveSignature returns it, without building it: the bytes before the certificate
// table followed by the bytes after it, the security entry reading as zeros.
class SignatureFreeView {
 public:
  explicit SignatureFreeView(const String& bytes) : bytes_(bytes) { LocateCertificates(); }

  uint32_t Length() const { return bytes_.Length() - cutSize_; }

  // Copies `count` bytes of the view from `start` (all within the view).
  void CopyTo(char* out, uint32_t start, uint32_t count) const {
    if (count == 0) return;
    const char* data = bytes_.Data();
    uint32_t end = start + count;
    if (start < cutAt_) std::memcpy(out, data + start, std::min(end, cutAt_) - start);
    if (end > cutAt_) {
      uint32_t from = std::max(start, cutAt_);
      std::memcpy(out + (from - start), data + from + cutSize_, end - from);
    }
    if (cutSize_) {
      uint32_t low = std::max(start, entryAt_);
      uint32_t high = std::min(end, entryAt_ + kDirectoryEntrySize);
      if (low < high) std::memset(out + (low - start), 0, high - low);
    }
  }

  // Where the view holds the security directory entry of a PE header, if it has one.
  bool SecurityEntry(uint32_t* at) const {
    *at = entryAt_;
    return hasEntry_;
  }

  // `count` bytes of the view from `start`, sharing the file's buffer when nothing is cut.
  String Slice(uint32_t start, uint32_t count) const {
    if (cutSize_ == 0) return bytes_.Substring(start, count);
    String slice;
    slice.Resize(count);
    CopyTo(slice.MutableData(), start, count);
    return slice;
  }

 private:
  void LocateCertificates() {
    uint64_t size = bytes_.Length();
    const auto* data = reinterpret_cast<const unsigned char*>(bytes_.Data());
    if (size < kPeOffsetField + 4 || data[0] != 'M' || data[1] != 'Z') return;
    uint64_t pe = ReadU32(data + kPeOffsetField);
    if (pe == 0 || pe >= size - 4) return;
    if (std::memcmp(data + pe, "PE\0\0", 4) != 0) return;
    if (pe + kMagicOffset + 2 > size) return;
    bool plus = (data[pe + kMagicOffset] | data[pe + kMagicOffset + 1] << 8) == kMagicPe32Plus;
    uint64_t countAt = pe + (plus ? kDirectoryCountOffset64 : kDirectoryCountOffset32);
    uint64_t entryAt = pe + (plus ? kDirectoriesOffset64 : kDirectoriesOffset32) +
                       kSecurityDirectoryIndex * kDirectoryEntrySize;
    if (countAt + 4 > size || ReadU32(data + countAt) <= kSecurityDirectoryIndex) return;
    if (entryAt + kDirectoryEntrySize > size) return;
    hasEntry_ = true;
    entryAt_ = static_cast<uint32_t>(entryAt);
    uint64_t position = ReadU32(data + entryAt);
    uint64_t length = ReadU32(data + entryAt + 4);
    if (position == 0 || length == 0 || position + length > size) return;
    // A table that covers its own directory entry is not a certificate table.
    if (entryAt < position + length && entryAt + kDirectoryEntrySize > position) return;
    cutAt_ = static_cast<uint32_t>(position);
    cutSize_ = static_cast<uint32_t>(length);
    entryAt_ = static_cast<uint32_t>(entryAt < position ? entryAt : entryAt - length);
  }

  const String& bytes_;
  uint32_t cutAt_ = 0;
  uint32_t cutSize_ = 0;
  bool hasEntry_ = false;
  uint32_t entryAt_ = 0;  // where the security entry lies in the view
};

// The block search over the last bytes of a file of `length` bytes; `tail` holds its last
// min(length, kSearchSpan) bytes.
BlockLocation FindBlockInTail(uint32_t length, const unsigned char* tail) {
  uint32_t tailStart = length - std::min(length, kSearchSpan);
  for (uint32_t i = 0; i <= kMaxBlockTail; ++i) {
    if (length <= i + kTrailerSize) break;
    uint32_t markerAt = length - sizeof kMarker - i;
    if (std::memcmp(tail + (markerAt - tailStart), kMarker, sizeof kMarker) != 0) continue;
    uint32_t lengthAt = markerAt - 4;
    uint32_t payload = ReadU32(tail + (lengthAt - tailStart));
    if (payload == 0 || payload > lengthAt) return {};
    return {lengthAt - payload, payload};
  }
  return {};
}

BlockLocation FindBlockIn(const SignatureFreeView& view) {
  unsigned char tail[kSearchSpan];
  uint32_t length = view.Length();
  uint32_t count = std::min(length, kSearchSpan);
  view.CopyTo(reinterpret_cast<char*>(tail), length - count, count);
  return FindBlockInTail(length, tail);
}

}  // namespace

String RemoveSignature(const String& bytes) {
  SignatureFreeView view(bytes);
  return view.Slice(0, view.Length());
}

BlockLocation FindBlock(const String& bytes) {
  uint32_t length = bytes.Length();
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.CStr());
  return FindBlockInTail(length, data + (length - std::min(length, kSearchSpan)));
}

String ExtractBlock(const String& bytes) {
  if (bytes.IsEmpty()) return String();
  SignatureFreeView view(bytes);
  BlockLocation block = FindBlockIn(view);
  return block.length ? view.Slice(block.offset, block.length) : String();
}

String StripBlock(const String& bytes) {
  SignatureFreeView view(bytes);
  BlockLocation block = FindBlockIn(view);
  return view.Slice(0, block.length ? block.offset : view.Length());
}

String AppendBlock(const String& bytes, const SettingsMap& map) {
  if (!map.HasEntries()) return bytes;
  String payload = map.Save();
  if (payload.IsEmpty()) return String();
  SignatureFreeView view(bytes);
  BlockLocation old = FindBlockIn(view);
  uint32_t base = old.length ? old.offset : view.Length();
  uint64_t total = uint64_t{base} + payload.Length() + kTrailerSize;
  if (total >= String::npos) return String();
  // One allocation of the final size.
  String result;
  result.Resize(static_cast<uint32_t>(total));
  char* out = result.MutableData();
  view.CopyTo(out, 0, base);
  // The result is unsigned. A security entry that was not honoured (one pointing past the end,
  // say) must not come to point into the new block once the file has grown.
  uint32_t entryAt;
  if (view.SecurityEntry(&entryAt) && uint64_t{entryAt} + kDirectoryEntrySize <= base)
    std::memset(out + entryAt, 0, kDirectoryEntrySize);
  std::memcpy(out + base, payload.Data(), payload.Length());
  WriteU32(out + base + payload.Length(), payload.Length());
  std::memcpy(out + base + payload.Length() + 4, kMarker, sizeof kMarker);
  // A PE header cut short by the end of the host would be completed by the block's bytes, and
  // the block could then read as a certificate table: such a host cannot carry a block.
  if (SignatureFreeView(result).Length() != result.Length()) return String();
  return result;
}

String AppendBlock(String&& bytes, const SettingsMap& map) {
  if (!map.HasEntries()) return std::move(bytes);
  uint32_t base = 0, entryAt = 0;
  bool hasEntry = false;
  {
    SignatureFreeView view(bytes);
    // Cutting a certificate table out moves the host's bytes: that takes a new buffer anyway.
    if (view.Length() != bytes.Length()) return AppendBlock(static_cast<const String&>(bytes), map);
    BlockLocation old = FindBlockIn(view);
    base = old.length ? old.offset : view.Length();
    hasEntry = view.SecurityEntry(&entryAt);
  }
  String payload = map.Save();
  if (payload.IsEmpty()) return String();
  uint64_t total = uint64_t{base} + payload.Length() + kTrailerSize;
  if (total >= String::npos) return String();
  // The host's bytes stay where they are; only the end of the buffer changes.
  String result = std::move(bytes);
  result.Resize(static_cast<uint32_t>(total));
  char* out = result.MutableData();
  if (hasEntry && uint64_t{entryAt} + kDirectoryEntrySize <= base)
    std::memset(out + entryAt, 0, kDirectoryEntrySize);
  std::memcpy(out + base, payload.Data(), payload.Length());
  WriteU32(out + base + payload.Length(), payload.Length());
  std::memcpy(out + base + payload.Length() + 4, kMarker, sizeof kMarker);
  if (SignatureFreeView(result).Length() != result.Length()) return String();
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
