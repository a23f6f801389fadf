// Channels through the software mixer ("FreeMix" on the headless back end,
// mixed on demand by headless::MixAudio).
#include <cmath>

#include "audio_test_util.h"

namespace {

class AudioMixerTest : public AudioTest {
 protected:
  void SetUp() override {
    AudioTest::SetUp();
    ASSERT_EQ(SetAudioDriver("FreeMix"), 1);
  }
  // Left and right of output frame f.
  static int L(const std::vector<int16_t>& out, int f) { return out[static_cast<size_t>(f) * 2]; }
  static int R(const std::vector<int16_t>& out, int f) { return out[static_cast<size_t>(f) * 2 + 1]; }
};

TEST_F(AudioMixerTest, VolumeAndPanShapeTheOutput) {
  struct Case {
    float volume, pan;
    int left, right;
  };
  const Case cases[] = {
      {1.0f, 0.0f, 1000, 1000}, {0.5f, 0.0f, 500, 500},  {0.0f, 0.0f, 0, 0},
      {1.0f, -1.0f, 1000, 0},   {1.0f, 1.0f, 0, 1000},   {1.0f, 0.5f, 500, 1000},
      {1.0f, -0.25f, 1000, 750}, {2.0f, 0.0f, 2000, 2000}, {1.0f, 7.0f, 0, 1000},  // pan clamped
      {-3.0f, 0.0f, 0, 0},      {NAN, 0.0f, 0, 0},
  };
  Sound s = Constant(64, 1000);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan);
    int ch = CueSound(s);
    ASSERT_GT(ch, 0);
    SetChannelVolume(ch, c.volume);
    SetChannelPan(ch, c.pan);
    ResumeChannel(ch);
    std::vector<int16_t> out = headless::MixAudio(8);
    ASSERT_EQ(out.size(), 16u);
    EXPECT_EQ(L(out, 3), c.left);
    EXPECT_EQ(R(out, 3), c.right);
    StopChannel(ch);
  }
}

TEST_F(AudioMixerTest, StereoSoundsKeepTheirSides) {
  Sound s = Make({100, -200, 300, -400}, 2);
  int ch = PlaySound(s);
  std::vector<int16_t> out = headless::MixAudio(3);
  EXPECT_EQ((std::vector<int16_t>(out.begin(), out.begin() + 4)), (std::vector<int16_t>{100, -200, 300, -400}));
  EXPECT_EQ(L(out, 2), 0);  // ended after two frames
  EXPECT_EQ(ChannelPlaying(ch), 0);
}

// The sum passes untouched up to the limiter's ceiling: the mix at the
// default volumes comes out as the plain sum.
TEST_F(AudioMixerTest, SumsUpToTheCeilingPassUntouched) {
  struct Case {
    std::vector<int16_t> values;  // one constant channel each
    float volume;
    int out;
  };
  const Case cases[] = {
      {{1000}, 1.0f, 1000},
      {{-20000}, 1.0f, -20000},
      {{14602}, 2.0f, 29204},
      {{29204}, 1.0f, 29204},
      {{-14602, -14602}, 1.0f, -29204},
      {{15000, 14000}, 1.0f, 29000},
      {{32767, -32768}, 1.0f, -1},
      {{24000}, 0.3f, 7200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.values.size() << " channels, first " << c.values[0]);
    std::vector<int> channels;
    for (int16_t v : c.values) {
      channels.push_back(CueSound(Constant(2000, v)));
      SetChannelVolume(channels.back(), c.volume);
      ResumeChannel(channels.back());
    }
    headless::MixPeak();
    std::vector<int16_t> out = headless::MixAudio(1500);
    for (int f : {0, 700, 1499}) {
      EXPECT_EQ(L(out, f), c.out) << f;
      EXPECT_EQ(R(out, f), c.out) << f;
    }
    EXPECT_FLOAT_EQ(headless::MixPeak(), static_cast<float>(std::abs(c.out)));  // the sum before the limiter
    for (int ch : channels) StopChannel(ch);
  }
}

// Sums past the ceiling are turned down, never clipped and never wrapped,
// however loud and however many channels.
TEST_F(AudioMixerTest, LoudSumsAreLimitedNotClipped) {
  struct Case {
    int16_t value;
    int channels;
    float volume;
  };
  for (Case c : {Case{20000, 1, 3.0f}, Case{-20000, 2, 1.0f}, Case{32767, 8, 1000.0f}, Case{-32768, 1, 1.5f},
                 Case{30000, 1, 1.0f}}) {
    SCOPED_TRACE(testing::Message() << c.channels << " x " << c.value << " at " << c.volume);
    std::vector<int> channels;
    for (int k = 0; k < c.channels; ++k) {
      channels.push_back(CueSound(Constant(4000, c.value)));
      SetChannelVolume(channels.back(), c.volume);
      ResumeChannel(channels.back());
    }
    headless::MixPeak();
    std::vector<int16_t> out = headless::MixAudio(3000);
    EXPECT_GT(headless::MixPeak(), audio::kLimitCeiling);
    for (size_t i = 0; i < out.size(); ++i) {
      ASSERT_LE(std::abs(static_cast<int>(out[i])), static_cast<int>(audio::kLimitCeiling)) << i;
      ASSERT_EQ(out[i] < 0, c.value < 0) << i;  // the sign holds: nothing wraps
    }
    // A steady loud sum settles just at the ceiling.
    EXPECT_NEAR(std::abs(L(out, 2500)), audio::kLimitCeiling, 2);
    for (int ch : channels) StopChannel(ch);
    headless::MixAudio(5 * 44100);  // the gain comes back (30 dB a second) before the next case
  }
}

