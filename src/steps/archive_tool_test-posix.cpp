// POSIX checks of the archive driver: file names of any bytes, and symbolic links.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "src/steps/archive_tool.h"
#include "support/file_system.h"
#include "support/test_util.h"
#include "tests/scoped_temp_env.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::TempFolder;
using Vadu::Testing::Wide;
using Vadu::Testing::WriteFileBytes;

// A file-system path as the driver takes it: bytes that are not UTF-8 stand for themselves.
Vadu::WString Bytes(const fs::path& path) { return Wide(path.string()); }

TEST(ArchiveToolPosix, PathsWithQuotesBackslashesAndBytesThatAreNotUtf8ReachTheTool) {
  Testing::ScopedTempEnvironment temp;
  TempFolder work;
  // Each part breaks a different way of passing a path in one text: quotes, backslashes before a
  // quote and at the end of a name, a tab, a leading "-", bytes no UTF-8 decoding gives.
  const std::string awkward = " \"q\" a\\\"b\t-x \xff\xfe";
  const fs::path out = work.Path() / ("out" + awkward);
  fs::create_directories(out);
  const fs::path image = out / "zen \"tu\" \xfe.dmg";
  fs::copy_file(fs::path(ZENTU_FIXTURES_DIR) / "zentu.dmg", image);
  const fs::path destination = work.Path() / ("dest" + awkward);
  ASSERT_TRUE(UnpackDmg(Bytes(image), Bytes(destination)));
  EXPECT_TRUE(fs::is_regular_file(destination / "zentu.app" / "Contents" / "Info.plist"));
}

TEST(ArchiveToolPosix, RemovingAnUnpackedImageLeavesWhatItsLinkPointsAt) {
  Testing::ScopedTempEnvironment temp;
  TempFolder work;
  const fs::path destination = work.Path() / "dest";
  ASSERT_TRUE(UnpackDmg(Wide(fs::path(ZENTU_FIXTURES_DIR) / "zentu.dmg"), Wide(destination)));
  const fs::path link = destination / "Applications";
  ASSERT_TRUE(fs::is_symlink(link));
  // Whatever the link names (the tool roots absolute links in its output folder), put a folder
  // there and check that removing the unpacked tree leaves it alone.
  fs::path target = fs::read_symlink(link);
  if (target.is_relative()) target = destination / target;
  ASSERT_FALSE(fs::exists(target));
  fs::create_directories(target);
  WriteFileBytes(target / "keep.txt", "kept");

  EXPECT_TRUE(Vadu::RemoveDirectoryTree(Wide(destination)));
  EXPECT_FALSE(fs::exists(fs::symlink_status(destination)));
  EXPECT_EQ(ReadFileBytes(target / "keep.txt"), "kept");
  fs::remove_all(target);
}

}  // namespace
}  // namespace Zentu
