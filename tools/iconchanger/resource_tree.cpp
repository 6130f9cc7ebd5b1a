#include "resource_tree.h"

#include <algorithm>
#include <set>
#include <string>
#include <utility>

namespace iconchanger {
namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr size_t kTableHeaderSize = 16;
constexpr size_t kEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
// Windows uses three levels (type, name, language); a little slack, but no deep recursion.
constexpr int kMaxDepth = 8;
constexpr size_t kMaxEntries = 1 << 20;

bool EntryLess(const ResourceEntry& a, const ResourceEntry& b) {
  if (a.name.is_string != b.name.is_string) return a.name.is_string;
  return !a.name.is_string && a.name.id < b.name.id;
}

class TreeParser {
 public:
  TreeParser(uint32_t root_rva, const RvaReader& read, uint64_t max_total_data)
      : root_rva_(root_rva), read_(read), data_budget_(max_total_data) {}

  ResourceDirectory ParseDirectory(uint32_t offset, int depth) {
    if (depth > kMaxDepth) throw Error("resource directory nested too deeply");
    if (std::find(path_.begin(), path_.end(), offset) != path_.end()) {
      throw Error("resource directory contains a loop");
    }
    path_.push_back(offset);
    const Bytes header = Read(offset, kTableHeaderSize, "resource directory table");
    ResourceDirectory dir;
    dir.characteristics = LoadU32(header.data());
    dir.time_date_stamp = LoadU32(header.data() + 4);
    dir.major_version = LoadU16(header.data() + 8);
    dir.minor_version = LoadU16(header.data() + 10);
    const size_t count = size_t{LoadU16(header.data() + 12)} + LoadU16(header.data() + 14);
    if (count > entry_budget_) throw Error("too many resource directory entries");
    entry_budget_ -= count;
    const Bytes table =
        Read(uint64_t{offset} + kTableHeaderSize, count * kEntrySize, "resource directory entries");
    for (size_t i = 0; i < count; ++i) {
      const uint32_t name = LoadU32(table.data() + i * kEntrySize);
      const uint32_t target = LoadU32(table.data() + i * kEntrySize + 4);
      ResourceEntry entry;
      if (name & kHighBit) {
        entry.name.is_string = true;
        entry.name.str = ReadString(name & ~kHighBit);
      } else {
        entry.name.id = name;
      }
      if (target & kHighBit) {
        entry.directory =
            std::make_unique<ResourceDirectory>(ParseDirectory(target & ~kHighBit, depth + 1));
      } else {
        ReadLeaf(target, entry);
      }
      dir.entries.push_back(std::move(entry));
    }
    std::stable_sort(dir.entries.begin(), dir.entries.end(), EntryLess);
    // Lookups binary-search each directory, so every name must be unique.
    std::set<std::u16string> names;
    for (size_t i = 0; i < dir.entries.size(); ++i) {
      const ResourceName& name = dir.entries[i].name;
      if (name.is_string ? !names.insert(name.str).second
                         : i > 0 && dir.entries[i - 1].name == name) {
        throw Error("resource directory has duplicate entries");
      }
    }
    path_.pop_back();
    return dir;
  }

 private:
  Bytes Read(uint64_t offset, uint64_t size, const char* what) {
    const uint64_t rva = uint64_t{root_rva_} + offset;
    Bytes out;
    if (rva + size > 0xffffffffu ||
        !read_(static_cast<uint32_t>(rva), static_cast<uint32_t>(size), out)) {
      throw Error(std::string(what) + " lies outside the image");
    }
    return out;
  }

  std::u16string ReadString(uint32_t offset) {
    const Bytes length_bytes = Read(offset, 2, "resource name");
    const uint16_t length = LoadU16(length_bytes.data());
    const Bytes chars = Read(uint64_t{offset} + 2, uint64_t{length} * 2, "resource name");
    std::u16string str(length, u'\0');
    for (size_t i = 0; i < length; ++i)
      str[i] = static_cast<char16_t>(LoadU16(chars.data() + 2 * i));
    return str;
  }

  void ReadLeaf(uint32_t offset, ResourceEntry& entry) {
    const Bytes header = Read(offset, kDataEntrySize, "resource data entry");
    const uint32_t data_rva = LoadU32(header.data());
    const uint32_t size = LoadU32(header.data() + 4);
    entry.code_page = LoadU32(header.data() + 8);
    entry.reserved = LoadU32(header.data() + 12);
    if (size > data_budget_) throw Error("resource data larger than the image");
    data_budget_ -= size;
    if (!read_(data_rva, size, entry.data)) throw Error("resource data lies outside the image");
  }

