#include "support/writable_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_util.h"

namespace Vadu {
namespace {

namespace fs = std::filesystem;
using Testing::TempFolder;
using Testing::Wide;

TEST(WritableFolder, AnOwnFolderIsWritableAndKeepsNoTrace) {
  TempFolder folder;
  EXPECT_TRUE(CanCreateIn(Wide(folder.Path())));
  EXPECT_TRUE(fs::is_empty(folder.Path()));
}

TEST(WritableFolder, AMissingFolderOrAFileIsNot) {
  TempFolder folder;
  EXPECT_FALSE(CanCreateIn(Wide(folder.Path() / "missing")));
  Testing::WriteFileBytes(folder.Path() / "file", "x");
  EXPECT_FALSE(CanCreateIn(Wide(folder.Path() / "file")));
}

}  // namespace
}  // namespace Vadu
