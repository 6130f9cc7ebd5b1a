// The OEM information document: the keys of "oem_info.xml" in memory, read from XML text or
// filled from the key catalogue, and written back as the commented file that resellers edit.
#pragma once

#include <cstddef>
#include <map>
#include <vector>

#include "support/string_base.h"

namespace Zentu {

// Name of the OEM information file, also its name among embedded resources.
inline constexpr char kOemInformationFileName[] = "oem_info.xml";

// One key of the document.
struct OemItem {
  // Group elements the key sits in, outermost first (none for a top-level key).
  std::vector<Vadu::String> path;
  // Element name.
  Vadu::String name;
  // UTF-8 text.
  Vadu::String value;
  // Comment written above the element; empty for keys read from a file.
  Vadu::String description;
  // A hidden key stays in the document but is never written.
  bool hidden = false;
};

class OemDocument {
 public:
  // Items ordered by their key: the element name followed by the group names, compared byte by
  // byte (the order in which the file lists them).
  using Items = std::map<Vadu::String, OemItem>;

  OemDocument() = default;
  // The document held by `text` (see Load), with the service name normalised.
  explicit OemDocument(const Vadu::String& text);

  // Replaces all items by those of the first "oem" section of `text` that holds any; then, if
  // `normalise`, normalises the service name. True when at least one item was loaded.
  bool Load(const Vadu::String& text, bool normalise = true);

  // Stores a key under name + group1 + group2. A new key takes every argument (group2 only
  // counts when group1 is given); an existing key only takes the new value.
  void Set(const Vadu::String& description, const Vadu::String& value, const Vadu::String& name,
           const Vadu::String& group1 = Vadu::String(), const Vadu::String& group2 = Vadu::String(),
           bool hidden = false);

  // The value stored under `key`, or `fallback` when the key is absent or its value is empty.
  // A top-level key is looked up by its element name.
  Vadu::String Value(const Vadu::String& key, const Vadu::String& fallback) const;

  // The item stored under `key`, or null.
  const OemItem* Find(const Vadu::String& key) const;

  // The document as the text of "oem_info.xml": declaration, root comment, every visible key
  // with its comment, grouped and indented.
  Vadu::String ToXml() const;

  // Keeps only the ASCII letters of a non-empty ApplicationServiceName, at most 35 of them, and
  // falls back to "ZentuCoreService" when none is left. An absent or empty name stays so.
  void NormaliseServiceName();

  const Items& AllItems() const { return items_; }
  size_t Size() const { return items_.size(); }
  bool IsEmpty() const { return items_.empty(); }
  void Clear() { items_.clear(); }

  // The key of an item: its element name followed by its group names.
  static Vadu::String ItemKey(const Vadu::String& name, const std::vector<Vadu::String>& path);

 private:
  Items items_;
};

}  // namespace Zentu
