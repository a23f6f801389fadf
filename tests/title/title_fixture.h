// Shared start of the title screen's tests: the headless back end and every
// table fresh, with the game and the title screen registered as at start-up.
#pragma once

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "scores/scores.h"
#include "online/online.h"
#include "title/graph.h"
#include "title/options.h"
#include "title/title.h"

#include <memory>
#include <string>
#include <vector>

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

// A local game of the difficulty on show.
inline std::shared_ptr<Scores> Entry(const std::string& name, int64_t score, int64_t stamp) {
  auto r = std::make_shared<Scores>();
  r->Name = name;
  r->Score = score;
  r->Timestamp = stamp;
  r->GameMode = GameMode;
  return r;
}

// The title screen at start on a display of w x h, the headless back end
// offering `modes`, with the game's assets loaded and no scores; answers
// the folder the test was in, for LeaveTitle.
inline std::string TitleAtSize(int w, int h, const std::vector<GraphicsMode>& modes) {
  FreshTitleTables();
  std::string here = CurrentDir();
  CommonDir = PIBBO_RUN_DIR "/Files/Common";
  GameDir = PIBBO_RUN_DIR "/Files/260";
  FirstRun = 1;
  headless::SetModes(modes);
  Options[kOptWidth] = w;
  Options[kOptHeight] = h;
  ChangeRes();
  Highscores.Clear();
  AltScores.Clear();
  TitleAtStart();
  PauseHook = nullptr;
  return here;
}

// Back from TitleAtSize: no scores, no row held, the first tab, the folder
// the test was in, and the back end shut.
inline void LeaveTitle(const std::string& here) {
  Highscores.Clear();
  AltScores.Clear();
  drawscore.reset();
  HoldMe = 0;
  TitleTab = 0;
  ChangeDir(here);
  GameDir.clear();
  CommonDir.clear();
  ClearEngineEvents();
  PlatformShutdown();
}

}  // namespace title_test
