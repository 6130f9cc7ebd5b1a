#include "support/date_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

namespace Vadu {
namespace {

namespace chr = std::chrono;

// Days from 0001-01-01 to 1970-01-01 in the proleptic Gregorian calendar.
constexpr int64_t kDaysBeforeUnixEpoch = 719162;

// The C++ library's calendar as an independent reference: days since 0001-01-01.
int64_t ReferenceDays(int year, int month, int day) {
  chr::sys_days days{chr::year{year} / chr::month{static_cast<unsigned>(month)} /
                     chr::day{static_cast<unsigned>(day)}};
  return days.time_since_epoch().count() + kDaysBeforeUnixEpoch;
}

int64_t Value(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
              int millisecond = 0) {
  return DateTime(year, month, day, hour, minute, second, millisecond).Value();
}

TEST(CalendarTest, LeapYearsAndMonthLengths) {
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(400));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_FALSE(IsLeapYear(2100));

  for (int year : {1, 1900, 2000, 2023, 2024}) {
    int total = 0;
    for (int month = 1; month <= 12; ++month) {
      int days = DaysInMonth(year, month);
      // Cross-check with the C++ library's calendar: the day after the last is the next month.
      chr::year_month_day last{chr::year{year} / chr::month{static_cast<unsigned>(month)} /
                               chr::last};
      EXPECT_EQ(static_cast<unsigned>(last.day()), static_cast<unsigned>(days))
          << year << "-" << month;
      total += days;
    }
    EXPECT_EQ(total, IsLeapYear(year) ? 366 : 365) << year;
  }
  EXPECT_EQ(DaysInMonth(2024, 0), 0);
  EXPECT_EQ(DaysInMonth(2024, 13), 0);
  EXPECT_EQ(DaysInMonth(2024, -1), 0);
}

TEST(DateTimeTest, InvalidDatesGiveZero) {
  EXPECT_EQ(Value(2024, 2, 30), 0);
  EXPECT_EQ(Value(2023, 2, 29), 0);
  EXPECT_EQ(Value(1900, 2, 29), 0);
  EXPECT_EQ(Value(2023, 13, 1), 0);
  EXPECT_EQ(Value(2023, 0, 1), 0);
  EXPECT_EQ(Value(2023, 4, 31), 0);
  EXPECT_EQ(Value(2023, 4, 0), 0);
  EXPECT_EQ(Value(0, 1, 1), 0);
  EXPECT_EQ(Value(-5, 3, 1), 0);
  EXPECT_FALSE(DateTime(2023, 13, 1, 0, 0, 0, 0).IsValid());

  EXPECT_NE(Value(2024, 2, 29), 0);
  EXPECT_NE(Value(2000, 2, 29), 0);
  EXPECT_TRUE(DateTime(2024, 2, 29, 0, 0, 0, 0).IsValid());
}

TEST(DateTimeTest, FirstInstantIsZeroAndBreaksDownToYearOne) {
  DateTime first(1, 1, 1, 0, 0, 0, 0);
  EXPECT_EQ(first.Value(), 0);
  EXPECT_FALSE(first.IsValid());
  CalendarFields f = first.Breakdown();
  EXPECT_EQ(f.year, 1);
  EXPECT_EQ(f.month, 1);
  EXPECT_EQ(f.day, 1);
  EXPECT_EQ(f.hour, 0);
  EXPECT_EQ(f.weekday, 1);  // a Monday
  EXPECT_EQ(Value(1, 1, 2), kMillisecondsPerDay);
}

TEST(DateTimeTest, ValuesMatchTheReferenceCalendar) {
  EXPECT_EQ(Value(1970, 1, 1), kDaysBeforeUnixEpoch * kMillisecondsPerDay);
  EXPECT_EQ(Value(2024, 5, 1, 13, 7, 55, 42),
            ReferenceDays(2024, 5, 1) * kMillisecondsPerDay + 47275042);
  // Every day of four centuries around the Gregorian leap rules, built and broken down.
  for (int year = 1597; year <= 2403; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= DaysInMonth(year, month); ++day) {
        int64_t value = Value(year, month, day);
        ASSERT_EQ(value, ReferenceDays(year, month, day) * kMillisecondsPerDay)
            << year << "-" << month << "-" << day;
        CalendarFields f = DateTime(value).Breakdown();
        ASSERT_EQ(f.year, year);
        ASSERT_EQ(f.month, month);
        ASSERT_EQ(f.day, day);
      }
    }
  }
}

