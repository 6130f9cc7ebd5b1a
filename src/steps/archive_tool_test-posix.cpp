// POSIX checks of the archive driver against the system's own tar, and of symbolic links.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "src/steps/archive_tool.h"
#include "support/file_system.h"
#include "support/test_util.h"
#include "tests/scoped_temp_env.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::TempFolder;
using Vadu::Testing::Wide;
using Vadu::Testing::WriteFileBytes;

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a shell command and returns its standard output; fails the test on a non-zero exit.
std::string Shell(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0) << command;
  return output;
}

// The line of a listing that holds the text; empty when none does.
std::string LineWith(const std::string& listing, const std::string& text) {
  size_t at = listing.find(text);
  if (at == std::string::npos) return std::string();
  size_t begin = listing.rfind('\n', at);
  begin = begin == std::string::npos ? 0 : begin + 1;
  return listing.substr(begin, listing.find('\n', at) - begin);
}

std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string name = it->path().lexically_relative(root).generic_string();
    if (it->is_symlink())
      tree[name] = "<link>" + fs::read_symlink(it->path()).string();
    else if (it->is_directory())
      tree[name] = "<dir>";
    else
      tree[name] = ReadFileBytes(it->path());
  }
  return tree;
}

fs::path MakeSource(const TempFolder& work) {
  fs::path root = work.Path() / "pkg $x &y;";
  fs::create_directories(root / "sub \"dir\"" / "deeper");
  fs::create_directories(root / "empty");
  std::string bytes;
  for (int i = 0; i < 1024; ++i) bytes += static_cast<char>(i * 31);
  WriteFileBytes(root / "bin.dat", bytes);
  WriteFileBytes(root / "back\\slash.txt", "a backslash is a name character here");
  WriteFileBytes(root / "sub \"dir\"" / "deeper" / "x'.txt", "quoted");
  return root;
}

TEST(ArchiveToolPosix, SystemTarReadsOurArchivesAndWeReadItsArchives) {
  Testing::ScopedTempEnvironment temp;
  TempFolder work;
  const fs::path source = MakeSource(work);

  const fs::path ours = work.Path() / "ours %1.tgz";
  ASSERT_TRUE(PackTgz(Wide(source), Wide(ours)));
  const fs::path byTar = work.Path() / "by tar";
  fs::create_directories(byTar);
  Shell("tar -xzf " + Quote(ours.string()) + " -C " + Quote(byTar.string()));
  EXPECT_EQ(Tree(byTar / source.filename()), Tree(source));

  const fs::path native = work.Path() / "native & co.tgz";
  Shell("tar -czf " + Quote(native.string()) + " -C " + Quote(source.string()) + " .");
  const fs::path byUs = work.Path() / "by us";
  ASSERT_TRUE(UnpackTgz(Wide(native), Wide(byUs)));
  EXPECT_EQ(Tree(byUs), Tree(source));
}

// A file-system path as the driver takes it: bytes that are not UTF-8 stand for themselves.
Vadu::WString Bytes(const fs::path& path) { return Wide(path.string()); }

