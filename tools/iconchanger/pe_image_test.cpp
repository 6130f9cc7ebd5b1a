#include "pe_image.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "test_support.h"

namespace iconchanger {
namespace {

struct FixtureInfo {
  const char* name;
  bool pe32_plus;
  bool resources_last;
  bool has_resources;
};

const FixtureInfo kFixtures[] = {
    {"fixture32.exe", false, false, true},        {"fixture32_last.exe", false, true, true},
    {"fixture32_nores.exe", false, false, false}, {"fixture64.exe", true, false, true},
    {"fixture64_last.exe", true, true, true},     {"fixture64_nores.exe", true, false, false},
};

TEST(PeChecksumTest, FoldsCarriesIgnoresTheFieldAndAddsTheLength) {
  Bytes data(10, 0);
  EXPECT_EQ(ComputePeChecksum(data, 4), 10u);
  data[0] = data[1] = 0xff;  // 0xffff + 0x0001 carries into bit 16 and folds back to 0x0001.
  data[2] = 0x01;
  EXPECT_EQ(ComputePeChecksum(data, 4), 1u + 10u);
  std::fill(data.begin() + 4, data.begin() + 8, 0xee);  // The checksum field counts as zero.
  EXPECT_EQ(ComputePeChecksum(data, 4), 1u + 10u);
  data.push_back(0x05);  // An odd trailing byte is the low byte of a last word.
  EXPECT_EQ(ComputePeChecksum(data, 4), 1u + 5u + 11u);
}

TEST(PeImageTest, ParsesFixturesAndAgreesWithTheLinkersChecksum) {
  int seen = 0;
  for (const FixtureInfo& info : kFixtures) {
    const auto path = testing::Fixture(info.name);
    if (!path) continue;
    SCOPED_TRACE(info.name);
    ++seen;
    const PeImage image(testing::ReadBytes(*path));
    EXPECT_EQ(image.is_pe32_plus(), info.pe32_plus);
    // GNU ld writes the image checksum; an independent computation must agree with it.
    EXPECT_NE(image.checksum(), 0u);
    EXPECT_EQ(ComputePeChecksum(image.bytes(), image.checksum_offset()), image.checksum());
    const DataDirectory resources = image.directory(kResourceDirectoryIndex);
    EXPECT_EQ(resources.rva != 0, info.has_resources);
    Bytes out;
    if (info.has_resources) {
      EXPECT_TRUE(image.ReadRva(resources.rva, 16, out));
    }
    EXPECT_FALSE(image.ReadRva(image.size_of_image(), 1, out));
    // An empty range at the very end of a section's data is still inside it.
    const SectionHeader& last = image.sections().back();
    const uint32_t last_end =
        last.virtual_address + std::min(last.MappedSize(), last.size_of_raw_data);
    EXPECT_TRUE(image.ReadRva(last_end, 0, out));
    EXPECT_FALSE(image.ReadRva(last_end, 1, out));
    EXPECT_FALSE(image.ReadRva(image.sections().back().virtual_address, 0xffffff00u, out));

    const ResourcePlacement placement = image.PlanResourceSection();
    EXPECT_EQ(placement.in_place, info.resources_last);
    if (!placement.in_place) {
      EXPECT_EQ(placement.section_index, image.sections().size());
      EXPECT_EQ(placement.rva % image.section_alignment(), 0u);
      EXPECT_EQ(placement.raw_offset % image.file_alignment(), 0u);
      EXPECT_GE(placement.raw_offset, image.ImageEnd());
      for (const SectionHeader& s : image.sections()) {
        EXPECT_GE(placement.rva, s.virtual_address + s.MappedSize());
      }
    }
  }
  if (seen == 0) GTEST_SKIP() << "no fixture executables were built (mingw-w64 missing)";
}

// The checks parse a program the caller holds through a view: it reads those very bytes, and reads
// and rebuilds them as an image owning a copy does.
TEST(PeViewTest, ReadsTheCallersBytesInPlaceAsAnOwnedImageDoes) {
  int seen = 0;
  for (const FixtureInfo& info : kFixtures) {
    const auto path = testing::Fixture(info.name);
    if (!path || !info.has_resources) continue;
    SCOPED_TRACE(info.name);
    ++seen;
    Bytes program = testing::ReadBytes(*path);
    program.insert(program.end(), 4096, 0x5a);  // Overlay data.
    const PeView view(program);
    EXPECT_EQ(view.file().data(), program.data());
    EXPECT_EQ(view.file().size(), program.size());
    const PeImage owned(program);
    EXPECT_EQ(view.ImageEnd(), owned.ImageEnd());
    const ResourceDirectory tree = ReadResourceTree(view);
    EXPECT_FALSE(tree.entries.empty());
    EXPECT_TRUE(tree == ReadResourceTree(owned));
    const ResourcePlacement placement = view.PlanResourceSection();
    const Bytes section = BuildResourceSection(tree, placement.rva);
    EXPECT_EQ(view.WithResourceSection(placement, section),
              owned.WithResourceSection(owned.PlanResourceSection(), section));
  }
  if (seen == 0) GTEST_SKIP() << "no fixture executables were built (mingw-w64 missing)";
}

// Each case breaks a valid image in one way.
TEST(PeImageTest, RejectsNonPeAndTruncatedFiles) {
  const auto path = testing::Fixture("fixture32_last.exe");
  if (!path) GTEST_SKIP() << "fixture not built";
  const Bytes valid = testing::ReadBytes(*path);
  const PeImage reference(valid);
  const uint32_t pe = LoadU32(&valid[0x3c]);
  const size_t opt = pe + 24;
  const size_t first_section = opt + LoadU16(&valid[pe + 4 + 16]);
  const std::vector<std::pair<std::string, std::function<void(Bytes&)>>> cases = {
      {"text file", [](Bytes& b) { b.assign(200, 'x'); }},
      {"MZ only", [](Bytes& b) { b.resize(2); }},
      {"e_lfanew past end", [](Bytes& b) { StoreU32(&b[0x3c], 0xfffffff0u); }},
      {"no PE signature", [&](Bytes& b) { b[pe] = 'X'; }},
      {"unknown magic", [&](Bytes& b) { StoreU16(&b[opt], 0x107); }},
      {"bad file alignment", [&](Bytes& b) { StoreU32(&b[opt + 36], 0x300); }},
      {"directories exceed header", [&](Bytes& b) { StoreU32(&b[opt + 92], 0x1000); }},
      {"truncated in the headers", [&](Bytes& b) { b.resize(first_section + 20); }},
      {"truncated section data", [&](Bytes& b) { b.resize(reference.ImageEnd() - 1); }},
      {"section data past the end",
       [&](Bytes& b) { StoreU32(&b[first_section + 20], static_cast<uint32_t>(b.size())); }},
  };
  for (const auto& [name, corrupt] : cases) {
    Bytes broken = valid;
    corrupt(broken);
    EXPECT_THROW(PeImage{broken}, Error) << name;
  }
}

TEST(PeImageTest, RefusesToAddASectionHeaderWithoutRoom) {
  const auto path = testing::Fixture("fixture32.exe");
  if (!path) GTEST_SKIP() << "fixture not built";
  const Bytes valid = testing::ReadBytes(*path);
  const PeImage image(valid);
  const uint32_t pe = LoadU32(&valid[0x3c]);
  const size_t opt = pe + 24;
  const size_t table_end =
      opt + LoadU16(&valid[pe + 4 + 16]) + image.sections().size() * kSectionHeaderSize;
  ASSERT_NO_THROW(image.PlanResourceSection());

  Bytes small_headers = valid;  // Headers end right after the section table.
  StoreU32(&small_headers[opt + 60], static_cast<uint32_t>(table_end + kSectionHeaderSize - 1));
  EXPECT_THROW(PeImage(small_headers).PlanResourceSection(), Error);

  Bytes used_gap = valid;  // Something lives right after the section table.
  used_gap[table_end + 17] = 0x42;
  EXPECT_THROW(PeImage(used_gap).PlanResourceSection(), Error);
}

}  // namespace
}  // namespace iconchanger
