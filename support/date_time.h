// Calendar time as milliseconds since 0001-01-01 00:00:00.000 (proleptic Gregorian), with
// conversion to calendar fields and a small formatting language.
#pragma once

#include <cstdint>

#include "support/string_base.h"

namespace Vadu {

constexpr int64_t kMillisecondsPerDay = 86400000;

// The broken-down form of a DateTime.
struct CalendarFields {
  int year = 1;   // from 1
  int month = 1;  // 1 to 12
  int day = 1;    // 1 to 31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int weekday = 1;  // 1 = Monday ... 7 = Sunday
};

bool IsLeapYear(int year);
// Days of the month; 0 for a month outside 1 to 12.
int DaysInMonth(int year, int month);

// A span of milliseconds; never negative.
class Duration {
 public:
  explicit Duration(int64_t milliseconds = 0) : value_(milliseconds < 0 ? 0 : milliseconds) {}
  int64_t Value() const { return value_; }
  // The span as a time of day from midnight, formatted like DateTime::Format ("%H:%M:%S").
  String Format(const String& format) const;

 private:
  int64_t value_;
};

// No time zone is attached: the creator decides whether a value is local time or UTC. The value 0
// (0001-01-01 00:00:00.000) also stands for "invalid".
class DateTime {
 public:
  DateTime() = default;
  explicit DateTime(int64_t value) : value_(value) {}
  // Gives 0 for a month outside 1 to 12 or a day outside the month; the time of day is not
  // range-tested.
  DateTime(int year, int month, int day, int hour, int minute, int second, int millisecond);

  static DateTime NowLocal();
  static DateTime NowUtc();

  int64_t Value() const { return value_; }
  bool IsValid() const { return value_ != 0; }
  // Removes the time of day and returns the removed milliseconds.
  int64_t TruncateToDay();
  CalendarFields Breakdown() const;
  // Replaces the directives %a %A %b %B %d %H %h %I %p %P %m %M %S %c %u %w %y %Y, one directive
  // after the other, in that order.
  String Format(const String& format) const;

  friend bool operator==(DateTime a, DateTime b) { return a.value_ == b.value_; }

 private:
  int64_t value_ = 0;
};

// Platform clocks.
// The current local or UTC time as calendar fields, to the millisecond.
CalendarFields CurrentLocalFields();
CalendarFields CurrentUtcFields();
// Milliseconds of a monotonic clock; 0 when it cannot be read.
int64_t MonotonicMilliseconds();
// The processor's time-stamp counter, or 0 where it cannot be read. (windows.h defines a macro
// of this name; it must not replace the function.)
#undef ReadTimeStampCounter
uint64_t ReadTimeStampCounter();
void SleepMilliseconds(uint32_t milliseconds);

}  // namespace Vadu
