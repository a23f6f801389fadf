// On-screen messages and score pop-ups over frames of fps, and the sound
// playback on the channel slots with the headless in-memory mixer.
#include <cmath>
#include <fstream>

#include "frame_fixture.h"

using frame_test::CallsOf;

namespace {

class Messages : public frame_test::FrameTest {};

TEST_F(Messages, AgeOut180FramesYellowFirstStackingUp) {
  AddComment("first", 1);
  AddComment("second", 0);
  for (int frame = 1; frame <= 180; ++frame) {
    fps(60, 0, 0);
    auto rects = CallsOf(headless::LastFrame(), DrawCall::Rect);
    auto texts = CallsOf(headless::LastFrame(), DrawCall::Text);
    ASSERT_EQ(rects.size(), 2u) << "frame " << frame;
    ASSERT_EQ(texts.size(), 2u);
    // The oldest bar ends at the bottom edge, the next one right above it.
    EXPECT_FLOAT_EQ(rects[0].y + rects[0].y2, 960);
    EXPECT_FLOAT_EQ(rects[1].y + rects[1].y2, rects[0].y);
    EXPECT_EQ(texts[0].text, "first");
    EXPECT_FLOAT_EQ(texts[0].y, rects[0].y);
    EXPECT_FLOAT_EQ(texts[1].y, rects[1].y);
    EXPECT_FLOAT_EQ(rects[0].alpha, 0.7f);
    const bool yellow = frame < 60;
    EXPECT_EQ(rects[0].b == 0 && rects[0].r == 255, yellow) << "frame " << frame;
    EXPECT_EQ(texts[0].r, yellow ? 0 : 255) << "frame " << frame;
    EXPECT_FLOAT_EQ(rects[0].x2, static_cast<float>(TextWidth("first")));
  }
  EXPECT_TRUE(comments.IsEmpty());
  fps(60, 0, 0);
  EXPECT_TRUE(CallsOf(headless::LastFrame(), DrawCall::Rect).empty());
}

TEST_F(Messages, PopUpsRiseFadeAndGo) {
  struct Case {
    int style;
    float firstY, lastY;
  };
  static int64_t paid;
  ScorePaidHook = [](int64_t points) { paid += points; };
  for (const Case c : {Case{1, 399.75f, 370}, Case{2, 399.5f, 340}}) {
    paid = 1000;
    Gimme(150, 640, 400, c.style, 255, 0, 255);
    EXPECT_EQ(paid, 1150);
    auto popup = scoreget.Last();
    for (int frame = 1; frame <= 120; ++frame) {
      fps(60, 0, 0);
      auto texts = CallsOf(headless::LastFrame(), DrawCall::Text);
      ASSERT_EQ(texts.size(), 1u) << "frame " << frame;
      EXPECT_EQ(texts[0].text, "150");
      EXPECT_NEAR(texts[0].alpha, (120 - frame) / 120.0f, 1e-6) << "frame " << frame;
      EXPECT_EQ(texts[0].r + texts[0].g + texts[0].b, 510);
      if (frame == 1) {
        EXPECT_FLOAT_EQ(popup->y, c.firstY);
      }
    }
    EXPECT_FLOAT_EQ(popup->y, c.lastY);
    EXPECT_TRUE(scoreget.IsEmpty());
  }
  Gimme(-40, 100, 100, 1, 255, 255, 0);
  EXPECT_EQ(paid, 1110);
  ScorePaidHook = nullptr;
  fps(60, 0, 0);
  EXPECT_EQ(CallsOf(headless::LastFrame(), DrawCall::Text)[0].text, "-40");
}

TEST_F(Messages, PopUpIsCentredOnItsTruncatedPosition) {
  Gimme(7, 641, 401, 1, 255, 255, 0);
  DrawScores();
  auto texts = CallsOf(headless::DrawCalls(), DrawCall::Text);
  ASSERT_EQ(texts.size(), 1u);
  // y 400.75 is drawn on row 400, centred both ways.
  EXPECT_FLOAT_EQ(texts[0].x, 641.0f - TextWidth("7") / 2);
  EXPECT_FLOAT_EQ(texts[0].y, 400.0f - TextHeight("7") / 2);
}

// ---------------------------------------------------------------------------
// Sound
// ---------------------------------------------------------------------------
// A mono 16-bit WAV of `frames` samples all at `level`.
void WriteConstantWav(const std::string& path, int frames, int16_t level) {
  std::ofstream out(path, std::ios::binary);
  auto put = [&out](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  const uint32_t data = static_cast<uint32_t>(frames) * 2;
  out.write("RIFF", 4);
  put(36 + data, 4);
  out.write("WAVEfmt ", 8);
  put(16, 4);
  put(1, 2);
  put(1, 2);
  put(44100, 4);
  put(88200, 4);
  put(2, 2);
  put(16, 2);
  out.write("data", 4);
  put(data, 4);
  for (int i = 0; i < frames; ++i) put(static_cast<uint16_t>(level), 2);
}

class SoundTest : public frame_test::FrameTest {
 protected:
  void SetUp() override {
    frame_test::FrameTest::SetUp();
    ASSERT_EQ(SetAudioDriver("FreeMix"), 1);
    WriteConstantWav("tone.wav", 44100, 8000);
    tone_ = LoadSound("tone.wav");
    ASSERT_TRUE(tone_);
  }
  // Peak of the left output over a few mixed frames.
  static int Peak() {
    int peak = 0;
    auto out = headless::MixAudio(64);
    for (size_t i = 0; i < out.size(); i += 2) peak = std::max(peak, std::abs(static_cast<int>(out[i])));
    return peak;
  }
  Sound tone_;
};

TEST_F(SoundTest, EffectsTakeTheRingOfSlots) {
  sfx[5] = tone_;
  PlaySFX(5, 1, 1, 0);
  EXPECT_EQ(LChan, 21);
  const int first = Channel[21];
  EXPECT_NE(first, 0);
  EXPECT_TRUE(ChannelPlaying(first));
  for (int i = 0; i < 234; ++i) PlaySFX(5, 1, 1, 0);
  EXPECT_EQ(LChan, 255);
  PlaySFX(5, 1, 1, 0);
  EXPECT_EQ(LChan, 20);
  // Slot 21 comes round again: its effect still sounds, so it is cut off and
  // the slot gets a fresh channel.
  PlaySFX(5, 1, 1, 0);
  EXPECT_EQ(LChan, 21);
  EXPECT_FALSE(ChannelPlaying(first));
  EXPECT_NE(Channel[21], first);

  // Nothing to play: the ring stands still.
  for (int index : {6, 0, -3, 201, 5000}) {
    PlaySFX(index, 1, 1, 0);
    EXPECT_EQ(LChan, 21) << index;
  }
  Options[12] = 0;
  PlaySFX(5, 1, 1, 0);
  EXPECT_EQ(LChan, 21);
  Options[12] = 50;
  PlaySFX(5, 1, 1, 0);
  EXPECT_EQ(LChan, 22);
}

TEST_F(SoundTest, FinishedEffectsLeaveTheirChannelForReuse) {
  WriteConstantWav("blip.wav", 100, 8000);
  sfx[7] = LoadSound("blip.wav");
  ASSERT_TRUE(sfx[7]);
  PlaySFX(7, 1, 1, 0);
  const int channel = Channel[21];
  headless::MixAudio(1000);  // the blip has ended
  ASSERT_FALSE(ChannelPlaying(channel));
  LChan = 20;
  PlaySFX(7, 1, 1, 0);
  EXPECT_EQ(Channel[21], channel);
  EXPECT_TRUE(ChannelPlaying(channel));
}

TEST_F(SoundTest, EffectVolumeFromTheSettings) {
  sfx[5] = tone_;
  struct Case {
    int master, sound;
    float volume, expected;
  };
  const std::vector<Case> cases = {
      {100, 100, 1.0f, 1.0f}, {50, 50, 1.0f, 0.25f}, {100, 100, 0.5f, 0.5f}, {50, 100, 1.0f, 0.5f}, {100, 100, 1.5f, 1.0f},
  };
  int full = 0;
  for (const auto& c : cases) {
    Options[11] = c.master;
    Options[12] = c.sound;
    PlaySFX(5, 1, c.volume, 0);
    const int peak = Peak();
    StopChannel(Channel[LChan]);
    if (full == 0) full = peak;
    ASSERT_GT(full, 0);
    EXPECT_NEAR(static_cast<double>(peak) / full, c.expected, 0.01) << c.master << " " << c.sound << " " << c.volume;
    EXPECT_FLOAT_EQ(ChannelVol[LChan], std::min(c.volume, 1.0f));
  }
  PlaySFX(5, 1, -0.2f, 0);
  EXPECT_EQ(Peak(), 0);
}

TEST_F(SoundTest, MusicVolumeFollowsTheSettings) {
  Options[11] = 100;
  Options[13] = 100;
  PlayMusic(tone_);
  ASSERT_NE(MusicChannel, 0);
  const int full = Peak();
  ASSERT_GT(full, 0);

  Options[11] = 50;
  Options[13] = 50;
  fps(60, 0, 0);
  EXPECT_NEAR(static_cast<double>(Peak()) / full, 0.25, 0.01);

  // A new tune replaces the old one; with the music setting at 0 nothing
  // starts and the playing tune goes on.
  const int old = MusicChannel;
  PlayMusic(tone_);
  EXPECT_NE(MusicChannel, old);
  EXPECT_FALSE(ChannelPlaying(old));
  Options[13] = 0;
  const int playing = MusicChannel;
  PlayMusic(tone_);
  EXPECT_EQ(MusicChannel, playing);
  EXPECT_TRUE(ChannelPlaying(playing));
  fps(60, 0, 0);
  EXPECT_EQ(Peak(), 0);  // and follows the setting down to silence
}

// A tune that cannot be cued stops the older one, as any new tune does, and
// gives back the channel taken for it: nothing is left cued, resumed or kept.
TEST_F(SoundTest, MusicThatCannotBeCuedKeepsNoChannel) {
  Options[11] = 100;
  Options[13] = 100;
  PlayMusic(tone_);
  const int old = MusicChannel;
  ASSERT_NE(old, 0);
  headless::RecordChannelCalls(true);
  PlayMusic(Sound());
  EXPECT_EQ(MusicChannel, 0);
  EXPECT_FALSE(ChannelPlaying(old));
  const std::vector<ChannelCall> calls = headless::ChannelCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].op, ChannelCall::Stop);
  EXPECT_EQ(calls[0].channel, old);
  EXPECT_EQ(calls[1].op, ChannelCall::Stop) << "the channel taken for the tune goes back";
  EXPECT_GT(calls[1].channel, old);
  EXPECT_EQ(Peak(), 0);
  // The game's restart rule (a new tune while MusicChannel is 0) still works.
  PlayMusic(tone_);
  EXPECT_NE(MusicChannel, 0);
  EXPECT_GT(Peak(), 0);
  headless::RecordChannelCalls(false);
}

}  // namespace
