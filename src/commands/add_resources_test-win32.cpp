// A target another program holds open, on Windows: it cannot be replaced.
#include <gtest/gtest.h>

#include "support/file_stream.h"
#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Vadu::Testing::ReadFileBytes;

using AddResourcesWrite = Testing::CommandTest;

TEST_F(AddResourcesWrite, ATargetHeldOpenIsReportedAndLeftAsItWas) {
  fs::path resources = MakeResources({{"a.txt", "A"}});
  fs::path target = CopyFixture("sample_app64_block.exe", "app.exe");
  const std::string original = ReadFileBytes(target);
  Testing::UtilityRun run;
  {
    // Open for reading and writing by others, but not for renaming over it.
    Vadu::FileStream holder(Vadu::Testing::Wide(target), false);
    ASSERT_TRUE(holder.IsOpen());
    run = Run("-resource " + Arg(resources) + " -target " + Arg(target));
  }
  EXPECT_EQ(run.output, "ERROR: can't replace zentu executable file\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadFileBytes(target), original);
  EXPECT_EQ(NamesIn(work_.Path()), (std::vector<std::string>{"app.exe", "res"}));
}

}  // namespace
}  // namespace Zentu
