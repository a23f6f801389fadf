// Bit flags and badges.
#include <gtest/gtest.h>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "platform/headless.h"
#include "scores/scores.h"

namespace {

TEST(Flags, GetFlag) {
  EXPECT_EQ(GetFlag(5, 1), 1);
  EXPECT_EQ(GetFlag(5, 2), 0);
  EXPECT_EQ(GetFlag(5, 3), 1);
  EXPECT_EQ(GetFlag(-2147483647 - 1, 32), 1);
  EXPECT_EQ(GetFlag(-2147483647 - 1, 31), 0);
  EXPECT_EQ(GetFlag(32768, 16), 1);
}

TEST(Flags, SetFlagKeepsThirtyFlags) {
  struct Case {
    int value, n, on, result;
  };
  const Case cases[] = {{0, 1, 1, 1},          {1, 1, 1, 1},
                        {7, 2, 0, 5},          {0, 16, 1, 32768},
                        {5, 2, 0, 5},          {0, 30, 1, 536870912},
                        {1073741824, 1, 1, 1}, {-1, 1, 0, 1073741822}};
  for (const auto& c : cases) {
    EXPECT_EQ(SetFlag(c.value, c.n, c.on), c.result) << c.value << " " << c.n << " " << c.on;
  }
}

class Badges : public ::testing::Test {
 protected:
  void SetUp() override {
    PlatformInit(BackendKind::Headless);
    Mybadges = 0;
    comments.Clear();
    LChan = 20;
  }
  void TearDown() override {
    comments.Clear();  // the messages would otherwise be drawn by later frames
    PlatformShutdown();
  }
};

TEST_F(Badges, GiveBadgeSetsTheFlagAndAnnouncesEachAward) {
  GiveBadge(3);
  GiveBadge(3);
  EXPECT_EQ(Mybadges, 4);
  EXPECT_EQ(comments.Count(), 2u);
  EXPECT_EQ(LChan, 22);  // one slot of the effect ring per award
  GiveBadge(16);         // badge 16 has no title of its own
  EXPECT_EQ(Mybadges, 4 + 32768);
  EXPECT_EQ(comments.Last()->txt, " : 16");
  GiveBadge(0);  // no such badge
  GiveBadge(17);
  EXPECT_EQ(Mybadges, 4 + 32768);
}

TEST_F(Badges, RingWrapsFrom255To20) {
  LChan = 255;
  GiveBadge(1);
  EXPECT_EQ(LChan, 20);
  EXPECT_EQ(GetFlag(Mybadges, 1), 1);
}

}  // namespace
