#include "music/music.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"

Sound Zumo_inst[50];
int Zumo_BeatAt = 0;
int Zumo_Tempo = 0;
std::string Zumo_Chord;
int Zumo_SongSeed = 0;
int Zumo_Playing = 0;
float Zumo_StereoSeperation = 0;
int Zumo_RowAt = 0;
int Zumo_PatternAt = 0;
int Zumo_SongAt = 0;
float Zumo_Pattern[1300];
int Zumo_PatternUse[5];
int Zumo_PatternHave[5];
int Zumo_Mute[20];
int Zumo_MuteAhead[20];
int Zumo_MuteAheadGo[20];
std::string Zumo_DrumloopA, Zumo_DrumloopB, Zumo_BassBeat, Zumo_MelodyBeat, Zumo_MelodyBeatB;
std::string Zumo_Set[5000];
int Zumo_Many[5];
int Zumo_Stretch[5];

namespace {

constexpr int kSections = 5;
constexpr int kStoredLines = 998;  // per section; later lines are only counted
constexpr int kRows = 64;
constexpr int kVoiceStride = 70;

// 32-bit wrapping arithmetic, as the seeds are formed.
int Wrap(int64_t v) { return static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

int SeedFor(int salt) {
  return Wrap(static_cast<int64_t>(static_cast<uint32_t>(Zumo_SongSeed) * 1024u) + Zumo_PatternAt + Zumo_SongAt +
              salt);
}

// A space after every character.
std::string Stretched(const std::string& line) {
  std::string out;
  out.reserve(line.size() * 2);
  for (char c : line) {
    out.push_back(c);
    out.push_back(' ');
  }
  return out;
}

// Steps common to the pickers: reseed, throw away draws, pick a line of
// section S. The draw is taken even for an empty section, so that the
// sequence stays the same, but only stored lines are ever returned.
std::string Pick(int section, int salt) {
  SeedRnd(SeedFor(salt));
  const int64_t skip = static_cast<int64_t>(Zumo_SongAt) * 4 + salt;
  for (int64_t k = 1; k <= skip; ++k) Rand(0, 1000);
  const int count = std::min(Zumo_Many[section], kStoredLines);
  const int k = Rand(1, count);
  if (count < 1 || k < 1 || k > count) return "";
  return Zumo_Set[section * 1000 + k];
}

std::string PickStretched(int section, int salt) {
  std::string line = Pick(section, salt);
  const int f = Rand(0, 2);
  const int code = Zumo_Stretch[section];
  if ((code > 0 && f > 0) || code < 0) line = Stretched(line);
  if ((code == 2 && f == 2) || code == -2) line = Stretched(line);
  return line;
}

// A drum character's sample number: its digit value, 0 for anything else.
float DrumValue(char c) { return c >= '0' && c <= '9' ? static_cast<float>(c - '0') : 0.0f; }

float ToneValue(char c) { return c == ' ' ? 0.0f : Zumo_NoteVal(std::string(1, c)); }

}  // namespace

int Zumo_Load() {
  for (int n = 1; n <= 8; ++n) {
    const std::string number = std::to_string(n);
    Zumo_inst[n] = LoadSound("music/d1-" + number + ".wav", 0);
    Zumo_inst[n + 10] = LoadSound("music/d2-" + number + ".wav", 0);
    static const char* const kTonal[3] = {"music/bass", "music/lead", "music/accompany"};
    for (int k = 1; k <= 3; ++k) {
      const std::string path = kTonal[k - 1] + number + ".wav";
      if (FileType(path) == 0) continue;
      Zumo_PatternHave[k] = n;
      Zumo_inst[n + 10 * (k + 1)] = LoadSound(path, 0);
    }
  }
  return 0;
}

int Zumo_Stop() {
  Zumo_Playing = 0;
  for (int s = 0; s < 20; ++s) {
    if (Channel[s] != 0 && ChannelPlaying(Channel[s])) StopChannel(Channel[s]);
    Channel[s] = 0;
  }
  return 0;
}

int Zumo_Pan(float width) {
  Zumo_StereoSeperation = width;
  return 0;
}

float Zumo_NoteVal(const std::string& key) {
  if (key.size() != 1) return 0;
  char c = key[0];
  if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  // Twelve equal-tempered semitones from the recorded pitch, to 3 decimals.
  static const float kMiddle[12] = {1.0f,   1.059f, 1.122f, 1.189f, 1.26f,  1.335f,
                                    1.414f, 1.498f, 1.587f, 1.682f, 1.782f, 1.888f};
  static const char kLow[] = "zsxdcvgbhnjm";   // an octave down ("z" is no note)
  static const char kMid[] = "q2w3er5t6y7u";
  static const char kHigh[] = "i9o0p[=]";      // an octave up, first eight
  for (int k = 0; k < 12; ++k) {
    if (c == kMid[k]) return kMiddle[k];
    if (c == kLow[k]) return k == 0 ? 0.0f : kMiddle[k] / 2;
    if (k < 8 && c == kHigh[k]) return kMiddle[k] * 2;
  }
  return 0;
}

int Zumo_NewSong(const std::string& name, int seed, int tempo) {
  for (int s = 0; s < kSections; ++s) {
    Zumo_Many[s] = 0;
    Zumo_Stretch[s] = -1;
  }
  const std::string path = "music/" + name + ".ini";
  std::vector<std::string> lines;
  // A folder or a file that cannot be read starts no song, as a missing one.
  if (FileType(path) != 1 || !LoadLines(path, lines)) return 0;
  static const char* const kHeaders[kSections] = {"[DRUMS", "[CHORDS", "[BASS", "[MELODY", "[ACCOMPANY"};
  int section = -1;
  for (const std::string& raw : lines) {
    const std::string line = Trim(raw);
    if (line.empty()) continue;
    if (line[0] == '[') {
      const std::string header = Replace(Upper(line), "]", "");
      for (int s = 0; s < kSections; ++s)
        if (header == kHeaders[s]) section = s;
    } else if (Upper(Left(line, 7)) == "STRETCH") {
      if (section < 0) continue;
      const std::string upper = Upper(line);
      if (Right(upper, 5) == "FALSE") Zumo_Stretch[section] = 0;
      else if (Right(upper, 7) == "RANDOM+") Zumo_Stretch[section] = 2;
      else if (Right(upper, 6) == "RANDOM") Zumo_Stretch[section] = 1;
      else if (Right(upper, 6) == "DOUBLE") Zumo_Stretch[section] = -2;
    } else if (line[0] == '"') {
      if (section < 0) continue;
      ++Zumo_Many[section];
      if (Zumo_Many[section] <= kStoredLines) Zumo_Set[section * 1000 + Zumo_Many[section]] = Replace(line, "\"", "");
    }
  }
  if (seed == -1) seed = MilliSecs();
  SeedRnd(Wrap(static_cast<int64_t>(static_cast<uint32_t>(seed) * 1024u)));
  Zumo_SongSeed = seed;
  Zumo_StereoSeperation = 0.3f;
  Zumo_Chord.clear();
  Zumo_SongAt = Zumo_PatternAt = Zumo_RowAt = -1;
  Zumo_Tempo = tempo / 2;
  for (int v = 0; v < 20; ++v) Zumo_MuteAhead[v] = Rand(0, 1);
  Zumo_NextPattern();
  Zumo_BeatAt = MilliSecs() + 250;
  Zumo_Playing = 1;
  return 0;
}

std::string Zumo_DrumLoop(int salt) { return PickStretched(0, salt); }
std::string Zumo_Chords(int salt) { return Pick(1, salt); }
std::string Zumo_BassRhythm(int salt) { return PickStretched(2, salt); }
std::string Zumo_MelodyTune(int salt, int) { return PickStretched(3, salt); }
std::string Zumo_AccompanyTune(int salt) { return PickStretched(4, salt); }

int Zumo_NextPattern() {
  SeedRnd(SeedFor(0));
  Zumo_SongAt = Wrap(static_cast<int64_t>(Zumo_SongAt) + 1);
  Zumo_PatternAt = Wrap(static_cast<int64_t>(Zumo_PatternAt) + 1);
  if (Zumo_Chord.empty() || Zumo_PatternAt > static_cast<int>(Zumo_Chord.size() / 4)) {
    for (int k = 1; k <= 3; ++k) Zumo_PatternUse[k] = Rand(1, Zumo_PatternHave[k]);
    Zumo_PatternAt = 1;
    Zumo_Chord = Zumo_Chords(13);
    for (int v = 0; v < 20; ++v) {
      Zumo_Mute[v] = Zumo_MuteAhead[v];
      Zumo_MuteAhead[v] = Rand(0, 1);
      Zumo_MuteAheadGo[v] = Rand(1, 2);
    }
    // At least one drum kit, and the bass or the lead, play in a section.
    if (Zumo_Mute[0] == 1 && Zumo_Mute[1] == 1) Zumo_Mute[Rand(0, 1)] = 0;
    if (Zumo_Mute[2] != 0 && Zumo_Mute[3] != 0) Zumo_Mute[Rand(2, 3)] = 0;
    Zumo_DrumloopA = Zumo_DrumLoop(3);
    Zumo_DrumloopB = Zumo_DrumLoop(7);
    Zumo_BassBeat = Zumo_BassRhythm(13);
    Zumo_MelodyBeat = Zumo_MelodyTune(19, 1);
    Zumo_MelodyBeatB = Zumo_AccompanyTune(29);
  }
  const std::string* drums[2] = {&Zumo_DrumloopA, &Zumo_DrumloopB};
  const std::string* tones[3] = {&Zumo_BassBeat, &Zumo_MelodyBeat, &Zumo_MelodyBeatB};
  const int64_t offset = (static_cast<int64_t>(Zumo_PatternAt) - 1) * kRows;
  for (int r = 0; r < kRows; ++r) {
    // An empty line is a silent voice.
    for (int v = 0; v < 2; ++v) {
      const std::string& line = *drums[v];
      Zumo_Pattern[v * kVoiceStride + r] = line.empty() ? 0.0f : DrumValue(line[r % line.size()]);
    }
    for (int v = 2; v < 5; ++v) {
      const std::string& line = *tones[v - 2];
      // Zumo_PatternAt is at least 1 here, so the position is never negative.
      Zumo_Pattern[v * kVoiceStride + r] =
          line.empty() ? 0.0f : ToneValue(line[static_cast<size_t>(offset + r) % line.size()]);
    }
  }
  return 0;
}

int Zumo_Play() {
  if (Zumo_Playing == 0) return 0;
  const int now = MilliSecs();
  // Due once the clock has passed the beat time; the difference keeps the
  // test right across the wrap of the millisecond counter.
  if (static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(Zumo_BeatAt)) <= 0) return 0;
  Zumo_BeatAt = Wrap(static_cast<int64_t>(Zumo_BeatAt) + Zumo_Tempo);
  if (++Zumo_RowAt >= kRows) {
    Zumo_RowAt = 0;
    Zumo_NextPattern();
  }
  const int64_t row = Zumo_RowAt, pattern = Zumo_PatternAt;
  const int64_t chordLength = static_cast<int64_t>(Zumo_Chord.size());
  const int64_t block8 = row / 8 + (pattern - 1) * 8;
  const int64_t block16 = row / 16 + (pattern - 1) * 4;
  const bool window8 = block8 >= 2 * chordLength - 1;
  const bool window16 = !window8 && block16 >= chordLength - 1;
  const float chord =
      block16 >= 0 && block16 < chordLength ? Zumo_NoteVal(Zumo_Chord.substr(static_cast<size_t>(block16), 1)) : 0.0f;
  const float sep = Zumo_StereoSeperation;
  const float mix = static_cast<float>(Options[kOptMusic] * Options[kOptMaster]) / 100.0f;
  // Volume never above full, whatever the settings hold.
  const float full = std::clamp(mix / 100.0f, 0.0f, 1.0f);
  const float half = std::clamp(mix / 200.0f, 0.0f, 1.0f);
  struct Voice {
    bool setPan;
    float pan;
    bool tonal;
    float volume;
  };
  const Voice voices[5] = {{true, sep, false, full},
                           {true, -sep, false, full},
                           {true, -sep, true, full},
                           {false, 0, true, full},
                           {true, sep, true, half}};
  for (int v = 0; v < 5; ++v) {
    const float entry = Zumo_Pattern[v * kVoiceStride + Zumo_RowAt];
    bool muted = Zumo_Mute[v] == 1;
    if (muted && Zumo_MuteAhead[v] == 0 &&
        ((window16 && Zumo_MuteAheadGo[v] == 1) || (window8 && Zumo_MuteAheadGo[v] > 0)))
      muted = false;
    if (muted) continue;
    int slot;
    float rate = 1;
    if (!voices[v].tonal) {
      const int n = static_cast<int>(entry);
      if (n < 1 || n > 8) continue;
      slot = n + 10 * v;
    } else {
      if (entry == 0) continue;
      slot = Zumo_PatternUse[v - 1] + 10 * v;
      rate = entry * chord;
      // A note without a pitch is a rest: a channel never gets rate 0.
      if (!(rate > 0)) continue;
    }
    // A note whose sample is missing is a rest too.
    if (slot < 0 || slot >= 50 || !Zumo_inst[slot]) continue;
    if (Channel[v] != 0 && ChannelPlaying(Channel[v])) StopChannel(Channel[v]);
    Channel[v] = AllocChannel();
    if (Channel[v] == 0) continue;
    CueSound(Zumo_inst[slot], Channel[v]);
    if (voices[v].setPan) SetChannelPan(Channel[v], voices[v].pan);
    if (voices[v].tonal) SetChannelRate(Channel[v], rate);
    SetChannelVolume(Channel[v], voices[v].volume);
    ResumeChannel(Channel[v]);
  }
  return 0;
}