TEST(DateTimeTest, RandomValuesRoundTripThroughTheirFields) {
  std::mt19937_64 random(20240501);
  // Up to the end of year 9999.
  std::uniform_int_distribution<int64_t> values(0, Value(9999, 12, 31, 23, 59, 59, 999));
  for (int i = 0; i < 200000; ++i) {
    int64_t value = values(random);
    CalendarFields f = DateTime(value).Breakdown();
    ASSERT_EQ(Value(f.year, f.month, f.day, f.hour, f.minute, f.second, f.millisecond), value);
    ASSERT_GE(f.hour, 0);
    ASSERT_LE(f.hour, 23);
    ASSERT_LE(f.minute, 59);
    ASSERT_LE(f.second, 59);
    ASSERT_LE(f.millisecond, 999);
    chr::year_month_day reference{
        chr::sys_days{chr::days{value / kMillisecondsPerDay - kDaysBeforeUnixEpoch}}};
    ASSERT_EQ(static_cast<int>(reference.year()), f.year) << value;
    ASSERT_EQ(static_cast<unsigned>(reference.month()), static_cast<unsigned>(f.month));
    ASSERT_EQ(static_cast<unsigned>(reference.day()), static_cast<unsigned>(f.day));
    ASSERT_EQ(chr::weekday{chr::sys_days{reference}}.iso_encoding(),
              static_cast<unsigned>(f.weekday));
  }
}

TEST(DateTimeTest, TimeOfDayIsNotRangeTested) {
  // 25 hours into the first of March is the second of March, 01:00.
  EXPECT_EQ(Value(2023, 3, 1, 25, 0, 0, 0), Value(2023, 3, 2, 1, 0, 0, 0));
  EXPECT_EQ(Value(2023, 3, 1, 0, 0, 0, 1500), Value(2023, 3, 1, 0, 0, 1, 500));
}

TEST(DateTimeTest, WeekdaysOfKnownDates) {
  struct Known {
    int year, month, day, weekday;
  };
  const Known known[] = {
      {1970, 1, 1, 4},    // Thursday
      {2000, 1, 1, 6},    // Saturday
      {2000, 2, 29, 2},   // Tuesday
      {2024, 5, 1, 3},    // Wednesday
      {2023, 12, 31, 7},  // Sunday
      {1582, 10, 15, 5},  // Friday: the first day of the Gregorian calendar
  };
  for (const Known& k : known)
    EXPECT_EQ(DateTime(k.year, k.month, k.day, 12, 0, 0, 0).Breakdown().weekday, k.weekday)
        << k.year << "-" << k.month << "-" << k.day;
}

TEST(DateTimeTest, TruncateToDayRemovesTheTimeOfDay) {
  DateTime moment(2024, 5, 1, 13, 7, 55, 42);
  EXPECT_EQ(moment.TruncateToDay(), 47275042);
  EXPECT_EQ(moment, DateTime(2024, 5, 1, 0, 0, 0, 0));
  EXPECT_EQ(moment.TruncateToDay(), 0);
  DateTime last(2024, 12, 31, 23, 59, 59, 999);
  EXPECT_EQ(last.TruncateToDay(), kMillisecondsPerDay - 1);
  EXPECT_EQ(last.Format("%Y-%m-%d %H:%M:%S.%u"), "2024-12-31 00:00:00.000");
}

TEST(DateTimeFormatTest, LogFileNamePattern) {
  DateTime moment(2024, 5, 1, 13, 7, 55, 42);
  EXPECT_EQ(moment.Format("%Y-%m-%d_%H.%M.%S"), "2024-05-01_13.07.55");
  EXPECT_EQ(moment.Format("%I%p"), "01pm");
  EXPECT_EQ(moment.Format("%u"), "042");
  EXPECT_EQ(moment.Format("%c"), "04");
}

