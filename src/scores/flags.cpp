// Bit flags (flag n is bit n-1) and badges.
#include <string>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "scores/scores.h"

int GetFlag(int value, int n) {
  if (n < 1 || n > 32) return 0;
  return (static_cast<uint32_t>(value) >> (n - 1)) & 1u ? 1 : 0;
}

int SetFlag(int value, int n, int on) {
  constexpr int kKeep = 0x3FFFFFFF;  // a written word holds flags 1..30 only
  if (n < 1 || n > 30) return value & kKeep;
  const int bit = 1 << (n - 1);
  return (value & (kKeep - bit)) + (on ? bit : 0);
}

int GiveBadge(int n) {
  if (n < 1 || n > 16) return 0;
  Mybadges = SetFlag(Mybadges, n, 1);
  // Titles are held for 0..15; badge 16 has none.
  const std::string title = n < 16 ? BadgeT[n] : std::string();
  AddComment(title + " : " + std::to_string(n), 1);

  LChan += 1;
  if (LChan >= 256) LChan = 20;
  const int s = LChan;
  if (Channel[s] != 0 && ChannelPlaying(Channel[s])) {
    StopChannel(Channel[s]);
    Channel[s] = 0;
  }
  if (!BadgeGet) return 0;  // no jingle loaded: the badge is still given
  if (Channel[s] == 0) Channel[s] = AllocChannel();
  if (Channel[s] == 0) return 0;
  Channel[s] = CueSound(BadgeGet, Channel[s]);
  if (Channel[s] == 0) return 0;
  const float volume = static_cast<float>(Options[kOptSound] * Options[kOptMaster]) / 100.0f / 100.0f;
  SetChannelVolume(Channel[s], volume);
  ChannelVol[s] = volume;
  SetChannelPan(Channel[s], 0.0f);
  SetChannelRate(Channel[s], 1.0f);
  ResumeChannel(Channel[s]);
  return 0;
}
