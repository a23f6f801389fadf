// Platform-internal parts of the audio layer: decoded sounds, the channel
// table shared by every driver, the software mixer core and the driver
// interface. Only src/platform/ and the audio tests include it.
//
// Threads: the game calls the audio API on its one thread; the "FreeMix"
// drivers mix on SDL's audio thread. Everything a channel holds is guarded
// by AudioMutex(); the mixer only ever reads sounds and writes channel
// positions and states, and never frees anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "platform/platform.h"

// A sound decoded whole to signed 16-bit samples.
struct TSound {
  int rate = 44100;              // frames per second of the recording
  int channels = 1;              // 1 mono, 2 stereo (interleaved L, R)
  int flags = 0;                 // SOUND_LOOP
  std::vector<int16_t> samples;  // frames * channels values
  std::string source;            // file name, for the call journal and messages

  size_t Frames() const { return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0; }
  bool Loops() const { return (flags & SOUND_LOOP) != 0; }
};

namespace audio {

// The journal of channel calls (headless::ChannelCalls), kept only while
// switched on.
void JournalCall(ChannelCall::Op op, int channel, const TSound* sound, float value);

// The output format of the software mixer.
constexpr int kMixRate = 44100;
constexpr int kMixChannels = 2;

// Decoders. `data` is a whole file in memory. Anything malformed, truncated
// past repair or of an unsupported kind gives an empty pointer.
Sound DecodeWav(const uint8_t* data, size_t size, int flags);
Sound DecodeOgg(const uint8_t* data, size_t size, int flags);
// Encodes interleaved 16-bit samples (1 or 2 channels) as an Ogg Vorbis
// file at a VBR quality of -0.1..1. Empty on bad arguments.
std::vector<uint8_t> EncodeOggVorbis(const std::vector<int16_t>& samples, int channels, int rate,
                                     float quality = 0.4f);

// One channel of the table. Handles start at 1 and are never reused within
// a run of the audio layer, so a stale handle can never reach a newer sound.
struct Channel {
  enum State { Idle, Paused, Playing };

  int handle = 0;
  Sound sound;         // cued sound; kept after it ends until re-cued or stopped
  double pos = 0;      // position in the sound, in (fractional) frames
  float volume = 1.0f;
  float pan = 0.0f;    // -1 left .. +1 right
  float rate = 1.0f;   // playback speed relative to the sound's own rate
  State state = Idle;
  bool active = false;    // listed in the table of playing channels
  uint64_t lastUse = 0;   // for retiring long-idle channels
  unsigned alSource = 0;  // the OpenAL source bound to this channel, 0 none
};

// Mixes `frames` stereo frames of every channel in `playing` into `acc`
// (interleaved L, R floats on the 16-bit scale; added to what is there).
// Channels whose sound ends become Idle and leave `playing`.
void MixChannels(std::vector<Channel*>& playing, float* acc, int frames);
// Moves the channels on by `frames` output frames without producing sound
// (the silent driver keeps time this way).
void AdvanceChannels(std::vector<Channel*>& playing, int64_t frames);
// Takes entry i out of `playing` (order is not kept) and marks the channel
// as no longer listed there.
inline void Unlist(std::vector<Channel*>& playing, size_t i) {
  playing[i]->active = false;
  playing[i] = playing.back();
  playing.pop_back();
}

// Converts accumulated floats to 16-bit with clipping.
void ClipToS16(const float* acc, int16_t* out, size_t count);

// The loudest value of the mixed output, on the 16-bit scale (-1 dBFS). A
// sum that stays within it leaves the limiter untouched, sample for sample.
constexpr float kLimitCeiling = 29204.0f;

// A peak limiter on the mixed sum, so that many loud channels together
// never clip: where the sum would pass kLimitCeiling both sides are turned
// down together, gliding down over the last 2 ms before the peak (as far as
// the block reaches ahead) and back up at 30 dB a second. At gain 1 it
// changes nothing.
class Limiter {
 public:
  // Applies the gain to `frames` interleaved stereo frames of `acc`;
  // answers their loudest value before it.
  float Apply(float* acc, int frames);
  float Gain() const { return gain_; }

 private:
  float gain_ = 1.0f;         // gain of the last frame processed
  std::vector<float> ahead_;  // per frame of the block: the most gain allowed
};

// Gains of the left and right output for a channel's volume and pan: the
// far side fades out as the pan moves away from it, the near side keeps the
// full volume.
void PanGains(float volume, float pan, float& left, float& right);

// Everything that crosses to the audio thread is guarded by this lock.
std::mutex& AudioMutex();

// Mixes `frames` frames of the channel table into `out` (interleaved 16-bit
// stereo) through the limiter. Call with AudioMutex() held. Used by the
// software-mixer drivers.
void MixLocked(int16_t* out, int frames);
// The loudest sample of the sum before the limiter since the last call, on
// the 16-bit scale (0 when nothing was mixed). Takes the lock.
float TakeSumPeak();

// An audio driver. Start and Stop are called without the lock held; every
// other hook is called with AudioMutex() held, on the game's thread.
class Driver {
 public:
  virtual ~Driver() = default;
  virtual bool Start() = 0;
  virtual void Stop() = 0;
  // False when nothing of what plays is heard (no sound device).
  virtual bool Audible() const { return true; }
  // Called on entry of every channel operation: lets the driver bring the
  // channel states up to date (elapsed time, finished voices).
  virtual void Update(std::vector<Channel*>& /*playing*/) {}
  // Prepares a newly cued sound; false when the driver has no voice for it.
  virtual bool Cue(Channel& /*channel*/) { return true; }
  virtual void Resume(Channel& /*channel*/) {}
  virtual void Pause(Channel& /*channel*/) {}
  // The channel stops for good or is forgotten: release its voice.
  virtual void Release(Channel& /*channel*/) {}
  // Volume, pan or rate changed.
  virtual void Params(Channel& /*channel*/) {}
};

// Driver factories (audio_drivers.cpp, audio_openal.cpp).
std::unique_ptr<Driver> CreateNullDriver();
// bufferFrames: the size of the output's buffer ("FreeMix" small, "FreeMix
// System" large); the output is the back end's.
std::unique_ptr<Driver> CreateMixerDriver(int bufferFrames);
// device: an OpenAL device name, "" for the default device.
std::unique_ptr<Driver> CreateOpenALDriver(const std::string& device);
// True when OpenAL can open its default device now.
bool OpenALAvailable();
// The output devices that OpenAL reports.
std::vector<std::string> OpenALDevices();

}  // namespace audio
