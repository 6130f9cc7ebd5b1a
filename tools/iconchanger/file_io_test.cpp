#include "file_io.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace iconchanger {
namespace {
namespace fs = std::filesystem;

size_t EntriesIn(const fs::path& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(FileIoTest, ReadsWholeFilesAndRejectsWhatIsNotAFile) {
  testing::TempDir dir;
  Bytes big(300000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
  testing::WriteBytes(dir.path() / "big.bin", big);
  EXPECT_EQ(ReadWholeFile(dir.path() / "big.bin"), big);
  EXPECT_THROW(ReadWholeFile(dir.path() / "missing.bin"), Error);
  EXPECT_THROW(ReadWholeFile(dir.path()), Error);
}

TEST(FileIoTest, ReplacesContentsKeepingPermissionsAndLeavingNoTemporaryFile) {
  testing::TempDir dir;
  const fs::path target = dir.path() / "my app.exe";
  testing::WriteBytes(target, Bytes{'o', 'l', 'd'});
  const fs::perms perms = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec;
  fs::permissions(target, perms);
  const Bytes contents{'n', 'e', 'w', 0, 1, 2, 3};
  ReplaceFileAtomically(target, contents);
  EXPECT_EQ(testing::ReadBytes(target), contents);
#ifndef _WIN32
  EXPECT_EQ(fs::status(target).permissions(), perms);
#endif
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(FileIoTest, FailsWithoutCreatingFilesWhenTheTargetIsNotAFile) {
  testing::TempDir dir;
  EXPECT_THROW(ReplaceFileAtomically(dir.path() / "missing.exe", Bytes{1}), Error);
  fs::create_directory(dir.path() / "folder.exe");
  EXPECT_THROW(ReplaceFileAtomically(dir.path() / "folder.exe", Bytes{1}), Error);
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
  EXPECT_TRUE(fs::is_empty(dir.path() / "folder.exe"));
}

#ifndef _WIN32
TEST(FileIoTest, ReplacesTheFileALinkPointsTo) {
  testing::TempDir dir;
  testing::WriteBytes(dir.path() / "real.exe", Bytes{1, 2});
  fs::create_symlink("real.exe", dir.path() / "link.exe");
  ReplaceFileAtomically(dir.path() / "link.exe", Bytes{3, 4, 5});
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.exe"));
  EXPECT_EQ(testing::ReadBytes(dir.path() / "real.exe"), (Bytes{3, 4, 5}));
  EXPECT_EQ(EntriesIn(dir.path()), 2u);
}
#endif

}  // namespace
}  // namespace iconchanger
