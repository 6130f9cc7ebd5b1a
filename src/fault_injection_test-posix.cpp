// A disk that fills up at each step of a branding: while unpacking, while repacking and during
// the final write. The target must stay byte for byte as it was, the error must be reported, and
// nothing may be left beside it. Needs root to mount a small tmpfs; skipped otherwise.
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "src/payloads.h"
#include "src/test_command_util.h"
#include "support/file_system.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::Text;
using Testing::UtilityRun;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::WriteFileBytes;

constexpr uintmax_t kMiB = 1024 * 1024;

// Bytes that do not compress.
std::string Noise(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

class FullDisk : public Testing::CommandTest {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a small file system";
  }
  void TearDown() override {
    for (const fs::path& where : mounted_) umount2(where.c_str(), MNT_DETACH);
  }
  // Mounts a tmpfs of `bytes` on the (empty) folder; false when the system refuses.
  bool MountSmall(const fs::path& where, uintmax_t bytes) {
    fs::create_directories(where);
    const std::string options = "size=" + std::to_string(bytes);
    if (mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) != 0) return false;
    mounted_.push_back(where);
    return true;
  }
  // The archive tool's size: every run writes it into its folder in TEMP first.
  static uintmax_t ToolSize() { return Vadu::FileSizeOf(EnsureArchiveTool()); }

  // A .tgz holding a program of incompressible bytes.
  fs::path MakeArchive(uintmax_t programSize) {
    const fs::path content = work_.Path() / "content";
    fs::create_directories(content);
    WriteFileBytes(content / "zentu.app", Noise(programSize, 1));
    WriteFileBytes(content / "readme.txt", "read me");
    const fs::path archive = work_.Path() / "product.tgz";
    MakeTgz(content, archive);
    fs::remove_all(content);
    return archive;
  }

  // Runs the branding and checks that it failed with `line` and changed nothing.
  void ExpectFailureLeavesTarget(const fs::path& target, const std::string& line) {
    const fs::path resources = MakeResources({{"a.txt", "A"}});
    const std::string before = ReadFileBytes(target);
    const std::vector<std::string> names = NamesIn(target.parent_path());
    const UtilityRun run = RunOwnOutput("-resource " + Arg(resources) + " -target " + Arg(target));
    EXPECT_EQ(run.output, line);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(ReadFileBytes(target) == before) << "the target changed";
    EXPECT_EQ(NamesIn(target.parent_path()), names) << "something was left beside the target";
    for (const auto& entry : fs::directory_iterator(sandbox_.Temp()))
      ADD_FAILURE() << "left in the temporary folder: " << entry.path();
  }

  std::vector<fs::path> mounted_;
};

TEST_F(FullDisk, WhileUnpacking) {
  const fs::path archive = MakeArchive(9 * kMiB);
  // Room for the archive tool and a little more, not for the program.
  if (!MountSmall(sandbox_.Temp(), ToolSize() + 2 * kMiB))
    GTEST_SKIP() << "this system refuses to mount a tmpfs";
  ExpectFailureLeavesTarget(archive, "ERROR: can't unpack " + Text(archive) + "\n");
}

TEST_F(FullDisk, WhileRepacking) {
  const fs::path archive = MakeArchive(3 * kMiB);
  // Unpacking needs the tar and the program at once (6 MiB), repacking the program, a new tar
  // and a new archive (9 MiB).
  if (!MountSmall(sandbox_.Temp(), ToolSize() + 7 * kMiB + kMiB / 2))
    GTEST_SKIP() << "this system refuses to mount a tmpfs";
  ExpectFailureLeavesTarget(archive, "ERROR: can't pack " + Text(archive) + "\n");
}

TEST_F(FullDisk, DuringTheFinalWrite) {
  // The target's own folder is full: the new program cannot be written beside it.
  const fs::path small = work_.Path() / "small";
  if (!MountSmall(small, 2 * kMiB)) GTEST_SKIP() << "this system refuses to mount a tmpfs";
  const fs::path program = small / "app.exe";
  WriteFileBytes(program, ReadFileBytes(Testing::Fixture("sample_app64.exe")) + Noise(kMiB, 2));
  ExpectFailureLeavesTarget(program, "ERROR: can't replace zentu executable file\n");

  // The same for the finished archive that is to take the old one's place.
  const fs::path archive = MakeArchive(kMiB + kMiB / 2);
  fs::remove(program);
  fs::copy_file(archive, small / "product.tgz");
  fs::remove(archive);
  ExpectFailureLeavesTarget(small / "product.tgz",
                            "ERROR: can't pack " + Text(small / "product.tgz") + "\n");
}

}  // namespace
}  // namespace Zentu
