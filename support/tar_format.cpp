#include "support/tar_format.h"

#include <cstdio>
#include <cstring>

namespace Vadu {

namespace {

constexpr unsigned char kBase256Positive = 0x80;

}  // namespace

bool TarHeaderView::IsZero() const {
  for (uint32_t k = 0; k < kTarBlockSize; ++k)
    if (block_[k] != 0) return false;
  return true;
}

bool TarHeaderView::ChecksumMatches() const {
  const std::optional<uint64_t> stored = Number(TarFields::kChecksum);
  if (!stored) return false;
  uint64_t unsignedSum = 0;
  int64_t signedSum = 0;
  for (uint32_t k = 0; k < kTarBlockSize; ++k) {
    const bool inField = k >= TarFields::kChecksum.offset &&
                         k < TarFields::kChecksum.offset + TarFields::kChecksum.size;
    const unsigned char byte = inField ? ' ' : block_[k];
    unsignedSum += byte;
    signedSum += static_cast<signed char>(byte);
  }
  return *stored == unsignedSum || static_cast<int64_t>(*stored) == signedSum;
}

TarDialect TarHeaderView::Dialect() const {
  const unsigned char* magic = block_ + TarFields::kMagic.offset;
  if (std::memcmp(magic, "ustar  \0", 8) == 0) return TarDialect::kGnu;
  if (std::memcmp(magic, "ustar\0", 6) == 0) return TarDialect::kUstar;
  return TarDialect::kV7;
}

String TarHeaderView::Text(TarField field) const {
  const char* start = reinterpret_cast<const char*>(block_ + field.offset);
  const void* zero = std::memchr(start, 0, field.size);
  const uint32_t length =
      zero ? static_cast<uint32_t>(static_cast<const char*>(zero) - start) : field.size;
  return String(start, length);
}

std::optional<uint64_t> TarHeaderView::Number(TarField field) const {
  const unsigned char* p = block_ + field.offset;
  if (p[0] & kBase256Positive) {
    // Base-256: big-endian after the marker bit; 0xFF starts a negative number.
    if (p[0] == 0xFF) return std::nullopt;
    uint64_t value = p[0] & 0x7F;
    for (uint32_t k = 1; k < field.size; ++k) {
      if (value >> 56) return std::nullopt;
      value = value << 8 | p[k];
    }
    return value;
  }
  // Octal, with leading spaces and zero bytes allowed and a space or zero byte ending it.
  uint32_t k = 0;
  while (k < field.size && (p[k] == ' ' || p[k] == 0)) ++k;
  uint64_t value = 0;
  bool digits = false;
  for (; k < field.size && p[k] >= '0' && p[k] <= '7'; ++k) {
    if (value >> 61) return std::nullopt;
    value = value * 8 + (p[k] - '0');
    digits = true;
  }
  for (; k < field.size; ++k)
    if (p[k] != ' ' && p[k] != 0) return std::nullopt;
  // An empty field reads as zero, as tar readers take it.
  (void)digits;
  return value;
}

String TarHeaderView::Name() const {
  const String name = Text(TarFields::kName);
  if (Dialect() != TarDialect::kUstar) return name;
  const String prefix = Text(TarFields::kPrefix);
  return prefix.IsEmpty() ? name : prefix + "/" + name;
}

void SetTarNumber(unsigned char* block, TarField field, uint64_t value) {
  unsigned char* p = block + field.offset;
  const uint32_t digits = field.size - 1;
  if (digits >= 22 || value >> (3 * digits) == 0) {
    for (uint32_t k = digits; k-- > 0;) {
      p[k] = static_cast<unsigned char>('0' + (value & 7));
      value >>= 3;
    }
    p[digits] = 0;
    return;
  }
  for (uint32_t k = field.size; k-- > 0;) {
    p[k] = static_cast<unsigned char>(value & 0xFF);
    value >>= 8;
  }
  p[0] |= kBase256Positive;
}

void SetTarText(unsigned char* block, TarField field, const String& text) {
  std::memset(block + field.offset, 0, field.size);
  if (!text.IsEmpty())
    std::memcpy(block + field.offset, text.Data(), std::min(text.Length(), field.size));
}

void SetTarChecksum(unsigned char* block) {
  std::memset(block + TarFields::kChecksum.offset, ' ', TarFields::kChecksum.size);
  uint32_t sum = 0;
  for (uint32_t k = 0; k < kTarBlockSize; ++k) sum += block[k];
  char text[8];
  std::snprintf(text, sizeof text, "%06o", sum & 0777777);
  std::memcpy(block + TarFields::kChecksum.offset, text, 7);  // six digits and a zero byte
}

bool SplitUstarName(const String& name, String* prefix, String* rest) {
  const uint32_t nameSize = TarFields::kName.size, prefixSize = TarFields::kPrefix.size;
  if (name.Length() <= nameSize) {
    *prefix = String();
    *rest = name;
    return true;
  }
  // The last "/" at which the prefix still fits and the rest fits too.
  for (uint32_t slash = std::min(name.Length() - 1, prefixSize); slash > 0; --slash) {
    if (name[slash] != '/') continue;
    if (name.Length() - slash - 1 > nameSize || name.Length() - slash - 1 == 0) return false;
    *prefix = name.Substring(0, slash);
    *rest = name.Substring(slash + 1);
    return true;
  }
  return false;
}

std::optional<uint64_t> TarPaddedSize(uint64_t size) {
  if (size > UINT64_MAX - (kTarBlockSize - 1)) return std::nullopt;
  return (size + kTarBlockSize - 1) / kTarBlockSize * kTarBlockSize;
}

std::optional<std::vector<PaxRecord>> ParsePaxRecords(const String& data) {
  std::vector<PaxRecord> records;
  uint32_t at = 0;
  while (at < data.Length()) {
    // "<length> <key>=<value>\n", the length counting the whole record.
    uint64_t length = 0;
    uint32_t k = at;
    for (; k < data.Length() && data[k] >= '0' && data[k] <= '9'; ++k) {
      length = length * 10 + static_cast<uint64_t>(data[k] - '0');
      if (length > data.Length()) return std::nullopt;
    }
    if (k == at || k >= data.Length() || data[k] != ' ') return std::nullopt;
    if (length > data.Length() - at || length < k - at + 3) return std::nullopt;
    const uint32_t end = at + static_cast<uint32_t>(length);
    if (data[end - 1] != '\n') return std::nullopt;
    const String record = data.Substring(k + 1, end - 1 - (k + 1));
    const uint32_t equals = record.Find('=');
    if (equals == String::npos || equals == 0) return std::nullopt;
    records.push_back({record.Substring(0, equals), record.Substring(equals + 1), end - at});
    at = end;
  }
  return records;
}

String PaxRecordText(const String& key, const String& value) {
  // " key=value\n" and the length's own digits, which may carry it to one digit more.
  const uint64_t body = 1 + key.Length() + 1 + value.Length() + 1;
  uint64_t length = body + 1;
  for (;;) {
    const uint64_t digits = String::FromNumber(length).Length();
    if (body + digits == length) break;
    length = body + digits;
  }
  return String::FromNumber(length) + " " + key + "=" + value + "\n";
}

}  // namespace Vadu
