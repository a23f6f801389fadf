// Loading sounds: WAV layouts good and bad, Ogg Vorbis decoding.
#include <sys/stat.h>

#include <cmath>
#include <numbers>

#include "audio_test_util.h"

using namespace testwav;

namespace {

using AudioSoundTest = AudioTest;

TEST_F(AudioSoundTest, Wav16MonoKeepsSamplesAndRate) {
  std::vector<int16_t> samples{0, 1, -1, 32767, -32768, 1234};
  Sound s = LoadSound(Write("a.wav", Wav16(samples, 1, 22050)));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->rate, 22050);
  EXPECT_EQ(s->channels, 1);
  EXPECT_EQ(s->samples, samples);
  EXPECT_FALSE(s->Loops());
  Sound looped = LoadSound(Write("b.wav", Wav16(samples, 2, 8000)), SOUND_LOOP);
  ASSERT_TRUE(looped);
  EXPECT_TRUE(looped->Loops());
  EXPECT_EQ(looped->channels, 2);
  EXPECT_EQ(looped->Frames(), 3u);
}

TEST_F(AudioSoundTest, Wav8BitStereoIsWidenedAroundTheMidpoint) {
  std::vector<uint8_t> chunks;
  Chunk(chunks, "fmt ", Fmt(1, 2, 11025, 8));
  Chunk(chunks, "data", {0, 128, 255, 129});
  Sound s = LoadSound(Write("a.wav", Riff(chunks)));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->channels, 2);
  EXPECT_EQ(s->rate, 11025);
  EXPECT_EQ(s->samples, (std::vector<int16_t>{-32768, 0, 32512, 256}));
}

TEST_F(AudioSoundTest, WavChunksAreWalkedRobustly) {
  const std::vector<int16_t> samples{10, 20, 30, 40};
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    std::vector<int16_t> expect;
  };
  std::vector<Case> cases;
  {  // An odd-sized chunk (padded) before "fmt ", another between fmt and data.
    std::vector<uint8_t> c;
    Chunk(c, "LIST", {1, 2, 3});
    Chunk(c, "fmt ", Fmt(1, 1, 44100, 16));
    Chunk(c, "fact", {4, 0, 0, 0});
    Chunk(c, "data", Pcm16(samples));
    cases.push_back({"extra chunks", Riff(c), samples});
  }
  {  // "data" before "fmt ".
    std::vector<uint8_t> c;
    Chunk(c, "data", Pcm16(samples));
    Chunk(c, "fmt ", Fmt(1, 1, 44100, 16));
    cases.push_back({"data first", Riff(c), samples});
  }
  {  // A data chunk that claims more than the file holds: cut to what is there.
    std::vector<uint8_t> c;
    Chunk(c, "fmt ", Fmt(1, 1, 44100, 16));
    Chunk(c, "data", Pcm16(samples), 100000);
    cases.push_back({"long data size", Riff(c), samples});
  }
  {  // A streaming writer's 0xFFFFFFFF size and a trailing half sample.
    std::vector<uint8_t> c;
    Chunk(c, "fmt ", Fmt(1, 1, 44100, 16));
    std::vector<uint8_t> body = Pcm16(samples);
    body.push_back(7);
    Chunk(c, "data", body, 0xFFFFFFFFll, false);
    cases.push_back({"streamed size", Riff(c), samples});
  }
  {  // Wrong RIFF size field.
    std::vector<uint8_t> file = Wav16(samples, 1, 44100);
    file[4] = file[5] = file[6] = 0;
    file[7] = 0x7F;
    cases.push_back({"riff size", file, samples});
  }
  {  // WAVE_FORMAT_EXTENSIBLE with the PCM sub-format.
    std::vector<uint8_t> fmt = Fmt(0xFFFE, 1, 44100, 16);
    Put16(fmt, 22);      // extension size
    Put16(fmt, 16);      // valid bits
    Put32(fmt, 4);       // channel mask
    Put16(fmt, 1);       // sub-format GUID, PCM
    for (int i = 0; i < 14; ++i) fmt.push_back(0);
    std::vector<uint8_t> c;
    Chunk(c, "fmt ", fmt);
    Chunk(c, "data", Pcm16(samples));
    cases.push_back({"extensible", Riff(c), samples});
  }
  {  // An empty data chunk is a valid, silent sound.
    std::vector<uint8_t> c;
    Chunk(c, "fmt ", Fmt(1, 1, 44100, 16));
    Chunk(c, "data", {});
    cases.push_back({"empty data", Riff(c), {}});
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    std::string name = "w";
    name += std::to_string(i);
    name += ".wav";
    Sound s = LoadSound(Write(name, cases[i].file));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->samples, cases[i].expect);
  }
}

