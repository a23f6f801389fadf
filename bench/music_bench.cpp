// The listening tool and the mixer's cost: plays what the title screen
// plays for a song and seed, on the headless back end's software mixer,
// and says how it sounds in figures.
//
//   music_bench [--song NAME] [--seed N] [--seconds S] [--master M]
//               [--music V] [--wav FILE]
//
// The song starts as the title screen starts it (its tempo, its sections'
// muting and early entries) and is ticked at 60 frames a second. NAME is
// one of the title's songs (meadow, breeze, hop); without it, the one the
// title picks for the seed. N defaults to 1, S to 120 seconds, M and V
// (the settings' Master and Music, in percent) to 50, as a new settings
// file has them.
//
// With --wav the song plays alone and is written to FILE (16-bit stereo,
// 44.1 kHz). Without it twenty looping effects play beside the song and
// the mixer's CPU time is the figure: the "FreeMix" driver mixes into
// memory on the calling thread, so the thread's CPU time is the mixer's;
// the song is then played once more, alone, for its levels.
//
// Either way it prints the song's levels, measured on the song alone: the
// share of quarter-seconds that are near silent (RMS below 1% of full
// scale at Master and Music 100, scaled with the volumes), the samples at
// full scale, the loudest sample, and the loudest sample of the sum before
// the mixer's limiter.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "music/listen.h"
#include "music/music.h"
#include "platform/headless.h"
#include "platform/platform.h"

namespace {

bool WriteWav(const std::string& path, const std::vector<int16_t>& samples) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  auto u32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, out); };
  auto u16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, out); };
  const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
  std::fwrite("RIFF", 1, 4, out);
  u32(36 + bytes);
  std::fwrite("WAVEfmt ", 1, 8, out);
  u32(16);
  u16(1);  // PCM
  u16(2);
  u32(44100);
  u32(44100 * 4);
  u16(4);
  u16(16);
  std::fwrite("data", 1, 4, out);
  u32(bytes);
  std::fwrite(samples.data(), 2, samples.size(), out);
  return std::fclose(out) == 0;
}

double Db(double ratio) { return ratio > 0 ? 20 * std::log10(ratio) : -INFINITY; }

int Usage() {
  std::fprintf(stderr,
               "usage: music_bench [--song NAME] [--seed N] [--seconds S] [--master M] [--music V] [--wav FILE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  SongRender request;
  std::string wav;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return Usage();
    const char* value = argv[++i];
    if (arg == "--song") request.song = value;
    else if (arg == "--seed") request.seed = std::atoi(value);
    else if (arg == "--seconds") request.seconds = std::max(0.25, std::atof(value));
    else if (arg == "--master") request.master = std::clamp(std::atoi(value), 0, 100);
    else if (arg == "--music") request.music = std::clamp(std::atoi(value), 0, 100);
    else if (arg == "--wav") wav = std::filesystem::absolute(value).string();
    else return Usage();
  }
  PlatformInit(BackendKind::Headless);
  CreateStartupTables();
  SetDefaults();
  std::filesystem::current_path(PIBBO_RUN_DIR "/Files/260");
  if (SetAudioDriver("FreeMix") != 1) {
    std::fprintf(stderr, "music_bench: no FreeMix driver\n");
    return 1;
  }
  Zumo_Load();
  const int effectCount = wav.empty() ? 20 : 0;
  std::vector<int> effects;
  for (int k = 0; k < effectCount; ++k) {
    char name[16];
    std::snprintf(name, sizeof name, "%03d.wav", 10 + k);
    Sound effect = LoadSound(name, SOUND_LOOP);
    if (!effect) {
      std::fprintf(stderr, "music_bench: cannot load %s\n", name);
      return 1;
    }
    effects.push_back(PlaySound(effect));
    SetChannelVolume(effects.back(), 0.05f);
  }
  RenderedSong song = RenderTitleSong(request);
  const double mixSeconds = song.mixSeconds;
  if (song.played && !effects.empty()) {
    // The effects would fill the song's quiet moments and add to its peaks:
    // its levels come from the same song played alone.
    for (int channel : effects) StopChannel(channel);
    song = RenderTitleSong(request);
  }
  if (!song.played) {
    std::fprintf(stderr, "music_bench: no song \"%s\" (the title's songs: meadow, breeze, hop)\n",
                 song.song.c_str());
    return 1;
  }
  const double seconds = static_cast<double>(song.samples.size()) / 2 / 44100;
  const double frames = std::round(seconds * 60);
  std::printf("%s, seed %d, Master %d, Music %d: %.0f s of 44.1 kHz stereo, %.2f song voices sounding on average "
              "(of 5), %d effects\n",
              song.song.c_str(), request.seed, request.master, request.music, seconds, song.voices, effectCount);
  if (wav.empty())
    std::printf("mixer CPU: %.3f s, %.2f%% of one core (%.1f us per 16.7 ms frame)\n", mixSeconds,
                100 * mixSeconds / seconds, 1e6 * mixSeconds / frames);
  const double quietRms = QuietRmsFor(request.master, request.music);
  const SongLevels levels = MeasureLevels(song.samples, quietRms);
  std::printf("near silent: %.1f%% of quarter-seconds (RMS below %.0f)\n", 100 * levels.quietShare, quietRms);
  std::printf("full-scale samples: %lld; peak %d (%+.1f dBFS); the sum before the limiter peaks at %.0f (%+.1f dBFS)\n",
              static_cast<long long>(levels.fullScale), levels.peak, Db(levels.peak / 32767.0), song.sumPeak,
              Db(song.sumPeak / 32767.0));
  if (!wav.empty() && !WriteWav(wav, song.samples)) {
    std::fprintf(stderr, "music_bench: cannot write %s\n", wav.c_str());
    return 1;
  }
  PlatformShutdown();
  return 0;
}
