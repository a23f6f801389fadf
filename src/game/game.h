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
extern float scrx, scry;  // camera offset of the score pop-ups (stay 0)

// Loads the game's own assets after the display is open: the engine test
// first, then the music generator's samples, then images and the tune.
int LoadGame();
// One complete game.
int PlayGame();
