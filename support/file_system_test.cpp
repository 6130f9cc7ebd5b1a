#include "support/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/file_lock.h"
#include "support/test_util.h"

namespace Vadu {
namespace {

namespace fs = std::filesystem;
using Testing::Bytes;
using Testing::ReadFileBytes;
using Testing::Std;
using Testing::TempFolder;
using Testing::Wide;
using Testing::WriteFileBytes;

fs::path U8(const std::string& utf8) { return fs::u8path(utf8); }

std::string Narrow(const WString& text) {
  String utf8 = ToUtf8(text);
  return std::string(utf8.CStr(), utf8.Length());
}

// Every byte value, twice, so that zeros and high bytes are in the middle of the data.
std::string AllByteValues() {
  std::string bytes;
  for (int round = 0; round < 2; ++round)
    for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  return bytes;
}

// The names in a listing, sorted.
std::vector<std::string> Names(const std::vector<FileEntry>& entries) {
  std::vector<std::string> names;
  for (const FileEntry& entry : entries) names.push_back(Narrow(entry.Name()));
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> NamesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    auto u8 = entry.path().filename().u8string();
    names.emplace_back(u8.begin(), u8.end());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Runs the test body in another current directory and restores the old one.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const fs::path& path) : saved_(fs::current_path()) {
    fs::current_path(path);
  }
  ~CurrentDirectory() { fs::current_path(saved_); }

