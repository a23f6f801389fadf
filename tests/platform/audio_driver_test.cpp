// The audio drivers: the list, choosing by name, the default driver at the
// first sound, the silent driver's timing and the SDL device fallback.
#include <cstdlib>

#include "audio_test_util.h"
#include "platform/sdl/sdl_audio.h"

namespace {

using AudioDriverTest = AudioTest;

TEST_F(AudioDriverTest, HeadlessListsTheSoftwareDriversNewestFirst) {
  EXPECT_EQ(AudioDrivers(), (std::vector<std::string>{"FreeMix", "FreeMix System", "Null"}));
  EXPECT_EQ(CurrentAudioDriver(), "");
  // No OpenAL on the headless back end, so runs do not depend on devices.
  EXPECT_EQ(EnableOpenALAudio(), 0);
  EXPECT_EQ(EnableOpenALAudio(), 0);
  EXPECT_EQ(AudioDrivers().size(), 3u);
}

TEST_F(AudioDriverTest, NamesAreMatchedWithoutRegardToCase) {
  struct Case {
    const char* name;
    int exists;
    const char* current;  // after SetAudioDriver
  };
  const Case cases[] = {
      {"FreeMix", 1, "FreeMix"},
      {"freemix system", 1, "FreeMix System"},
      {"NULL", 1, "Null"},
      {"FREEMIX", 1, "FreeMix"},
      {"OpenAL", 0, "Null"},
      {"FreeMix ", 0, "Null"},
      {"", 0, "Null"},
      {"DirectSound", 0, "Null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(AudioDriverExists(c.name), c.exists);
    EXPECT_EQ(SetAudioDriver(c.name), c.exists);
    EXPECT_EQ(CurrentAudioDriver(), c.current);
  }
}

TEST_F(AudioDriverTest, FirstSoundStartsTheDefaultDriver) {
  int ch = PlaySound(Constant(10, 321));
  EXPECT_GT(ch, 0);
  EXPECT_EQ(CurrentAudioDriver(), "FreeMix");
  EXPECT_EQ(headless::MixAudio(1)[0], 321);

  AudioShutdown();
  EXPECT_GT(AllocChannel(), 0);
  EXPECT_EQ(CurrentAudioDriver(), "FreeMix");
}

TEST_F(AudioDriverTest, SwitchingDriversStopsEveryChannel) {
  int ch = PlaySound(Constant(1000, 1, SOUND_LOOP));
  ASSERT_EQ(ChannelPlaying(ch), 1);
  ASSERT_EQ(SetAudioDriver("FreeMix System"), 1);
  EXPECT_EQ(ChannelPlaying(ch), 0);
  // The handle stays usable with the new driver.
  EXPECT_EQ(PlaySound(Constant(10, 42), ch), ch);
  EXPECT_EQ(headless::MixAudio(1)[0], 42);
}

// The silent driver keeps time by the clock: a sound "plays" for as long as
// it would be heard.
TEST_F(AudioDriverTest, NullDriverChannelsEndOnTheClock) {
  ASSERT_EQ(SetAudioDriver("Null"), 1);
  Sound tenMs = Constant(441, 1000);  // 10 ms at 44100 Hz
  int ch = PlaySound(tenMs);
  ASSERT_GT(ch, 0);
  headless::Advance(9);
  EXPECT_EQ(ChannelPlaying(ch), 1);
  headless::Advance(1);
  EXPECT_EQ(ChannelPlaying(ch), 0);

  // Twice the rate, half the time; paused time does not count.
  ch = CueSound(tenMs, ch);
  SetChannelRate(ch, 2.0f);
  headless::Advance(100);
  ResumeChannel(ch);
  headless::Advance(3);
  PauseChannel(ch);
  headless::Advance(100);
  ResumeChannel(ch);
  headless::Advance(1);
  EXPECT_EQ(ChannelPlaying(ch), 1);
  headless::Advance(2);
  EXPECT_EQ(ChannelPlaying(ch), 0);

  int looped = PlaySound(Constant(10, 1, SOUND_LOOP));
  headless::Advance(5000);
  EXPECT_EQ(ChannelPlaying(looped), 1);
}

// Without a sound device the mixer falls back to SDL's silent output
// instead of failing.
TEST_F(AudioDriverTest, MixerDeviceOpensEvenWithoutSoundHardware) {
  const char* old = std::getenv("SDL_AUDIODRIVER");
  std::string saved = old ? old : "";
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  int pulls = 0;
  auto output = OpenSdlAudioOutput(512, [&pulls](int16_t*, int) { ++pulls; });
  ASSERT_NE(output, nullptr);
  EXPECT_FALSE(output->Audible());
  output.reset();
  if (old) setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
  else unsetenv("SDL_AUDIODRIVER");
}

}  // namespace

// The OpenAL driver's voices, on OpenAL Soft's silent "null" output so that
// no sound device is needed. Long looping sounds keep the test free of timing.
TEST_F(AudioDriverTest, OpenALChannelsHoldSourcesWhileTheyPlay) {
  setenv("ALSOFT_DRIVERS", "null", 1);
  if (!audio::OpenALAvailable()) GTEST_SKIP() << "OpenAL Soft cannot open its null output here";
  auto driver = audio::CreateOpenALDriver("");
  ASSERT_TRUE(driver->Start());
  Sound loop = Constant(44100, 1000, SOUND_LOOP);
  std::vector<audio::Channel> channels(300);
  std::vector<audio::Channel*> playing;
  int cued = 0;
  for (audio::Channel& ch : channels) {
    ch.sound = loop;
    ch.state = audio::Channel::Paused;
    if (!driver->Cue(ch)) break;
    ++cued;
    ch.state = audio::Channel::Playing;
    ch.active = true;
    playing.push_back(&ch);
    driver->Resume(ch);
  }
  // A bounded set of voices: the rest find none, and nothing crashes.
  EXPECT_GT(cued, 16);
  EXPECT_LT(cued, 300);
  driver->Update(playing);
  EXPECT_EQ(static_cast<int>(playing.size()), cued);

  // A stopped voice frees its source for the next cue.
  driver->Release(channels[0]);
  EXPECT_EQ(channels[0].alSource, 0u);
  audio::Channel extra;
  extra.sound = loop;
  EXPECT_TRUE(driver->Cue(extra));
  EXPECT_NE(extra.alSource, 0u);

  // An empty sound cues but ends at once once it is resumed.
  audio::Channel empty;
  empty.sound = Make({});
  empty.state = audio::Channel::Playing;
  empty.active = true;
  std::vector<audio::Channel*> justEmpty{&empty};
  ASSERT_TRUE(driver->Cue(empty));
  driver->Update(justEmpty);
  EXPECT_TRUE(justEmpty.empty());
  EXPECT_EQ(empty.state, audio::Channel::Idle);
  driver->Stop();
}
