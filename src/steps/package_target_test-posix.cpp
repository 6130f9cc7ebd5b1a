#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "oem/oem_document.h"
#include "oem/oem_key_catalogue.h"
#include "src/steps/package_target.h"
#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::Text;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::Std;
using Vadu::Testing::TempFolder;
using Vadu::Testing::WriteFileBytes;

constexpr uid_t kNobody = 65534;

class PackageTargetPosix : public Testing::CommandTest {
 protected:
  fs::path BrandResources(const std::string& product) {
    OemDocument document;
    SetProductName(document, Vadu::String(product));
    return MakeResources({{"oem_info.xml", Std(document.ToXml())}, {"logo.png", "png"}});
  }
  static int Shell(const std::string& command) { return std::system(command.c_str()); }
};

TEST_F(PackageTargetPosix, GnuTarAndPythonExtractTheBrandedPackageWithItsLinksModesAndSparseFile) {
  if (Shell("command -v python3 >/dev/null") != 0) GTEST_SKIP() << "python3 is not installed";
  // A product name too long for a header: the new name needs a GNU long name (GNU format) or a
  // pax record (pax format).
  const std::string product(110, 'P');
  const fs::path resources = BrandResources(product);
  for (const auto& [fixture, folder] :
       {std::pair{"gnu_package.tgz", "bin"}, std::pair{"pax_package.tgz", "opt/zentu"}}) {
    SCOPED_TRACE(fixture);
    const fs::path target = CopyFixture(fixture, std::string("branded-") + fixture);
    ASSERT_EQ(RunOwnOutput("-resource " + Arg(resources) + " -target " + Arg(target)).exitCode, 0);
    const fs::path byTar = work_.Path() / (std::string("tar-") + fixture);
    const fs::path byPython = work_.Path() / (std::string("python-") + fixture);
    fs::create_directories(byTar);
    ASSERT_EQ(Shell("tar -xzf " + Arg(target) + " -C " + Arg(byTar)), 0);
    ASSERT_EQ(
        Shell(
            "python3 -c 'import sys, tarfile; tarfile.open(sys.argv[1]).extractall(sys.argv[2])' " +
            Arg(target) + " " + Arg(byPython)),
        0);
    for (const fs::path& root : {byTar, byPython}) {
      const fs::path application = root / folder / (product + ".app");
      EXPECT_EQ(Testing::BlockEntries(application).count("logo.png"), 1u) << root;
      EXPECT_FALSE(fs::exists(root / folder / "zentu.app"));
    }
    struct stat application, hard, helper;
    ASSERT_EQ(stat((byTar / folder / (product + ".app")).c_str(), &application), 0);
    const std::string hardName =
        std::string(fixture) == "gnu_package.tgz" ? "zentu_hard" : "zentu-hard";
    ASSERT_EQ(stat((byTar / folder / hardName).c_str(), &hard), 0);
    EXPECT_EQ(hard.st_ino, application.st_ino) << "the hard link is a link to the application";
    EXPECT_EQ(fs::read_symlink(byTar / folder / "zentu-link").filename().string(),
              product + ".app");
    EXPECT_EQ(ReadFileBytes(byTar / folder / "zentu-link"),
              ReadFileBytes(byTar / folder / (product + ".app")));
    const fs::path setuid = std::string(fixture) == "gnu_package.tgz"
                                ? byTar / "lib/helper"
                                : byTar / folder / "setuid-helper";
    ASSERT_EQ(stat(setuid.c_str(), &helper), 0);
    if (geteuid() == 0) {
      EXPECT_TRUE(helper.st_mode & S_ISUID) << "tar restores set-user-ID as root";
    }
  }
  // GNU tar puts the sparse file back whole, with its hole.
  const fs::path sparse = work_.Path() / "tar-gnu_package.tgz/lib/sparse.db";
  EXPECT_EQ(fs::file_size(sparse), (uintmax_t{32} << 20) + 4);
}