 private:
  fs::path saved_;
};

TEST(PathExistsTest, FilesAndDirectoriesAreToldApart) {
  TempFolder folder;
  WriteFileBytes(U8(folder / "file.txt"), "x");
  fs::create_directory(U8(folder / "sub"));
  EXPECT_TRUE(FileExists(Wide(folder / "file.txt")));
  EXPECT_FALSE(DirectoryExists(Wide(folder / "file.txt")));
  EXPECT_TRUE(DirectoryExists(Wide(folder / "sub")));
  EXPECT_FALSE(FileExists(Wide(folder / "sub")));
  EXPECT_FALSE(FileExists(Wide(folder / "missing")));
  EXPECT_FALSE(FileExists(u""));
  // The path is normalised first.
  EXPECT_TRUE(FileExists(Wide(folder / "sub//./../sub/../file.txt")));
  EXPECT_TRUE(DirectoryExists(Wide(folder / "sub/")));
}

TEST(WholeFileTest, WriteCreatesTheDirectoryChainAppendsAndTruncates) {
  TempFolder folder;
  WString path = Wide(folder / "a/b/c/data.bin");
  std::string content = AllByteValues();
  ASSERT_TRUE(WriteWholeFile(Bytes(content), path, false));
  EXPECT_EQ(ReadFileBytes(U8(folder / "a/b/c/data.bin")), content);
  EXPECT_EQ(Std(ReadWholeFile(path)), content);
  ASSERT_TRUE(WriteWholeFile(Bytes("tail"), path, true));
  EXPECT_EQ(ReadFileBytes(U8(folder / "a/b/c/data.bin")), content + "tail");
  // Zero bytes empty a file, or create one.
  ASSERT_TRUE(WriteWholeFile(String(), path, false));
  EXPECT_EQ(fs::file_size(U8(folder / "a/b/c/data.bin")), 0u);
  ASSERT_TRUE(WriteWholeFile(String(), Wide(folder / "empty"), true));
  EXPECT_TRUE(fs::exists(U8(folder / "empty")));
}

TEST(WholeFileTest, FailuresWriteAndReadNothing) {
  TempFolder folder;
  fs::create_directory(U8(folder / "dir"));
  WriteFileBytes(U8(folder / "file"), "keep");
  WriteFileBytes(U8(folder / "empty"), "");
  EXPECT_FALSE(WriteWholeFile(Bytes("x"), u"", false));
  EXPECT_FALSE(WriteWholeFile(Bytes("x"), Wide(folder / "dir"), false));
  // A file stands where a directory of the path should be.
  EXPECT_FALSE(WriteWholeFile(Bytes("x"), Wide(folder / "file/inner.txt"), false));
  EXPECT_EQ(ReadFileBytes(U8(folder / "file")), "keep");
  for (const char* name : {"missing", "empty", "dir"})
    EXPECT_TRUE(ReadWholeFile(Wide(folder / name)).IsEmpty()) << name;
  EXPECT_TRUE(ReadWholeFile(u"").IsEmpty());
}

TEST(WholeFileTest, LargeFilesCrossTheTransferPieces) {
  TempFolder folder;
  // A little over 17 MiB of varying bytes: more than one piece of the transfer loop.
  std::string content((17u << 20) + 12345, '\0');
  uint32_t state = 12345;
  for (char& c : content) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  WString path = Wide(folder / "large.bin");
  ASSERT_TRUE(WriteWholeFile(Bytes(content), path, false));
  ASSERT_EQ(fs::file_size(U8(folder / "large.bin")), content.size());
  String back = ReadWholeFile(path);
  ASSERT_EQ(back.Length(), content.size());
  EXPECT_TRUE(std::equal(content.begin(), content.end(), back.CStr()));
}

TEST(WholeFileTest, FilesTooLongForAStringGiveNothing) {
  TempFolder folder;
  fs::path path = U8(folder / "huge.bin");
  WriteFileBytes(path, "x");
  // Sparse files: no disk space is used and nothing of them may be read into memory.
  for (uintmax_t size : {uintmax_t{0xFFFFFFFFu}, uintmax_t{1} << 32}) {
    fs::resize_file(path, size);
    EXPECT_TRUE(ReadWholeFile(Wide(folder / "huge.bin")).IsEmpty()) << size;
  }
}

TEST(ReplaceFileContentTest, ReplacesOrCreatesAndLeavesNothingBehind) {
  TempFolder folder;
  WriteFileBytes(U8(folder / "target.exe"), "old content that is longer");
  ASSERT_TRUE(ReplaceFileContent(Bytes(AllByteValues()), Wide(folder / "target.exe")));
  EXPECT_EQ(ReadFileBytes(U8(folder / "target.exe")), AllByteValues());
  // A relative name stays in the current directory.
  {
    CurrentDirectory here(folder.Path());
    ASSERT_TRUE(ReplaceFileContent(String(), u"relative.txt"));
  }
  EXPECT_EQ(NamesIn(folder.Path()), (std::vector<std::string>{"relative.txt", "target.exe"}));
}

TEST(ReplaceFileContentTest, FailureLeavesTheOriginalIntact) {
  TempFolder folder;
  fs::create_directory(U8(folder / "dir"));
  WriteFileBytes(U8(folder / "dir/inside.txt"), "inside");
  for (const WString& path :
       {Wide(folder / "dir"), Wide(folder / "missing/file"), Wide(folder / "dir/"), WString()})
    EXPECT_FALSE(ReplaceFileContent(Bytes("x"), path)) << Narrow(path);
  EXPECT_EQ(NamesIn(folder.Path()), std::vector<std::string>{"dir"});
  EXPECT_EQ(NamesIn(U8(folder / "dir")), std::vector<std::string>{"inside.txt"});
  EXPECT_EQ(ReadFileBytes(U8(folder / "dir/inside.txt")), "inside");
}

TEST(ReplaceFileContentTest, AFileTakesTheTargetsPlaceInOneStep) {
  TempFolder folder;
  WriteFileBytes(U8(folder / "target.tgz"), "old");
  WriteFileBytes(U8(folder / "new.tgz"), AllByteValues());
  ASSERT_TRUE(ReplaceFileWith(Wide(folder / "new.tgz"), Wide(folder / "target.tgz")));
  EXPECT_EQ(ReadFileBytes(U8(folder / "target.tgz")), AllByteValues());
  EXPECT_EQ(NamesIn(folder.Path()), std::vector<std::string>{"target.tgz"});
  // A source that is not there, or a folder in the target's place: nothing changes.
  EXPECT_FALSE(ReplaceFileWith(Wide(folder / "missing"), Wide(folder / "target.tgz")));
  fs::create_directory(U8(folder / "dir"));
  WriteFileBytes(U8(folder / "new.tgz"), "new");
  EXPECT_FALSE(ReplaceFileWith(Wide(folder / "new.tgz"), Wide(folder / "dir")));
  EXPECT_EQ(ReadFileBytes(U8(folder / "target.tgz")), AllByteValues());
  EXPECT_EQ(NamesIn(folder.Path()), (std::vector<std::string>{"dir", "new.tgz", "target.tgz"}));
}

TEST(ReplaceFileContentTest, OnlyDeadTemporariesLeftAloneForAMinuteAreRemoved) {
  TempFolder folder;
  const auto put = [&](const std::string& name, bool old) {
    WriteFileBytes(U8(folder / name), "partial");
    if (old)
      fs::last_write_time(U8(folder / name),
                          fs::file_time_type::clock::now() - std::chrono::hours(2));
  };
  put(".~4242-7.tmp", true);   // a leftover
  put(".~4243-0.tmp", false);  // just made: may not be marked yet
  put(".~x-1.tmp", true);      // not our name
  put(".~4244-1.tmpx", true);
  put("target.exe", true);
  ASSERT_TRUE(HoldMarkerFile(Wide(folder / ".~4245-2.tmp")));  // being written by a live process
  std::error_code error;  // Windows refuses while the file is held: it stays recent there
  fs::last_write_time(U8(folder / ".~4245-2.tmp"),
                      fs::file_time_type::clock::now() - std::chrono::hours(2), error);
  fs::create_directory(U8(folder / ".~4246-3.tmp"));

  EXPECT_EQ(RemoveStaleTemporaries(Wide(folder.Path())), 1u);
  EXPECT_EQ(NamesIn(folder.Path()),
            (std::vector<std::string>{".~4243-0.tmp", ".~4244-1.tmpx", ".~4245-2.tmp",
                                      ".~4246-3.tmp", ".~x-1.tmp", "target.exe"}));
  EXPECT_TRUE(IsReplacementTemporaryName(u".~1-0.tmp"));
  for (const char16_t* name : {u".~-0.tmp", u".~1-.tmp", u".~10.tmp", u"~1-0.tmp", u".~1-0.tm"})
    EXPECT_FALSE(IsReplacementTemporaryName(name)) << Narrow(name);
}

// Bytes that differ at every position, so that a piece copied from the wrong place shows.
std::string Counting(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919) >> 8 ^ i);
  return bytes;
}

