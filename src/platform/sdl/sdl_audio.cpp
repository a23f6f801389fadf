// The SDL back end's audio output: an SDL audio device whose callback pulls
// the software mixer.
#include <SDL.h>

#include "platform/sdl/sdl_audio.h"

namespace {

class SdlAudioOutput final : public AudioOutput {
 public:
  explicit SdlAudioOutput(AudioPull pull) : pull_(std::move(pull)) {}
  ~SdlAudioOutput() override {
    if (device_) SDL_CloseAudioDevice(device_);
    if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  bool Audible() const override { return audible_; }

  bool Open(int bufferFrames) {
    if (TryOpen(bufferFrames)) {
      // SDL_AUDIODRIVER=dummy (as the tests set) opens, but plays to nothing.
      const char* driver = SDL_GetCurrentAudioDriver();
      audible_ = !driver || (SDL_strcmp(driver, "dummy") != 0 && SDL_strcmp(driver, "disk") != 0);
      return true;
    }
    // No usable sound device (a server, a CI machine): SDL's silent "dummy"
    // output still runs the mixer in real time, so channels play and end.
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    const bool ok = TryOpen(bufferFrames);
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    return ok;
  }

 private:
  bool TryOpen(int bufferFrames) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    subsystem_ = true;
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = static_cast<Uint16>(bufferFrames);
    want.callback = &SdlAudioOutput::Callback;
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
  static void Callback(void* user, Uint8* stream, int length) {
    auto* self = static_cast<SdlAudioOutput*>(user);
    self->pull_(reinterpret_cast<int16_t*>(stream), length / static_cast<int>(sizeof(int16_t) * 2));
  }

  AudioPull pull_;
  SDL_AudioDeviceID device_ = 0;
  bool subsystem_ = false;
  bool audible_ = false;
};

}  // namespace

std::unique_ptr<AudioOutput> OpenSdlAudioOutput(int bufferFrames, AudioPull pull) {
  auto output = std::make_unique<SdlAudioOutput>(std::move(pull));
  if (!output->Open(bufferFrames)) return nullptr;
  return output;
}
