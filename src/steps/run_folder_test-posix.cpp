#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "src/steps/payloads.h"
#include "src/steps/run_folder.h"
#include "support/file_system.h"
#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::Text;
using Testing::UtilityRun;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::WriteFileBytes;

TEST(RunFolderPosixTest, LinksAndFoldersOfOtherUsersAreNeverRemoved) {
  Testing::ScopedTempEnvironment temp;
  Vadu::Testing::TempFolder elsewhere;
  const fs::path root = temp.Folder().Path();
  WriteFileBytes(elsewhere.Path() / ".alive", "");
  WriteFileBytes(elsewhere.Path() / "precious", "keep");
  fs::create_directory_symlink(elsewhere.Path(), root / "zentu-run-00000000000000aa");
  fs::create_directory_symlink(elsewhere.Path(), root / "zentuunpacked");
  const bool rootUser = geteuid() == 0;
  if (rootUser) {
    // Folders another user left, ended or shared: theirs to remove.
    fs::create_directories(root / "zentu-run-00000000000000bb");
    WriteFileBytes(root / "zentu-run-00000000000000bb" / ".alive", "");
    ASSERT_EQ(chown((root / "zentu-run-00000000000000bb").c_str(), 65534, 65534), 0);
    fs::create_directories(root / "elsewhere" / "zentuunpacked");
    ASSERT_EQ(chown((root / "elsewhere" / "zentuunpacked").c_str(), 65534, 65534), 0);
  }

  RemoveLeftoversOfKilledRuns();
  EXPECT_TRUE(fs::is_symlink(root / "zentu-run-00000000000000aa"));
  EXPECT_TRUE(fs::is_symlink(root / "zentuunpacked"));
  EXPECT_EQ(ReadFileBytes(elsewhere.Path() / "precious"), "keep");
  if (rootUser) {
    EXPECT_TRUE(fs::exists(root / "zentu-run-00000000000000bb" / ".alive"));
    // The shared folder of another user stays too.
    fs::remove(root / "zentuunpacked");
    fs::rename(root / "elsewhere" / "zentuunpacked", root / "zentuunpacked");
    RemoveLeftoversOfKilledRuns();
    EXPECT_TRUE(fs::is_directory(root / "zentuunpacked"));
  }
}

class PlantedToolTest : public Testing::CommandTest {};

TEST_F(PlantedToolTest, AProgramPlantedWhereTheArchiveToolWasKeptIsNeverRun) {
  // Where older versions wrote the archive tool and ran any file of the right size found there.
  const fs::path shared =
      sandbox_.Temp() /
      Testing::Std(Vadu::ToUtf8(ToolFolderName(BuildDateText(), BuildTimeText())));
  const std::vector<Vadu::String> names = ToolPayloadNames(StoredKind::kArchiveTool);
  ASSERT_EQ(names.size(), 1u);
  const uintmax_t size = Vadu::ReadWholeFile(EnsureArchiveTool()).Length();
  const fs::path marker = work_.Path() / "planted program ran";
  std::string script = "#!/bin/sh\necho ran > " + Arg(marker) + "\nexit 0\n";
  script.resize(size, '#');
  fs::create_directories(shared);
  WriteFileBytes(shared / Testing::Std(names[0]), script);
  fs::permissions(shared / Testing::Std(names[0]), fs::perms::all);

  const fs::path content = work_.Path() / "content";
  fs::create_directories(content);
  WriteFileBytes(content / "zentu.app", "program");
  const fs::path archive = work_.Path() / "product.tgz";
  MakeTgz(content, archive);
  UtilityRun run = RunOwnOutput("-resource " + Arg(MakeResources({{"a.txt", "A"}})) + " -target " +
                                Arg(archive));
  EXPECT_EQ(run.output, "Success add resources to file: " + Text(archive) + "\n");
  EXPECT_FALSE(fs::exists(marker)) << "the planted program ran";
  EXPECT_EQ(ReadFileBytes(shared / Testing::Std(names[0])), script);
}

}  // namespace
}  // namespace Zentu