TEST(FileReplacementTest, RangesLargerThanTheBufferFieldsAndAppendsMakeTheNewContent) {
  TempFolder folder;
  const fs::path source = folder / "source.bin", target = folder / "target.bin";
  const std::string bytes = Counting((3u << 20) + 123);
  WriteFileBytes(source, bytes);
  WriteFileBytes(target, "original");
  const FileReader reader(Wide(source));
  ASSERT_TRUE(reader.IsOpen());
  ASSERT_EQ(reader.Size(), bytes.size());
  FileReplacement out(Wide(target));
  ASSERT_TRUE(out.IsOpen());
  const size_t head = (3u << 19) + 7, skip = (2u << 20) + 1;
  ASSERT_TRUE(out.CopyFrom(reader, 0, head));
  ASSERT_TRUE(out.Write("xyz", 3));
  ASSERT_TRUE(out.CopyFrom(reader, skip, bytes.size() - skip));
  ASSERT_TRUE(out.WriteAt(10, "AB", 2));
  ASSERT_TRUE(out.Write("!", 1));
  EXPECT_EQ(out.Length(), head + 3 + (bytes.size() - skip) + 1);
  // Nothing changes until the commit.
  EXPECT_EQ(ReadFileBytes(target), "original");
  ASSERT_TRUE(out.Commit());
  std::string expected = bytes.substr(0, head) + "xyz" + bytes.substr(skip) + "!";
  expected.replace(10, 2, "AB");
  EXPECT_EQ(ReadFileBytes(target), expected);
  EXPECT_EQ(NamesIn(folder.Path()), (std::vector<std::string>{"source.bin", "target.bin"}));
}

