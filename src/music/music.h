// Procedural music generator: state tables, sample loading and the per-frame
// playback tick.
#pragma once

#include <string>

#include "platform/platform.h"

extern Sound Zumo_inst[50];        // samples: slot 10 * group + n (n 1..8)
extern float Zumo_Pattern[1300];   // voice v, row r at v * 70 + r
extern int Zumo_PatternUse[5];     // 1..3: sample in use by bass, lead, accompaniment
extern int Zumo_PatternHave[5];    // 1..3: highest sample number found
extern int Zumo_Mute[20];
extern int Zumo_MuteAhead[20];
extern int Zumo_MuteAheadGo[20];
extern std::string Zumo_Set[5000];  // rule lines: section S, line k at S * 1000 + k
extern int Zumo_Many[5];
extern int Zumo_Stretch[5];
extern int Zumo_Playing;            // 1 while a song plays

// Loads the instrument samples from "music/". Returns 0.
int Zumo_Load();
// Advances the song by one row when its beat time has come. Returns 0.
int Zumo_Play();
// Registers the playback tick with the end of frame.
void InstallMusic();
