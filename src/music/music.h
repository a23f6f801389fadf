// Procedural music generator: songs composed at run time from a rule file
// ("music/<name>.ini") and a seed, played one row at a time on five voices
// from the end of frame.
//
// Voices: 0 drum kit A, 1 drum kit B, 2 bass, 3 lead, 4 accompaniment; voice
// v plays on Channel[v]. Rule-file sections: 0 DRUMS, 1 CHORDS, 2 BASS,
// 3 MELODY, 4 ACCOMPANY. 64 rows make a pattern; a section is a run of
// patterns that share one chord line (a chord letter per 16 rows).
#pragma once

#include <string>

#include "platform/platform.h"

// Samples: slot 10 * group + n (n 1..8); group 0 kit A, 1 kit B, 2 bass,
// 3 lead, 4 accompaniment. Other slots stay empty.
extern Sound Zumo_inst[50];
extern int Zumo_BeatAt;               // clock time the next row waits for
extern int Zumo_Tempo;                // milliseconds per row
extern std::string Zumo_Chord;        // the section's chord line
extern int Zumo_SongSeed;
extern int Zumo_Playing;              // 1 while a song plays
extern float Zumo_StereoSeperation;   // pan of the side voices
extern int Zumo_RowAt;                // row of the pattern, 0..63 (-1 before the first)
extern int Zumo_PatternAt;            // pattern within its section, from 1
extern int Zumo_SongAt;               // pattern within the song, from 0
extern float Zumo_Pattern[1300];      // voice v, row r at v * 70 + r
extern int Zumo_PatternUse[5];        // 1..3: sample of bass, lead, accompaniment
extern int Zumo_PatternHave[5];       // 1..3: highest sample number found
extern int Zumo_Mute[20];             // per voice: 1 silent for the section
extern int Zumo_MuteAhead[20];        // per voice: drawn for the next section
extern int Zumo_MuteAheadGo[20];      // per voice: early entry, 1 (16 rows) or 2 (8 rows)
extern std::string Zumo_DrumloopA, Zumo_DrumloopB, Zumo_BassBeat, Zumo_MelodyBeat, Zumo_MelodyBeatB;
extern std::string Zumo_Set[5000];    // rule lines: section S, line k (1..998) at S * 1000 + k
extern int Zumo_Many[5];              // lines counted per section
extern int Zumo_Stretch[5];           // stretch rule per section: -1 none, 0, 1, 2, -2

// Loads the samples from "music/" (every display open). Returns 0.
int Zumo_Load();
// Ends the song and stops the generator's channels (slots 0..19). Returns 0.
int Zumo_Stop();
// Sets the stereo width of the side voices. Returns 0.
int Zumo_Pan(float width);
// The pitch ratio of a note character; 0 for a rest or no note.
float Zumo_NoteVal(const std::string& key);
// Reads "music/<name>.ini" and starts a song from `seed` (-1: the clock);
// `tempo` is twice the row time in ms. Without a readable file no song
// starts. Returns 0.
int Zumo_NewSong(const std::string& name, int seed, int tempo);
// The line pickers: one line of a section, drawn from the song position and
// the salt, stretched by the section's rule (the chords never are). A
// section without stored lines gives the empty line.
std::string Zumo_DrumLoop(int salt);
std::string Zumo_Chords(int salt);
std::string Zumo_BassRhythm(int salt);
std::string Zumo_MelodyTune(int salt, int unused);
std::string Zumo_AccompanyTune(int salt);
// Composes the next 64-row pattern, starting a section when one is due.
int Zumo_NextPattern();
// Plays the next row when its time has come. Returns 0.
int Zumo_Play();

// The songs of the title screen and the tempo each plays at (Zumo_NewSong's
// tempo: twice the row time in ms).
struct TitleSong {
  const char* name;
  int tempo;
};
extern const TitleSong kTitleSongs[3];
// The song that the title screen plays for a seed: the seed's remainder by 3.
const TitleSong& TitleSongFor(int seed);
// Starts a song as the title screen plays it: at its tempo, from `seed`.
// A name that is none of the title's songs starts nothing. Returns 0.
int StartTitleSong(const TitleSong& song, int seed);
int StartTitleSong(const std::string& name, int seed);

// Every table back to its start-up value (the samples are dropped).
void ResetMusicTables();
// Registers the tables with the start-up and the playback tick with the end
// of frame.
void InstallMusic();
