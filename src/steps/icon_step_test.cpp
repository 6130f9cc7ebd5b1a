// The icon step on real executables with the icon tools this build carries; the results are read
// back with the icon tool's own PE and resource parsers.
#include "src/steps/icon_step.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ico_file.h"
#include "icon_replacer.h"
#include "oem/resource_block.h"
#include "pe_image.h"
#include "resource_tree.h"
#include "src/exit_code.h"
#include "src/steps/archive_tool.h"
#include "src/steps/payloads.h"
#include "src/steps/run_folder.h"
#include "src/steps/working_folder.h"
#include "support/file_system.h"
#include "support/test_util.h"
#include "tests/scoped_temp_env.h"
#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::UtilityRun;
using Vadu::String;
using Vadu::WString;
using Vadu::Testing::Bytes;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::Std;
using Vadu::Testing::Utf8;
using Vadu::Testing::Wide;
using Vadu::Testing::WriteFileBytes;

std::string Fixture(const std::string& name) {
  return ReadFileBytes(fs::u8path(std::string(ZENTU_FIXTURES_DIR) + "/" + name));
}

// A one-image .ico file: a 16x16 32-bit bitmap whose pixels depend on `seed`.
std::string MakeIco(unsigned char seed) {
  std::string dib;
  auto put = [&dib](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) dib += static_cast<char>(value >> (8 * i));
  };
  put(40, 4), put(16, 4), put(32, 4), put(1, 2), put(32, 2);  // header: height doubled
  for (int i = 0; i < 6; ++i) put(0, 4);
  for (int i = 0; i < 16 * 16 * 4; ++i) dib += static_cast<char>(i * 13 + seed);
  dib.append(16 * 4, '\0');  // AND mask
  std::string ico("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0", 14);
  for (uint32_t value : {static_cast<uint32_t>(dib.size()), 22u})
    for (int i = 0; i < 4; ++i) ico += static_cast<char>(value >> (8 * i));
  return ico + dib;
}

using Images = std::vector<std::vector<uint8_t>>;

Images ImagesOfIco(const std::string& ico) {
  Images images;
  for (const iconchanger::IconImage& image :
       iconchanger::ParseIco(
           iconchanger::ByteSpan(reinterpret_cast<const uint8_t*>(ico.data()), ico.size()))
           .images)
    images.push_back(image.data);
  return images;
}

// The images of an executable's first icon group, in group order, in the group's first language.
Images IconOfExecutable(const std::string& bytes) {
  using namespace iconchanger;
  const PeImage image(iconchanger::Bytes(bytes.begin(), bytes.end()));
  const DataDirectory resources = image.directory(kResourceDirectoryIndex);
  const ResourceDirectory root = ParseResourceTree(
      resources.rva,
      [&](uint32_t rva, uint32_t size, iconchanger::Bytes& out) {
        return image.ReadRva(rva, size, out);
      },
      bytes.size());
  const ResourceEntry* groups = nullptr;
  const ResourceEntry* icons = nullptr;
  for (const ResourceEntry& type : root.entries) {
    if (type.name == ResourceName::Id(kRtGroupIcon)) groups = &type;
    if (type.name == ResourceName::Id(kRtIcon)) icons = &type;
  }
  Images found;
  if (!groups || !icons) return found;
  const ResourceEntry& language = groups->directory->entries.front().directory->entries.front();
  for (const GroupIconEntry& entry : ParseGroupIcon(language.data))
    for (const ResourceEntry& icon : icons->directory->entries)
      if (icon.name == ResourceName::Id(entry.id))
        for (const ResourceEntry& leaf : icon.directory->entries)
          if (leaf.name == language.name) found.push_back(leaf.data);
  return found;
}

// Each test runs in a fresh current directory and a fresh temporary directory (where the run
// folder that receives the tools is made), with a job of its own and exit code 0; the directory
// is restored afterwards.
class IconStepTest : public ::testing::Test {
 protected:
  IconStepTest() : savedDirectory_(fs::current_path()) {
    fs::current_path(folder_.Path());
    job_.workingFolder = WorkingFolderPath();
    SetExitCode(kExitSuccess);
  }
  ~IconStepTest() override {
    fs::current_path(savedDirectory_);
    SetExitCode(kExitSuccess);
  }

  // Writes a file below the current directory and returns its path.
  std::string Put(const std::string& name, const std::string& bytes) {
    const fs::path path = fs::u8path(name);
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    WriteFileBytes(path, bytes);
    return name;
  }

