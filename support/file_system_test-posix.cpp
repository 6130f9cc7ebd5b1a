// POSIX behaviour of the file-system layer: symbolic links, permission bits, write limits, the
// backslash as a name character, and the environment's temporary directory.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/file_system.h"
#include "support/opened_folder.h"
#include "support/test_util-posix.h"
#include "support/test_util.h"

namespace Vadu {
namespace {

namespace fs = std::filesystem;
using Testing::AsUnprivilegedUser;
using Testing::Bytes;
using Testing::FileSizeLimit;
using Testing::ReadFileBytes;
using Testing::TempFolder;
using Testing::Utf8;
using Testing::Wide;
using Testing::WriteFileBytes;

std::vector<std::string> NamesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool IsLinkAt(const fs::path& path) { return fs::is_symlink(fs::symlink_status(path)); }

// What the name itself is (a link is not followed); all zero when nothing is there.
struct stat StatusOf(const fs::path& path) {
  struct stat status = {};
  lstat(path.c_str(), &status);
  return status;
}

// A folder "outside" whose files must survive whatever happens to links pointing at it.
class SymbolicLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(outside_ / "deeper");
    WriteFileBytes(outside_ / "precious.txt", "keep");
    WriteFileBytes(outside_ / "deeper" / "also.txt", "keep too");
    WriteFileBytes(outsideFile_, "keep file");
  }

  void ExpectOutsideIntact() {
    EXPECT_EQ(ReadFileBytes(outside_ / "precious.txt"), "keep");
    EXPECT_EQ(ReadFileBytes(outside_ / "deeper" / "also.txt"), "keep too");
    EXPECT_EQ(ReadFileBytes(outsideFile_), "keep file");
    EXPECT_EQ(NamesIn(outside_), (std::vector<std::string>{"deeper", "precious.txt"}));
  }

  TempFolder folder_;
  fs::path outside_ = folder_.Path() / "outside";
  fs::path outsideFile_ = folder_.Path() / "outside-file.txt";
};

TEST_F(SymbolicLinkTest, RemovalRemovesLinksNotWhatTheyPointAt) {
  fs::path tree = folder_.Path() / "tree";
  fs::create_directories(tree / "sub");
  fs::create_directory_symlink(outside_, tree / "sub" / "dirlink");
  fs::create_symlink(outsideFile_, tree / "filelink");
  fs::create_symlink(folder_.Path() / "nowhere", tree / "dangling");
  EXPECT_TRUE(RemoveDirectoryTree(Wide(tree)));
  EXPECT_FALSE(fs::exists(fs::symlink_status(tree)));
  ExpectOutsideIntact();

  // A link to a directory is removed as a link, also when named with a trailing separator,
  // which would make the system follow it.
  fs::path link = folder_.Path() / "link";
  fs::create_directory_symlink(outside_, link);
  EXPECT_TRUE(RemoveDirectoryTree(Wide(link.string() + "/")));
  EXPECT_FALSE(IsLinkAt(link));
  ExpectOutsideIntact();

  // RemoveEmptyDirectory does not take a link for a directory; RemoveFile removes the link.
  fs::create_directory_symlink(outside_, link);
  EXPECT_FALSE(RemoveEmptyDirectory(Wide(link)));
  EXPECT_TRUE(RemoveFile(Wide(link)));
  EXPECT_FALSE(IsLinkAt(link));
  ExpectOutsideIntact();
}

TEST_F(SymbolicLinkTest, ListingShowsLinksAsLinks) {
  fs::path dir = folder_.Path() / "dir";
  fs::create_directories(dir / "real");
  fs::create_directory_symlink(outside_, dir / "dirlink");
  fs::create_symlink(outsideFile_, dir / "filelink");
  std::vector<FileEntry> entries = ListDirectory(Wide(dir), u"*");
  ASSERT_EQ(entries.size(), 3u);
  for (const FileEntry& entry : entries) {
    std::string name = Utf8(entry.Name());
    EXPECT_EQ(entry.IsLink(), name != "real") << name;
    EXPECT_EQ(entry.IsDirectory(), name == "real") << name;
  }
  EXPECT_TRUE(IsSymbolicLink(Wide(dir / "dirlink")));
  EXPECT_TRUE(IsSymbolicLink(Wide((dir / "dirlink").string() + "/")));
  EXPECT_TRUE(IsSymbolicLink(Wide(dir / "filelink")));
  EXPECT_FALSE(IsSymbolicLink(Wide(dir / "real")));
  EXPECT_FALSE(IsSymbolicLink(Wide(dir / "missing")));
  // Queries follow links.
  EXPECT_TRUE(DirectoryExists(Wide(dir / "dirlink")));
  EXPECT_TRUE(FileExists(Wide(dir / "filelink")));
}

