// Bit flags and badges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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
    std::fill(std::begin(Channel), std::end(Channel), 0);
    master_ = Options[11];
    effects_ = Options[12];
  }
  void TearDown() override {
    comments.Clear();  // the messages would otherwise be drawn by later frames
    BadgeGet = nullptr;
    std::fill(std::begin(Channel), std::end(Channel), 0);
    Options[11] = master_;
    Options[12] = effects_;
    PlatformShutdown();
  }
  int master_ = 0, effects_ = 0;
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

// The jingle takes the next slot of the effect ring: whatever still sounds
// there is cut off, and the jingle plays at the effect volume, also when that
// volume is 0.
TEST_F(Badges, JinglePlaysOnTheNextRingSlotAtTheEffectVolume) {
  ASSERT_EQ(SetAudioDriver("FreeMix"), 1);
  const std::string path =
      (std::filesystem::temp_directory_path() / ("pibbo_jingle_" + std::to_string(getpid()) + ".wav"))
          .string();
  {
    // One second of a constant level, mono 16-bit.
    std::ofstream out(path, std::ios::binary);
    auto put = [&out](uint32_t v, int bytes) {
      for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    const uint32_t frames = 44100;
    out.write("RIFF", 4);
    put(36 + frames * 2, 4);
    out.write("WAVEfmt ", 8);
    put(16, 4);      // format chunk size
    put(1, 2);       // PCM
    put(1, 2);       // mono
    put(44100, 4);   // frames per second
    put(88200, 4);   // bytes per second
    put(2, 2);       // bytes per frame
    put(16, 2);      // bits per sample
    out.write("data", 4);
    put(frames * 2, 4);
    for (uint32_t i = 0; i < frames; ++i) put(8000, 2);
  }
  BadgeGet = LoadSound(path);
  std::filesystem::remove(path);
  ASSERT_TRUE(BadgeGet);
  auto peak = [] {
    int p = 0;
    const auto mix = headless::MixAudio(64);
    for (int16_t v : mix) p = std::max(p, std::abs(static_cast<int>(v)));
    return p;
  };

  Options[11] = 50;
  Options[12] = 80;
  const int effect = PlaySound(BadgeGet);
  Channel[21] = effect;
  GiveBadge(2);
  EXPECT_EQ(LChan, 21);
  EXPECT_FALSE(ChannelPlaying(effect));
  ASSERT_NE(Channel[21], 0);
  EXPECT_TRUE(ChannelPlaying(Channel[21]));
  EXPECT_FLOAT_EQ(ChannelVol[21], 0.4f);
  EXPECT_GT(peak(), 0);  // resumed, not left cued
  StopChannel(Channel[21]);

  Options[11] = 0;
  GiveBadge(5);
  EXPECT_EQ(LChan, 22);
  ASSERT_NE(Channel[22], 0);
  EXPECT_TRUE(ChannelPlaying(Channel[22]));
  EXPECT_EQ(peak(), 0);
  EXPECT_EQ(Mybadges, 2 + 16);
}

TEST_F(Badges, RingWrapsFrom255To20) {
  LChan = 255;
  GiveBadge(1);
  EXPECT_EQ(LChan, 20);
  EXPECT_EQ(GetFlag(Mybadges, 1), 1);
}

}  // namespace
