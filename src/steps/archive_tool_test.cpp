#include "src/steps/archive_tool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "src/log_tags.h"
#include "src/steps/payloads.h"
#include "src/steps/run_folder.h"
#include "support/file_system.h"
#include "support/log.h"
#include "support/process.h"
#include "support/test_util.h"
#include "tests/scoped_temp_env.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Vadu::String;
using Vadu::WString;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::TempFolder;
using Vadu::Testing::Utf8;
using Vadu::Testing::Wide;
using Vadu::Testing::WriteFileBytes;

bool OnWindows() { return Vadu::NativePathStyle() == Vadu::PathStyle::Windows; }

fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}
fs::path PathOf(const WString& path) { return PathOf(Utf8(Vadu::NormalizePath(path))); }

// Characters that a command interpreter or a careless command line would act on. Windows file
// names cannot hold double quotes.
std::string Awkward() { return OnWindows() ? " &;$%'()" : " &;$%'()\"\\"; }

// A path as the tool's command line shows it: forward slashes on Windows, then quoted when it
// holds a space or a quote.
std::string Shown(const std::string& path) {
  std::string text = path;
  if (OnWindows())
    for (char& c : text)
      if (c == '\\') c = '/';
  return Utf8(Vadu::QuoteWindowsArgument(Wide(text)));
}
std::string Shown(const fs::path& path) { return Shown(Utf8(path.lexically_normal())); }

// Every entry below a folder by its relative path: file contents, "<dir>" or "<link>target".
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string name = Utf8(it->path().lexically_relative(root).generic_u8string());
    if (it->is_symlink())
      tree[name] = "<link>" + Utf8(fs::read_symlink(it->path()));
    else if (it->is_directory())
      tree[name] = "<dir>";
    else
      tree[name] = ReadFileBytes(it->path());
  }
  return tree;
}

// A source folder with binary and empty files, nested and empty folders, awkward names.
fs::path MakeSource(const TempFolder& work, const std::string& name) {
  fs::path root = PathOf(work / name);
  std::string allBytes;
  for (int round = 0; round < 4; ++round)
    for (int i = 0; i < 256; ++i) allBytes += static_cast<char>(i);
  fs::create_directories(root / "empty dir");
  fs::create_directories(PathOf(Utf8(root) + "/sub" + Awkward() + "dir/deeper"));
  WriteFileBytes(root / "bin.dat", allBytes);
  WriteFileBytes(root / "empty.txt", "");
  WriteFileBytes(PathOf(Utf8(root) + "/sub" + Awkward() + "dir/file" + Awkward() + ".txt"),
                 "nested\r\nlines\n");
  WriteFileBytes(PathOf(Utf8(root) + "/sub" + Awkward() + "dir/deeper/-dash.txt"), "dash");
  WriteFileBytes(root / "@at.txt", "at");
  return root;
}

// The records the driver logged while the object lived, in the log file the utility attaches.
class LogTail {
 public:
  LogTail() : start_((AttachLogFiles(), Current().size())) {}
  std::string Text() const { return Current().substr(start_); }

 private:
  static std::string Current() {
    String text = Vadu::ReadWholeFile(Vadu::ModuleLogPath(u".7zip.log"));
    return std::string(text.CStr(), text.Length());
  }
  size_t start_;
};

std::string Tool() { return Utf8(EnsureArchiveTool()); }

TEST(ArchivePaths, ForwardSlashesAndTarNames) {
  EXPECT_EQ(ToForwardSlashes("C:\\w\\pkg"), WString(u"C:/w/pkg"));
  EXPECT_EQ(ToForwardSlashes("\\\\server\\share\\caf\xc3\xa9"),
            WString(u"//server/share/caf\u00e9"));
  EXPECT_EQ(ToForwardSlashes("/already/forward"), WString(u"/already/forward"));

  const WString out = Vadu::JoinPath(OnWindows() ? u"D:\\" : u"/d", u"out");
  EXPECT_EQ(TarNameFor(Vadu::JoinPath(out, u"Product.dmg"), ".dmg"), WString(u"Product.tar"));
  EXPECT_EQ(TarNameFor(Vadu::JoinPath(out, u"Product.dmg.dmg"), ".dmg"),
            WString(u"Product.dmg.tar"));
  EXPECT_EQ(TarNameFor(Vadu::JoinPath(out, u"Pro duct.tgz"), ".tgz"), WString(u"Pro duct.tar"));
  EXPECT_EQ(TarNameFor(u"Product.tgz", ".tgz"), WString(u"Product.tar"));
  // A file name that is only the extension: the path up to the extension.
  EXPECT_EQ(TarNameFor(Vadu::JoinPath(out, u".tgz"), ".tgz"),
            Vadu::JoinPath(out, u"x").Substring(0, out.Length() + 1) + u".tar");
}

