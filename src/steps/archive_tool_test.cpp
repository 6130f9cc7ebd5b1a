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

TEST(ArchivePaths, ForwardSlashes) {
  EXPECT_EQ(ToForwardSlashes("C:\\w\\pkg"), WString(u"C:/w/pkg"));
  EXPECT_EQ(ToForwardSlashes("\\\\server\\share\\caf\xc3\xa9"),
            WString(u"//server/share/caf\u00e9"));
  EXPECT_EQ(ToForwardSlashes("/already/forward"), WString(u"/already/forward"));
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
