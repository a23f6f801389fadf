// Shared start of the title screen's tests: the headless back end and every
// table fresh, with the game and the title screen registered as at start-up.
#pragma once

#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "platform/platform.h"
#include "scores/scores.h"
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

}  // namespace title_test