TEST_F(AudioSoundTest, BadFilesGiveNoSound) {
  const std::vector<int16_t> samples{1, 2};
  auto with = [&](std::vector<uint8_t> fmt, bool data = true) {
    std::vector<uint8_t> c;
    Chunk(c, "fmt ", fmt);
    if (data) Chunk(c, "data", Pcm16(samples));
    return Riff(c);
  };
  std::vector<uint8_t> noFmt;
  Chunk(noFmt, "data", Pcm16(samples));
  std::vector<uint8_t> shortFmt = Fmt(1, 1, 44100, 16);
  shortFmt.resize(10);
  std::vector<uint8_t> notWave = Wav16(samples, 1, 44100);
  notWave[8] = 'X';
  std::vector<uint8_t> truncated = Wav16(samples, 1, 44100);
  truncated.resize(30);

  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  };
  const std::vector<Case> cases{
      {"empty file", {}},
      {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'}},
      {"not WAVE", notWave},
      {"no fmt", Riff(noFmt)},
      {"no data", with(Fmt(1, 1, 44100, 16), false)},
      {"short fmt", with(shortFmt)},
      {"float format", with(Fmt(3, 1, 44100, 32))},
      {"24-bit", with(Fmt(1, 1, 44100, 24))},
      {"no channels", with(Fmt(1, 0, 44100, 16))},
      {"six channels", with(Fmt(1, 6, 44100, 16))},
      {"rate 0", with(Fmt(1, 1, 0, 16))},
      {"cut in the fmt chunk", truncated},
      {"Ogg signature, garbage after", {'O', 'g', 'g', 'S', 0, 2, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    EXPECT_FALSE(LoadSound(Write("bad" + std::to_string(i), cases[i].file)));
  }
  EXPECT_FALSE(LoadSound((dir_ / "missing.wav").string()));
  // A FIFO nobody writes to is refused at once rather than waited on.
  const std::string fifo = (dir_ / "fifo.wav").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(LoadSound(fifo));
  EXPECT_FALSE(LoadSound(dir_.string()));  // a folder
}

std::vector<int16_t> Sine(int frames, int channels, int rate, double hz) {
  std::vector<int16_t> out;
  for (int f = 0; f < frames; ++f) {
    for (int c = 0; c < channels; ++c) {
      double phase = 2 * std::numbers::pi * hz * f / rate + c;  // channels differ in phase
      out.push_back(static_cast<int16_t>(std::lround(12000 * std::sin(phase))));
    }
  }
  return out;
}

TEST_F(AudioSoundTest, OggVorbisIsDecodedWhole) {
  struct Case {
    int channels, rate, frames;
  };
  for (Case c : {Case{1, 44100, 4410}, Case{2, 22050, 3000}}) {
    SCOPED_TRACE(c.channels);
    std::vector<int16_t> pcm = Sine(c.frames, c.channels, c.rate, 440);
    std::vector<uint8_t> ogg = audio::EncodeOggVorbis(pcm, c.channels, c.rate);
    ASSERT_GT(ogg.size(), 100u);
    Sound s = LoadSound(Write("tune.ogg", ogg), SOUND_LOOP);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->channels, c.channels);
    EXPECT_EQ(s->rate, c.rate);
    EXPECT_TRUE(s->Loops());
    ASSERT_EQ(s->Frames(), static_cast<size_t>(c.frames));
    // Lossy, but close to the source: compare the error to the signal.
    double err = 0, sig = 0;
    for (size_t i = 0; i < pcm.size(); ++i) {
      err += std::pow(s->samples[i] - pcm[i], 2.0);
      sig += std::pow(pcm[i], 2.0);
    }
    EXPECT_LT(err, sig * 0.01);
  }
}

TEST_F(AudioSoundTest, DamagedOggGivesNoSound) {
  std::vector<uint8_t> ogg = audio::EncodeOggVorbis(Sine(2000, 1, 44100, 300), 1, 44100);
  ASSERT_GT(ogg.size(), 200u);
  std::vector<uint8_t> headOnly(ogg.begin(), ogg.begin() + 60);
  EXPECT_FALSE(LoadSound(Write("cut.ogg", headOnly)));
  std::vector<uint8_t> scrambled = ogg;
  for (size_t i = 30; i < 120; ++i) scrambled[i] ^= 0x5A;  // the identification header
  EXPECT_FALSE(LoadSound(Write("bad.ogg", scrambled)));
}

}  // namespace
