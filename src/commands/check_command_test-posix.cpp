#include <gtest/gtest.h>

#include "oem/oem_key_catalogue.h"
#include "src/commands/check_command.h"
#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;

class CheckCommandLinks : public Testing::CommandTest {};

TEST_F(CheckCommandLinks, FilesAreListedAsBrandingTakesThem) {
  OemDocument document;
  SetProductName(document, "Example Cam");
  const fs::path resources = MakeResources({{"oem_info.xml", Testing::Std(document.ToXml())}});
  Vadu::Testing::WriteFileBytes(work_.Path() / "elsewhere.png", "1234567");
  // A link to a file is embedded with the file's bytes; a link to a folder, like a folder, is not.
  fs::create_symlink(work_.Path() / "elsewhere.png", resources / "linked.png");
  fs::create_directory_symlink(work_.Path(), resources / "linked folder");
  const Testing::UtilityRun run = Run("-check " + Testing::Arg(resources));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("\n           7  linked.png\n"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("linked folder"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("sub"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace Zentu
