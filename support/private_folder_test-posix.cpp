#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/file_system.h"
#include "support/private_folder.h"
#include "support/test_util.h"

namespace Vadu {
namespace {

namespace fs = std::filesystem;
using Testing::Wide;

TEST(PrivateFolderPosixTest, OnlyTheOwnerMayEnterAndLinksAreNotFolders) {
  Testing::TempFolder parent;
  const mode_t old = umask(0);  // the widest umask must not widen the folder
  const WString folder = CreatePrivateFolder(Wide(parent.Path()), u"p-");
  umask(old);
  ASSERT_FALSE(folder.IsEmpty());
  struct stat status;
  ASSERT_EQ(lstat(ToUtf8(folder).CStr(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0700u);

  fs::create_directory_symlink(ToUtf8(folder).CStr(), parent.Path() / "link");
  EXPECT_FALSE(IsOwnFolder(Wide(parent.Path() / "link")));
  // A folder of another user is not this user's.
  if (geteuid() == 0) {
    fs::create_directory(parent.Path() / "theirs");
    ASSERT_EQ(chown((parent.Path() / "theirs").c_str(), 65534, 65534), 0);
    EXPECT_FALSE(IsOwnFolder(Wide(parent.Path() / "theirs")));
  }
}

}  // namespace
}  // namespace Vadu
