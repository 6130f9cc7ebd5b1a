// The resource directory of a PE image as a tree: parsing it from an image and laying it out
// again as the contents of a resource section.
#ifndef ZENTU_TOOLS_ICONCHANGER_RESOURCE_TREE_H_
#define ZENTU_TOOLS_ICONCHANGER_RESOURCE_TREE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "byte_io.h"

namespace iconchanger {

struct ResourceName {
  bool is_string = false;
  uint32_t id = 0;     // When !is_string.
  std::u16string str;  // When is_string.

  static ResourceName Id(uint32_t id) { return {false, id, {}}; }
  bool operator==(const ResourceName&) const = default;
};

struct ResourceDirectory;

// A directory entry: either a subdirectory or a leaf with the resource's bytes.
struct ResourceEntry {
  ResourceName name;
  std::unique_ptr<ResourceDirectory> directory;  // Set for subdirectories.
  Bytes data;                                    // Leaf contents.
  uint32_t code_page = 0;
  uint32_t reserved = 0;

  bool is_directory() const { return directory != nullptr; }
};

struct ResourceDirectory {
  uint32_t characteristics = 0;
  uint32_t time_date_stamp = 0;
  uint16_t major_version = 0;
  uint16_t minor_version = 0;
  // Named entries first (in their original order), then ID entries by ascending ID: the order
  // the loader's binary search expects and the order the section is written in.
  std::vector<ResourceEntry> entries;

  ResourceEntry* FindId(uint32_t id);
  // Returns the entry with `id`, inserting an empty subdirectory entry in order when missing.
  ResourceEntry& FindOrAddDirectory(uint32_t id);
  // Inserts `entry` at its ordered position.
  ResourceEntry& Insert(ResourceEntry entry);
};

bool operator==(const ResourceEntry& a, const ResourceEntry& b);
bool operator==(const ResourceDirectory& a, const ResourceDirectory& b);

// Reads `size` bytes at `rva` of the image into `out`; false when not backed by the image.
using RvaReader = std::function<bool(uint32_t rva, uint32_t size, Bytes& out)>;

// Parses the resource directory rooted at `root_rva`. Every table, string and data entry is
// read through `read` (so every offset is bounds-checked), loops, excessive nesting and
// duplicate names within a directory are rejected, and the data copied is capped at
// `max_total_data` bytes so that data shared by many entries cannot blow up memory. Throws Error on
// malformed input.
ResourceDirectory ParseResourceTree(uint32_t root_rva, const RvaReader& read,
                                    uint64_t max_total_data);

// Lays out `root` as a resource section to be mapped at `section_rva`: all directory tables
// (breadth first, entries named first, then by ascending ID), then the data entries, then the
// name strings (2-byte aligned), then the data (each item 8-byte aligned). Data entries hold
// RVAs relative to `section_rva`.
Bytes BuildResourceSection(const ResourceDirectory& root, uint32_t section_rva);

}  // namespace iconchanger

#endif  // ZENTU_TOOLS_ICONCHANGER_RESOURCE_TREE_H_