  uint32_t root_rva_;
  const RvaReader& read_;
  uint64_t data_budget_;
  size_t entry_budget_ = kMaxEntries;
  std::vector<uint32_t> path_;  // Offsets of the directories being parsed, to detect loops.
};

// Where the parts of a resource section go: the directory tables breadth first, then the data
// entries, then the name strings, then the data.
struct SectionLayout {
  // Breadth-first list of directories, each with its entries in write order; a child's index
  // follows from the order of appearance.
  std::vector<const ResourceDirectory*> dirs;
  std::vector<std::vector<const ResourceEntry*>> ordered;
  std::vector<uint64_t> table_offsets;
  uint64_t tables_size = 0;
  uint64_t leaf_count = 0;
  uint64_t strings_size = 0;
  uint64_t data_size = 0;
  uint64_t entries_start = 0;
  uint64_t strings_start = 0;
  uint64_t data_start = 0;
  uint64_t total = 0;
};

// The entries of `dir` in the order they are written: named first, then by ascending ID.
std::vector<const ResourceEntry*> EntriesInWriteOrder(const ResourceDirectory& dir) {
  std::vector<const ResourceEntry*> entries;
  for (const ResourceEntry& e : dir.entries) entries.push_back(&e);
  std::stable_sort(
      entries.begin(), entries.end(),
      [](const ResourceEntry* a, const ResourceEntry* b) { return EntryLess(*a, *b); });
  return entries;
}

// Counts what `e` adds to the strings and the data, and queues its subdirectory. Throws Error for
// a name the format cannot hold.
void CountEntry(const ResourceEntry& e, SectionLayout& layout) {
  if (e.name.is_string) {
    if (e.name.str.size() > 0xffff) throw Error("resource name too long");
    layout.strings_size += 2 + 2 * e.name.str.size();
  } else if (e.name.id & kHighBit) {
    throw Error("resource ID out of range");
  }
  if (e.is_directory()) {
    layout.dirs.push_back(e.directory.get());
  } else {
    ++layout.leaf_count;
    layout.data_size += AlignUp(e.data.size(), 8);
  }
}

// Lays out the tables of `root` and its subdirectories and the parts after them. Throws Error when
// a directory has too many entries or the section would not fit at `section_rva`.
SectionLayout LayOutSection(const ResourceDirectory& root, uint32_t section_rva) {
  SectionLayout layout;
  layout.dirs.push_back(&root);
  for (size_t i = 0; i < layout.dirs.size(); ++i) {
    const ResourceDirectory& dir = *layout.dirs[i];
    if (dir.entries.size() > 0xffff) throw Error("too many resource directory entries");
    layout.table_offsets.push_back(layout.tables_size);
    layout.tables_size += kTableHeaderSize + dir.entries.size() * kEntrySize;
    layout.ordered.push_back(EntriesInWriteOrder(dir));
    for (const ResourceEntry* e : layout.ordered.back()) CountEntry(*e, layout);
  }
  layout.entries_start = layout.tables_size;
  layout.strings_start = layout.entries_start + layout.leaf_count * kDataEntrySize;
  layout.data_start = AlignUp(layout.strings_start + layout.strings_size, 8);
  layout.total = layout.data_start + layout.data_size;
  if (layout.total > 0x7fffffffu || uint64_t{section_rva} + layout.total > 0xffffffffu) {
    throw Error("resource section too large");
  }
  return layout;
}

void StoreTableHeader(uint8_t* table, const ResourceDirectory& d) {
  const auto named = std::count_if(d.entries.begin(), d.entries.end(),
                                   [](const ResourceEntry& e) { return e.name.is_string; });
  StoreU32(table, d.characteristics);
  StoreU32(table + 4, d.time_date_stamp);
  StoreU16(table + 8, d.major_version);
  StoreU16(table + 10, d.minor_version);
  StoreU16(table + 12, static_cast<uint16_t>(named));
  StoreU16(table + 14, static_cast<uint16_t>(d.entries.size() - named));
}

// Writes a laid-out resource section: each table, and for each entry its name, its subdirectory
// or its data entry and data.
class SectionWriter {
 public:
  SectionWriter(const SectionLayout& layout, uint32_t section_rva)
      : layout_(layout),
        section_rva_(section_rva),
        out_(layout.total, 0),
        leaf_cursor_(layout.entries_start),
        string_cursor_(layout.strings_start),
        data_cursor_(layout.data_start) {}

