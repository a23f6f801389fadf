#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

struct FixedTime : ::testing::Test {
  void TearDown() override { ClearFixedLocalTime(); }
};

TEST_F(FixedTime, DateAndTimeTexts) {
  SetFixedLocalTime(2026, 12, 7, 14, 3, 59);
  EXPECT_EQ(CurrentDate(), "07 Dec 2026");
  EXPECT_EQ(CurrentTime(), "14:03:59");
  const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int m = 1; m <= 12; ++m) {
    SetFixedLocalTime(999, m, 31, 0, 0, 0);
    EXPECT_EQ(CurrentDate(), std::string("31 ") + months[m - 1] + " 0999");
    EXPECT_EQ(CurrentTime(), "00:00:00");
  }
}

TEST_F(FixedTime, RealClockHasTheSameShape) {
  ClearFixedLocalTime();
  const std::string date = CurrentDate();
  const std::string time = CurrentTime();
  ASSERT_EQ(date.size(), 11u);
  EXPECT_EQ(date[2], ' ');
  EXPECT_EQ(date[6], ' ');
  EXPECT_GE(ToInt(date.substr(7)), 2000);
  ASSERT_EQ(time.size(), 8u);
  EXPECT_EQ(time[2], ':');
  EXPECT_EQ(time[5], ':');
  EXPECT_LE(ToInt(time.substr(0, 2)), 23);
}

TEST(CoreClock, DelayAdvancesMilliSecs) {
  // No back end started here: the monotonic clock serves.
  const int start = MilliSecs();
  Delay(20);
  const int elapsed = static_cast<int>(static_cast<uint32_t>(MilliSecs()) - static_cast<uint32_t>(start));
  EXPECT_GE(elapsed, 20);
  Delay(0);
  Delay(-5);
}

}  // namespace