TEST_F(SymbolicLinkTest, MovingATreeMovesLinksAsLinks) {
  fs::path source = folder_.Path() / "src";
  fs::path target = folder_.Path() / "dst";
  fs::create_directories(source / "sub");
  WriteFileBytes(source / "sub" / "own.txt", "own");
  fs::create_directory_symlink(outside_, source / "sub" / "dirlink");
  fs::create_symlink(outsideFile_, source / "filelink");

  EXPECT_TRUE(MoveDirectoryTo(Wide(source), Wide(target), true));
  EXPECT_FALSE(fs::exists(source));
  EXPECT_EQ(ReadFileBytes(target / "sub" / "own.txt"), "own");
  ASSERT_TRUE(IsLinkAt(target / "sub" / "dirlink"));
  EXPECT_EQ(fs::read_symlink(target / "sub" / "dirlink"), outside_);
  ASSERT_TRUE(IsLinkAt(target / "filelink"));
  EXPECT_EQ(fs::read_symlink(target / "filelink"), outsideFile_);
  ExpectOutsideIntact();

  // A link is no directory to move the contents of.
  EXPECT_FALSE(MoveDirectoryTo(Wide(target / "sub" / "dirlink"), Wide(folder_ / "else"), true));
  EXPECT_FALSE(fs::exists(folder_.Path() / "else"));
  ExpectOutsideIntact();

  // A single link moves as a link.
  EXPECT_TRUE(MoveFileTo(Wide(target / "filelink"), Wide(folder_ / "moved")));
  EXPECT_TRUE(IsLinkAt(folder_.Path() / "moved"));
  ExpectOutsideIntact();
}

TEST_F(SymbolicLinkTest, CopyAndReplaceNeverWriteThroughALink) {
  fs::path source = folder_.Path() / "source.txt";
  WriteFileBytes(source, "new");
  fs::path copy_link = folder_.Path() / "copy-link";
  fs::create_symlink(outsideFile_, copy_link);
  EXPECT_TRUE(CopyFileTo(Wide(source), Wide(copy_link)));
  EXPECT_FALSE(IsLinkAt(copy_link));
  EXPECT_EQ(ReadFileBytes(copy_link), "new");

  fs::path replaceLink = folder_.Path() / "replace-link";
  fs::create_symlink(outsideFile_, replaceLink);
  EXPECT_TRUE(ReplaceFileContent(Bytes("replaced"), Wide(replaceLink)));
  EXPECT_FALSE(IsLinkAt(replaceLink));
  EXPECT_EQ(ReadFileBytes(replaceLink), "replaced");

  // Copying onto a link to the source itself would otherwise empty the source.
  fs::path selfLink = folder_.Path() / "self-link";
  fs::create_symlink(source, selfLink);
  EXPECT_TRUE(CopyFileTo(Wide(source), Wide(selfLink)));
  EXPECT_EQ(ReadFileBytes(source), "new");
  ExpectOutsideIntact();
}

TEST(PosixFileTest, PermissionBitsSurviveCopyAndReplace) {
  TempFolder folder;
  fs::path program = folder.Path() / "program";
  WriteFileBytes(program, "#!/bin/sh\n");
  ASSERT_EQ(chmod(program.c_str(), 0751), 0);
  auto mode = [](const fs::path& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0u;
  };
  ASSERT_TRUE(ReplaceFileContent(Bytes("#!/bin/sh\nexit 0\n"), Wide(program)));
  EXPECT_EQ(mode(program), 0751u);
  ASSERT_TRUE(CopyFileTo(Wide(program), Wide(folder / "copy")));
  EXPECT_EQ(mode(folder.Path() / "copy"), 0751u);
  EXPECT_EQ(ReadFileBytes(folder.Path() / "copy"), "#!/bin/sh\nexit 0\n");
}

