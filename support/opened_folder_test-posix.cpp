// The folder layer against another user of the same folders: links are never followed below the
// opened folder, also when they are swapped in while a removal runs.
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/opened_folder.h"
#include "support/test_util-posix.h"
#include "support/test_util.h"

namespace Vadu {
namespace {

namespace fs = std::filesystem;
using Testing::Bytes;
using Testing::ReadFileBytes;
using Testing::TempFolder;
using Testing::Wide;
using Testing::WriteFileBytes;

size_t CountFiles(const fs::path& folder) {
  size_t count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    count += entry.is_regular_file();
  return count;
}

TEST(OpenedFolderTest, NothingBelowTheFolderIsEverFollowedThroughALink) {
  TempFolder folder;
  const fs::path victim = folder.Path() / "victim";
  fs::create_directories(victim / "inner");
  WriteFileBytes(victim / "keep", "keep");
  WriteFileBytes(victim / "inner" / "keep", "keep");
  const fs::path tree = folder.Path() / "tree";
  fs::create_directories(tree / "a" / "b");
  WriteFileBytes(tree / "a" / "b" / "file", "x");
  fs::create_directory_symlink(victim, tree / "a" / "link");
  fs::create_symlink(victim / "keep", tree / "a" / "file-link");
  fs::create_directory_symlink(victim, folder.Path() / "top-link");

  const OpenedFolder opened = OpenedFolder::Open(Wide(folder.Path()));
  ASSERT_TRUE(opened.IsOpen());
  EXPECT_FALSE(opened.Child(u"top-link").IsOpen());
  EXPECT_EQ(opened.KindOf(u"top-link"), OpenedFolder::Kind::kLink);
  EXPECT_FALSE(opened.WriteNewFile(u"top-link", Bytes("x")));
  const OpenedFolder a = opened.Child(u"tree").Child(u"a");
  ASSERT_TRUE(a.IsOpen());
  EXPECT_FALSE(a.WriteNewFile(u"file-link", Bytes("overwritten")));
  EXPECT_FALSE(a.MakeFolder(u"link"));
  EXPECT_FALSE(a.Rename(u"b", u"link"));  // never replaces what stands at the name

  // A link at the top goes itself; a tree holding links goes with its links, not their targets.
  EXPECT_TRUE(opened.RemoveTree(u"top-link"));
  EXPECT_TRUE(opened.RemoveTree(u"tree"));
  EXPECT_FALSE(fs::exists(tree));
  EXPECT_FALSE(fs::exists(folder.Path() / "top-link"));
  EXPECT_EQ(CountFiles(victim), 2u);
  EXPECT_EQ(ReadFileBytes(victim / "keep"), "keep");

  // A folder opened once is written into wherever it was moved: a link put in its place (the
  // staging folder swapped by another user) receives nothing.
  ASSERT_TRUE(opened.MakeFolder(u"staging"));
  const OpenedFolder staging = opened.Child(u"staging");
  fs::rename(folder.Path() / "staging", folder.Path() / "moved");
  fs::create_directory_symlink(victim, folder.Path() / "staging");
  ASSERT_TRUE(staging.MakeFolder(u"sub"));
  EXPECT_TRUE(staging.Child(u"sub").WriteNewFile(u"entry", Bytes("e")));
  EXPECT_EQ(ReadFileBytes(folder.Path() / "moved" / "sub" / "entry"), "e");
  EXPECT_EQ(CountFiles(victim), 2u);

  // Swapped in one step; a new folder under a random name.
  fs::create_directory(folder.Path() / "x");
  fs::create_directory(folder.Path() / "y");
  WriteFileBytes(folder.Path() / "x" / "in-x", "");
  ASSERT_TRUE(opened.Exchange(u"x", u"y"));
  EXPECT_TRUE(fs::exists(folder.Path() / "y" / "in-x"));
  const WString made = opened.MakeNewFolder(u"new.~");
  EXPECT_EQ(made.Length(), 5u + 16u);
  EXPECT_TRUE(opened.Child(made).IsOpen());
}

// Another user who owns a folder being removed by root swaps its subfolders for links to a
// folder of root's, over and over, while the removal runs: root's folder keeps every file.
TEST(OpenedFolderTest, AFolderSwappedForALinkDuringTheRemovalIsNotFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
  TempFolder folder;
  ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
  const fs::path shared = folder.Path() / "shared";
  fs::create_directory(shared);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  const fs::path victim = folder.Path() / "victim";
  fs::create_directory(victim);
  for (int k = 0; k < 200; ++k) WriteFileBytes(victim / ("v" + std::to_string(k)), "v");
  const fs::path tree = shared / "tree";
  constexpr int kFolders = 20, kFiles = 300;
  for (int d = 0; d < kFolders; ++d) {
    const fs::path sub = tree / ("a" + std::to_string(d));
    fs::create_directories(sub);
    for (int k = 0; k < kFiles; ++k) WriteFileBytes(sub / ("f" + std::to_string(k)), "f");
  }
  for (const auto& entry : fs::recursive_directory_iterator(tree))
    ASSERT_EQ(lchown(entry.path().c_str(), 65534, 65534), 0);
  ASSERT_EQ(chown(tree.c_str(), 65534, 65534), 0);

  const pid_t swapper = fork();
  if (swapper == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (int round = 0; std::chrono::steady_clock::now() < end; ++round) {
      for (int d = 0; d < kFolders; ++d) {
        const fs::path sub = tree / ("a" + std::to_string(d));
        const fs::path aside = tree / ("b" + std::to_string(d) + "-" + std::to_string(round));
        if (rename(sub.c_str(), aside.c_str()) == 0 && symlink(victim.c_str(), sub.c_str()) != 0)
          _exit(98);
      }
    }
    _exit(0);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const bool removed = OpenedFolder::Open(Wide(shared)).RemoveTree(u"tree");
  kill(swapper, SIGKILL);
  waitpid(swapper, nullptr, 0);
  EXPECT_EQ(CountFiles(victim), 200u) << "the removal went through a link into root's folder";
  // What the other user made meanwhile may stay; root's removal never fails on it silently.
  if (removed) {
    EXPECT_FALSE(fs::exists(tree));
  }
  fs::remove_all(shared);
}

// A user removes their own tree with folders they may not change (0555): those are opened up and
// go with the rest. Tried as a user who is not root, whom the folder's mode binds.
TEST(OpenedFolderTest, TheCallersReadOnlyFoldersAreRemoved) {
  TempFolder folder;
  const fs::path tree = folder.Path() / "tree";
  fs::create_directories(tree / "locked" / "deeper");
  WriteFileBytes(tree / "locked" / "deeper" / "file", "f");
  if (geteuid() == 0) {
    for (const fs::path& path : {folder.Path(), tree, tree / "locked", tree / "locked" / "deeper",
                                 tree / "locked" / "deeper" / "file"})
      ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
  }
  ASSERT_EQ(chmod((tree / "locked" / "deeper").c_str(), 0555), 0);
  ASSERT_EQ(chmod((tree / "locked").c_str(), 0555), 0);
  EXPECT_EQ(Testing::AsUnprivilegedUser([&] {
              return OpenedFolder::Open(Wide(folder.Path())).RemoveTree(u"tree") ? 0 : 1;
            }),
            0);
  EXPECT_FALSE(fs::exists(tree));
}

}  // namespace
}  // namespace Vadu