TEST(DateTimeFormatTest, EveryDirective) {
  DateTime moment(2009, 2, 3, 4, 5, 6, 789);  // a Tuesday
  EXPECT_EQ(moment.Format("%a|%A|%b|%B"), "Tue|Tuesday|Feb|February");
  EXPECT_EQ(moment.Format("%d|%H|%h|%I|%p|%P"), "03|04|4|04|am|AM");
  EXPECT_EQ(moment.Format("%m|%M|%S|%c|%u|%w|%y|%Y"), "02|05|06|78|789|2|09|2009");

  DateTime evening(1999, 11, 28, 23, 59, 58, 5);  // a Sunday
  EXPECT_EQ(evening.Format("%a %A %b %B %d"), "Sun Sunday Nov November 28");
  EXPECT_EQ(evening.Format("%H %h %I %p %P"), "23 23 11 pm PM");
  EXPECT_EQ(evening.Format("%c %u %w %y %Y"), "00 005 0 99 1999");

  EXPECT_EQ(DateTime(812, 7, 4, 0, 0, 0, 0).Format("%Y %y"), "812 12");
  EXPECT_EQ(DateTime(2000, 7, 4, 0, 0, 0, 0).Format("%y"), "00");
}

TEST(DateTimeFormatTest, TwelveHourClock) {
  const char* expected[24] = {"12am", "01am", "02am", "03am", "04am", "05am", "06am", "07am",
                              "08am", "09am", "10am", "11am", "12pm", "01pm", "02pm", "03pm",
                              "04pm", "05pm", "06pm", "07pm", "08pm", "09pm", "10pm", "11pm"};
  for (int hour = 0; hour < 24; ++hour)
    EXPECT_EQ(DateTime(2024, 1, 1, hour, 0, 0, 0).Format("%I%p"), expected[hour]) << hour;
}

TEST(DateTimeFormatTest, OtherTextIsCopied) {
  DateTime moment(2024, 5, 1, 13, 7, 55, 42);
  EXPECT_EQ(moment.Format(""), "");
  EXPECT_EQ(moment.Format("100% sure %x %"), "100% sure %x %");
  // No escape: the second percent sign starts a directive.
  EXPECT_EQ(moment.Format("%%Y"), "%2024");
  EXPECT_EQ(moment.Format("%Y%Y"), "20242024");
}

TEST(DurationTest, FormatsAsTimeOfDay) {
  EXPECT_EQ(Duration(-5).Value(), 0);
  EXPECT_EQ(Duration(0).Format("%H:%M:%S"), "00:00:00");
  EXPECT_EQ(Duration(3723004).Format("%H:%M:%S.%u"), "01:02:03.004");
  // A day or more keeps counting hours instead of starting again at midnight.
  EXPECT_EQ(Duration(90061000).Format("%H:%M:%S"), "25:01:01");
  EXPECT_EQ(Duration(1000LL * 3600 * 1000).Format("%H:%M:%S"), "1000:00:00");
}

TEST(ClockTest, NowAgreesWithTheSystemClock) {
  auto before = chr::system_clock::now();
  DateTime utc = DateTime::NowUtc();
  auto after = chr::system_clock::now();
  auto to_value = [](chr::system_clock::time_point t) {
    return chr::duration_cast<chr::milliseconds>(t.time_since_epoch()).count() +
           kDaysBeforeUnixEpoch * kMillisecondsPerDay;
  };
  // The system's own clocks may tick at different resolutions.
  EXPECT_GE(utc.Value(), to_value(before) - 50);
  EXPECT_LE(utc.Value(), to_value(after) + 50);

  // Local time differs from UTC by whole quarter hours, at most 14 hours either way.
  DateTime local = DateTime::NowLocal();
  int64_t offset = local.Value() - DateTime::NowUtc().Value();
  int64_t quarter = 15 * 60 * 1000;
  int64_t rounded = (offset + (offset < 0 ? -quarter / 2 : quarter / 2)) / quarter * quarter;
  EXPECT_LE(offset - rounded, 2000);
  EXPECT_GE(offset - rounded, -2000);
  EXPECT_LE(rounded, 14 * 3600 * 1000);
  EXPECT_GE(rounded, -14 * 3600 * 1000);

  CalendarFields fields = CurrentLocalFields();
  EXPECT_EQ(DateTime(fields.year, fields.month, fields.day, 0, 0, 0, 0).Breakdown().weekday,
            fields.weekday);
}

TEST(ClockTest, MonotonicClockAdvancesWithSleep) {
  int64_t start = MonotonicMilliseconds();
  EXPECT_GT(start, 0);
  SleepMilliseconds(10);
  int64_t end = MonotonicMilliseconds();
  EXPECT_GE(end - start, 9);
  EXPECT_LT(end - start, 2000);
}

}  // namespace
}  // namespace Vadu
