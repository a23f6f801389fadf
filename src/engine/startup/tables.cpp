// The global tables of the start-up and their defaults.
#include <algorithm>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"

std::string MakeGameName(int week, const std::string& shortTitle, const std::string& longTitle) {
  std::string name = "#";
  name += std::to_string(week);
  name += " : ";
  name += shortTitle;
  name += " ";
  name += longTitle;
  return name;
}

std::string GameFolder() { return Right("000" + std::to_string(GameWeek), 3) + "/"; }

void DiscoverJoysticks() {
  StickCount = std::min(JoyCount(), 4);
  if (StickCount < 0) StickCount = 0;
  for (int n = 1; n <= StickCount; n++) {
    int port = n - 1;
    // Number of buttons: up to the highest button the pad reports, so a pad
    // with gaps in its numbering still has every button scanned.
    unsigned caps = static_cast<unsigned>(JoyButtonCaps(port));
    int buttons = 0;
    for (int b = 0; b < 32; b++) {
      if (caps & (1u << b)) buttons = b + 1;
    }
    StickBut[n] = buttons;
    Stick[n] = JoyName(port);
    StickX[n] = JoyX(port);
    StickY[n] = JoyY(port);
    StickZ[n] = JoyZ(port);
    StickU[n] = JoyU(port);
    StickV[n] = JoyV(port);
    StickR[n] = JoyR(port);
    StickOn[n] = 1;
    float hat = JoyHat(port);
    // A reading that is not a number counts as centred too.
    if (!(hat < -1.0f || hat > -1.0f)) StickHat[n] = 1;
  }
}

void CreateStartupTables() {
  std::fill(std::begin(Options), std::end(Options), 0);
  std::fill(std::begin(ResolutionW), std::end(ResolutionW), 0);
  std::fill(std::begin(ResolutionH), std::end(ResolutionH), 0);
  MostResses = 0;
  for (auto& f : Fonts) f.reset();
  for (auto& f : Fontb) f.reset();
  for (auto& s : Stick) s.clear();
  std::fill(std::begin(StickBut), std::end(StickBut), 0);
  for (float* t : {StickX, StickY, StickZ, StickU, StickV, StickR}) std::fill(t, t + 5, 0.0f);
  std::fill(std::begin(StickHat), std::end(StickHat), 0);
  std::fill(std::begin(StickOn), std::end(StickOn), 0);
  StickCount = 0;
  DiscoverJoysticks();
  comments.Clear();
  scoreget.Clear();
}

void SetDefaults() {
  ScoreServer.clear();
  std::fill(std::begin(KeyV), std::end(KeyV), 0);
  KeyV[0] = KEY_UP;
  KeyV[8] = KEY_DOWN;
  KeyV[3] = KEY_LEFT;
  KeyV[5] = KEY_RIGHT;
  KeyV[10] = 'Z';
  KeyV[11] = 'X';
  KeyV[12] = 'C';
  KeyV[13] = 'V';
  Options[kOptWidth] = 800;
  Options[kOptHeight] = 600;
  Options[kOptFullscreen] = 0;
  Options[kOptFrameSkip] = 0;
  Options[kOptMaster] = 50;
  Options[kOptSound] = 50;
  Options[kOptMusic] = 50;
  std::fill(std::begin(Channel), std::end(Channel), 0);
  std::fill(std::begin(ChannelVol), std::end(ChannelVol), 0.0f);
  for (auto& s : sfx) s.reset();
}
