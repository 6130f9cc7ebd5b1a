#include "support/console_output.h"

#include <gtest/gtest.h>

#include <climits>

namespace Vadu {
namespace {

TEST(ConsolePlacement, RectangleMustBeLargeEnoughAndOnTheScreen) {
  const WindowRect screen{0, 0, 1920, 1080};
  EXPECT_TRUE(IsPlacementAcceptable({100, 100, 900, 700}, screen));
  // The corner may stick out by up to 15 pixels before the screen's edges.
  EXPECT_TRUE(IsPlacementAcceptable({-15, -15, 500, 500}, screen));
  EXPECT_FALSE(IsPlacementAcceptable({-16, 0, 500, 500}, screen));
  // It must start at least 100 pixels inside the right and bottom edges.
  EXPECT_TRUE(IsPlacementAcceptable({1820, 980, 2400, 1500}, screen));
  EXPECT_FALSE(IsPlacementAcceptable({1821, 0, 2400, 500}, screen));
  // More than 100 pixels wide and high.
  EXPECT_TRUE(IsPlacementAcceptable({10, 10, 111, 111}, screen));
  EXPECT_FALSE(IsPlacementAcceptable({10, 10, 500, 110}, screen));
  EXPECT_FALSE(IsPlacementAcceptable({500, 500, 100, 100}, screen));
  // A second monitor on the left: the virtual screen starts at negative coordinates.
  const WindowRect both{-1280, 0, 1920, 1080};
  EXPECT_TRUE(IsPlacementAcceptable({-1200, 50, -400, 650}, both));
  EXPECT_FALSE(IsPlacementAcceptable({-1200, 50, -400, 650}, screen));
  // Values read from a damaged file do not overflow into acceptance.
  EXPECT_FALSE(IsPlacementAcceptable({INT32_MAX - 10, 0, INT32_MIN, 500}, screen));
  EXPECT_FALSE(IsPlacementAcceptable({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, screen));
}

TEST(ConsolePlacement, FileHoldsFourLittleEndianValues) {
  WindowRect rect{-2, 258, 0x01020304, -65536};
  String bytes = EncodePlacement(rect);
  ASSERT_EQ(bytes.Length(), kPlacementFileSize);
  EXPECT_EQ(ToHex(bytes), "FEFFFFFF02010000040302010000FFFF");
  WindowRect read;
  ASSERT_TRUE(DecodePlacement(bytes + "extra", &read));
  EXPECT_EQ(read, rect);
  WindowRect untouched{1, 2, 3, 4};
  EXPECT_FALSE(DecodePlacement(bytes.Substring(0, 15), &untouched));
  EXPECT_EQ(untouched, (WindowRect{1, 2, 3, 4}));
}

TEST(ConsolePlacement, FileNameIsTheTitleInHex) {
  EXPECT_EQ(ToUtf8(PlacementFileName(u"Log")), "4C6F67.logconsole");
  EXPECT_EQ(ToUtf8(PlacementFileName(u"\u00e9 x")), "C3A92078.logconsole");
  EXPECT_TRUE(PlacementFileName(WString()).IsEmpty());
}

TEST(ConsoleColours, AttributesBecomeAnsiSequences) {
  EXPECT_EQ(AnsiColourSequence(15), "\x1b[97m");        // bright white
  EXPECT_EQ(AnsiColourSequence(1), "\x1b[34m");         // blue
  EXPECT_EQ(AnsiColourSequence(0x1F), "\x1b[97;44m");   // bright white on blue
  EXPECT_EQ(AnsiColourSequence(0xC0), "\x1b[30;101m");  // black on bright red
}

}  // namespace
}  // namespace Vadu