TEST(FileReplacementTest, AFailureOrNoCommitLeavesTheTargetAndNoTemporary) {
  TempFolder folder;
  const fs::path source = folder / "source.bin", target = folder / "target.bin";
  WriteFileBytes(source, Counting(1000));
  WriteFileBytes(target, "original");
  const FileReader reader(Wide(source));
  {
    FileReplacement dropped(Wide(target));
    ASSERT_TRUE(dropped.CopyFrom(reader, 0, 1000));
  }
  {
    // A range past the source's end, then a field past what was written: both refused, and the
    // commit that follows fails.
    FileReplacement pastTheEnd(Wide(target));
    EXPECT_FALSE(pastTheEnd.CopyFrom(reader, 900, 101));
    EXPECT_FALSE(pastTheEnd.Commit());
    FileReplacement fieldTooFar(Wide(target));
    ASSERT_TRUE(fieldTooFar.Write("abc", 3));
    EXPECT_FALSE(fieldTooFar.WriteAt(2, "xy", 2));
    EXPECT_FALSE(fieldTooFar.Commit());
  }
  char byte;
  EXPECT_FALSE(reader.ReadAt(1000, &byte, 1));
  EXPECT_FALSE(FileReader(Wide(folder / "missing")).IsOpen());
  EXPECT_FALSE(FileReader(Wide(folder.Path())).IsOpen());
  EXPECT_FALSE(FileReplacement(Wide(folder.Path())).IsOpen());
  EXPECT_EQ(ReadFileBytes(target), "original");
  EXPECT_EQ(NamesIn(folder.Path()), (std::vector<std::string>{"source.bin", "target.bin"}));
}

TEST(CreateDirectoriesTest, AbsoluteAndRelativePaths) {
  TempFolder folder;
  EXPECT_TRUE(CreateDirectories(Wide(folder / "x/y//z/")));
  EXPECT_TRUE(fs::is_directory(U8(folder / "x/y/z")));
  EXPECT_TRUE(CreateDirectories(Wide(folder / "x/y")));  // already there
  {
    CurrentDirectory here(folder.Path());
    EXPECT_TRUE(CreateDirectories(u"rel/three/../four"));
  }
  EXPECT_TRUE(fs::is_directory(U8(folder / "rel/four")));
  EXPECT_FALSE(fs::exists(U8(folder / "rel/three")));
  WriteFileBytes(U8(folder / "file"), "x");
  EXPECT_FALSE(CreateDirectories(Wide(folder / "file/sub")));
  EXPECT_FALSE(CreateDirectories(Wide(folder / "file")));
  EXPECT_FALSE(CreateDirectories(u""));
}

TEST(RemoveTest, EmptyDirectoriesFilesAndTrees) {
  TempFolder folder;
  fs::create_directories(U8(folder / "empty"));
  fs::create_directories(U8(folder / "tree/a/b/c"));
  WriteFileBytes(U8(folder / "tree/top.txt"), "1");
  WriteFileBytes(U8(folder / "tree/a/b/c/deeper.txt"), "3");
  EXPECT_TRUE(RemoveEmptyDirectory(Wide(folder / "empty/")));
  EXPECT_FALSE(fs::exists(U8(folder / "empty")));
  EXPECT_TRUE(RemoveEmptyDirectory(Wide(folder / "empty")));  // already gone
  EXPECT_FALSE(RemoveEmptyDirectory(Wide(folder / "tree")));
  EXPECT_TRUE(RemoveFile(Wide(folder / "tree/top.txt")));
  EXPECT_FALSE(fs::exists(U8(folder / "tree/top.txt")));
  EXPECT_TRUE(RemoveFile(Wide(folder / "tree/top.txt")));  // no file there
  // Read-only files and folders of the caller's own go with the tree.
  const auto readOnly = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(U8(folder / "tree/a/b/c/deeper.txt"), readOnly, fs::perm_options::remove);
  fs::permissions(U8(folder / "tree/a/b"), readOnly, fs::perm_options::remove);
  EXPECT_TRUE(RemoveDirectoryTree(Wide(folder / "tree/")));
  EXPECT_FALSE(fs::exists(U8(folder / "tree")));
  EXPECT_TRUE(RemoveDirectoryTree(Wide(folder / "tree")));  // none there
  EXPECT_FALSE(RemoveFile(u""));
  EXPECT_FALSE(RemoveDirectoryTree(u""));
}

