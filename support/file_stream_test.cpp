#include "support/file_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/file_system.h"
#include "support/test_util.h"

namespace Vadu {
namespace {

namespace fs = std::filesystem;
using Testing::ReadFileBytes;
using Testing::TempFolder;
using Testing::Wide;
using Testing::WriteFileBytes;

uint32_t WriteText(FileStream& stream, const std::string& text) {
  return stream.Write(text.data(), static_cast<uint32_t>(text.size()));
}

TEST(FileStreamTest, CreatingMakesTheDirectoriesAndAnEmptyFile) {
  TempFolder folder;
  std::string file = folder / "logs/sub/app.log";
  FileStream stream;
  EXPECT_FALSE(stream.IsOpen());
  ASSERT_TRUE(stream.Open(Wide(file), true));
  EXPECT_TRUE(stream.IsOpen());
  EXPECT_EQ(stream.Size(), 0);
  EXPECT_EQ(WriteText(stream, "hello"), 5u);
  EXPECT_TRUE(stream.Flush());
  stream.Close();
  EXPECT_FALSE(stream.IsOpen());
  EXPECT_EQ(ReadFileBytes(fs::u8path(file)), "hello");

  // Creating again replaces the content.
  ASSERT_TRUE(stream.Open(Wide(file), true));
  EXPECT_EQ(stream.Size(), 0);
  stream.Close();
  EXPECT_EQ(ReadFileBytes(fs::u8path(file)), "");
}

TEST(FileStreamTest, OpeningAnExistingFileStartsAtItsBeginning) {
  TempFolder folder;
  std::string file = folder / "data.txt";
  WriteFileBytes(fs::u8path(file), "hello");
  FileStream stream;
  ASSERT_TRUE(stream.Open(Wide(file), false));
  EXPECT_EQ(stream.Size(), 5);
  ASSERT_TRUE(stream.Seek(0, 2));
  EXPECT_EQ(WriteText(stream, " world"), 6u);
  ASSERT_TRUE(stream.Seek(-5, 2));
  EXPECT_EQ(WriteText(stream, "W"), 1u);
  ASSERT_TRUE(stream.Seek(1, 0));
  ASSERT_TRUE(stream.Seek(2, 1));
  EXPECT_EQ(WriteText(stream, "L"), 1u);
  ASSERT_TRUE(stream.Seek(0, 7));  // an unknown origin counts from the start
  EXPECT_EQ(WriteText(stream, "j"), 1u);
  EXPECT_FALSE(stream.Seek(-1, 0));
  // The size is the one measured at opening.
  EXPECT_EQ(stream.Size(), 5);
  stream.Close();
  EXPECT_EQ(stream.Size(), 0);
  EXPECT_EQ(ReadFileBytes(fs::u8path(file)), "jelLo World");
}

TEST(FileStreamTest, ClosedStreamsAndEmptyWritesDoNothing) {
  TempFolder folder;
  FileStream stream;
  EXPECT_EQ(WriteText(stream, "x"), 0u);
  EXPECT_FALSE(stream.Seek(0, 0));
  EXPECT_FALSE(stream.Flush());

  fs::create_directory(fs::u8path(folder / "dir"));
  EXPECT_FALSE(stream.Open(u"", true));
  EXPECT_FALSE(stream.Open(Wide(folder / "dir"), false));

  ASSERT_TRUE(stream.Open(Wide(folder / "file.txt"), true));
  EXPECT_EQ(stream.Write(nullptr, 3), 0u);
  EXPECT_EQ(stream.Write("abc", 0), 0u);
  // A failed open closes the file that was open before.
  EXPECT_FALSE(stream.Open(Wide(folder / "missing.txt"), false));
  EXPECT_FALSE(stream.IsOpen());
  EXPECT_EQ(ReadFileBytes(fs::u8path(folder / "file.txt")), "");
}

TEST(FileStreamTest, ConstructionOpensAndDestructionCloses) {
  TempFolder folder;
  WString first = Wide(folder / "first.log");
  WString second = Wide(folder / "second.log");
  {
    FileStream stream(first, true);
    ASSERT_TRUE(stream.IsOpen());
    EXPECT_EQ(WriteText(stream, "one"), 3u);
    // Others may read and write the file while it is open.
    EXPECT_EQ(ReadWholeFile(first), "one");
    EXPECT_TRUE(WriteWholeFile("ONE", first, false));
    // Opening another file lets go of the first (Windows refuses to delete open files).
    ASSERT_TRUE(stream.Open(second, true));
    EXPECT_TRUE(RemoveFile(first));
    EXPECT_EQ(WriteText(stream, "two"), 3u);
  }
  EXPECT_TRUE(RemoveFile(second));
  EXPECT_FALSE(FileStream(u"", true).IsOpen());
}

}  // namespace
}  // namespace Vadu
