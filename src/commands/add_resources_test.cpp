#include "src/commands/add_resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "oem/oem_document.h"
#include "oem/oem_key_catalogue.h"
#include "src/steps/archive_tool.h"
#include "support/file_system.h"
#include "support/zlib_codec.h"
#include "tests/scoped_temp_env.h"
#include "tests/test_command_util.h"
#include "tests/test_sandbox.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::BlockEntries;
using Testing::Fixture;
using Testing::HostBytes;
using Testing::Text;
using Testing::UtilityRun;
using Vadu::String;
using Vadu::WString;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::TempFolder;
using Vadu::Testing::Wide;
using Vadu::Testing::WriteFileBytes;

// An OEM information document naming a product.
std::string OemInfoNaming(const std::string& product) {
  OemDocument document;
  SetProductName(document, String(product.c_str()));
  return Testing::Std(document.ToXml());
}

// ---- Helpers of the command -------------------------------------------------------------------

TEST(AddResourcesHelpers, DateTextIsMidnightOfTheDayInMillisecondsSinceYearOne) {
  EXPECT_EQ(DateText(Vadu::DateTime(2023, 12, 11, 0, 0, 0, 0)), "63837849600000");
  EXPECT_EQ(DateText(Vadu::DateTime(2023, 12, 11, 17, 45, 3, 120)), "63837849600000");
  EXPECT_EQ(DateText(Vadu::DateTime(2024, 2, 29, 23, 59, 59, 999)), "63844761600000");
  EXPECT_EQ(DateText(Vadu::DateTime(1, 1, 1, 12, 0, 0, 0)), "0");
}

TEST(AddResourcesHelpers, DetectsTheKindFromTheWorkingPath) {
  TempFolder folder;
  const WString sep(Vadu::PathSeparator());
  struct Case {
    const char16_t* path;
    TargetKind kind;
  };
  const Case cases[] = {
      {u"x/zentu.app/Contents/MacOS/zentu", TargetKind::kAppBundle},
      {u"x/zentu.app", TargetKind::kAppFile},
      {u"x/zentu.app/Contents/Info.plist", TargetKind::kUnknown},  // "Contents" without "MacOS"
      {u"x/cam.apk", TargetKind::kAndroid},
      {u"x/cam.exe", TargetKind::kWindows},
      {u"x/cam.apk.exe", TargetKind::kAndroid},
      {u"x/firmware.bin", TargetKind::kUnknown},
  };
  for (const Case& c : cases) {
    RebrandJob job;
    job.workingPath = WString(c.path).ReplaceAll(u"/", sep);
    const WString before = job.workingPath;
    DetectTargetKind(job);
    EXPECT_EQ(job.kind, c.kind) << Testing::Std(Vadu::ToUtf8(before));
    EXPECT_EQ(job.workingPath, before);
  }

  // Only the part below the working folder counts: a run folder named like a bundle is not one.
  RebrandJob inside;
  inside.workingFolder = Wide(folder.Path() / "My.app" / "Contents" / "MacOS");
  inside.workingPath =
      Vadu::JoinPath(Vadu::JoinPath(inside.workingFolder, u"zentu"), u"readme.txt");
  DetectTargetKind(inside);
  EXPECT_EQ(inside.kind, TargetKind::kUnknown);

  // A folder is a bundle folder, also when its name holds ".app"; a bundle folder's executable
  // becomes the working path.
  fs::create_directories(folder.Path() / "Cam.app" / "Contents" / "MacOS");
  WriteFileBytes(folder.Path() / "Cam.app" / "Contents" / "MacOS" / "zentu", "exe");
  fs::create_directories(folder.Path() / "plain");
  RebrandJob bundle;
  bundle.workingPath = Wide(folder.Path() / "Cam.app");
  DetectTargetKind(bundle);
  EXPECT_EQ(bundle.kind, TargetKind::kBundleFolder);
  EXPECT_TRUE(Vadu::FileExists(bundle.workingPath));
  EXPECT_EQ(Vadu::NormalizePath(bundle.workingPath),
            Vadu::NormalizePath(Wide(folder.Path() / "Cam.app" / "Contents" / "MacOS" / "zentu")));
  RebrandJob plain;
  plain.workingPath = Wide(folder.Path() / "plain");
  DetectTargetKind(plain);
  EXPECT_EQ(plain.kind, TargetKind::kBundleFolder);
  EXPECT_EQ(plain.workingPath, Wide(folder.Path() / "plain"));
}

