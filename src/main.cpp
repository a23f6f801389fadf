// The program: each subsystem registers what the engine is to call of it,
// then the start-up, then the title screen, which the player leaves through
// the closing sequence.
#include "engine/startup/startup.h"
#include "game/game.h"
#include "music/music.h"
#include "online/online.h"
#include "scores/scores.h"
#include "title/title.h"

int main() {
  InstallScoreKeeping();
  InstallMusic();
  InstallGame();
  InstallOnline();
  InstallTitle();
  if (const int failed = StartUp()) return failed;
  StartTitle();
  return 0;
}
