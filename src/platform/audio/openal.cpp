// The "OpenAL" drivers: each playing or cued channel gets an OpenAL source;
// each sound is uploaded once into a buffer. Pan places a mono source left or
// right of the listener; stereo sounds play as recorded.
#include <AL/al.h>
#include <AL/alc.h>

#include <cmath>
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "platform/audio/audio_internal.h"
#include "platform/core/quiet.h"

namespace audio {
namespace {

// Sources created at most; a cue finds no voice beyond this.
constexpr int kMaxSources = 256;

class OpenALDriver : public Driver {
 public:
  explicit OpenALDriver(std::string device) : deviceName_(std::move(device)) {}
  ~OpenALDriver() override { Stop(); }

  bool Start() override {
    device_ = alcOpenDevice(deviceName_.empty() ? nullptr : deviceName_.c_str());
    if (!device_) return false;
    context_ = alcCreateContext(device_, nullptr);
    if (!context_ || !alcMakeContextCurrent(context_)) {
      Stop();
      return false;
    }
    // Channels are placed by pan alone, never attenuated by distance.
    alDistanceModel(AL_NONE);
    return true;
  }

  void Stop() override {
    if (context_) {
      alcMakeContextCurrent(context_);
      for (ALuint source : sources_) {
        alSourceStop(source);
        alSourcei(source, AL_BUFFER, 0);
      }
      if (!sources_.empty()) alDeleteSources(static_cast<ALsizei>(sources_.size()), sources_.data());
      for (auto& [key, entry] : buffers_) alDeleteBuffers(1, &entry.second);
      alcMakeContextCurrent(nullptr);
      alcDestroyContext(context_);
      context_ = nullptr;
    }
    sources_.clear();
    free_.clear();
    held_.clear();
    buffers_.clear();
    if (device_) {
      alcCloseDevice(device_);
      device_ = nullptr;
    }
  }

  void Update(std::vector<Channel*>& playing) override {
    for (size_t i = 0; i < playing.size();) {
      Channel& ch = *playing[i];
      ALint state = AL_STOPPED;
      if (ch.alSource) alGetSourcei(ch.alSource, AL_SOURCE_STATE, &state);
      if (state == AL_STOPPED) {
        Release(ch);
        ch.state = Channel::Idle;
        Unlist(playing, i);
        continue;
      }
      ++i;
    }
  }

  bool Cue(Channel& ch) override {
    if (!ch.sound) return false;
    if (ch.sound->Frames() == 0) return true;  // nothing to hear: ends on resume
    ALuint buffer = BufferFor(ch.sound);
    if (!buffer) return false;
    ALuint source = AcquireSource();
    if (!source) return false;
    alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
    alSourcei(source, AL_LOOPING, ch.sound->Loops() ? AL_TRUE : AL_FALSE);
    alSourceRewind(source);
    ch.alSource = source;
    Params(ch);
    return true;
  }

  void Resume(Channel& ch) override {
    if (ch.alSource && !held_.count(ch.alSource)) alSourcePlay(ch.alSource);
  }

  void Pause(Channel& ch) override {
    if (ch.alSource) alSourcePause(ch.alSource);
  }

  void Release(Channel& ch) override {
    if (!ch.alSource) return;
    alSourceStop(ch.alSource);
    alSourcei(ch.alSource, AL_BUFFER, 0);
    held_.erase(ch.alSource);
    free_.push_back(ch.alSource);
    ch.alSource = 0;
  }

  void Params(Channel& ch) override {
    if (!ch.alSource) return;
    ALuint s = ch.alSource;
    alSourcef(s, AL_MAX_GAIN, std::max(1.0f, ch.volume));
    alSourcef(s, AL_GAIN, ch.volume);
    // A rate of 0 holds the sound still; OpenAL wants a pitch above 0.
    if (ch.rate > 0.0f) {
      alSourcef(s, AL_PITCH, ch.rate);
      if (held_.erase(s) && ch.state == Channel::Playing) alSourcePlay(s);
    } else {
      held_.insert(s);
      if (ch.state == Channel::Playing) alSourcePause(s);
    }
    float pan = ch.pan;
    alSourcei(s, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(s, AL_POSITION, pan, 0.0f, -std::sqrt(std::max(0.0f, 1.0f - pan * pan)));
  }

 private:
  ALuint AcquireSource() {
    if (!free_.empty()) {
      ALuint s = free_.back();
      free_.pop_back();
      return s;
    }
    if (static_cast<int>(sources_.size()) >= kMaxSources) return 0;
    alGetError();
    ALuint s = 0;
    alGenSources(1, &s);
    if (alGetError() != AL_NO_ERROR) return 0;
    sources_.push_back(s);
    return s;
  }

  ALuint BufferFor(const Sound& sound) {
    auto it = buffers_.find(sound.get());
    if (it != buffers_.end() && !it->second.first.expired()) return it->second.second;
    // Sounds that are gone can no longer be bound to a source: free them.
    for (auto b = buffers_.begin(); b != buffers_.end();) {
      if (b->second.first.expired()) {
        alDeleteBuffers(1, &b->second.second);
        b = buffers_.erase(b);
      } else {
        ++b;
      }
    }
    alGetError();
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    if (alGetError() != AL_NO_ERROR) return 0;
    alBufferData(buffer, sound->channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16, sound->samples.data(),
                 static_cast<ALsizei>(sound->samples.size() * sizeof(int16_t)), sound->rate);
    if (alGetError() != AL_NO_ERROR) {
      alDeleteBuffers(1, &buffer);
      return 0;
    }
    buffers_[sound.get()] = {sound, buffer};
    return buffer;
  }

  std::string deviceName_;
  ALCdevice* device_ = nullptr;
  ALCcontext* context_ = nullptr;
  std::vector<ALuint> sources_;
  std::vector<ALuint> free_;
  std::unordered_set<ALuint> held_;  // sources paused by a rate of 0
  std::unordered_map<const TSound*, std::pair<std::weak_ptr<TSound>, ALuint>> buffers_;
};

}  // namespace

bool OpenALAvailable() {
  QuietStderr quiet;
  ALCdevice* device = alcOpenDevice(nullptr);
  if (!device) return false;
  alcCloseDevice(device);
  return true;
}

std::vector<std::string> OpenALDevices() {
  QuietStderr quiet;
  const ALCchar* list = nullptr;
  if (alcIsExtensionPresent(nullptr, "ALC_ENUMERATE_ALL_EXT"))
    list = alcGetString(nullptr, ALC_ALL_DEVICES_SPECIFIER);
  else if (alcIsExtensionPresent(nullptr, "ALC_ENUMERATION_EXT"))
    list = alcGetString(nullptr, ALC_DEVICE_SPECIFIER);
  std::vector<std::string> names;
  // The list is a run of zero-terminated names ended by an empty one.
  for (const ALCchar* p = list; p && *p; p += std::string(p).size() + 1) names.emplace_back(p);
  return names;
}

std::unique_ptr<Driver> CreateOpenALDriver(const std::string& device) {
  return std::make_unique<OpenALDriver>(device);
}

}  // namespace audio