TEST_F(PackageTargetPosix, AUserWhoIsNotRootBrandsPackagesAndImagesWhoseFilesAreReadOnly) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the utility as another user";
  // Everything the other user works with is theirs: the utility, the targets, TEMP.
  TempFolder shared;
  const fs::path utility = shared.Path() / "zentu-rebrand";
  fs::copy_file(sandbox_.Executable(), utility);
  fs::create_directories(shared.Path() / "temp");
  const fs::path resources = BrandResources("My Cam");
  ASSERT_EQ(chmod(resources.parent_path().c_str(), 0755), 0);
  for (const fs::path& path : {shared.Path(), utility, shared.Path() / "temp"})
    ASSERT_EQ(chown(path.c_str(), kNobody, kNobody), 0);

  // The packages' applications and the image's files are read-only (0555, 0444).
  for (const char* fixture : {"pax_package.tgz", "bundle_package.tgz", "zentu.dmg"}) {
    SCOPED_TRACE(fixture);
    const fs::path target = shared.Path() / fixture;
    fs::copy_file(Testing::Fixture(fixture), target);
    ASSERT_EQ(chown(target.c_str(), kNobody, kNobody), 0);
    const pid_t child = fork();
    if (child == 0) {
      const int out = open((shared.Path() / "output").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0 || dup2(out, 1) < 0 || setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 ||
          setuid(kNobody) != 0)
        _exit(120);
      const std::string temp = "TEMP=" + (shared.Path() / "temp").string();
      const std::string resourceText = resources.string(), targetText = target.string();
      const char* argv[] = {utility.c_str(), "-resource",        resourceText.c_str(),
                            "-target",       targetText.c_str(), nullptr};
      const char* envp[] = {temp.c_str(), "PATH=/usr/bin:/bin", nullptr};
      execve(utility.c_str(), const_cast<char* const*>(argv), const_cast<char* const*>(envp));
      _exit(121);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadFileBytes(shared.Path() / "output"),
              "Success add resources to file: " + Text(target) + "\n");
  }

  // GNU tar gives back the applications with their modes, and the bundles' links as links.
  for (const char* archive : {"pax_package.tgz", "bundle_package.tgz", "zentu.dmg.tgz"}) {
    const fs::path unpacked = work_.Path() / (std::string("unpacked-") + archive);
    fs::create_directories(unpacked);
    ASSERT_EQ(Shell("tar -xzf " + Arg(shared.Path() / archive) + " -C " + Arg(unpacked)), 0);
  }
  const fs::path single = work_.Path() / "unpacked-pax_package.tgz/opt/zentu/My_Cam.app";
  EXPECT_EQ(Testing::BlockEntries(single).count("logo.png"), 1u);
  EXPECT_EQ(fs::status(single).permissions() & fs::perms::all, fs::perms(0555));
  for (const fs::path& bundle : {work_.Path() / "unpacked-bundle_package.tgz/pkg/My_Cam.app",
                                 work_.Path() / "unpacked-zentu.dmg.tgz/My_Cam.app"}) {
    SCOPED_TRACE(bundle);
    const fs::path executable = bundle / "Contents/MacOS/My Cam";
    EXPECT_EQ(Testing::BlockEntries(executable).count("logo.png"), 1u);
    EXPECT_EQ(fs::status(executable).permissions() & fs::perms::all, fs::perms(0555));
    const fs::path framework = bundle / "Contents/Frameworks/Foo.framework";
    EXPECT_TRUE(fs::is_symlink(framework / "Foo"));
    EXPECT_EQ(ReadFileBytes(framework / "Foo"), "framework code");
  }
  EXPECT_EQ(ReadFileBytes(work_.Path() / "unpacked-bundle_package.tgz/pkg/zentu"),
            ReadFileBytes(work_.Path() /
                          "unpacked-bundle_package.tgz/pkg/My_Cam.app/Contents/MacOS/My Cam"));
}

}  // namespace
}  // namespace Zentu
