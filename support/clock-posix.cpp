// Clocks of POSIX systems: the C library's calendar time and the monotonic clock.
#include <errno.h>
#include <time.h>

#include "support/date_time.h"

namespace Vadu {

namespace {

CalendarFields FieldsOf(const struct tm& t, long nanoseconds) {
  CalendarFields fields;
  fields.year = t.tm_year + 1900;
  fields.month = t.tm_mon + 1;
  fields.day = t.tm_mday;
  fields.hour = t.tm_hour;
  fields.minute = t.tm_min;
  fields.second = t.tm_sec > 59 ? 59 : t.tm_sec;  // a leap second stays within its minute
  fields.millisecond = static_cast<int>(nanoseconds / 1000000);
  fields.weekday = t.tm_wday == 0 ? 7 : t.tm_wday;
  return fields;
}

// The calendar fields of the current time, broken down by localtime_r or gmtime_r.
CalendarFields CurrentFields(struct tm* (*breakDown)(const time_t*, struct tm*)) {
  struct timespec now = {};
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm t = {};
  if (!breakDown(&now.tv_sec, &t)) return CalendarFields();
  return FieldsOf(t, now.tv_nsec);
}

}  // namespace

CalendarFields CurrentLocalFields() { return CurrentFields(localtime_r); }

CalendarFields CurrentUtcFields() { return CurrentFields(gmtime_r); }

int64_t MonotonicMilliseconds() {
  struct timespec now = {};
  if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) return 0;
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void SleepMilliseconds(uint32_t milliseconds) {
  struct timespec wanted = {static_cast<time_t>(milliseconds / 1000),
                            static_cast<long>(milliseconds % 1000) * 1000000};
  struct timespec left = {};
  while (nanosleep(&wanted, &left) != 0 && errno == EINTR) wanted = left;
}

}  // namespace Vadu
