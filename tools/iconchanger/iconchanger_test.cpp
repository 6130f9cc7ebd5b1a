// Runs the iconchanger program on copies of real cross-compiled executables and checks the
// result with this project's parsers and, where installed, with wrestool, osslsigncode and wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "icon_replacer.h"
#include "pe_image.h"
#include "test_support.h"
#include "version_info.h"

namespace iconchanger {
namespace {
namespace fs = std::filesystem;
using testing::DibIcon;
using testing::PngIcon;
using testing::Quote;
using testing::WriteIco;

std::vector<IconImage> NewImages() {
  IconImage png = PngIcon(32, 2);
  png.bit_count = 0;  // Left for the tool to fill in.
  return {DibIcon(16, 8, 1), png, DibIcon(48, 32, 3), PngIcon(64, 4)};
}

// What the images look like once read back from an icon group (plane/bit counts filled in).
std::vector<IconImage> AsStored(const std::vector<IconImage>& images) {
  return ParseIco(WriteIco(images)).images;
}

std::set<uint32_t> GroupIds(const ResourceEntry& group) {
  std::set<uint32_t> ids;
  for (const ResourceEntry& lang : group.directory->entries) {
    for (const GroupIconEntry& e : ParseGroupIcon(lang.data)) ids.insert(e.id);
  }
  return ids;
}

std::set<uint32_t> IdsOfType(const ResourceDirectory& root, uint32_t type) {
  std::set<uint32_t> ids;
  for (const ResourceEntry& t : root.entries) {
    if (t.name != ResourceName::Id(type)) continue;
    for (const ResourceEntry& e : t.directory->entries) ids.insert(e.name.id);
  }
  return ids;
}

const ResourceEntry* TypeEntry(const ResourceDirectory& root, uint32_t type) {
  for (const ResourceEntry& t : root.entries) {
    if (t.name == ResourceName::Id(type)) return &t;
  }
  return nullptr;
}

// Header invariants of a well-formed edited image.
void ExpectConsistentHeaders(const PeImage& image) {
  EXPECT_EQ(ComputePeChecksum(image.bytes(), image.checksum_offset()), image.checksum());
  std::vector<SectionHeader> sections = image.sections();
  std::sort(sections.begin(), sections.end(),
            [](const auto& a, const auto& b) { return a.virtual_address < b.virtual_address; });
  uint64_t end = 0;
  for (const SectionHeader& s : sections) {
    EXPECT_EQ(s.virtual_address % image.section_alignment(), 0u);
    EXPECT_GE(s.virtual_address, end) << "sections overlap";
    if (s.size_of_raw_data != 0) {
      EXPECT_EQ(s.pointer_to_raw_data % image.file_alignment(), 0u);
      EXPECT_EQ(s.size_of_raw_data % image.file_alignment(), 0u);
    }
    end = AlignUp(uint64_t{s.virtual_address} + s.MappedSize(), image.section_alignment());
  }
  EXPECT_EQ(image.size_of_image(), end);
  const DataDirectory resources = image.directory(kResourceDirectoryIndex);
  Bytes ignored;
  EXPECT_TRUE(image.ReadRva(resources.rva, resources.size, ignored));
  EXPECT_EQ(image.directory(kSecurityDirectoryIndex).size, 0u);
}

class IconChangerTest : public ::testing::Test {
 protected:
  fs::path Stage(const fs::path& source, const std::string& name = "my app.exe") {
    fs::copy_file(source, dir_.path() / name, fs::copy_options::overwrite_existing);
    return dir_.path() / name;
  }
  fs::path StageIcon(const Bytes& ico, const std::string& name = "new icon.ico") {
    testing::WriteBytes(dir_.path() / name, ico);
    return dir_.path() / name;
  }
  testing::CommandResult Tool(const std::string& args) {
    return testing::RunCommand(testing::ToolCommand() + " " + args, scratch_.path());
  }
  testing::CommandResult Tool(const fs::path& exe, const fs::path& ico) {
    return Tool(Quote(exe) + " " + Quote(ico));
  }
  testing::CommandResult Run(const std::string& command) {
    return testing::RunCommand(command, scratch_.path());
  }

