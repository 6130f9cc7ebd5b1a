#include <unistd.h>

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

// Root on a folder of another user: a link there to a file that user does not own (a secret of
// the build host) is refused by -check and by branding alike; links to the owner's own files are
// read as their files. Names are shown escaped, so that none can clear the screen or forge a line.
TEST_F(CheckCommandLinks, ALinkToAFileOfAnotherUserIsRefusedAndNamesAreEscaped) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act on a folder of another user";
  OemDocument document;
  SetProductName(document, "Example Cam");
  const fs::path resources = MakeResources({{"oem_info.xml", Testing::Std(document.ToXml())}});
  const fs::path brand = work_.Path() / "brand";
  fs::create_directory(brand);
  Vadu::Testing::WriteFileBytes(brand / "logo.png", "logo");
  const fs::path secret = work_.Path() / "shadow";
  Vadu::Testing::WriteFileBytes(secret, "root:secret");
  fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(brand / "logo.png", resources / "logo.png");
  fs::create_symlink(secret, resources / "shadow");
  Vadu::Testing::WriteFileBytes(resources / "\x1B[2J\nOK: forged", "x");
  for (const fs::path& path : {resources, resources / "oem_info.xml", brand, brand / "logo.png",
                               resources / "\x1B[2J\nOK: forged"})
    ASSERT_EQ(lchown(path.c_str(), 65534, 65534), 0);
  ASSERT_EQ(lchown((resources / "shadow").c_str(), 65534, 65534), 0);

  const std::string refusal =
      "ERROR: " + Testing::Text(resources) +
      "/shadow: it is a file of user 0, not of the folder's owner (user 65534)\n";
  Testing::UtilityRun run = Run("-check " + Testing::Arg(resources));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find(refusal), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("  \\x1B[2J\\x0AOK: forged\n"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("\nOK: forged"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("is not ready to embed"), std::string::npos);

  const fs::path target = CopyFixture("sample_app64.exe", "app.exe");
  const std::string before = Vadu::Testing::ReadFileBytes(target);
  run = Run("-resource " + Testing::Arg(resources) + " -target " + Testing::Arg(target));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find(refusal), std::string::npos) << run.output;
  EXPECT_EQ(Vadu::Testing::ReadFileBytes(target), before);

  fs::remove(resources / "shadow");
  run = Run("-resource " + Testing::Arg(resources) + " -target " + Testing::Arg(target));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(Testing::BlockEntries(target).at("logo.png"), "logo");
}

}  // namespace
}  // namespace Zentu
