#include "support/settings_map.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <utility>

#include "support/test_util.h"

namespace Vadu {
namespace {

using Testing::Bytes;

// Raw-form pieces written out by hand.
std::string Le32(uint32_t value) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(value >> (8 * i));
  return out;
}
std::string Field(const std::string& bytes) { return Le32(uint32_t(bytes.size())) + bytes; }
std::string Entry(const std::string& name, const std::string& value) {
  return Field(name) + Field(value);
}
String ReferenceCompress(const std::string& raw) {
  uLongf size = compressBound(uLong(raw.size()));
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                      reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()), 6),
            Z_OK);
  return String(out.data(), uint32_t(size));
}

std::vector<std::string> Names(const SettingsMap& map) {
  std::vector<std::string> names;
  for (const String& name : map.ListNames()) names.emplace_back(name.ToView());
  return names;
}

TEST(SettingsMapEntries, SetReplacesGetNeverInsertsAndEmptyNamesAreRefused) {
  SettingsMap map;
  EXPECT_TRUE(map.Get("x").IsEmpty());
  map.Set("", "ignored");
  EXPECT_FALSE(map.HasEntries());
  for (const char* name : {"b", "ab", "B", "a", "\xC3\xA9", "a\x01"}) map.Set(name, "first");
  map.Set("b", "second");
  EXPECT_EQ(map.Get("b"), "second");
  EXPECT_TRUE(map.Get("absent").IsEmpty());
  // Names sort by unsigned bytes, prefixes first.
  EXPECT_EQ(Names(map), (std::vector<std::string>{"B", "a", "a\x01", "ab", "b", "\xC3\xA9"}));
  SettingsMap other;
  other.Swap(map);
  EXPECT_EQ(other.Count(), 6u);
  EXPECT_FALSE(map.HasEntries());
}

TEST(SettingsMapRawForm, SerializesEntriesInMapOrder) {
  SettingsMap map;
  EXPECT_TRUE(map.Serialize().IsEmpty());
  map.Set("a", "b");
  EXPECT_EQ(map.Serialize(), Bytes(std::string("\x01\0\0\0a\x01\0\0\0b", 10)));

  std::string blob(300, '\0');
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = char(i);
  map.Set("z", Bytes(blob));
  map.Set("empty", "");
  EXPECT_EQ(map.Serialize(), Bytes(Entry("a", "b") + Entry("empty", "") + Entry("z", blob)));
}

TEST(SettingsMapRawForm, RoundTripKeepsEmptyAndBinaryValues) {
  SettingsMap map;
  map.Set("empty", "");
  map.Set(Bytes(std::string("bin\0ary", 7)), Bytes(std::string("\0\xFF\0", 3)));
  map.Set("text.txt", "hello");
  SettingsMap copy;
  ASSERT_TRUE(copy.Deserialize(map.Serialize()));
  EXPECT_EQ(copy.ListNames(), map.ListNames());
  for (const String& name : map.ListNames()) EXPECT_EQ(copy.Get(name), map.Get(name));
  EXPECT_EQ(copy.Count(), 3u);
}

TEST(SettingsMapRawForm, MalformedInputLeavesNothingBehind) {
  const std::string good = Entry("a", "1") + Entry("b", "2");
  SettingsMap map;
  const std::string malformed[] = {
      std::string("\x01", 1),                        // length cut short, alone
      std::string("\x01\0\0\0", 4),                  // a name length and no name
      Entry("", "1") + good,                         // empty first name
      good + Entry("", "3"),                         // empty name after good entries
      good + Field("c") + Le32(2) + "x",             // value shorter than its length
      good + Field("c") + std::string("\x01\0", 2),  // value length cut short
      good + std::string("\x01\0\0", 3),             // name length cut short
      good + Le32(0xFFFFFFFF) + "abc",               // length far past the end
      good + Field("c") + Le32(0xFFFFFFFC) + "z",    // length that would wrap a 32-bit sum
      Le32(5) + "abc",                               // first name shorter than its length
  };
  for (const std::string& input : malformed) {
    map.Set("stale", "x");
    EXPECT_FALSE(map.Deserialize(Bytes(input))) << input.size();
    EXPECT_FALSE(map.HasEntries()) << input.size();
  }
  // No input is an empty map; a final name without its value is dropped, not an error.
  map.Set("stale", "x");
  EXPECT_TRUE(map.Deserialize(String()));
  EXPECT_FALSE(map.HasEntries());
  EXPECT_TRUE(map.Deserialize(Bytes(Entry("a", "1") + Field("dangling"))));
  EXPECT_EQ(Names(map), std::vector<std::string>{"a"});
}

