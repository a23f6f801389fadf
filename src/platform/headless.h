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
//   PIBBO_DESKTOP       desktop size, e.g. "1920x1080" (the default)
//
// The virtual clock starts at 1000 ms and moves only when Delay (Sleep),
// Advance or SetClock move it; but 1000 clock reads or input pumps in a row
// with no sleep between them count as 1 ms, so a loop that busy-waits on
// input (calling PollSystem) still reaches its scripted events.
//
// Drawing needs an open display (Graphics); without one nothing is drawn or
// recorded. GrabPixmap/GrabImage read a software picture of the back buffer
// in which every draw call is painted as the real back end paints it (the
// same triangles, texels and blending). Input is delivered only while a
// display is open: events whose
// time came while no display was open wait for the next Graphics.
//
// Script lines: "<ms> <event> <arguments>", ms on the virtual clock (counted
// from the back end's start, StartTime(); so Script() called later takes
// the same times as the file) at which the event reaches the input queue;
// events whose time has passed arrive at the next intake of input, as the
// window system's do (platform.h): the first input query after the program
// gave up time (Delay, Flip) or the test moved the clock (Advance, SetClock,
// SetPadButton), or PollSystem. So input scripted between two frames is
// taken in by the end of the next frame and seen by the frame after it,
// unless the test lets time pass first;
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
  // Clear: r, g, b = the Cls colour. Plot is recorded as a 1 x 1 Rect.
  enum Kind { Clear, Image, Rect, Oval, Line, Text, Flip } kind = Clear;
  std::string image;  // Image: source file name ("" for created images)
  int frame = 0;
  // Virtual coordinates. Image: x, y = the handle point, x2, y2 = the drawn
  // width and height (the cell size, or DrawImageRect's). Rect/Oval: x2, y2 =
  // width, height. Line: (x, y) to (x2, y2). Text: x, y = top-left.
  float x = 0, y = 0, x2 = 0, y2 = 0;
  int r = 255, g = 255, b = 255;
  float alpha = 1, rotation = 0, scaleX = 1, scaleY = 1, lineWidth = 1;
  int blend = 0;
  std::string text;  // Text: the text
  std::string font;  // Text: font source file ("" built-in) and size as "name:size"
  float anchor = 0;  // Text: the point of its measured width held in place (DrawState::textAnchor)
};

// One call made on an audio channel, as the journal keeps it.
struct ChannelCall {
  enum Op { Cue, Resume, Stop, Volume, Pan, Rate } op = Cue;
  int channel = 0;
  std::string sound;  // Cue: the sound's file name ("" when made in memory)
  float value = 0;    // Volume, Pan, Rate: the value as clamped
};

namespace headless {

// Recorded draw calls since the last ClearDrawCalls (Flip is recorded too).
const std::vector<DrawCall>& DrawCalls();
void ClearDrawCalls();
// Draw calls of the last presented frame (between the last two Flips, the
// Flip itself left out; with one Flip, everything before it).
std::vector<DrawCall> LastFrame();
// Flips since the back end started (ClearDrawCalls does not reset it).
int FlipCount();
// The recording keeps at least the calls of the last `flips` frames (default
// 64; older ones are dropped in batches).
void SetRecordLimit(int flips);
// Virtual cost of drawing: from now on every image drawn moves the clock on
// by this many microseconds (0, the default: drawing takes no time), so a
// test can give a frame a known drawing cost.
void SetImageDrawCost(int microseconds);

// Scripted input, queued on the virtual clock (same forms as the script file).
void Script(const std::string& lines);
void LoadScript(const std::string& path);
void ClearScript();
// Scripted events not yet delivered.
int PendingEvents();

// Virtual clock: Delay and Sleep advance it; Advance moves it on directly.
uint32_t Now();
uint32_t StartTime();  // the clock's value when the back end started (1000)
void Advance(int ms);
void SetClock(uint32_t ms);

// Display and devices.
void SetModes(const std::vector<GraphicsMode>& modes);
void SetDesktop(int width, int height);
void SetPads(int count);  // 0..8; pads "Headless Pad 1".. with 12 buttons,
                          // axes at 0, hat centred (-1)
void SetPadName(int port, const std::string& name);
void SetPadButtonCaps(int port, int caps);
// Pad state set at once (the script's "pad" lines do the same on the clock);
// the next input query takes a button's change in.
void SetPadAxis(int port, int axis, float value);  // 0 X, 1 Y, 2 Z, 3 R, 4 U, 5 V
void SetPadHat(int port, float value);
void SetPadButton(int port, int button, bool down);
// Makes every later display opening fail (Graphics answers 0).
void SetOpenFails(bool fail);

// What the program asked of the window.
std::string Title();
bool CursorVisible();
GraphicsMode Display();  // the open display (depth 0: a window); zeros when closed
void MousePosition(int& x, int& y);  // the pointer, real pixels (after MoveMouse too)

// Audio: the "FreeMix" drivers' output is memory on the headless back end.
// Mixes `frames` stereo frames at 44100 Hz now and answers them (interleaved
// L, R, 16-bit).
std::vector<int16_t> MixAudio(int frames);
// The loudest sample of the mixed sum before the mixer's limiter since the
// last call, on the 16-bit scale: above 32767 where it would have clipped.
float MixPeak();

// Channel calls (cue, resume, stop, volume, pan, rate) from now on, kept
// while recording is on; switching it on starts an empty journal.
void RecordChannelCalls(bool on);
std::vector<ChannelCall> ChannelCalls();

}  // namespace headless