TEST(PosixFileTest, AReplacementKeepsItsOwnerAndGainsNoPrivileges) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make files of another user";
  TempFolder folder;
  const fs::path theirs = folder.Path() / "theirs";
  // Another user's set-user-ID and set-group-ID program, replaced by root and by a copy from
  // elsewhere: it stays that user's with its bits, so it runs with the privileges it had.
  WriteFileBytes(theirs, "old");
  ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(theirs.c_str(), 06755), 0);
  ASSERT_TRUE(ReplaceFileContent(Bytes("new"), Wide(theirs)));
  struct stat status = StatusOf(theirs);
  EXPECT_EQ(status.st_mode & 07777, 06755u);
  EXPECT_EQ(status.st_uid, 65534u);
  EXPECT_EQ(status.st_gid, 65534u);
  const fs::path staged = folder.Path() / "staged";
  WriteFileBytes(staged, "newer");
  ASSERT_EQ(chmod(theirs.c_str(), 0640), 0);
  ASSERT_TRUE(ReplaceFileWith(Wide(staged), Wide(theirs)));
  status = StatusOf(theirs);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(status.st_uid, 65534u);
  EXPECT_EQ(ReadFileBytes(theirs), "newer");
  // One's own keeps them.
  const fs::path own = folder.Path() / "own";
  WriteFileBytes(own, "old");
  ASSERT_EQ(chmod(own.c_str(), 06750), 0);
  ASSERT_TRUE(ReplaceFileContent(Bytes("new"), Wide(own)));
  EXPECT_EQ(StatusOf(own).st_mode & 07777, 06750u);

  // A link at the name gives way to root's own file: what it points at lends no owner.
  const fs::path link = folder.Path() / "link";
  fs::create_symlink(theirs, link);
  ASSERT_EQ(chmod(theirs.c_str(), 06755), 0);
  ASSERT_TRUE(ReplaceFileContent(Bytes("linked"), Wide(link)));
  status = StatusOf(link);
  EXPECT_EQ(status.st_uid, 0u);
  EXPECT_EQ(status.st_mode & 07777, 0755u) << "no set-ID bits of another user";
  // Nor of root's own program: root's copy in the user's folder would run as root.
  const fs::path rootsLink = folder.Path() / "roots-link";
  ASSERT_EQ(chown(theirs.c_str(), 0, 0), 0);
  ASSERT_EQ(chmod(theirs.c_str(), 04755), 0);
  fs::create_symlink(theirs, rootsLink);
  ASSERT_TRUE(ReplaceFileContent(Bytes("linked"), Wide(rootsLink)));
  EXPECT_EQ(StatusOf(rootsLink).st_mode & 07777, 0755u) << "a set-user-ID copy of root's program";

  // A user who may not give the file its group: it takes the user's, without set-group-ID.
  ASSERT_EQ(chown(folder.Path().c_str(), 65534, 65534), 0);
  const fs::path grouped = folder.Path() / "grouped";
  WriteFileBytes(grouped, "old");
  ASSERT_EQ(chown(grouped.c_str(), 65534, 0), 0);
  ASSERT_EQ(chmod(grouped.c_str(), 02755), 0);
  EXPECT_EQ(
      AsUnprivilegedUser([&] { return ReplaceFileContent(Bytes("new"), Wide(grouped)) ? 0 : 1; }),
      0);
  status = StatusOf(grouped);
  EXPECT_EQ(status.st_gid, 65534u);
  EXPECT_EQ(status.st_mode & 07777, 0755u);
  EXPECT_EQ(ReadFileBytes(grouped), "new");
}

