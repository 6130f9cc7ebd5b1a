// Reading and setting version strings, on the version resources of the cross-compiled fixtures and
// on hand-built VS_VERSIONINFO blobs for the cases no resource compiler writes.
#include "version_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "pe_image.h"
#include "test_support.h"

namespace iconchanger {
namespace {

// --- Building blobs by hand -----------------------------------------------------------------

struct BlobNode {
  std::u16string key;
  uint16_t type = 1;
  Bytes value;
  uint16_t value_length = 0;
  std::vector<BlobNode> children;
  std::optional<uint16_t> length;  // Overrides the computed wLength.
  uint8_t padding = 0;             // Byte used for padding.
};

void Serialize(const BlobNode& node, Bytes& out) {
  const size_t start = out.size();
  AppendU16(out, 0);
  AppendU16(out, node.value_length);
  AppendU16(out, node.type);
  for (char16_t c : node.key) AppendU16(out, c);
  AppendU16(out, 0);
  while (out.size() % 4) out.push_back(node.padding);
  out.insert(out.end(), node.value.begin(), node.value.end());
  for (const BlobNode& child : node.children) {
    while (out.size() % 4) out.push_back(node.padding);
    Serialize(child, out);
  }
  StoreU16(out.data() + start, node.length.value_or(static_cast<uint16_t>(out.size() - start)));
}

Bytes Utf16Z(const std::u16string& text) {
  Bytes out;
  for (char16_t c : text) AppendU16(out, c);
  AppendU16(out, 0);
  return out;
}

BlobNode Text(const std::u16string& key, const std::u16string& value) {
  return {key, 1, Utf16Z(value), static_cast<uint16_t>(value.size() + 1), {}, {}, 0};
}

BlobNode Block(const std::u16string& key, std::vector<BlobNode> children) {
  return {key, 1, {}, 0, std::move(children), {}, 0};
}

BlobNode VarFileInfo() {
  return Block(u"VarFileInfo", {{u"Translation", 0, {0x09, 0x04, 0xb0, 0x04}, 4, {}, {}, 0}});
}

BlobNode Root(std::vector<BlobNode> children) {
  Bytes fixed(52, 0);
  StoreU32(fixed.data(), 0xfeef04bd);
  StoreU32(fixed.data() + 4, 0x10000);
  return {u"VS_VERSION_INFO", 0, fixed, 52, std::move(children), {}, 0};
}

Bytes Blob(const BlobNode& root) {
  Bytes out;
  Serialize(root, out);
  return out;
}

// --- Reading the fixtures -------------------------------------------------------------------

// The RT_VERSION leaves of a fixture executable; empty when the fixture was not built.
std::vector<Bytes> VersionLeaves(const char* fixture) {
  std::vector<Bytes> leaves;
  const auto path = testing::Fixture(fixture);
  if (!path) return leaves;
  const ResourceDirectory root = testing::ReadResources(PeImage(testing::ReadBytes(*path)));
  for (const ResourceEntry& type : root.entries) {
    if (type.name != ResourceName::Id(kRtVersion)) continue;
    for (const ResourceEntry& name : type.directory->entries) {
      for (const ResourceEntry& language : name.directory->entries) {
        leaves.push_back(language.data);
      }
    }
  }
  return leaves;
}

// The bytes of the first node whose key is `key` (found by its UTF-16 key after a 6-byte header).
Bytes NodeBytes(const Bytes& resource, const std::u16string& key) {
  const Bytes pattern = Utf16Z(key);
  const auto at = std::search(resource.begin() + 6, resource.end(), pattern.begin(), pattern.end());
  if (at == resource.end()) return {};
  const size_t start = static_cast<size_t>(at - resource.begin()) - 6;
  return Bytes(resource.begin() + start, resource.begin() + start + LoadU16(&resource[start]));
}

// The VS_FIXEDFILEINFO bytes (found by its signature).
Bytes FixedInfo(const Bytes& resource) {
  const Bytes signature = {0xbd, 0x04, 0xef, 0xfe};
  const auto at = std::search(resource.begin(), resource.end(), signature.begin(), signature.end());
  if (resource.end() - at < 52) return {};
  return Bytes(at, at + 52);
}

std::optional<std::u16string> Lookup(const VersionStringTable& table, const std::u16string& key) {
  for (const VersionString& s : table.strings) {
    if (s.key == key) return s.value;
  }
  return std::nullopt;
}

const char16_t kNonBmp[] = u"Smith & Sons \"Vision\" \u00dcn\u00efc\u00f8d\u00e9 \U0001F3A5";

class VersionInfoFixtureTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    leaves_ = VersionLeaves(GetParam());
    if (leaves_.empty()) GTEST_SKIP() << "fixture not built";
  }
  std::vector<Bytes> leaves_;
};