  // Runs the step with the target kind and returns what it printed.
  std::string Apply(TargetKind kind, const std::string& icon, const std::string& working) {
    job_.kind = kind;
    job_.workingPath = Wide(working);
    ::testing::internal::CaptureStdout();
    ApplyIcon(job_, Wide(icon));
    return ::testing::internal::GetCapturedStdout();
  }

  std::set<std::string> CurrentDirectoryNames() const {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_.Path()))
      names.insert(Utf8(entry.path().filename()));
    return names;
  }

  std::set<std::string> ResourceNames() const {
    std::set<std::string> names;
    for (const String& name : job_.resources.ListNames()) names.insert(Std(name));
    return names;
  }

  // What the run folder holds, apart from the marker that shows the run is alive.
  std::set<std::string> RunFolderNames() const {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(Utf8Path(RunFolder())))
      if (entry.path().filename() != ".alive") names.insert(Utf8(entry.path().filename()));
    return names;
  }
  static fs::path Utf8Path(const WString& path) { return fs::u8path(Std(Vadu::ToUtf8(path))); }

  Testing::ScopedTempEnvironment temp_;
  Vadu::Testing::TempFolder folder_;
  fs::path savedDirectory_;
  RebrandJob job_;
};

TEST_F(IconStepTest, AnExecutableGetsTheIconAndLosesItsBlockAndSignature) {
  // Signed after a block was appended: both go before the tool sees the file.
  const std::string original = Fixture("sample_app64_block_signed.exe");
  ASSERT_NE(ExtractBlock(Bytes(original)).Length(), 0u);
  const std::string ico = MakeIco(7);
  ASSERT_NE(IconOfExecutable(original), ImagesOfIco(ico));
  // Paths with spaces and characters a command interpreter would act on.
  const std::string exe = Put("dir with space & co/zentu app;%PATH%$x.exe", original);
  const std::string icon = Put("icons/logo.ICO", ico);
  job_.resources.Set("readme.txt", "kept");

  EXPECT_EQ(Apply(TargetKind::kWindows, icon, exe), "Success add icon\n");
  EXPECT_EQ(ExitCode(), kExitSuccess);

  const std::string edited = ReadFileBytes(fs::u8path(exe));
  EXPECT_EQ(IconOfExecutable(edited), ImagesOfIco(ico));
  EXPECT_EQ(FindBlock(Bytes(edited)).length, 0u);
  EXPECT_EQ(Std(RemoveSignature(Bytes(edited))), edited) << "still signed";
  EXPECT_EQ(ResourceNames(), (std::set<std::string>{"icon.ico", "readme.txt"}));
  EXPECT_EQ(Std(job_.resources.Get("icon.ico")), ico);
  EXPECT_EQ(CurrentDirectoryNames(), (std::set<std::string>{"dir with space & co", "icons"}));
  EXPECT_EQ(RunFolderNames(), std::set<std::string>{}) << "a tool file was left behind";
}

TEST_F(IconStepTest, ABrokenIconIsReportedTwiceAndAddsNoResource) {
  const std::string original = Fixture("sample_app64_block.exe");
  const std::string broken = MakeIco(3).substr(0, 200);
  const std::string exe = Put("app.exe", original);
  const std::string icon = Put("broken.ico", broken);

  EXPECT_EQ(Apply(TargetKind::kWindows, icon, exe),
            "Cannot add icon\nERROR: can't replace icon\n\n");
  EXPECT_EQ(ExitCode(), kExitError);
  // The old block is gone; the tool left the rest as it was.
  EXPECT_EQ(ReadFileBytes(fs::u8path(exe)), Std(StripBlock(Bytes(original))));
  EXPECT_FALSE(job_.resources.HasEntries()) << "the run stops here";
  EXPECT_EQ(CurrentDirectoryNames(), (std::set<std::string>{"app.exe", "broken.ico"}));
}

