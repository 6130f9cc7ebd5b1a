#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <thread>

#include "support/file_lock.h"
#include "support/test_util.h"

namespace Vadu {
namespace {

using std::chrono::milliseconds;
using Testing::Wide;
using Testing::WriteFileBytes;

TEST(FileLockPosixTest, ANamedPipeIsRefusedWithoutWaitingForAWriter) {
  Testing::TempFolder folder;
  ASSERT_EQ(mkfifo((folder / "x.exe").c_str(), 0600), 0);
  FileLock lock;
  EXPECT_EQ(lock.Acquire(Wide(folder / "x.exe"), milliseconds(0)),
            FileLock::Status::kNotRegularFile);
}

TEST(FileLockPosixTest, AFileReplacedWhileWaitingIsLockedUnderItsNewIdentity) {
  Testing::TempFolder folder;
  const WString file = Wide(folder / "target.exe");
  WriteFileBytes(folder / "target.exe", "old");
  FileLock holder;
  ASSERT_EQ(holder.Acquire(file, milliseconds(0)), FileLock::Status::kLocked);

  std::future<bool> waiter = std::async(std::launch::async, [&] {
    FileLock lock;
    if (lock.Acquire(file, milliseconds(20000)) != FileLock::Status::kLocked) return false;
    // Held on what the path names now: a third party cannot take it.
    FileLock third;
    return third.Acquire(file, milliseconds(0)) == FileLock::Status::kBusy;
  });
  std::this_thread::sleep_for(milliseconds(200));
  // The holder replaces the file by rename, as the commands do, then lets go.
  WriteFileBytes(folder / "new", "new");
  std::filesystem::rename(folder / "new", folder / "target.exe");
  holder.Release();
  EXPECT_TRUE(waiter.get());
}

TEST(MarkerFilePosixTest, AMarkerIsNeverMadeThroughALink) {
  Testing::TempFolder folder;
  WriteFileBytes(folder / "victim", "keep");
  std::filesystem::create_symlink(folder / "victim", folder / "marker");
  EXPECT_FALSE(HoldMarkerFile(Wide(folder / "marker")));
  EXPECT_EQ(Testing::ReadFileBytes(folder / "victim"), "keep");
}

}  // namespace
}  // namespace Vadu