// The gain glides into a peak ahead of it and glides back afterwards, to
// exactly the plain sum.
TEST_F(AudioMixerTest, TheLimiterGlidesDownAndBack) {
  std::vector<int16_t> samples(600, 10000);
  samples.resize(1000, 30000);  // a loud step at frame 600, within one block
  samples.resize(1200, 10000);
  int ch = CueSound(Make(samples));
  SetChannelVolume(ch, 2.0f);  // 20000, then 60000: 6.2 dB over the ceiling
  ResumeChannel(ch);
  std::vector<int16_t> out = headless::MixAudio(1000);
  EXPECT_EQ(L(out, 0), 20000);        // far ahead of the step: untouched
  EXPECT_EQ(L(out, 450), 20000);
  EXPECT_LT(L(out, 599), 10000);  // already down to the step's gain
  for (int f = 451; f < 600; ++f) {
    EXPECT_LE(L(out, f), L(out, f - 1)) << f;
    EXPECT_GE(L(out, f), L(out, f - 1) * 0.99) << f;  // a glide, not a jump
  }
  EXPECT_LE(L(out, 800), audio::kLimitCeiling);
  // After the step: back up gently, at most 30 dB a second.
  out = headless::MixAudio(44100);
  EXPECT_LT(L(out, 0), 10000);
  for (int f = 1; f < 200; ++f) EXPECT_GE(L(out, f), L(out, f - 1)) << f;
  StopChannel(ch);
  ch = PlaySound(Constant(100, 1000));
  EXPECT_EQ(L(headless::MixAudio(10), 5), 1000);
}

// A sound of n frames at the mixer's own rate lasts n / rate output frames.
TEST_F(AudioMixerTest, RateChangesTheLength) {
  struct Case {
    int soundRate;
    float rate;
    int frames;  // output frames until the end
  };
  for (Case c : {Case{44100, 1.0f, 1000}, Case{44100, 2.0f, 500}, Case{44100, 0.5f, 2000},
                 Case{22050, 1.0f, 2000}, Case{88200, 1.0f, 500}}) {
    SCOPED_TRACE(testing::Message() << c.soundRate << " Hz at rate " << c.rate);
    Sound s = Make(std::vector<int16_t>(1000, 500), 1, c.soundRate);
    int ch = CueSound(s);
    SetChannelRate(ch, c.rate);
    ResumeChannel(ch);
    headless::MixAudio(c.frames - 1);
    EXPECT_EQ(ChannelPlaying(ch), 1);
    headless::MixAudio(1);
    EXPECT_EQ(ChannelPlaying(ch), 0);
  }
}

TEST_F(AudioMixerTest, ResamplingInterpolatesLinearly) {
  Sound ramp = Make({0, 1000, 2000, 3000});
  int ch = CueSound(ramp);
  SetChannelRate(ch, 0.5f);
  ResumeChannel(ch);
  std::vector<int16_t> out = headless::MixAudio(8);
  for (int f = 0; f < 7; ++f) EXPECT_EQ(L(out, f), 500 * f) << f;
  EXPECT_EQ(L(out, 7), 3000);  // the last frame is held, not faded to 0

  // A rate of 0 holds the channel still and silent; it goes on playing.
  ch = CueSound(ramp);
  SetChannelRate(ch, 0.0f);
  ResumeChannel(ch);
  out = headless::MixAudio(100);
  EXPECT_EQ(L(out, 50), 0);
  EXPECT_EQ(ChannelPlaying(ch), 1);
  SetChannelRate(ch, 1.0f);
  EXPECT_EQ(L(headless::MixAudio(2), 1), 1000);  // from where it stood
}

TEST_F(AudioMixerTest, CuedChannelsWaitAndPausedChannelsHold) {
  Sound ramp = Make({10, 20, 30, 40, 50, 60});
  int ch = CueSound(ramp);
  EXPECT_EQ(ChannelPlaying(ch), 1);  // cued counts as playing: it has not ended
  EXPECT_EQ(L(headless::MixAudio(4), 0), 0);
  ResumeChannel(ch);
  EXPECT_EQ(L(headless::MixAudio(2), 0), 10);
  PauseChannel(ch);
  EXPECT_EQ(L(headless::MixAudio(5), 0), 0);
  EXPECT_EQ(ChannelPlaying(ch), 1);
  ResumeChannel(ch);
  ResumeChannel(ch);  // twice is harmless
  std::vector<int16_t> out = headless::MixAudio(5);
  EXPECT_EQ(L(out, 0), 30);
  EXPECT_EQ(L(out, 3), 60);
  EXPECT_EQ(L(out, 4), 0);
  EXPECT_EQ(ChannelPlaying(ch), 0);
}

