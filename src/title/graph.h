// Score screens of the side panel: the local table of one selection.
#pragma once

#include <memory>

struct Scores;

extern std::shared_ptr<Scores> ThisIsHigh;  // best entry of the selected local table
extern std::shared_ptr<Scores> drawscore;   // the entry whose details are shown
extern int HoldMe;                          // pinned entry: 0 none
extern int fscroll;                         // graph scroll, 0..1000

// The local score screen of the table (mode, level, flags) in the panel at
// x0, width wide. Rebuilds HighTable (the 25 best, best first, the newer of
// two equal scores first) and, for mode >= 0, ThisIsHigh; draws only when
// draw is not 0. Answers the best score of the table, 0 when it is empty.
int Graph(int x0, int width, int mode, int level, int flags, int draw);
