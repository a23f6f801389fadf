// Hearing a song without a sound card: what the title screen plays for a
// song and seed, rendered on the headless back end's software mixer and
// measured. The listening tool (bench/music_bench) and the song tests use it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SongRender {
  std::string song;    // one of the title's songs; empty: the title's pick for the seed
  int seed = 1;
  double seconds = 120;
  int master = 50;     // the settings' Master and Music volumes, in percent
  int music = 50;
};

struct RenderedSong {
  bool played = false;          // false: no such song, or it did not start
  std::string song;             // the song that played
  std::vector<int16_t> samples;  // 44.1 kHz stereo, interleaved L, R
  double voices = 0;            // song voices sounding on average (of 5)
  double mixSeconds = 0;        // CPU time of the mixing on this thread
  float sumPeak = 0;            // loudest sample of the sum before the mixer's limiter
};

// Starts the song as the title screen does (StartTitleSong) and plays it
// frame by frame at 60 frames a second, each frame ticking the song once,
// as the title's end of frame does, and mixing the frame's audio. Whatever
// else plays on the mixer is heard too. Needs the headless back end with
// the "FreeMix" driver, the start-up tables, the samples loaded (Zumo_Load)
// and the game folder as the current folder. Sets the Master and Music
// volumes of Options.
RenderedSong RenderTitleSong(const SongRender& request);

struct SongLevels {
  double quietShare = 0;  // share of whole quarter-seconds whose RMS is below the threshold
  int64_t fullScale = 0;  // samples at full scale, 32767 or -32768
  int peak = 0;           // loudest sample
};

// Near silence and clipping of 44.1 kHz stereo samples; a quarter-second's
// RMS is taken over both sides.
SongLevels MeasureLevels(const std::vector<int16_t>& samples, double quietRms);

// The near-silence threshold for the volumes of a render: 1% of full scale
// (-40 dBFS) at Master and Music 100, scaled as the music's volume is, so
// that a song measures the same at every setting.
double QuietRmsFor(int master, int music);
