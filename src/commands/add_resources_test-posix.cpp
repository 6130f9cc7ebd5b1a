// The command on POSIX-only ground: a write that fails half-way (a file-size limit the utility
// inherits), symbolic links at the names the utility writes, named pipes as targets.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <random>

#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::Text;
using Testing::UtilityRun;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::WriteFileBytes;

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

TEST_F(AddResourcesWrite, ARunAsRootLeavesEachTargetItsOwnerAndGroup) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make files of another user";
  const fs::path content = work_.Path() / "content";
  fs::create_directories(content);
  WriteFileBytes(content / "zentu.app",
                 "\x7f"
                 "ELF linux program");
  MakeTgz(content, work_.Path() / "app.tgz");
  const fs::path resources = MakeResources({{"x.txt", "x"}});
  for (const fs::path& target :
       {CopyFixture("sample_app64.exe", "app.exe"), work_.Path() / "app.tgz"}) {
    ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(target.c_str(), 0664), 0);
    const UtilityRun run = Run("-resource " + Arg(resources) + " -target " + Arg(target));
    EXPECT_EQ(run.exitCode, 0) << run.output;
    struct stat status = {};
    ASSERT_EQ(stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 65534u) << target;
    EXPECT_EQ(status.st_gid, 65534u) << target;
    EXPECT_EQ(status.st_mode & 07777, 0664u) << target;
  }
}

using ResourceFiles = Testing::CommandTest;