TEST(ArchiveTool, PackedFolderUnpacksByteForByteWithAwkwardPaths) {
  Testing::ScopedTempEnvironment temp;
  TempFolder work;
  const fs::path source = MakeSource(work, "pkg" + Awkward() + "x");
  const fs::path out = PathOf(work / ("out" + Awkward() + "dir"));
  fs::create_directories(out);
  const fs::path archive = out / "Product.tgz";
  const fs::path tempDir = PathOf(RunFolder());
  ASSERT_EQ(tempDir.parent_path(), PathOf(Wide(temp.Folder().Path())));
  LogTail log;

  // The first operation writes the tool into this build's folder in the run folder under TEMP.
  ASSERT_TRUE(PackTgz(Wide(source), Wide(archive)));
  const fs::path toolFolder = tempDir / Utf8(ToolFolderName(BuildDateText(), BuildTimeText()));
  EXPECT_TRUE(fs::is_regular_file(toolFolder / (OnWindows() ? "7z.exe" : "7zz")));
  EXPECT_EQ(Tree(out).size(), 1u) << "only the archive, no temporary file";
  EXPECT_FALSE(fs::exists(tempDir / "Product.tar"));

  const fs::path unpacked = PathOf(work / ("unpacked" + Awkward()));
  ASSERT_TRUE(UnpackTgz(Wide(archive), Wide(unpacked)));
  EXPECT_EQ(Tree(unpacked / source.filename()), Tree(source));
  EXPECT_FALSE(fs::exists(unpacked / "Product.tar"));
  EXPECT_EQ(Tree(unpacked).size(), Tree(source).size() + 1) << "nothing else beside the folder";

  const std::string tool = Tool();
  const fs::path tar = tempDir / "Product.tar";
  // The gzip layer is extracted into a folder of its own in the run folder.
  const fs::path layer = tempDir / "gzip-layer";
  const std::string text = log.Text();
  EXPECT_NE(text.find("Tar pack command: 1 " + tool + " a -ttar " + Shown(tar) + " " +
                      Shown(source) + " -snl -spd -y\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("TGZ pack command: 1 " + tool + " a -tgzip " +
                      Shown(Utf8(archive) + ".packing") + " " + Shown(tar) + " -snl -spd -y\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Unpack result: 1 " + tool + "\r\nCommand: x " + Shown(archive) + " -aoa " +
                      Shown("-o" + Utf8(layer)) + " -spd -y\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(
      text.find("Unpack result: 1 " + tool + "\r\nCommand: x " + Shown(layer / "Product.tar") +
                " -aoa " + Shown("-o" + Utf8(unpacked)) + " -spd -y\r\n"),
      std::string::npos)
      << text;
  EXPECT_FALSE(fs::exists(layer));

  // Packing the folder's contents over the existing archive: the entries sit at its root.
  WriteFileBytes(source / "added later.txt", "new");
  ASSERT_TRUE(PackTgz(Wide(source), Wide(archive), PackRoot::kFolderContents));
  const fs::path contents = PathOf(work / "contents");
  ASSERT_TRUE(UnpackTgz(Wide(archive), Wide(contents)));
  EXPECT_EQ(Tree(contents), Tree(source));
  EXPECT_EQ(Tree(out).size(), 1u);
}

TEST(ArchiveTool, FailedPackKeepsTheExistingArchive) {
  Testing::ScopedTempEnvironment temp;
  TempFolder work;
  const fs::path archive = PathOf(work / ("Product" + Awkward() + ".tgz"));
  WriteFileBytes(archive, "the archive as it was");
  const fs::path empty = PathOf(work / "empty");
  fs::create_directories(empty);

  EXPECT_FALSE(PackTgz(Wide(PathOf(work / "missing folder")), Wide(archive)));
  EXPECT_FALSE(PackTgz(Wide(empty), Wide(archive), PackRoot::kFolderContents));
  EXPECT_EQ(ReadFileBytes(archive), "the archive as it was");
  // Neither a destination that is no archive name.
  EXPECT_FALSE(PackTgz(Wide(empty), Wide(PathOf(work / "Product.zip"))));

  EXPECT_EQ(Tree(work.Path()).size(), 2u) << "the archive and the empty folder, nothing else";
  for (const auto& entry : fs::directory_iterator(temp.Folder().Path()))
    EXPECT_NE(entry.path().extension(), ".tar") << entry.path();
}

TEST(ArchiveTool, DiskImageNamesAndTgzChecks) {
  Testing::ScopedTempEnvironment temp;
  TempFolder work;
  const fs::path source = MakeSource(work, "bundle");
  const fs::path staging = PathOf(RunFolder()) / "dmgunpackresult";
  fs::create_directories(staging);
  WriteFileBytes(staging / "left over", "x");
  LogTail log;

  // A disk-image destination gives a .tgz beside it, through a tar named after it, and clears
  // the staging folder.
  const fs::path image = PathOf(work / ("out" + Awkward() + "/Product.dmg.dmg"));
  fs::create_directories(image.parent_path());
  ASSERT_TRUE(PackTgz(Wide(source), Wide(image)));
  const fs::path archive = image.parent_path() / "Product.dmg.tgz";
  EXPECT_TRUE(fs::is_regular_file(archive));
  EXPECT_FALSE(fs::exists(staging));
  EXPECT_NE(log.Text().find(" a -ttar " + Shown(PathOf(RunFolder()) / "Product.dmg.tar")),
            std::string::npos)
      << log.Text();

  // The extension test ignores case.
  const fs::path upper = PathOf(work / "upper/Product.dmg.TGZ");
  fs::create_directories(upper.parent_path());
  fs::copy_file(archive, upper);
  const fs::path unpacked = PathOf(work / "unpacked");
  EXPECT_TRUE(UnpackTgz(Wide(upper), Wide(unpacked)));
  EXPECT_EQ(Tree(unpacked / "bundle"), Tree(source));

  // Not a .tgz, or no file at all.
  const fs::path zip = PathOf(work / "a.zip");
  WriteFileBytes(zip, "zip");
  EXPECT_FALSE(UnpackTgz(Wide(zip), Wide(unpacked)));
  const fs::path missing = PathOf(work / ("missing" + Awkward() + ".tgz"));
  EXPECT_FALSE(UnpackTgz(Wide(missing), Wide(unpacked)));
  // An archive whose gzip layer holds a tar of another name: the tar is found all the same.
  const fs::path renamed = PathOf(work / "renamed.tgz");
  fs::copy_file(archive, renamed);
  const fs::path elsewhere = PathOf(work / "elsewhere");
  EXPECT_TRUE(UnpackTgz(Wide(renamed), Wide(elsewhere)));
  EXPECT_EQ(Tree(elsewhere / "bundle"), Tree(source));

  const std::string text = log.Text();
  EXPECT_NE(text.find("[ERROR]:\r\nUnpack TGZ. Can't find tgz file: " + Utf8(zip) + "\r\n" +
                      "Unpack TGZ. Can't find tgz file: " + Utf8(missing) + "\r\n"),
            std::string::npos)
      << text;
}

TEST(ArchiveTool, UnpackDmgMovesTheImageTreeIntoTheDestination) {
  Testing::ScopedTempEnvironment temp;
  TempFolder work;
  const fs::path image = PathOf(work / ("images" + Awkward() + "/zen tu" + Awkward() + ".dmg"));
  fs::create_directories(image.parent_path());
  fs::copy_file(fs::path(ZENTU_FIXTURES_DIR) / "zentu.dmg", image);
  const fs::path staging = PathOf(RunFolder()) / "dmgunpackresult";
  fs::create_directories(staging);
  WriteFileBytes(staging / "stale.txt", "from an earlier run");
  const fs::path destination = PathOf(work / ("dest" + Awkward()));
  LogTail log;

  ASSERT_TRUE(UnpackDmg(Wide(image), Wide(destination)));
  const fs::path contents = destination / "zentu.app" / "Contents";
  EXPECT_EQ(ReadFileBytes(contents / "MacOS" / "zentu").substr(0, 4), "\xcf\xfa\xed\xfe");
  EXPECT_NE(ReadFileBytes(contents / "Info.plist").find("<key>CFBundleExecutable</key>"),
            std::string::npos);
  EXPECT_NE(ReadFileBytes(contents / "version.plist").find("ProjectName"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(contents / "Resources" / "icon.icns").substr(0, 4), "icns");
  EXPECT_FALSE(fs::exists(destination / "stale.txt"));
  EXPECT_FALSE(fs::exists(staging));

  // A file that is no disk image: nothing is extracted, and the driver says so.
  const fs::path textFile = PathOf(work / ("not an image" + Awkward() + ".dmg"));
  WriteFileBytes(textFile, "plain text, no image");
  const fs::path other = PathOf(work / "other");
  EXPECT_FALSE(UnpackDmg(Wide(textFile), Wide(other)));
  EXPECT_FALSE(fs::exists(other));
  EXPECT_FALSE(fs::exists(staging));

  const std::string tool = Tool();
  const std::string shownStaging =
      OnWindows() ? Utf8(ToForwardSlashes(Vadu::ToUtf8(Wide(staging)))) : Utf8(staging);
  const std::string text = log.Text();
  EXPECT_NE(text.find("DMG unpack command " + tool + " x " + Shown(image) + " " +
                      Shown("-o" + Utf8(staging)) + " -spd -y result: "),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Move unpacked folder from " + Utf8(Vadu::NormalizePath(Wide(staging))) +
                      " to " + Utf8(destination) + ". Result: 1\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("[ERROR]:\r\nUnapck dmg: can't find dir: " + shownStaging + "\r\n"),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace Zentu
