// Clocks of Windows: system time, the performance counter and Sleep.
#include <windows.h>

#include "support/date_time.h"

namespace Vadu {

namespace {

CalendarFields FieldsOf(const SYSTEMTIME& t) {
  CalendarFields fields;
  fields.year = t.wYear;
  fields.month = t.wMonth;
  fields.day = t.wDay;
  fields.hour = t.wHour;
  fields.minute = t.wMinute;
  fields.second = t.wSecond;
  fields.millisecond = t.wMilliseconds;
  fields.weekday = t.wDayOfWeek == 0 ? 7 : t.wDayOfWeek;
  return fields;
}

}  // namespace

CalendarFields CurrentLocalFields() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return FieldsOf(t);
}

CalendarFields CurrentUtcFields() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  return FieldsOf(t);
}

int64_t MonotonicMilliseconds() {
  LARGE_INTEGER count, frequency;
  if (!QueryPerformanceCounter(&count) || !QueryPerformanceFrequency(&frequency) ||
      frequency.QuadPart <= 0)
    return 0;
  // Whole seconds and the remainder apart, so that the product cannot overflow.
  int64_t seconds = count.QuadPart / frequency.QuadPart;
  int64_t rest = count.QuadPart % frequency.QuadPart;
  return seconds * 1000 + rest * 1000 / frequency.QuadPart;
}

void SleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace Vadu
