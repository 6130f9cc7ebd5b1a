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
  // Breadth-first list of directories, each with its entries in write order; a child's index
  // follows from the order of appearance.
  std::vector<const ResourceDirectory*> dirs{&root};
  std::vector<std::vector<const ResourceEntry*>> ordered;
  uint64_t tables_size = 0, leaf_count = 0, strings_size = 0, data_size = 0;
  for (size_t i = 0; i < dirs.size(); ++i) {
    if (dirs[i]->entries.size() > 0xffff) throw Error("too many resource directory entries");
    tables_size += kTableHeaderSize + dirs[i]->entries.size() * kEntrySize;
    std::vector<const ResourceEntry*>& entries = ordered.emplace_back();
    for (const ResourceEntry& e : dirs[i]->entries) entries.push_back(&e);
    std::stable_sort(
        entries.begin(), entries.end(),
        [](const ResourceEntry* a, const ResourceEntry* b) { return EntryLess(*a, *b); });
    for (const ResourceEntry* e : entries) {
      if (e->name.is_string) {
        if (e->name.str.size() > 0xffff) throw Error("resource name too long");
        strings_size += 2 + 2 * e->name.str.size();
      } else if (e->name.id & kHighBit) {
        throw Error("resource ID out of range");
      }
      if (e->is_directory()) {
        dirs.push_back(e->directory.get());
      } else {
        ++leaf_count;
        data_size += AlignUp(e->data.size(), 8);
      }
    }
  }
  const uint64_t entries_start = tables_size;
  const uint64_t strings_start = entries_start + leaf_count * kDataEntrySize;
  const uint64_t data_start = AlignUp(strings_start + strings_size, 8);
  const uint64_t total = data_start + data_size;
  if (total > 0x7fffffffu || uint64_t{section_rva} + total > 0xffffffffu) {
    throw Error("resource section too large");
  }

  Bytes out(total, 0);
  std::vector<uint64_t> dir_offsets;
  dir_offsets.reserve(dirs.size());
  uint64_t cursor = 0;
  for (const ResourceDirectory* d : dirs) {
    dir_offsets.push_back(cursor);
    cursor += kTableHeaderSize + d->entries.size() * kEntrySize;
  }
  size_t next_child = 1;
  uint64_t leaf_cursor = entries_start, string_cursor = strings_start, data_cursor = data_start;
  for (size_t i = 0; i < dirs.size(); ++i) {
    const ResourceDirectory& d = *dirs[i];
    uint8_t* table = out.data() + dir_offsets[i];
    const auto named = std::count_if(d.entries.begin(), d.entries.end(),
                                     [](const ResourceEntry& e) { return e.name.is_string; });
    StoreU32(table, d.characteristics);
    StoreU32(table + 4, d.time_date_stamp);
    StoreU16(table + 8, d.major_version);
    StoreU16(table + 10, d.minor_version);
    StoreU16(table + 12, static_cast<uint16_t>(named));
    StoreU16(table + 14, static_cast<uint16_t>(d.entries.size() - named));
    uint8_t* slot = table + kTableHeaderSize;
    for (const ResourceEntry* e : ordered[i]) {
      if (e->name.is_string) {
        StoreU32(slot, kHighBit | static_cast<uint32_t>(string_cursor));
        StoreU16(out.data() + string_cursor, static_cast<uint16_t>(e->name.str.size()));
        for (size_t c = 0; c < e->name.str.size(); ++c) {
          StoreU16(out.data() + string_cursor + 2 + 2 * c, static_cast<uint16_t>(e->name.str[c]));
        }
        string_cursor += 2 + 2 * e->name.str.size();
      } else {
        StoreU32(slot, e->name.id);
      }
      if (e->is_directory()) {
        StoreU32(slot + 4, kHighBit | static_cast<uint32_t>(dir_offsets[next_child++]));
      } else {
        StoreU32(slot + 4, static_cast<uint32_t>(leaf_cursor));
        uint8_t* data_entry = out.data() + leaf_cursor;
        StoreU32(data_entry, static_cast<uint32_t>(section_rva + data_cursor));
        StoreU32(data_entry + 4, static_cast<uint32_t>(e->data.size()));
        StoreU32(data_entry + 8, e->code_page);
        StoreU32(data_entry + 12, e->reserved);
        std::copy(e->data.begin(), e->data.end(), out.begin() + data_cursor);
        leaf_cursor += kDataEntrySize;
        data_cursor += AlignUp(e->data.size(), 8);
      }
      slot += kEntrySize;
    }
  }
  return out;
}

}  // namespace iconchanger
