#include "icon_replacer.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "test_support.h"

namespace iconchanger {
namespace {

using testing::DibIcon;
using testing::PngIcon;

ResourceEntry Leaf(uint32_t language, Bytes data) {
  ResourceEntry e;
  e.name = ResourceName::Id(language);
  e.data = std::move(data);
  return e;
}

ResourceEntry Dir(ResourceName name) {
  ResourceEntry e;
  e.name = std::move(name);
  e.directory = std::make_unique<ResourceDirectory>();
  return e;
}

Bytes GroupOf(const std::vector<uint16_t>& ids) {
  std::vector<GroupIconEntry> entries;
  for (uint16_t id : ids) entries.push_back({16, 16, 0, 0, 1, 32, 100u + id, id});
  return SerializeGroupIcon(entries);
}

// Adds type/name/language -> data, creating the directories on the way.
void Put(ResourceDirectory& root, uint32_t type, ResourceName name, uint32_t lang, Bytes data) {
  ResourceDirectory& names = *root.FindOrAddDirectory(type).directory;
  ResourceEntry* entry = nullptr;
  for (ResourceEntry& e : names.entries) {
    if (e.name == name) entry = &e;
  }
  if (!entry) entry = &names.Insert(Dir(name));
  entry->directory->Insert(Leaf(lang, std::move(data)));
}

std::set<uint32_t> IconIds(ResourceDirectory& root) {
  std::set<uint32_t> ids;
  if (ResourceEntry* icons = root.FindId(kRtIcon)) {
    for (const ResourceEntry& e : icons->directory->entries) ids.insert(e.name.id);
  }
  return ids;
}

const IcoFile kIco{{DibIcon(16, 4, 1), PngIcon(32, 2), DibIcon(48, 32, 3)}};

// Checks that `group` lists exactly kIco's images and that each ID holds its image in `lang`.
void ExpectGroupMatchesIco(const ResourceDirectory& root, const Bytes& group, uint32_t lang) {
  const std::vector<GroupIconEntry> entries = ParseGroupIcon(group);
  ASSERT_EQ(entries.size(), kIco.images.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const IconImage& image = kIco.images[i];
    EXPECT_EQ(entries[i].width, image.width);
    EXPECT_EQ(entries[i].bit_count, image.bit_count);
    EXPECT_EQ(entries[i].bytes_in_res, image.data.size());
    const ResourceEntry* icon =
        testing::FindLeaf(root, kRtIcon, ResourceName::Id(entries[i].id), lang);
    ASSERT_NE(icon, nullptr) << "icon " << entries[i].id;
    EXPECT_EQ(icon->data, image.data);
  }
}

TEST(GroupIconTest, RoundTripsAndRejectsMalformedData) {
  const std::vector<GroupIconEntry> entries = {{0, 0, 0, 0, 1, 32, 70000, 3},
                                               {16, 16, 16, 0, 1, 4, 296, 65535}};
  const Bytes data = SerializeGroupIcon(entries);
  EXPECT_EQ(data.size(), 6u + 14 * entries.size());
  const std::vector<GroupIconEntry> parsed = ParseGroupIcon(data);
  ASSERT_EQ(parsed.size(), 2u);
  EXPECT_EQ(parsed[0].bytes_in_res, 70000u);
  EXPECT_EQ(parsed[1].id, 65535);
  EXPECT_EQ(parsed[1].color_count, 16);
  EXPECT_THROW(ParseGroupIcon(ByteSpan(data).first(data.size() - 1)), Error);
  Bytes wrong_type = data;
  wrong_type[2] = 2;
  EXPECT_THROW(ParseGroupIcon(wrong_type), Error);
}

TEST(ReplaceApplicationIconTest, ReplacesFirstGroupInAllLanguagesAndFreesOnlyItsIcons) {
  auto make_tree = [] {
    ResourceDirectory root;
    for (uint16_t id : {1, 2, 3, 4, 7})
      Put(root, kRtIcon, ResourceName::Id(id), 1033, {static_cast<uint8_t>(id)});
    Put(root, kRtGroupIcon, ResourceName::Id(10), 1033, GroupOf({1, 2, 3}));
    Put(root, kRtGroupIcon, ResourceName::Id(10), 1031, GroupOf({1, 2}));
    Put(root, kRtGroupIcon, ResourceName::Id(11), 1033, GroupOf({3, 4, 9}));  // 9 is missing.
    Put(root, 16, ResourceName::Id(1), 1033, {'v', 'e', 'r'});
    return root;
  };
  ResourceDirectory root = make_tree();
  const ResourceDirectory original = make_tree();
  ReplaceApplicationIcon(root, kIco);

  // Icons 1 and 2 were only the first group's; 3 is shared, 4 belongs to the other group and 7
  // to none. New IDs avoid everything still present or referenced (9).
  EXPECT_EQ(IconIds(root), (std::set<uint32_t>{1, 2, 3, 4, 5, 7}));
  const ResourceEntry* de = testing::FindLeaf(root, kRtGroupIcon, ResourceName::Id(10), 1031);
  const ResourceEntry* en = testing::FindLeaf(root, kRtGroupIcon, ResourceName::Id(10), 1033);
  ASSERT_TRUE(de && en);
  EXPECT_EQ(de->data, en->data);
  ExpectGroupMatchesIco(root, de->data, 1031);  // Icons exist in each of the group's languages.
  ExpectGroupMatchesIco(root, en->data, 1033);
  std::set<uint16_t> new_ids;
  for (const GroupIconEntry& e : ParseGroupIcon(de->data)) new_ids.insert(e.id);
  EXPECT_EQ(new_ids, (std::set<uint16_t>{1, 2, 5}));

  const ResourceEntry* other = testing::FindLeaf(root, kRtGroupIcon, ResourceName::Id(11), 1033);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->data, GroupOf({3, 4, 9}));
  for (uint16_t id : {3, 4, 7}) {
    const ResourceEntry* icon = testing::FindLeaf(root, kRtIcon, ResourceName::Id(id), 1033);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->data, Bytes{static_cast<uint8_t>(id)});
  }
  EXPECT_EQ(root.entries.back(), original.entries.back());  // RT_VERSION.
}

