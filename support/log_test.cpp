#include "support/log.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "support/test_util.h"

namespace Vadu {
namespace {

using Testing::ReadFileBytes;
using Testing::TempFolder;
using Testing::Wide;

// Every test uses tags of its own: the registry lives as long as the process.
String Tag(const char* name) { return String("\"support\\\\log_test.cpp\":") + name; }

class LogRegistry : public ::testing::Test {
 protected:
  void TearDown() override { ResetLevels(true); }
  LogManager& manager_ = LogManager::Instance();
  TempFolder folder_;
};

TEST_F(LogRegistry, RecordsGoToTheLoggerOfTheirSource) {
  std::string a = folder_ / "a.log", b = folder_ / "b.log";
  SetLogger(Tag("route-a"), FileLoggerKind, Wide(a));
  SetLogger(Tag("route-b"), FileLoggerKind, Wide(b));
  LogRecord(LogSource(LogInfo, Tag("route-a")), "to a\r\n");
  LogRecord(LogSource(LogError, Tag("route-b")), "to b ") << 1 << "\r\n";
  LogRecord(LogSource(LogError, Tag("route-a")), String("also a\r\n"));
  EXPECT_EQ(ReadFileBytes(a), "[INFO]:\r\nto a\r\n\r\n[ERROR]:\r\nalso a\r\n");
  EXPECT_EQ(ReadFileBytes(b), "[ERROR]:\r\nto b 1\r\n");
}

TEST_F(LogRegistry, PiecesOfEveryKindAreAppendedInOrder) {
  std::string path = folder_ / "pieces.log";
  SetLogger(Tag("pieces"), FileLoggerKind, Wide(path));
  {
    LogRecord record(LogSource(LogWarning, Tag("pieces")), "c-string ");
    record << String("narrow ") << WString(u"wide \u00e9\u20ac\U0001D11E ") << 'c' << u'\u00fc'
           << ' ' << -42 << ' ' << 7u << ' ' << std::numeric_limits<int64_t>::min() << ' '
           << std::numeric_limits<uint64_t>::max() << ' ' << static_cast<uint8_t>(200) << "\n";
    record.End();
    record << "dropped: an ended record takes no more pieces";
  }
  EXPECT_EQ(ReadFileBytes(path),
            "[WARNING]:\r\nc-string narrow wide \xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E c\xC3\xBC -42 "
            "7 -9223372036854775808 18446744073709551615 200\r\n");
}

TEST_F(LogRegistry, SettingTheSameKindKeepsTheLoggerAndItsFile) {
  std::string first = folder_ / "first.log", second = folder_ / "second.log";
  String tag = Tag("same-kind");
  SetLogger(tag, FileLoggerKind, Wide(first));
  LogRecord(LogSource(LogInfo, tag), "1");
  SmartPtr<ILogger> before = manager_.GetLogger(tag);
  SetLogger(tag, FileLoggerKind, Wide(second));
  EXPECT_EQ(manager_.GetLogger(tag).Get(), before.Get());
  LogRecord(LogSource(LogInfo, tag), "2");
  EXPECT_EQ(ReadFileBytes(first), "[INFO]:\r\n12");
  EXPECT_FALSE(std::filesystem::exists(second));

  SetLogger(tag, MultiFileLoggerKind, Wide(folder_ / "multi/tool.log"));
  EXPECT_EQ(manager_.GetKind(tag), MultiFileLoggerKind);
  EXPECT_NE(manager_.GetLogger(tag).Get(), before.Get());
  LogRecord(LogSource(LogInfo, tag), "3");
  EXPECT_EQ(ReadFileBytes(first), "[INFO]:\r\n12");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path() / "multi"),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(LogRegistry, NewSourcesStartOnTheConsoleAndUnknownKindsLogNothing) {
  String tag = Tag("kinds");
  EXPECT_EQ(manager_.GetKind(tag), ConsoleLoggerKind);
  EXPECT_FALSE(manager_.GetLogger(tag).IsEmpty());
  SetLogger(tag, 9, WString(u"ignored"));
  EXPECT_EQ(manager_.GetKind(tag), 9);
  EXPECT_TRUE(manager_.GetLogger(tag).IsEmpty());
  LogRecord(LogSource(LogError, tag), "nowhere");
  std::string path = folder_ / "kinds.log";
  SetLogger(tag, FileLoggerKind, Wide(path));
  LogRecord(LogSource(LogError, tag), "somewhere");
  EXPECT_EQ(ReadFileBytes(path), "[ERROR]:\r\nsomewhere");
}

TEST_F(LogRegistry, SeparateConsolesAreSharedByTitle) {
  // Attaching starts nothing: the console process would start on the first write.
  SetLogger(Tag("console-1"), NewConsoleLoggerKind, WString(u"Shared"));
  SetLogger(Tag("console-2"), NewConsoleLoggerKind, WString(u"Shared"));
  SetLogger(Tag("console-3"), NewConsoleLoggerKind, WString(u"Other"));
  ILogger* first = manager_.GetLogger(Tag("console-1")).Get();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(manager_.GetLogger(Tag("console-2")).Get(), first);
  EXPECT_NE(manager_.GetLogger(Tag("console-3")).Get(), first);
  SetLogger(Tag("console-1"), 9, WString());
  SetLogger(Tag("console-2"), 9, WString());
  SetLogger(Tag("console-3"), 9, WString());
}

TEST_F(LogRegistry, ResetLevelsTurnsEverySourceOffAndOn) {
  std::string path = folder_ / "levels.log", later = folder_ / "later.log";
  SetLogger(Tag("levels"), FileLoggerKind, Wide(path));
  ResetLevels(false);
  LogRecord(LogSource(LogCriticalError, Tag("levels")), "off");
  // A source registered while everything is off starts with nothing enabled too.
  SetLogger(Tag("levels-later"), FileLoggerKind, Wide(later));
  LogRecord(LogSource(LogError, Tag("levels-later")), "off");
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(later));

