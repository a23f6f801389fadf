// Control of the headless back end, for tests and for driving a whole run
// without a display. Calls here are valid only while the headless back end
// is active (PlatformInit(BackendKind::Headless)).
//
// A run of the `pibbo` executable picks the headless back end when the
// environment holds PIBBO_HEADLESS=1, and then reads:
//   PIBBO_INPUT_SCRIPT  a file of input events, one per line (see below)
//   PIBBO_MODES         display modes, e.g. "1280x960,1600x900,1440x900"
//                       (depth 32, 60 Hz each); default "1024x768,1280x960,
//                       1280x720,1600x900,1280x800,1440x900,1920x1080"
//   PIBBO_PADS          number of joysticks (0..8), default 0
//
// Script lines: "<ms> <event> <arguments>", ms on the virtual clock (counted
// from the back end's start) at which the event reaches the input queue;
// blank lines and lines starting with '#' are skipped.
//   <ms> key <code> down|up      framework key code
//   <ms> tap <code>              down, then up 1 ms later
//   <ms> char <code>             a typed character
//   <ms> text <word>             each character of word typed, 1 ms apart
//   <ms> mouse <x> <y>           pointer, real display pixels
//   <ms> button <b> down|up      1 left, 2 right, 3 middle
//   <ms> click <b>               down, then up 1 ms later
//   <ms> close                   the window's close request
//   <ms> pad <port> axis <a> <value>   a = 0 X, 1 Y, 2 Z, 3 R, 4 U, 5 V
//   <ms> pad <port> hat <value>        -1 centred, else 0..1
//   <ms> pad <port> button <n> down|up
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// One recorded draw call, with the state it was drawn in.
struct DrawCall {
  enum Kind { Clear, Image, Rect, Oval, Line, Text, Flip } kind = Clear;
  std::string image;  // Image: source file name ("" for created images)
  int frame = 0;
  float x = 0, y = 0, x2 = 0, y2 = 0;  // virtual coordinates; Rect/Oval: x2, y2 = width, height
  int r = 255, g = 255, b = 255;
  float alpha = 1, rotation = 0, scaleX = 1, scaleY = 1, lineWidth = 1;
  int blend = 0;
  std::string text;  // Text: the text
  std::string font;  // Text: font source file ("" built-in) and size as "name:size"
};

namespace headless {

// Recorded draw calls since the last ClearDrawCalls (Flip is recorded too).
const std::vector<DrawCall>& DrawCalls();
void ClearDrawCalls();
// Draw calls of the last presented frame (between the last two Flips).
std::vector<DrawCall> LastFrame();
int FlipCount();

// Scripted input, queued on the virtual clock (same forms as the script file).
void Script(const std::string& lines);
void LoadScript(const std::string& path);
void ClearScript();

// Virtual clock: Delay and Sleep advance it; Advance moves it on directly.
uint32_t Now();
void Advance(int ms);
void SetClock(uint32_t ms);

// Display and devices.
void SetModes(const std::vector<GraphicsMode>& modes);
void SetDesktop(int width, int height);
void SetPads(int count);
void SetPadName(int port, const std::string& name);

// Audio: the "FreeMix" drivers mix into memory on the headless back end.
// Mixes `frames` stereo frames at 44100 Hz now and answers them (interleaved
// L, R, 16-bit).
std::vector<int16_t> MixAudio(int frames);

}  // namespace headless
