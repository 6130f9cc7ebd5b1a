// Runs the built utility with arguments only POSIX file names can hold.
#include <gtest/gtest.h>

#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::BlockEntries;
using Testing::Text;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::WriteFileBytes;

using PosixCommandLineValues = Testing::CommandTest;

TEST_F(PosixCommandLineValues, APathHoldingDoubleQuotesIsTheFileNamed) {
  fs::path resources = MakeResources({{"a.txt", "a"}});
  for (const char* name : {"say \"hi\" app.exe", "\"quoted\".exe", "end\""}) {
    fs::path target = CopyFixture("sample_app64.exe", name);
    Testing::UtilityRun run = Run("-resource " + Arg(resources) + " -target " + Arg(target));
    EXPECT_EQ(run.output, "Success add resources to file: " + Text(target) + "\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(BlockEntries(target).count("a.txt"), 1u) << name;
  }
}

TEST_F(PosixCommandLineValues, BlanksAtBothEndsOfAValueArePartOfThePath) {
  // Beside each named file or folder, one named like the value without its blanks.
  for (const char* name : {" pack ", "pack"}) {
    fs::create_directories(work_.Path() / name);
    WriteFileBytes(work_.Path() / name / (std::string(name) + ".txt"), name);
  }
  CopyFixture("sample_app64.exe", " app.exe ");
  CopyFixture("sample_app64.exe", "app.exe");
  Testing::UtilityRun run;
  {
    Testing::CurrentDirectory current(work_.Path());
    run = Run("-resource " + Arg(" pack ") + " -target " + Arg(" app.exe "));
  }
  EXPECT_EQ(run.output, "Success add resources to file:  app.exe \n");
  EXPECT_EQ(run.exitCode, 0);
  const auto entries = BlockEntries(work_.Path() / " app.exe ");
  EXPECT_EQ(entries.count(" pack .txt"), 1u);
  EXPECT_EQ(entries.count("pack.txt"), 0u);
  EXPECT_EQ(ReadFileBytes(work_.Path() / "app.exe"),
            ReadFileBytes(Testing::Fixture("sample_app64.exe")));
}

}  // namespace
}  // namespace Zentu