  ResetLevels(true);
  // Levels outside the five are never routed.
  for (int32_t level = LogDebug - 1; level <= LogCriticalError + 1; ++level)
    LogRecord(LogSource(level, Tag("levels")), "on");
  LogRecord(LogSource(LogError, Tag("levels-later")), "on");
  EXPECT_EQ(ReadFileBytes(path),
            "[DEBUG]:\r\non\r\n[INFO]:\r\non\r\n[WARNING]:\r\non\r\n[ERROR]:\r\non"
            "\r\n[CRITICAL ERROR]:\r\non");
  EXPECT_EQ(ReadFileBytes(later), "[ERROR]:\r\non");
}

TEST_F(LogRegistry, HeaderProducerOpensEveryRecord) {
  std::string path = folder_ / "header.log";
  String tag = Tag("header");
  SetLogger(tag, FileLoggerKind, Wide(path));
  int produced = 0;
  manager_.SetHeaderProducer(
      tag, [&produced] { return String("#") + String::FromNumber(++produced) + " "; });
  LogRecord(LogSource(LogInfo, tag), "a\n");
  LogRecord(LogSource(LogInfo, tag), "b\n");
  manager_.SetHeaderProducer(tag, nullptr);
  LogRecord(LogSource(LogInfo, tag), "c\n");
  // A file keeps one line-ending style: the records' line feeds are written as "\r\n".
  EXPECT_EQ(ReadFileBytes(path), "[INFO]:\r\n#1 a\r\n#2 b\r\nc\r\n");
}

TEST_F(LogRegistry, RecordsOfTwoThreadsAreNeverInterleaved) {
  std::string path = folder_ / "threads.log";
  String tag = Tag("threads");
  SetLogger(tag, FileLoggerKind, Wide(path));
  constexpr int kRecords = 150, kPieces = 4;
  auto writer = [&tag](int thread) {
    for (int n = 0; n < kRecords; ++n) {
      LogRecord record(LogSource(LogInfo, tag), "");
      for (int piece = 0; piece < kPieces; ++piece) {
        record << thread << '.' << n << '.' << piece << (piece + 1 < kPieces ? " " : "\n");
        std::this_thread::yield();
      }
    }
  };
  std::thread first(writer, 1), second(writer, 2);
  first.join();
  second.join();

  std::string text = ReadFileBytes(path);
  const std::string header = "[INFO]:\r\n";
  ASSERT_EQ(text.substr(0, header.size()), header);
  int next[3] = {0, 0, 0};
  size_t at = header.size();
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    std::string line = text.substr(at, end - at);
    at = end + 2;
    int thread = line[0] - '0';
    ASSERT_TRUE(thread == 1 || thread == 2) << line;
    int n = next[thread]++;
    std::string expected;
    for (int piece = 0; piece < kPieces; ++piece) {
      if (piece) expected += ' ';
      expected += std::to_string(thread) + "." + std::to_string(n) + "." + std::to_string(piece);
    }
    ASSERT_EQ(line, expected);
  }
  EXPECT_EQ(next[1], kRecords);
  EXPECT_EQ(next[2], kRecords);
}

TEST(LogFiles, SitBesideTheExecutable) {
  std::string path = ToUtf8(ModuleLogPath(u".main.log")).CStr();
  std::string name = std::filesystem::u8path(path).filename().string();
  EXPECT_EQ(name, "support_tests.main.log");
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::u8path(path).parent_path()));
}

}  // namespace
}  // namespace Vadu
