#include "support/gzip_file.h"

#include <gtest/gtest.h>

#include "support/tar_test_util.h"

namespace Vadu {
namespace {

using Testing::PackageFixture;
using Testing::ReadFileBytes;
using Testing::Std;
using Testing::TempFolder;
using Testing::WriteFileBytes;

// Reads a gzip file of these bytes: what the reading found, and the bytes inflated.
std::pair<GzipReading, std::string> Read(const std::string& bytes) {
  TempFolder folder;
  WriteFileBytes(folder.Path() / "file.gz", bytes);
  const FileReader file(Testing::Wide(folder.Path() / "file.gz"));
  std::string out;
  GzipReading reading = InflateGzipFile(file, [&out](const char* data, uint32_t count) {
    out.append(data, count);
    return true;
  });
  return {reading, out};
}

TEST(GzipFile, ReadsEveryMemberAsOneStreamAndKeepsTheFirstHeader) {
  // GNU tar's stream split over two members, the first with a name, an extra field, a comment
  // and a header CRC.
  const std::string package = ReadFileBytes(PackageFixture("gnu_package.tgz"));
  const auto [reading, tar] = Read(package);
  ASSERT_TRUE(reading.failure.IsEmpty()) << Std(reading.failure);
  EXPECT_EQ(reading.members, 2u);
  EXPECT_EQ(reading.inflated, tar.size());
  EXPECT_EQ(tar.size() % 512, 0u);
  const std::string header = Std(reading.firstHeader);
  EXPECT_NE(header.find("made for the tests"), std::string::npos);
  EXPECT_EQ(GzipHeaderLength(reading.firstHeader), header.size());
  EXPECT_EQ(package.compare(0, header.size(), header), 0);
  // Cut anywhere inside the header, it needs more bytes.
  for (size_t cut = 0; cut < header.size(); ++cut)
    EXPECT_EQ(GzipHeaderLength(String(header.substr(0, cut))), 0u) << cut;

  // A tape writer's zero padding after the last member is accepted.
  EXPECT_TRUE(Read(package + std::string(10240, '\0')).first.failure.IsEmpty());
  auto refused = [](const std::string& what, const std::string& bytes) {
    SCOPED_TRACE(what);
    EXPECT_FALSE(Read(bytes).first.failure.IsEmpty());
  };
  refused("empty", "");
  refused("not gzip", "plain text, not a package");
  refused("cut short", package.substr(0, package.size() - 5));
  refused("bytes after the last member", package + "trailing");
  std::string crc = package;
  crc[package.size() - 8] ^= 1;
  refused("a CRC that does not match", crc);
  std::string headerCrc = package;
  headerCrc[header.size() - 1] ^= 1;
  refused("a header CRC that does not match", headerCrc);
  std::string data = package;
  data[header.size() + 40] ^= 0x55;
  refused("damaged deflate data", data);
}

}  // namespace
}  // namespace Vadu
