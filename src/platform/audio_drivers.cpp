// The "Null" driver (silent, keeps time by the clock) and the "FreeMix"
// drivers (the software mixer over an SDL audio device, or on demand through
// headless::MixAudio when there is no device).
#include <SDL.h>

#include "platform/audio_internal.h"
#include "platform/backend.h"
#include "platform/headless.h"

namespace audio {
namespace {

// The clock the silent driver keeps time by. Headless: the virtual clock,
// read without the idle tick that busy polling gives it.
uint32_t ClockMillis() {
  Backend* backend = ActiveBackendOrNull();
  if (!backend) return 0;
  return PlatformIsHeadless() ? headless::Now() : backend->Millis();
}

// Plays nothing, but its channels run their course in real (or, headless,
// virtual) time, so that a sound still "plays" for as long as it would be
// heard and then ends.
class NullDriver : public Driver {
 public:
  bool Start() override {
    last_ = ClockMillis();
    carry_ = 0;
    return true;
  }
  void Stop() override {}
  void Update(std::vector<Channel*>& playing) override {
    uint32_t now = ClockMillis();
    int64_t elapsed = static_cast<int32_t>(now - last_);  // wraps like MilliSecs
    last_ = now;
    if (elapsed < 0) elapsed = 0;
    int64_t scaled = elapsed * kMixRate + carry_;
    carry_ = scaled % 1000;
    AdvanceChannels(playing, scaled / 1000);
  }

 private:
  uint32_t last_ = 0;
  int64_t carry_ = 0;
};

class MixerDriver : public Driver {
 public:
  MixerDriver(int bufferFrames, bool openDevice) : bufferFrames_(bufferFrames), openDevice_(openDevice) {}
  ~MixerDriver() override { Stop(); }

  bool IsMixer() const override { return true; }

  bool Start() override {
    if (!openDevice_) return true;
    if (TryOpen()) return true;
    // No usable sound device (a server, a CI machine): SDL's silent "dummy"
    // output still runs the mixer in real time, so channels play and end.
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    bool ok = TryOpen();
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    return ok;
  }

  void Stop() override {
    if (device_) {
      SDL_CloseAudioDevice(device_);
      device_ = 0;
    }
    if (subsystem_) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      subsystem_ = false;
    }
  }

 private:
  bool TryOpen() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    subsystem_ = true;
    SDL_AudioSpec want{};
    want.freq = kMixRate;
    want.format = AUDIO_S16SYS;
    want.channels = kMixChannels;
    want.samples = static_cast<Uint16>(bufferFrames_);
    want.callback = &MixerDriver::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No format changes allowed: SDL converts to the device for us.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device_) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      subsystem_ = false;
      return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

  // SDL's audio thread.
  static void Callback(void* /*user*/, Uint8* stream, int length) {
    std::lock_guard lock(AudioMutex());
    MixLocked(reinterpret_cast<int16_t*>(stream), length / static_cast<int>(sizeof(int16_t) * kMixChannels));
  }

  int bufferFrames_;
  bool openDevice_;
  SDL_AudioDeviceID device_ = 0;
  bool subsystem_ = false;
};

}  // namespace

std::unique_ptr<Driver> CreateNullDriver() { return std::make_unique<NullDriver>(); }

std::unique_ptr<Driver> CreateMixerDriver(int bufferFrames, bool openDevice) {
  return std::make_unique<MixerDriver>(bufferFrames, openDevice);
}

}  // namespace audio