TEST(ArchiveToolPosix, PathsWithQuotesBackslashesAndBytesThatAreNotUtf8ReachTheTool) {
  Testing::ScopedTempEnvironment temp;
  TempFolder work;
  // Each part breaks a different way of passing a path in one text: quotes, backslashes before a
  // quote and at the end of a name, a tab, a leading "-", bytes no UTF-8 decoding gives.
  const std::string awkward = " \"q\" a\\\"b\t-x \xff\xfe";
  const fs::path source = work.Path() / ("pkg" + awkward);
  fs::create_directories(source / "\"only quotes\"");
  fs::create_directories(source / "-dash \xc3(");
  WriteFileBytes(source / "ends with\\", "backslash at the end");
  WriteFileBytes(source / "\"only quotes\"" / "a\\\"b.txt", "quoted");
  WriteFileBytes(source / "-dash \xc3(" / "caf\xe9.txt", "latin-1 name");

  const fs::path out = work.Path() / ("out" + awkward);
  fs::create_directories(out);
  const fs::path archive = out / "Pro\"duct\xff.tgz";
  ASSERT_TRUE(PackTgz(Bytes(source), Bytes(archive)));
  const fs::path unpacked = work.Path() / ("unpacked" + awkward);
  ASSERT_TRUE(UnpackTgz(Bytes(archive), Bytes(unpacked)));
  EXPECT_EQ(Tree(unpacked / source.filename()), Tree(source));
  // The system's tar reads the same names.
  const fs::path byTar = work.Path() / "by tar";
  fs::create_directories(byTar);
  Shell("tar -xzf " + Quote(archive.string()) + " -C " + Quote(byTar.string()));
  EXPECT_EQ(Tree(byTar / source.filename()), Tree(source));

  ASSERT_TRUE(PackTgz(Bytes(source), Bytes(archive), PackRoot::kFolderContents));
  const fs::path contents = work.Path() / ("contents" + awkward);
  ASSERT_TRUE(UnpackTgz(Bytes(archive), Bytes(contents)));
  EXPECT_EQ(Tree(contents), Tree(source));

  const fs::path image = out / "zen \"tu\" \xfe.dmg";
  fs::copy_file(fs::path(ZENTU_FIXTURES_DIR) / "zentu.dmg", image);
  const fs::path destination = work.Path() / ("dest" + awkward);
  ASSERT_TRUE(UnpackDmg(Bytes(image), Bytes(destination)));
  EXPECT_TRUE(fs::is_regular_file(destination / "zentu.app" / "Contents" / "Info.plist"));
}

TEST(ArchiveToolPosix, LinksArePackedAsLinksNeverAsWhatTheyPointAt) {
  Testing::ScopedTempEnvironment temp;
  TempFolder work;
  const fs::path outside = work.Path() / "outside";
  fs::create_directories(outside);
  WriteFileBytes(outside / "secret.txt", "must not travel");
  const fs::path source = work.Path() / "bundle";
  fs::create_directories(source / "Frameworks");
  WriteFileBytes(source / "Frameworks" / "lib.so", "library");
  fs::create_directory_symlink(outside, source / "escape");
  fs::create_symlink("Frameworks/lib.so", source / "current");

  const fs::path archive = work.Path() / "bundle.tgz";
  ASSERT_TRUE(PackTgz(Wide(source), Wide(archive)));
  ASSERT_TRUE(PackTgz(Wide(source), Wide(work.Path() / "contents.tgz"), PackRoot::kFolderContents));
  for (const fs::path& packed : {archive, work.Path() / "contents.tgz"}) {
    const std::string listing = Shell("tar -tvzf " + Quote(packed.string()));
    EXPECT_EQ(listing.find("secret"), std::string::npos) << listing;
    EXPECT_EQ(LineWith(listing, "escape -> " + outside.string()).substr(0, 1), "l") << listing;
    EXPECT_EQ(LineWith(listing, "current -> Frameworks/lib.so").substr(0, 1), "l") << listing;
  }
}

TEST(ArchiveToolPosix, RemovingAnUnpackedImageLeavesWhatItsLinkPointsAt) {
  Testing::ScopedTempEnvironment temp;
  TempFolder work;
  const fs::path destination = work.Path() / "dest";
  ASSERT_TRUE(UnpackDmg(Wide(fs::path(ZENTU_FIXTURES_DIR) / "zentu.dmg"), Wide(destination)));
  const fs::path link = destination / "Applications";
  ASSERT_TRUE(fs::is_symlink(link));
  // Whatever the link names (the tool roots absolute links in its output folder), put a folder
  // there and check that removing the unpacked tree leaves it alone.
  fs::path target = fs::read_symlink(link);
  if (target.is_relative()) target = destination / target;
  ASSERT_FALSE(fs::exists(target));
  fs::create_directories(target);
  WriteFileBytes(target / "keep.txt", "kept");

  EXPECT_TRUE(Vadu::RemoveDirectoryTree(Wide(destination)));
  EXPECT_FALSE(fs::exists(fs::symlink_status(destination)));
  EXPECT_EQ(ReadFileBytes(target / "keep.txt"), "kept");
  fs::remove_all(target);
}

}  // namespace
}  // namespace Zentu
