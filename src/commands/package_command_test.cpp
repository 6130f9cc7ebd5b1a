#include "src/commands/package_command.h"

#include <gtest/gtest.h>

#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::BlockEntries;
using Testing::Text;
using Testing::UtilityRun;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::WriteFileBytes;

using PackageCommand = Testing::CommandTest;

// The entries of a package without "date", and whether it had one.
std::map<std::string, std::string> WithoutDate(std::map<std::string, std::string> entries,
                                               bool* hadDate) {
  *hadDate = entries.erase("date") == 1;
  return entries;
}

TEST_F(PackageCommand, WritesTheResourcesAndTheDateIntoTheCurrentDirectory) {
  fs::path resources = MakeResources({{"x.txt", "x"}, {"logo.png", "\x89PNG"}});
  fs::path package = work_.Path() / "resource.oem";
  UtilityRun run;
  {
    Testing::CurrentDirectory current(work_.Path());
    run = Run("-packresource " + Arg(resources));
  }
  EXPECT_EQ(run.output, "Success add resources to file: " + Text(package) + "\n");
  EXPECT_EQ(run.exitCode, 0);
  bool hadDate = false;
  EXPECT_EQ(WithoutDate(BlockEntries(package), &hadDate),
            (std::map<std::string, std::string>{{"logo.png", "\x89PNG"}, {"x.txt", "x"}}));
  EXPECT_TRUE(hadDate);
  // A block with no host bytes.
  EXPECT_EQ(Testing::HostBytes(package), "");

  // It unpacks like an executable.
  EXPECT_EQ(Run("-unpack " + Arg(package)).exitCode, 0);
  EXPECT_EQ(NamesIn(sandbox_.Folder() / "unpack_res"),
            (std::vector<std::string>{"date", "logo.png", "x.txt"}));
}

TEST_F(PackageCommand, OutDirIsCreatedAndAnEarlierPackageIsReplacedNotMerged) {
  fs::path first = work_.Path() / "first";
  fs::create_directories(first);
  WriteFileBytes(first / "old.txt", "old");
  fs::path outdir = work_.Path() / "new" / "deeper";
  UtilityRun run = Run("-packresource " + Arg(first) + " -outdir " + Arg(outdir));
  EXPECT_EQ(run.exitCode, 0);
  ASSERT_EQ(BlockEntries(outdir / "resource.oem").count("old.txt"), 1u);

  fs::path resources = MakeResources({{"x.txt", "x"}});
  run = Run("-packresource " + Arg(resources) + " -outdir " + Arg(outdir));
  EXPECT_EQ(run.output, "Success add resources to file: " + Text(outdir / "resource.oem") + "\n");
  EXPECT_EQ(run.exitCode, 0);
  bool hadDate = false;
  EXPECT_EQ(WithoutDate(BlockEntries(outdir / "resource.oem"), &hadDate),
            (std::map<std::string, std::string>{{"x.txt", "x"}}));
  EXPECT_TRUE(hadDate);
}

TEST_F(PackageCommand, OutDirWithoutAValueMeansTheCurrentDirectory) {
  fs::path resources = MakeResources({{"x.txt", "x"}});
  fs::path current = work_.Path() / "here";
  fs::create_directories(current);
  UtilityRun run;
  {
    Testing::CurrentDirectory guard(current);
    run = Run("-packresource " + Arg(resources) + " -outdir");
  }
  EXPECT_EQ(run.output, "Success add resources to file: " + Text(current / "resource.oem") + "\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(BlockEntries(current / "resource.oem").count("x.txt"), 1u);
}

TEST_F(PackageCommand, FailuresAndEmptyPackages) {
  // The output folder is a file: the package cannot be made.
  fs::path blocker = work_.Path() / "blocker";
  WriteFileBytes(blocker, "a file");
  fs::path resources = MakeResources({{"x.txt", "x"}});
  UtilityRun run = Run("-packresource " + Arg(resources) + " -outdir " + Arg(blocker));
  EXPECT_EQ(run.output,
            "ERROR: can't save resource package to '" + Text(blocker / "resource.oem") + "'\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadFileBytes(blocker), "a file");

  // Nothing to pack, or a folder that is not there: no package, and no folder made for it.
  fs::path empty = work_.Path() / "empty";
  fs::create_directories(empty / "only a folder");
  fs::path out = work_.Path() / "out";
  run = Run("-packresource " + Arg(empty) + " -outdir " + Arg(out));
  EXPECT_EQ(run.output, "Can not found resources\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_FALSE(fs::exists(out));

  run = Run("-packresource " + Arg(work_.Path() / "nores") + " -outdir " + Arg(out));
  EXPECT_EQ(run.output, "ERROR: can't find nores\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(PackageCommand, IsChosenWhenNoEmbeddingCommandIsComplete) {
  // -target without -resource or -icon does not make an embedding command.
  fs::path resources = MakeResources({{"x.txt", "x"}});
  fs::path target = CopyFixture("sample_app64.exe", "app.exe");
  UtilityRun run = Run("-packresource " + Arg(resources) + " -target " + Arg(target) + " -outdir " +
                       Arg(work_.Path()));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output,
            "WARNING: -target is not used with -packresource\nSuccess add resources to file: " +
                Text(work_.Path() / "resource.oem") + "\n");
  EXPECT_EQ(ReadFileBytes(target), ReadFileBytes(Testing::Fixture("sample_app64.exe")));
}

}  // namespace
}  // namespace Zentu
