// The "Null" driver (silent, keeps time by the clock) and the "FreeMix"
// drivers (the software mixer, pulled by the back end's audio output).
#include "platform/audio/audio_internal.h"
#include "platform/backend.h"

namespace audio {
namespace {

uint32_t ClockMillis() {
  Backend* backend = ActiveBackendOrNull();
  return backend ? backend->AudioMillis() : 0;
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
  bool Audible() const override { return false; }
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
  explicit MixerDriver(int bufferFrames) : bufferFrames_(bufferFrames) {}
  ~MixerDriver() override { Stop(); }

  bool Start() override {
    Backend* backend = ActiveBackendOrNull();
    if (!backend) return false;
    output_ = backend->OpenAudioOutput(bufferFrames_, [](int16_t* out, int frames) {
      std::lock_guard lock(AudioMutex());
      MixLocked(out, frames);
    });
    return output_ != nullptr;
  }
  void Stop() override { output_.reset(); }
  bool Audible() const override { return output_ && output_->Audible(); }

 private:
  int bufferFrames_;
  std::unique_ptr<AudioOutput> output_;
};

}  // namespace

std::unique_ptr<Driver> CreateNullDriver() { return std::make_unique<NullDriver>(); }

std::unique_ptr<Driver> CreateMixerDriver(int bufferFrames) {
  return std::make_unique<MixerDriver>(bufferFrames);
}

}  // namespace audio
