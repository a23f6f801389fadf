// Title screen: the title loop that follows the start-up.
#pragma once

#include <string>

extern int TitleTab;  // 0 Hiscore, 1 Online, 2 About
extern int SlideIn;   // slide-in counter of the side panel, 0..32

extern std::string MOTD[20];     // message of the day, lines 1..motds
extern int motds;
extern std::string Credit[100];  // About text, lines 1..credits-1
extern int credits;

// Empties the message of the day and the About text.
void ResetTitleTables();
// Registers the settings panel and the pause screen with the end of frame,
// and the title's tables with the start-up.
void InstallTitle();
// The title screen after the start-up: Hiscore tab, Medium preselected.
[[noreturn]] void StartTitle();
// One frame of the title screen, ended by fps; true when the player asked
// for a game.
bool TitleFrame();
// Runs the title screen frame after frame until the player quits with
// Escape, which ends the program through Finish.
[[noreturn]] void TitleLoop();
