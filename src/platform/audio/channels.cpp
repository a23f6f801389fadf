// The audio layer's front: the registered drivers and the current one, the
// channel table every driver shares, and the channel operations.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <unordered_map>

#include "platform/audio/audio_internal.h"
#include "platform/core/front_internal.h"
#include "platform/backend.h"
#include "platform/core/quiet.h"

namespace audio {
namespace {
std::mutex gJournalMutex;
bool gJournalOn = false;
std::vector<ChannelCall> gJournal;
}  // namespace

void JournalCall(ChannelCall::Op op, int channel, const TSound* sound, float value) {
  std::lock_guard lock(gJournalMutex);
  if (!gJournalOn) return;
  gJournal.push_back(ChannelCall{op, channel, sound ? sound->source : std::string(), value});
}
}  // namespace audio

namespace headless {
void RecordChannelCalls(bool on) {
  std::lock_guard lock(audio::gJournalMutex);
  audio::gJournalOn = on;
  audio::gJournal.clear();
}
std::vector<ChannelCall> ChannelCalls() {
  std::lock_guard lock(audio::gJournalMutex);
  return audio::gJournal;
}
float MixPeak() { return audio::TakeSumPeak(); }
}  // namespace headless

namespace audio {
namespace {

// Idle channels beyond this many are retired, least recently used first.
// A retired handle stays valid: cueing a sound on it brings it back.
constexpr size_t kIdleChannelLimit = 4096;

// AudioDrivers() lists at most this many (a machine with very many OpenAL
// devices).
constexpr size_t kMaxListedDrivers = 100;

// Channel settings that make sense; anything beyond is pulled in.
constexpr float kMaxVolume = 1000.0f;
constexpr float kMaxRate = 1000.0f;

struct DriverEntry {
  std::string name;
  std::function<std::unique_ptr<Driver>()> make;
};

struct State {
  bool registered = false;
  bool openAL = false;               // the back end registered for offers OpenAL
  std::vector<DriverEntry> drivers;  // in registration order (oldest first)
  int openALAnswer = -1;             // EnableOpenALAudio's answer once asked
  std::unique_ptr<Driver> driver;
  std::string driverName;
  std::unordered_map<int, std::unique_ptr<Channel>> channels;
  std::vector<Channel*> playing;
  Limiter limiter;       // on the software mixer's sum
  float sumPeak = 0;     // loudest sum before the limiter, since TakeSumPeak
  int nextHandle = 1;
  uint64_t useClock = 0;
};

// Never destroyed: SDL's audio thread may still mix while the process ends.
State& S() {
  static State* state = new State;
  return *state;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

void ResetAll();

// The built-in drivers, oldest first. OpenAL only where the back end offers
// it (the headless one never does, so that runs do not depend on the
// machine's sound devices) and a device opens.
void EnsureRegistered() {
  State& s = S();
  const bool openAL = ActiveBackend().OffersOpenAL();
  // A new back end of the other kind: start afresh, as AudioShutdown would.
  if (s.registered && s.openAL != openAL) ResetAll();
  if (s.registered) return;
  s.registered = true;
  s.openAL = openAL;
  s.drivers.push_back({"Null", [] { return CreateNullDriver(); }});
  s.drivers.push_back({"FreeMix System", [] { return CreateMixerDriver(2048); }});
  s.drivers.push_back({"FreeMix", [] { return CreateMixerDriver(512); }});
  if (openAL && OpenALAvailable()) s.drivers.push_back({"OpenAL", [] { return CreateOpenALDriver(""); }});
}

const DriverEntry* FindDriver(const std::string& name) {
  State& s = S();
  for (auto it = s.drivers.rbegin(); it != s.drivers.rend(); ++it) {
    if (SameName(it->name, name)) return &*it;
  }
  return nullptr;
}

// Stops every channel and the current driver.
void StopCurrentDriver() {
  std::unique_ptr<Driver> old;
  {
    std::lock_guard lock(AudioMutex());
    State& s = S();
    for (auto& [handle, ch] : s.channels) {
      if (s.driver) s.driver->Release(*ch);
      ch->state = Channel::Idle;
      ch->active = false;
      ch->sound.reset();
      ch->pos = 0;
    }
    s.playing.clear();
    old = std::move(s.driver);
    s.driverName.clear();
  }
  // Outside the lock: closing a device waits for its mixing thread, which
  // takes the lock.
  if (old) old->Stop();
}

void Install(std::unique_ptr<Driver> driver, const std::string& name) {
  std::lock_guard lock(AudioMutex());
  S().driver = std::move(driver);
  S().driverName = name;
  S().limiter = Limiter();  // a new output starts at full gain
}

int StartDriver(const std::string& name) {
  EnsureRegistered();
  StopCurrentDriver();
  if (const DriverEntry* entry = FindDriver(name)) {
    std::unique_ptr<Driver> driver = entry->make();
    bool started = false;
    if (driver) {
      QuietStderr quiet;
      started = driver->Start();
    }
    if (started) {
      Install(std::move(driver), entry->name);
      return 1;
    }
  }
  std::unique_ptr<Driver> silent = CreateNullDriver();
  silent->Start();
  Install(std::move(silent), "Null");
  return 0;
}

// The first sound starts the default driver when none runs.
void EnsureDriver() {
  EnsureRegistered();
  {
    std::lock_guard lock(AudioMutex());
    if (S().driver) return;
  }
  StartDriver("FreeMix");
}

// Brings the channel states up to date. Lock held.
void UpdateLocked() {
  State& s = S();
  if (s.driver) s.driver->Update(s.playing);
}

void Unplay(Channel& ch) {
  if (!ch.active) return;
  auto& playing = S().playing;
  auto it = std::find(playing.begin(), playing.end(), &ch);
  if (it != playing.end()) Unlist(playing, static_cast<size_t>(it - playing.begin()));
  ch.active = false;
}

void RetireIdleChannels() {
  State& s = S();
  if (s.channels.size() <= kIdleChannelLimit) return;
  std::vector<Channel*> idle;
  for (auto& [handle, ch] : s.channels) {
    if (ch->state == Channel::Idle) idle.push_back(ch.get());
  }
  // Down to three quarters, so that the sort is paid for rarely.
  size_t excess = s.channels.size() - kIdleChannelLimit * 3 / 4;
  if (excess > idle.size()) excess = idle.size();
  std::partial_sort(idle.begin(), idle.begin() + static_cast<std::ptrdiff_t>(excess), idle.end(),
                    [](const Channel* a, const Channel* b) { return a->lastUse < b->lastUse; });
  for (size_t i = 0; i < excess; ++i) {
    if (s.driver) s.driver->Release(*idle[i]);
    s.channels.erase(idle[i]->handle);
  }
}

Channel& NewChannelLocked(int handle) {
  State& s = S();
  auto ch = std::make_unique<Channel>();
  ch->handle = handle;
  ch->lastUse = ++s.useClock;
  Channel& ref = *ch;
  s.channels[handle] = std::move(ch);
  return ref;
}

Channel* FindLocked(int handle) {
  State& s = S();
  auto it = s.channels.find(handle);
  if (it == s.channels.end()) return nullptr;
  it->second->lastUse = ++s.useClock;
  return it->second.get();
}

float Finite(float v, float fallback) { return std::isnan(v) ? fallback : v; }

void ResetAll() {
  StopCurrentDriver();
  std::lock_guard lock(AudioMutex());
  State& s = S();
  s.channels.clear();
  s.drivers.clear();
  s.registered = false;
  s.openALAnswer = -1;
  s.nextHandle = 1;
  s.useClock = 0;
}

}  // namespace

std::mutex& AudioMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

void MixLocked(int16_t* out, int frames) {
  constexpr int kChunk = 1024;
  float acc[kChunk * kMixChannels];
  while (frames > 0) {
    int n = std::min(frames, kChunk);
    std::fill(acc, acc + n * kMixChannels, 0.0f);
    MixChannels(S().playing, acc, n);
    S().sumPeak = std::max(S().sumPeak, S().limiter.Apply(acc, n));
    ClipToS16(acc, out, static_cast<size_t>(n) * kMixChannels);
    out += n * kMixChannels;
    frames -= n;
  }
}

float TakeSumPeak() {
  std::lock_guard lock(AudioMutex());
  const float peak = S().sumPeak;
  S().sumPeak = 0;
  return peak;
}

}  // namespace audio

using audio::Channel;
using audio::S;

void AudioShutdown() { audio::ResetAll(); }

std::vector<std::string> AudioDrivers() {
  using audio::kMaxListedDrivers;
  audio::EnsureRegistered();
  std::vector<std::string> names;
  for (auto it = S().drivers.rbegin(); it != S().drivers.rend() && names.size() < kMaxListedDrivers; ++it)
    names.push_back(it->name);
  return names;
}

int AudioDriverExists(const std::string& name) {
  audio::EnsureRegistered();
  return audio::FindDriver(name) ? 1 : 0;
}

int SetAudioDriver(const std::string& name) { return audio::StartDriver(name); }

std::string CurrentAudioDriver() {
  std::lock_guard lock(audio::AudioMutex());
  return S().driverName;
}

int EnableOpenALAudio() {
  audio::EnsureRegistered();
  audio::State& s = S();
  if (s.openALAnswer >= 0) return s.openALAnswer;
  s.openALAnswer = 0;
  if (!s.openAL || !audio::OpenALAvailable()) return 0;
  for (const std::string& device : audio::OpenALDevices()) {
    s.drivers.push_back({"OpenAL " + device, [device] { return audio::CreateOpenALDriver(device); }});
  }
  s.drivers.push_back({"OpenAL Default", [] { return audio::CreateOpenALDriver(""); }});
  s.openALAnswer = 1;
  return 1;
}

int AllocChannel() {
  audio::EnsureDriver();
  std::lock_guard lock(audio::AudioMutex());
  audio::UpdateLocked();
  audio::RetireIdleChannels();
  return audio::NewChannelLocked(S().nextHandle++).handle;
}

int CueSound(const Sound& sound, int channel) {
  if (!sound || channel < 0) return 0;
  audio::EnsureDriver();
  std::lock_guard lock(audio::AudioMutex());
  audio::State& s = S();
  audio::UpdateLocked();
  if (channel >= s.nextHandle) return 0;  // never handed out
  Channel* ch = nullptr;
  if (channel == 0) {
    audio::RetireIdleChannels();
    ch = &audio::NewChannelLocked(s.nextHandle++);
  } else {
    ch = audio::FindLocked(channel);
    if (!ch) ch = &audio::NewChannelLocked(channel);  // a retired channel comes back
  }
  s.driver->Release(*ch);
  audio::Unplay(*ch);
  ch->sound = sound;
  ch->pos = 0;
  ch->state = Channel::Paused;
  if (!s.driver->Cue(*ch)) {
    ch->state = Channel::Idle;
    ch->sound.reset();
    return 0;
  }
  audio::JournalCall(ChannelCall::Cue, ch->handle, sound.get(), 0);
  return ch->handle;
}

int PlaySound(const Sound& sound, int channel) {
  int handle = CueSound(sound, channel);
  if (handle) ResumeChannel(handle);
  return handle;
}

void ResumeChannel(int channel) {
  std::lock_guard lock(audio::AudioMutex());
  audio::UpdateLocked();
  Channel* ch = audio::FindLocked(channel);
  if (!ch || ch->state != Channel::Paused || !S().driver) return;
  ch->state = Channel::Playing;
  audio::JournalCall(ChannelCall::Resume, channel, ch->sound.get(), 0);
  if (!ch->active) {
    ch->active = true;
    S().playing.push_back(ch);
  }
  S().driver->Resume(*ch);
}

void PauseChannel(int channel) {
  std::lock_guard lock(audio::AudioMutex());
  audio::UpdateLocked();
  Channel* ch = audio::FindLocked(channel);
  if (!ch || ch->state != Channel::Playing || !S().driver) return;
  ch->state = Channel::Paused;
  audio::Unplay(*ch);
  S().driver->Pause(*ch);
}

void StopChannel(int channel) {
  std::lock_guard lock(audio::AudioMutex());
  audio::UpdateLocked();
  Channel* ch = audio::FindLocked(channel);
  if (!ch) return;
  audio::JournalCall(ChannelCall::Stop, channel, ch->sound.get(), 0);
  if (S().driver) S().driver->Release(*ch);
  audio::Unplay(*ch);
  ch->state = Channel::Idle;
  ch->sound.reset();
  ch->pos = 0;
}

int ChannelPlaying(int channel) {
  std::lock_guard lock(audio::AudioMutex());
  audio::UpdateLocked();
  Channel* ch = audio::FindLocked(channel);
  return ch && ch->state != Channel::Idle ? 1 : 0;
}

void SetChannelVolume(int channel, float volume) {
  volume = std::clamp(audio::Finite(volume, 0.0f), 0.0f, audio::kMaxVolume);
  std::lock_guard lock(audio::AudioMutex());
  Channel* ch = audio::FindLocked(channel);
  if (!ch) return;
  ch->volume = volume;
  audio::JournalCall(ChannelCall::Volume, channel, ch->sound.get(), volume);
  if (S().driver) S().driver->Params(*ch);
}

void SetChannelPan(int channel, float pan) {
  pan = std::clamp(audio::Finite(pan, 0.0f), -1.0f, 1.0f);
  std::lock_guard lock(audio::AudioMutex());
  Channel* ch = audio::FindLocked(channel);
  if (!ch) return;
  ch->pan = pan;
  audio::JournalCall(ChannelCall::Pan, channel, ch->sound.get(), pan);
  if (S().driver) S().driver->Params(*ch);
}

void SetChannelRate(int channel, float rate) {
  rate = std::clamp(audio::Finite(rate, 0.0f), 0.0f, audio::kMaxRate);
  std::lock_guard lock(audio::AudioMutex());
  Channel* ch = audio::FindLocked(channel);
  if (!ch) return;
  ch->rate = rate;
  audio::JournalCall(ChannelCall::Rate, channel, ch->sound.get(), rate);
  if (S().driver) S().driver->Params(*ch);
}

bool AudioAudible() {
  std::lock_guard lock(audio::AudioMutex());
  return S().driver && S().driver->Audible();
}
