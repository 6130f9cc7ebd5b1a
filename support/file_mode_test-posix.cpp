#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/file_mode.h"
#include "support/test_util.h"

namespace Vadu {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

TEST(FileModePosix, SetExecutableGivesMode0755WhateverTheModeWas) {
  Testing::TempFolder folder;
  for (mode_t before : {mode_t(0600), mode_t(0644), mode_t(0777)}) {
    std::string path = folder / "tool";
    Testing::WriteFileBytes(path, "#!/bin/sh\nexit 0\n");
    ASSERT_EQ(chmod(path.c_str(), before), 0);
    ASSERT_TRUE(SetExecutable(Testing::Wide(path)));
    EXPECT_EQ(ModeOf(path), mode_t(0755)) << std::oct << before;
  }
}

}  // namespace
}  // namespace Vadu
