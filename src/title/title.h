// Title screen: the title loop that follows the start-up.
#pragma once

extern int TitleTab;  // 0 Hiscore, 1 Online, 2 About
extern int SlideIn;   // slide-in counter of the side panel, 0..32

// Runs the title screen frame after frame until the player quits with
// Escape, which ends the program through Finish.
void TitleLoop();
