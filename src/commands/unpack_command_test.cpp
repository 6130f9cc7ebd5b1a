#include "src/commands/unpack_command.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <random>
#include <thread>

#include "support/file_lock.h"
#include "support/zlib_codec.h"
#include "tests/test_command_util.h"

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

TEST(ResourceNames, OnlyValidUtf8NamesAreSafe) {
  for (const char* name : {"caf\xC3\xA9.png", "\xE4\xB8\xAD/\xF0\x9F\x98\x80.txt", "\xEF\xBF\xBD"})
    EXPECT_TRUE(IsSafeResourceName(name)) << name;
  // Overlong forms of "." and "/" (what a lenient decoder turns them into), Latin-1, stray and
  // out-of-range bytes, an encoded surrogate, a truncated sequence.
  for (const char* name :
       {"\xC0\xAE\xC0\xAE/x", "a/\xC0\xAE\xC0\xAE\\x", "\xE0\x80\xAE\xE0\x80\xAE/x",
        "\xC0\xAFpasswd", "\xF0\x80\x80\xAFpasswd", "caf\xE9.png", "\xFF.txt", "\x80",
        "\xF8\x88\x80\x80\x80", "\xF4\x90\x80\x80", "\xED\xA0\x80.txt", "a\xE2\x82"})
    EXPECT_FALSE(IsSafeResourceName(name)) << name;
  // A zero byte would cut the name short when it is written.
  EXPECT_FALSE(IsSafeResourceName(Vadu::String("ok.txt\0.png", 11)));
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

  // Again over an earlier result: afterwards the folder holds this file's resources alone.
  WriteFileBytes(out / "a.png", "stale");
  WriteFileBytes(out / "other target's.txt", "stale");
  EXPECT_EQ(Run("-unpack " + Arg(target)).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(out / "a.png"), logo);
  EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"a.png", "date", "empty.txt", "oem_info.xml"}));
  EXPECT_EQ(NamesIn(sandbox_.Folder()).size(), 3u) << "the utility, its log, unpack_res";
}

// A run into a folder another run holds waits for it, so the two never mix; the staging folders
// of killed runs go (this user's only), and nothing below the folder is written through a link.
TEST_F(UnpackCommand, RunsIntoOneFolderTakeTurnsAndKilledRunsLeaveNothing) {
  fs::path target = CopyFixture("sample_app64.exe", "app.exe");
  ASSERT_EQ(
      Run("-resource " + Arg(MakeResources({{"a.txt", "A"}})) + " -target " + Arg(target)).exitCode,
      0);
  const fs::path folder = sandbox_.Folder();
  const fs::path dead = folder / "unpack_res.~0123456789abcdef";
  fs::create_directories(dead / "sub");
  WriteFileBytes(dead / "sub" / "left", "left");
  const fs::path theirs = folder / "unpack_res.~fedcba9876543210";
  fs::create_directory(theirs);
#ifdef _WIN32
  const bool root = false;  // every folder there counts as the user's own
#else
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
  }
