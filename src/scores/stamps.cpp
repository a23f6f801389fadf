// Calendar time stamps (every month 31 days, every year 12 months) and the
// calendar utilities.
#include <cstdint>
#include <ctime>
#include <string>

#include "scores/scores.h"

namespace {

const char* const kShortMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonths[12] = {"January", "February", "March",     "April",
                                     "May",     "June",     "July",      "August",
                                     "September", "October", "November", "December"};

// Last `width` characters of zeros followed by the decimal text of v: a
// negative value keeps its minus sign inside the field (-5 gives "-5").
std::string Digits(int64_t v, int width) {
  const std::string s = std::string(width, '0') + std::to_string(v);
  return s.substr(s.size() - width);
}

int AbsField(const std::string& text) { return Abs(ToInt(text)); }

}  // namespace

int64_t StampFromTexts(const std::string& date, const std::string& time) {
  const std::string t = Upper(date);
  const int64_t year = AbsField(Mid(t, 8, 4));
  int64_t month = 0;
  const std::string name = Mid(t, 4, 3);
  for (int m = 0; m < 12; ++m) {
    if (name == Upper(kShortMonths[m])) month = m + 1;
  }
  const int64_t day = AbsField(Mid(t, 1, 2));
  const int64_t hour = AbsField(Mid(time, 1, 2));
  const int64_t minute = AbsField(Mid(time, 4, 2));
  const int64_t second = AbsField(Mid(time, 7, 2));
  return ((((year * 12 + month) * 31 + day) * 24 + hour) * 60 + minute) * 60 + second;
}

int64_t Timestamp(const std::string& date) {
  // One reading of the clock for both the date and the time of day, so a
  // stamp taken at midnight does not pair the old date with the new time.
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string today = Digits(local.tm_mday, 2) + " " + kShortMonths[local.tm_mon % 12] +
                            " " + Digits(local.tm_year + 1900, 4);
  const std::string clock = Digits(local.tm_hour, 2) + ":" + Digits(local.tm_min, 2) + ":" +
                            Digits(local.tm_sec, 2);
  return StampFromTexts(date.empty() ? today : date, clock);
}

std::string StampTime(int64_t stamp) {
  std::string text = Digits(stamp % 60, 2);
  int64_t t = stamp / 60;
  text = Digits(t % 60, 2) + ":" + text;
  t /= 60;
  return Digits(t % 24, 2) + ":" + text;
}

std::string StampDate(int64_t stamp) {
  const int64_t d = stamp / 86400;
  const int64_t day = ((d - 1) % 31) + 1;
  const int64_t n = (d - 1) / 31;
  const int64_t month = ((n - 1) % 12) + 1;
  const int64_t year = (n - 1) / 12;
  return Digits(day, 2) + "-" + Digits(month, 2) + "-" + Digits(year, 4);
}

std::string MillstoTime(int millis, int secondsFlag, int minutesFlag, int hoursFlag) {
  const bool s = secondsFlag == 1, m = minutesFlag == 1, h = hoursFlag == 1;
  std::string text;
  int t = millis / 1000;
  if (s) text = Digits(t % 60, 2);
  t /= 60;
  if (s && m) text = ":" + text;
  if (m) text = Digits(t % 60, 2) + text;
  t /= 60;
  if (m && h) text = ":" + text;
  if (h) text = Digits(t % 24, 2) + text;
  return text;
}

int CalenderDay(const std::string& date) {
  const int day = ToInt(Mid(date, 1, 2));
  const int month = ToInt(Mid(date, 4, 2));
  int year = ToInt(Mid(date, 7, 4));
  int m = month - 2;
  if (m < 1) {
    m += 12;
    year -= 1;
  }
  const int y = year % 100;
  const int c = (year - y) / 100;
  const int s = day + (13 * m - 1) / 5 + y + y / 4 + c / 4 - 2 * c;
  int w = s % 7;
  if (w < 0) w += 7;
  return w;
}

int CalenderDays(const std::string& date) {
  const int month = ToInt(Mid(date, 4, 2));
  const int year = ToInt(Mid(date, 7, 4));
  if (month == 4 || month == 6 || month == 9 || month == 11) return 30;
  if (month == 2) return year % 4 == 0 ? 29 : 28;
  return 31;
}

std::string MonthName(int month, int form) {
  if (month < 1 || month > 12) return "";
  if (form == 0) return kShortMonths[month - 1];
  if (form == 1) return kLongMonths[month - 1];
  return "";
}
