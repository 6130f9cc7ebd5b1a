// Replacing the application icon: the icon group and icon resources of a resource tree, and the
// whole edit of an executable in memory.
#ifndef ZENTU_TOOLS_ICONCHANGER_ICON_REPLACER_H_
#define ZENTU_TOOLS_ICONCHANGER_ICON_REPLACER_H_

#include <cstdint>
#include <vector>

#include "byte_io.h"
#include "ico_file.h"
#include "resource_tree.h"

namespace iconchanger {

inline constexpr uint32_t kRtIcon = 3;
inline constexpr uint32_t kRtGroupIcon = 14;
// Language given to a new icon group when the executable has no resources to take one from.
inline constexpr uint32_t kDefaultLanguage = 0x0409;

// One GRPICONDIRENTRY: the .ico directory entry with the image offset replaced by a resource ID.
struct GroupIconEntry {
  uint8_t width = 0;
  uint8_t height = 0;
  uint8_t color_count = 0;
  uint8_t reserved = 0;
  uint16_t planes = 0;
  uint16_t bit_count = 0;
  uint32_t bytes_in_res = 0;
  uint16_t id = 0;
};

// Parses an RT_GROUP_ICON resource (GRPICONDIR). Throws Error when malformed.
std::vector<GroupIconEntry> ParseGroupIcon(ByteSpan data);
Bytes SerializeGroupIcon(const std::vector<GroupIconEntry>& entries);

// Makes `ico` the application icon of the resource tree `root`.
//
// The first RT_GROUP_ICON (in directory order) is replaced, in each of its languages, by a
// group listing the new images; a group with ID 1 is created when there is none. The new images
// become RT_ICON resources with IDs that no remaining RT_ICON and no other group uses, stored in
// each of the group's languages (as resource compilers lay them out, so a lookup in the group's
// language finds them). RT_ICON resources that only the old group referenced are removed;
// anything else is left untouched.
void ReplaceApplicationIcon(ResourceDirectory& root, const IcoFile& ico);

// The whole edit in memory: parses the executable, makes `ico` its application icon and returns
// the rebuilt executable. Throws Error on malformed input or when the image cannot be edited.
Bytes ChangeExecutableIcon(Bytes executable, const IcoFile& ico);

// True when `ico` is the application icon of the resource tree, as ReplaceApplicationIcon leaves
// it: every language of the first RT_GROUP_ICON lists exactly the icon's images, in order and with
// their directory fields, and each listed RT_ICON holds that image's bytes in the group's language.
// Malformed group data gives false.
bool HasApplicationIcon(const ResourceDirectory& root, const IcoFile& ico);

// HasApplicationIcon for an executable's bytes; false when they are not a readable PE image. Lets
// a caller check what an icon tool claims to have done.
bool ExecutableHasIcon(ByteSpan executable, const IcoFile& ico);

}  // namespace iconchanger

#endif  // ZENTU_TOOLS_ICONCHANGER_ICON_REPLACER_H_