#endif

  Vadu::FileLock held;
  ASSERT_EQ(held.AcquireFolder(Vadu::Testing::Wide(folder), std::chrono::milliseconds(0)),
            Vadu::FileLock::Status::kLocked);
  auto waiting = std::async(std::launch::async, [&] { return Run("-unpack " + Arg(target)); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(fs::exists(folder / "unpack_res")) << "written while another run held the folder";
  EXPECT_TRUE(fs::exists(dead));
  held.Release();
  const UtilityRun run = waiting.get();
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(NamesIn(folder / "unpack_res"), (std::vector<std::string>{"a.txt", "date"}));
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_EQ(fs::exists(theirs), root) << "another user's folder is never removed";
}

TEST_F(UnpackCommand, EveryFailureIsReportedAndWritesNothing) {
  UtilityRun run = Run("-unpack " + Arg(work_.Path() / "nothere.exe"));
  EXPECT_EQ(run.output, "ERROR: can't find nothere.exe\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_FALSE(fs::exists(sandbox_.Folder() / "oem_info.xml"));

  fs::path plain = CopyFixture("sample_app64.exe", "plain.exe");
  fs::path corrupt = work_.Path() / "corrupt.bin";
  WriteFileBytes(corrupt,
                 std::string("host") + "not a zlib stream" + std::string("\x11\0\0\0", 4) + "OEM");
  run = Run("-unpack " + Arg(plain));
  EXPECT_EQ(run.output, "ERROR: no resources found in " + Text(plain) + "\n");
  EXPECT_EQ(run.exitCode, 1);
  run = Run("-unpack " + Arg(corrupt));
  EXPECT_EQ(run.output, "ERROR: damaged resources in " + Text(corrupt) + "\n");
  EXPECT_EQ(run.exitCode, 1);
  run = Run("-unpack " + Arg(work_.Path()));
  EXPECT_EQ(run.output, "ERROR: can't read " + Text(work_.Path()) + ": it is a folder\n");
  EXPECT_EQ(run.exitCode, 1);
  run = Run("-unpack");
  EXPECT_EQ(run.output, "ERROR: no file to unpack\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_FALSE(fs::exists(sandbox_.Folder() / "unpack_res"));

  // An output folder that cannot be made.
  fs::path target = CopyFixture("sample_app64_block.exe", "app.exe");
  WriteFileBytes(sandbox_.Folder() / "unpack_res", "a file in the way");
  run = Run("-unpack " + Arg(target));
  // The line ends with the system's reason.
  EXPECT_EQ(
      run.output.rfind("ERROR: can't write " + Text(sandbox_.Folder() / "unpack_res") + ": ", 0),
      0u)
      << run.output;
  EXPECT_GT(run.output.size(), Text(sandbox_.Folder() / "unpack_res").size() + 24) << run.output;
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadFileBytes(sandbox_.Folder() / "unpack_res"), "a file in the way");
  EXPECT_EQ(NamesIn(sandbox_.Folder()).size(), 3u) << "a staging folder was left";
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

TEST_F(UnpackCommand, RefusesNamesThatAreNotUtf8AndWritesTheOthers) {
  // Overlong forms of ".." that a lenient decoder would let climb out of the folder, one level
  // (beside the utility) and two (beside the sandbox).
  const std::string escape = "escape-" + Text(sandbox_.Folder().filename()) + ".txt";
  const std::string overlong1 = "\xC0\xAE\xC0\xAE/" + escape;
  const std::string overlong2 = "\xC0\xAE\xC0\xAE/\xC0\xAE\xC0\xAE/" + escape;
  const std::string overlong3 = "\xE0\x80\xAE\xE0\x80\xAE/three-" + escape;
  const std::string latin1 = "caf\xE9.png";
  fs::path crafted = work_.Path() / "crafted.oem";
  Testing::WriteWithBlock(crafted, "",
                          {{overlong1, "x"},
                           {overlong2, "x"},
                           {overlong3, "x"},
                           {latin1, "latin-1"},
                           {"ok.txt", "ok"},
                           {"sub/inner.txt", "inner"},
                           {"valid \xC3\xA9\xE4\xB8\xAD.txt", "valid"}});
  UtilityRun run = Run("-unpack " + Arg(crafted));
  // In the block's order (bytes, unsigned), each byte that is not UTF-8 shown escaped.
  EXPECT_EQ(run.output,
            "ERROR: unsafe resource name: caf\\xE9.png\n"
            "ERROR: unsafe resource name: \\xC0\\xAE\\xC0\\xAE/" +
                escape + "\n" +
                "ERROR: unsafe resource name: \\xC0\\xAE\\xC0\\xAE/\\xC0\\xAE\\xC0\\xAE/" + escape +
                "\n" + "ERROR: unsafe resource name: \\xE0\\x80\\xAE\\xE0\\x80\\xAE/three-" +
                escape + "\n");
  EXPECT_EQ(run.exitCode, 1);
  const fs::path out = sandbox_.Folder() / "unpack_res";
  EXPECT_EQ(NamesIn(out),
            (std::vector<std::string>{"ok.txt", "sub", "valid \xC3\xA9\xE4\xB8\xAD.txt"}));
  EXPECT_EQ(ReadFileBytes(out / "ok.txt"), "ok");
  EXPECT_EQ(ReadFileBytes(out / "sub" / "inner.txt"), "inner");
  EXPECT_EQ(ReadFileBytes(out / fs::u8path("valid \xC3\xA9\xE4\xB8\xAD.txt")), "valid");
  EXPECT_FALSE(fs::exists(sandbox_.Folder() / escape));
  EXPECT_FALSE(fs::exists(sandbox_.Folder() / ("three-" + escape)));
  EXPECT_FALSE(fs::exists(sandbox_.Folder().parent_path() / escape));

  // A name cut short by a zero byte would overwrite the entry named by its first part.
  fs::path cut = work_.Path() / "cut.oem";
  Testing::WriteWithBlock(cut, "", {{"ok.txt", "first"}, {std::string("ok.txt\0.png", 11), "cut"}});
  run = Run("-unpack " + Arg(cut));
  // The line shows the whole name, its zero byte escaped.
  EXPECT_EQ(run.output, "ERROR: unsafe resource name: ok.txt\\x00.png\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadFileBytes(out / "ok.txt"), "first");
}

TEST_F(UnpackCommand, OnlyTheBlockIsReadEvenBehindFourGiBOfProgram) {
  const fs::path block = work_.Path() / "block.oem";
  Testing::WriteWithBlock(block, "", {{"a.txt", "A"}, {"b.txt", std::string(100000, 'b')}});
  const fs::path huge = work_.Path() / "huge.exe";
  const uintmax_t hostSize = (uintmax_t{4} << 30) + 16;
  {
    std::ofstream out(huge, std::ios::binary);
    out << "MZ";
  }
  std::error_code error;
  fs::resize_file(huge, hostSize, error);
  if (error) GTEST_SKIP() << "no sparse 4 GiB file here: " << error.message();
  {
    std::ofstream out(huge, std::ios::binary | std::ios::app);
    out << ReadFileBytes(block);
  }
  const UtilityRun run = Run("-unpack " + Arg(huge));
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.exitCode, 0);
  const fs::path out = sandbox_.Folder() / "unpack_res";
  EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(ReadFileBytes(out / "b.txt"), std::string(100000, 'b'));
  fs::remove(huge);
}

TEST_F(UnpackCommand, ABlockFoundDamagedAfterItsFirstEntriesChangesNothing) {
  const fs::path good = work_.Path() / "good.oem";
  Testing::WriteWithBlock(good, "", {{"kept.txt", "kept"}});
  ASSERT_EQ(Run("-unpack " + Arg(good)).exitCode, 0);
  // Whole entries first, then one whose name is empty: the form is malformed only at its end.
  auto entry = [](const std::string& name, const std::string& value) {
    std::string bytes;
    for (const std::string& field : {name, value}) {
      for (int i = 0; i < 4; ++i) bytes += static_cast<char>(field.size() >> (8 * i));
      bytes += field;
    }
    return bytes;
  };
  const Vadu::String payload =
      Vadu::Deflate(Vadu::String(entry("a.txt", "A") + entry("b.txt", "B") + entry("", "C")));
  std::string length(4, '\0');
  for (int i = 0; i < 4; ++i) length[i] = static_cast<char>(payload.Length() >> (8 * i));
  const fs::path damaged = work_.Path() / "damaged.oem";
  WriteFileBytes(damaged, std::string(payload.ToView()) + length + "OEM");
  const UtilityRun run = Run("-unpack " + Arg(damaged));
  EXPECT_EQ(run.output, "ERROR: damaged resources in " + Text(damaged) + "\n");
  EXPECT_EQ(run.exitCode, 1);
  const fs::path out = sandbox_.Folder() / "unpack_res";
  EXPECT_EQ(NamesIn(out), std::vector<std::string>{"kept.txt"});
  EXPECT_EQ(NamesIn(sandbox_.Folder()).size(), 3u) << "a staging folder was left";
}

}  // namespace
}  // namespace Zentu