  testing::TempDir dir_;
  testing::TempDir scratch_;
};

// --- The edit itself, on every fixture ---------------------------------------------------

struct FixtureCase {
  const char* file;
  bool in_place;
};

class ReplaceTest : public IconChangerTest, public ::testing::WithParamInterface<FixtureCase> {
 protected:
  // Checks `edited` against `original` after the icon was replaced by `images`.
  void ExpectIconReplaced(const PeImage& original, const PeImage& edited,
                          const std::vector<IconImage>& images) {
    ExpectConsistentHeaders(edited);
    const ResourceDirectory before = testing::ReadResources(original);
    const ResourceDirectory after = testing::ReadResources(edited);

    // Every resource other than icons and the first icon group is byte-for-byte the same.
    for (const ResourceEntry& type : before.entries) {
      if (type.name == ResourceName::Id(kRtIcon) || type.name == ResourceName::Id(kRtGroupIcon)) {
        continue;
      }
      const auto same = std::find(after.entries.begin(), after.entries.end(), type);
      EXPECT_NE(same, after.entries.end()) << "resource type " << type.name.id << " changed";
    }
    EXPECT_EQ(after.entries.size(), before.entries.size() + !TypeEntry(before, kRtIcon) +
                                        !TypeEntry(before, kRtGroupIcon));

    const ResourceEntry* groups_before = TypeEntry(before, kRtGroupIcon);
    const ResourceEntry* groups_after = TypeEntry(after, kRtGroupIcon);
    ASSERT_NE(groups_after, nullptr);
    const ResourceEntry& group = groups_after->directory->entries.front();
    std::set<uint32_t> languages, old_languages{kDefaultLanguage};
    for (const ResourceEntry& lang : group.directory->entries) languages.insert(lang.name.id);
    std::set<uint32_t> freed, kept_by_others;
    if (groups_before) {
      const ResourceEntry& old_group = groups_before->directory->entries.front();
      EXPECT_EQ(group.name, old_group.name);
      old_languages.clear();
      for (const ResourceEntry& lang : old_group.directory->entries)
        old_languages.insert(lang.name.id);
      freed = GroupIds(old_group);
      // Later groups are untouched.
      ASSERT_EQ(groups_after->directory->entries.size(), groups_before->directory->entries.size());
      for (size_t i = 1; i < groups_before->directory->entries.size(); ++i) {
        EXPECT_EQ(groups_after->directory->entries[i], groups_before->directory->entries[i]);
        const std::set<uint32_t> ids = GroupIds(groups_before->directory->entries[i]);
        kept_by_others.insert(ids.begin(), ids.end());
      }
    }
    EXPECT_EQ(languages, old_languages);  // Languages are kept.

    // The group lists the new images; each ID holds its image in each of the group's languages.
    const std::vector<IconImage> stored = AsStored(images);
    std::set<uint32_t> new_ids;
    for (const ResourceEntry& lang : group.directory->entries) {
      const std::vector<GroupIconEntry> entries = ParseGroupIcon(lang.data);
      ASSERT_EQ(entries.size(), stored.size());
      for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].width, stored[i].width);
        EXPECT_EQ(entries[i].height, stored[i].height);
        EXPECT_EQ(entries[i].bit_count, stored[i].bit_count);
        EXPECT_EQ(entries[i].planes, stored[i].planes);
        EXPECT_EQ(entries[i].bytes_in_res, stored[i].data.size());
        const ResourceEntry* icon =
            testing::FindLeaf(after, kRtIcon, ResourceName::Id(entries[i].id), lang.name.id);
        ASSERT_NE(icon, nullptr);
        EXPECT_TRUE(icon->data == stored[i].data) << "image " << i;
        new_ids.insert(entries[i].id);
      }
    }
    EXPECT_EQ(new_ids.size(), stored.size());

    // Icons only the old group used are gone; all others remain as they were.
    std::set<uint32_t> expected_ids;
    for (uint32_t id : IdsOfType(before, kRtIcon)) {
      if (!freed.count(id) || kept_by_others.count(id)) {
        expected_ids.insert(id);
        EXPECT_FALSE(new_ids.count(id)) << "icon ID " << id << " reused";
      }
    }
    expected_ids.insert(new_ids.begin(), new_ids.end());
    EXPECT_EQ(IdsOfType(after, kRtIcon), expected_ids);

    // Data after the image (here the COFF symbol and string tables) moves along intact.
    const uint32_t symbols_before =
        LoadU32(&original.bytes()[LoadU32(&original.bytes()[0x3c]) + 12]);
    const uint32_t symbols_after = LoadU32(&edited.bytes()[LoadU32(&edited.bytes()[0x3c]) + 12]);
    const Bytes overlay(original.bytes().begin() + original.ImageEnd(), original.bytes().end());
    ASSERT_EQ(edited.bytes().size(), edited.ImageEnd() + overlay.size());
    EXPECT_TRUE(
        std::equal(overlay.begin(), overlay.end(), edited.bytes().begin() + edited.ImageEnd()));
    if (symbols_before != 0) {
      EXPECT_EQ(symbols_after - edited.ImageEnd(), symbols_before - original.ImageEnd());
    }
  }

  // With wrestool: the group reads back as exactly the new .ico, and each icon raw.
  void ExpectWrestoolSees(const fs::path& exe, const std::vector<IconImage>& images) {
#ifdef ICONCHANGER_WRESTOOL
    const PeImage edited(testing::ReadBytes(exe));
    const ResourceDirectory tree = testing::ReadResources(edited);
    const ResourceEntry& group = TypeEntry(tree, kRtGroupIcon)->directory->entries.front();
    const std::string wrestool = Quote(std::string(ICONCHANGER_WRESTOOL));
    for (const ResourceEntry& lang : group.directory->entries) {
      const testing::CommandResult ico =
          Run(wrestool + " -x -t 14 -n " + std::to_string(group.name.id) + " -L " +
              std::to_string(lang.name.id) + " " + Quote(exe));
      ASSERT_EQ(ico.status, 0) << ico.err;
      // wrestool writes a few stray bytes after the icon file (also for linker-made files), so
      // compare the icon file it starts with.
      const Bytes expected = WriteIco(AsStored(images));
      const Bytes extracted(ico.out.begin(), ico.out.end());
      ASSERT_GE(extracted.size(), expected.size());
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), extracted.begin()))
          << "language " << lang.name.id;
    }
    const std::vector<GroupIconEntry> entries =
        ParseGroupIcon(group.directory->entries.front().data);
    for (size_t i = 0; i < entries.size(); ++i) {
      const testing::CommandResult raw =
          Run(wrestool + " -x -R -t 3 -n " + std::to_string(entries[i].id) + " -L " +
              std::to_string(group.directory->entries.front().name.id) + " " + Quote(exe));
      EXPECT_TRUE(raw.out == std::string(images[i].data.begin(), images[i].data.end()))
          << "icon " << entries[i].id;
    }