TEST_F(IconStepTest, OnlyAnIcoForExecutablesAndArchivesIsTaken) {
  const std::string original = Fixture("sample_app64_block.exe");
  const std::string exe = Put("app.exe", original);
  const struct {
    TargetKind kind;
    const char* icon;
    bool added;  // as "icon.ico"
  } cases[] = {
      {TargetKind::kWindows, "logo.icns", false},  {TargetKind::kWindows, "logo.ico.png", false},
      {TargetKind::kAppBundle, "logo.ico", false}, {TargetKind::kAppFile, "logo.ico", true},
      {TargetKind::kAppFile, "logo.Ico", true},    {TargetKind::kAppFile, "logo.icns", false},
      {TargetKind::kAndroid, "logo.ico", false},   {TargetKind::kBundleFolder, "logo.ico", false},
      {TargetKind::kUnknown, "logo.ico", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.kind)) + " with " + c.icon);
    job_.resources.Clear();
    const std::string icon = Put(c.icon, MakeIco(5));
    EXPECT_EQ(Apply(c.kind, icon, exe), "");
    EXPECT_EQ(ExitCode(), kExitSuccess);
    EXPECT_TRUE(ReadFileBytes(fs::u8path(exe)) == original) << "the target changed";
    if (c.added) {
      EXPECT_EQ(ResourceNames(), std::set<std::string>{"icon.ico"});
      EXPECT_EQ(Std(job_.resources.Get("icon.ico")), MakeIco(5));
    } else {
      EXPECT_FALSE(job_.resources.HasEntries());
    }
    fs::remove(fs::u8path(icon));
  }
}

TEST_F(IconStepTest, AnIcnsBecomesTheIconOfTheUnpackedBundle) {
  const fs::path contents = Utf8Path(WorkingFolderPath()) / "zentu.app" / "Contents";
  fs::create_directories(contents / "MacOS");
  fs::create_directories(contents / "Resources");
  WriteFileBytes(contents / "MacOS" / "zentu", "program");
  WriteFileBytes(contents / "Resources" / "icon.icns", "old icon");
  Put("logo.ICNS", "icns bytes");

  EXPECT_EQ(Apply(TargetKind::kAppBundle, "logo.ICNS", Utf8(contents / "MacOS" / "zentu")), "");
  EXPECT_EQ(ReadFileBytes(contents / "Resources" / "icon.icns"), "icns bytes");
  EXPECT_FALSE(fs::exists(contents / "Resources" / "newicon.icns"));
  EXPECT_EQ(ReadFileBytes(contents / "MacOS" / "zentu"), "program");
  EXPECT_EQ(ResourceNames(), std::set<std::string>{"icon.icns"});
  EXPECT_EQ(Std(job_.resources.Get("icon.icns")), "icns bytes");
  EXPECT_EQ(CurrentDirectoryNames(), std::set<std::string>{"logo.ICNS"});
}

TEST_F(IconStepTest, TheFirstToolThatSucceedsEndsTheAttemptAndNothingOutsideTheRunIsTouched) {
  const std::vector<String> tools = ToolPayloadNames(StoredKind::kIconTool);
  ASSERT_FALSE(tools.empty());
  // Files and links of the tools' names in the current directory are neither run, written
  // through, nor removed.
  Put("victim", "keep");
  const bool links = Vadu::NativePathStyle() == Vadu::PathStyle::Posix;  // Wine makes none
  if (links) fs::create_symlink("victim", Std(tools[0]));
  for (size_t i = links ? 1 : 0; i < tools.size(); ++i) Put(Std(tools[i]), "not a tool");
  Put("app.exe", Fixture("sample_app32.exe"));
  Put("logo.ico", MakeIco(9));

  ::testing::internal::CaptureStdout();
  EXPECT_TRUE(RunIconTool(u"app.exe", u"logo.ico"));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Success add icon\n");
  EXPECT_EQ(IconOfExecutable(ReadFileBytes("app.exe")), ImagesOfIco(MakeIco(9)));
  EXPECT_EQ(fs::is_symlink(Std(tools[0])), links);
  EXPECT_EQ(ReadFileBytes("victim"), "keep");
  for (size_t i = links ? 1 : 0; i < tools.size(); ++i)
    EXPECT_EQ(ReadFileBytes(Std(tools[i])), "not a tool") << Std(tools[i]);
  EXPECT_EQ(RunFolderNames(), std::set<std::string>{});
}

// A tool that ends with exit code 0 and changes nothing: the sample program (of this build's
// width) on Windows, a shell script elsewhere.
PeTool LyingTool() {
  if (Vadu::NativePathStyle() == Vadu::PathStyle::Windows)
    return {"liar.exe",
            Bytes(Fixture(sizeof(void*) == 8 ? "sample_app64.exe" : "sample_app32.exe"))};
  return {"liar", "#!/bin/sh\nexit 0\n"};
}

