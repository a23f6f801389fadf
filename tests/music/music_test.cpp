// The music generator: note table, rule files, line pickers and pattern
// composition against known answers, and playback on the headless back end
// with the virtual clock, asserted on the channel journal and the mix.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "music/listen.h"
#include "music/music.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// Runs in a scratch folder with a "music/" folder of its own, as the game
// runs in its game folder.
class MusicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PlatformInit(BackendKind::Headless);
    CreateStartupTables();
    SetDefaults();
    ResetMusicTables();
    for (int& c : Channel) c = 0;
    old_ = fs::current_path();
    fs::create_directories(dir_.path() / "music");
    fs::current_path(dir_.path());
  }
  void TearDown() override {
    fs::current_path(old_);
    headless::RecordChannelCalls(false);
    ResetMusicTables();
    PlatformShutdown();
  }
  static void Song(const std::string& name, const std::string& text) {
    testsupport::WriteBytes("music/" + name + ".ini", text);
  }
  // Eight lines "<S>1".."<S>8" in every section, each stretch rule `code`.
  static std::string EightLines(const std::string& stretch) {
    std::string text;
    const char* headers[5] = {"[DRUMS]", "[CHORDS]", "[BASS]", "[MELODY]", "[ACCOMPANY]"};
    for (int s = 0; s < 5; ++s) {
      text += std::string(headers[s]) + "\nSTRETCH = " + stretch + "\n";
      for (int k = 1; k <= 8; ++k) text.append("\"").append(std::to_string(s)).append(std::to_string(k)).append("\"\n");
    }
    return text;
  }
  // Known samples of the run folder, copied in.
  static void CopySamples() {
    for (const auto& e : fs::directory_iterator(PIBBO_RUN_DIR "/Files/260/music"))
      if (e.path().extension() == ".wav") fs::copy_file(e.path(), fs::path("music") / e.path().filename());
  }

  testsupport::TempDir dir_{"music"};
  fs::path old_;
};