TEST(CopyFileTest, CopiesAndOverwritesButNeverOntoItself) {
  TempFolder folder;
  WriteFileBytes(U8(folder / "source"), AllByteValues());
  WriteFileBytes(U8(folder / "target"), std::string(5000, 'z'));
  fs::create_directory(U8(folder / "sub"));
  EXPECT_TRUE(CopyFileTo(Wide(folder / "source"), Wide(folder / "target")));
  EXPECT_EQ(ReadFileBytes(U8(folder / "target")), AllByteValues());
  // Onto itself, also when spelt differently: fails and the file keeps its content.
  EXPECT_FALSE(CopyFileTo(Wide(folder / "source"), Wide(folder / "sub/../source")));
  EXPECT_EQ(ReadFileBytes(U8(folder / "source")), AllByteValues());
  EXPECT_FALSE(CopyFileTo(Wide(folder / "missing"), Wide(folder / "other")));
  EXPECT_FALSE(CopyFileTo(Wide(folder / "sub"), Wide(folder / "other")));
  EXPECT_FALSE(fs::exists(U8(folder / "other")));
}

TEST(MoveFileTest, RenamesOrReplaces) {
  TempFolder folder;
  WriteFileBytes(U8(folder / "a"), "content a");
  WriteFileBytes(U8(folder / "b"), "content b, longer");
  fs::create_directory(U8(folder / "sub"));
  EXPECT_TRUE(MoveFileTo(Wide(folder / "a"), Wide(folder / "b")));
  EXPECT_FALSE(fs::exists(U8(folder / "a")));
  EXPECT_EQ(ReadFileBytes(U8(folder / "b")), "content a");
  EXPECT_FALSE(MoveFileTo(Wide(folder / "missing"), Wide(folder / "d")));
  EXPECT_FALSE(MoveFileTo(Wide(folder / "b"), Wide(folder / "sub")));
  EXPECT_EQ(ReadFileBytes(U8(folder / "b")), "content a");
}

TEST(MoveDirectoryTest, MovesTheWholeTreeOrOnlyTheFiles) {
  TempFolder folder;
  fs::create_directories(U8(folder / "src/one/two"));
  fs::create_directories(U8(folder / "src/empty"));
  WriteFileBytes(U8(folder / "src/top.txt"), "top");
  WriteFileBytes(U8(folder / "src/one/two/low.txt"), "low");
  fs::create_directories(U8(folder / "dst/one"));
  WriteFileBytes(U8(folder / "dst/top.txt"), "replaced");
  WriteFileBytes(U8(folder / "dst/kept.txt"), "kept");
  EXPECT_TRUE(MoveDirectoryTo(Wide(folder / "src"), Wide(folder / "dst"), true));
  EXPECT_FALSE(fs::exists(U8(folder / "src")));
  EXPECT_EQ(ReadFileBytes(U8(folder / "dst/top.txt")), "top");
  EXPECT_EQ(ReadFileBytes(U8(folder / "dst/kept.txt")), "kept");
  EXPECT_EQ(ReadFileBytes(U8(folder / "dst/one/two/low.txt")), "low");
  EXPECT_TRUE(fs::is_directory(U8(folder / "dst/empty")));

  // Not recursive: subdirectories, and with them the source, stay.
  EXPECT_TRUE(MoveDirectoryTo(Wide(folder / "dst"), Wide(folder / "new/target"), false));
  EXPECT_EQ(ReadFileBytes(U8(folder / "new/target/top.txt")), "top");
  EXPECT_FALSE(fs::exists(U8(folder / "new/target/one")));
  EXPECT_EQ(ReadFileBytes(U8(folder / "dst/one/two/low.txt")), "low");
  EXPECT_FALSE(fs::exists(U8(folder / "dst/top.txt")));
}

