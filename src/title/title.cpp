// Title screen stand-in: the backdrop of the selected tab with the game's
// logo, frame after frame; a left click plays a game, Escape ends the
// program through Finish.
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

bool TitleFrame() {
  CLS3d(1);
  ResetDraw();
  switch (TitleTab) {
    case 1: AimGradR = 0; AimGradG = 1; AimGradB = 0.2f; break;
    case 2: AimGradR = 0; AimGradG = 0.2f; AimGradB = 1; break;
    default: AimGradR = 1; AimGradG = 0; AimGradB = 0.2f; break;
  }
  AddGradient();
  if (SlideIn < 32) SlideIn++;
  ResetDraw();
  if (gamelogo) DrawImage(gamelogo, static_cast<float>(JScrw / 2), static_cast<float>(JScrh / 3), 0);
  UseFont(1, 5);
  SetCol(255, 255, 180, 1);
  Text(JScrw / 2, JScrh * 2 / 3, "Click Here to Start", 1, 1);
  ResetDraw();
  const bool start = ButtonPressed(1);
  fps(UseFPS, 1, 1);
  if (KeyPressed(KEY_ESCAPE)) Finish();
  return start;
}

void TitleLoop() {
  for (;;) {
    if (TitleFrame()) {
      PlaySFX(98, 1.0f, 1.0f, 0.0f);
      InGame = 1;
      GameStart = MilliSecs();
      PlayGame();
      InGame = 0;
      SlideIn = 0;
    }
  }
}