#else
    (void)exe;
    (void)images;
#endif
  }
};

TEST_P(ReplaceTest, ReplacesTheIconAndKeepsEverythingElse) {
  const auto fixture = testing::Fixture(GetParam().file);
  if (!fixture) GTEST_SKIP() << "fixture not built";
  const fs::path exe = Stage(*fixture);
  const PeImage original(testing::ReadBytes(exe));
#ifdef ICONCHANGER_WRESTOOL
  const std::string version = "-x -R -t 16 " + Quote(exe);
  const std::string version_before =
      Run(Quote(std::string(ICONCHANGER_WRESTOOL)) + " " + version).out;
#endif

  const testing::CommandResult result = Tool(exe, StageIcon(WriteIco(NewImages())));
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const PeImage edited(testing::ReadBytes(exe));
  ExpectIconReplaced(original, edited, NewImages());
  const IcoFile first = ParseIco(WriteIco(NewImages()));
  EXPECT_FALSE(ExecutableHasIcon(original.bytes(), first));
  EXPECT_TRUE(ExecutableHasIcon(edited.bytes(), first));
  const size_t added = GetParam().in_place ? 0 : 1;
  EXPECT_EQ(edited.sections().size(), original.sections().size() + added);
  if (!GetParam().in_place) {
    const bool had_rsrc = std::any_of(
        original.sections().begin(), original.sections().end(), [](const SectionHeader& s) {
          return std::string(s.name.begin(), s.name.end()).find(".rsrc") == 0;
        });
    const std::string name(edited.sections().back().name.begin(),
                           edited.sections().back().name.end());
    EXPECT_EQ(name,
              std::string(had_rsrc ? ".rsrc2" : ".rsrc") + std::string(had_rsrc ? 2 : 3, '\0'));
    EXPECT_EQ(edited.sections().back().characteristics, kResourceSectionCharacteristics);
  }
  ExpectWrestoolSees(exe, NewImages());
#ifdef ICONCHANGER_WRESTOOL
  EXPECT_TRUE(Run(Quote(std::string(ICONCHANGER_WRESTOOL)) + " " + version).out == version_before);
  if (TypeEntry(testing::ReadResources(original), 16)) {
    EXPECT_FALSE(version_before.empty());
  }
#endif

  // A second edit rewrites the now-last resource section in place instead of adding another.
  const std::vector<IconImage> second = {PngIcon(24, 7)};
  const testing::CommandResult again = Tool(exe, StageIcon(WriteIco(second), "second.ico"));
  ASSERT_EQ(again.status, 0) << again.err;
  const PeImage twice(testing::ReadBytes(exe));
  ExpectIconReplaced(edited, twice, second);
  EXPECT_FALSE(ExecutableHasIcon(twice.bytes(), first));
  EXPECT_TRUE(ExecutableHasIcon(twice.bytes(), ParseIco(WriteIco(second))));
  EXPECT_FALSE(ExecutableHasIcon(ByteSpan(twice.bytes()).first(twice.ImageEnd() / 2),
                                 ParseIco(WriteIco(second))));
  EXPECT_EQ(twice.sections().size(), edited.sections().size());
  ExpectWrestoolSees(exe, second);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ReplaceTest,
                         ::testing::Values(FixtureCase{"fixture32.exe", false},
                                           FixtureCase{"fixture32_last.exe", true},
                                           FixtureCase{"fixture32_nores.exe", false},
                                           FixtureCase{"fixture64.exe", false},
                                           FixtureCase{"fixture64_last.exe", true},
                                           FixtureCase{"fixture64_nores.exe", false}),
                         [](const auto& info) {
                           std::string name = info.param.file;
                           return name.substr(0, name.find('.'));
                         });

// --- Failures leave everything as it was -------------------------------------------------

