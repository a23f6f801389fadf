// Calendar time stamps and calendar utilities.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "scores/scores.h"

namespace {

TEST(Stamps, KnownAnswers) {
  struct Case {
    const char* date;
    const char* time;
    int64_t stamp;
    const char* shownDate;
    const char* shownTime;
  };
  const Case cases[] = {
      {"07 DEC 2026", "14:03:59", 65150057039, "07-12-2026", "14:03:59"},
      {"07 Dec 2026", "14:03:59", 65150057039, "07-12-2026", "14:03:59"},
      {"07 dec 2026", "14:03:59", 65150057039, "07-12-2026", "14:03:59"},
      {"31 Dec 2026", "23:59:59", 65152166399, "31-12-2026", "23:59:59"},
      {"01 Jan 2027", "00:00:00", 65152166400, "01-01-2027", "00:00:00"},
      {"28 Feb 2026", "12:00:00", 65125080000, "28-02-2026", "12:00:00"},
      {"01 Mar 2026", "12:00:00", 65125425600, "01-03-2026", "12:00:00"},
      // Unknown month: month 0 is December of the year before.
      {"07 XYZ 2026", "14:03:59", 65117916239, "07-12-2025", "14:03:59"},
      // Fields are read by position: a one-digit day shifts them.
      {"7 DEC 2026", "14:03:59", 836316239, "07-12-0025", "14:03:59"},
      // Out-of-range days enter the formula as they are.
      {"45 Mar 2026", "00:00:00", 65129184000, "14-04-2026", "00:00:00"},
      {"", "", 0, "00-00-0000", "00:00:00"},
  };
  for (const auto& c : cases) {
    const int64_t stamp = StampFromTexts(c.date, c.time);
    EXPECT_EQ(stamp, c.stamp) << c.date;
    EXPECT_EQ(StampDate(stamp), c.shownDate) << c.date;
    EXPECT_EQ(StampTime(stamp), c.shownTime) << c.date;
  }
  EXPECT_EQ(StampTime(-5), "00:00:-5");
}

TEST(Stamps, GivenDateIsUsedAndMonthNamesAreEnglish) {
  // The time of day comes from the clock; the date does not depend on it.
  EXPECT_EQ(StampDate(Timestamp("07 Dec 2026")), "07-12-2026");
  EXPECT_EQ(StampDate(Timestamp("29 Feb 2028")), "29-02-2028");
  // Today's stamp names a real month (month names are not locale words).
  const std::string today = StampDate(Timestamp());
  const int month = std::stoi(today.substr(3, 2));
  EXPECT_GE(month, 1);
  EXPECT_LE(month, 12);
  EXPECT_GE(std::stoi(today.substr(6, 4)), 2024);
}

TEST(Stamps, RealDatesRoundTrip) {
  for (int year : {0, 1, 1999, 2026, 9999}) {
    for (int month = 1; month <= 12; ++month) {
      for (int day : {1, 15, 31}) {
        char date[16];
        std::snprintf(date, sizeof date, "%02d %s %04d", day, MonthName(month, 0).c_str(), year);
        const int64_t stamp = StampFromTexts(date, "23:07:05");
        const std::string shown = StampDate(stamp);
        EXPECT_EQ(std::stoi(shown.substr(0, 2)), day) << date;
        EXPECT_EQ(std::stoi(shown.substr(3, 2)), month) << date;
        EXPECT_EQ(std::stoi(shown.substr(6, 4)), year) << date;
        EXPECT_EQ(StampTime(stamp), "23:07:05");
      }
    }
  }
}

TEST(Calendar, MillstoTime) {
  struct Case {
    int ms, s, m, h;
    const char* text;
  };
  const Case cases[] = {
      {3723000, 1, 0, 0, "03"},       {3723000, 0, 1, 0, "02"},
      {3723000, 0, 0, 1, "01"},       {3723000, 1, 1, 0, "02:03"},
      {3723000, 0, 1, 1, "01:02"},    {3723000, 1, 1, 1, "01:02:03"},
      {3723000, 1, 0, 1, "0103"},     {3723000, 0, 0, 0, ""},
      {3723000, 2, 1, 1, "01:02"},    {999, 1, 1, 1, "00:00:00"},
      {90061000, 1, 1, 1, "01:01:01"}, {2147483647, 1, 1, 1, "20:31:23"},
      {-61500, 1, 1, 1, "00:-1:-1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MillstoTime(c.ms, c.s, c.m, c.h), c.text) << c.ms << " " << c.s << c.m << c.h;
  }
}

TEST(Calendar, DayOfWeekAndDaysInMonth) {
  struct Day {
    const char* date;
    int weekday;
  };
  const Day days[] = {{"07-12-2026", 1}, {"01-03-2000", 3}, {"01-01-2000", 6},
                      {"29-02-2000", 2}, {"01-03-2100", 1}, {"01-01-1900", 1},
                      {"07/12/2026", 1}, {"04-07-1776", 4}, {"01-01-0001", 1}};
  for (const auto& d : days) EXPECT_EQ(CalenderDay(d.date), d.weekday) << d.date;

  struct Len {
    const char* date;
    int days;
  };
  const Len lens[] = {{"01-02-1900", 29}, {"01-02-2000", 29}, {"01-02-2100", 29},
                      {"01-02-2026", 28}, {"01-04-2026", 30}, {"01-13-2026", 31},
                      {"01-12-2026", 31}, {"", 31}};
  for (const auto& l : lens) EXPECT_EQ(CalenderDays(l.date), l.days) << l.date;
}

TEST(Calendar, MonthNames) {
  EXPECT_EQ(MonthName(5, 0), "May");
  EXPECT_EQ(MonthName(5, 1), "May");
  EXPECT_EQ(MonthName(9, 0), "Sep");
  EXPECT_EQ(MonthName(9, 1), "September");
  EXPECT_EQ(MonthName(0, 0), "");
  EXPECT_EQ(MonthName(13, 1), "");
  EXPECT_EQ(MonthName(3, 2), "");
}

}  // namespace
