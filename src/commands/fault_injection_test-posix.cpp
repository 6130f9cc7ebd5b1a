// Faults in the middle of a branding. A disk that fills up at each step (while unpacking, while
// repacking, during the final write): the target must stay byte for byte as it was, the error must
// be reported, and nothing may be left beside it (needs root to mount a small tmpfs; skipped
// otherwise). A run killed at any moment: the target is the original or the whole new file, no
// child outlives the run, and a later run clears what the killed ones left.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "support/file_system.h"
#include "tests/test_command_util.h"

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

  // A run that fails with `line` (and the system's `reason` in the log, when given) and leaves
  // the target and its folder as they were.
  void ExpectFailureLeavesTarget(const fs::path& target, const std::string& line,
                                 const std::string& reason = std::string()) {
    const fs::path resources = MakeResources({{"a.txt", "A"}});
    const std::string before = ReadFileBytes(target);
    const std::vector<std::string> names = NamesIn(target.parent_path());
    const size_t logged = MainLog().size();
    const UtilityRun run = RunOwnOutput("-resource " + Arg(resources) + " -target " + Arg(target));
    EXPECT_EQ(run.output, line);
    if (!reason.empty()) {
      const std::string log = MainLog().substr(logged);
      EXPECT_NE(log.find("\r\nReason: " + reason + "\r\n"), std::string::npos) << log;
    }
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
  // Room for a little, not for the program taken out of the package.
  if (!MountSmall(sandbox_.Temp(), 2 * kMiB))
    GTEST_SKIP() << "this system refuses to mount a tmpfs";
  ExpectFailureLeavesTarget(archive, "ERROR: can't unpack " + Text(archive) + "\n");
}

TEST_F(FullDisk, WhileAddingTheBlockToTheApplication) {
  const fs::path archive = MakeArchive(3 * kMiB);
  // Room for the application taken out of the package, not for its copy with the block.
  if (!MountSmall(sandbox_.Temp(), 4 * kMiB + kMiB / 2))
    GTEST_SKIP() << "this system refuses to mount a tmpfs";
  ExpectFailureLeavesTarget(archive, "ERROR: can't replace zentu executable file\n",
                            "No space left on device");
}

TEST_F(FullDisk, DuringTheFinalWrite) {
  // The target's own folder is full: the new program cannot be written beside it.
  const fs::path small = work_.Path() / "small";
  if (!MountSmall(small, 2 * kMiB)) GTEST_SKIP() << "this system refuses to mount a tmpfs";
  const fs::path program = small / "app.exe";
  WriteFileBytes(program, ReadFileBytes(Testing::Fixture("sample_app64.exe")) + Noise(kMiB, 2));
  ExpectFailureLeavesTarget(program, "ERROR: can't replace zentu executable file\n",
                            "No space left on device");

  // The same for the finished archive that is to take the old one's place.
  const fs::path archive = MakeArchive(kMiB + kMiB / 2);
  fs::remove(program);
  fs::copy_file(archive, small / "product.tgz");
  fs::remove(archive);
  ExpectFailureLeavesTarget(small / "product.tgz",
                            "ERROR: can't pack " + Text(small / "product.tgz") + "\n",
                            "No space left on device");

  // And for the bundle's archive written beside a disk image, in a folder filled up.
  fs::remove(small / "product.tgz");
  const fs::path image = CopyFixture("zentu.dmg", "zentu.dmg");
  fs::copy_file(image, small / "zentu.dmg");
  fs::remove(image);
  {
    const int filler = open((small / "filler").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(filler, 0);
    const std::string block(4096, 'f');
    while (write(filler, block.data(), block.size()) > 0) {
    }
    close(filler);
  }
  ExpectFailureLeavesTarget(small / "zentu.dmg",
                            "ERROR: can't pack " + Text(small / "zentu.dmg") + "\n",
                            "No space left on device");
}

// ---- Runs killed at random moments ------------------------------------------------------------

extern "C" char** environ;

class KilledRuns : public Testing::CommandTest {
 protected:
  // Starts the utility with TEMP set to the sandbox's and sends it `signal` after `delay`; its
  // wait status.
  int RunAndKill(const std::vector<std::string>& arguments, std::chrono::microseconds delay,
                 int signal = SIGKILL) {
    std::vector<std::string> environment{"TEMP=" + Text(sandbox_.Temp())};
    for (char** entry = environ; *entry; ++entry)
      if (std::string(*entry).rfind("TEMP=", 0) != 0) environment.push_back(*entry);
    std::vector<char*> envp, argv;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = Text(sandbox_.Executable());
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    // Its lines would mix with the test's own.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    EXPECT_EQ(posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    std::this_thread::sleep_for(delay);
    kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);
    return status;
  }

  // How long an undisturbed run takes.
  std::chrono::microseconds TimeOneRun(const std::string& parameters) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(parameters).exitCode, 0);
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start);
  }

  // Processes still running a program from the sandbox's temporary folder (a carried tool).
  std::vector<std::string> ToolsStillRunning() {
    std::vector<std::string> running;
    const std::string temp = Text(sandbox_.Temp());
    for (const auto& entry : fs::directory_iterator("/proc")) {
      std::error_code error;
      const fs::path exe = fs::read_symlink(entry.path() / "exe", error);
      if (!error && Text(exe).rfind(temp, 0) == 0) running.push_back(Text(exe));
    }
    return running;
  }

  // Makes everything that killed runs left look as old as a leftover must be.
  void AgeLeftovers(const fs::path& folder) {
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(2);
    for (const fs::path& place : {folder, sandbox_.Temp()})
      for (const auto& entry : fs::recursive_directory_iterator(place))
        if (!entry.is_symlink()) fs::last_write_time(entry.path(), old);
  }

  void ExpectNothingLeft(const fs::path& folder, const std::vector<std::string>& names) {
    EXPECT_EQ(NamesIn(folder), names);
    for (const auto& entry : fs::directory_iterator(sandbox_.Temp()))
      ADD_FAILURE() << "left in the temporary folder: " << entry.path();
    EXPECT_EQ(ToolsStillRunning(), std::vector<std::string>{});
  }
};