TEST_F(IconStepTest, AToolThatClaimsSuccessWithoutTheIconCountsAsFailed) {
  const std::string original = Fixture("sample_app64.exe");
  Put("app.exe", original);
  Put("logo.ico", MakeIco(6));

  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(RunIconTools({LyingTool()}, u"app.exe", u"logo.ico"));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Cannot add icon\n");
  EXPECT_TRUE(ReadFileBytes("app.exe") == original);

  // Before a working tool: that one is tried next and does the job.
  std::vector<PeTool> tools = CarriedPeTools();
  tools.insert(tools.begin(), LyingTool());
  ::testing::internal::CaptureStdout();
  EXPECT_TRUE(RunIconTools(tools, u"app.exe", u"logo.ico"));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Success add icon\n");
  EXPECT_EQ(IconOfExecutable(ReadFileBytes("app.exe")), ImagesOfIco(MakeIco(6)));
  EXPECT_EQ(CurrentDirectoryNames(), (std::set<std::string>{"app.exe", "logo.ico"}));
}

TEST_F(IconStepTest, AToolThatCannotBeWrittenEndsTheAttemptSilently) {
  const std::vector<String> tools = ToolPayloadNames(StoredKind::kIconTool);
  ASSERT_FALSE(tools.empty());
  // Stands where the first tool would be written.
  fs::create_directory(Utf8Path(RunFolder()) / Std(tools[0]));
  const std::string original = Fixture("sample_app64.exe");
  Put("app.exe", original);
  Put("logo.ico", MakeIco(1));

  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(RunIconTool(u"app.exe", u"logo.ico"));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(ExitCode(), kExitSuccess) << "the tool runner reports only through its result";
  EXPECT_EQ(RunFolderNames(), std::set<std::string>{Std(tools[0])}) << "a later tool was written";

  // As part of the step: only the step's own line.
  EXPECT_EQ(Apply(TargetKind::kWindows, "logo.ico", "app.exe"), "ERROR: can't replace icon\n\n");
  EXPECT_EQ(ExitCode(), kExitError);
  EXPECT_TRUE(ReadFileBytes("app.exe") == original);
  EXPECT_FALSE(job_.resources.HasEntries()) << "the run stops here";
}

TEST_F(IconStepTest, AnExecutableThatCannotBeReadWholeIsNeitherRewrittenNorEdited) {
  // Larger than a string can hold: the read gives nothing, which must not be written back.
  const uintmax_t size = uintmax_t{1} << 32;
  {
    std::error_code error;
    WriteFileBytes("huge.exe", "MZ");
    fs::resize_file("huge.exe", size, error);
    if (error) GTEST_SKIP() << "no sparse file of 4 GiB here: " << error.message();
  }
  Put("logo.ico", MakeIco(2));

  EXPECT_EQ(Apply(TargetKind::kWindows, "logo.ico", "huge.exe"), "ERROR: can't replace icon\n\n");
  EXPECT_EQ(ExitCode(), kExitError);
  EXPECT_EQ(fs::file_size("huge.exe"), size);
  EXPECT_FALSE(job_.resources.HasEntries()) << "the run stops here";
  EXPECT_EQ(CurrentDirectoryNames(), (std::set<std::string>{"huge.exe", "logo.ico"}));
}

// ---- The icon with the add-resources command, run as a user would ---------------------------

class IconCommand : public Testing::CommandTest {
 protected:
  // Runs the utility with the work folder as its current directory, where the tools go. The
  // output is the utility's own: a failing tool explains itself on standard error.
  UtilityRun RunInWorkFolder(const std::string& parameters) {
    Testing::CurrentDirectory here(work_.Path());
    return RunOwnOutput(parameters);
  }
  std::string Put(const std::string& name, const std::string& bytes) {
    WriteFileBytes(work_.Path() / fs::u8path(name), bytes);
    return name;
  }
  static std::vector<std::string> Names(std::initializer_list<std::string> names) {
    std::vector<std::string> sorted(names);
    std::sort(sorted.begin(), sorted.end());
    return sorted;
  }
  // The block entries of a file's bytes.
  std::map<std::string, std::string> BlockOf(const std::string& bytes) {
    const fs::path file = scratch_.Path() / "file";
    WriteFileBytes(file, bytes);
    return Testing::BlockEntries(file);
  }

  Vadu::Testing::TempFolder scratch_;
};

