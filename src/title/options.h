// Settings panel (opened with Tab) and pause screen: what the end of frame
// calls of the title screen's menus, and the panel's widgets.
#pragma once

#include <array>
#include <string>

#include "platform/platform.h"

extern int optin;  // panel offset: -300 hidden .. 20 fully open, steps of 32

// Runs the settings panel for one frame (called by fps on every call).
int Option();
// The modal pause screen: 1 Continue, 99 Quit.
int PauseMe();
// The pause screen one frame at a time (PauseMe runs it until answered):
// made over a copy of the screen as it is, each Frame draws and presents
// one frame and answers 0, or 1 Continue, 99 Quit.
struct PauseScreen {
  PauseScreen();
  int Frame();
  Image backdrop;
  int display = 0;
  float spin = 0, phase = 0;
  int selection = 0, latch = 1;
};

// One cycling choice of Options[slot]: icon firstIcon + state with its
// caption, drawn at (x, y + optin); a left click steps the state, wrapping
// after the last non-empty caption. A caption "a|b" shows as two lines;
// caption 1 "AUDIO" offers the audio drivers. With write false the button
// shows the slot but never changes it. Answers 1 while the pointer is over it.
int OptionButton(int slot, int x, int y, int firstIcon, std::array<std::string, 6> captions, bool write = true);
// A 0..100 slider at (x, y) (optin included): answers the dragged value while
// a left press made on the panel is held over the track, else `value`.
int OptionSlider(int value, int x, int y, const std::string& label);
// The binding button of KeyV[slot] at (x, y): with the pointer on it and the
// panel fully open, the input held now becomes the binding (Backspace unbinds).
int ControlButton(int slot, int x, int y);
