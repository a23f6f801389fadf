// Title screen stand-in: the backdrop of the selected tab, frame after
// frame, until Escape ends the program through Finish.
#include "title/title.h"

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "title/options.h"

int TitleTab = 0;
int SlideIn = 0;
std::string MOTD[20];
int motds = 0;
std::string Credit[100];
int credits = 1;

void ResetTitleTables() {
  for (auto& line : MOTD) line.clear();
  motds = 0;
  for (auto& line : Credit) line.clear();
  credits = 1;
}

void InstallTitle() {
  OnEngineEvent(EngineEvent::TablesCreated, ResetTitleTables);
  SettingsPanelHook = Option;
  PauseHook = PauseMe;
}

void StartTitle() {
  TitleTab = 0;
  GameMode = 1;
  SlideIn = 0;
  TitleLoop();
}

void TitleLoop() {
  for (;;) {
    CLS3d(1);
    ResetDraw();
    switch (TitleTab) {
      case 1: AimGradR = 0; AimGradG = 1; AimGradB = 0.2f; break;
      case 2: AimGradR = 0; AimGradG = 0.2f; AimGradB = 1; break;
      default: AimGradR = 1; AimGradG = 0; AimGradB = 0.2f; break;
    }
    AddGradient();
    if (SlideIn < 32) SlideIn++;
    fps(UseFPS, 1, 1);
    if (KeyPressed(KEY_ESCAPE)) Finish();
  }
}
