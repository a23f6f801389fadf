// The game's globals, its registration with the engine and its assets.
#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "music/music.h"
#include "scores/scores.h"

TList<rs> stars;
TList<poof> shapoofs;
TList<lion> dandys;
std::shared_ptr<rs> sta;
std::shared_ptr<lion> dand;
std::shared_ptr<poof> sha;

float px = 0, py = 0, pd = 0, pa = 0;
int hops = 0;
int landings = 0;
int64_t score = 0;
int u = 0;

float SmAng[100];
float SmDist[100];
int MyBest[31];
int GameMode = 1;
int GameLevel = 0;
int GameFlags = 0;

PlayState play;

Image gamelogo, pibbo, chute, flower, astar, poofy;
Sound tune;

std::shared_ptr<Scores> PendingRecord;

void ResetGameTables() {
  std::fill(std::begin(SmAng), std::end(SmAng), 0.0f);
  std::fill(std::begin(SmDist), std::end(SmDist), 0.0f);
  std::fill(std::begin(MyBest), std::end(MyBest), 0);
  GameMode = 1;
  GameLevel = 0;
  GameFlags = 0;
  score = 0;
  px = py = pd = pa = 0;
  hops = landings = u = 0;
  play = PlayState{};
  stars.Clear();
  dandys.Clear();
  shapoofs.Clear();
  sta.reset();
  dand.reset();
  sha.reset();
  PendingRecord.reset();
}

namespace {

// A close request while the name of a finished game is being typed: the
// game is filed with the name as far as it was typed. One in the middle of
// a game (a close request, a signal, the end of the window) files the game
// as a quit game, under the last name used.
void FilePendingRecord() {
  if (!PendingRecord && play.inProgress) {
    PendingRecord = GameRecord();
    play.inProgress = false;
  }
  if (!PendingRecord) return;
  MyName = CleanPlayerName(MyName);
  PendingRecord->Name = MyName;
  PendingRecord->Timestamp = Timestamp("");
  Highscores.AddLast(PendingRecord);
  SortList(Highscores);
  PendingRecord.reset();
}

}  // namespace

void InstallGame() {
  OnEngineEvent(EngineEvent::TablesCreated, ResetGameTables);
  OnEngineEvent(EngineEvent::AssetsLoaded, [] { LoadGame(); });
  OnEngineEvent(EngineEvent::Finishing, FilePendingRecord);
  ScorePaidHook = [](int64_t points) { score += points; };
}

int LoadGame() {
  AimFor(60, 2);
  Zumo_Load();
  gamelogo = LoadImage("logo.png", MASKEDIMAGE | FILTEREDIMAGE);
  pibbo = LoadImage("pibbo.png", MASKEDIMAGE | FILTEREDIMAGE);
  chute = LoadImage("pollen.png", MASKEDIMAGE | FILTEREDIMAGE);
  flower = LoadImage("flower.png", MASKEDIMAGE | FILTEREDIMAGE);
  tune = LoadSound("tune.ogg", 0);
  astar = LoadImage("star.png", MASKEDIMAGE | FILTEREDIMAGE);
  poofy = LoadImage("poof.png", MASKEDIMAGE | FILTEREDIMAGE);
  return 0;
}
