// The engine test: draws ever more invisible sprites until the frame rate
// drops, and sizes the per-frame sprite budgets from the highest load that
// still held the rate. Runs at every display (re)open.
#include "engine/frame/frame.h"
#include "engine/startup/startup.h"

namespace {

void DrawTestFrame(int load, int spriteScale) {
  CLS3d(1);
  ResetDraw();
  AddGradient();
  SetSize(1.5f);
  DrawImage(logo, static_cast<float>(JScrw) * 0.3f, static_cast<float>(JScrh) * 0.3f, 0);
  DrawImage(DrennicLogo, static_cast<float>(JScrw) * 0.7f, static_cast<float>(JScrh) * 0.7f, 0);
  SetSize(1.0f);
  for (int i = 0; i <= load; ++i) {
    SetRot(static_cast<float>(Rand(360, 1)));
    SetCol(0, 0, 0, 0);
    SetSize(static_cast<float>(spriteScale));
    const int y = Rand(JScrh, 1);
    const int x = Rand(JScrw, 1);
    DrawImage(CommonIcons, static_cast<float>(x), static_cast<float>(y), 0);
  }
  fps(250, 0, 0);
}

}  // namespace

int AimFor(int targetFrameRate, int spriteScale) {
  DebugMode = 0;
  int target = targetFrameRate;
  if (Options[kOptFrameSkip] == 1) target = 30;
  UseFPS = target;
  DrawMax[kDrawSprites] = 500;
  DrawMax[kDrawGlow] = 500;
  DrawMax[kDrawParticles] = 250;
  int best = 0;
  Debug("Starting Engine Test");
  Debug("Aiming for " + std::to_string(target) + "," + std::to_string(spriteScale));

  for (int load = 500; load <= 20000; load += 500) {
    for (int frame = 1; frame <= 8; ++frame) DrawTestFrame(load, spriteScale);
    if (FramesPerSec >= target - 2 && load > 500) best = load;
    if (FramesPerSec <= target - 2 && load > 500) break;
  }

  Debug("Test Complete");
  DrawMax[kDrawSprites] = static_cast<int>(best * 0.4);
  DrawMax[kDrawGlow] = static_cast<int>(best * 0.4);
  DrawMax[kDrawParticles] = static_cast<int>(best * 0.2);
  Debug("");
  Debug("Engine Test Results");
  Debug("");
  Debug("\tMaximum Sprites Allowed for " + std::to_string(target) + " Frames Per Second");
  Debug("\tMain sprites : " + std::to_string(DrawMax[kDrawSprites]));
  Debug("\tGlowy Sprites : " + std::to_string(DrawMax[kDrawGlow]));
  Debug("\tParticles : " + std::to_string(DrawMax[kDrawParticles]));
  Debug("");
  if (DrawMax[kDrawSprites] < 1000) {
    DrawMax[kDrawSprites] = 1000;
    UseFPS = 30;
    Options[kOptFrameSkip] = 1;
  }
  if (DrawMax[kDrawGlow] < 500) DrawMax[kDrawGlow] = 500;
  if (DrawMax[kDrawParticles] < 250) DrawMax[kDrawParticles] = 250;
  if (UseFPS == 30) Debug("Settings Overwritten, Set to Default Lower Limits at 30fps.");
  Debug("");
  DebugMode = 0;
  return 0;
}