TEST_P(VersionInfoFixtureTest, ReadsTheCompiledStrings) {
  EXPECT_EQ(leaves_.size(), 2u);  // English and German.
  bool english = false, german = false;
  for (const Bytes& leaf : leaves_) {
    const std::vector<VersionStringTable> tables = ReadVersionStringTables(leaf);
    ASSERT_FALSE(tables.empty());
    for (const VersionStringTable& table : tables) {
      if (table.key == u"040704b0") {
        german = true;
        EXPECT_EQ(Lookup(table, u"ProductName"), u"zentu Pr\u00fcfling");
        EXPECT_EQ(Lookup(table, u"CompanyName"), u"zentu Testfirma");
      }
      if (table.key != u"040904b0") continue;
      english = true;
      EXPECT_EQ(Lookup(table, u"FileDescription"), u"iconchanger test fixture");
      EXPECT_EQ(Lookup(table, u"FileVersion"), u"1.2.3.4");
      EXPECT_EQ(Lookup(table, u"ProductName"), u"zentu fixture");
      EXPECT_EQ(Lookup(table, u"LegalCopyright"), u"Copyright (C) zentu");
    }
  }
  EXPECT_TRUE(english);
  EXPECT_TRUE(german);
}

TEST_P(VersionInfoFixtureTest, SettingTheCurrentValuesReproducesTheCompiledBytes) {
  // A key holding the same value in every table of a resource can be set to that value again.
  size_t checked = 0;
  for (const Bytes& leaf : leaves_) {
    const std::vector<VersionStringTable> tables = ReadVersionStringTables(leaf);
    for (const VersionString& s : tables.front().strings) {
      const bool same_everywhere = std::all_of(
          tables.begin(), tables.end(), [&](const auto& t) { return Lookup(t, s.key) == s.value; });
      if (!same_everywhere) continue;
      EXPECT_EQ(SetVersionStrings(leaf, {s}), leaf) << "key of " << s.key.size() << " units";
      ++checked;
    }
    EXPECT_EQ(SetVersionStrings(leaf, {}), leaf);
  }
  EXPECT_GE(checked, 4u);
}