TEST_F(IconChangerTest, FailsWithOneLineAndLeavesTheFileUntouched) {
  const auto fixture = testing::Fixture("fixture32.exe");
  if (!fixture) GTEST_SKIP() << "fixture not built";
  const Bytes exe_bytes = testing::ReadBytes(*fixture);
  const Bytes good_ico = WriteIco(NewImages());
  Bytes truncated_ico = good_ico;
  truncated_ico.resize(good_ico.size() - 10);
  Bytes cursor = good_ico;
  cursor[2] = 2;
  Bytes no_room = exe_bytes;  // Headers end right at the section table.
  {
    const PeImage image(exe_bytes);
    const uint32_t pe = LoadU32(&exe_bytes[0x3c]);
    const size_t table_end =
        pe + 24 + LoadU16(&exe_bytes[pe + 20]) + image.sections().size() * kSectionHeaderSize;
    StoreU32(&no_room[pe + 24 + 60], static_cast<uint32_t>(table_end));
  }
  Bytes looping = exe_bytes;  // The first resource subdirectory points back at the root.
  {
    const PeImage image(exe_bytes);
    const DataDirectory resources = image.directory(kResourceDirectoryIndex);
    for (const SectionHeader& s : image.sections()) {
      if (resources.rva >= s.virtual_address &&
          resources.rva < s.virtual_address + s.MappedSize()) {
        StoreU32(&looping[s.pointer_to_raw_data + (resources.rva - s.virtual_address) + 20],
                 0x80000000u);
      }
    }
  }
  const Bytes half(exe_bytes.begin(), exe_bytes.begin() + exe_bytes.size() / 2);
  const std::string text = "this is not an executable\n";
  const struct {
    const char* name;
    Bytes exe;
    Bytes ico;
  } cases[] = {
      {"truncated icon", exe_bytes, truncated_ico},
      {"cursor instead of icon", exe_bytes, cursor},
      {"empty icon", exe_bytes, {}},
      {"text instead of executable", Bytes(text.begin(), text.end()), good_ico},
      {"truncated executable", half, good_ico},
      {"resource loop", looping, good_ico},
      {"no room for a section header", no_room, good_ico},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path exe = dir_.path() / "target app.exe";
    testing::WriteBytes(exe, c.exe);
    const testing::CommandResult result = Tool(exe, StageIcon(c.ico));
    EXPECT_NE(result.status, 0);
    EXPECT_EQ(result.err.rfind("iconchanger: error: ", 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(testing::ReadBytes(exe) == c.exe) << "file changed";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 2);
  }
  EXPECT_NE(
      Tool(Quote(dir_.path() / "missing.exe") + " " + Quote(dir_.path() / "new icon.ico")).status,
      0);
  EXPECT_NE(
      Tool(Quote(dir_.path() / "target app.exe") + " " + Quote(dir_.path() / "missing.ico")).status,
      0);
  for (const std::string args : {"", "a.exe", "a.exe b.ico c"}) {
    const testing::CommandResult usage = Tool(args);
    EXPECT_NE(usage.status, 0);
    EXPECT_NE(usage.err.find("usage:"), std::string::npos);
  }
}

// --- Version strings ---------------------------------------------------------------------

// The strings the version-strings tests set: characters outside the BMP, '&' and quotes included.
const std::vector<VersionString>& NewVersionStrings() {
  static const std::vector<VersionString> strings = {
      {u"ProductName", u"Smith & Sons \"Vision\" \u00dcn\u00efc\u00f8d\u00e9 \U0001F3A5"},
      {u"CompanyName", u"Smith & Sons \u00dcberwachung <GmbH>"},
      {u"FileDescription", u"Vision Client \u2014 \U0001F3A5 'quoted' & more"},
  };
  return strings;
}

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xd800 && c < 0xdc00 && i + 1 < text.size()) {
      c = 0x10000 + ((c - 0xd800) << 10) + (text[++i] - 0xdc00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xc0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xe0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
      out += static_cast<char>(0x80 | (c & 0x3f));
    } else {
      out += static_cast<char>(0xf0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
      out += static_cast<char>(0x80 | (c & 0x3f));
    }
  }
  return out;
}

std::string Utf16Le(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xff);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

// The tool's arguments that set `strings` in `exe`.
std::string VersionStringArgs(const fs::path& exe, const std::vector<VersionString>& strings) {
  std::string args = "--version-strings " + Quote(exe);
  for (const VersionString& s : strings) args += " " + Quote(Utf8(s.key + u"=" + s.value));
  return args;
}

// Every resource type other than RT_VERSION is the same in both trees, and no type came or went.
void ExpectSameExceptVersions(const ResourceDirectory& before, const ResourceDirectory& after) {
  EXPECT_EQ(after.entries.size(), before.entries.size());
  for (const ResourceEntry& type : before.entries) {
    if (type.name == ResourceName::Id(kRtVersion)) continue;
    EXPECT_NE(std::find(after.entries.begin(), after.entries.end(), type), after.entries.end())
        << "resource type " << type.name.id << " changed";
  }
}

struct VersionLeaf {
  uint32_t name;
  uint32_t language;
  Bytes data;
};

std::vector<VersionLeaf> VersionLeaves(const ResourceDirectory& tree) {
  std::vector<VersionLeaf> leaves;
  const ResourceEntry* type = TypeEntry(tree, kRtVersion);
  if (!type) return leaves;
  for (const ResourceEntry& name : type->directory->entries) {
    for (const ResourceEntry& lang : name.directory->entries) {
      leaves.push_back({name.name.id, lang.name.id, lang.data});
    }
  }
  return leaves;
}

