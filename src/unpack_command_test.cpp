#include "src/unpack_command.h"

#include <gtest/gtest.h>

#include <random>

#include "src/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::BlockEntries;
using Testing::Text;
using Testing::UtilityRun;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::TempFolder;
using Vadu::Testing::WriteFileBytes;

TEST(ResourceNames, NamesThatWouldLeaveTheOutputFolderAreUnsafe) {
  for (const char* name :
       {"logo.png", "date", "skins/dark/a.png", "skins\\a.png", "a..b", "..a", "./x", "1:x"})
    EXPECT_TRUE(IsSafeResourceName(name)) << name;
  for (const char* name : {"..", "../x", "a/../../x", "a\\..\\x", "x/..", "/etc/passwd",
                           "\\Windows\\x", "\\\\server\\share\\x", "C:x", "c:\\x", "x:y", "a/D:/x"})
    EXPECT_FALSE(IsSafeResourceName(name)) << name;
}

using UnpackCommand = Testing::CommandTest;

TEST_F(UnpackCommand, GivesBackTheExactBytesOfEveryResourceBesideTheUtility) {
  std::mt19937 random(3);
  std::string logo(5000, '\0');
  for (char& c : logo) c = static_cast<char>(random());
  const std::map<std::string, std::string> files = {
      {"a.png", logo}, {"oem_info.xml", "<?xml version=\"1.0\"?>\n<oem/>\n"}, {"empty.txt", ""}};
  fs::path resources = MakeResources(files);
  fs::path target = CopyFixture("sample_app64.exe", "app.exe");
  ASSERT_EQ(Run("-resource " + Arg(resources) + " -target " + Arg(target)).exitCode, 0);
  const std::string date = BlockEntries(target).at("date");

  // Run from another folder: the output still goes beside the utility.
  TempFolder elsewhere;
  UtilityRun run;
  {
    Testing::CurrentDirectory current(elsewhere.Path());
    run = Run("-unpack " + Arg(target));
  }
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(fs::is_empty(elsewhere.Path()));
  const fs::path out = sandbox_.Folder() / "unpack_res";
  EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"a.png", "date", "empty.txt", "oem_info.xml"}));
  for (const auto& [name, bytes] : files) EXPECT_EQ(ReadFileBytes(out / name), bytes) << name;
  EXPECT_EQ(ReadFileBytes(out / "date"), date);

  // Again over an earlier result: same names are overwritten, other files stay.
  WriteFileBytes(out / "a.png", "stale");
  WriteFileBytes(out / "mine.txt", "kept");
  EXPECT_EQ(Run("-unpack " + Arg(target)).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(out / "a.png"), logo);
  EXPECT_EQ(ReadFileBytes(out / "mine.txt"), "kept");
}

TEST_F(UnpackCommand, WritesNothingForAMissingFileOrAFileWithoutABlock) {
  // -unpack comes before every other command.
  UtilityRun run = Run("-getxml -unpack " + Arg(work_.Path() / "nothere.exe"));
  EXPECT_EQ(run.output, "ERROR: can't find nothere.exe\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_FALSE(fs::exists(sandbox_.Folder() / "oem_info.xml"));

  fs::path plain = CopyFixture("sample_app64.exe", "plain.exe");
  fs::path corrupt = work_.Path() / "corrupt.bin";
  WriteFileBytes(corrupt,
                 std::string("host") + "not a zlib stream" + std::string("\x11\0\0\0", 4) + "OEM");
  for (const fs::path& file : {plain, corrupt}) {
    run = Run("-unpack " + Arg(file));
    EXPECT_EQ(run.output, "") << file;
    EXPECT_EQ(run.exitCode, 0) << file;
  }
  run = Run("-unpack");
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_FALSE(fs::exists(sandbox_.Folder() / "unpack_res"));
}

TEST_F(UnpackCommand, RefusesNamesThatWouldLeaveTheFolderAndWritesTheOthers) {
  fs::path crafted = work_.Path() / "crafted.oem";
  Testing::WriteWithBlock(crafted, "",
                          {{"../escape.txt", "x"},
                           {"/abs.txt", "x"},
                           {"C:drive.txt", "x"},
                           {"ok.txt", "ok"},
                           {"sub/../../up.txt", "x"},
                           {"sub/inner.txt", "inner"}});
  UtilityRun run = Run("-unpack " + Arg(crafted));
  EXPECT_EQ(run.output,
            "ERROR: unsafe resource name: ../escape.txt\n"
            "ERROR: unsafe resource name: /abs.txt\n"
            "ERROR: unsafe resource name: C:drive.txt\n"
            "ERROR: unsafe resource name: sub/../../up.txt\n");
  EXPECT_EQ(run.exitCode, 1);
  const fs::path out = sandbox_.Folder() / "unpack_res";
  EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"ok.txt", "sub"}));
  EXPECT_EQ(ReadFileBytes(out / "sub" / "inner.txt"), "inner");
  EXPECT_FALSE(fs::exists(sandbox_.Folder() / "escape.txt"));
  EXPECT_FALSE(fs::exists(sandbox_.Folder() / "up.txt"));
}

}  // namespace
}  // namespace Zentu