TEST(AddResourcesHelpers, ProductWordComesFromTheFirstDocumentNamingAProduct) {
  RebrandJob job;
  EXPECT_EQ(job.productWord, WString(u"zentu"));
  job.resources.Set("a.XML", Testing::Bytes(OemInfoNaming("")));  // no product: skipped
  job.resources.Set("b.txt", Testing::Bytes(OemInfoNaming("Not Xml")));
  job.resources.Set("c.xml", Testing::Bytes(OemInfoNaming("My Cam")));
  job.resources.Set("d.xml", Testing::Bytes(OemInfoNaming("Later")));
  TakeProductName(job);
  EXPECT_EQ(job.productWord, WString(u"My_Cam"));

  // The word names files: separators in a product name do not make it a path.
  RebrandJob separators;
  separators.resources.Set("oem_info.xml", Testing::Bytes(OemInfoNaming("AC/DC \\ Cam")));
  TakeProductName(separators);
  EXPECT_EQ(separators.productWord, WString(u"AC_DC___Cam"));

  RebrandJob none;
  none.resources.Set("logo.png", "png");
  TakeProductName(none);
  EXPECT_EQ(none.productWord, WString(u"zentu"));
}

// ---- The command, run as a user runs it -------------------------------------------------------

using AddResourcesCommand = Testing::CommandTest;

TEST_F(AddResourcesCommand, MergesNewFilesWithTheEmbeddedOnesAndAddsTheDate) {
  // The fixture carries oem_info.xml, logo.bin and filler.
  fs::path target = CopyFixture("sample_app64_block.exe", "app.exe");
  const std::map<std::string, std::string> embedded = BlockEntries(target);
  ASSERT_EQ(embedded.size(), 3u);
  fs::path resources = MakeResources({{"logo.bin", "new logo"}, {"c.txt", std::string("c\0c", 3)}});

  const int64_t before = Testing::NowLocalValue();
  UtilityRun run = Run("-resource " + Arg(resources) + " -target " + Arg(target));
  const int64_t after = Testing::NowLocalValue();
  EXPECT_EQ(run.output, "Success add resources to file: " + Text(target) + "\n");
  EXPECT_EQ(run.exitCode, 0);

  std::map<std::string, std::string> entries = BlockEntries(target);
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries["oem_info.xml"], embedded.at("oem_info.xml"));
  EXPECT_EQ(entries["filler"], embedded.at("filler"));
  EXPECT_EQ(entries["logo.bin"], "new logo");
  EXPECT_EQ(entries["c.txt"], std::string("c\0c", 3));
  EXPECT_TRUE(Testing::IsDateOfToday(entries["date"], before, after)) << entries["date"];
  // The program itself is unchanged, and nothing is left beside it.
  EXPECT_EQ(Testing::Unsummed(HostBytes(target)),
            Testing::Unsummed(ReadFileBytes(Fixture("sample_app64.exe"))));
  EXPECT_EQ(NamesIn(work_.Path()), (std::vector<std::string>{"app.exe", "res"}));

  // A second run replaces the block instead of stacking another one.
  const auto size = fs::file_size(target);
  run = Run("-resource " + Arg(resources) + " -target " + Arg(target));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(fs::file_size(target), size);
  EXPECT_EQ(BlockEntries(target), entries);
}

