// Frame services: the end-of-frame routine every loop calls, the drawing
// helpers with their per-frame sprite budgets, the engine test, gradient
// backdrops, input bindings and names, sound playback, on-screen messages
// and score pop-ups, screenshots and small text/clamp/mouse helpers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Records kept in lists
// ---------------------------------------------------------------------------
// One on-screen message (AddComment).
struct ment {
  int tick = 0;
  std::string txt;
  int c = 0;
  int Compare(const ment&) const { return 1; }
};

// One floating score pop-up (Gimme).
struct ore {
  int64_t n = 0;
  float x = 0, y = 0;
  int t = 0;
  int s = 0;
  int r = 0, g = 0, b = 0;
  int Compare(const ore&) const { return 1; }
};

extern TList<ment> comments;
extern TList<ore> scoreget;

// ---------------------------------------------------------------------------
// End of frame
// ---------------------------------------------------------------------------
extern int SkipDraw;      // frame-skip phase, flips at the end of every fps call
extern int LastFrame;     // MMillisecs() at the end of the previous frame
extern int Frametook;     // ms from the previous frame's end to this present
extern int frameavg;      // running frame-rate average
extern int FramesPerSec;  // copy of frameavg
extern int DebugMode;     // 1 while the F12 overlay shows
extern int mx, my;        // mouse on the virtual screen, taken by the last fps
extern int wx, wy;        // mx, my one frame earlier
extern int mh1, mh2;      // left/right press counts for the settings widgets
extern int InGame;        // 0 outside a game, 1 playing, 2 paused
extern int fc;            // scratch: last memory-reclaim figure
extern float fvf;         // scratch: music x master / 100
extern int UseFPS;        // frame-rate target handed to fps (60 or 30)
extern int OptionScreen;  // 1 while the settings panel is wanted open (Tab)
extern int GameStart;     // MMillisecs() when the current game started; a
                          // pause moves it on by the time paused

int fps(int target, int flag, int showCursor);
int MMillisecs();
// Milliseconds from `then` to `now` on the 32-bit clock, right across its
// wrap (the difference is taken modulo 2^32).
int ClockDiff(int now, int then);

// ---------------------------------------------------------------------------
// Drawing helpers and budgets (kinds: 1 sprites, 2 glow, 3 particles)
// ---------------------------------------------------------------------------
extern int PreBlend;  // the game's blend code last given to Blend
enum DrawKind { kDrawSprites = 1, kDrawGlow = 2, kDrawParticles = 3 };
extern int DrawMax[20];
extern int DrawCount[20];

constexpr float kSameAsFirst = -37171648.0f;   // SetSize: sy not given
constexpr float kKeepAlpha = 37171648.0f;      // SetCol: alpha not given

int Text(int x, int y, const std::string& text, int alignX = 0, int alignY = 0);
// `text` broken into lines no wider than `width` in the current font: at
// blanks, or after a "/" where a long path has no blank to break at. A
// piece wider than `width` on its own stands on a line of its own; no line
// ends in a blank, and none is empty.
std::vector<std::string> WrapText(const std::string& text, int width);
int SetSize(float sx, float sy = kSameAsFirst);
int SetRot(float angle);
int ResetDraw();
int Blend(int code);
int SetCol(float r, float g, float b, float a = kKeepAlpha);
int drawimg(const Image& image, int x, int y, int frame, int kind);
int GlowImg(const Image& image, int x, int y, int frame, const Image& glowImage, float glowScale,
            float glowAlpha);
int GlowImage(const Image& image, int x, int y, int frame, const Image& glowImage, float glowScale,
              float glowAlpha);
int CLS3d(int clear);

// ---------------------------------------------------------------------------
// Gradient backdrops
// ---------------------------------------------------------------------------
int AddGradient();
int AddGradient2();

// ---------------------------------------------------------------------------
// Input codes, bindings and names
// ---------------------------------------------------------------------------
int key(int code);
int PlayKey(int control, int player);
int GetKey();
std::string KeyName(int code);

// ---------------------------------------------------------------------------
// Engine test
// ---------------------------------------------------------------------------
int AimFor(int targetFrameRate, int spriteScale);

// ---------------------------------------------------------------------------
// Messages and pop-ups
// ---------------------------------------------------------------------------
int AddComment(const std::string& text, int c);
int Gimme(int64_t points, int x, int y, int style, int r, int g, int b);
int DrawScores();
extern float scrx, scry;  // camera offset of the score pop-ups (stay 0)
// The message step of fps: ages, draws and expires the messages.
void DrawComments();

// ---------------------------------------------------------------------------
// Sound playback. Channel slots: 0..19 music generator voices, 20..255 sound
// effects in rotation, 256 the badge jingle.
// ---------------------------------------------------------------------------
extern int Channel[260];
extern float ChannelVol[260];
extern int LChan;
extern int MusicChannel;
extern Sound sfx[201];  // numbered effects 1..200

int PlaySFX(int index, float rate, float volume, float pan);
int PlayMusic(const Sound& sound);

// ---------------------------------------------------------------------------
// Screenshots
// ---------------------------------------------------------------------------
int SaveScreenshot();
std::string SFW(const std::string& text);

// ---------------------------------------------------------------------------
// Text, clamp and mouse helpers
// ---------------------------------------------------------------------------
std::string SplitText(const std::string& text, const std::string& separator, int n, int mode = 0);
std::string IniLeft(const std::string& line);
std::string IniRight(const std::string& line);
int Hex2Int(const std::string& text);
std::string ShuffleString(const std::string& text);
int Limit(int value, int lo, int hi);
float LimitF(float value, float lo, float hi);
// 1 when the pointer (mx, my; wx, wy a frame earlier) lies inside the box.
// Over an area whose mouse is claimed (ClaimMouseButtons: the settings
// panel's band) they answer 0, except to the claimant while it reads
// (MouseClaimant), so that nothing beneath follows a pointer resting there.
int Mousein(int x, int y, int w, int h);
int MouseWasin(int x, int y, int w, int h);
extern int MouseClaimant;  // 1 while the claimant of the mouse reads it
