#include "src/steps/run_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "src/steps/payloads.h"
#include "support/file_lock.h"
#include "support/file_system.h"
#include "support/private_folder.h"
#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::Text;
using Testing::UtilityRun;
using Vadu::WString;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::Wide;
using Vadu::Testing::WriteFileBytes;

fs::path PathOf(const WString& path) { return fs::u8path(Testing::Std(Vadu::ToUtf8(path))); }

// False where the time of a folder cannot be set (Wine).
bool MakeOld(const fs::path& path) {
  std::error_code error;
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1), error);
  return !error;
}

TEST(RunFolderTest, APrivateFolderPerRunThatIsGoneWhenTheRunEnds) {
  Testing::ScopedTempEnvironment temp;
  const WString folder = RunFolder();
  ASSERT_FALSE(folder.IsEmpty());
  EXPECT_EQ(RunFolder(), folder) << "one folder for the whole run";
  EXPECT_EQ(PathOf(folder).parent_path(), temp.Folder().Path());
  EXPECT_TRUE(PathOf(folder).filename().string().starts_with("zentu-run-"));
  EXPECT_TRUE(Vadu::IsOwnFolder(folder));
  EXPECT_TRUE(Vadu::MarkerFileHeld(Vadu::JoinPath(folder, u".alive")));

  RemoveRunFolder();
  EXPECT_FALSE(fs::exists(PathOf(folder)));
  const WString next = RunFolder();
  EXPECT_NE(next, folder);
  EXPECT_TRUE(fs::is_directory(PathOf(next)));
}

TEST(RunFolderTest, OnlyFoldersOfEndedRunsOfThisUserAreRemoved) {
  Testing::ScopedTempEnvironment temp;
  const fs::path root = temp.Folder().Path();
  // Ended: its marker is held by nobody.
  fs::create_directories(root / "zentu-run-0000000000000001" / "zentuunpacked");
  WriteFileBytes(root / "zentu-run-0000000000000001" / ".alive", "");
  // Alive: another run holds its marker.
  fs::create_directories(root / "zentu-run-0000000000000002");
  ASSERT_TRUE(Vadu::HoldMarkerFile(Wide(root / "zentu-run-0000000000000002" / ".alive")));
  // Without a marker: a run about to make one, unless it has been like that for long.
  fs::create_directories(root / "zentu-run-0000000000000003");
  fs::create_directories(root / "zentu-run-0000000000000004");
  const bool aged = MakeOld(root / "zentu-run-0000000000000004");
  // The shared folder of older versions, and what is not ours to remove.
  fs::create_directories(root / "zentuunpacked" / "zentu");
  WriteFileBytes(root / "zentu-run-file", "not a folder");
  fs::create_directories(root / "other");

  RemoveLeftoversOfKilledRuns();
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(root))
    left.push_back(Text(entry.path().filename()));
  std::sort(left.begin(), left.end());
  std::vector<std::string> expected{"other", "zentu-run-0000000000000002",
                                    "zentu-run-0000000000000003", "zentu-run-file"};
  if (!aged) expected.insert(expected.begin() + 3, "zentu-run-0000000000000004");
  EXPECT_EQ(left, expected);
}

// ---- Runs of the utility side by side -------------------------------------------------------

class RunIsolation : public Testing::CommandTest {};

TEST_F(RunIsolation, ParallelBrandingsWithOneTemporaryFolderEachKeepTheirOwnFiles) {
  constexpr int kRuns = 8;
  std::vector<fs::path> archives;
  std::vector<std::string> commands;
  for (int i = 0; i < kRuns; ++i) {
    const std::string n = std::to_string(i);
    const fs::path content = work_.Path() / ("content" + n);
    fs::create_directories(content / ("docs" + n));
    WriteFileBytes(content / "zentu.app", "program " + n);
    WriteFileBytes(content / ("docs" + n) / ("readme" + n + ".txt"), "read me " + n);
    archives.push_back(work_.Path() / ("product" + n + ".tgz"));
    MakeTgz(content, archives.back());
    const fs::path resources = work_.Path() / ("res" + n);
    fs::create_directories(resources);
    WriteFileBytes(resources / ("own" + n + ".txt"), "resource " + n);
    commands.push_back("-resource " + Arg(resources) + " -target " + Arg(archives.back()));
  }

  // All runs share the sandbox's temporary folder, as runs on one machine do.
  const std::vector<UtilityRun> runs = sandbox_.RunTogether(commands);
  for (int i = 0; i < kRuns; ++i) {
    const std::string n = std::to_string(i);
    SCOPED_TRACE("run " + n);
    const UtilityRun& run = runs[i];
    EXPECT_EQ(run.output, "Success add resources to file: " + Text(archives[i]) + "\n");
    EXPECT_EQ(run.exitCode, 0);
    std::map<std::string, std::string> files = ReadTgz(archives[i]);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files["docs" + n + "/readme" + n + ".txt"], "read me " + n);
    const fs::path program = work_.Path() / ("program" + n);
    WriteFileBytes(program, files["zentu.app"]);
    EXPECT_EQ(Testing::HostBytes(program), "program " + n);
    std::map<std::string, std::string> block = Testing::BlockEntries(program);
    EXPECT_EQ(block.size(), 2u);
    EXPECT_EQ(block["own" + n + ".txt"], "resource " + n);
  }
  // Every run removed its own folder.
  for (const auto& entry : fs::directory_iterator(sandbox_.Temp()))
    ADD_FAILURE() << "left in the temporary folder: " << entry.path();
}

}  // namespace
}  // namespace Zentu
