// A write that fails half-way, on POSIX: a file-size limit the utility inherits.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <random>

#include "src/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Vadu::Testing::ReadFileBytes;

// Limits the size of files this process and its children write; writing past it fails with
// EFBIG instead of ending the writer.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    savedHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    applied_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, savedHandler_);
  }
  bool Applied() const { return applied_; }

 private:
  rlimit saved_{};
  void (*savedHandler_)(int) = SIG_DFL;
  bool applied_ = false;
};

using AddResourcesWrite = Testing::CommandTest;

TEST_F(AddResourcesWrite, AWriteThatFailsLeavesTheTargetByteForByte) {
  // Bytes that do not compress: the new file is longer than the limit.
  std::mt19937 random(7);
  std::string noise(64 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  fs::path resources = MakeResources({{"noise.bin", noise}});
  fs::path target = CopyFixture("sample_app64_block.exe", "app.exe");
  const std::string original = ReadFileBytes(target);
  Testing::UtilityRun run;
  {
    // Room for the log and the old file's size, not for the new one.
    FileSizeLimit limit(original.size() + 1024);
    ASSERT_TRUE(limit.Applied());
    run = Run("-resource " + Arg(resources) + " -target " + Arg(target));
  }
  EXPECT_EQ(run.output, "ERROR: can't replace zentu executable file\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadFileBytes(target), original);
  EXPECT_EQ(NamesIn(work_.Path()), (std::vector<std::string>{"app.exe", "res"}));
}

}  // namespace
}  // namespace Zentu
