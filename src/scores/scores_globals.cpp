// Globals of score keeping, defined once here.
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "scores/scores.h"

std::shared_ptr<Scores> High;

std::string GameUniqueKey;
std::string RegKey = "7QM2RT8B";
// Never change this text: the score lines of every existing "nuscores.dat"
// are scrambled with the key derived from it.
const std::string GameKey = "Keep Pibbo parachuting for as long as you can.";

// "^)+=" section-sign "!Q58kW3&": 13 characters, the section sign as its
// Latin-1 byte.
const std::string ScoreLineToken = "^)+=\xA7!Q58kW3&";

std::string MyName = "Player";

int Mybadges = 0;
std::string BadgeT[16];

std::shared_ptr<Scores> HighTable[50];
std::shared_ptr<Scores> ThisIsHigh;
TList<Scores> Highscores;
TList<Scores> AltScores;
std::string RegName;
std::string RegPass;
int ScoresLoaded = 0;

void ResetScoreTables() {
  for (auto& h : HighTable) h.reset();
  ThisIsHigh.reset();
  Highscores.Clear();
  AltScores.Clear();
  RegName.clear();
  RegPass.clear();
  ScoresLoaded = 0;
  for (auto& s : BadgeT) s.clear();
}

void InstallScoreKeeping() {
  OnEngineEvent(EngineEvent::TablesCreated, [] {
    ResetScoreTables();
    GetUniqueKey();
  });
  // Read on the first opening only (LoadScores keeps count), from the
  // per-game folder; without it from "Files/", and without that only the
  // spare file in the data folder is used.
  OnEngineEvent(EngineEvent::AssetsLoaded, [] {
    if (EnterScoreFolder()) LoadScores();
  });
  OnEngineEvent(EngineEvent::Closing, [] {
    if (EnterScoreFolder()) SaveScores();
  });
}

int ScoreFolderUsed = kScoresInGameFolder;

bool EnterScoreFolder() {
  if (!GameDir.empty()) {
    ScoreFolderUsed = kScoresInGameFolder;
    return ChangeDir(GameDir) != 0;
  }
  if (!FilesDir.empty()) {
    ScoreFolderUsed = kScoresInFilesFolder;
    return ChangeDir(FilesDir) != 0;
  }
  ScoreFolderUsed = kScoresNowhere;
  return ChangeDir(AppDir()) != 0;
}
