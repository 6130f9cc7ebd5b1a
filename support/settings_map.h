// An ordered map from resource name (UTF-8) to value (bytes), with its raw serialised form and its
// zlib-compressed form.
//
// Raw form: the entries in map order, each written as
//   name length (u32 LE) | name bytes | value length (u32 LE) | value bytes
// with no header, count or terminator; an empty map is an empty string.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "support/string_base.h"

namespace Vadu {

class ISerializable {
 public:
  // The raw serialised form of the whole object.
  virtual String Serialize() const = 0;
  // Replaces the contents with those read from a raw serialised form; false when it is malformed.
  virtual bool Deserialize(const String& bytes) = 0;
  virtual ~ISerializable() = default;

 protected:
  ISerializable() = default;
  ISerializable(const ISerializable&) = default;
  ISerializable& operator=(const ISerializable&) = default;
};

class SettingsMap : public ISerializable {
 public:
  SettingsMap() = default;
  // A map loaded from a compressed form (see Load).
  explicit SettingsMap(const String& compressed);

  // Empty for an empty map, and also when the raw form would be longer than a string can hold.
  String Serialize() const override;
  // The length the raw form has (8 bytes and the name and value of each entry), also when it would
  // not fit a string.
  uint64_t RawLength() const;
  // The raw length an entry adds.
  static uint64_t RawLengthOf(uint64_t nameLength, uint64_t valueLength) {
    return nameLength + valueLength + 8;
  }
  // Names sort byte by byte (unsigned), a prefix first. Malformed input (a truncated field, an
  // empty name, bytes left over) leaves the map empty and gives false. A duplicate name keeps its
  // first value; a final name without a value is dropped.
  bool Deserialize(const String& bytes) override;

  // Replaces the contents with the compressed form `compressed`. Empty input gives false and
  // leaves the map unchanged. A stream that does not inflate (corrupt, truncated, or inflating
  // past kMaxInflatedSize) or raw data that is malformed gives false and an empty map.
  bool Load(const String& compressed);
  // Receives one entry of a compressed form; returning false stops the reading.
  using EntrySink = std::function<bool(const String& name, const String& value)>;
  // Reads a compressed form entry by entry with the rules of Load, handing each entry to `sink`
  // as soon as its value has been inflated, so that only one value is in memory at a time; a
  // duplicate name is handed over once, with its first value. False for empty input, a stream
  // that does not inflate, a malformed raw form (the entries before the fault have been handed
  // over by then) or a sink that stopped it.
  static bool ReadEntries(const String& compressed, const EntrySink& sink);
  // The zlib stream (level 6) of the raw form; empty for an empty map, and empty on failure.
  String Save() const;

  // Inserts or replaces an entry; an empty name is ignored.
  void Set(const String& name, const String& value);
  // The value under `name`; empty when there is none. Never inserts.
  String Get(const String& name) const;
  std::vector<String> ListNames() const;
  bool HasEntries() const { return !entries_.empty(); }
  size_t Count() const { return entries_.size(); }
  void Clear() { entries_.clear(); }
  void Swap(SettingsMap& other) noexcept { entries_.swap(other.entries_); }

 private:
  std::map<String, String> entries_;
};

}  // namespace Vadu