  Bytes Write() {
    for (size_t i = 0; i < layout_.dirs.size(); ++i) WriteTable(i);
    return std::move(out_);
  }

 private:
  void WriteTable(size_t index) {
    uint8_t* table = out_.data() + layout_.table_offsets[index];
    StoreTableHeader(table, *layout_.dirs[index]);
    uint8_t* slot = table + kTableHeaderSize;
    for (const ResourceEntry* e : layout_.ordered[index]) {
      WriteName(slot, e->name);
      if (e->is_directory()) {
        StoreU32(slot + 4, kHighBit | static_cast<uint32_t>(layout_.table_offsets[next_child_++]));
      } else {
        WriteLeaf(slot, *e);
      }
      slot += kEntrySize;
    }
  }

  // The ID, or the offset of the name string written after the ones before it.
  void WriteName(uint8_t* slot, const ResourceName& name) {
    if (!name.is_string) return StoreU32(slot, name.id);
    StoreU32(slot, kHighBit | static_cast<uint32_t>(string_cursor_));
    StoreU16(out_.data() + string_cursor_, static_cast<uint16_t>(name.str.size()));
    for (size_t c = 0; c < name.str.size(); ++c) {
      StoreU16(out_.data() + string_cursor_ + 2 + 2 * c, static_cast<uint16_t>(name.str[c]));
    }
    string_cursor_ += 2 + 2 * name.str.size();
  }

  // The leaf's data entry and its data, each after the ones before it.
  void WriteLeaf(uint8_t* slot, const ResourceEntry& leaf) {
    StoreU32(slot + 4, static_cast<uint32_t>(leaf_cursor_));
    uint8_t* data_entry = out_.data() + leaf_cursor_;
    StoreU32(data_entry, static_cast<uint32_t>(section_rva_ + data_cursor_));
    StoreU32(data_entry + 4, static_cast<uint32_t>(leaf.data.size()));
    StoreU32(data_entry + 8, leaf.code_page);
    StoreU32(data_entry + 12, leaf.reserved);
    std::copy(leaf.data.begin(), leaf.data.end(), out_.begin() + data_cursor_);
    leaf_cursor_ += kDataEntrySize;
    data_cursor_ += AlignUp(leaf.data.size(), 8);
  }

  const SectionLayout& layout_;
  uint32_t section_rva_;
  Bytes out_;
  size_t next_child_ = 1;
  uint64_t leaf_cursor_;
  uint64_t string_cursor_;
  uint64_t data_cursor_;
};

}  // namespace

ResourceEntry* ResourceDirectory::FindId(uint32_t id) {
  for (ResourceEntry& e : entries) {
    if (!e.name.is_string && e.name.id == id) return &e;
  }
  return nullptr;
}

ResourceEntry& ResourceDirectory::Insert(ResourceEntry entry) {
  const auto pos = std::upper_bound(entries.begin(), entries.end(), entry, EntryLess);
  return *entries.insert(pos, std::move(entry));
}

ResourceEntry& ResourceDirectory::FindOrAddDirectory(uint32_t id) {
  if (ResourceEntry* e = FindId(id)) return *e;
  ResourceEntry entry;
  entry.name = ResourceName::Id(id);
  entry.directory = std::make_unique<ResourceDirectory>();
  return Insert(std::move(entry));
}

bool operator==(const ResourceEntry& a, const ResourceEntry& b) {
  if (a.name != b.name || a.is_directory() != b.is_directory()) return false;
  if (a.is_directory()) return *a.directory == *b.directory;
  return a.data == b.data && a.code_page == b.code_page && a.reserved == b.reserved;
}

bool operator==(const ResourceDirectory& a, const ResourceDirectory& b) {
  return a.characteristics == b.characteristics && a.time_date_stamp == b.time_date_stamp &&
         a.major_version == b.major_version && a.minor_version == b.minor_version &&
         a.entries == b.entries;
}

ResourceDirectory ParseResourceTree(uint32_t root_rva, const RvaReader& read,
                                    uint64_t max_total_data) {
  TreeParser parser(root_rva, read, max_total_data);
  return parser.ParseDirectory(0, 0);
}

Bytes BuildResourceSection(const ResourceDirectory& root, uint32_t section_rva) {
  return SectionWriter(LayOutSection(root, section_rva), section_rva).Write();
}

}  // namespace iconchanger
