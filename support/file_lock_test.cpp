#include "support/file_lock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <thread>

#include "support/command_line.h"
#include "support/file_system.h"
#include "support/process.h"
#include "support/test_util.h"

namespace Vadu {
namespace {

using std::chrono::milliseconds;
using Testing::Wide;
using Testing::WriteFileBytes;

// Tries the lock from another thread (holders are threads on Windows, open files on POSIX).
FileLock::Status AcquireElsewhere(const WString& path, milliseconds wait) {
  return std::async(std::launch::async,
                    [&] {
                      FileLock lock;
                      return lock.Acquire(path, wait);
                    })
      .get();
}

TEST(FileLockTest, OneHolderAtATimeAndTheNextOneWaits) {
  Testing::TempFolder folder;
  const WString file = Wide(folder / "target.exe");
  WriteFileBytes(folder / "target.exe", "program");

  FileLock first;
  ASSERT_EQ(first.Acquire(file, milliseconds(0)), FileLock::Status::kLocked);
  EXPECT_TRUE(first.IsHeld());
  EXPECT_EQ(AcquireElsewhere(file, milliseconds(150)), FileLock::Status::kBusy);

  // A waiter gets the lock once the holder lets go within its wait.
  std::future<FileLock::Status> waiter = std::async(std::launch::async, [&] {
    FileLock lock;
    return lock.Acquire(file, milliseconds(20000));
  });
  std::this_thread::sleep_for(milliseconds(200));
  first.Release();
  EXPECT_FALSE(first.IsHeld());
  EXPECT_EQ(waiter.get(), FileLock::Status::kLocked);
  EXPECT_EQ(Testing::ReadFileBytes(folder / "target.exe"), "program") << "locking changed the file";

  // Moving the lock moves its ownership.
  FileLock moved;
  ASSERT_EQ(moved.Acquire(file, milliseconds(0)), FileLock::Status::kLocked);
  FileLock taken(std::move(moved));
  EXPECT_FALSE(moved.IsHeld());
  EXPECT_EQ(AcquireElsewhere(file, milliseconds(0)), FileLock::Status::kBusy);
  taken.Release();
  EXPECT_EQ(AcquireElsewhere(file, milliseconds(0)), FileLock::Status::kLocked);
}

TEST(FileLockTest, OnlyRegularFilesAreLocked) {
  Testing::TempFolder folder;
  FileLock lock;
  EXPECT_EQ(lock.Acquire(Wide(folder / "missing.exe"), milliseconds(0)),
            FileLock::Status::kMissing);
  EXPECT_EQ(lock.Acquire(Wide(folder.Path()), milliseconds(0)), FileLock::Status::kNotRegularFile);
  EXPECT_FALSE(lock.IsHeld());
}

// Run as a child by the test below, never on its own: holds a marker file and exits.
TEST(FileLockChild, DISABLED_HoldMarkerAndExit) {
  const std::vector<std::string> invoked = ::testing::internal::GetArgvs();
  ASSERT_TRUE(HoldMarkerFile(Wide(invoked.back())));
  std::exit(0);
}

TEST(MarkerFileTest, HeldWhileItsProcessLives) {
  Testing::TempFolder folder;
  const WString marker = Wide(folder / "in-use");
  EXPECT_FALSE(MarkerFileHeld(marker)) << "a missing marker";
  ASSERT_TRUE(HoldMarkerFile(marker));
  EXPECT_TRUE(MarkerFileHeld(marker));
  EXPECT_FALSE(HoldMarkerFile(marker)) << "a marker is made exclusively";

  // One left by a process that has ended is no longer held.
  const WString left = Wide(folder / "left");
  const std::string self = ::testing::internal::GetArgvs().at(0);
  const WString program = Wide(std::filesystem::absolute(std::filesystem::u8path(self)));
  ASSERT_TRUE(RunAndWait(program,
                         u"--gtest_also_run_disabled_tests --gtest_output= "
                         u"--gtest_filter=FileLockChild.DISABLED_HoldMarkerAndExit " +
                             QuoteWindowsArgument(left),
                         true));
  EXPECT_TRUE(std::filesystem::exists(folder / "left"));
  EXPECT_FALSE(MarkerFileHeld(left));
}

TEST(MarkerFileTest, LetGoUnderAnySpellingOfItsPath) {
  Testing::TempFolder folder;
  const WString marker = Wide(folder / "released");
  EXPECT_FALSE(ReleaseMarkerFile(marker)) << "none held yet";
  ASSERT_TRUE(HoldMarkerFile(marker));
  EXPECT_FALSE(ReleaseMarkerFile(Wide(folder / "other"))) << "another path";
  EXPECT_TRUE(MarkerFileHeld(marker));
  const WString spelled = Wide(folder.Path()) + u"/sub/./../released";
  EXPECT_TRUE(ReleaseMarkerFile(spelled));
  EXPECT_FALSE(MarkerFileHeld(marker));
  EXPECT_FALSE(ReleaseMarkerFile(marker)) << "already let go";
  // Nothing holds it open any more, also where an open file cannot be removed.
  EXPECT_TRUE(RemoveFile(marker));
  EXPECT_TRUE(HoldMarkerFile(spelled)) << "made again under another spelling";
  EXPECT_TRUE(MarkerFileHeld(marker));
  EXPECT_TRUE(ReleaseMarkerFile(marker));
}

}  // namespace
}  // namespace Vadu