// VS_FIXEDFILEINFO: the root's value, after the 6-byte header and the key "VS_VERSION_INFO".
Bytes FixedFileInfo(const Bytes& resource) {
  constexpr size_t kOffset = 40, kSize = 52;
  if (resource.size() < kOffset + kSize) return {};
  return Bytes(resource.begin() + kOffset, resource.begin() + kOffset + kSize);
}

class VersionStringsTest : public IconChangerTest,
                           public ::testing::WithParamInterface<const char*> {};

TEST_P(VersionStringsTest, SetsTheStringsInEveryLanguageAndKeepsEverythingElse) {
  const auto fixture = testing::Fixture(GetParam());
  if (!fixture) GTEST_SKIP() << "fixture not built";
  const fs::path exe = Stage(*fixture);
  const PeImage original(testing::ReadBytes(exe));
  const std::vector<VersionString>& wanted = NewVersionStrings();

  const testing::CommandResult result = Tool(VersionStringArgs(exe, wanted));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const PeImage edited(testing::ReadBytes(exe));
  ExpectConsistentHeaders(edited);
  EXPECT_FALSE(ExecutableCarriesVersionStrings(original.bytes(), wanted));
  EXPECT_TRUE(ExecutableCarriesVersionStrings(edited.bytes(), wanted));

  // Every other resource, and each version resource's fixed information and other strings.
  const ResourceDirectory before = testing::ReadResources(original);
  const ResourceDirectory after = testing::ReadResources(edited);
  ExpectSameExceptVersions(before, after);
  const std::vector<VersionLeaf> old_leaves = VersionLeaves(before);
  const std::vector<VersionLeaf> new_leaves = VersionLeaves(after);
  ASSERT_EQ(new_leaves.size(), old_leaves.size());
  ASSERT_EQ(old_leaves.size(), 2u);
  for (size_t i = 0; i < old_leaves.size(); ++i) {
    SCOPED_TRACE(old_leaves[i].language);
    EXPECT_EQ(new_leaves[i].name, old_leaves[i].name);
    EXPECT_EQ(new_leaves[i].language, old_leaves[i].language);
    EXPECT_FALSE(FixedFileInfo(old_leaves[i].data).empty());
    EXPECT_EQ(FixedFileInfo(new_leaves[i].data), FixedFileInfo(old_leaves[i].data));
    const std::vector<VersionStringTable> old_tables = ReadVersionStringTables(old_leaves[i].data);
    const std::vector<VersionStringTable> new_tables = ReadVersionStringTables(new_leaves[i].data);
    ASSERT_EQ(new_tables.size(), old_tables.size());
    for (size_t t = 0; t < old_tables.size(); ++t) {
      for (const VersionString& s : old_tables[t].strings) {
        const bool set = std::any_of(wanted.begin(), wanted.end(),
                                     [&](const VersionString& w) { return w.key == s.key; });
        if (set) continue;
        EXPECT_NE(std::find(new_tables[t].strings.begin(), new_tables[t].strings.end(), s),
                  new_tables[t].strings.end());
      }
    }
  }

#ifdef ICONCHANGER_WRESTOOL
  // wrestool extracts each version resource with the new values and without the old ones.
  const std::string wrestool = Quote(std::string(ICONCHANGER_WRESTOOL));
  for (size_t i = 0; i < old_leaves.size(); ++i) {
    const testing::CommandResult raw =
        Run(wrestool + " -x --raw -t 16 -n " + std::to_string(old_leaves[i].name) + " -L " +
            std::to_string(old_leaves[i].language) + " " + Quote(exe));
    ASSERT_EQ(raw.exit_code, 0) << raw.err;
    EXPECT_TRUE(raw.out == std::string(new_leaves[i].data.begin(), new_leaves[i].data.end()));
    for (const VersionString& w : wanted) {
      EXPECT_NE(raw.out.find(Utf16Le(w.value)), std::string::npos) << Utf8(w.key);
    }
    for (const VersionStringTable& table : ReadVersionStringTables(old_leaves[i].data)) {
      for (const VersionString& s : table.strings) {
        const bool set = std::any_of(wanted.begin(), wanted.end(),
                                     [&](const VersionString& w) { return w.key == s.key; });
        if (set) {
          EXPECT_EQ(raw.out.find(Utf16Le(s.value)), std::string::npos) << Utf8(s.value);
        }
      }
    }
  }
#endif

  // A second edit works on the edited file and leaves only the newest values.
  const std::vector<VersionString> again = {{u"ProductName", u"Second"}};
  ASSERT_EQ(Tool(VersionStringArgs(exe, again)).exit_code, 0);
  const Bytes twice = testing::ReadBytes(exe);
  EXPECT_TRUE(ExecutableCarriesVersionStrings(twice, again));
  EXPECT_TRUE(ExecutableCarriesVersionStrings(twice, {wanted[1], wanted[2]}));
  EXPECT_EQ(PeImage(twice).sections().size(), edited.sections().size());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, VersionStringsTest,
                         ::testing::Values("fixture32.exe", "fixture32_last.exe", "fixture64.exe",
                                           "fixture64_last.exe"),
                         [](const auto& info) {
                           const std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

TEST_F(IconChangerTest, VersionStringsOfAProgramWithoutThemAreNotAdded) {
  int seen = 0;
  for (const char* name : {"fixture32_nores.exe", "fixture64_nores.exe"}) {
    const auto fixture = testing::Fixture(name);
    if (!fixture) continue;
    SCOPED_TRACE(name);
    ++seen;
    const fs::path exe = Stage(*fixture);
    const Bytes original = testing::ReadBytes(exe);
    testing::CommandResult result = Tool(VersionStringArgs(exe, NewVersionStrings()));
    std::erase(result.err, '\r');  // Windows writes text with CRLF.
    EXPECT_EQ(result.exit_code, 3);
    EXPECT_EQ(result.err.rfind("iconchanger: ", 0), 0u) << result.err;
    const std::string tail = ": no version information\n";
    ASSERT_GE(result.err.size(), tail.size());
    EXPECT_EQ(result.err.substr(result.err.size() - tail.size()), tail);
    EXPECT_NE(result.err.find("my app.exe"), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(testing::ReadBytes(exe) == original) << "file changed";
  }
  if (seen == 0) GTEST_SKIP() << "fixtures not built";
}

// The file offset of the first copy of `data` in `file`.
size_t OffsetOf(const Bytes& file, const Bytes& data) {
  return static_cast<size_t>(std::search(file.begin(), file.end(), data.begin(), data.end()) -
                             file.begin());
}

TEST_F(IconChangerTest, MalformedVersionInformationFailsAndLeavesTheFileUntouched) {
  const auto fixture = testing::Fixture("fixture64.exe");
  if (!fixture) GTEST_SKIP() << "fixture not built";
  const Bytes exe_bytes = testing::ReadBytes(*fixture);
  const std::vector<VersionLeaf> leaves = VersionLeaves(testing::ReadResources(PeImage(exe_bytes)));
  ASSERT_FALSE(leaves.empty());
  const Bytes& leaf = leaves.back().data;
  const size_t at = OffsetOf(exe_bytes, leaf);
  ASSERT_LT(at, exe_bytes.size());

  Bytes root_too_long = exe_bytes;  // The root claims more bytes than the resource has.
  StoreU16(&root_too_long[at], static_cast<uint16_t>(leaf.size() + 64));
  Bytes string_without_length = exe_bytes;  // The first String's wLength is 0.
  {
    const std::u16string key = u"FileDescription";
    const std::string pattern = Utf16Le(key);
    const size_t key_at = OffsetOf(leaf, Bytes(pattern.begin(), pattern.end()));
    ASSERT_LT(key_at, leaf.size());
    StoreU16(&string_without_length[at + key_at - 6], 0);
  }
  Bytes shallow_truncated = exe_bytes;  // The root's key runs to the end without a NUL.
  StoreU16(&shallow_truncated[at], 20);

  const struct {
    const char* name;
    Bytes exe;
  } cases[] = {
      {"root wLength beyond the data", root_too_long},
      {"String wLength 0", string_without_length},
      {"key without NUL", shallow_truncated},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path exe = dir_.path() / "broken app.exe";
    testing::WriteBytes(exe, c.exe);
    const testing::CommandResult result = Tool(VersionStringArgs(exe, NewVersionStrings()));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.err.rfind("iconchanger: error: ", 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(testing::ReadBytes(exe) == c.exe) << "file changed";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
  }
}

TEST_F(IconChangerTest, VersionStringsUsageErrors) {
  const auto fixture = testing::Fixture("fixture64.exe");
  if (!fixture) GTEST_SKIP() << "fixture not built";
  const fs::path exe = Stage(*fixture);
  const Bytes original = testing::ReadBytes(exe);
  std::vector<std::string> bad = {
      "--version-strings",
      "--version-strings " + Quote(exe),
      "--version-strings " + Quote(exe) + " ProductName",
      "--version-strings " + Quote(exe) + " =value",
      "--version-strings " + Quote(exe) + " A=b NoEquals",
  };
#ifndef _WIN32
  // Arguments that are not UTF-8 (on Windows they arrive as UTF-16 and cannot be malformed).
  if (!std::getenv("ICONCHANGER_TOOL")) {
    bad.push_back("--version-strings " + Quote(exe) + " " + Quote(std::string("A=\xff")));
    bad.push_back("--version-strings " + Quote(exe) + " " + Quote(std::string("A=\xed\xa0\x80")));
    bad.push_back("--version-strings " + Quote(exe) + " " + Quote(std::string("A=\xc0\xaf")));
  }
#endif
  for (const std::string& args : bad) {
    SCOPED_TRACE(args);
    const testing::CommandResult usage = Tool(args);
    EXPECT_EQ(usage.exit_code, 2);
    EXPECT_NE(usage.err.find("usage: iconchanger <executable> <icon.ico>"), std::string::npos);
    EXPECT_NE(usage.err.find("iconchanger --version-strings <executable> <Key=Value>..."),
              std::string::npos);
  }
  EXPECT_TRUE(testing::ReadBytes(exe) == original) << "file changed";
  // The value may hold '=' (split at the first) and be empty.
  const testing::CommandResult ok =
      Tool("--version-strings " + Quote(exe) + " " + Quote(std::string("Comments=a=b")) + " " +
           Quote(std::string("PrivateBuild=")));
  ASSERT_EQ(ok.exit_code, 0) << ok.err;
  EXPECT_TRUE(ExecutableCarriesVersionStrings(testing::ReadBytes(exe),
                                              {{u"Comments", u"a=b"}, {u"PrivateBuild", u""}}));
}

// --- Overlay data and signatures ---------------------------------------------------------

TEST_F(IconChangerTest, DropsTheCertificateTableAndKeepsOtherOverlayData) {
  int seen = 0;
  for (const char* name : {"fixture32_last.exe", "fixture64.exe"}) {
    const auto fixture = testing::Fixture(name);
    if (!fixture) continue;
    SCOPED_TRACE(name);
    ++seen;
    Bytes bytes = testing::ReadBytes(*fixture);
    const PeImage plain(bytes);
    const std::string appended = "ZENTU-INSTALLER-PAYLOAD";
    bytes.insert(bytes.end(), appended.begin(), appended.end());
    bytes.resize(AlignUp(bytes.size(), 8), 0);
    const Bytes kept_tail(bytes.begin() + plain.ImageEnd(), bytes.end());
    const std::string signature = "PKCS7-SIGNED-DATA-BLOB!!";
    const uint32_t certificate = static_cast<uint32_t>(bytes.size());
    AppendU32(bytes, static_cast<uint32_t>(8 + signature.size()));  // WIN_CERTIFICATE.
    AppendU16(bytes, 0x0200);
    AppendU16(bytes, 0x0002);
    bytes.insert(bytes.end(), signature.begin(), signature.end());
    const size_t security = LoadU32(&bytes[0x3c]) + 24 + (plain.is_pe32_plus() ? 112 : 96) + 32;
    StoreU32(&bytes[security], certificate);
    StoreU32(&bytes[security + 4], static_cast<uint32_t>(8 + signature.size()));
    const fs::path exe = dir_.path() / "signed.exe";
    testing::WriteBytes(exe, bytes);

    const testing::CommandResult result = Tool(exe, StageIcon(WriteIco(NewImages())));
    ASSERT_EQ(result.status, 0) << result.err;
    const PeImage edited(testing::ReadBytes(exe));
    ExpectConsistentHeaders(edited);
    const Bytes& out = edited.bytes();
    ASSERT_EQ(out.size(), edited.ImageEnd() + kept_tail.size());
    EXPECT_TRUE(std::equal(kept_tail.begin(), kept_tail.end(), out.begin() + edited.ImageEnd()));
    EXPECT_EQ(std::search(out.begin(), out.end(), signature.begin(), signature.end()), out.end());
  }
  if (seen == 0) GTEST_SKIP() << "fixtures not built";
}

#if defined(ICONCHANGER_OSSLSIGNCODE) && defined(ICONCHANGER_OPENSSL)
TEST_F(IconChangerTest, RemovesARealAuthenticodeSignature) {
  const auto fixture = testing::Fixture("fixture64.exe");
  if (!fixture) GTEST_SKIP() << "fixture not built";
  const fs::path key = scratch_.path() / "key.pem", cert = scratch_.path() / "cert.pem";
  const testing::CommandResult made =
      Run(Quote(std::string(ICONCHANGER_OPENSSL)) + " req -x509 -newkey rsa:2048 -nodes -days 1" +
          " -subj /CN=zentu-test -keyout " + Quote(key) + " -out " + Quote(cert));
  ASSERT_EQ(made.status, 0) << made.err;
  const fs::path exe = dir_.path() / "signed app.exe";
  const std::string osslsigncode = Quote(std::string(ICONCHANGER_OSSLSIGNCODE));
  const testing::CommandResult signed_ok =
      Run(osslsigncode + " sign -certs " + Quote(cert) + " -key " + Quote(key) + " -in " +
          Quote(*fixture) + " -out " + Quote(exe));
  ASSERT_EQ(signed_ok.status, 0) << signed_ok.err;
  const std::string extract = osslsigncode + " extract-signature -in " + Quote(exe) + " -out ";
  ASSERT_EQ(Run(extract + Quote(scratch_.path() / "before.sig")).status, 0);
  ASSERT_NE(PeImage(testing::ReadBytes(exe)).directory(kSecurityDirectoryIndex).size, 0u);

  const testing::CommandResult result = Tool(exe, StageIcon(WriteIco(NewImages())));
  ASSERT_EQ(result.status, 0) << result.err;
  ExpectConsistentHeaders(PeImage(testing::ReadBytes(exe)));
  EXPECT_NE(Run(extract + Quote(scratch_.path() / "after.sig")).status, 0);
}
#endif

// --- The edited programs still run -------------------------------------------------------

#if defined(ICONCHANGER_WINE_RUNNER) || defined(ICONCHANGER_WINE64)
// The command prefix that runs a Windows program: the given runner, which keeps its own prefix,
// or Wine in a prefix of these tests.
std::string WineCommand(bool wide) {
#ifdef ICONCHANGER_WINE_RUNNER
  (void)wide;
  return Quote(std::string(ICONCHANGER_WINE_RUNNER));
#else
  return "WINEDEBUG=-all WINEPREFIX=" +
         Quote(fs::temp_directory_path() / "iconchanger-wineprefix") + " " +
         Quote(std::string(wide ? ICONCHANGER_WINE64 : ICONCHANGER_WINE32));
#endif
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// A fixture copied for a run under Wine, with the command that runs it and what it printed
// before any edit.
struct StagedRun {
  fs::path exe;
  std::string wine;
  testing::CommandResult before;
};

class WineRunTest : public IconChangerTest {
 protected:
  // nullopt when the fixture was not built or this Wine cannot run its kind of program here (for
  // example without 32-bit support).
  std::optional<StagedRun> StageToRun(const char* name) {
    const auto fixture = testing::Fixture(name);
    if (!fixture) return std::nullopt;
    StagedRun run;
    run.wine = WineCommand(PeImage(testing::ReadBytes(*fixture)).is_pe32_plus());
    run.exe = Stage(*fixture, std::string("run ") + name);
    run.before = Run(run.wine + " " + Quote(run.exe));
    if (run.before.status != 0 || run.before.out.find("fixture: hello") == std::string::npos)
      return std::nullopt;
    return run;
  }
};

TEST_F(WineRunTest, EditedProgramsRunAndWindowsFindsTheNewIcons) {
  int ran = 0;
  for (const char* name :
       {"fixture64.exe", "fixture64_last.exe", "fixture64_nores.exe", "fixture32.exe"}) {
    SCOPED_TRACE(name);
    const std::optional<StagedRun> staged = StageToRun(name);
    if (!staged) continue;
    ++ran;
    const auto& [exe, wine, before] = *staged;
    ASSERT_EQ(Tool(exe, StageIcon(WriteIco(NewImages()))).status, 0);
    const testing::CommandResult after = Run(wine + " " + Quote(exe));
    ASSERT_EQ(after.status, 0) << after.err;

    std::vector<std::string> expected;
    for (const std::string& line : Lines(before.out)) {
      if (line.rfind("icon", 0) != 0 && line.rfind("checksum", 0) != 0) expected.push_back(line);
    }
    const std::vector<IconImage> stored = AsStored(NewImages());
    expected.push_back("icons: " + std::to_string(stored.size()));
    for (const IconImage& image : stored) {
      expected.push_back("icon: " + std::to_string(image.width) + " " +
                         std::to_string(image.height) + " " + std::to_string(image.bit_count) +
                         " " + std::to_string(image.data.size()) + " found");
    }
    expected.push_back("checksum: ok");
    EXPECT_EQ(Lines(after.out), expected);
  }
  if (ran == 0) GTEST_SKIP() << "wine could not run any fixture";
}

TEST_F(WineRunTest, WindowsReadsTheNewVersionStrings) {
  const std::string prefix = "version string: ";
  int ran = 0;
  for (const char* name : {"fixture64.exe", "fixture64_last.exe", "fixture32.exe"}) {
    SCOPED_TRACE(name);
    const std::optional<StagedRun> staged = StageToRun(name);
    if (!staged) continue;
    ++ran;
    const auto& [exe, wine, before] = *staged;
    ASSERT_EQ(Tool(VersionStringArgs(exe, NewVersionStrings())).exit_code, 0);
    const testing::CommandResult after = Run(wine + " " + Quote(exe));
    ASSERT_EQ(after.status, 0) << after.err;

    // Whichever language's resource Wine picks, each translation it lists shows the new strings
    // in the order the program asks for them; every other line stays as it was (the description
    // line is the file description again, read through the ANSI function).
    std::vector<std::string> expected, tables;
    for (const std::string& line : Lines(before.out)) {
      if (line.rfind(prefix, 0) != 0) {
        expected.push_back(line.rfind("description: ", 0) == 0 ? "description:" : line);
        continue;
      }
      const std::string table = line.substr(prefix.size(), 8);
      if (!tables.empty() && tables.back() == table) continue;
      tables.push_back(table);
      for (const std::u16string key : {u"ProductName", u"FileDescription", u"CompanyName"}) {
        for (const VersionString& s : NewVersionStrings()) {
          if (s.key == key) expected.push_back(prefix + table + " " + Utf8(key + u"=" + s.value));
        }
      }
    }
    EXPECT_FALSE(tables.empty());
    std::vector<std::string> seen;
    for (const std::string& line : Lines(after.out)) {
      seen.push_back(line.rfind("description: ", 0) == 0 ? "description:" : line);
    }
    EXPECT_EQ(seen, expected);
  }
  if (ran == 0) GTEST_SKIP() << "wine could not run any fixture";
}
#endif

}  // namespace
}  // namespace iconchanger
