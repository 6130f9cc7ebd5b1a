#include "resource_tree.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace iconchanger {
namespace {

ResourceEntry Leaf(uint32_t language, const std::string& data, uint32_t code_page = 0) {
  ResourceEntry e;
  e.name = ResourceName::Id(language);
  e.data.assign(data.begin(), data.end());
  e.code_page = code_page;
  return e;
}

ResourceEntry Dir(ResourceName name, std::vector<ResourceEntry> children) {
  ResourceEntry e;
  e.name = std::move(name);
  e.directory = std::make_unique<ResourceDirectory>();
  e.directory->entries = std::move(children);
  return e;
}

ResourceName Named(const std::u16string& s) { return {true, 0, s}; }

template <typename... E>
std::vector<ResourceEntry> List(E&&... e) {
  std::vector<ResourceEntry> v;
  (v.push_back(std::move(e)), ...);
  return v;
}

// Types: a named type, RT_ICON and RT_VERSION; two languages; odd data lengths.
ResourceDirectory SampleTree() {
  ResourceDirectory root;
  root.time_date_stamp = 0x12345678;
  root.major_version = 4;
  root.entries =
      List(Dir(Named(u"MYTYPE"), List(Dir(Named(u"ITEM"), List(Leaf(1033, "abc", 1252))))),
           Dir(ResourceName::Id(3), List(Dir(ResourceName::Id(2), List(Leaf(1033, "icon-bytes"))))),
           Dir(ResourceName::Id(16),
               List(Dir(ResourceName::Id(1), List(Leaf(1031, "version-de"), Leaf(1033, "ver"))))));
  root.entries[1].directory->characteristics = 7;
  return root;
}

RvaReader ReaderFor(const Bytes& section, uint32_t base) {
  return [&section, base](uint32_t rva, uint32_t size, Bytes& out) {
    if (rva < base || !InBounds(section.size(), rva - base, size)) return false;
    out.assign(section.begin() + (rva - base), section.begin() + (rva - base) + size);
    return true;
  };
}

// Sets the offset field (with its subdirectory flag) of entry `index` of the table at `table`.
void SetTarget(Bytes& b, uint32_t table, size_t index, uint32_t value) {
  StoreU32(&b[table + 16 + 8 * index + 4], value);
}
uint32_t Sub(const Bytes& b, uint32_t table, size_t index) {
  return LoadU32(&b[table + 16 + 8 * index + 4]) & 0x7fffffff;
}

TEST(ResourceTreeTest, RoundTripsThroughTheSectionLayoutAtAnyRva) {
  const ResourceDirectory tree = SampleTree();
  for (uint32_t rva : {0x1000u, 0x7ff000u, 0x12340u}) {
    SCOPED_TRACE(rva);
    const Bytes section = BuildResourceSection(tree, rva);
    EXPECT_EQ(ParseResourceTree(rva, ReaderFor(section, rva), section.size()), tree);
  }
}

TEST(ResourceTreeTest, AlignsItemsAndRelocatesDataToTheSectionRva) {
  const uint32_t rva = 0x5000;
  const Bytes section = BuildResourceSection(SampleTree(), rva);
  // Walk the raw tables: every table and data entry 4-aligned, data 8-aligned and in the
  // section, names 2-aligned.
  size_t leaves = 0;
  std::function<void(uint32_t)> walk = [&](uint32_t table) {
    EXPECT_EQ(table % 4, 0u);
    const size_t count = LoadU16(&section[table + 12]) + LoadU16(&section[table + 14]);
    for (size_t i = 0; i < count; ++i) {
      const uint32_t name = LoadU32(&section[table + 16 + 8 * i]);
      if (name & 0x80000000) {
        EXPECT_EQ(name % 2, 0u);
      }
      const uint32_t target = LoadU32(&section[table + 16 + 8 * i + 4]);
      if (target & 0x80000000) {
        walk(target & 0x7fffffff);
        continue;
      }
      ++leaves;
      EXPECT_EQ(target % 4, 0u);
      const uint32_t data_rva = LoadU32(&section[target]);
      const uint32_t size = LoadU32(&section[target + 4]);
      EXPECT_EQ(data_rva % 8, 0u);
      EXPECT_GE(data_rva, rva);
      EXPECT_LE(data_rva - rva + size, section.size());
    }
  };
  walk(0);
  EXPECT_EQ(leaves, 4u);
}

TEST(ResourceTreeTest, OrdersNamedEntriesFirstThenAscendingIds) {
  ResourceDirectory tree;
  tree.entries = List(Leaf(9, "nine"), Dir(Named(u"B"), List(Leaf(1, "b"))), Leaf(2, "two"),
                      Dir(Named(u"A"), List(Leaf(1, "a"))));
  const Bytes section = BuildResourceSection(tree, 0x1000);
  EXPECT_EQ(LoadU16(&section[12]), 2);  // Named entries.
  EXPECT_EQ(LoadU16(&section[14]), 2);  // ID entries.
  ResourceDirectory parsed = ParseResourceTree(0x1000, ReaderFor(section, 0x1000), 1000);
  ASSERT_EQ(parsed.entries.size(), 4u);
  EXPECT_EQ(parsed.entries[0].name, Named(u"B"));  // Named entries keep their order.
  EXPECT_EQ(parsed.entries[1].name, Named(u"A"));
  EXPECT_EQ(parsed.entries[2].name, ResourceName::Id(2));
  EXPECT_EQ(parsed.entries[3].name, ResourceName::Id(9));

  EXPECT_TRUE(parsed.FindOrAddDirectory(5).is_directory());
  EXPECT_EQ(&parsed.FindOrAddDirectory(5), parsed.FindId(5));  // Found, not added twice.
  ASSERT_EQ(parsed.entries.size(), 5u);
  EXPECT_EQ(parsed.entries[3].name, ResourceName::Id(5));
}

TEST(ResourceTreeTest, RejectsMalformedDirectories) {
  const uint32_t rva = 0x1000;
  const Bytes valid = BuildResourceSection(SampleTree(), rva);
  // Root entry 1 is RT_ICON (after the named type); its name level, then its language level.
  const uint32_t icon_names = Sub(valid, 0, 1), icon_langs = Sub(valid, icon_names, 0);
  const uint32_t icon_leaf = Sub(valid, icon_langs, 0);
  const std::vector<std::pair<std::string, std::function<void(Bytes&)>>> cases = {
      {"loop to root", [&](Bytes& b) { SetTarget(b, icon_langs, 0, 0x80000000u); }},
      {"loop to itself", [&](Bytes& b) { SetTarget(b, icon_names, 0, 0x80000000u | icon_names); }},
      {"table out of range", [&](Bytes& b) { SetTarget(b, 0, 1, 0x80000000u | 0x7ffffff0u); }},
      {"leaf out of range", [&](Bytes& b) { SetTarget(b, icon_langs, 0, 0x00fffff0u); }},
      {"entry count past end", [&](Bytes& b) { StoreU16(&b[icon_langs + 14], 0xffff); }},
      {"data outside", [&](Bytes& b) { StoreU32(&b[icon_leaf], 0x10); }},
      {"data too long", [&](Bytes& b) { StoreU32(&b[icon_leaf + 4], 0x7fffffff); }},
      {"name outside", [&](Bytes& b) { StoreU32(&b[16], 0x80000000u | 0x00ffffffu); }},
      {"duplicate ID", [&](Bytes& b) { StoreU32(&b[16 + 8 * 2], 3); }},  // RT_VERSION -> RT_ICON.
      {"name length past end",
       [&](Bytes& b) { StoreU16(&b[LoadU32(&b[16]) & 0x7fffffff], 0xffff); }},
  };
  ASSERT_NO_THROW(ParseResourceTree(rva, ReaderFor(valid, rva), valid.size()));
  for (const auto& [name, corrupt] : cases) {
    Bytes broken = valid;
    corrupt(broken);
    EXPECT_THROW(ParseResourceTree(rva, ReaderFor(broken, rva), broken.size()), Error) << name;
  }
}

TEST(ResourceTreeTest, RejectsDuplicateNames) {
  ResourceDirectory tree;
  tree.entries = List(Dir(Named(u"A"), List(Leaf(1, "a"))), Dir(Named(u"B"), List(Leaf(1, "b"))));
  Bytes section = BuildResourceSection(tree, 0x1000);
  ASSERT_NO_THROW(ParseResourceTree(0x1000, ReaderFor(section, 0x1000), 100));
  StoreU32(&section[16 + 8], LoadU32(&section[16]));  // Both entries now name "A".
  EXPECT_THROW(ParseResourceTree(0x1000, ReaderFor(section, 0x1000), 100), Error);
}

TEST(ResourceTreeTest, LimitsNestingAndCopiedData) {
  ResourceEntry chain = Leaf(1, "deep");
  for (int depth = 0; depth < 9; ++depth) chain = Dir(ResourceName::Id(1), List(std::move(chain)));
  ResourceDirectory deep;
  deep.entries = List(std::move(chain));
  const Bytes deep_section = BuildResourceSection(deep, 0x1000);
  EXPECT_THROW(ParseResourceTree(0x1000, ReaderFor(deep_section, 0x1000), 1000), Error);

  const Bytes section = BuildResourceSection(SampleTree(), 0x1000);
  const uint64_t data_total = 3 + 10 + 10 + 3;
  EXPECT_NO_THROW(ParseResourceTree(0x1000, ReaderFor(section, 0x1000), data_total));
  EXPECT_THROW(ParseResourceTree(0x1000, ReaderFor(section, 0x1000), data_total - 1), Error);
}

}  // namespace
}  // namespace iconchanger
