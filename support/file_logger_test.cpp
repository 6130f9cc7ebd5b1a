#include "support/file_logger.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_util.h"

namespace Vadu {
namespace {

using Testing::ReadFileBytes;
using Testing::TempFolder;
using Testing::Wide;
using Testing::WriteFileBytes;

TEST(FileLogger, KeepsOneLineEndingStyle) {
  TempFolder folder;
  std::string path = folder / "tool.log";
  auto logger = MakeSmart<FileLogger>(Wide(path));
  // Bare line feeds become "\r\n"; a "\r\n" already there, also one split between two pieces,
  // stays as it is.
  logger->Write(LogInfo, "a\nb\r\nc\r");
  logger->Write(LogInfo, "\nd\n\n");
  logger->Write(LogError, "e\n");
  logger->Flush();
  EXPECT_EQ(ReadFileBytes(path), "[INFO]:\r\na\r\nb\r\nc\r\nd\r\n\r\n\r\n[ERROR]:\r\ne\r\n");
}

TEST(FileLogger, OpensOnFirstWriteCreatingDirectories) {
  TempFolder folder;
  std::string path = folder / "logs/deep/tool.log";
  auto logger = MakeSmart<FileLogger>(Wide(path));
  EXPECT_FALSE(std::filesystem::exists(path));
  logger->Write(LogInfo, "");
  EXPECT_FALSE(std::filesystem::exists(path)) << "an empty text opens nothing";
  logger->Write(LogInfo, "one\r\n");
  logger->Write(LogInfo, "two\r\n");
  logger->Flush();
  EXPECT_TRUE(logger->IsOpen());
  EXPECT_EQ(ReadFileBytes(path), "[INFO]:\r\none\r\ntwo\r\n");
}

TEST(FileLogger, EachChangeOfLevelGetsABlankLineAndAHeader) {
  TempFolder folder;
  std::string path = folder / "levels.log";
  auto logger = MakeSmart<FileLogger>(Wide(path));
  logger->Write(LogInfo, "a");
  logger->Write(LogError, "b");
  logger->Write(LogError, "");
  logger->Write(LogError, "c");
  logger->Write(LogInfo, "d");
  logger->Write(LogDebug, "e");
  logger->Write(LogWarning, "f");
  logger->Write(LogCriticalError, "g");
  // An unknown level has no header but still changes the level.
  logger->Write(7, "x");
  logger->Write(7, "y");
  logger->Write(LogInfo, "i");
  EXPECT_EQ(ReadFileBytes(path),
            "[INFO]:\r\na"
            "\r\n[ERROR]:\r\nbc"
            "\r\n[INFO]:\r\nd"
            "\r\n[DEBUG]:\r\ne"
            "\r\n[WARNING]:\r\nf"
            "\r\n[CRITICAL ERROR]:\r\ng"
            "\r\nxy"
            "\r\n[INFO]:\r\ni");
}

TEST(FileLogger, AppendsToAnExistingFileWithoutALeadingBlankLine) {
  TempFolder folder;
  std::string path = folder / "existing.log";
  WriteFileBytes(path, "earlier run\r\n");
  {
    auto logger = MakeSmart<FileLogger>(Wide(path));
    logger->Write(LogWarning, "w1");
    logger->Write(LogError, "e1");
  }
  // A new logger on the same file starts again with a first header.
  auto logger = MakeSmart<FileLogger>(Wide(path));
  logger->Write(LogError, "e2");
  EXPECT_EQ(ReadFileBytes(path), "earlier run\r\n[WARNING]:\r\nw1\r\n[ERROR]:\r\ne1[ERROR]:\r\ne2");
}

TEST(FileLogger, FileThatCannotBeOpenedDropsTextsUntilItCan) {
  TempFolder folder;
  // A file stands where the log's directory has to be.
  WriteFileBytes(folder.Path() / "blocked", "");
  std::string path = folder / "blocked/tool.log";
  auto logger = MakeSmart<FileLogger>(Wide(path));
  logger->Write(LogInfo, "lost");
  EXPECT_FALSE(logger->IsOpen());
  std::filesystem::remove(folder.Path() / "blocked");
  logger->Write(LogError, "kept");
  EXPECT_TRUE(logger->IsOpen());
  // The dropped piece wrote no header either, so this is the file's first.
  EXPECT_EQ(ReadFileBytes(path), "[ERROR]:\r\nkept");
}

TEST(FileLogger, SwitchingFilesKeepsTheHeaderState) {
  TempFolder folder;
  std::string first = folder / "first.log", second = folder / "sub/second.log";
  auto logger = MakeSmart<FileLogger>(Wide(first));
  logger->Write(LogInfo, "1");
  logger->SwitchTo(Wide(second));
  EXPECT_TRUE(logger->IsOpen()) << "the new file is opened at once";
  logger->Write(LogInfo, "2");
  logger->Write(LogError, "3");
  EXPECT_EQ(ReadFileBytes(first), "[INFO]:\r\n1");
  EXPECT_EQ(ReadFileBytes(second), "2\r\n[ERROR]:\r\n3");
}

TEST(Logger, AnswersTheBaseAndLoggerQueriesWithItsLoggerPart) {
  auto file = MakeSmart<FileLogger>(WString());
  SmartPtr<ILogger> logger(file);
  ASSERT_FALSE(logger.IsEmpty());
  EXPECT_EQ(logger.Get(), static_cast<ILogger*>(file.Get()));
  SmartPtr<IBase> base(logger);
  EXPECT_EQ(base.Get(), static_cast<IBase*>(static_cast<ILogger*>(file.Get())));
  EXPECT_EQ(file->QueryInterface(0x1234), nullptr);
  EXPECT_EQ(file->RefCount(), 1);
  EXPECT_EQ(file.Block()->GetStrongCount(), 3);
}

}  // namespace
}  // namespace Vadu
