// The software mixer core: resampling with linear interpolation, volume and
// pan per channel, float accumulation, a peak limiter on the sum and
// conversion to 16-bit.
#include <algorithm>
#include <cmath>

#include "platform/audio/audio_internal.h"

namespace audio {
namespace {

// Output frames per frame of the sound at this channel's rate; 0 when the
// channel holds still (rate 0).
double Step(const Channel& channel) {
  if (!(channel.rate > 0.0f)) return 0.0;
  return static_cast<double>(channel.rate) * channel.sound->rate / kMixRate;
}

// True when the channel can sound at all; a channel without a sound or with
// an empty one has ended.
bool HasSamples(const Channel& channel) { return channel.sound && channel.sound->Frames() > 0; }

}  // namespace

void PanGains(float volume, float pan, float& left, float& right) {
  left = volume * std::min(1.0f, 1.0f - pan);
  right = volume * std::min(1.0f, 1.0f + pan);
}

void MixChannels(std::vector<Channel*>& playing, float* acc, int frames) {
  for (size_t i = 0; i < playing.size();) {
    Channel& ch = *playing[i];
    if (!HasSamples(ch)) {
      ch.state = Channel::Idle;
      Unlist(playing, i);
      continue;
    }
    const TSound& sound = *ch.sound;
    const double length = static_cast<double>(sound.Frames());
    const size_t last = sound.Frames() - 1;
    const bool loop = sound.Loops();
    const double step = Step(ch);
    if (step == 0.0) {  // held still: silent, still playing
      ++i;
      continue;
    }
    float gainL, gainR;
    PanGains(ch.volume, ch.pan, gainL, gainR);
    const int16_t* s = sound.samples.data();
    const bool stereo = sound.channels == 2;
    double pos = ch.pos;
    bool ended = false;
    for (int f = 0; f < frames; ++f) {
      if (pos >= length) {
        if (!loop) {
          ended = true;
          break;
        }
        pos = std::fmod(pos, length);
      }
      size_t i0 = static_cast<size_t>(pos);
      float frac = static_cast<float>(pos - static_cast<double>(i0));
      // The next frame: the loop's start for a looping sound, else the last
      // frame is held for the final fraction.
      size_t i1 = i0 < last ? i0 + 1 : (loop ? 0 : last);
      if (stereo) {
        float l0 = s[i0 * 2], l1 = s[i1 * 2], r0 = s[i0 * 2 + 1], r1 = s[i1 * 2 + 1];
        acc[f * 2] += (l0 + (l1 - l0) * frac) * gainL;
        acc[f * 2 + 1] += (r0 + (r1 - r0) * frac) * gainR;
      } else {
        float v0 = s[i0], v1 = s[i1];
        float v = v0 + (v1 - v0) * frac;
        acc[f * 2] += v * gainL;
        acc[f * 2 + 1] += v * gainR;
      }
      pos += step;
    }
    if (!ended && pos >= length) {
      if (loop) pos = std::fmod(pos, length);
      else ended = true;
    }
    ch.pos = pos;
    if (ended) {
      ch.state = Channel::Idle;
      Unlist(playing, i);
      continue;
    }
    ++i;
  }
}

void AdvanceChannels(std::vector<Channel*>& playing, int64_t frames) {
  if (frames < 0) frames = 0;
  for (size_t i = 0; i < playing.size();) {
    Channel& ch = *playing[i];
    if (!HasSamples(ch)) {
      ch.state = Channel::Idle;
      Unlist(playing, i);
      continue;
    }
    const double length = static_cast<double>(ch.sound->Frames());
    ch.pos += Step(ch) * static_cast<double>(frames);
    if (ch.pos >= length) {
      if (ch.sound->Loops()) {
        ch.pos = std::fmod(ch.pos, length);
      } else {
        ch.state = Channel::Idle;
        Unlist(playing, i);
        continue;
      }
    }
    ++i;
  }
}

float Limiter::Apply(float* acc, int frames) {
  if (frames <= 0) return 0;
  // Per output frame: how fast the gain may fall ahead of a peak (3 dB a
  // millisecond) and how fast it comes back (30 dB a second).
  static const float kAttack = std::pow(10.0f, 3.0f / 20.0f / (kMixRate / 1000.0f));
  static const float kRelease = std::pow(10.0f, 30.0f / 20.0f / kMixRate);
  ahead_.resize(static_cast<size_t>(frames));
  float loudest = 0;
  for (int f = 0; f < frames; ++f) {
    const float peak = std::max(std::fabs(acc[f * 2]), std::fabs(acc[f * 2 + 1]));
    loudest = std::max(loudest, peak);
    ahead_[static_cast<size_t>(f)] = peak > kLimitCeiling ? kLimitCeiling / peak : 1.0f;
  }
  if (loudest <= kLimitCeiling && gain_ == 1.0f) return loudest;
  // From the block's end back: a frame may keep at most kAttack times the
  // gain of the frame after it, so the gain glides into a peak.
  for (int f = frames - 2; f >= 0; --f) {
    const size_t i = static_cast<size_t>(f);
    ahead_[i] = std::min(ahead_[i], ahead_[i + 1] * kAttack);
  }
  for (int f = 0; f < frames; ++f) {
    gain_ = std::min({1.0f, gain_ * kRelease, ahead_[static_cast<size_t>(f)]});
    acc[f * 2] *= gain_;
    acc[f * 2 + 1] *= gain_;
  }
  return loudest;
}

void ClipToS16(const float* acc, int16_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    float v = acc[i];
    if (v >= 32767.0f) out[i] = 32767;
    else if (v <= -32768.0f) out[i] = -32768;
    else out[i] = static_cast<int16_t>(std::lrint(v));
  }
}

}  // namespace audio
