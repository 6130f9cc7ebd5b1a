// The streamed block functions when the disk refuses the copy half way.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "oem/resource_block.h"
#include "support/test_util-posix.h"
#include "support/test_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Vadu::Testing::FileSizeLimit;

TEST(StreamedFilesOnAFullDisk, AFailureInTheMiddleOfTheCopyLeavesTheProgram) {
  Vadu::Testing::TempFolder folder;
  const fs::path file = folder.Path() / "program.exe";
  std::string program(12 << 20, '\0');
  for (size_t i = 0; i < program.size(); ++i) program[i] = static_cast<char>(i * 31 >> 5);
  // An old block and something after it that a strip has to cut.
  program += "payload" + std::string("\x07\0\0\0OEM", 7);
  Vadu::Testing::WriteFileBytes(file, program);
  Vadu::SettingsMap map;
  map.Set("a.txt", "A");
  bool written, stripped;
  {
    FileSizeLimit limit(5 << 20);
    written = static_cast<bool>(WriteBlockIntoFile(Vadu::Testing::Wide(file), map));
    stripped = StripBlockFromFile(Vadu::Testing::Wide(file));
  }
  EXPECT_FALSE(written);
  EXPECT_FALSE(stripped);
  EXPECT_EQ(Vadu::Testing::ReadFileBytes(file), program);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), {}), 1);
}

}  // namespace
}  // namespace Zentu
