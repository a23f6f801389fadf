#include "game/game.h"

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "music/music.h"

TList<rs> stars;
TList<poof> shapoofs;
TList<lion> dandys;

int score = 0;

float SmAng[100];
float SmDist[100];
int MyBest[31];
int GameMode = 1;
int GameLevel = 0;
int GameFlags = 0;

void ResetGameTables() {
  std::fill(std::begin(SmAng), std::end(SmAng), 0.0f);
  std::fill(std::begin(SmDist), std::end(SmDist), 0.0f);
  std::fill(std::begin(MyBest), std::end(MyBest), 0);
  GameMode = 1;
  GameLevel = 0;
  GameFlags = 0;
  score = 0;
}

void InstallGame() {
  OnEngineEvent(EngineEvent::TablesCreated, ResetGameTables);
  OnEngineEvent(EngineEvent::AssetsLoaded, [] { LoadGame(); });
  ScorePaidHook = [](int points) { score += points; };
}

int LoadGame() {
  AimFor(60, 2);
  Zumo_Load();
  return 0;
}

int PlayGame() {
  // The game itself is not built yet: a game ends at once.
  return 0;
}
