#include "support/private_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "support/file_system.h"
#include "support/test_util.h"

namespace Vadu {
namespace {

namespace fs = std::filesystem;
using Testing::Wide;

TEST(PrivateFolderTest, EachCallMakesANewFolderOfItsOwn) {
  Testing::TempFolder parent;
  std::set<std::u16string> names;
  for (int i = 0; i < 20; ++i) {
    const WString folder = CreatePrivateFolder(Wide(parent.Path()), u"zentu-run-");
    ASSERT_FALSE(folder.IsEmpty());
    EXPECT_TRUE(DirectoryExists(folder));
    EXPECT_TRUE(IsOwnFolder(folder));
    const WString name = GetFileName(folder);
    EXPECT_TRUE(name.StartsWith(u"zentu-run-"));
    EXPECT_EQ(name.Length(), 10u + 16u);
    names.insert(std::u16string(name.ToView()));
  }
  EXPECT_EQ(names.size(), 20u);
  EXPECT_TRUE(CreatePrivateFolder(Wide(parent / "missing"), u"x-").IsEmpty());
  EXPECT_TRUE(CreatePrivateFolder(WString(), u"x-").IsEmpty());
  EXPECT_FALSE(IsOwnFolder(Wide(parent / "missing")));
}

}  // namespace
}  // namespace Vadu
