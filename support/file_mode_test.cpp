#include "support/file_mode.h"

#include <gtest/gtest.h>

#include "support/test_util.h"

namespace Vadu {
namespace {

TEST(FileMode, SetExecutableNeedsAnExistingFile) {
  Testing::TempFolder folder;
  Testing::WriteFileBytes(folder.Path() / "tool", "#!/bin/sh\nexit 0\n");
  EXPECT_TRUE(SetExecutable(Testing::Wide(folder.Path() / "tool")));
  EXPECT_FALSE(SetExecutable(Testing::Wide(folder.Path() / "missing")));
  EXPECT_FALSE(SetExecutable(WString()));
}

}  // namespace
}  // namespace Vadu
