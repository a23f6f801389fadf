// Clock, delays and the local date and time texts; the debug output.
#include <time.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/backend.h"
#include "platform/core/front_internal.h"
#include "platform/platform.h"

namespace {

struct FixedLocalTime {
  bool active = false;
  int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

FixedLocalTime g_fixed;

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The local date and time now, or the fixed one.
void LocalNow(int& year, int& month, int& day, int& hour, int& minute, int& second) {
  if (g_fixed.active) {
    year = g_fixed.year;
    month = g_fixed.month;
    day = g_fixed.day;
    hour = g_fixed.hour;
    minute = g_fixed.minute;
    second = g_fixed.second;
    return;
  }
  time_t now = ::time(nullptr);
  struct tm local {};
  if (!::localtime_r(&now, &local)) {
    std::memset(&local, 0, sizeof local);
    local.tm_year = 70;
    local.tm_mday = 1;
  }
  year = local.tm_year + 1900;
  month = local.tm_mon + 1;
  day = local.tm_mday;
  hour = local.tm_hour;
  minute = local.tm_min;
  second = local.tm_sec;
}

}  // namespace

int MilliSecs() {
  if (Backend* backend = ActiveBackendOrNull()) return static_cast<int>(backend->Millis());
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
  return static_cast<int>(static_cast<uint32_t>(ms));
}

void Delay(int ms) {
  if (ms <= 0) return;
  InputTimePassed();
  if (Backend* backend = ActiveBackendOrNull()) {
    backend->Sleep(ms);
    return;
  }
  struct timespec wait {};
  wait.tv_sec = ms / 1000;
  wait.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
  while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

void SetFixedLocalTime(int year, int month, int day, int hour, int minute, int second) {
  g_fixed.active = true;
  g_fixed.year = year;
  g_fixed.month = month;
  g_fixed.day = day;
  g_fixed.hour = hour;
  g_fixed.minute = minute;
  g_fixed.second = second;
}

void ClearFixedLocalTime() { g_fixed.active = false; }

std::string CurrentDate() {
  int year, month, day, hour, minute, second;
  LocalNow(year, month, day, hour, minute, second);
  const char* name = (month >= 1 && month <= 12) ? kMonths[month - 1] : "???";
  char text[48];
  std::snprintf(text, sizeof text, "%02d %s %04d", day, name, year);
  return text;
}

std::string CurrentTime() {
  int year, month, day, hour, minute, second;
  LocalNow(year, month, day, hour, minute, second);
  char text[48];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, second);
  return text;
}

void DebugLog(const std::string& text) {
  static const bool enabled = [] {
    const char* value = std::getenv("PIBBO_DEBUGLOG");
    return value && std::strcmp(value, "1") == 0;
  }();
  if (enabled) std::fprintf(stderr, "%s\n", text.c_str());
}