TEST_F(MusicTest, NoteTable) {
  const struct {
    const char* key;
    float ratio;
  } cases[] = {
      {"q", 1.0f},     {"Q", 1.0f},    {"I", 2.0f},     {"z", 0},       {"Z", 0},       {"s", 0.5295f},
      {"]", 2.996f},   {"=", 2.828f},  {"[", 2.67f},    {"u", 1.888f},  {"m", 0.944f},  {"5", 1.414f},
      {" ", 0},        {"", 0},        {"1", 0},        {"4", 0},       {"8", 0},       {"a", 0},
      {"f", 0},        {"k", 0},       {"l", 0},        {"-", 0},       {"qq", 0},      {" q", 0},
      {"q ", 0},       {"\xC0", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(Zumo_NoteVal(c.key), c.ratio) << '"' << c.key << '"';
  // The low and the high octave are exactly half and double the middle one.
  const std::string low = "sxdcvgbhnjm", mid = "2w3er5t6y7u", high = "9o0p[=]";
  for (size_t k = 0; k < low.size(); ++k)
    EXPECT_EQ(Zumo_NoteVal(low.substr(k, 1)), Zumo_NoteVal(mid.substr(k, 1)) / 2) << low[k];
  EXPECT_EQ(Zumo_NoteVal("i"), 2 * Zumo_NoteVal("q"));
  for (size_t k = 0; k < high.size(); ++k)
    EXPECT_EQ(Zumo_NoteVal(high.substr(k, 1)), Zumo_NoteVal(mid.substr(k, 1)) * 2) << high[k];
}

TEST_F(MusicTest, RuleFileSectionsStretchRulesAndTheLineStore) {
  // Comment and quoted line before any section; an unknown header keeps
  // the section before it; a stretch line of an unknown ending is ignored.
  Song("worked",
       "a comment\n\"ignored\"\n[Drums]\n  Stretch = Double\n\"1 2 \"\n\"33\"\n[chords]\n\"qqee\"\n"
       "[Notes]\n\"tttt\"\n[BASS]\nstretch: random+\n[MELODY\nSTRETCH sideways\n\t\"  spaced  \" tail\n"
       "[ACC]OMPANY]\nSTRETCH=false\n\"\"\n");
  Zumo_NewSong("worked", 1, 250);
  EXPECT_EQ(std::vector<int>(Zumo_Many, Zumo_Many + 5), (std::vector<int>{2, 2, 0, 1, 1}));
  EXPECT_EQ(std::vector<int>(Zumo_Stretch, Zumo_Stretch + 5), (std::vector<int>{-2, -1, 2, -1, 0}));
  EXPECT_EQ(Zumo_Set[1], "1 2 ");
  EXPECT_EQ(Zumo_Set[2], "33");
  EXPECT_EQ(Zumo_Set[1001], "qqee");
  EXPECT_EQ(Zumo_Set[1002], "tttt");
  EXPECT_EQ(Zumo_Set[3001], "  spaced   tail");
  EXPECT_EQ(Zumo_Set[4001], "");
  EXPECT_EQ(Zumo_Set[0], "");
  EXPECT_EQ(Zumo_Playing, 1);

  // 1000 lines: all counted, 998 kept; a later, shorter file leaves the
  // old lines behind its count.
  std::string many = "[BASS]\n";
  for (int k = 1; k <= 1000; ++k) many += "\"b" + std::to_string(k) + "\"\n";
  Song("many", many);
  Zumo_NewSong("many", 1, 250);
  EXPECT_EQ(Zumo_Many[2], 1000);
  EXPECT_EQ(Zumo_Set[2998], "b998");
  EXPECT_EQ(Zumo_Set[2999], "");
  EXPECT_EQ(Zumo_Set[3000], "");
  Song("one", "[BASS]\n\"new\"\n");
  Zumo_NewSong("one", 1, 250);
  EXPECT_EQ(Zumo_Many[2], 1);
  EXPECT_EQ(Zumo_Set[2001], "new");
  EXPECT_EQ(Zumo_Set[2002], "b2");
  EXPECT_EQ(Zumo_Stretch[3], -1);

  // No file, or a folder in its place: counts cleared, no song started.
  for (const char* name : {"absent", "folder"}) {
    fs::create_directories("music/folder.ini");
    Zumo_Playing = 0;
    Zumo_NewSong(name, 1, 250);
    EXPECT_EQ(Zumo_Playing, 0) << name;
    EXPECT_EQ(Zumo_Many[2], 0) << name;
  }
}

TEST_F(MusicTest, PickersReproduceTheWorkedExample) {
  Song("eight", EightLines("RANDOM+"));
  Zumo_NewSong("eight", 1, 250);
  Zumo_SongSeed = 12345;
  Zumo_SongAt = 0;
  Zumo_PatternAt = 1;
  EXPECT_EQ(Zumo_DrumLoop(3), "05");
  EXPECT_EQ(Zumo_DrumLoop(7), "0 4 ");
  EXPECT_EQ(Zumo_Chords(13), "14");
  EXPECT_EQ(Zumo_BassRhythm(13), "24");
  EXPECT_EQ(Zumo_MelodyTune(19, 1), "3   4   ");
  EXPECT_EQ(Zumo_AccompanyTune(29), "4 3 ");
  // Seeds 2^21 apart give the same picks.
  Zumo_SongSeed = 12345 + (1 << 21);
  EXPECT_EQ(Zumo_MelodyTune(19, 1), "3   4   ");

  // Stretch by rule, whatever f: none, once always, twice always.
  const struct {
    const char* rule;
    size_t factor;
  } rules[] = {{"FALSE", 1}, {"NONSENSE", 2}, {"DOUBLE", 4}};
  for (const auto& r : rules) {
    Song("rule", EightLines(r.rule));
    Zumo_NewSong("rule", 1, 250);
    Zumo_SongSeed = 777;
    Zumo_SongAt = 3;
    Zumo_PatternAt = 1;
    EXPECT_EQ(Zumo_BassRhythm(13).size(), 2 * r.factor) << r.rule;
    EXPECT_EQ(Zumo_Chords(13).size(), 2u) << "chord lines are never stretched";
  }
}

TEST_F(MusicTest, CompositionReproducesTheWorkedExample) {
  // Chord lines of 16 letters: sections of four patterns.
  std::string text = "[DRUMS]\n";
  for (int k = 1; k <= 8; ++k) text += "\"1 2 3 4\"\n";
  text += "[CHORDS]\n";
  for (int k = 1; k <= 8; ++k) text += "\"qqqqvvvvbbbbqqqq\"\n";
  for (const char* h : {"[BASS]", "[MELODY]", "[ACCOMPANY]"}) {
    text += std::string(h) + "\n";
    for (int k = 1; k <= 8; ++k) text += "\"q w e t\"\n";
  }
  Song("worked", text);
  for (int k = 1; k <= 3; ++k) Zumo_PatternHave[k] = 8;
  Zumo_NewSong("worked", 12345, 250);
  auto five = [](const int* t) { return std::vector<int>(t, t + 5); };
  EXPECT_EQ(Zumo_SongAt, 0);
  EXPECT_EQ(Zumo_PatternAt, 1);
  EXPECT_EQ(std::vector<int>(Zumo_PatternUse + 1, Zumo_PatternUse + 4), (std::vector<int>{5, 7, 4}));
  EXPECT_EQ(five(Zumo_Mute), (std::vector<int>{1, 0, 0, 0, 1}));
  EXPECT_EQ(five(Zumo_MuteAhead), (std::vector<int>{0, 1, 1, 0, 1}));
  EXPECT_EQ(five(Zumo_MuteAheadGo), (std::vector<int>{1, 1, 1, 2, 2}));
  for (int k = 0; k < 3; ++k) Zumo_NextPattern();
  EXPECT_EQ(Zumo_PatternAt, 4) << "no section started";
  Zumo_NextPattern();
  EXPECT_EQ(Zumo_SongAt, 4);
  EXPECT_EQ(Zumo_PatternAt, 1);
  EXPECT_EQ(std::vector<int>(Zumo_PatternUse + 1, Zumo_PatternUse + 4), (std::vector<int>{5, 4, 3}));
  EXPECT_EQ(five(Zumo_Mute), (std::vector<int>{0, 1, 1, 0, 1}));
}

TEST_F(MusicTest, PatternFillWrapsEachLineAndTheSectionLength) {
  std::string tone(100, ' ');
  for (int k = 0; k < 100; ++k) tone[k] = "qwetyi"[k % 6];
  tone[99] = 'f';  // no note
  Song("fill", "[DRUMS]\nSTRETCH=FALSE\n\"1x9\"\n[CHORDS]\n\"qqqqvvvv\"\n[BASS]\nSTRETCH=FALSE\n\"" + tone +
                   "\"\n[MELODY]\nSTRETCH=FALSE\n\"" + tone + "\"\n[ACCOMPANY]\nSTRETCH=FALSE\n\"" + tone + "\"\n");
  Zumo_NewSong("fill", 99, 250);
  auto drum = [](int r) { return Zumo_Pattern[r]; };
  auto bass = [](int r) { return Zumo_Pattern[140 + r]; };
  EXPECT_EQ(drum(0), 1);
  EXPECT_EQ(drum(1), 0) << "x is no hit";
  EXPECT_EQ(drum(2), 9);
  EXPECT_EQ(drum(63), 1) << "row 63 takes character 1 of a 3-character line";
  EXPECT_EQ(bass(0), Zumo_NoteVal("q"));
  EXPECT_EQ(bass(63), Zumo_NoteVal(tone.substr(63, 1)));
  Zumo_NextPattern();  // second pattern of the two-pattern section
  ASSERT_EQ(Zumo_PatternAt, 2);
  EXPECT_EQ(drum(0), 1) << "drums start again with each pattern";
  EXPECT_EQ(bass(0), Zumo_NoteVal(tone.substr(64, 1)));
  EXPECT_EQ(bass(35), 0) << "character 100 names no note";
  EXPECT_EQ(bass(36), Zumo_NoteVal("q")) << "then the line wraps";
  Zumo_NextPattern();
  EXPECT_EQ(Zumo_PatternAt, 1) << "an eight-letter chord line lasts two patterns";
}

TEST_F(MusicTest, BrokenRuleFilesComposeSilenceForWhatIsMissing) {
  CopySamples();
  Zumo_Load();
  Options[kOptMaster] = Options[kOptMusic] = 100;
  const char* files[] = {
      "[DRUMS]\n\"\"\n[MELODY]\n\"q w\"\n",  // an empty line, sections missing
      "no sections at all\n\"q\"\n",
      "\x01\x02\xff\xfe binary\n[\x80\x81\n",
  };
  for (const char* text : files) {
    SCOPED_TRACE(text);
    Song("broken", text);
    Zumo_NewSong("broken", 5, 250);
    headless::RecordChannelCalls(true);
    for (int frame = 0; frame < 64 * 10; ++frame) {
      headless::Advance(16);
      Zumo_Play();
    }
    for (const ChannelCall& c : headless::ChannelCalls()) {
      if (c.op == ChannelCall::Rate) {
        EXPECT_GT(c.value, 0);
      }
      if (c.op == ChannelCall::Cue) {
        EXPECT_FALSE(c.sound.empty());
      }
    }
    Zumo_Stop();
  }
  // A tonal voice without any sample never cues an empty slot.
  ResetMusicTables();
  Zumo_Load();
  for (int k = 41; k <= 48; ++k) Zumo_inst[k].reset();
  Zumo_PatternHave[3] = 0;
  Song("full", "[DRUMS]\n\"1111\"\n[CHORDS]\n\"qqqq\"\n[BASS]\n\"qqqq\"\n[MELODY]\n\"qqqq\"\n[ACCOMPANY]\n\"qqqq\"\n");
  Zumo_NewSong("full", 3, 250);
  for (int& m : Zumo_Mute) m = 0;
  headless::RecordChannelCalls(true);
  for (int frame = 0; frame < 200; ++frame) {
    headless::Advance(16);
    Zumo_Play();
  }
  for (const ChannelCall& c : headless::ChannelCalls())
    if (c.op == ChannelCall::Cue) {
      EXPECT_EQ(c.sound.find("accompany"), std::string::npos);
    }
}

TEST_F(MusicTest, TheSameSeedGivesTheSameSongNoteForNote) {
  CopySamples();
  fs::copy_file(PIBBO_RUN_DIR "/Files/260/music/meadow.ini", "music/meadow.ini");
  Zumo_Load();
  auto compose = [](int seed) {
    Zumo_NewSong("meadow", seed, 250);
    std::vector<float> song;
    for (int p = 0; p < 24; ++p) {
      song.insert(song.end(), Zumo_Pattern, Zumo_Pattern + 350);
      for (int v = 0; v < 5; ++v) song.push_back(static_cast<float>(Zumo_Mute[v]));
      song.push_back(static_cast<float>(Zumo_PatternUse[1] + 10 * Zumo_PatternUse[2] + 100 * Zumo_PatternUse[3]));
      Zumo_NextPattern();
    }
    return song;
  };
  const std::vector<float> a = compose(4242);
  SeedRnd(99);  // draws elsewhere in between change nothing
  Rand(1, 6);
  EXPECT_EQ(compose(4242), a);
  EXPECT_EQ(compose(4242 + (1 << 21)), a);
  EXPECT_NE(compose(4243), a);
}

// Playback: the rows follow the tempo, each note starts with its voice's
// sample, rate, volume and pan, and the mix is not silent.
TEST_F(MusicTest, PlaybackFollowsTheClockAndSetsUpEachVoice) {
  ASSERT_EQ(SetAudioDriver("FreeMix"), 1);
  CopySamples();
  Zumo_Load();
  Song("play", "[DRUMS]\nSTRETCH=FALSE\n\"1 3 2 3 \"\n[CHORDS]\n\"qqvvbbqq\"\n[BASS]\nSTRETCH=FALSE\n\"q e t e \"\n"
               "[MELODY]\nSTRETCH=FALSE\n\"e t y t \"\n[ACCOMPANY]\nSTRETCH=FALSE\n\"qqqqqqqq\"\n");
  Options[kOptMaster] = 50;
  Options[kOptMusic] = 50;
  const int t0 = MilliSecs();
  Zumo_NewSong("play", 77, 250);
  ASSERT_EQ(Zumo_Tempo, 125);
  for (int& m : Zumo_Mute) m = 0;  // every voice plays
  headless::RecordChannelCalls(true);
  headless::SetClock(static_cast<uint32_t>(t0 + 250));
  Zumo_Play();
  EXPECT_EQ(Zumo_RowAt, -1) << "row 0 waits until the clock is past its time";
  headless::SetClock(static_cast<uint32_t>(t0 + 251));
  Zumo_Play();
  EXPECT_EQ(Zumo_RowAt, 0);
  std::vector<ChannelCall> calls = headless::ChannelCalls();
  // Row 0: voice by voice, cue, pan, rate, volume, resume.
  const struct {
    const char* sound;
    bool pan;
    float panValue;
    bool rate;
    float volume;
  } want[5] = {{"d1-1.wav", true, 0.3f, false, 0.25f},
               {"d2-1.wav", true, -0.3f, false, 0.25f},
               {"bass", true, -0.3f, true, 0.25f},
               {"lead", false, 0, true, 0.25f},
               {"accompany", true, 0.3f, true, 0.125f}};
  size_t at = 0;
  for (int v = 0; v < 5; ++v) {
    SCOPED_TRACE(v);
    ASSERT_LT(at, calls.size());
    ASSERT_EQ(calls[at].op, ChannelCall::Cue);
    EXPECT_EQ(calls[at].sound.rfind(want[v].sound, 0), 0u) << calls[at].sound;
    EXPECT_EQ(calls[at].channel, Channel[v]);
    ++at;
    if (want[v].pan) {
      ASSERT_EQ(calls[at].op, ChannelCall::Pan);
      EXPECT_FLOAT_EQ(calls[at++].value, want[v].panValue);
    }
    if (want[v].rate) {
      ASSERT_EQ(calls[at].op, ChannelCall::Rate);
      EXPECT_FLOAT_EQ(calls[at++].value, Zumo_Pattern[v * 70] * Zumo_NoteVal("q"));
    }
    ASSERT_EQ(calls[at].op, ChannelCall::Volume);
    EXPECT_FLOAT_EQ(calls[at++].value, want[v].volume);
    ASSERT_EQ(calls[at++].op, ChannelCall::Resume);
  }
  EXPECT_EQ(at, calls.size());
  // The rows keep to the tempo: one row per 125 ms over four seconds.
  for (int ms = 252; ms <= 251 + 4000; ++ms) {
    headless::SetClock(static_cast<uint32_t>(t0 + ms));
    Zumo_Play();
  }
  EXPECT_EQ(Zumo_SongAt * 64 + Zumo_RowAt, 32);
  // A mixed second of the song is not silent.
  const std::vector<int16_t> mix = headless::MixAudio(44100);
  double energy = 0;
  for (int16_t s : mix) energy += static_cast<double>(s) * s;
  EXPECT_GT(std::sqrt(energy / static_cast<double>(mix.size())), 100.0);
  // Stop silences the voices and the tick idles.
  Zumo_Stop();
  for (int v = 0; v < 20; ++v) EXPECT_EQ(Channel[v], 0);
  const int row = Zumo_RowAt;
  headless::Advance(1000);
  Zumo_Play();
  EXPECT_EQ(Zumo_RowAt, row);
}

TEST_F(MusicTest, TheBeatFollowsTheClockAcrossItsWrap) {
  Song("wrap", "[DRUMS]\n\"1\"\n[CHORDS]\n\"q\"\n[BASS]\n\"q\"\n[MELODY]\n\"q\"\n[ACCOMPANY]\n\"q\"\n");
  headless::SetClock(0x7FFFFF00u);
  Zumo_NewSong("wrap", 1, 200);
  int rows = 0;
  // Across the wrap of the signed millisecond count: rows at 251, 351, ... 751.
  for (int ms = 1; ms <= 512 + 250; ++ms) {
    headless::SetClock(0x7FFFFF00u + static_cast<uint32_t>(ms));
    const int before = Zumo_RowAt;
    Zumo_Play();
    rows += Zumo_RowAt != before;
  }
  EXPECT_EQ(rows, 6);
  // A stall plays the rows it missed, one per call.
  const int before = Zumo_SongAt * 64 + Zumo_RowAt;
  headless::Advance(1000);
  for (int k = 0; k < 3; ++k) Zumo_Play();
  EXPECT_EQ(Zumo_SongAt * 64 + Zumo_RowAt, before + 3);
}

// The title's songs: chosen by the seed's remainder (the clock may be
// negative), each at its own tempo; a name that is none of them starts
// nothing.
TEST_F(MusicTest, TitleSongsStartAtTheirTempos) {
  const struct {
    int seed;
    const char* song;
  } picks[] = {{0, "meadow"}, {1, "breeze"}, {5, "hop"}, {-1, "hop"}, {-2, "breeze"}, {INT_MIN, "breeze"}};
  for (const auto& p : picks) EXPECT_STREQ(TitleSongFor(p.seed).name, p.song) << p.seed;
  for (const TitleSong& song : kTitleSongs)
    fs::copy_file(fs::path(PIBBO_RUN_DIR "/Files/260/music") / (std::string(song.name) + ".ini"),
                  fs::path("music") / (std::string(song.name) + ".ini"));
  const struct {
    const char* song;
    int rowMs;
  } tempos[] = {{"meadow", 140}, {"breeze", 160}, {"hop", 120}};
  for (const auto& t : tempos) {
    Zumo_Playing = 0;
    StartTitleSong(t.song, 12);
    EXPECT_EQ(Zumo_Playing, 1) << t.song;
    EXPECT_EQ(Zumo_Tempo, t.rowMs) << t.song;
    EXPECT_EQ(Zumo_SongSeed, 12);
  }
  Zumo_Playing = 0;
  StartTitleSong("Meadow", 12);
  StartTitleSong("play", 12);
  EXPECT_EQ(Zumo_Playing, 0);
}

// What the title screen plays, heard through the mixer: each song keeps
// sounding (few near-silent quarter-seconds, whichever voices its sections
// mute), never clips at full volume, and at the default volumes never
// reaches the mixer's limiter, so that it comes out as the plain sum.
class TitleSongTest : public MusicTest, public testing::WithParamInterface<const char*> {};

TEST_P(TitleSongTest, KeepsSoundingAndNeverClips) {
  ASSERT_EQ(SetAudioDriver("FreeMix"), 1);
  CopySamples();
  const std::string name = GetParam();
  fs::copy_file(fs::path(PIBBO_RUN_DIR "/Files/260/music") / (name + ".ini"), fs::path("music") / (name + ".ini"));
  Zumo_Load();
  for (int seed = 1; seed <= 5; ++seed) {
    SCOPED_TRACE(testing::Message() << name << " seed " << seed);
    const RenderedSong full = RenderTitleSong({name, seed, 120, 100, 100});
    ASSERT_TRUE(full.played);
    const SongLevels loud = MeasureLevels(full.samples, QuietRmsFor(100, 100));
    EXPECT_LT(loud.quietShare, 0.1);
    EXPECT_EQ(loud.fullScale, 0);
    EXPECT_LT(loud.peak, 32767);

    const RenderedSong normal = RenderTitleSong({name, seed, 120, 50, 50});
    const SongLevels levels = MeasureLevels(normal.samples, QuietRmsFor(50, 50));
    EXPECT_NEAR(levels.peak, normal.sumPeak, 0.5f) << "the limiter acted";
    EXPECT_NEAR(levels.quietShare, loud.quietShare, 0.005);
  }
}

INSTANTIATE_TEST_SUITE_P(Songs, TitleSongTest, testing::Values("meadow", "breeze", "hop"));

}  // namespace
