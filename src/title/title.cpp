// The title loop: its state, its passes and its end.
#include "title/title.h"

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "music/music.h"
#include "online/online.h"
#include "scores/scores.h"
#include "title/graph.h"
#include "title/options.h"

int TitleTab = 0;
int TitleSongAsked = 0;
int SlideIn = 0;
int PanelW = 335;
int PanelX = 0;
int ClickLatch = 0;
int StartLatch = 0;
int EscapeLatch = 0;
int StartHeld = 0;
int TitleQuit = 0;
std::string Credit[100];
int credits = 1;

void ResetTitleTables() {
  ResetOnlineTables();
  for (auto& line : Credit) line.clear();
  credits = 1;
  StoreAboutText();
  TitleTab = SlideIn = 0;
  ClickLatch = StartLatch = EscapeLatch = StartHeld = TitleQuit = 0;
  TitleSongAsked = 0;
  ThisIsHigh.reset();
  drawscore.reset();
  HoldMe = fscroll = 0;
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
  while (TitlePass() != 1) {
  }
  Finish();
}

int TitlePass() {
  TitleMusic();
  TitleHead();
  SidePanel();
  HiscoreView();
  OnlineView(PanelX, PanelW, TitleTab == 1 ? 1 : 0);
  if (LoggedIn == 1) {
    ScoreScreen(AltScores, PanelX, PanelW, -(GameMode + 1), GameLevel, GameFlags, TitleTab == 1 ? 1 : 0);
  }
  OnlineTableClear();
  AboutView();
  SettingsHint();
  StartPrompt();
  DifficultyList();
  TitleLoopEnd();
  return TitleQuit;
}

void TitleMusic() {
  if (TitleSongAsked || Zumo_Playing) return;
  TitleSongAsked = 1;
  const int seed = MilliSecs();
  StartTitleSong(TitleSongFor(seed), seed);
}

// ---------------------------------------------------------------------------
// Head and account filter
// ---------------------------------------------------------------------------
void TitleHead() {
  CLS3d(1);
  ResetDraw();
  AddGradient();
  // The whole account filter, before anything of the pass reads the fields.
  AccountCharFilter();
}

// ---------------------------------------------------------------------------
// Hiscore view, logo, end of frame and Escape
// ---------------------------------------------------------------------------
void HiscoreView() {
  SetCol(255, 255, 255, 1);
  Graph(PanelX, PanelW, GameMode, GameLevel, GameFlags, TitleTab == 0 ? 1 : 0);
  SetCol(255, 255, 255, 1);
  UseFont(1, 7);
  if (TitleTab == 0) {
    AimGradR = 1;
    AimGradG = 0;
    AimGradB = 0.2f;
    Text(PanelX + PanelW / 2, 50, "Hiscores", 1, 0);
  }
}

void TitleLoopEnd() {
  SetImageFont(Fonts[5]);
  SetCol(255, 255, 255, 1);
  if (gamelogo) {
    const int x = (JScrw - PanelW) / 2;
    const int y = JScrh / 2 - ImageHeight(gamelogo) / 2 + 800 - 25 * SlideIn;
    DrawImage(gamelogo, static_cast<float>(x), static_cast<float>(y), 0);
  }
  fps(UseFPS, 1, 1);
  if (!KeyDown(KEY_ESCAPE)) EscapeLatch = 0;
  if (EscapeLatch == 0 && KeyDown(KEY_ESCAPE)) TitleQuit = 1;
}