const TitleSong kTitleSongs[3] = {{"meadow", 280}, {"breeze", 320}, {"hop", 240}};

const TitleSong& TitleSongFor(int seed) { return kTitleSongs[(seed % 3 + 3) % 3]; }

int StartTitleSong(const TitleSong& song, int seed) { return Zumo_NewSong(song.name, seed, song.tempo); }

int StartTitleSong(const std::string& name, int seed) {
  for (const TitleSong& song : kTitleSongs)
    if (name == song.name) return StartTitleSong(song, seed);
  return 0;
}

void ResetMusicTables() {
  for (auto& s : Zumo_inst) s.reset();
  Zumo_BeatAt = Zumo_Tempo = Zumo_SongSeed = Zumo_Playing = 0;
  Zumo_RowAt = Zumo_PatternAt = Zumo_SongAt = 0;
  Zumo_StereoSeperation = 0;
  Zumo_Chord.clear();
  std::fill(std::begin(Zumo_Pattern), std::end(Zumo_Pattern), 0.0f);
  for (int k = 0; k < 5; ++k) Zumo_PatternUse[k] = Zumo_PatternHave[k] = Zumo_Many[k] = Zumo_Stretch[k] = 0;
  for (int v = 0; v < 20; ++v) Zumo_Mute[v] = Zumo_MuteAhead[v] = Zumo_MuteAheadGo[v] = 0;
  for (std::string* s : {&Zumo_DrumloopA, &Zumo_DrumloopB, &Zumo_BassBeat, &Zumo_MelodyBeat, &Zumo_MelodyBeatB})
    s->clear();
  for (auto& s : Zumo_Set) s.clear();
}

void InstallMusic() {
  // The tables hold their start values before the first display opens and
  // the samples load.
  OnEngineEvent(EngineEvent::TablesCreated, ResetMusicTables);
  MusicTickHook = Zumo_Play;
}