TEST_F(IconCommand, AnIconAloneReplacesTheExecutablesIconAndTravelsInTheBlock) {
  const fs::path target = CopyFixture("sample_app64.exe", "app.exe");
  const std::string original = ReadFileBytes(target);
  Put("logo.ico", MakeIco(11));

  UtilityRun run = RunInWorkFolder("-icon logo.ico -target app.exe");
  EXPECT_EQ(run.output, "Success add icon\nSuccess add resources to file: app.exe\n");
  EXPECT_EQ(run.exitCode, 0);
  std::map<std::string, std::string> block = Testing::BlockEntries(target);
  EXPECT_EQ(block.size(), 2u);
  EXPECT_EQ(block["icon.ico"], MakeIco(11));
  EXPECT_TRUE(block.count("date"));
  EXPECT_EQ(IconOfExecutable(Testing::HostBytes(target)), ImagesOfIco(MakeIco(11)));
  EXPECT_NE(IconOfExecutable(original), ImagesOfIco(MakeIco(11)));
  EXPECT_EQ(NamesIn(work_.Path()), Names({"app.exe", "logo.ico"})) << "a tool file was left";

  // Again on the branded file, with a name in capitals: the icon and its entry are replaced.
  Put("LOGO2.ICO", MakeIco(12));
  run = RunInWorkFolder("-icon LOGO2.ICO -target app.exe");
  EXPECT_EQ(run.output, "Success add icon\nSuccess add resources to file: app.exe\n");
  block = Testing::BlockEntries(target);
  EXPECT_EQ(block.size(), 2u);
  EXPECT_EQ(block["icon.ico"], MakeIco(12));
  EXPECT_EQ(IconOfExecutable(Testing::HostBytes(target)), ImagesOfIco(MakeIco(12)));
  EXPECT_EQ(NamesIn(work_.Path()), Names({"LOGO2.ICO", "app.exe", "logo.ico"}));
}

TEST_F(IconCommand, AnIcnsForAnExecutableChangesNothing) {
  const fs::path target = CopyFixture("sample_app64.exe", "app.exe");
  Put("logo.icns", "icns bytes");
  UtilityRun run = RunInWorkFolder("-icon logo.icns -target app.exe");
  EXPECT_EQ(run.output, "Can not found resources\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(ReadFileBytes(target) == ReadFileBytes(Testing::Fixture("sample_app64.exe")));
}

TEST_F(IconCommand, AnIcoTravelsInAnArchiveWithoutAnyToolRunning) {
  const fs::path content = work_.Path() / "content";
  fs::create_directories(content);
  WriteFileBytes(content / "zentu.app", "linux program");
  WriteFileBytes(content / "readme.txt", "read me");
  MakeTgz(content, work_.Path() / "linux.tgz");
  Put("logo.ico", MakeIco(8));

  UtilityRun run = RunInWorkFolder("-icon logo.ico -target linux.tgz");
  EXPECT_EQ(run.output, "Success add resources to file: linux.tgz\n");
  EXPECT_EQ(run.exitCode, 0);
  std::map<std::string, std::string> files = ReadTgz(work_.Path() / "linux.tgz");
  EXPECT_EQ(files["readme.txt"], "read me");
  std::map<std::string, std::string> block = BlockOf(files["zentu.app"]);
  EXPECT_EQ(block.size(), 2u);
  EXPECT_EQ(block["icon.ico"], MakeIco(8));
  EXPECT_TRUE(block.count("date"));
  EXPECT_EQ(NamesIn(work_.Path()), Names({"content", "linux.tgz", "logo.ico"}));
}

TEST_F(IconCommand, AnIcnsBecomesTheIconOfADiskImagesBundle) {
  const fs::path image = CopyFixture("zentu.dmg", "Cam.dmg");
  Put("logo.icns", "icns bytes");
  Put("logo.ico", MakeIco(2));

  UtilityRun run = RunInWorkFolder("-icon logo.icns -target Cam.dmg");
  EXPECT_EQ(run.output, "Success add resources to file: Cam.dmg\n");
  EXPECT_EQ(run.exitCode, 0);
  const fs::path packed = work_.Path() / "Cam.dmg.tgz";
  const std::string archive = ReadFileBytes(packed);
  std::map<std::string, std::string> files = ReadTgz(packed);
  EXPECT_EQ(files["zentu.app/Contents/Resources/icon.icns"], "icns bytes");
  EXPECT_EQ(files.count("zentu.app/Contents/Resources/newicon.icns"), 0u);
  std::map<std::string, std::string> block = BlockOf(files["zentu.app/Contents/MacOS/zentu"]);
  EXPECT_EQ(block.size(), 2u);
  EXPECT_EQ(block["icon.icns"], "icns bytes");

  // An .ico means nothing to a bundle: there is nothing to embed.
  run = RunInWorkFolder("-icon logo.ico -target Cam.dmg");
  EXPECT_EQ(run.output, "Can not found resources\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(ReadFileBytes(packed) == archive);
  EXPECT_EQ(NamesIn(work_.Path()), Names({"Cam.dmg", "Cam.dmg.tgz", "logo.icns", "logo.ico"}));
}

}  // namespace
}  // namespace Zentu