TEST_P(VersionInfoFixtureTest, ReplacesAndAppendsLeavingOtherNodesAsTheyWere) {
  const std::vector<VersionString> wanted = {
      {u"ProductName", kNonBmp}, {u"CompanyName", u"Smith & Sons"}, {u"FileDescription", u""}};
  for (const Bytes& leaf : leaves_) {
    const std::vector<VersionStringTable> before = ReadVersionStringTables(leaf);
    const Bytes edited = SetVersionStrings(leaf, wanted);
    const std::vector<VersionStringTable> after = ReadVersionStringTables(edited);
    ASSERT_EQ(after.size(), before.size());
    for (size_t t = 0; t < before.size(); ++t) {
      EXPECT_EQ(after[t].key, before[t].key);
      // Existing keys keep their place with the new value; missing ones come last, in order.
      std::vector<VersionString> expected = before[t].strings;
      for (const VersionString& w : wanted) {
        auto same = std::find_if(expected.begin(), expected.end(),
                                 [&](const VersionString& s) { return s.key == w.key; });
        if (same != expected.end()) {
          same->value = w.value;
        } else {
          expected.push_back(w);
        }
      }
      EXPECT_EQ(after[t].strings, expected);
    }
    EXPECT_EQ(FixedInfo(edited), FixedInfo(leaf));
    EXPECT_FALSE(NodeBytes(leaf, u"VarFileInfo").empty());
    EXPECT_EQ(NodeBytes(edited, u"VarFileInfo"), NodeBytes(leaf, u"VarFileInfo"));
    EXPECT_EQ(NodeBytes(edited, u"FileVersion"), NodeBytes(leaf, u"FileVersion"));
    // Setting the same strings again changes nothing.
    EXPECT_EQ(SetVersionStrings(edited, wanted), edited);
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, VersionInfoFixtureTest,
                         ::testing::Values("fixture32.exe", "fixture64.exe"), [](const auto& info) {
                           const std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

// --- Hand-built resources ---------------------------------------------------------------------

Bytes TwoTables() {
  return Blob(Root({Block(u"StringFileInfo",
                          {Block(u"040904b0", {Text(u"ProductName", u"Old"), Text(u"A", u"x")}),
                           Block(u"040704b0", {Text(u"A", u"y")})}),
                    VarFileInfo()}));
}

TEST(VersionInfoTest, SetsEveryTable) {
  const Bytes edited = SetVersionStrings(TwoTables(), {{u"ProductName", u"New"}, {u"A", u"z"}});
  const std::vector<VersionStringTable> tables = ReadVersionStringTables(edited);
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_EQ(tables[0].strings,
            (std::vector<VersionString>{{u"ProductName", u"New"}, {u"A", u"z"}}));
  EXPECT_EQ(tables[1].strings,
            (std::vector<VersionString>{{u"A", u"z"}, {u"ProductName", u"New"}}));
  // The last value given for a key wins.
  const Bytes twice = SetVersionStrings(TwoTables(), {{u"A", u"1"}, {u"A", u"2"}});
  EXPECT_EQ(Lookup(ReadVersionStringTables(twice)[1], u"A"), u"2");
}

TEST(VersionInfoTest, WritesNewStringsAsResourceCompilersDo) {
  const Bytes edited = SetVersionStrings(TwoTables(), {{u"ProductName", u"New!"}});
  const Bytes node = NodeBytes(edited, u"ProductName");
  Bytes expected;
  Serialize(Text(u"ProductName", u"New!"), expected);
  EXPECT_EQ(node, expected);
  EXPECT_EQ(LoadU16(&node[2]), 5u);  // UTF-16 units with the NUL.
}

TEST(VersionInfoTest, KeepsOddBytesOfUntouchedNodes) {
  // A string whose value length counts bytes, with non-zero padding, a text Var counted the same
  // way, and an unknown block.
  BlobNode odd = Text(u"Odd", u"kept");
  odd.value_length = 10;
  odd.padding = 0xcc;
  BlobNode bytes_counted = VarFileInfo();  // A text Var whose length counts bytes.
  bytes_counted.children[0] = Text(u"Translation", u"x");
  bytes_counted.children[0].value_length = 4;
  BlobNode unknown = Block(u"Unknown", {});
  unknown.value = {1, 2, 3};
  unknown.value_length = 3;
  unknown.type = 0;
  const Bytes original =
      Blob(Root({Block(u"StringFileInfo", {Block(u"040904b0", {odd})}), bytes_counted, unknown}));
  EXPECT_EQ(ReadVersionStringTables(original)[0].strings,
            (std::vector<VersionString>{{u"Odd", u"kept"}}));
  const Bytes edited = SetVersionStrings(original, {{u"New", u"v"}});
  EXPECT_EQ(NodeBytes(edited, u"Odd"), NodeBytes(original, u"Odd"));
  EXPECT_EQ(NodeBytes(edited, u"Unknown"), NodeBytes(original, u"Unknown"));
  EXPECT_EQ(NodeBytes(edited, u"VarFileInfo"), NodeBytes(original, u"VarFileInfo"));
  EXPECT_EQ(ReadVersionStringTables(edited)[0].strings,
            (std::vector<VersionString>{{u"Odd", u"kept"}, {u"New", u"v"}}));
}

TEST(VersionInfoTest, StoresAnyUtf16TextUpToTheFormatsLimit) {
  const std::u16string lone_surrogate(1, static_cast<char16_t>(0xd800));
  const std::u16string long_value(30000, u'\u00e9');
  std::u16string pairs;
  for (int i = 0; i < 1000; ++i) pairs += u"\U0001F3A5&\"<>";
  const Bytes one_table =
      Blob(Root({Block(u"StringFileInfo", {Block(u"040904b0", {Text(u"A", u"x")})})}));
  for (const std::u16string& value : {std::u16string(kNonBmp), lone_surrogate, long_value, pairs}) {
    const Bytes edited = SetVersionStrings(one_table, {{u"ProductName", value}});
    const std::vector<VersionStringTable> tables = ReadVersionStringTables(edited);
    EXPECT_EQ(Lookup(tables[0], u"ProductName"), value);
    EXPECT_EQ(Lookup(tables[0], u"A"), u"x");
  }
}

TEST(VersionInfoTest, RejectsWhatTheFormatCannotHold) {
  // One string of 33000 units needs more than 65535 bytes.
  EXPECT_THROW(SetVersionStrings(TwoTables(), {{u"ProductName", std::u16string(33000, u'x')}}),
               Error);
  // Two tables of 20000-unit strings fit one by one but not together under StringFileInfo.
  EXPECT_THROW(SetVersionStrings(TwoTables(), {{u"ProductName", std::u16string(20000, u'x')}}),
               Error);
  EXPECT_THROW(SetVersionStrings(TwoTables(), {{u"", u"empty key"}}), Error);
  EXPECT_THROW(SetVersionStrings(TwoTables(), {{std::u16string(u"a\0b", 3), u"v"}}), Error);
  EXPECT_THROW(SetVersionStrings(TwoTables(), {{u"K", std::u16string(u"a\0b", 3)}}), Error);
}

TEST(VersionInfoTest, ResourcesWithoutStringTablesAreLeftAlone) {
  const Bytes only_vars = Blob(Root({VarFileInfo()}));
  EXPECT_TRUE(ReadVersionStringTables(only_vars).empty());
  EXPECT_EQ(SetVersionStrings(only_vars, {{u"ProductName", u"x"}}), only_vars);
}

// Each malformed resource is rejected with Error by both the reader and the editor.
void ExpectRejected(const Bytes& resource, const char* what) {
  SCOPED_TRACE(what);
  EXPECT_THROW(ReadVersionStringTables(resource), Error);
  EXPECT_THROW(SetVersionStrings(resource, {{u"ProductName", u"x"}}), Error);
}

TEST(VersionInfoTest, RejectsMalformedResources) {
  const Bytes good = TwoTables();
  for (size_t size = 0; size < good.size(); ++size) {
    ExpectRejected(Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(size)), "truncated");
  }

  BlobNode zero = Text(u"A", u"x");
  zero.length = 0;
  ExpectRejected(Blob(Root({Block(u"StringFileInfo", {Block(u"040904b0", {zero})})})), "wLength 0");
  BlobNode zero_block = Block(u"040904b0", {});
  zero_block.length = 0;
  ExpectRejected(Blob(Root({Block(u"StringFileInfo", {zero_block})})), "block wLength 0");

  BlobNode beyond = Text(u"A", u"x");
  beyond.length = 200;  // The table ends well before that; the root after it.
  ExpectRejected(
      Blob(Root({Block(u"StringFileInfo", {Block(u"040904b0", {beyond})}), VarFileInfo()})),
      "wLength beyond parent");
  Bytes root_beyond = good;
  StoreU16(root_beyond.data(), static_cast<uint16_t>(good.size() + 4));
  root_beyond.resize(good.size() + 2);
  ExpectRejected(root_beyond, "root wLength beyond resource");

  BlobNode unterminated = Block(u"StringFileInfo", {});
  unterminated.length = 6 + 2 * 14;  // Ends inside the key, before its NUL.
  ExpectRejected(Blob(Root({unterminated})), "key without NUL");

  BlobNode text_beyond = Text(u"Unknown", u"abc");
  text_beyond.value_length = 9;  // Neither 9 units nor 9 bytes fit in its 8 bytes.
  ExpectRejected(Blob(Root({Block(u"StringFileInfo", {}), text_beyond})), "text beyond node");
  BlobNode table_in_bytes = Block(u"040904b0", {});  // Only a byte count would fit.
  table_in_bytes.value = {1, 2, 3, 4};
  table_in_bytes.value_length = 4;
  ExpectRejected(Blob(Root({Block(u"StringFileInfo", {table_in_bytes})})),
                 "string table value counted in bytes");
  BlobNode value_beyond = Block(u"Unknown", {});
  value_beyond.type = 0;
  value_beyond.value_length = 400;
  ExpectRejected(Blob(Root({Block(u"StringFileInfo", {}), value_beyond})), "value beyond node");

  BlobNode deep = Text(u"leaf", u"x");
  for (int i = 0; i < 10; ++i) deep = Block(u"nested", {deep});
  ExpectRejected(Blob(Root({Block(u"StringFileInfo", {}), deep})), "too deep");

  ExpectRejected(Blob(Block(u"NOT_VERSION_INFO", {})), "not a version resource");
  Bytes tail = good;  // Four stray bytes inside the root after its last child.
  tail.insert(tail.end(), {1, 0, 0, 0});
  StoreU16(tail.data(), static_cast<uint16_t>(tail.size()));
  ExpectRejected(tail, "stray bytes");
}

// --- Whole executables ------------------------------------------------------------------------

TEST(VersionInfoExecutableTest, SetsStringsInEveryVersionResource) {
  const auto path = testing::Fixture("fixture64.exe");
  if (!path) GTEST_SKIP() << "fixture not built";
  const Bytes original = testing::ReadBytes(*path);
  const std::vector<VersionString> wanted = {{u"ProductName", kNonBmp}, {u"CompanyName", u"S&S"}};
  EXPECT_TRUE(ExecutableHasVersionStrings(original));
  EXPECT_FALSE(ExecutableCarriesVersionStrings(original, wanted));
  const std::optional<Bytes> edited = ChangeExecutableVersionStrings(original, wanted);
  ASSERT_TRUE(edited.has_value());
  EXPECT_TRUE(ExecutableCarriesVersionStrings(*edited, wanted));
  EXPECT_FALSE(ExecutableCarriesVersionStrings(*edited, {{u"ProductName", u"zentu fixture"}}));
  EXPECT_FALSE(ExecutableCarriesVersionStrings(
      ByteSpan(*edited).first(PeImage(*edited).ImageEnd() / 2), wanted));
  const PeImage image(*edited);
  EXPECT_EQ(ComputePeChecksum(image.bytes(), image.checksum_offset()), image.checksum());
}

TEST(VersionInfoExecutableTest, ProgramsWithoutStringTablesAreNotChanged) {
  const auto path = testing::Fixture("fixture32_nores.exe");
  if (!path) GTEST_SKIP() << "fixture not built";
  const Bytes original = testing::ReadBytes(*path);
  EXPECT_FALSE(ExecutableHasVersionStrings(original));
  EXPECT_FALSE(ExecutableCarriesVersionStrings(original, {}));
  EXPECT_FALSE(ChangeExecutableVersionStrings(original, {{u"ProductName", u"x"}}).has_value());
  EXPECT_FALSE(ExecutableHasVersionStrings(Bytes{'M', 'Z', 0, 0}));
  EXPECT_FALSE(ExecutableHasVersionStrings({}));
  EXPECT_THROW(ChangeExecutableVersionStrings(Bytes{'M', 'Z'}, {{u"A", u"b"}}), Error);
}

}  // namespace
}  // namespace iconchanger
