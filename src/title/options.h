// Settings panel (opened with Tab) and pause screen: what the end of frame
// calls of the title screen's menus.
#pragma once

extern int optin;   // panel offset: -300 hidden .. 20 fully open

// Runs the settings panel for one frame (called by fps on every call).
int Option();
// The modal pause screen: 1 Continue, 99 Quit.
int PauseMe();
