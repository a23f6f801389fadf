// Score screens of the side panel: the history graph, the ranked table and
// the details of one entry, for one selection (difficulty, level, flags).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/platform.h"

struct Scores;

extern std::shared_ptr<Scores> drawscore;   // the entry whose details are shown
extern int HoldMe;   // pin: 0 none, n the n-th newest entry's column, 1000 + k table row k
extern int fscroll;  // graph scroll, 0..1000 in steps of 8 (older entries come into view)

// The score screen of `list` for the selection (mode, level, flags) in the
// panel at x0, width wide. Every call rebuilds HighTable (the 25 best, best
// first, the newer of two equal scores first) and, for mode >= 0 and a
// selection with entries, ThisIsHigh (cleared when it has none). With draw
// not 0 it also draws the graph, the table and the detail panel, follows
// the pointer, and removes entries of the selection beyond its 50 newest
// that are not among its 25 best. Answers the best score, 0 when empty.
int64_t ScoreScreen(TList<Scores>& list, int x0, int width, int mode, int level, int flags, int draw);

// The local score screen: ScoreScreen over Highscores.
int64_t Graph(int x0, int width, int mode, int level, int flags, int draw);