TEST_F(AddResourcesCommand, ASignedExecutableComesOutUnsignedWithItsResources) {
  fs::path target = CopyFixture("sample_app64_signed.exe", "signed app.exe");
  const std::string original = ReadFileBytes(target);
  ASSERT_NE(Testing::Std(RemoveSignature(Testing::Bytes(original))), original);
  fs::path single = work_.Path() / "logo.png";
  WriteFileBytes(single, "\x89PNG");

  UtilityRun run = Run("-resource " + Arg(single) + " -target " + Arg(target));
  EXPECT_EQ(run.output, "Success add resources to file: " + Text(target) +
                            "\nWARNING: " + Text(target) + " is no longer signed: sign it again\n");
  EXPECT_EQ(run.exitCode, 0);

  const std::string result = ReadFileBytes(target);
  EXPECT_EQ(Testing::Std(RemoveSignature(Testing::Bytes(result))), result);
  EXPECT_EQ(Testing::Unsummed(HostBytes(target)),
            Testing::Unsummed(Testing::Std(RemoveSignature(Testing::Bytes(original)))));
  std::map<std::string, std::string> entries = BlockEntries(target);
  EXPECT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries["logo.png"], "\x89PNG");
  EXPECT_EQ(entries.count("date"), 1u);
}

TEST_F(AddResourcesCommand, OtherTargetsReceiveTheBlockThemselves) {
  fs::path resources = MakeResources({{"a.txt", "A"}});
  // An Android package, a file of no known kind, and a single application file given directly:
  // nothing is unpacked, renamed or repacked.
  for (const char* name : {"cam.apk", "firmware.bin", "zentu.app"}) {
    fs::path target = work_.Path() / name;
    WriteFileBytes(target, std::string("host bytes of ") + name);
    UtilityRun run = Run("-resource " + Arg(resources) + " -target " + Arg(target));
    EXPECT_EQ(run.output, "Success add resources to file: " + Text(target) + "\n") << name;
    EXPECT_EQ(run.exitCode, 0) << name;
    EXPECT_EQ(HostBytes(target), std::string("host bytes of ") + name);
    EXPECT_EQ(BlockEntries(target).at("a.txt"), "A") << name;
  }
  EXPECT_FALSE(fs::exists(sandbox_.Temp() / "zentuunpacked" / "zentu"));
  EXPECT_FALSE(fs::exists(work_.Path() / "My_Cam.app"));
}

