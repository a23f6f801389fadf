#include "music/listen.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "music/music.h"
#include "platform/headless.h"
#include "platform/platform.h"

namespace {

constexpr int kRate = 44100;
constexpr int kFramesPerSecond = 60;

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

RenderedSong RenderTitleSong(const SongRender& request) {
  RenderedSong out;
  out.song = request.song.empty() ? TitleSongFor(request.seed).name : request.song;
  if (CurrentAudioDriver() != "FreeMix") return out;
  Options[kOptMaster] = request.master;
  Options[kOptMusic] = request.music;
  Zumo_Stop();
  StartTitleSong(out.song, request.seed);
  if (!Zumo_Playing) return out;
  out.played = true;
  headless::MixPeak();  // from here on
  const int64_t frames = std::max<int64_t>(1, std::llround(request.seconds * kFramesPerSecond));
  out.samples.reserve(static_cast<size_t>(frames * kRate / kFramesPerSecond + 1) * 2);
  int64_t mixed = 0, sounding = 0;
  for (int64_t f = 1; f <= frames; ++f) {
    // The clock and the audio move on by one frame's share, in whole
    // milliseconds and whole samples.
    headless::Advance(static_cast<int>(f * 1000 / kFramesPerSecond - (f - 1) * 1000 / kFramesPerSecond));
    Zumo_Play();
    for (int v = 0; v < 5; ++v) sounding += Channel[v] != 0 && ChannelPlaying(Channel[v]);
    const int block = static_cast<int>(f * kRate / kFramesPerSecond - mixed);
    const double t0 = ThreadSeconds();
    const std::vector<int16_t> audio = headless::MixAudio(block);
    out.mixSeconds += ThreadSeconds() - t0;
    out.samples.insert(out.samples.end(), audio.begin(), audio.end());
    mixed += block;
  }
  out.voices = static_cast<double>(sounding) / static_cast<double>(frames);
  out.sumPeak = headless::MixPeak();
  Zumo_Stop();
  return out;
}

SongLevels MeasureLevels(const std::vector<int16_t>& samples, double quietRms) {
  SongLevels levels;
  for (int16_t v : samples) {
    levels.fullScale += v == 32767 || v == -32768;
    levels.peak = std::max(levels.peak, std::abs(static_cast<int>(v)));
  }
  const size_t quarter = kRate / 4 * 2;  // values in a quarter-second
  const size_t quarters = samples.size() / quarter;
  int64_t quiet = 0;
  for (size_t q = 0; q < quarters; ++q) {
    double sum = 0;
    for (size_t i = q * quarter; i < (q + 1) * quarter; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    quiet += std::sqrt(sum / static_cast<double>(quarter)) < quietRms;
  }
  levels.quietShare = quarters ? static_cast<double>(quiet) / static_cast<double>(quarters) : 0;
  return levels;
}

double QuietRmsFor(int master, int music) { return 32767.0 * 0.01 * master * music / 10000.0; }