TEST_F(ResourceFiles, AnUnreadableResourceOrANameThatIsNotUtf8StopsTheRunBeforeAnythingIsWritten) {
  const fs::path target = work_.Path() / "app.exe";
  Testing::WriteWithBlock(target, ReadFileBytes(Testing::Fixture("sample_app64.exe")),
                          {{"logo.png", "old logo"}});
  const std::string before = ReadFileBytes(target);
  const fs::path resources = MakeResources({{"a.txt", "A"}});
  fs::create_symlink(work_.Path() / "gone.png", resources / "logo.png");  // dangling
  const std::string latin1 = Text(resources) + "/caf\xE9.png";
  {
    FILE* file = std::fopen(latin1.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("latin-1", file);
    std::fclose(file);
  }
  const UtilityRun run = Run("-resource " + Arg(resources) + " -target " + Arg(target));
  // Every problem is named, with the system's reason where there is one; names are shown escaped.
  EXPECT_NE(
      run.output.find("ERROR: resource name is not UTF-8: " + Text(resources) + "/caf\\xE9.png\n"),
      std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("ERROR: can't read " + Text(resources) +
                            "/logo.png: No such file or directory\n"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("Success"), std::string::npos) << run.output;
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadFileBytes(target), before);
  // The log holds the full path of each and the reason.
  const std::string log = MainLog();
  EXPECT_NE(
      log.find("File: " + Text(resources) + "/logo.png\r\nReason: No such file or directory\r\n"),
      std::string::npos)
      << log;
  EXPECT_NE(log.find("File: " + Text(resources) + "/caf\\xE9.png\r\n"), std::string::npos) << log;
}

// A temporary folder where another user could rename the run folder and put their own in its
// place stops every run that needs one, before anything is written there or into the target.
TEST_F(ResourceFiles, AnUnsafeTemporaryFolderStopsTheRunBeforeAnythingIsDone) {
  const fs::path package = work_.Path() / "product.tgz";
  fs::copy_file(Testing::Fixture("gnu_package.tgz"), package);
  const std::string before = ReadFileBytes(package);
  const fs::path resources = MakeResources({{"a.txt", "A"}});
  const fs::path temp = sandbox_.Temp();
  std::vector<std::pair<std::string, std::function<void()>>> cases = {
      {Text(temp) + " may be written by other users and is not sticky",
       [&] { fs::permissions(temp, fs::perms::all); }}};
  if (geteuid() == 0)
    cases.push_back({Text(temp) + " belongs to another user (uid 65534)", [&] {
                       fs::permissions(temp, fs::perms::owner_all);
                       ASSERT_EQ(chown(temp.c_str(), 65534, 65534), 0);
                     }});
  for (const auto& [why, make] : cases) {
    make();
    const UtilityRun run = Run("-resource " + Arg(resources) + " -target " + Arg(package));
    EXPECT_EQ(run.output.rfind(
                  "ERROR: the temporary folder " + Text(temp) + " is not safe: " + why + "\n", 0),
              0u)
        << run.output;
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(ReadFileBytes(package), before);
    EXPECT_TRUE(fs::is_empty(temp));
  }
  ASSERT_EQ(chown(temp.c_str(), geteuid(), getegid()), 0);
  fs::permissions(temp, fs::perms::owner_all);
  EXPECT_EQ(Run("-resource " + Arg(resources) + " -target " + Arg(package)).exitCode, 0);
}

using OutputLinks = Testing::CommandTest;

TEST_F(OutputLinks, NoFileIsWrittenThroughALinkAtItsName) {
  const fs::path victim = work_.Path() / "victim";
  WriteFileBytes(victim, "precious");
  const fs::path resources = MakeResources({{"x.txt", "x"}});

  // The template beside the utility.
  fs::create_symlink(victim, sandbox_.Folder() / "oem_info.xml");
  UtilityRun run = Run("-getxml");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_FALSE(fs::is_symlink(sandbox_.Folder() / "oem_info.xml")) << "the link is replaced";
  EXPECT_NE(sandbox_.ReadBeside("oem_info.xml").find("<ProductName"), std::string::npos);

  // The resource package.
  const fs::path out = work_.Path() / "out";
  fs::create_directories(out);
  fs::create_symlink(victim, out / "resource.oem");
  run = Run("-packresource " + Arg(resources) + " -outdir " + Arg(out));
  EXPECT_EQ(run.output, "Success add resources to file: " + Text(out / "resource.oem") + "\n");
  EXPECT_FALSE(fs::is_symlink(out / "resource.oem"));
  EXPECT_EQ(Testing::BlockEntries(out / "resource.oem").count("x.txt"), 1u);

  // A target that is a link: the link becomes the branded file, the file it named stays.
  const fs::path program = CopyFixture("sample_app64.exe", "real.exe");
  fs::create_symlink(program, work_.Path() / "link.exe");
  run = Run("-resource " + Arg(resources) + " -target " + Arg(work_.Path() / "link.exe"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_FALSE(fs::is_symlink(work_.Path() / "link.exe"));
  EXPECT_EQ(Testing::BlockEntries(work_.Path() / "link.exe").count("x.txt"), 1u);
  EXPECT_EQ(ReadFileBytes(program), ReadFileBytes(Testing::Fixture("sample_app64.exe")));

  // Unpacked resources, into a folder holding a link of an entry's name, then into a folder that
  // is itself a link.
  const fs::path unpacked = sandbox_.Folder() / "unpack_res";
  fs::create_directories(unpacked);
  fs::create_symlink(victim, unpacked / "x.txt");
  run = Run("-unpack " + Arg(work_.Path() / "link.exe"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_FALSE(fs::is_symlink(unpacked / "x.txt"));
  EXPECT_EQ(ReadFileBytes(unpacked / "x.txt"), "x");
  const fs::path elsewhere = work_.Path() / "elsewhere";
  fs::create_directories(elsewhere);
  fs::remove_all(unpacked);
  fs::create_directory_symlink(elsewhere, unpacked);
  run = Run("-unpack " + Arg(work_.Path() / "link.exe"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_FALSE(fs::is_symlink(unpacked));
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_EQ(ReadFileBytes(victim), "precious");
}

TEST_F(OutputLinks, AnExistingPackageIsReplacedOnlyByACompleteNewOne) {
  const fs::path package = work_.Path() / "resource.oem";
  UtilityRun run = Run("-packresource " + Arg(MakeResources({{"x.txt", "x"}})) + " -outdir " +
                       Arg(work_.Path()));
  ASSERT_EQ(run.exitCode, 0);
  const std::string good = ReadFileBytes(package);
  for (const char* folder : {"mistyped", "empty"}) {
    fs::create_directories(work_.Path() / "empty");
    run = Run("-packresource " + Arg(work_.Path() / folder) + " -outdir " + Arg(work_.Path()));
    EXPECT_EQ(ReadFileBytes(package), good) << folder;
  }
}

TEST_F(OutputLinks, TheIconReachesALinkedOrSetIdTargetOnlyThroughItsReplacement) {
  const fs::path icon = CopyFixture("sample.ico", "icon.ico");
  const fs::path victim = CopyFixture("sample_app64.exe", "victim.exe");
  const std::string original = ReadFileBytes(victim);
  const fs::path link = work_.Path() / "zentu.exe";
  fs::create_symlink("victim.exe", link);
  UtilityRun run = Run("-icon " + Arg(icon) + " -target " + Arg(link));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_FALSE(fs::is_symlink(link));
  EXPECT_NE(ReadFileBytes(link), original);
  EXPECT_EQ(ReadFileBytes(victim), original);

  if (geteuid() != 0) return;
  // A user's set-ID program keeps its owner, or loses the bits: it never comes back set-ID root.
  const fs::path program = CopyFixture("sample_app64.exe", "setid.exe");
  ASSERT_EQ(chown(program.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(program.c_str(), 06755), 0);
  run = Run("-icon " + Arg(icon) + " -target " + Arg(program));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  struct stat status = {};
  ASSERT_EQ(stat(program.c_str(), &status), 0);
  EXPECT_NE(ReadFileBytes(program), original);
  EXPECT_FALSE((status.st_mode & 06000) && (status.st_uid == 0 || status.st_gid == 0))
      << std::oct << status.st_mode << " " << status.st_uid;
}

TEST_F(OutputLinks, NamedPipesAreRefusedByEveryCommand) {
  const fs::path resources = MakeResources({{"x.txt", "x"}});
  for (const std::string name : {"x.exe", "x.tgz", "x.dmg"}) {
    const fs::path pipe = work_.Path() / name;
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const UtilityRun run = RunOwnOutput("-resource " + Arg(resources) + " -target " + Arg(pipe));
    EXPECT_EQ(run.output,
              "ERROR: can't find " + name + "\nERROR: resource not exist : " + Text(pipe) + "\n");
    EXPECT_EQ(run.exitCode, 1);
    struct stat status;
    ASSERT_EQ(lstat(pipe.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode)) << name << " was replaced";
    // Listing and unpacking never wait for a writer either.
    for (const std::string command : {"-list ", "-unpack "}) {
      const UtilityRun read = RunOwnOutput(command + Arg(pipe));
      EXPECT_EQ(read.output, "ERROR: can't read " + Text(pipe) + ": it is not a regular file\n");
      EXPECT_EQ(read.exitCode, 1);
    }
  }
}

}  // namespace
}  // namespace Zentu
