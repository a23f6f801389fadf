// Sound effects on a ring of channel slots, and the game's music channel.
#include "engine/frame/frame.h"
#include "engine/startup/startup.h"

int PlaySFX(int index, float rate, float volume, float pan) {
  if (Options[kOptSound] <= 0 || index < 1 || index > 200 || !sfx[index]) return 0;
  LChan += 1;
  if (LChan >= 256) LChan = 20;
  volume = LimitF(volume, 0.0f, 1.0f);
  rate = LimitF(rate, 0.25f, 4.0f);
  pan = LimitF(pan, -1.0f, 1.0f);
  int& slot = Channel[LChan];
  if (slot != 0 && ChannelPlaying(slot)) {
    StopChannel(slot);
    slot = 0;
  }
  if (slot == 0) slot = AllocChannel();
  if (slot == 0) return 0;
  if (CueSound(sfx[index], slot) == 0) return 0;
  const float level = static_cast<float>(Options[kOptSound] * Options[kOptMaster]) / 100.0f / 100.0f * volume;
  ChannelVol[LChan] = volume;
  SetChannelVolume(slot, level);
  SetChannelPan(slot, pan);
  SetChannelRate(slot, rate);
  ResumeChannel(slot);
  return 0;
}

int PlayMusic(const Sound& sound) {
  if (Options[kOptMusic] <= 0) return 0;
  if (MusicChannel != 0) {
    StopChannel(MusicChannel);
    MusicChannel = 0;
  }
  const int channel = AllocChannel();
  if (channel == 0) return 0;
  if (CueSound(sound, channel) == 0) {
    // Nothing to play: the channel goes back rather than lingering unused.
    StopChannel(channel);
    return 0;
  }
  MusicChannel = channel;
  SetChannelVolume(channel, static_cast<float>(Options[kOptMusic] * Options[kOptMaster]) / 100.0f / 100.0f);
  ResumeChannel(channel);
  DebugLog(std::to_string(channel));
  return 0;
}
