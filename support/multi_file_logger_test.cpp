#include "support/multi_file_logger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/date_time.h"
#include "support/test_util.h"

namespace Vadu {
namespace {

using Testing::ReadFileBytes;
using Testing::TempFolder;
using Testing::Wide;

std::vector<std::string> FileNames(const std::filesystem::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    auto name = entry.path().filename().u8string();
    names.emplace_back(name.begin(), name.end());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string UtcStamp() { return DateTime::NowUtc().Format("%Y-%m-%d_%H.%M.%S").CStr(); }

// Waits until the UTC time stamp differs from `stamp`, so that the next file gets a new name.
void WaitForNextSecond(const std::string& stamp) {
  while (UtcStamp() == stamp) SleepMilliseconds(20);
}

std::string StampOf(const std::string& name, const std::string& base, const std::string& ext) {
  return name.substr(base.size() + 1, name.size() - base.size() - 2 - ext.size());
}

TEST(MultiFileLogger, NamesFilesAfterTheUtcTimeTheyWereStarted) {
  TempFolder folder;
  auto logger = MakeSmart<MultiFileLogger>(Wide(folder / "logs/tool.log"));
  std::string before = UtcStamp();
  logger->Write(LogInfo, "text");
  std::string after = UtcStamp();
  auto names = FileNames(folder.Path() / "logs");
  ASSERT_EQ(names.size(), 1u);
  const std::string& name = names[0];
  ASSERT_EQ(name.size(), std::string("tool_2024-05-01_13.07.55.log").size()) << name;
  EXPECT_EQ(name.substr(0, 5), "tool_");
  EXPECT_EQ(name.substr(name.size() - 4), ".log");
  std::string stamp = StampOf(name, "tool", "log");
  EXPECT_TRUE(stamp == before || stamp == after) << stamp;
  EXPECT_EQ(ToUtf8(logger->CurrentPath()), ToUtf8(Wide(folder.Path() / "logs" / name)));
  EXPECT_EQ(ReadFileBytes(folder.Path() / "logs" / name), "[INFO]:\r\ntext");
}

TEST(MultiFileLogger, PieceOfTheFullSizeStaysOneMoreByteStartsANewFile) {
  TempFolder folder;
  auto logger = MakeSmart<MultiFileLogger>(Wide(folder / "tool.log"));
  const std::string full(MultiFileLogger::kMaxFileBytes, 'a');
  ASSERT_EQ(full.size(), 1048575u);
  logger->Write(LogInfo, String(full.data(), static_cast<uint32_t>(full.size())));
  auto names = FileNames(folder.Path());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(ReadFileBytes(folder.Path() / names[0]), "[INFO]:\r\n" + full);

  WaitForNextSecond(StampOf(names[0], "tool", "log"));
  logger->Write(LogInfo, "b");
  logger->Write(LogError, "c");
  auto after = FileNames(folder.Path());
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0], names[0]);
  EXPECT_EQ(ReadFileBytes(folder.Path() / after[0]), "[INFO]:\r\n" + full);
  // The header state carries over: the same level goes on without a header.
  EXPECT_EQ(ReadFileBytes(folder.Path() / after[1]), "b\r\n[ERROR]:\r\nc");
}

TEST(MultiFileLogger, CountsPiecesUpToTheLimitInOneFile) {
  TempFolder folder;
  auto logger = MakeSmart<MultiFileLogger>(Wide(folder / "tool.txt"));
  const std::string most(MultiFileLogger::kMaxFileBytes - 1, 'a');
  logger->Write(LogDebug, String(most.data(), static_cast<uint32_t>(most.size())));
  auto names = FileNames(folder.Path());
  ASSERT_EQ(names.size(), 1u);
  WaitForNextSecond(StampOf(names[0], "tool", "txt"));
  logger->Write(LogDebug, "");
  logger->Write(LogDebug, "b");
  EXPECT_EQ(FileNames(folder.Path()), names);
  logger->Write(LogDebug, "c");
  auto after = FileNames(folder.Path());
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(ReadFileBytes(folder.Path() / after[0]), "[DEBUG]:\r\n" + most + "b");
  EXPECT_EQ(ReadFileBytes(folder.Path() / after[1]), "c");
}

TEST(MultiFileLogger, PatternWithoutExtensionGivesNamesWithoutOne) {
  TempFolder folder;
  std::filesystem::create_directory(folder.Path() / "dir.d");
  auto logger = MakeSmart<MultiFileLogger>(Wide(folder / "dir.d/trace"));
  logger->Write(LogWarning, "w");
  auto names = FileNames(folder.Path() / "dir.d");
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].size(), std::string("trace_2024-05-01_13.07.55").size()) << names[0];
  EXPECT_EQ(names[0].substr(0, 6), "trace_");
}

}  // namespace
}  // namespace Vadu
