#include "music/music.h"

#include "engine/frame/hooks.h"

Sound Zumo_inst[50];
float Zumo_Pattern[1300];
int Zumo_PatternUse[5];
int Zumo_PatternHave[5];
int Zumo_Mute[20];
int Zumo_MuteAhead[20];
int Zumo_MuteAheadGo[20];
std::string Zumo_Set[5000];
int Zumo_Many[5];
int Zumo_Stretch[5];
int Zumo_Playing = 0;

int Zumo_Load() {
  static const char* const kGroups[5] = {"music/d1-", "music/d2-", "music/bass", "music/lead",
                                         "music/accompany"};
  for (int g = 0; g < 5; g++) {
    for (int n = 1; n <= 8; n++) {
      std::string path = std::string(kGroups[g]) + std::to_string(n) + ".wav";
      if (g >= 2) {
        if (FileType(path) == 0) continue;
        Zumo_PatternHave[g - 1] = n;
      }
      Zumo_inst[10 * g + n] = LoadSound(path, 0);
    }
  }
  return 0;
}

int Zumo_Play() {
  // No song is started in this game, so there is never a row to play.
  return 0;
}

void InstallMusic() { MusicTickHook = Zumo_Play; }
