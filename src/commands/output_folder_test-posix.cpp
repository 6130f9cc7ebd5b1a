// A utility installed where its user may not write: the ERROR lines name the folder and -outdir,
// and the logs go to the per-user state folder.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "src/commands/output_folder.h"
#include "support/environment.h"
#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::Text;
using Testing::UtilityRun;
using Vadu::Testing::ReadFileBytes;

class UnwritableUtilityFolder : public Testing::CommandTest {
 protected:
  void SetUp() override {
    folder_ = fs::canonical(sandbox_.Folder());
    if (!MakeReadOnly(folder_)) GTEST_SKIP() << "cannot make a folder read-only here";
  }
  void TearDown() override {
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
    if (!mounted_) chmod(folder_.c_str(), 0700);
  }
  // An ordinary user loses the write permission; root, whom permissions do not stop, gets a
  // read-only bind mount.
  bool MakeReadOnly(const fs::path& folder) {
    if (geteuid() != 0) return chmod(folder.c_str(), 0555) == 0;
    if (mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
    mounted_ = true;
    return mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
  }
  std::string Explanation() const {
    return "ERROR: the folder " + Text(folder_) +
           " is not writable: choose another with -outdir <OUTPUT_DIR_PATH>\n";
  }

  fs::path folder_;
  bool mounted_ = false;
};

TEST_F(UnwritableUtilityFolder, TheLogsGoToTheUserStateFolder) {
  Vadu::Testing::TempFolder state;
  const Vadu::WString saved = Vadu::GetEnvironmentValue(u"XDG_STATE_HOME");
  Vadu::SetEnvironmentValue(u"XDG_STATE_HOME", Vadu::Testing::Wide(state.Path()));
  const UtilityRun run = Run("-version");
  Vadu::SetEnvironmentValue(u"XDG_STATE_HOME", saved);
  EXPECT_EQ(run.exitCode, 0);
  const std::string stem = sandbox_.Executable().stem().string();
  const std::string log = ReadFileBytes(state.Path() / "zentu-rebrand" / (stem + ".main.log"));
  EXPECT_NE(log.find("Command line: -version\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Outcome: success (exit code 0)\r\n"), std::string::npos) << log;
}

TEST_F(UnwritableUtilityFolder, GetXmlNamesTheFolderAndTheOptionAndWritesWhereItIsTold) {
  UtilityRun run = Run("-getxml");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, "ERROR: can't save xml file with OEM information\n" + Explanation());

  run = Run("-getxml -outdir " + Arg(work_.Path()));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(fs::is_regular_file(work_.Path() / "oem_info.xml"));
}

TEST_F(UnwritableUtilityFolder, UnpackNamesTheFolderAndTheOptionAndWritesWhereItIsTold) {
  const fs::path target = work_.Path() / "app.exe";
  Testing::WriteWithBlock(target, "MZ host", {{"a.txt", "A"}});
  UtilityRun run = Run("-unpack " + Arg(target));
  EXPECT_EQ(run.exitCode, 1);
  // The system's reason: permission denied, or a read-only file system for root.
  const std::string start = "ERROR: can't write " + Text(folder_ / "unpack_res") + ": ";
  ASSERT_EQ(run.output.rfind(start, 0), 0u) << run.output;
  const size_t end = run.output.find('\n');
  EXPECT_GT(end, start.size()) << run.output;
  EXPECT_EQ(run.output.substr(end + 1), Explanation());

  run = Run("-unpack " + Arg(target) + " -outdir " + Arg(work_.Path() / "out"));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(ReadFileBytes(work_.Path() / "out" / "unpack_res" / "a.txt"), "A");
}

}  // namespace
}  // namespace Zentu
