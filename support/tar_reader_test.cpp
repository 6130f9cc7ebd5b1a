#include "support/tar_reader.h"

#include <gtest/gtest.h>

#include <map>

#include "support/tar_format.h"
#include "support/tar_rewrite.h"
#include "support/tar_test_util.h"

namespace Vadu {
namespace {

using Testing::InflatedFile;
using Testing::PackageFixture;
using Testing::ReadTar;
using Testing::Std;

const std::string kLong =
    "a-folder-whose-name-is-long-enough/that-the-whole-path-needs-more-than-a-hundred-bytes/"
    "and-more/";

std::map<std::string, TarEntry> ByName(const Testing::ReadArchive& archive) {
  std::map<std::string, TarEntry> entries;
  for (const Testing::ReadEntry& read : archive.entries) entries[Std(read.entry.name)] = read.entry;
  return entries;
}

TEST(TarReader, ReadsWhatGnuTarAndPythonWriteInPiecesOfAnySize) {
  for (const char* fixture : {"gnu_package.tgz", "pax_package.tgz"}) {
    SCOPED_TRACE(fixture);
    const std::string tar = InflatedFile(PackageFixture(fixture));
    ASSERT_FALSE(tar.empty());
    const Testing::ReadArchive whole = ReadTar(tar);
    ASSERT_TRUE(whole.ok) << whole.failure;
    // The same entries, at the same places, however the stream arrives.
    for (size_t step : {size_t{1}, size_t{7}, size_t{512}, size_t{4099}}) {
      const Testing::ReadArchive pieces = ReadTar(tar, step);
      ASSERT_TRUE(pieces.ok) << step;
      ASSERT_EQ(pieces.entries.size(), whole.entries.size()) << step;
      for (size_t k = 0; k < whole.entries.size(); ++k)
        EXPECT_EQ(pieces.entries[k].bytes, whole.entries[k].bytes) << step << " " << k;
    }
    // Every byte belongs to an entry or follows the end.
    size_t covered = whole.after.size();
    for (const Testing::ReadEntry& read : whole.entries) covered += read.bytes.size();
    EXPECT_EQ(covered, tar.size());
  }

  auto gnu = ByName(ReadTar(InflatedFile(PackageFixture("gnu_package.tgz"))));
  EXPECT_EQ(gnu.size(), 18u);  // as `tar -t` lists it
  EXPECT_EQ(gnu["./bin/zentu.app"].size, 300000u);
  EXPECT_TRUE(gnu["./bin/zentu_hard"].IsHardLink());
  EXPECT_EQ(Std(gnu["./bin/zentu_hard"].linkName), "./bin/zentu.app");
  EXPECT_TRUE(gnu["./" + kLong + "readme.txt"].gnuLongName);
  EXPECT_EQ(Std(gnu["./" + kLong + "far-link"].linkName),
            "../../lib/" + std::string(90, 'x') + "/long-target");
  EXPECT_TRUE(gnu["./lib/sparse.db"].sparse);
  EXPECT_EQ(gnu["./lib/sparse.db"].type, TarType::kGnuSparse);

  auto pax = ByName(ReadTar(InflatedFile(PackageFixture("pax_package.tgz"))));
  EXPECT_EQ(pax.size(), 11u);
  EXPECT_TRUE(pax["opt/zentu/" + kLong + "notes.txt"].paxPath);
  EXPECT_TRUE(pax["opt/zentu/zentu-link"].IsSymbolicLink());
  // GNU tar's pax sparse form: the real name from its record, the map inside the data.
  EXPECT_TRUE(pax["sparse.db"].sparse);
  EXPECT_TRUE(pax["opt/zentu/zentu.app"].IsRegularFile());
}

TEST(TarReader, RefusesDamagedArchivesAndAcceptsAShortEnd) {
  const std::string tar = InflatedFile(PackageFixture("pax_package.tgz"));
  const Testing::ReadArchive whole = ReadTar(tar);
  ASSERT_TRUE(whole.ok);
  const uint64_t end = whole.entries.back().entry.end;
  // One end-of-archive block, or none, is an archive that ended.
  EXPECT_TRUE(ReadTar(tar.substr(0, end + 512)).ok);
  EXPECT_TRUE(ReadTar(tar.substr(0, end)).ok);

  auto damaged = [&](const std::string& what, std::string bytes) {
    SCOPED_TRACE(what);
    EXPECT_FALSE(ReadTar(bytes).ok);
  };
  const uint64_t app = ByName(whole).at("opt/zentu/zentu.app").header;
  damaged("cut inside the data", tar.substr(0, app + 1024));
  damaged("cut inside a header", tar.substr(0, app + 100));
  std::string flipped = tar;
  flipped[app + 10] ^= 1;
  damaged("a header whose checksum does not match", flipped);
  // A pax header that claims more than a reader takes, its checksum made right.
  std::string huge = tar;
  auto* block = reinterpret_cast<unsigned char*>(huge.data());
  ASSERT_EQ(block[TarFields::kType.offset], TarType::kPaxExtended);
  SetTarNumber(block, TarFields::kSize, kMaxTarExtensionSize + 1);
  SetTarChecksum(block);
  damaged("a pax header too large", huge);
  std::string record = tar;
  const size_t space = record.find(' ', 512);
  record[space - 1] = '9';  // the first record's length now runs past its end
  damaged("a malformed pax record", record);
}

TEST(TarFormat, NumbersRecordsAndNamesSurviveTheRoundTrip) {
  unsigned char block[kTarBlockSize] = {};
  for (uint64_t value : {uint64_t{0}, uint64_t{0777}, (uint64_t{8} << 30) - 1, uint64_t{8} << 30,
                         uint64_t{1} << 62}) {
    SetTarNumber(block, TarFields::kSize, value);
    EXPECT_EQ(TarHeaderView(block).Number(TarFields::kSize), value);
    // Octal while it fits, as every reader knows it; base-256 beyond.
    EXPECT_EQ(block[TarFields::kSize.offset] < 0x80, value < (uint64_t{8} << 30)) << value;
  }
  SetTarChecksum(block);
  EXPECT_TRUE(TarHeaderView(block).ChecksumMatches());
  block[0] = 0xE9;  // an old writer summed signed bytes
  const int64_t signedSum = [&] {
    int64_t sum = 0;
    for (uint32_t k = 0; k < kTarBlockSize; ++k)
      sum += (k >= 148 && k < 156) ? ' ' : static_cast<signed char>(block[k]);
    return sum;
  }();
  SetTarNumber(block, TarFields::kChecksum, static_cast<uint64_t>(signedSum));
  EXPECT_TRUE(TarHeaderView(block).ChecksumMatches());

  // A record's length counts its own digits, across the point where they grow.
  for (uint32_t size : {1u, 2u, 3u, 4u, 5u, 83u, 84u, 85u, 86u, 990u, 991u, 992u}) {
    const String text = PaxRecordText("path", String(std::string(size, 'n')));
    const auto records = ParsePaxRecords(text);
    ASSERT_TRUE(records) << size;
    EXPECT_EQ(records->at(0).value.Length(), size);
    EXPECT_EQ(records->at(0).stored, text.Length());
  }
  String prefix, rest;
  EXPECT_TRUE(
      SplitUstarName(String(std::string(150, 'p') + "/" + std::string(99, 'n')), &prefix, &rest));
  EXPECT_EQ(rest.Length(), 99u);
  EXPECT_FALSE(SplitUstarName(String("p/" + std::string(101, 'n')), &prefix, &rest));
}

TEST(TarRewrite, ANewNameTakesTheFormTheArchiveUses) {
  const std::string longName = "opt/zentu/" + std::string(120, 'L') + ".app";
  // A GNU header gets a long name entry, a pax or ustar one a pax record; the link name and size
  // change with it, and every other field stays.
  // A sparse file in GNU tar's pax form takes its new name in its own record.
  for (const auto& [fixture, app] : {std::pair{"gnu_package.tgz", "./bin/zentu.app"},
                                     {"pax_package.tgz", "opt/zentu/zentu.app"},
                                     {"pax_package.tgz", "sparse.db"}}) {
    SCOPED_TRACE(fixture);
    const Testing::ReadArchive archive = ReadTar(InflatedFile(PackageFixture(fixture)));
    const Testing::ReadEntry* stored = nullptr;
    for (const Testing::ReadEntry& read : archive.entries)
      if (read.entry.name == String(app)) stored = &read;
    ASSERT_TRUE(stored);
    const String headers(stored->bytes.substr(0, stored->entry.data - stored->entry.start));
    for (const std::string& name : {std::string("opt/zentu/Short.app"), longName}) {
      TarEntryChange change;
      change.name = String(name);
      change.size = (uint64_t{9} << 30) + 3;
      const std::optional<String> rewritten = RewriteTarHeaders(headers, change);
      ASSERT_TRUE(rewritten);
      const Testing::ReadArchive back = ReadTar(Std(*rewritten));
      ASSERT_EQ(back.entries.size(), 1u) << back.failure;
      const TarEntry& entry = back.entries[0].entry;
      EXPECT_EQ(Std(entry.name), name);
      EXPECT_EQ(entry.size, (uint64_t{9} << 30) + 3);
      // The owner, mode and time fields of the header are those of the original.
      const size_t header = entry.header - entry.start,
                   original = stored->entry.header - stored->entry.start;
      EXPECT_EQ(Std(*rewritten).substr(header + 100, 24), stored->bytes.substr(original + 100, 24));
      EXPECT_EQ(Std(*rewritten).substr(header + 136, 12), stored->bytes.substr(original + 136, 12));
    }
  }
}

}  // namespace
}  // namespace Vadu