TEST_F(AudioMixerTest, LoopingSoundsWrapAndNeverEnd) {
  Sound s = Make({1, 2, 3}, 1, audio::kMixRate, SOUND_LOOP);
  int ch = PlaySound(s);
  std::vector<int16_t> out = headless::MixAudio(7);
  std::vector<int> left;
  for (int f = 0; f < 7; ++f) left.push_back(L(out, f));
  EXPECT_EQ(left, (std::vector<int>{1, 2, 3, 1, 2, 3, 1}));
  headless::MixAudio(100000);
  EXPECT_EQ(ChannelPlaying(ch), 1);
  // Interpolation across the loop point runs into the start again.
  ch = CueSound(s, ch);
  SetChannelRate(ch, 0.5f);
  ResumeChannel(ch);
  out = headless::MixAudio(7);
  EXPECT_EQ(L(out, 4), 3);
  EXPECT_EQ(L(out, 5), 2);  // halfway from 3 back to 1
  EXPECT_EQ(L(out, 6), 1);
}

TEST_F(AudioMixerTest, ChannelHandlesAndReuse) {
  Sound s = Constant(10, 100);
  int a = AllocChannel();
  int b = AllocChannel();
  EXPECT_GT(a, 0);
  EXPECT_NE(a, b);
  EXPECT_EQ(ChannelPlaying(a), 0);
  EXPECT_EQ(CueSound(s, a), a);
  int c = CueSound(s);  // a new channel
  EXPECT_GT(c, 0);
  EXPECT_NE(c, a);
  EXPECT_NE(c, b);

  // No sound, a handle never given out, a negative one: nothing is cued.
  EXPECT_EQ(CueSound(nullptr), 0);
  EXPECT_EQ(CueSound(s, 999999), 0);
  EXPECT_EQ(CueSound(s, -4), 0);
  EXPECT_EQ(ChannelPlaying(999999), 0);
  StopChannel(999999);  // harmless
  SetChannelVolume(0, 1.0f);

  // A finished channel and a stopped one both take a new sound.
  ResumeChannel(a);
  headless::MixAudio(10);
  EXPECT_EQ(ChannelPlaying(a), 0);
  EXPECT_EQ(PlaySound(s, a), a);
  EXPECT_EQ(L(headless::MixAudio(1), 0), 100);  // only a: c waits, cued
  StopChannel(a);
  EXPECT_EQ(ChannelPlaying(a), 0);
  EXPECT_EQ(PlaySound(s, a), a);
  EXPECT_EQ(ChannelPlaying(a), 1);
  // Re-cueing a playing channel starts its new sound from the beginning.
  Sound ramp = Make({7, 8, 9});
  EXPECT_EQ(PlaySound(ramp, a), a);
  EXPECT_EQ(L(headless::MixAudio(1), 0), 7);
}

TEST_F(AudioMixerTest, SettingsStayWithTheChannelAcrossCues) {
  Sound s = Constant(4, 1000);
  int ch = AllocChannel();
  SetChannelVolume(ch, 0.25f);
  SetChannelPan(ch, 1.0f);
  PlaySound(s, ch);
  std::vector<int16_t> out = headless::MixAudio(1);
  EXPECT_EQ(L(out, 0), 0);
  EXPECT_EQ(R(out, 0), 250);
}

// A long session allocates far more channels than it keeps; old idle ones
// are retired, yet a retired handle still takes a sound, and playing ones
// are never touched.
TEST_F(AudioMixerTest, ManyChannelsRetireOnlyIdleOnes) {
  Sound loop = Make({5}, 1, audio::kMixRate, SOUND_LOOP);
  Sound s = Constant(4, 1);
  int keeper = PlaySound(loop);
  int first = AllocChannel();
  int last = 0;
  for (int i = 0; i < 10000; ++i) last = AllocChannel();
  EXPECT_EQ(last, first + 10000);
  EXPECT_EQ(ChannelPlaying(keeper), 1);
  EXPECT_EQ(L(headless::MixAudio(1), 0), 5);
  EXPECT_EQ(CueSound(s, first), first);
  EXPECT_EQ(ChannelPlaying(first), 1);
  EXPECT_GT(AllocChannel(), last);  // handles are never handed out twice
}

TEST_F(AudioMixerTest, MixAudioWithoutAMixingDriverIsSilent) {
  EXPECT_TRUE(headless::MixAudio(0).empty());
  EXPECT_TRUE(headless::MixAudio(-5).empty());
  PlaySound(Constant(100, 1000));
  ASSERT_EQ(SetAudioDriver("Null"), 1);
  PlaySound(Constant(100, 1000));
  std::vector<int16_t> out = headless::MixAudio(10);
  ASSERT_EQ(out.size(), 20u);
  for (int16_t v : out) EXPECT_EQ(v, 0);
}

}  // namespace