TEST(PosixFileTest, AFileTheCallerMayNotWriteIsNotReplaced) {
  TempFolder folder;
  const fs::path target = folder.Path() / "readonly.exe";
  WriteFileBytes(target, "original");
  if (geteuid() == 0) {
    // The folder is the user's, the file is not writable for the user: only a rename could change
    // it.
    ASSERT_EQ(chown(folder.Path().c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
  }
  ASSERT_EQ(chmod(target.c_str(), 0444), 0);
  EXPECT_EQ(
      AsUnprivilegedUser([&] { return ReplaceFileContent(Bytes("new"), Wide(target)) ? 1 : 0; }),
      0);
  EXPECT_EQ(ReadFileBytes(target), "original");
  EXPECT_EQ(NamesIn(folder.Path()), std::vector<std::string>{"readonly.exe"});

  // A folder that refuses new names: each failure keeps the system's reason, not that of the
  // look-up made after it to tell a refusal from a name clash.
  ASSERT_EQ(chmod(target.c_str(), 0644), 0);
  ASSERT_EQ(chmod(folder.Path().c_str(), 0555), 0);
  EXPECT_EQ(AsUnprivilegedUser([&] {
              if (ReplaceFileContent(Bytes("new"), Wide(target)) || errno != EACCES) return 1;
              const OpenedFolder opened = OpenedFolder::Open(Wide(folder.Path()));
              return opened.MakeNewFolder(u"new.~").IsEmpty() && errno == EACCES ? 0 : 2;
            }),
            0);
  ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
  EXPECT_EQ(ReadFileBytes(target), "original");
}

TEST(PosixFileTest, AnotherUsersFileNamedLikeATemporaryIsNeverRemoved) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make files of another user";
  TempFolder folder;
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(2);
  for (const char* name : {".~123-4.tmp", ".~123-5.tmp"}) {
    WriteFileBytes(folder.Path() / name, "partial");
    fs::last_write_time(folder.Path() / name, old);
  }
  ASSERT_EQ(chown((folder.Path() / ".~123-4.tmp").c_str(), 65534, 65534), 0);
  EXPECT_EQ(RemoveStaleTemporaries(Wide(folder.Path())), 1u);
  EXPECT_TRUE(fs::exists(folder.Path() / ".~123-4.tmp"));
  EXPECT_FALSE(fs::exists(folder.Path() / ".~123-5.tmp"));
}

TEST(PosixFileTest, FailedWritesAreReportedAndKeepTheOriginal) {
  TempFolder folder;
  fs::path target = folder.Path() / "target.bin";
  WriteFileBytes(target, "original");
  std::string big(1 << 20, 'b');
  bool replaced, written, appended;
  {
    FileSizeLimit limit(64 << 10);
    replaced = ReplaceFileContent(Bytes(big), Wide(target));
    written = WriteWholeFile(Bytes(big), Wide(folder / "other.bin"), false);
    appended = WriteWholeFile(Bytes(big), Wide(folder / "other.bin"), true);
  }
  EXPECT_FALSE(replaced);
  EXPECT_FALSE(written);
  EXPECT_FALSE(appended);
  EXPECT_EQ(ReadFileBytes(target), "original");
  EXPECT_EQ(NamesIn(folder.Path()), (std::vector<std::string>{"other.bin", "target.bin"}));
}

TEST(PosixFileTest, ACopyThatFailsHalfWayKeepsTheOriginal) {
  TempFolder folder;
  const fs::path source = folder.Path() / "source.bin", target = folder.Path() / "target.bin";
  WriteFileBytes(source, std::string(8 << 20, 's'));
  WriteFileBytes(target, "original");
  bool copied, committed;
  {
    const FileReader reader(Wide(source));
    FileReplacement out(Wide(target));
    FileSizeLimit limit(3 << 20);
    copied = out.CopyFrom(reader, 0, 8 << 20);
    committed = out.Commit();
  }
  EXPECT_FALSE(copied);
  EXPECT_FALSE(committed);
  EXPECT_EQ(ReadFileBytes(target), "original");
  EXPECT_EQ(NamesIn(folder.Path()), (std::vector<std::string>{"source.bin", "target.bin"}));
}

TEST(PosixFileTest, NamedPipesAreNotWaitedFor) {
  TempFolder folder;
  fs::path pipe = folder.Path() / "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_TRUE(ReadWholeFile(Wide(pipe)).IsEmpty());
  EXPECT_FALSE(CopyFileTo(Wide(pipe), Wide(folder / "copy")));
}

TEST(PosixPathTest, BackslashIsAnOrdinaryNameCharacter) {
  TempFolder folder;
  ASSERT_TRUE(WriteWholeFile(Bytes("x"), Wide(folder / "a\\b.txt"), false));
  EXPECT_EQ(NamesIn(folder.Path()), std::vector<std::string>{"a\\b.txt"});
  ASSERT_TRUE(CreateDirectories(Wide(folder / "x\\y/z")));
  // Wildcards take a backslash literally too.
  EXPECT_TRUE(fs::is_directory(folder.Path() / "x\\y" / "z"));
  std::vector<FileEntry> entries = ListDirectory(Wide(folder.Path()), u"a\\b.*");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(Utf8(entries[0].Name()), "a\\b.txt");
}

TEST(PosixPathTest, TreesWithNamesEndingInSpaces) {
  TempFolder folder;
  fs::path deep = folder.Path() / "tree" / "dir " / "inner " / "leaf";
  fs::create_directories(deep);
  WriteFileBytes(deep / "file ", "spaced");
  WriteFileBytes(folder.Path() / "tree" / "dir " / "top ", "top");

  ASSERT_TRUE(MoveDirectoryTo(Wide(folder / "tree"), Wide(folder / "moved"), true));
  EXPECT_EQ(ReadFileBytes(folder.Path() / "moved" / "dir " / "inner " / "leaf" / "file "),
            "spaced");
  EXPECT_EQ(ReadFileBytes(folder.Path() / "moved" / "dir " / "top "), "top");
  EXPECT_FALSE(fs::exists(folder.Path() / "tree"));

  EXPECT_TRUE(RemoveDirectoryTree(Wide(folder / "moved")));
  EXPECT_FALSE(fs::exists(folder.Path() / "moved"));
}

// Creates a file through the C library, bypassing the layer under test.
void CreateThroughC(const std::string& path, const std::string& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  EXPECT_EQ(fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  EXPECT_EQ(fclose(file), 0);
}

// The bytes of a file, read through the C library; nullopt when it cannot be opened.
std::optional<std::string> ReadThroughC(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return std::nullopt;
  std::string bytes;
  char buffer[256];
  while (size_t got = fread(buffer, 1, sizeof buffer, file)) bytes.append(buffer, got);
  fclose(file);
  return bytes;
}

bool ExistsThroughC(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

// The layer's wide form of raw path bytes.
WString WideBytes(const std::string& bytes) { return FromUtf8(Bytes(bytes)); }

// File names that are not UTF-8: Latin-1 "café.png" and a name starting with a byte that is
// never UTF-8, in a folder whose own name is Latin-1.
TEST(PosixNameTest, NamesThatAreNotUtf8AreListedReadCopiedMovedAndRemoved) {
  TempFolder folder;
  const std::string root = folder.Path().string();
  const std::string dir = root + "/d\xE9j\xE0";
  const std::string latin1 = "caf\xE9.png", stray = "\xFF.txt";
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  CreateThroughC(dir + "/" + latin1, "latin-1 named");
  CreateThroughC(dir + "/" + stray, "stray byte named");

  const WString wideDir = WideBytes(dir);
  std::vector<FileEntry> entries = ListDirectory(wideDir);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(Utf8(entries[0].Name()), latin1);
  EXPECT_EQ(Utf8(entries[1].Name()), stray);
  EXPECT_EQ(ListDirectory(wideDir, WideBytes("*\xE9.png")).size(), 1u);
  EXPECT_EQ(ReadWholeFile(JoinPath(wideDir, entries[0].Name())), "latin-1 named");
  EXPECT_EQ(ReadWholeFile(JoinPath(wideDir, entries[1].Name())), "stray byte named");
  EXPECT_TRUE(PathExists(JoinPath(wideDir, entries[1].Name()), false));

  // Copy and move to other names that are not UTF-8 either.
  const std::string copy = "copie \xE9\xC0\xAE", moved = "\xFE\xFF moved";
  ASSERT_TRUE(CopyFileTo(JoinPath(wideDir, entries[0].Name()), WideBytes(dir + "/" + copy)));
  EXPECT_EQ(ReadThroughC(dir + "/" + copy), "latin-1 named");
  ASSERT_TRUE(MoveFileTo(JoinPath(wideDir, entries[1].Name()), WideBytes(dir + "/" + moved)));
  EXPECT_FALSE(ExistsThroughC(dir + "/" + stray));
  EXPECT_EQ(ReadThroughC(dir + "/" + moved), "stray byte named");
  ASSERT_TRUE(WriteWholeFile(Bytes("written"), WideBytes(dir + "/new \x80.txt"), false));
  EXPECT_EQ(ReadThroughC(dir + "/new \x80.txt"), "written");
  ASSERT_TRUE(RemoveFile(WideBytes(dir + "/" + copy)));
  EXPECT_FALSE(ExistsThroughC(dir + "/" + copy));
  EXPECT_EQ(NamesIn(dir), (std::vector<std::string>{latin1, "new \x80.txt", moved}));

  // The whole folder moves and goes away by its own name.
  const std::string movedDir = root + "/\xE9t\xE9";
  ASSERT_TRUE(MoveDirectoryTo(wideDir, WideBytes(movedDir), true));
  EXPECT_FALSE(ExistsThroughC(dir));
  EXPECT_EQ(ReadThroughC(movedDir + "/" + latin1), "latin-1 named");
  EXPECT_TRUE(DirectoryExists(WideBytes(movedDir)));
  ASSERT_TRUE(RemoveDirectoryTree(WideBytes(movedDir)));
  EXPECT_FALSE(ExistsThroughC(movedDir));
  EXPECT_TRUE(fs::is_empty(folder.Path()));
}

TEST(PosixNameTest, CurrentAndTemporaryDirectoriesThatAreNotUtf8) {
  TempFolder folder;
  const std::string dir = folder.Path().string() + "/\xC0\xAE\xE9";
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  fs::path saved = fs::current_path();
  ASSERT_EQ(chdir(dir.c_str()), 0);
  char buffer[4096];
  const std::string cwd = getcwd(buffer, sizeof buffer) ? buffer : "";
  WString current = GetCurrentDir();
  fs::current_path(saved);
  EXPECT_EQ(Utf8(current), cwd);

  std::optional<std::string> savedTemp;
  if (const char* value = getenv("TEMP")) savedTemp = value;
  setenv("TEMP", dir.c_str(), 1);
  WString temp = GetTempDir();
  savedTemp ? setenv("TEMP", savedTemp->c_str(), 1) : unsetenv("TEMP");
  EXPECT_EQ(Utf8(temp), dir);
}

TEST(PosixLocationsTest, TemporaryDirectoryFallsBackToTmpdirThenTmp) {
  std::optional<std::string> saved[2];
  const char* names[2] = {"TEMP", "TMPDIR"};
  for (int i = 0; i < 2; ++i)
    if (const char* value = getenv(names[i])) saved[i] = value;
  setenv("TEMP", "/some/temp \xC3\xBC", 1);
  setenv("TMPDIR", "/other/tmpdir", 1);
  EXPECT_EQ(Utf8(GetTempDir()), "/some/temp \xC3\xBC");
  setenv("TEMP", "", 1);
  EXPECT_EQ(Utf8(GetTempDir()), "/other/tmpdir");
  unsetenv("TEMP");
  unsetenv("TMPDIR");
  EXPECT_EQ(Utf8(GetTempDir()), "/tmp");
  for (int i = 0; i < 2; ++i)
    saved[i] ? setenv(names[i], saved[i]->c_str(), 1) : unsetenv(names[i]);
}

TEST(PosixLocationsTest, CurrentDirectoryAtTheRootKeepsItsSeparator) {
  fs::path saved = fs::current_path();
  fs::current_path("/");
  WString current = GetCurrentDir();
  fs::current_path(saved);
  EXPECT_EQ(Utf8(current), "/");
  EXPECT_EQ(Utf8(JoinPath(current, u"etc")), "/etc");
}

}  // namespace
}  // namespace Vadu
