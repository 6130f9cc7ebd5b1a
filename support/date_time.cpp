#include "support/date_time.h"

namespace Vadu {

namespace {

constexpr int64_t kDaysPer400Years = 146097;
constexpr int64_t kDaysPer100Years = 36524;
constexpr int64_t kDaysPer4Years = 1461;

const char* const kShortWeekdays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const kLongWeekdays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                     "Friday", "Saturday", "Sunday"};
const char* const kShortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};

// Days of the months before `month` in `year`.
int64_t DaysBeforeMonth(int year, int month) {
  int64_t days = 0;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days;
}

String Padded(int64_t number, uint32_t width) {
  return String::FromNumber(number).PadLeft(width, '0');
}

// The calendar fields of a count of milliseconds.
CalendarFields BreakdownValue(int64_t value) {
  CalendarFields fields;
  if (value < 0) value = 0;  // before the first day of the calendar: shown as its start
  int64_t days = value / kMillisecondsPerDay;
  int64_t rest = value % kMillisecondsPerDay;
  fields.weekday = static_cast<int>(days % 7) + 1;  // 0001-01-01 was a Monday

  // Whole cycles of 400, 100, 4 and 1 years; the last year of each shorter cycle absorbs the
  // extra leap day of its enclosing cycle.
  int64_t year = 1 + (days / kDaysPer400Years) * 400;
  days %= kDaysPer400Years;
  int64_t centuries = days / kDaysPer100Years;
  if (centuries == 4) centuries = 3;
  days -= centuries * kDaysPer100Years;
  int64_t quads = days / kDaysPer4Years;
  days -= quads * kDaysPer4Years;
  int64_t years = days / 365;
  if (years == 4) years = 3;
  days -= years * 365;
  year += centuries * 100 + quads * 4 + years;

  fields.year = static_cast<int>(year);
  int month = 1;
  while (month < 12 && days >= DaysInMonth(fields.year, month))
    days -= DaysInMonth(fields.year, month++);
  fields.month = month;
  fields.day = static_cast<int>(days) + 1;
  fields.hour = static_cast<int>(rest / 3600000);
  fields.minute = static_cast<int>(rest % 3600000 / 60000);
  fields.second = static_cast<int>(rest % 60000 / 1000);
  fields.millisecond = static_cast<int>(rest % 1000);
  return fields;
}

// Replaces the directives in their fixed order; `hours` is the text of %H.
String FormatFields(const CalendarFields& f, const String& hours, const String& format) {
  int hour12 = f.hour % 12 == 0 ? 12 : f.hour % 12;
  String text = format;
  text = text.ReplaceAll("%a", kShortWeekdays[f.weekday - 1]);
  text = text.ReplaceAll("%A", kLongWeekdays[f.weekday - 1]);
  text = text.ReplaceAll("%b", kShortMonths[f.month - 1]);
  text = text.ReplaceAll("%B", kLongMonths[f.month - 1]);
  text = text.ReplaceAll("%d", Padded(f.day, 2));
  text = text.ReplaceAll("%H", hours);
  text = text.ReplaceAll("%h", String::FromNumber(f.hour));
  text = text.ReplaceAll("%I", Padded(hour12, 2));
  text = text.ReplaceAll("%p", f.hour < 12 ? "am" : "pm");
  text = text.ReplaceAll("%P", f.hour < 12 ? "AM" : "PM");
  text = text.ReplaceAll("%m", Padded(f.month, 2));
  text = text.ReplaceAll("%M", Padded(f.minute, 2));
  text = text.ReplaceAll("%S", Padded(f.second, 2));
  text = text.ReplaceAll("%c", Padded(f.millisecond / 10, 2));
  text = text.ReplaceAll("%u", Padded(f.millisecond, 3));
  text = text.ReplaceAll("%w", String::FromNumber(f.weekday % 7));
  text = text.ReplaceAll("%y", Padded(f.year % 100, 2));
  text = text.ReplaceAll("%Y", String::FromNumber(f.year));
  return text;
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  switch (month) {
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12:
      return 31;
    case 4:
    case 6:
    case 9:
    case 11:
      return 30;
    case 2:
      return IsLeapYear(year) ? 29 : 28;
    default:
      return 0;
  }
}

String Duration::Format(const String& format) const {
  CalendarFields fields = BreakdownValue(value_);
  // A span of a day or more shows all its hours rather than wrapping at midnight.
  return FormatFields(fields, Padded(value_ / 3600000, 2), format);
}

DateTime::DateTime(int year, int month, int day, int hour, int minute, int second,
                   int millisecond) {
  // The calendar starts with year 1; earlier years have no value of their own.
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return;
  int64_t y = year - 1;
  int64_t days = 365 * y + y / 4 - y / 100 + y / 400 + DaysBeforeMonth(year, month) + day - 1;
  value_ = (((days * 24 + hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
}

DateTime DateTime::NowLocal() {
  CalendarFields f = CurrentLocalFields();
  return DateTime(f.year, f.month, f.day, f.hour, f.minute, f.second, f.millisecond);
}

DateTime DateTime::NowUtc() {
  CalendarFields f = CurrentUtcFields();
  return DateTime(f.year, f.month, f.day, f.hour, f.minute, f.second, f.millisecond);
}

int64_t DateTime::TruncateToDay() {
  int64_t removed = value_ % kMillisecondsPerDay;
  value_ -= removed;
  return removed;
}

CalendarFields DateTime::Breakdown() const { return BreakdownValue(value_); }

String DateTime::Format(const String& format) const {
  CalendarFields fields = Breakdown();
  return FormatFields(fields, Padded(fields.hour, 2), format);
}

}  // namespace Vadu
