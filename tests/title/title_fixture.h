// Shared start of the title screen's tests: the headless back end and every
// table fresh, with the game and the title screen registered as at start-up.
#pragma once

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "platform/platform.h"
#include "scores/scores.h"
#include "online/online.h"
#include "title/options.h"
#include "title/title.h"

namespace title_test {

inline void FreshTitleTables() {
  PlatformInit(BackendKind::Headless);
  ClearEngineEvents();
  CreateStartupTables();
  SetDefaults();
  ResetScoreTables();
  ResetGameTables();
  InstallGame();
  InstallTitle();
  RaiseEngineEvent(EngineEvent::TablesCreated);
}

// The title screen as the start-up leaves it: full volumes but the music,
// played with the mouse, Medium chosen, the settings panel shut.
inline void TitleAtStart() {
  Options[kOptMaster] = Options[kOptSound] = 100;
  Options[kOptMusic] = 0;
  UseFPS = 60;
  LChan = 20;
  MouseInput = 1;
  InGame = 0;
  GameMode = 1;
  optin = -300;
  OptionScreen = 0;
  intextedit = 0;
}

}  // namespace title_test
