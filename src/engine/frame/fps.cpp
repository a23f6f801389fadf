// The end of every frame of every loop: music volume, score pop-ups, the
// system hot keys, the settings panel, the overlay and cursor, the 60 Hz
// pacing, the music generator's tick, messages, the present and the
// frame-rate average.
#include <malloc.h>

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"

namespace {

// Bytes the allocator currently hands out, for the overlay.
long MemoryInUse() { return static_cast<long>(mallinfo2().uordblks); }

void DrawOverlay() {
  SetImageFont(Fonts[1]);
  Text(2, 2, std::to_string(FramesPerSec), 0, 0);
  SetImageFont(Fonts[2]);
  Text(2, 40, "Collection : " + std::to_string(fc), 0, 0);
  Text(2, 60, "Used Memory : " + std::to_string(MemoryInUse()), 0, 0);
  Text(2, 80, "Drawn Images : " + std::to_string(DrawCount[kDrawSprites]) + "/" + std::to_string(DrawMax[kDrawSprites]), 0, 0);
  Text(2, 100, "Drawn Glow : " + std::to_string(DrawCount[kDrawGlow]) + "/" + std::to_string(DrawMax[kDrawGlow]), 0, 0);
  Text(2, 120, "Drawn Particles : " + std::to_string(DrawCount[kDrawParticles]) + "/" + std::to_string(DrawMax[kDrawParticles]), 0, 0);
  Text(2, 150, "Hit F12 to remove this", 0, 0);
  SetScale(1.5f, 1.5f);
}

// Sleeps in 1 ms steps until 1000/60 - 2 ms have passed since the last
// frame ended (at least one step). Works on differences of clock readings,
// so the 32-bit clock wrapping never stalls it; a clock that jumps back is
// taken as "time is up".
void WaitForFrameTime() {
  constexpr double kFrameTime = 1000.0 / 60.0 - 2.0;
  for (;;) {
    Delay(1);
    const int elapsed = ClockDiff(MMillisecs(), LastFrame);
    if (elapsed < 0 || static_cast<double>(elapsed) >= kFrameTime) return;
  }
}

}  // namespace

int MMillisecs() { return MilliSecs(); }

int ClockDiff(int now, int then) {
  return static_cast<int>(static_cast<uint32_t>(now) - static_cast<uint32_t>(then));
}

int fps(int /*target*/, int /*flag*/, int showCursor) {
  int result = 0;
  const bool presented = SkipDraw == 0 || Options[kOptFrameSkip] == 0;

  if (MusicChannel != 0) {
    fvf = static_cast<float>(Options[kOptMusic] * Options[kOptMaster]) / 100.0f;
    SetChannelVolume(MusicChannel, fvf / 100.0f);
  }
  DrawScores();

  if (KeyHit(KEY_TAB)) {
    OptionScreen = 1 - OptionScreen;
    SaveIni();
  }
  if (SkipDraw == 1) fc = 0;  // nothing to reclaim: memory is freed as it goes

  // Escape seen during a game, held or as a tap (held for this frame only),
  // waits for the next presented call if this one is not presented.
  static bool escapeSeen = false;
  escapeSeen = InGame == 1 && (escapeSeen || KeyDown(KEY_ESCAPE));
  if (presented) {
    if (KeyHit(KEY_F11)) SaveScreenshot();
    if (escapeSeen) {
      escapeSeen = false;
      InGame = 2;
      const int t = MMillisecs();
      if (PauseHook) result = PauseHook();
      InGame = 1;
      GameStart = static_cast<int>(static_cast<uint32_t>(GameStart) + static_cast<uint32_t>(ClockDiff(MMillisecs(), t)));
    }
  }

  if (SettingsPanelHook) SettingsPanelHook();

  ResetDraw();
  SetScale(1.5f, 1.5f);
  SetImageFont(Fonts[1]);
  if (KeyHit(KEY_F12)) DebugMode = 1 - DebugMode;
  if (DebugMode == 1) DrawOverlay();
  if (showCursor == 1 || OptionScreen == 1) {
    DrawImage(CommonIconsF, VirtualMouseX() + 12.0f, VirtualMouseY() + 12.0f, 63);
  }

  WaitForFrameTime();
  // The wait gave up time, so this first query takes in the next frame's
  // input: its pointer stands beside that frame's buttons and keys.
  wx = mx;
  wy = my;
  mx = static_cast<int>(VirtualMouseX());
  my = static_cast<int>(VirtualMouseY());
  if (MusicTickHook) MusicTickHook();
  DrawComments();

  if (Options[kOptFrameSkip] == 0 || SkipDraw == 0) Flip(0);

  Frametook = ClockDiff(MMillisecs(), LastFrame);
  if (Frametook > 0) frameavg = (1000 / Frametook + 2 * frameavg) / 3;
  FramesPerSec = frameavg;
  LastFrame = MMillisecs();
  SkipDraw = 1 - SkipDraw;

  const bool altF4 = KeyDown(KEY_F4) && (KeyDown(KEY_LALT) || KeyDown(KEY_RALT));
  if (altF4 || AppTerminate()) Finish();
  return result;
}
