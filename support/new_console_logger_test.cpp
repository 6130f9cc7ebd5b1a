#include "support/new_console_logger.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_util.h"

namespace Vadu {
namespace {

TEST(NewConsoleLogger, FramesCarryLevelPaddedLengthAndBytes) {
  auto frames = EncodeConsoleFrames(1, "abc");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], "100003abc");
  EXPECT_TRUE(EncodeConsoleFrames(3, "").empty());
  String binary("a\0b", 3);
  EXPECT_EQ(EncodeConsoleFrames(4, binary)[0], String("400003a\0b", 9));
}

TEST(NewConsoleLogger, LongTextIsCutSoTheLengthKeepsFiveDigits) {
  std::string text(kMaxConsoleFrameText * 2 + 5, 'x');
  text[kMaxConsoleFrameText] = 'y';
  auto frames = EncodeConsoleFrames(2, String(text.data(), static_cast<uint32_t>(text.size())));
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].Substring(0, 6), "299999");
  EXPECT_EQ(frames[0].Length(), 6 + kMaxConsoleFrameText);
  EXPECT_EQ(frames[1].Substring(0, 7), "299999y");
  EXPECT_EQ(frames[2], "200005xxxxx");
}

TEST(NewConsoleLogger, ProgramThatCannotStartGivesNoPipe) {
  Testing::TempFolder folder;
  PipeConsole console(Testing::Wide(folder / "missing"), u"Title");
  EXPECT_FALSE(console.IsConnected());
  console.Send("ignored");
  auto logger = MakeSmart<NewConsoleLogger>(u"Title", Testing::Wide(folder / "missing"));
  EXPECT_FALSE(logger->IsConnected());
  logger->Write(LogInfo, "dropped");
  EXPECT_FALSE(logger->IsConnected());
}

}  // namespace
}  // namespace Vadu
