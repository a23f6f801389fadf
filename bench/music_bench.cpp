// The mixer's cost with a generated song on its five voices and twenty
// looping effects beside it, as a share of one core.
//
//   music_bench [--seconds N] [--song NAME] [--wav FILE]
//
// Runs on the headless back end, whose "FreeMix" driver mixes into memory
// on the calling thread, so the thread's CPU time is the mixer's. Plays N
// seconds of audio (default 120) in 16 ms frames: each frame ticks the
// song, keeps the twenty effects going and mixes the frame's audio.
// With --wav the song plays alone and the mix is written to FILE, to hear
// what the generator makes of a rule file.
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "music/music.h"
#include "platform/headless.h"
#include "platform/platform.h"

namespace {

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 120;
  std::string song = "meadow", wav;
  for (int i = 1; i + 1 < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seconds") seconds = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--song") song = argv[++i];
    else if (arg == "--wav") wav = std::filesystem::absolute(argv[++i]).string();
  }
  const int effectCount = wav.empty() ? 20 : 0;
  PlatformInit(BackendKind::Headless);
  CreateStartupTables();
  SetDefaults();
  std::filesystem::current_path(PIBBO_RUN_DIR "/Files/260");
  if (SetAudioDriver("FreeMix") != 1) {
    std::fprintf(stderr, "music_bench: no FreeMix driver\n");
    return 1;
  }
  Zumo_Load();
  Options[kOptMaster] = Options[kOptMusic] = Options[kOptSound] = 100;
  Zumo_NewSong(song, 1, 280);
  if (!Zumo_Playing) {
    std::fprintf(stderr, "music_bench: no song (music/%s.ini missing?)\n", song.c_str());
    return 1;
  }
  Sound effects[20];
  int channels[20] = {};
  for (int k = 0; k < effectCount; ++k) {
    char name[16];
    std::snprintf(name, sizeof name, "%03d.wav", 10 + k);
    effects[k] = LoadSound(name, SOUND_LOOP);
    if (!effects[k]) {
      std::fprintf(stderr, "music_bench: cannot load %s\n", name);
      return 1;
    }
    channels[k] = PlaySound(effects[k]);
    SetChannelVolume(channels[k], 0.05f);
  }
  const int frames = seconds * 1000 / 16;
  std::vector<int16_t> all;
  double mixing = 0;
  long voicesPlaying = 0;
  int64_t mixed = 0;
  for (int f = 0; f < frames; ++f) {
    headless::Advance(16);
    for (int v = 0; v < 5; ++v) Zumo_Mute[v] = 0;  // all five voices play
    Zumo_Play();
    for (int v = 0; v < 5; ++v) voicesPlaying += Channel[v] != 0 && ChannelPlaying(Channel[v]);
    const int block = static_cast<int>(static_cast<int64_t>(f + 1) * 44100 * 16 / 1000 - mixed);
    const double t0 = ThreadSeconds();
    const std::vector<int16_t> out = headless::MixAudio(block);
    mixing += ThreadSeconds() - t0;
    if (!wav.empty()) all.insert(all.end(), out.begin(), out.end());
    mixed += block;
  }
  const double audio = static_cast<double>(mixed) / 44100;
  std::printf("mixed %.0f s of 44.1 kHz stereo: %.2f song voices playing on average (of 5), %d effects\n", audio,
              static_cast<double>(voicesPlaying) / frames, effectCount);
  std::printf("mixer CPU: %.3f s, %.2f%% of one core (%.1f us per 16 ms frame)\n", mixing, 100 * mixing / audio,
              1e6 * mixing / frames);
  if (!wav.empty()) {
    int peak = 0;
    for (int16_t v : all) peak = std::max(peak, std::abs(static_cast<int>(v)));
    std::printf("peak %d of 32767\n", peak);
    std::FILE* out = std::fopen(wav.c_str(), "wb");
    if (!out) return 1;
    auto u32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, out); };
    auto u16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, out); };
    const uint32_t bytes = static_cast<uint32_t>(all.size() * 2);
    std::fwrite("RIFF", 1, 4, out);
    u32(36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, out);
    u32(16);
    u16(1);
    u16(2);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    std::fwrite("data", 1, 4, out);
    u32(bytes);
    std::fwrite(all.data(), 2, all.size(), out);
    std::fclose(out);
  }
  PlatformShutdown();
  return 0;
}
