#include "support/lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

namespace Vadu {
namespace {

// Whether another thread can take the lock within a few seconds (and gives it back).
bool OtherThreadCanLock(CritSection& lock) {
  auto taken = std::async(std::launch::async, [&lock] {
    lock.Lock();
    lock.Unlock();
  });
  return taken.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
}

TEST(CritSection, OwnerMayLockAgainAndIsFreeAfterAsManyUnlocks) {
  CritSection lock;
  lock.Lock();
  lock.Lock();
  lock.Unlock();
  // Still held once: another thread has to wait until the last unlock.
  std::atomic<bool> entered{false};
  std::thread waiter([&] {
    lock.Lock();
    entered = true;
    lock.Unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(entered);
  lock.Unlock();
  waiter.join();
  EXPECT_TRUE(entered);
  EXPECT_TRUE(OtherThreadCanLock(lock));
}

TEST(CritSection, ExcludesOtherThreads) {
  CritSection lock;
  long counter = 0;  // deliberately not atomic
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        AutoLock guard(&lock);
        AutoLock nested(&lock);
        long seen = counter;
        counter = seen + 1;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 80000);
}

TEST(AutoLock, UnlocksOnEveryExitAndIgnoresNull) {
  CritSection lock;
  try {
    AutoLock guard(&lock);
    throw std::runtime_error("leave the scope");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(OtherThreadCanLock(lock));

  { AutoLock nothing(nullptr); }
  // AutoLock calls Unlock exactly once per Lock: a counting lockable sees the balance.
  struct Counting : ILockable {
    int locks = 0, unlocks = 0;
    void Lock() override { ++locks; }
    void Unlock() override { ++unlocks; }
  } counting;
  {
    AutoLock guard(&counting);
    EXPECT_EQ(counting.locks, 1);
    EXPECT_EQ(counting.unlocks, 0);
  }
  EXPECT_EQ(counting.unlocks, 1);
}

}  // namespace
}  // namespace Vadu
