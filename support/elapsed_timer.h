// Interval timers that tell their owner when a period has passed, reading a monotonic clock or a
// per-thread cached clock that spares the system call when little time went by.
#pragma once

#include <cstdint>

#include "support/string_base.h"

namespace Vadu {

// Milliseconds of the monotonic clock, served from a per-thread cache while the time-stamp
// counter has advanced by no more than `tolerance` ticks since the cached reading.
int64_t CachedMilliseconds(uint64_t tolerance);

// The tolerance, in time-stamp counter ticks, of the cached clock a timer of `period`
// milliseconds reads; 0 for periods below 200 ms, which read the monotonic clock every time.
uint64_t ClockToleranceForPeriod(uint64_t period);

class ElapsedTimer {
 public:
  // A stopped timer (period 0) unless a period is given; `precise` forces the monotonic clock.
  explicit ElapsedTimer(uint64_t period = 0, bool precise = false);
  virtual ~ElapsedTimer() = default;

  virtual int64_t Restart();
  virtual void ChangePeriod(uint64_t period, bool expire);
  virtual void SetPeriod(uint64_t period);
  virtual uint64_t Period() const;
  virtual bool HasPassed(uint64_t milliseconds);
  virtual bool IsElapsed();
  virtual bool IsPending();
  virtual bool CheckAndRestart();
  virtual int64_t Elapsed() const;
  virtual String ElapsedText() const;
  virtual int64_t Remaining() const;
  virtual bool IsRunning() const;
  virtual void Start(uint64_t period);
  virtual void Expire();

  // The tolerance of the clock this timer reads (0: the monotonic clock on every query).
  uint64_t ClockTolerance() const { return tolerance_; }

 protected:
  int64_t Now() const;
  int64_t start_ = 0;

 private:
  void ChooseClock();

  bool precise_;
  uint64_t period_ = 0;
  uint64_t tolerance_ = 0;  // 0: read the monotonic clock every time
};

// Reads the clock only on every (skip + 2)-th query at most: the first `skip` + 1 queries after a
// restart answer "not passed" without looking at the clock.
class ElapsedCounterTimer : public ElapsedTimer {
 public:
  ElapsedCounterTimer(uint32_t skip, uint64_t period, bool expired);

  int64_t Restart() override;
  bool HasPassed(uint64_t milliseconds) override;

 private:
  uint32_t skip_;
  uint32_t calls_ = 0;
};

}  // namespace Vadu