TEST_F(KilledRuns, AnExecutableIsAlwaysTheOriginalOrTheWholeNewFile) {
  const fs::path target = work_.Path() / "app.exe";
  const std::string original =
      ReadFileBytes(Testing::Fixture("sample_app64.exe")) + Noise(48 * kMiB, 3);
  const fs::path resources = MakeResources({{"a.txt", Noise(kMiB, 4)}});
  const std::string parameters = "-resource " + Arg(resources) + " -target " + Arg(target);
  WriteFileBytes(target, original);
  const std::chrono::microseconds full = TimeOneRun(parameters);
  std::mt19937 random(11);
  for (int i = 0; i < 20; ++i) {
    SCOPED_TRACE("run " + std::to_string(i));
    WriteFileBytes(target, original);
    RunAndKill({"-resource", Text(resources), "-target", Text(target)},
               std::chrono::microseconds(random() % (full.count() + 1)));
    const std::string now = ReadFileBytes(target);
    if (now != original) {
      // Branding sets the checksum field of the new program. Compared as a truth value: a diff
      // of two programs this size would take more memory than the machine has.
      EXPECT_TRUE(Testing::Unsummed(Testing::HostBytes(target)) == Testing::Unsummed(original))
          << "neither the original nor a whole file";
      EXPECT_EQ(Testing::BlockEntries(target).count("a.txt"), 1u);
    }
  }
  AgeLeftovers(work_.Path());
  EXPECT_EQ(Run(parameters).exitCode, 0);
  ExpectNothingLeft(work_.Path(), {"app.exe", "res"});
}

TEST_F(KilledRuns, AnArchiveIsAlwaysTheOriginalOrTheWholeNewArchive) {
  const fs::path content = work_.Path() / "content";
  fs::create_directories(content);
  WriteFileBytes(content / "zentu.app", Noise(16 * kMiB, 5));
  WriteFileBytes(content / "readme.txt", "read me");
  const fs::path archive = work_.Path() / "product.tgz";
  MakeTgz(content, archive);
  fs::remove_all(content);
  const std::string original = ReadFileBytes(archive);
  const fs::path resources = MakeResources({{"a.txt", "A"}});
  const std::string parameters = "-resource " + Arg(resources) + " -target " + Arg(archive);
  const std::chrono::microseconds full = TimeOneRun(parameters);
  std::mt19937 random(13);
  for (int i = 0; i < 20; ++i) {
    SCOPED_TRACE("run " + std::to_string(i));
    WriteFileBytes(archive, original);
    RunAndKill({"-resource", Text(resources), "-target", Text(archive)},
               std::chrono::microseconds(random() % (full.count() + 1)));
    // The archive tool ends with the run that started it (the system takes a moment).
    for (int wait = 0; wait < 20 && !ToolsStillRunning().empty(); ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ToolsStillRunning(), std::vector<std::string>{});
    if (ReadFileBytes(archive) != original) {
      std::map<std::string, std::string> files = ReadTgz(archive);
      EXPECT_EQ(files.size(), 2u);
      EXPECT_EQ(files["readme.txt"], "read me");
      WriteFileBytes(work_.Path() / "program", files["zentu.app"]);
      EXPECT_EQ(Testing::BlockEntries(work_.Path() / "program").count("a.txt"), 1u);
      fs::remove(work_.Path() / "program");
    }
  }
  AgeLeftovers(work_.Path());
  EXPECT_EQ(Run(parameters).exitCode, 0);
  ExpectNothingLeft(work_.Path(), {"product.tgz", "res"});
}

TEST_F(KilledRuns, ARunToldToStopRemovesItsFolderAndEndsItsTools) {
  const fs::path content = work_.Path() / "content";
  fs::create_directories(content);
  WriteFileBytes(content / "zentu.app", Noise(16 * kMiB, 6));
  const fs::path archive = work_.Path() / "product.tgz";
  MakeTgz(content, archive);
  fs::remove_all(content);
  const std::string original = ReadFileBytes(archive);
  const fs::path resources = MakeResources({{"a.txt", "A"}});
  const std::chrono::microseconds full =
      TimeOneRun("-resource " + Arg(resources) + " -target " + Arg(archive));
  WriteFileBytes(archive, original);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    const int status =
        RunAndKill({"-resource", Text(resources), "-target", Text(archive)}, full / 3, signal);
    // Told while still working: it ends as the signal says, with nothing left behind, and
    // without waiting for a leftover to age. A run that is told after it replaced the archive
    // (a loaded machine makes the timing loose) leaves the whole new one.
    if (WIFSIGNALED(status)) {
      EXPECT_EQ(WTERMSIG(status), signal);
    }
    if (ReadFileBytes(archive) != original) {
      WriteFileBytes(work_.Path() / "program", ReadTgz(archive)["zentu.app"]);
      EXPECT_EQ(Testing::BlockEntries(work_.Path() / "program").count("a.txt"), 1u);
      fs::remove(work_.Path() / "program");
    }
    ExpectNothingLeft(work_.Path(), {"product.tgz", "res"});
    WriteFileBytes(archive, original);
  }
}

}  // namespace
}  // namespace Zentu
