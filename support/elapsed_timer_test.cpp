#include "support/elapsed_timer.h"

#include <gtest/gtest.h>

#include "support/date_time.h"

namespace Vadu {
namespace {

// A timer whose start can be moved into the past, to stand for time gone by without waiting.
class AgedTimer : public ElapsedTimer {
 public:
  using ElapsedTimer::ElapsedTimer;
  void Age(int64_t milliseconds) { start_ -= milliseconds; }
};

class AgedCounterTimer : public ElapsedCounterTimer {
 public:
  using ElapsedCounterTimer::ElapsedCounterTimer;
  void Age(int64_t milliseconds) { start_ -= milliseconds; }
};

TEST(ClockToleranceTest, GrowsWithThePeriodFromTwoHundredMilliseconds) {
  EXPECT_EQ(ClockToleranceForPeriod(0), 0u);
  EXPECT_EQ(ClockToleranceForPeriod(199), 0u);
  EXPECT_GT(ClockToleranceForPeriod(200), 0u);
  uint64_t previous = 0;
  for (uint64_t period = 200; period <= 200000; period += 1) {
    EXPECT_GE(ClockToleranceForPeriod(period), previous) << period;
    previous = ClockToleranceForPeriod(period);
  }
  EXPECT_EQ(ClockToleranceForPeriod(UINT64_MAX), previous);
  // A row covers the periods up to and including its own.
  EXPECT_EQ(ClockToleranceForPeriod(201), ClockToleranceForPeriod(500));
  EXPECT_LT(ClockToleranceForPeriod(500), ClockToleranceForPeriod(501));
}

TEST(ElapsedTimerTest, ClockFollowsPeriodAndPreciseFlag) {
  ElapsedTimer timer(100);
  EXPECT_EQ(timer.ClockTolerance(), 0u);
  timer.ChangePeriod(20000, false);
  EXPECT_EQ(timer.ClockTolerance(), ClockToleranceForPeriod(20000));
  timer.Start(500);
  EXPECT_EQ(timer.ClockTolerance(), ClockToleranceForPeriod(500));
  ElapsedTimer precise(60000, true);
  EXPECT_EQ(precise.ClockTolerance(), 0u);
}

TEST(ElapsedTimerTest, StoppedTimerNeverReports) {
  ElapsedTimer timer;
  EXPECT_FALSE(timer.IsRunning());
  timer.Expire();
  EXPECT_FALSE(timer.IsElapsed());
  EXPECT_FALSE(timer.IsPending());
  EXPECT_FALSE(timer.CheckAndRestart());
  ElapsedTimer running(60000);
  running.SetPeriod(0);
  EXPECT_FALSE(running.IsRunning());
  EXPECT_FALSE(running.IsPending());
}

TEST(ElapsedTimerTest, PendingUntilExpiredThenRestarted) {
  ElapsedTimer timer(60000);
  EXPECT_TRUE(timer.IsRunning());
  EXPECT_TRUE(timer.IsPending());
  EXPECT_FALSE(timer.IsElapsed());
  EXPECT_LT(timer.Elapsed(), 1000);
  EXPECT_GT(timer.Remaining(), 59000);
  EXPECT_LE(timer.Remaining(), 60000);

  timer.Expire();
  EXPECT_TRUE(timer.IsElapsed());
  EXPECT_FALSE(timer.IsPending());
  EXPECT_EQ(timer.Remaining(), 0);
  EXPECT_EQ(timer.Period(), 60000u);

  EXPECT_TRUE(timer.CheckAndRestart());
  EXPECT_TRUE(timer.IsPending());
  EXPECT_FALSE(timer.CheckAndRestart());
}

TEST(ElapsedTimerTest, ChangePeriodExpiresOnRequest) {
  ElapsedTimer timer(60000);
  timer.ChangePeriod(30000, false);
  EXPECT_EQ(timer.Period(), 30000u);
  EXPECT_TRUE(timer.IsPending());
  timer.ChangePeriod(30000, true);
  EXPECT_TRUE(timer.IsElapsed());
}

TEST(ElapsedTimerTest, ElapsedAndRemainingFollowTheStart) {
  AgedTimer timer(4000000, true);
  timer.Age(3723000);
  EXPECT_GE(timer.Elapsed(), 3723000);
  EXPECT_LT(timer.Elapsed(), 3724000);
  EXPECT_EQ(timer.ElapsedText(), "01:02:03");
  EXPECT_LE(timer.Remaining(), 4000000 - 3723000);
  EXPECT_GT(timer.Remaining(), 4000000 - 3724000);
  EXPECT_TRUE(timer.HasPassed(3722000));
  EXPECT_FALSE(timer.HasPassed(3800000));
  EXPECT_TRUE(timer.IsPending());
  timer.Age(300000);
  EXPECT_TRUE(timer.IsElapsed());
  EXPECT_EQ(timer.Remaining(), 0);

  AgedTimer fresh;
  EXPECT_EQ(fresh.ElapsedText(), "00:00:00");
  // A start in the future is no time at all.
  fresh.Age(-10000);
  EXPECT_EQ(fresh.Elapsed(), 0);
}

TEST(ElapsedTimerTest, ShortPeriodReadsTheRealClock) {
  ElapsedTimer timer;
  timer.Start(100);
  EXPECT_FALSE(timer.HasPassed(1000));
  SleepMilliseconds(10);
  EXPECT_TRUE(timer.HasPassed(5));
  EXPECT_GE(timer.Elapsed(), 9);
  EXPECT_FALSE(timer.HasPassed(1000));
}

TEST(ElapsedCounterTimerTest, SkippedQueriesNeverReadTheClock) {
  ElapsedCounterTimer timer(3, 1000, false);
  timer.Expire();  // long past, but only the fifth query may look
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(timer.IsElapsed()) << "query " << i + 1;
  EXPECT_TRUE(timer.IsElapsed());
  EXPECT_TRUE(timer.IsElapsed());  // stays passed while nothing resets the count

  // A restart counts again from zero.
  timer.Restart();
  timer.Expire();
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(timer.IsElapsed()) << "query " << i + 1;
  EXPECT_TRUE(timer.CheckAndRestart());
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(timer.HasPassed(0)) << "query " << i + 1;
}

TEST(ElapsedCounterTimerTest, ClockReadingNotPassedStartsTheCountAgain) {
  AgedCounterTimer timer(3, 60000, false);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(timer.IsElapsed());
  EXPECT_FALSE(timer.IsElapsed());  // the fifth query reads the clock: not passed, count reset
  timer.Age(120000);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(timer.IsElapsed()) << "query " << i + 1;
  EXPECT_TRUE(timer.IsElapsed());
}

TEST(ElapsedCounterTimerTest, ExpiredAtConstructionReportsAtOnce) {
  ElapsedCounterTimer expired(3, 20000, true);
  EXPECT_TRUE(expired.IsElapsed());
  EXPECT_TRUE(expired.CheckAndRestart());
  EXPECT_FALSE(expired.IsElapsed());
  // Without skipping, the first query after a start still never looks.
  ElapsedCounterTimer noSkip(0, 20000, false);
  noSkip.Expire();
  EXPECT_FALSE(noSkip.IsElapsed());
  EXPECT_TRUE(noSkip.IsElapsed());
}

TEST(CachedClockTest, ServesTheCacheWithinTheTolerance) {
  uint64_t counter = ReadTimeStampCounter();
  if (counter == 0) GTEST_SKIP() << "no readable time-stamp counter";
  int64_t first = CachedMilliseconds(UINT64_MAX);
  int64_t beforeSleep = MonotonicMilliseconds();
  SleepMilliseconds(10);
  EXPECT_GT(ReadTimeStampCounter(), counter);
  // Any counter advance is within the largest tolerance: the cached reading comes back.
  EXPECT_EQ(CachedMilliseconds(UINT64_MAX), first);
  // Without tolerance the clock is read afresh.
  int64_t fresh = CachedMilliseconds(0);
  EXPECT_GE(fresh, beforeSleep + 9);
  EXPECT_LE(fresh, MonotonicMilliseconds());
}

}  // namespace
}  // namespace Vadu
