// Gameplay: the game's record types and lists, its asset loading and one
// complete game.
#pragma once

#include "platform/platform.h"

// One background star of the play field.
struct rs {
  float x = 0, y = 0, xs = 0, ys = 0, size = 0, rot = 0, rotgo = 0;
  int dark = 0;
  int Compare(const rs&) const { return 1; }
};

// One expanding, fading puff.
struct poof {
  float x = 0, y = 0, s = 0, alp = 0;
  int r = 0, g = 0, b = 0;
  int Compare(const poof&) const { return 1; }
};

// One drifting seed (t 0) or bonus flower (t 2).
struct lion {
  float x = 0, y = 0, xs = 0, ys = 0, rot = 0, rotgo = 0;
  int held = 0, t = 0;
  int Compare(const lion&) const { return 1; }
};

extern TList<rs> stars;
extern TList<poof> shapoofs;
extern TList<lion> dandys;

extern int score;         // running score of the current game

extern float SmAng[100];   // aim history (degrees), elements 0..10 used
extern float SmDist[100];  // aim distance history, elements 0..10 used
extern int MyBest[31];     // per-game best values, 1..30
extern int GameMode;       // 0 Easy, 1 Medium, 2 Hard
extern int GameLevel;
extern int GameFlags;

// Back to the start values (GameMode 1, everything else 0).
void ResetGameTables();
// Registers the game with the engine: its tables at start-up, its assets
// at every display opening, and the score that pop-ups pay into.
void InstallGame();

// Loads the game's own assets after the display is open: the engine test
// first, then the music generator's samples, then images and the tune.
int LoadGame();
// One complete game.
int PlayGame();