TEST(SettingsMapCompressedForm, LoadReadsTheRawFormByTheRulesOfDeserialize) {
  // Loading reads the raw form piece by piece as it inflates: every well-formed, malformed and
  // cut input must come out as Deserialize makes it, including values longer than a piece.
  const std::string big(200000, 'v');
  std::vector<std::string> inputs = {"",
                                     std::string("\x01", 1),
                                     std::string("\x01\0\0\0", 4),
                                     Entry("", "1"),
                                     Entry("a", "1") + Field("dangling"),
                                     Entry("k", "first") + Entry("k", "second"),
                                     Entry("big", big) + Entry("a", ""),
                                     Entry("a", "1") + Le32(0xFFFFFFFF) + "abc"};
  uint32_t state = 7;
  for (int i = 0; i < 300; ++i) {
    std::string raw;
    for (int e = 0; e < 1 + i % 4; ++e)
      raw += Entry(std::string(1 + i % 3, static_cast<char>('a' + e)),
                   std::string((state = state * 1103515245 + 12345) % (i % 2 ? 100000 : 9), 'x'));
    inputs.push_back(raw.substr(0, raw.size() - (i % 5 == 0 ? (state >> 8) % raw.size() : 0)));
  }
  for (const std::string& raw : inputs) {
    SettingsMap expected, loaded;
    const bool accepted = expected.Deserialize(Bytes(raw));
    EXPECT_EQ(loaded.Load(ReferenceCompress(raw)), accepted) << raw.size();
    EXPECT_EQ(loaded.Serialize(), expected.Serialize()) << raw.size();
  }
}

TEST(SettingsMapRawForm, DuplicateNameKeepsTheFirstValueUnlikeSet) {
  SettingsMap map;
  ASSERT_TRUE(map.Deserialize(Bytes(Entry("k", "first") + Entry("k", "second"))));
  EXPECT_EQ(map.Get("k"), "first");
  EXPECT_EQ(map.Count(), 1u);
  map.Set("k", "second");
  EXPECT_EQ(map.Get("k"), "second");
}

TEST(SettingsMapCompressedForm, SaveAndLoadUseStandardZlibStreams) {
  SettingsMap map;
  EXPECT_TRUE(map.Save().IsEmpty());
  map.Set("oem_info.xml", "<xml/>");
  map.Set("logo.png", Bytes(std::string(20000, 'L')));
  String saved = map.Save();
  String raw = map.Serialize();
  std::string inflated(raw.Length() + 1, '\0');
  uLongf size = uLongf(inflated.size());
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(inflated.data()), &size,
                       reinterpret_cast<const Bytef*>(saved.Data()), saved.Length()),
            Z_OK);
  EXPECT_EQ(Bytes(inflated.substr(0, size)), raw);
  EXPECT_EQ(SettingsMap(saved).Serialize(), raw);
  SettingsMap loaded;
  ASSERT_TRUE(loaded.Load(ReferenceCompress(Entry("x.txt", "ex") + Entry("a.txt", "ay"))));
  EXPECT_EQ(Names(loaded), (std::vector<std::string>{"a.txt", "x.txt"}));
  EXPECT_EQ(loaded.Get("x.txt"), "ex");
}

TEST(SettingsMapCompressedForm, LoadFailures) {
  SettingsMap map;
  map.Set("kept", "1");
  // Nothing to load: the map stays as it was.
  EXPECT_FALSE(map.Load(String()));
  EXPECT_EQ(map.Get("kept"), "1");
  // Not a zlib stream, a stream cut short, and a stream of malformed raw data: the map is empty.
  String stream = ReferenceCompress(Entry("a", "1"));
  for (const String& input :
       {String("garbage bytes"), stream.Substring(0, stream.Length() - 1),
        ReferenceCompress(Entry("", "1")), ReferenceCompress(std::string("\x01\0", 2))}) {
    map.Set("kept", "1");
    EXPECT_FALSE(map.Load(input));
    EXPECT_FALSE(map.HasEntries());
  }
  // A valid stream of nothing is an empty map.
  map.Set("kept", "1");
  EXPECT_TRUE(map.Load(ReferenceCompress("")));
  EXPECT_FALSE(map.HasEntries());
}

TEST(SettingsMapCompressedForm, EntriesAreHandedOverInStreamOrderAsTheyInflate) {
  // Stream order, not map order; a duplicate once with its first value; a final name without a
  // value dropped.
  const std::string big(300000, 'b');
  const String stream =
      ReferenceCompress(Entry("z", "last?") + Entry("a", big) + Entry("z", "again") + Field("x"));
  std::vector<std::pair<std::string, std::string>> seen;
  const auto record = [&seen](const String& name, const String& value) {
    seen.emplace_back(std::string(name.ToView()), std::string(value.ToView()));
    return true;
  };
  ASSERT_TRUE(SettingsMap::ReadEntries(stream, record));
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::string>>{{"z", "last?"}, {"a", big}}));

  // A fault after the first entry: the first was handed over already, the result is false.
  seen.clear();
  EXPECT_FALSE(
      SettingsMap::ReadEntries(ReferenceCompress(Entry("a", "1") + Entry("", "2")), record));
  EXPECT_EQ(seen.size(), 1u);
  // A sink that stops the reading.
  int calls = 0;
  EXPECT_FALSE(SettingsMap::ReadEntries(stream, [&calls](const String&, const String&) {
    ++calls;
    return false;
  }));
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(SettingsMap::ReadEntries(String(), record));
}

}  // namespace
}  // namespace Vadu
