#include "support/elapsed_timer.h"

#include <iterator>

#include "support/date_time.h"

namespace Vadu {

namespace {

struct ToleranceRow {
  uint64_t period;
  uint64_t tolerance;
};

// The first row whose period is at least the timer's period applies; the last row beyond.
constexpr ToleranceRow kToleranceTable[] = {
    {200, 60000000ull},     {500, 150000000ull},    {1000, 300000000ull},     {5000, 1200000000ull},
    {10000, 2400000000ull}, {60000, 6000000000ull}, {120000, 24000000000ull},
};

// Periods below this read the monotonic clock on every query.
constexpr uint64_t kShortestCachedPeriod = 200;

// Timer readings are shifted by this many milliseconds (about 34 years), so that an expired
// timer's start of 0 lies before any reading, even just after the machine started.
constexpr int64_t kReadingOffset = int64_t{1} << 40;

struct ClockCache {
  uint64_t counter = 0;
  int64_t milliseconds = 0;
  bool filled = false;
};

thread_local ClockCache t_clock_cache;

}  // namespace

int64_t CachedMilliseconds(uint64_t tolerance) {
  ClockCache& cache = t_clock_cache;
  uint64_t counter = ReadTimeStampCounter();
  // A counter that went backwards (another processor's) wraps to a large difference.
  if (counter != 0 && cache.filled && counter - cache.counter <= tolerance)
    return cache.milliseconds;
  cache.milliseconds = MonotonicMilliseconds();
  cache.counter = counter;
  cache.filled = counter != 0;
  return cache.milliseconds;
}

uint64_t ClockToleranceForPeriod(uint64_t period) {
  if (period < kShortestCachedPeriod) return 0;
  for (const ToleranceRow& row : kToleranceTable)
    if (row.period >= period) return row.tolerance;
  return std::prev(std::end(kToleranceTable))->tolerance;
}

ElapsedTimer::ElapsedTimer(uint64_t period, bool precise) : precise_(precise) {
  SetPeriod(period);
  start_ = Now();
}

int64_t ElapsedTimer::Now() const {
  int64_t reading = tolerance_ == 0 ? MonotonicMilliseconds() : CachedMilliseconds(tolerance_);
  return reading + kReadingOffset;
}

void ElapsedTimer::ChooseClock() { tolerance_ = precise_ ? 0 : ClockToleranceForPeriod(period_); }

int64_t ElapsedTimer::Restart() {
  start_ = Now();
  return start_;
}

void ElapsedTimer::ChangePeriod(uint64_t period, bool expire) {
  if (expire) Expire();
  SetPeriod(period);
}

void ElapsedTimer::SetPeriod(uint64_t period) {
  if (period == period_) return;
  period_ = period;
  ChooseClock();
}

uint64_t ElapsedTimer::Period() const { return period_; }

bool ElapsedTimer::HasPassed(uint64_t milliseconds) {
  return static_cast<uint64_t>(Elapsed()) > milliseconds;
}

bool ElapsedTimer::IsElapsed() { return IsRunning() && HasPassed(period_); }

bool ElapsedTimer::IsPending() { return IsRunning() && !HasPassed(period_); }

bool ElapsedTimer::CheckAndRestart() {
  if (!IsElapsed()) return false;
  Restart();
  return true;
}

int64_t ElapsedTimer::Elapsed() const {
  int64_t elapsed = Now() - start_;
  return elapsed < 0 ? 0 : elapsed;
}

String ElapsedTimer::ElapsedText() const { return Duration(Elapsed()).Format("%H:%M:%S"); }

int64_t ElapsedTimer::Remaining() const {
  // The period is at most a few thousand years in practice; larger ones count as "never".
  int64_t period =
      period_ > uint64_t{INT64_MAX / 2} ? INT64_MAX / 2 : static_cast<int64_t>(period_);
  int64_t remaining = start_ + period - Now();
  return remaining < 0 ? 0 : remaining;
}

bool ElapsedTimer::IsRunning() const { return period_ != 0; }

void ElapsedTimer::Start(uint64_t period) {
  Restart();
  SetPeriod(period);
}

void ElapsedTimer::Expire() { start_ = 0; }

ElapsedCounterTimer::ElapsedCounterTimer(uint32_t skip, uint64_t period, bool expired)
    : ElapsedTimer(period), skip_(skip) {
  if (expired) {
    start_ = 0;
    calls_ = skip == UINT32_MAX ? skip : skip + 1;
  }
}

int64_t ElapsedCounterTimer::Restart() {
  calls_ = 0;
  return ElapsedTimer::Restart();
}

bool ElapsedCounterTimer::HasPassed(uint64_t milliseconds) {
  uint32_t before = calls_;
  if (calls_ != UINT32_MAX) ++calls_;  // saturates rather than wrapping back into the skip
  if (before <= skip_) return false;
  if (static_cast<uint64_t>(Elapsed()) <= milliseconds) {
    calls_ = 0;
    return false;
  }
  return true;
}

}  // namespace Vadu
