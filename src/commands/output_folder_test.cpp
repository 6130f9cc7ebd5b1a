// -outdir for -getxml and -unpack: the output goes there instead of beside the utility.
#include "src/commands/output_folder.h"

#include <gtest/gtest.h>

#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::UtilityRun;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::WriteFileBytes;

class OutDir : public Testing::CommandTest {
 protected:
  // A program carrying the one resource "a.txt".
  static void WriteWithBlockForTest(const fs::path& file) {
    Testing::WriteWithBlock(file, "MZ host bytes", {{"a.txt", "A"}});
  }
  // The names beside the utility that a command may have written (logs do not count).
  std::vector<std::string> OutputsBesideUtility() {
    std::vector<std::string> names;
    for (const std::string& name : NamesIn(sandbox_.Folder()))
      if (name.find(".log") == std::string::npos && name != sandbox_.Executable().filename())
        names.push_back(name);
    return names;
  }
};

TEST_F(OutDir, GetXmlWritesTheTemplateIntoTheGivenFolderMadeAsNeeded) {
  const fs::path out = work_.Path() / "new" / "deeper";
  UtilityRun run = Run("-getxml -outdir " + Arg(out));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output, "OEM Information xml file saved to \"oem_info.xml\"\n");
  EXPECT_EQ(ReadFileBytes(out / "oem_info.xml").rfind("<?xml", 0), 0u);
  EXPECT_TRUE(OutputsBesideUtility().empty());

  // Without a value: the current directory.
  {
    Testing::CurrentDirectory current(work_.Path());
    run = Run("-getxml -outdir");
  }
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(fs::is_regular_file(work_.Path() / "oem_info.xml"));
  EXPECT_TRUE(OutputsBesideUtility().empty());
}

TEST_F(OutDir, UnpackWritesUnpackResInsideTheGivenFolderAndLeavesItsOtherFiles) {
  const fs::path target = work_.Path() / "app.exe";
  WriteWithBlockForTest(target);
  const fs::path out = work_.Path() / "out";
  fs::create_directories(out);
  WriteFileBytes(out / "keep.txt", "mine");
  UtilityRun run = Run("-unpack " + Arg(target) + " -outdir " + Arg(out));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(ReadFileBytes(out / "unpack_res" / "a.txt"), "A");
  EXPECT_EQ(ReadFileBytes(out / "keep.txt"), "mine");
  EXPECT_TRUE(OutputsBesideUtility().empty());

  // A folder that cannot be made is named.
  WriteFileBytes(work_.Path() / "plain", "a file");
  run = Run("-unpack " + Arg(target) + " -outdir " + Arg(work_.Path() / "plain" / "sub"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output.rfind(
                "ERROR: can't create " + Testing::Text(work_.Path() / "plain" / "sub") + ": ", 0),
            0u)
      << run.output;
}

}  // namespace
}  // namespace Zentu