TEST_F(AddResourcesCommand, ABundleFolderGivenAsTheTargetGetsTheBlockInItsExecutable) {
  fs::path resources = MakeResources({{"oem_info.xml", OemInfoNaming("My Cam")}});
  fs::path bundle = work_.Path() / "Cam.app";
  fs::path macos = bundle / "Contents" / "MacOS";
  fs::create_directories(macos);
  WriteFileBytes(macos / "zentu", "mach-o");
  WriteFileBytes(bundle / "Contents" / "Info.plist", "<plist/>");

  UtilityRun run = Run("-resource " + Arg(resources) + " -target " + Arg(bundle));
  EXPECT_EQ(run.output, "Success add resources to file: " + Text(bundle) + "\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(HostBytes(macos / "zentu"), "mach-o");
  EXPECT_EQ(BlockEntries(macos / "zentu").count("oem_info.xml"), 1u);
  EXPECT_EQ(ReadFileBytes(bundle / "Contents" / "Info.plist"), "<plist/>");

  // The executable inside a bundle given directly: the bundle is neither renamed nor removed.
  run = Run("-resource " + Arg(resources) + " -target " + Arg(macos / "zentu"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(HostBytes(macos / "zentu"), "mach-o");
  EXPECT_TRUE(fs::exists(bundle / "Contents" / "Info.plist"));
  EXPECT_FALSE(fs::exists(work_.Path() / "My_Cam.app"));
}

// ---- Failures -----------------------------------------------------------------------------------

TEST_F(AddResourcesCommand, AMissingTargetIsReportedAndLogged) {
  fs::path resources = MakeResources({{"a.txt", "A"}});
  fs::path target = work_.Path() / "nothere.exe";
  UtilityRun run = Run("-resource " + Arg(resources) + " -target " + Arg(target));
  EXPECT_EQ(run.output,
            "ERROR: can't find nothere.exe\nERROR: resource not exist : " + Text(target) + "\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(MainLog().find("\r\nERROR: resource not exist: " + Text(target) + "\r\n"),
            std::string::npos);
}

TEST_F(AddResourcesCommand, AFailedRunSaysWhyAndLeavesTheTargetByteForByte) {
  const fs::path target = CopyFixture("sample_app64_block.exe", "app.exe");
  const std::string before = ReadFileBytes(target);
  const fs::path resources = MakeResources({{"a.txt", "A"}});
  const fs::path broken = work_.Path() / "broken.ico";
  WriteFileBytes(broken, "not an icon");
  // More than a block carries, told from the size before anything is read.
  const fs::path huge = work_.Path() / "huge";
  fs::create_directories(huge);
  { std::ofstream(huge / "big.bin").put('x'); }
  fs::resize_file(huge / "big.bin", Vadu::kMaxInflatedSize);
  const std::vector<std::string> names = NamesIn(work_.Path());
  const std::string T = " -target " + Arg(target);
  const std::string R = " -resource " + Arg(resources);
  const std::string missing = Arg(work_.Path() / "missing");
  struct Case {
    std::string parameters;
    std::string output;
  };
  const Case cases[] = {
      {" -resource " + missing + T, "ERROR: can't find missing\n"},
      {R + " -icon " + missing + T, "ERROR: can't find missing\n"},
      {" -icon " + missing + T, "ERROR: can't find missing\n"},
      {R + " -icon " + Arg(broken) + T, "Cannot add icon\nERROR: can't replace icon\n\n"},
      {" -resource " + Arg(huge) + T,
       "ERROR: resources too large: 1073741839 bytes with their names, at most 1073741824 can be "
       "embedded\n"},
  };
  for (const Case& c : cases) {
    // Standard output alone: the icon tool says on standard error why it failed.
    const UtilityRun run = RunOwnOutput(c.parameters);
    EXPECT_EQ(run.output, c.output) << c.parameters;
    EXPECT_EQ(run.exitCode, 1) << c.parameters;
    EXPECT_EQ(ReadFileBytes(target), before) << c.parameters;
    EXPECT_EQ(NamesIn(work_.Path()), names) << c.parameters;
  }
  // The log names the missing file by its full path, with the system's reason.
  const std::string log = MainLog();
  EXPECT_NE(log.find("[ERROR]:\r\nERROR: can't find missing\r\nFile: " +
                     Text(work_.Path() / "missing") + "\r\nReason: "),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("Reason: \r\n"), std::string::npos) << "a reason is never empty";
}

TEST_F(AddResourcesCommand, ReplaceDropsTheEmbeddedResourcesAndIsTheWayPastADamagedBlock) {
  const fs::path resources = MakeResources({{"a.txt", "A"}});
  const fs::path target = work_.Path() / "app.bin";
  Testing::WriteWithBlock(target, "host", {{"old.txt", "O"}, {"a.txt", "old A"}});
  UtilityRun run = Run("-replace -resource " + Arg(resources) + " -target " + Arg(target));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  std::map<std::string, std::string> entries = BlockEntries(target);
  EXPECT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries["a.txt"], "A");
  EXPECT_EQ(entries.count("date"), 1u);

  // A block that does not inflate is never dropped silently: the error names the way out.
  const fs::path damaged = work_.Path() / "damaged.bin";
  WriteFileBytes(damaged,
                 std::string("host") + "not zlib!!" + std::string("\x0a\0\0\0", 4) + "OEM");
  const std::string before = ReadFileBytes(damaged);
  run = Run("-resource " + Arg(resources) + " -target " + Arg(damaged));
  EXPECT_EQ(run.output, "ERROR: damaged resources in " + Text(damaged) +
                            ": brand it with -replace to replace them\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadFileBytes(damaged), before);
  run = Run("-resource " + Arg(resources) + " -target " + Arg(damaged) + " -replace");
  EXPECT_EQ(run.output, "Success add resources to file: " + Text(damaged) + "\n");
  EXPECT_EQ(HostBytes(damaged), "host");
  EXPECT_EQ(BlockEntries(damaged).size(), 2u);
}

TEST_F(AddResourcesCommand, NothingToEmbedLeavesTheTargetAndTheExitCode) {
  fs::path resources = work_.Path() / "only folders";
  fs::create_directories(resources / "sub");
  WriteFileBytes(resources / "sub" / "x.txt", "x");
  fs::path target = CopyFixture("sample_app64.exe", "app.exe");
  UtilityRun run = Run("-resource " + Arg(resources) + " -target " + Arg(target));
  EXPECT_EQ(run.output, "Can not found resources\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(ReadFileBytes(target), ReadFileBytes(Fixture("sample_app64.exe")));
}

TEST_F(AddResourcesCommand, AFolderWithoutAnExecutableIsNotWrittenInto) {
  fs::path resources = MakeResources({{"a.txt", "A"}});
  fs::path folder = work_.Path() / "folder";
  fs::create_directories(folder);
  UtilityRun run = Run("-resource " + Arg(resources) + " -target " + Arg(folder));
  EXPECT_EQ(run.output, "ERROR: can't find zentu executable file\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(MainLog().find("[ERROR]:\r\nERROR: can't find zentu executable file " + Text(folder) +
                           "\r\n"),
            std::string::npos);
  EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(AddResourcesCommand, TwoRunsOnOneTargetTakeTurnsAndBothKeepTheirResources) {
  const fs::path target = CopyFixture("sample_app64.exe", "app.exe");
  std::vector<std::string> commands;
  for (const std::string name : {"first", "second"}) {
    const fs::path folder = work_.Path() / name;
    fs::create_directories(folder);
    WriteFileBytes(folder / (name + ".txt"), name);
    commands.push_back("-resource " + Arg(folder) + " -target " + Arg(target));
  }
  for (const UtilityRun& run : sandbox_.RunTogether(commands)) {
    EXPECT_EQ(run.output, "Success add resources to file: " + Text(target) + "\n");
    EXPECT_EQ(run.exitCode, 0);
  }
  const std::map<std::string, std::string> block = Testing::BlockEntries(target);
  EXPECT_EQ(block.count("first.txt"), 1u);
  EXPECT_EQ(block.count("second.txt"), 1u);
}

// ---- Archives and disk images -----------------------------------------------------------------

// Archives made and read with the archive tool itself, in this process.
class AddResourcesToPackages : public Testing::CommandTest {
 protected:
  // An OEM information document with a product name and an identifier.
  fs::path MakeBrandResources() {
    OemDocument document;
    SetProductName(document, "My Cam");
    SetVersionUniqueID(document, "com example cam");
    return MakeResources({{"oem_info.xml", Testing::Std(document.ToXml())}, {"logo.png", "png"}});
  }
};

const char kInfoPlist[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
    "\t<key>CFBundleExecutable</key>\n\t<string>zentu</string>\n"
    "\t<key>CFBundleIdentifier</key>\n\t<string>com.zentu.client</string>\n"
    "\t<key>CFBundleName</key>\n\t<string>zentu</string>\n</dict>\n</plist>\n";

TEST_F(AddResourcesToPackages, ASingleApplicationFileTakesTheProductNameAndEveryFileStays) {
  fs::path content = work_.Path() / "content";
  fs::create_directories(content / "docs");
  WriteFileBytes(content / "zentu.app",
                 "\x7f"
                 "ELF linux program");
  WriteFileBytes(content / "readme.txt", "read me");
  WriteFileBytes(content / "docs" / "manual.txt", "manual");
  // A name with a space and an upper-case extension.
  MakeTgz(content, work_.Path() / "Linux Package.TGZ");
  // An archive of the same name beside the utility is not the one meant.
  MakeTgz(content / "docs", sandbox_.Folder() / "Linux Package.TGZ");
  fs::path resources = MakeBrandResources();

  UtilityRun run;
  {
    Testing::CurrentDirectory current(work_.Path());
    run = Run("-resource " + Arg(resources) + " -target \"Linux Package.TGZ\"");
  }
  EXPECT_EQ(run.output, "Success add resources to file: Linux Package.TGZ\n");
  EXPECT_EQ(run.exitCode, 0);

  std::map<std::string, std::string> files = ReadTgz(work_.Path() / "Linux Package.TGZ");
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"My_Cam.app", "docs/manual.txt", "readme.txt"}));
  EXPECT_EQ(files["readme.txt"], "read me");
  EXPECT_EQ(files["docs/manual.txt"], "manual");
  WriteFileBytes(work_.Path() / "app", files["My_Cam.app"]);
  EXPECT_EQ(HostBytes(work_.Path() / "app"),
            "\x7f"
            "ELF linux program");
  std::map<std::string, std::string> entries = BlockEntries(work_.Path() / "app");
  EXPECT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries["logo.png"], "png");
  // Nothing is left beside the archive.
  EXPECT_EQ(NamesIn(work_.Path()),
            (std::vector<std::string>{"Linux Package.TGZ", "app", "content", "res"}));
}

TEST_F(AddResourcesToPackages, ADiskImageGivesAnArchiveBesideItAndStays) {
  fs::path image = CopyFixture("zentu.dmg", "Cam.dmg");
  const std::string original = ReadFileBytes(image);
  // The archive tool may complain on standard error that it cannot make the image's link.
  UtilityRun run =
      RunOwnOutput("-resource " + Arg(MakeBrandResources()) + " -target " + Arg(image));
  EXPECT_EQ(run.output, "Success add resources to file: " + Text(image) + "\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(ReadFileBytes(image), original);

  std::map<std::string, std::string> files = ReadTgz(work_.Path() / "Cam.dmg.tgz");
  const std::string executable = "My_Cam.app/Contents/MacOS/My Cam";
  ASSERT_EQ(files.count(executable), 1u);
  for (const auto& [name, bytes] : files) EXPECT_EQ(name.rfind("My_Cam.app/", 0), 0u) << name;
  WriteFileBytes(work_.Path() / "exe", files[executable]);
  EXPECT_EQ(BlockEntries(work_.Path() / "exe").at("logo.png"), "png");
  const std::string plist = files["My_Cam.app/Contents/Info.plist"];
  EXPECT_NE(plist.find("<string>My Cam</string>"), std::string::npos) << plist;
  EXPECT_NE(plist.find("<string>com.example.cam</string>"), std::string::npos) << plist;
  EXPECT_NE(files["My_Cam.app/Contents/version.plist"].find("<string>My Cam</string>"),
            std::string::npos);
}

TEST_F(AddResourcesToPackages, AnArchiveWithoutAnApplicationIsNotWrittenInto) {
  fs::path content = work_.Path() / "content";
  fs::create_directories(content);
  WriteFileBytes(content / "readme.txt", "no program here");
  fs::path empty = work_.Path() / "empty.tgz";
  MakeTgz(content, empty);
  fs::path broken = work_.Path() / "broken.tgz";
  WriteFileBytes(broken, "not an archive at all");
  fs::path notImage = work_.Path() / "broken.dmg";
  WriteFileBytes(notImage, "not a disk image either");
  fs::path resources = MakeResources({{"a.txt", "A"}});
  const std::string before = ReadFileBytes(empty);
  UtilityRun run = RunOwnOutput("-resource " + Arg(resources) + " -target " + Arg(empty));
  EXPECT_EQ(run.output, "ERROR: can't find zentu executable file\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadFileBytes(empty), before);
  EXPECT_NE(MainLog().find("ERROR: can't find zentu executable file " + Text(empty) + "\r\n"),
            std::string::npos);
  // What does not unpack at all says so.
  for (const fs::path& target : {broken, notImage}) {
    const std::string bytes = ReadFileBytes(target);
    run = RunOwnOutput("-resource " + Arg(resources) + " -target " + Arg(target));
    EXPECT_EQ(run.output, "ERROR: can't unpack " + Text(target) + "\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(ReadFileBytes(target), bytes) << target;
  }
}

TEST_F(AddResourcesToPackages, AnArchiveThatDoesNotUnpackWholeIsNeitherRepackedNorWrittenInto) {
  fs::path content = work_.Path() / "content";
  fs::create_directories(content);
  // Bytes that do not compress, so that a cut archive lacks part of the program.
  std::string program(300 * 1024, '\0');
  uint32_t state = 12345;
  for (char& c : program) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
  WriteFileBytes(content / "zentu.app", program);
  const fs::path whole = work_.Path() / "whole.tgz";
  MakeTgz(content, whole);
  const std::string archive = ReadFileBytes(whole);

  // The last 30% cut off.
  const fs::path truncated = work_.Path() / "truncated.tgz";
  WriteFileBytes(truncated, archive.substr(0, archive.size() * 7 / 10));
  // A tar cut short and named like a disk image.
  const std::string tarBytes = Vadu::Testing::InflatedFile(whole);
  const fs::path image = work_.Path() / "cut.dmg";
  WriteFileBytes(image, tarBytes.substr(0, tarBytes.size() * 7 / 10));

  const fs::path resources = MakeResources({{"a.txt", "A"}});
  for (const fs::path& target : {truncated, image}) {
    const std::string before = ReadFileBytes(target);
    UtilityRun run = RunOwnOutput("-resource " + Arg(resources) + " -target " + Arg(target));
    EXPECT_EQ(run.output, "ERROR: can't unpack " + Text(target) + "\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(ReadFileBytes(target), before) << target;
  }
  EXPECT_EQ(NamesIn(work_.Path()),
            (std::vector<std::string>{"content", "cut.dmg", "res", "truncated.tgz", "whole.tgz"}))
      << "something was written beside the targets";
}

TEST_F(AddResourcesToPackages, TheStockApplicationIsChosenAndNoRenameReplacesAnotherFile) {
  fs::path content = work_.Path() / "content";
  fs::create_directories(content);
  // Listed before the stock application.
  WriteFileBytes(content / "Helper.app", "helper");
  WriteFileBytes(content / "zentu.app", "program");
  const fs::path archive = work_.Path() / "product.tgz";
  MakeTgz(content, archive);

  UtilityRun run =
      RunOwnOutput("-resource " + Arg(MakeBrandResources()) + " -target " + Arg(archive));
  EXPECT_EQ(run.output, "Success add resources to file: " + Text(archive) + "\n");
  std::map<std::string, std::string> files = ReadTgz(archive);
  EXPECT_EQ(files.size(), 2u);
  EXPECT_EQ(files["Helper.app"], "helper");
  const fs::path program = work_.Path() / "program";
  WriteFileBytes(program, files["My_Cam.app"]);
  EXPECT_EQ(Testing::HostBytes(program), "program");

  // A product whose name is taken by another file of the package: nothing is replaced.
  MakeTgz(content, archive);
  const std::string before = ReadFileBytes(archive);
  OemDocument document;
  SetProductName(document, "Helper");
  fs::remove_all(work_.Path() / "res");
  run = RunOwnOutput("-resource " +
                     Arg(MakeResources({{"oem_info.xml", Testing::Std(document.ToXml())}})) +
                     " -target " + Arg(archive));
  EXPECT_EQ(run.output, "ERROR: can't rename zentu.app to Helper.app: the name is taken\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadFileBytes(archive), before);
}

}  // namespace
}  // namespace Zentu