TEST(ReplaceApplicationIconTest, PrefersANamedGroupAndKeepsIconsOfUnreadableGroups) {
  ResourceDirectory root;
  Put(root, kRtIcon, ResourceName::Id(1), 1033, {1});
  Put(root, kRtIcon, ResourceName::Id(2), 1033, {2});
  Put(root, kRtGroupIcon, ResourceName::Id(1), 1033, GroupOf({1}));
  Put(root, kRtGroupIcon, ResourceName{true, 0, u"MAINICON"}, 1033, {0xde, 0xad});  // Unreadable.
  ReplaceApplicationIcon(root, kIco);
  const ResourceEntry* named =
      testing::FindLeaf(root, kRtGroupIcon, ResourceName{true, 0, u"MAINICON"}, 1033);
  ASSERT_NE(named, nullptr);
  ExpectGroupMatchesIco(root, named->data, 1033);
  EXPECT_EQ(testing::FindLeaf(root, kRtGroupIcon, ResourceName::Id(1), 1033)->data, GroupOf({1}));
  // Nothing is known to be freed, so icons 1 and 2 stay and the new ones come after them.
  EXPECT_EQ(IconIds(root), (std::set<uint32_t>{1, 2, 3, 4, 5}));
}

TEST(ReplaceApplicationIconTest, CreatesGroupOneInTheLanguageOfExistingResources) {
  ResourceDirectory empty;
  ReplaceApplicationIcon(empty, kIco);
  const ResourceEntry* group =
      testing::FindLeaf(empty, kRtGroupIcon, ResourceName::Id(1), kDefaultLanguage);
  ASSERT_NE(group, nullptr);
  ExpectGroupMatchesIco(empty, group->data, kDefaultLanguage);

  ResourceDirectory versioned;
  Put(versioned, 16, ResourceName::Id(1), 1031, {1});
  ReplaceApplicationIcon(versioned, kIco);
  group = testing::FindLeaf(versioned, kRtGroupIcon, ResourceName::Id(1), 1031);
  ASSERT_NE(group, nullptr);
  ExpectGroupMatchesIco(versioned, group->data, 1031);
  EXPECT_EQ(versioned.entries.size(), 3u);  // RT_ICON, RT_GROUP_ICON, RT_VERSION in ID order.
  EXPECT_EQ(versioned.entries[0].name, ResourceName::Id(kRtIcon));
  EXPECT_EQ(versioned.entries[1].name, ResourceName::Id(kRtGroupIcon));
}

TEST(ReplaceApplicationIconTest, RejectsMisshapenIconDirectories) {
  ResourceDirectory leaf_type;
  leaf_type.Insert(Leaf(kRtGroupIcon, {1}));
  EXPECT_THROW(ReplaceApplicationIcon(leaf_type, kIco), Error);

  ResourceDirectory leaf_group;
  leaf_group.FindOrAddDirectory(kRtGroupIcon).directory->Insert(Leaf(1, GroupOf({1})));
  EXPECT_THROW(ReplaceApplicationIcon(leaf_group, kIco), Error);
}

TEST(HasApplicationIconTest, HoldsOnlyForTheWholeIconInEveryLanguage) {
  auto replaced = [] {
    ResourceDirectory root;
    Put(root, kRtIcon, ResourceName::Id(1), 1033, {1});
    Put(root, kRtGroupIcon, ResourceName::Id(10), 1033, GroupOf({1}));
    Put(root, kRtGroupIcon, ResourceName::Id(10), 1031, GroupOf({1}));
    ReplaceApplicationIcon(root, kIco);
    return root;
  };
  EXPECT_TRUE(HasApplicationIcon(replaced(), kIco));

  ResourceDirectory untouched;
  Put(untouched, kRtIcon, ResourceName::Id(1), 1033, {1});
  Put(untouched, kRtGroupIcon, ResourceName::Id(10), 1033, GroupOf({1}));
  EXPECT_FALSE(HasApplicationIcon(untouched, kIco));
  EXPECT_FALSE(HasApplicationIcon(ResourceDirectory(), kIco));

  // Another icon, one image fewer, or the images in another order.
  EXPECT_FALSE(HasApplicationIcon(replaced(), IcoFile{{DibIcon(16, 4, 9)}}));
  EXPECT_FALSE(HasApplicationIcon(replaced(), IcoFile{{kIco.images[0], kIco.images[1]}}));
  EXPECT_FALSE(
      HasApplicationIcon(replaced(), IcoFile{{kIco.images[1], kIco.images[0], kIco.images[2]}}));

  // One image's bytes wrong in one language only.
  ResourceDirectory damaged = replaced();
  const std::vector<GroupIconEntry> entries =
      ParseGroupIcon(testing::FindLeaf(damaged, kRtGroupIcon, ResourceName::Id(10), 1031)->data);
  ResourceDirectory& icons = *damaged.FindId(kRtIcon)->directory;
  for (ResourceEntry& icon : icons.entries)
    if (icon.name == ResourceName::Id(entries[2].id))
      for (ResourceEntry& leaf : icon.directory->entries)
        if (leaf.name == ResourceName::Id(1031)) leaf.data.back() ^= 1;
  EXPECT_FALSE(HasApplicationIcon(damaged, kIco));
}

}  // namespace
}  // namespace iconchanger
