#include "icon_replacer.h"

#include <algorithm>
#include <set>
#include <utility>

#include "pe_image.h"

namespace iconchanger {
namespace {

constexpr size_t kGroupHeaderSize = 6;
constexpr size_t kGroupEntrySize = 14;

// The first leaf found under `dir` (depth first), if any.
const ResourceEntry* FirstLeaf(const ResourceDirectory& dir) {
  for (const ResourceEntry& e : dir.entries) {
    if (!e.is_directory()) return &e;
    if (const ResourceEntry* leaf = FirstLeaf(*e.directory)) return leaf;
  }
  return nullptr;
}

// True when one language's group data lists exactly the icon's images and `icons` holds each of
// them in that language.
bool GroupMatches(const ResourceEntry& language, const ResourceDirectory& icons,
                  const IcoFile& ico) {
  const std::vector<GroupIconEntry> entries = ParseGroupIcon(language.data);
  if (entries.size() != ico.images.size()) return false;
  for (size_t i = 0; i < entries.size(); ++i) {
    const GroupIconEntry& entry = entries[i];
    const IconImage& image = ico.images[i];
    if (entry.width != image.width || entry.height != image.height ||
        entry.color_count != image.color_count || entry.planes != image.planes ||
        entry.bit_count != image.bit_count || entry.bytes_in_res != image.data.size()) {
      return false;
    }
    const auto icon =
        std::find_if(icons.entries.begin(), icons.entries.end(),
                     [&](const ResourceEntry& e) { return e.name == ResourceName::Id(entry.id); });
    if (icon == icons.entries.end() || !icon->is_directory()) return false;
    const auto leaf = std::find_if(
        icon->directory->entries.begin(), icon->directory->entries.end(),
        [&](const ResourceEntry& e) { return e.name == language.name && !e.is_directory(); });
    if (leaf == icon->directory->entries.end() || leaf->data != image.data) return false;
  }
  return true;
}

// Icon IDs referenced by every language of one group; malformed group data references nothing.
void CollectGroupIconIds(const ResourceEntry& group, std::set<uint32_t>& ids) {
  auto collect = [&](const ResourceEntry& leaf) {
    try {
      for (const GroupIconEntry& entry : ParseGroupIcon(leaf.data)) ids.insert(entry.id);
    } catch (const Error&) {
    }
  };
  if (!group.is_directory()) return collect(group);
  for (const ResourceEntry& lang : group.directory->entries) {
    if (!lang.is_directory()) collect(lang);
  }
}

// The subdirectory of `type` under `root`, added when missing. Throws Error with `malformed` when
// the type is a leaf.
ResourceDirectory& TypeDirectory(ResourceDirectory& root, uint32_t type, const char* malformed) {
  ResourceEntry& entry = root.FindOrAddDirectory(type);
  if (!entry.is_directory()) throw Error(malformed);
  return *entry.directory;
}

// The RT_GROUP_ICON directory, with a group of ID 1 added when it has none.
ResourceDirectory& IconGroups(ResourceDirectory& root) {
  ResourceDirectory& groups =
      TypeDirectory(root, kRtGroupIcon, "malformed icon group resource directory");
  if (groups.entries.empty()) {
    ResourceEntry group;
    group.name = ResourceName::Id(1);
    group.directory = std::make_unique<ResourceDirectory>();
    groups.Insert(std::move(group));
  }
  return groups;
}

// The first group, the one replaced: a directory of language leaves, else Error.
ResourceEntry& FirstIconGroup(ResourceDirectory& groups) {
  ResourceEntry& group = groups.entries.front();
  if (!group.is_directory()) throw Error("malformed icon group resource");
  for (const ResourceEntry& lang : group.directory->entries) {
    if (lang.is_directory()) throw Error("malformed icon group resource");
  }
  return group;
}

// IDs a new icon may not take: those of the remaining icons and those other groups use.
std::set<uint32_t> TakenIconIds(const ResourceDirectory& icons,
                                const std::set<uint32_t>& other_ids) {
  std::set<uint32_t> taken = other_ids;
  for (const ResourceEntry& e : icons.entries) {
    if (!e.name.is_string) taken.insert(e.name.id);
  }
  return taken;
}

// The languages of the group, or `fallback` for a group without any.
std::vector<uint32_t> GroupLanguages(const ResourceEntry& group, uint32_t fallback) {
  std::vector<uint32_t> languages;
  for (const ResourceEntry& lang : group.directory->entries) languages.push_back(lang.name.id);
  if (languages.empty()) languages.push_back(fallback);
  return languages;
}

// An RT_ICON resource holding `data` in each of `languages`.
ResourceEntry IconResource(uint32_t id, const Bytes& data, const std::vector<uint32_t>& languages) {
  ResourceEntry icon;
  icon.name = ResourceName::Id(id);
  icon.directory = std::make_unique<ResourceDirectory>();
  for (uint32_t language : languages) {
    ResourceEntry leaf;
    leaf.name = ResourceName::Id(language);
    leaf.data = data;
    icon.directory->entries.push_back(std::move(leaf));
  }
  return icon;
}

GroupIconEntry GroupEntryFor(const IconImage& image, uint32_t id) {
  return {.width = image.width,
          .height = image.height,
          .color_count = image.color_count,
          .reserved = image.reserved,
          .planes = image.planes,
          .bit_count = image.bit_count,
          .bytes_in_res = static_cast<uint32_t>(image.data.size()),
          .id = static_cast<uint16_t>(id)};
}

// Adds each image of `ico` as an icon under the lowest ID not `taken`, and returns the group
// entries listing them. Throws Error when IDs run out or an image is too large.
std::vector<GroupIconEntry> AddIconImages(ResourceDirectory& icons, const IcoFile& ico,
                                          const std::vector<uint32_t>& languages,
                                          std::set<uint32_t> taken) {
  std::vector<GroupIconEntry> group_entries;
  uint32_t next_id = 1;
  for (const IconImage& image : ico.images) {
    while (taken.count(next_id)) ++next_id;
    if (next_id > 0xffff) throw Error("no free icon resource IDs left");
    if (image.data.size() > 0xffffffffu) throw Error("icon image too large");
    taken.insert(next_id);
    icons.Insert(IconResource(next_id, image.data, languages));
    group_entries.push_back(GroupEntryFor(image, next_id));
  }
  return group_entries;
}

// Gives every language of the group `data`, adding `language` to a group without any.
void SetGroupData(ResourceEntry& group, uint32_t language, const Bytes& data) {
  if (group.directory->entries.empty()) {
    ResourceEntry leaf;
    leaf.name = ResourceName::Id(language);
    group.directory->entries.push_back(std::move(leaf));
  }
  for (ResourceEntry& lang : group.directory->entries) lang.data = data;
}

}  // namespace

std::vector<GroupIconEntry> ParseGroupIcon(ByteSpan data) {
  if (data.size() < kGroupHeaderSize || LoadU16(data.data()) != 0 ||
      LoadU16(data.data() + 2) != 1) {
    throw Error("malformed icon group resource");
  }
  const size_t count = LoadU16(data.data() + 4);
  if (data.size() < kGroupHeaderSize + count * kGroupEntrySize) {
    throw Error("truncated icon group resource");
  }
  std::vector<GroupIconEntry> entries(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = data.data() + kGroupHeaderSize + i * kGroupEntrySize;
    GroupIconEntry& e = entries[i];
    LoadIconFormat(p, e);
    e.bytes_in_res = LoadU32(p + 8);
    e.id = LoadU16(p + 12);
  }
  return entries;
}

Bytes SerializeGroupIcon(const std::vector<GroupIconEntry>& entries) {
  if (entries.size() > 0xffff) throw Error("too many icon images");
  Bytes out;
  AppendU16(out, 0);
  AppendU16(out, 1);
  AppendU16(out, static_cast<uint16_t>(entries.size()));
  for (const GroupIconEntry& e : entries) {
    out.push_back(e.width);
    out.push_back(e.height);
    out.push_back(e.color_count);
    out.push_back(e.reserved);
    AppendU16(out, e.planes);
    AppendU16(out, e.bit_count);
    AppendU32(out, e.bytes_in_res);
    AppendU16(out, e.id);
  }
  return out;
}

void ReplaceApplicationIcon(ResourceDirectory& root, const IcoFile& ico) {
  if (ico.images.empty()) throw Error("icon file has no images");
  const ResourceEntry* any_leaf = FirstLeaf(root);
  const uint32_t fallback_language = any_leaf ? any_leaf->name.id : kDefaultLanguage;
  // Subdirectories live on the heap, so these stay valid while root's entries grow.
  ResourceDirectory& groups = IconGroups(root);
  ResourceEntry& group = FirstIconGroup(groups);
  std::set<uint32_t> old_ids, other_ids;
  CollectGroupIconIds(group, old_ids);
  for (size_t i = 1; i < groups.entries.size(); ++i) {
    CollectGroupIconIds(groups.entries[i], other_ids);
  }
  ResourceDirectory& icons = TypeDirectory(root, kRtIcon, "malformed icon resource directory");
  std::erase_if(icons.entries, [&](const ResourceEntry& e) {
    return !e.name.is_string && old_ids.count(e.name.id) && !other_ids.count(e.name.id);
  });
  const std::vector<uint32_t> languages = GroupLanguages(group, fallback_language);
  const std::vector<GroupIconEntry> entries =
      AddIconImages(icons, ico, languages, TakenIconIds(icons, other_ids));
  SetGroupData(group, languages.front(), SerializeGroupIcon(entries));
}

Bytes ChangeExecutableIcon(Bytes executable, const IcoFile& ico) {
  const PeImage image(std::move(executable));
  ResourceDirectory root = ReadResourceTree(image);
  ReplaceApplicationIcon(root, ico);
  const ResourcePlacement placement = image.PlanResourceSection();
  const Bytes section = BuildResourceSection(root, placement.rva);
  return image.WithResourceSection(placement, section);
}

bool HasApplicationIcon(const ResourceDirectory& root, const IcoFile& ico) {
  const ResourceDirectory empty;
  const ResourceDirectory* groups = &empty;
  const ResourceDirectory* icons = &empty;
  for (const ResourceEntry& type : root.entries) {
    if (!type.is_directory()) continue;
    if (type.name == ResourceName::Id(kRtGroupIcon)) groups = type.directory.get();
    if (type.name == ResourceName::Id(kRtIcon)) icons = type.directory.get();
  }
  if (ico.images.empty() || groups->entries.empty()) return false;
  const ResourceEntry& group = groups->entries.front();
  if (!group.is_directory() || group.directory->entries.empty()) return false;
  try {
    for (const ResourceEntry& language : group.directory->entries) {
      if (language.is_directory() || !GroupMatches(language, *icons, ico)) return false;
    }
  } catch (const Error&) {
    return false;
  }
  return true;
}

bool ExecutableHasIcon(ByteSpan executable, const IcoFile& ico) {
  try {
    const PeView image(executable);
    return HasApplicationIcon(ReadResourceTree(image), ico);
  } catch (const Error&) {
    return false;
  }
}

}  // namespace iconchanger