TEST(MoveDirectoryTest, RefusesToMoveIntoItself) {
  TempFolder folder;
  fs::create_directories(U8(folder / "A/inner"));
  WriteFileBytes(U8(folder / "A/file.txt"), "x");
  auto unchanged = [&] {
    return NamesIn(U8(folder / "A")) == std::vector<std::string>{"file.txt", "inner"} &&
           NamesIn(folder.Path()) == std::vector<std::string>{"A"};
  };
  const std::pair<WString, WString> refused[] = {
      {Wide(folder / "A"), Wide(folder / "A/sub")},
      {Wide(folder / "A"), Wide(folder / "A/inner/../")},
      {Wide(folder / "A"), u""},
      {Wide(folder / "missing"), Wide(folder / "B")},
      {Wide(folder / "A/file.txt"), Wide(folder / "B")},
  };
  for (const auto& [source, target] : refused)
    EXPECT_FALSE(MoveDirectoryTo(source, target, true)) << Narrow(source) << " " << Narrow(target);
  {
    // A relative source and an absolute target inside it are the same place.
    CurrentDirectory here(folder.Path());
    EXPECT_FALSE(MoveDirectoryTo(u"A", Wide(folder / "A/sub"), true));
    EXPECT_FALSE(MoveDirectoryTo(Wide(folder / "A"), u"A/inner/sub", true));
  }
  EXPECT_TRUE(unchanged());

  // Letter case: the same folder on Windows, a different one on POSIX.
  bool moved = MoveDirectoryTo(Wide(folder / "A"), Wide(folder / "a/sub"), true);
  if (NativePathStyle() == PathStyle::Windows) {
    EXPECT_FALSE(moved);
    EXPECT_TRUE(unchanged());
  } else {
    EXPECT_TRUE(moved);
    EXPECT_EQ(ReadFileBytes(U8(folder / "a/sub/file.txt")), "x");
    EXPECT_FALSE(fs::exists(U8(folder / "A")));
  }
}

