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

TEST(CalendarTest, MonthLengthsMatchTheReferenceCalendar) {
  for (int year : {1, 1900, 2000, 2023, 2024, 2100}) {
    EXPECT_EQ(IsLeapYear(year), chr::year{year}.is_leap()) << year;
    for (int month = 1; month <= 12; ++month) {
      chr::year_month_day last{chr::year{year} / chr::month{static_cast<unsigned>(month)} /
                               chr::last};
      EXPECT_EQ(static_cast<unsigned>(last.day()), static_cast<unsigned>(DaysInMonth(year, month)))
          << year << "-" << month;
    }
  }
  EXPECT_EQ(DaysInMonth(2024, 0), 0);
  EXPECT_EQ(DaysInMonth(2024, 13), 0);
}

TEST(DateTimeTest, InvalidDatesGiveZero) {
  const int invalid[][3] = {{2024, 2, 30}, {2023, 2, 29}, {1900, 2, 29}, {2023, 13, 1},
                            {2023, 0, 1},  {2023, 4, 31}, {2023, 4, 0},  {0, 1, 1}};
  for (const auto& d : invalid) EXPECT_EQ(Value(d[0], d[1], d[2]), 0) << d[0] << d[1] << d[2];
  EXPECT_FALSE(DateTime(2023, 13, 1, 0, 0, 0, 0).IsValid());
  EXPECT_TRUE(DateTime(2000, 2, 29, 0, 0, 0, 0).IsValid());
}

TEST(DateTimeTest, FirstInstantIsZeroAndBreaksDownToYearOne) {
  DateTime first(1, 1, 1, 0, 0, 0, 0);
  EXPECT_EQ(first.Value(), 0);
  EXPECT_FALSE(first.IsValid());
  CalendarFields f = first.Breakdown();
  EXPECT_EQ(f.year * 10000 + f.month * 100 + f.day, 10101);
  EXPECT_EQ(f.weekday, 1);  // a Monday
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
  for (int i = 0; i < 100000; ++i) {
    int64_t value = values(random);
    CalendarFields f = DateTime(value).Breakdown();
    ASSERT_EQ(Value(f.year, f.month, f.day, f.hour, f.minute, f.second, f.millisecond), value);
    ASSERT_EQ(((f.hour * 60 + f.minute) * 60 + f.second) * 1000 + f.millisecond,
              value % kMillisecondsPerDay);
    chr::sys_days day{chr::days{value / kMillisecondsPerDay - kDaysBeforeUnixEpoch}};
    ASSERT_EQ(chr::weekday{day}.iso_encoding(), static_cast<unsigned>(f.weekday)) << value;
  }
}

TEST(DateTimeTest, TimeOfDayIsNotRangeTested) {
  // 25 hours into the first of March is the second of March, 01:00.
  EXPECT_EQ(Value(2023, 3, 1, 25, 0, 0, 0), Value(2023, 3, 2, 1, 0, 0, 0));
  EXPECT_EQ(Value(2023, 3, 1, 0, 0, 0, 1500), Value(2023, 3, 1, 0, 0, 1, 500));
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

TEST(DateTimeFormatTest, EveryDirective) {
  DateTime moment(2009, 2, 3, 4, 5, 6, 789);  // a Tuesday
  EXPECT_EQ(moment.Format("%a|%A|%b|%B"), "Tue|Tuesday|Feb|February");
  EXPECT_EQ(moment.Format("%d|%H|%h|%I|%p|%P"), "03|04|4|04|am|AM");
  EXPECT_EQ(moment.Format("%m|%M|%S|%c|%u|%w|%y|%Y"), "02|05|06|78|789|2|09|2009");
  DateTime evening(1999, 11, 28, 23, 59, 58, 5);  // a Sunday
  EXPECT_EQ(evening.Format("%a %A %b %B %d"), "Sun Sunday Nov November 28");
  EXPECT_EQ(evening.Format("%H %h %I %p %P"), "23 23 11 pm PM");
  EXPECT_EQ(evening.Format("%c %u %w %y %Y"), "00 005 0 99 1999");
  // The log file name pattern; years of fewer than four digits.
  EXPECT_EQ(DateTime(2024, 5, 1, 13, 7, 55, 42).Format("%Y-%m-%d_%H.%M.%S"), "2024-05-01_13.07.55");
  EXPECT_EQ(DateTime(812, 7, 4, 0, 0, 0, 0).Format("%Y %y"), "812 12");
  // Noon and midnight on the twelve-hour clock.
  EXPECT_EQ(DateTime(2024, 1, 1, 0, 0, 0, 0).Format("%I%p"), "12am");
  EXPECT_EQ(DateTime(2024, 1, 1, 12, 0, 0, 0).Format("%I%p"), "12pm");
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
  auto toValue = [](chr::system_clock::time_point t) {
    return chr::duration_cast<chr::milliseconds>(t.time_since_epoch()).count() +
           kDaysBeforeUnixEpoch * kMillisecondsPerDay;
  };
  // The system's own clocks may tick at different resolutions.
  EXPECT_GE(utc.Value(), toValue(before) - 50);
  EXPECT_LE(utc.Value(), toValue(after) + 50);

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
