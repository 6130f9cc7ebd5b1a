#include "support/settings_map.h"

#include <cstring>

#include "support/zlib_codec.h"

namespace Vadu {
namespace {

void PutLength(char* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t GetLength(const char* in) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= uint32_t{static_cast<unsigned char>(in[i])} << (8 * i);
  return value;
}

// Reads one length-prefixed field at `*at`; false when the length or the field is cut short.
bool ReadField(const String& bytes, uint32_t* at, String* field) {
  uint32_t size = bytes.Length();
  if (size - *at < 4) return false;
  uint32_t length = GetLength(bytes.Data() + *at);
  *at += 4;
  if (length > size - *at) return false;
  *field = bytes.Substring(*at, length);
  *at += length;
  return true;
}

}  // namespace

SettingsMap::SettingsMap(const String& compressed) { Load(compressed); }

String SettingsMap::Serialize() const {
  uint64_t total = 0;
  for (const auto& [name, value] : entries_) total += uint64_t{name.Length()} + value.Length() + 8;
  String raw;
  if (total == 0 || total >= String::npos) return raw;
  raw.Resize(static_cast<uint32_t>(total));
  char* out = raw.MutableData();
  for (const auto& [name, value] : entries_) {
    PutLength(out, name.Length());
    std::memcpy(out + 4, name.Data(), name.Length());
    out += 4 + name.Length();
    PutLength(out, value.Length());
    if (value.Length()) std::memcpy(out + 4, value.Data(), value.Length());
    out += 4 + value.Length();
  }
  return raw;
}

bool SettingsMap::Deserialize(const String& bytes) {
  entries_.clear();
  uint32_t size = bytes.Length();
  if (size < 5) return size == 0;
  uint32_t at = 0;
  for (;;) {
    String name, value;
    if (!ReadField(bytes, &at, &name)) break;
    // A final name without its value is dropped.
    if (at == size) return true;
    if (!ReadField(bytes, &at, &value) || name.IsEmpty()) break;
    entries_.emplace(std::move(name), std::move(value));  // a duplicate keeps the first value
    if (at == size) return true;
  }
  entries_.clear();
  return false;
}

bool SettingsMap::Load(const String& compressed) {
  if (compressed.IsEmpty()) return false;
  std::optional<String> raw = TryInflate(compressed);
  if (!raw) {
    entries_.clear();
    return false;
  }
  return Deserialize(*raw);
}

String SettingsMap::Save() const {
  if (entries_.empty()) return String();
  String raw = Serialize();
  return raw.IsEmpty() ? raw : Deflate(raw);
}

void SettingsMap::Set(const String& name, const String& value) {
  if (name.IsEmpty()) return;
  entries_.insert_or_assign(name, value);
}

String SettingsMap::Get(const String& name) const {
  auto found = entries_.find(name);
  return found == entries_.end() ? String() : found->second;
}

std::vector<String> SettingsMap::ListNames() const {
  std::vector<String> names;
  names.reserve(entries_.size());
  for (const auto& entry : entries_) names.push_back(entry.first);
  return names;
}

}  // namespace Vadu
