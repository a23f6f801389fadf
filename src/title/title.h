// Title screen: the title loop that follows the start-up.
//
// One pass of the loop draws one frame, in this order: the title's song
// (asked for once per visit), the head (clear, backdrop, account filter),
// the side panel and its tab bar, the Hiscore view, the Online view and,
// once logged in, the online score screen and the table clear, the About
// view, the settings hint, the start prompt (a start plays a whole game
// inside the pass), the difficulty list, the logo, the end of frame and the
// Escape test.
#pragma once

#include <string>

// ---------------------------------------------------------------------------
// State of the title loop, kept from pass to pass
// ---------------------------------------------------------------------------
extern int TitleTab;     // 0 Hiscore, 1 Online, 2 About
extern int SlideIn;      // slide-in counter, 0..32; 0 again after every game
extern int PanelW;       // side panel width: 335, or 415 when MyScrw < 900
extern int PanelX;       // side panel left edge
extern int ClickLatch;   // 1 from a tab switch or difficulty click until the button and tab keys are up
extern int StartLatch;   // 1 after a game or a difficulty key step until the start input is up
extern int EscapeLatch;  // 1 after a game until Escape is seen up
extern int StartHeld;    // the start input was held when last read
extern int TitleQuit;    // 1 once Escape ends the loop
extern int TitleSongAsked;  // a song was asked for since the title screen came back

extern std::string Credit[100];  // About text, lines 1..credits-1
extern int credits;

// Logs out of the score server and stores the About text.
void ResetTitleTables();
// Stores the About text (29 lines) at Credit[credits..].
void StoreAboutText();
// Registers the settings panel and the pause screen with the end of frame,
// and the title's tables with the start-up.
void InstallTitle();
// The title screen after the start-up: Hiscore tab, Medium preselected.
[[noreturn]] void StartTitle();
// Runs passes until Escape ends the loop, then the closing sequence.
[[noreturn]] void TitleLoop();
// Starts a generated song, once per visit of the title screen: one of the
// title's songs, chosen and seeded by the clock.
void TitleMusic();
// One pass; answers TitleQuit.
int TitlePass();

// The steps of a pass, in order.
void TitleHead();         // CLS3d, ResetDraw, AddGradient, the account filter
void SidePanel();         // slide step, panel, tab bar, tab switching
void HiscoreView();
void AboutView();
void SettingsHint();
void StartPrompt();       // mouse prompt, or keyboard prompt and controls scan
void DifficultyList();    // labels, clicks, key steps, ClickLatch release
void TitleLoopEnd();      // logo, fps, Escape test
