#include "support/settings_map.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "support/parallel_deflate.h"
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

// Reads the raw form piece by piece as it is inflated, putting each value straight into its own
// string, with the rules of Deserialize: the whole raw form never exists in memory.
class RawReader {
 public:
  explicit RawReader(const SettingsMap::EntrySink& sink) : sink_(sink) {}

  // False as soon as the form is malformed.
  bool Read(const char* data, uint32_t count) {
    total_ += count;
    while (count > 0) {
      if (state_ == State::kNameLength || state_ == State::kValueLength) {
        const uint32_t take = std::min<uint32_t>(4 - have_, count);
        std::memcpy(length_ + have_, data, take);
        have_ += take, data += take, count -= take;
        if (have_ < 4) break;
        remaining_ = GetLength(length_);
        have_ = 0;
        state_ = state_ == State::kNameLength ? State::kName : State::kValue;
        field_ = String();
        if (remaining_ == 0 && !EndField()) return false;
        continue;
      }
      const uint32_t take = std::min(remaining_, count);
      field_.Append(data, take);  // grows in place: a value is held once
      data += take, count -= take, remaining_ -= take;
      if (remaining_ == 0 && !EndField()) return false;
    }
    return true;
  }

  // True when the form ended where Deserialize accepts it.
  bool Finish() const {
    if (total_ > 0 && total_ < 5) return false;
    // At an entry's end, or after a final name without its value (which is dropped).
    return have_ == 0 && (state_ == State::kNameLength || state_ == State::kValueLength);
  }

 private:
  enum class State { kNameLength, kName, kValueLength, kValue };

  bool EndField() {
    if (state_ == State::kName) {
      name_ = std::move(field_);
      state_ = State::kValueLength;
      return true;
    }
    if (name_.IsEmpty()) return false;
    state_ = State::kNameLength;
    // A duplicate keeps the first value.
    const bool first = names_.insert(name_).second;
    const String value = std::move(field_);
    field_ = String();
    const String name = std::move(name_);
    name_ = String();
    return !first || sink_(name, value);
  }

  const SettingsMap::EntrySink& sink_;
  std::set<String> names_;
  State state_ = State::kNameLength;
  char length_[4] = {};
  uint32_t have_ = 0;       // bytes of the current length read so far
  uint32_t remaining_ = 0;  // bytes of the current field still to come
  uint64_t total_ = 0;
  String name_, field_;
};

}  // namespace

SettingsMap::SettingsMap(const String& compressed) { Load(compressed); }

uint64_t SettingsMap::RawLength() const {
  uint64_t total = 0;
  for (const auto& [name, value] : entries_) total += RawLengthOf(name.Length(), value.Length());
  return total;
}

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

bool SettingsMap::ReadEntries(const String& compressed, const EntrySink& sink) {
  if (compressed.IsEmpty()) return false;
  RawReader reader(sink);
  return InflateInto(
             compressed, kMaxInflatedSize,
             [&reader](const char* data, uint32_t count) { return reader.Read(data, count); }) &&
         reader.Finish();
}

bool SettingsMap::Load(const String& compressed) {
  if (compressed.IsEmpty()) return false;
  entries_.clear();
  if (!ReadEntries(compressed, [this](const String& name, const String& value) {
        entries_.emplace(name, value);
        return true;
      })) {
    entries_.clear();
    return false;
  }
  return true;
}

String SettingsMap::Save() const {
  if (entries_.empty()) return String();
  // Compressed entry by entry, on every core: the raw form is never made whole.
  ParallelDeflater deflater;
  uint64_t total = 0;
  for (const auto& [name, value] : entries_) {
    total += uint64_t{name.Length()} + value.Length() + 8;
    if (total >= String::npos) return String();  // the raw form would not fit a string
    char length[4];
    PutLength(length, name.Length());
    deflater.Add(length, 4);
    deflater.Add(name.Data(), name.Length());
    PutLength(length, value.Length());
    deflater.Add(length, 4);
    deflater.Add(value.Data(), value.Length());
  }
  return deflater.Finish();
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