TEST(ListDirectoryTest, PatternsKindsSizesAndTimes) {
  TempFolder folder;
  WriteFileBytes(U8(folder / "a.txt"), "12345");
  WriteFileBytes(U8(folder / "b.txt"), "");
  WriteFileBytes(U8(folder / "c.log"), "123");
  fs::create_directory(U8(folder / "sub"));
  WriteFileBytes(U8(folder / "sub/deep.txt"), "not listed");

  std::vector<FileEntry> all = ListDirectory(Wide(folder.Path()), u"");
  EXPECT_EQ(Names(all), (std::vector<std::string>{"a.txt", "b.txt", "c.log", "sub"}));
  EXPECT_EQ(Names(ListDirectory(Wide(folder.Path()), u"*.txt")),
            (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(Names(ListDirectory(Wide(folder.Path()), u"?.log")), std::vector<std::string>{"c.log"});
  // The directory may end in a separator of its own.
  EXPECT_EQ(Names(ListDirectory(Wide(folder / "sub/"), u"")), std::vector<std::string>{"deep.txt"});
  DateTime now = DateTime::NowLocal();
  for (const FileEntry& entry : all) {
    std::string name = Narrow(entry.Name());
    EXPECT_EQ(entry.IsDirectory(), name == "sub") << name;
    EXPECT_FALSE(entry.IsLink()) << name;
    if (!entry.IsDirectory()) {
      EXPECT_EQ(entry.Size(), fs::file_size(U8(folder / name))) << name;
    }
    // Written moments ago, in local time.
    int64_t age = now.Value() - entry.LastWriteTime().Value();
    EXPECT_GT(age, -5000) << name;
    EXPECT_LT(age, 60000) << name;
  }
  EXPECT_TRUE(ListDirectory(Wide(folder / "missing"), u"").empty());
  EXPECT_TRUE(ListDirectory(Wide(folder / "a.txt"), u"").empty());

  // An empty directory argument lists the current one.
  CurrentDirectory here(U8(folder / "sub"));
  EXPECT_EQ(Names(ListDirectory(u"", u"*.txt")), std::vector<std::string>{"deep.txt"});
}

TEST(UnicodeNamesTest, FilesAndFoldersWithNonAsciiNames) {
  TempFolder folder;
  const std::string name = "Zentu \xC3\xBC \xE4\xB8\xAD.txt";  // "Zentu ü 中.txt"
  const std::string dir =
      "Ordner \xC3\x84\xC3\x96 \xF0\x9F\x93\x81";  // with a character beyond U+FFFF
  WString path = Wide(folder / (dir + "/" + name));
  ASSERT_TRUE(WriteWholeFile(Bytes("unicode"), path, false));
  // Seen by an independent implementation under exactly that name.
  EXPECT_EQ(ReadFileBytes(U8(folder / (dir + "/" + name))), "unicode");
  EXPECT_EQ(Std(ReadWholeFile(path)), "unicode");
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(Names(ListDirectory(Wide(folder / dir), u"")), std::vector<std::string>{name});
  EXPECT_EQ(Names(ListDirectory(Wide(folder / dir), Wide(std::string("*\xE4\xB8\xAD.txt")))),
            std::vector<std::string>{name});

  ASSERT_TRUE(ReplaceFileContent(Bytes("replaced"), path));
  EXPECT_EQ(ReadFileBytes(U8(folder / (dir + "/" + name))), "replaced");
  ASSERT_TRUE(MoveDirectoryTo(Wide(folder / dir), Wide(folder / ("\xE4\xB8\xAD/" + dir)), true));
  EXPECT_EQ(ReadFileBytes(U8(folder / ("\xE4\xB8\xAD/" + dir + "/" + name))), "replaced");
  ASSERT_TRUE(CopyFileTo(Wide(folder / ("\xE4\xB8\xAD/" + dir + "/" + name)),
                         Wide(folder / ("\xC3\xBC-" + name))));
  EXPECT_EQ(ReadFileBytes(U8(folder / ("\xC3\xBC-" + name))), "replaced");
  EXPECT_TRUE(RemoveDirectoryTree(Wide(folder / "\xE4\xB8\xAD")));
  EXPECT_TRUE(RemoveFile(Wide(folder / ("\xC3\xBC-" + name))));
  EXPECT_TRUE(NamesIn(folder.Path()).empty());
}

TEST(LocationsTest, ModuleCurrentAndTemporaryDirectories) {
  WString module = GetModulePath();
  ASSERT_FALSE(module.IsEmpty());
  EXPECT_TRUE(FileExists(module));
  EXPECT_TRUE(IsAbsolutePath(module));
  EXPECT_EQ(Narrow(GetFileName(module)).rfind("support_tests", 0), 0u) << Narrow(module);
  WString directory = GetModuleDirectory();
  EXPECT_TRUE(DirectoryExists(directory));
  EXPECT_EQ(directory + WString(PathSeparator()) + GetFileName(module), module);

  TempFolder folder;
  fs::create_directory(U8(folder / "cur"));
  {
    CurrentDirectory here(U8(folder / "cur"));
    WString current = GetCurrentDir();
    EXPECT_FALSE(current.EndsWith(WString(PathSeparator())));
    EXPECT_EQ(current, NormalizePath(Wide(fs::current_path())));
    EXPECT_TRUE(GetFileName(current) == u"cur");
  }

  WString temp = GetTempDir();
  EXPECT_FALSE(temp.IsEmpty());
  EXPECT_TRUE(DirectoryExists(temp)) << Narrow(temp);
}

}  // namespace
}  // namespace Vadu
