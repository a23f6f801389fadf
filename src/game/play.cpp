// One complete game: the deal, the frame loop, the banner and the record.
#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "scores/scores.h"

int PlayFrame() {
  FrameOpening();
  StarField();
  AimAndFire();
  LaunchAndPreview();
  FlightStep();
  GroundAndHero();
  SeedsAndFlowers();
  PuffStep();
  WallsAndHud();
  if (fps(UseFPS, 0, MouseInput) == 99) play.endFlag = 99;
  return play.endFlag;
}

std::shared_ptr<Scores> GameRecord() {
  auto record = std::make_shared<Scores>();
  record->Score = score;
  record->Badges = Mybadges;
  for (int k = 1; k <= 30; ++k) record->Best[k] = MyBest[k];
  record->Level = GameLevel;
  record->GameMode = GameMode;
  record->GameFlags = GameFlags;
  // A game not ended by its last landing was quit.
  record->Quit = play.endFlag == 1 ? 0 : 1;
  return record;
}

void EndGame() {
  // The music glides down to half speed and stops after a second and a half.
  for (int n = 1; n <= 500; ++n) {
    if (MusicChannel != 0 && ChannelPlaying(MusicChannel)) SetChannelRate(MusicChannel, play.musicRate);
    play.musicRate -= 0.0025f;
    if (!(play.musicRate >= 0.5f)) play.musicRate = 0.5f;
    Delay(3);
  }
  if (MusicChannel != 0 && ChannelPlaying(MusicChannel)) {
    StopChannel(MusicChannel);
    MusicChannel = 0;
  }
  InGame = 0;

  // The record exists before the name is asked for, so that a close
  // request during the name entry still files it (InstallGame).
  auto record = GameRecord();
  PendingRecord = record;
  play.inProgress = false;

  GetPlayerName();

  PendingRecord.reset();
  High = record;
  High->Timestamp = Timestamp("");
  High->Name = MyName;
  ListAddLast(Highscores, High);
  SortList(Highscores);
}

int PlayGame() {
  StartGame();
  play.inProgress = true;
  while (PlayFrame() == 0) {
  }
  GameOverBanner();
  EndGame();
  return 0;
}
