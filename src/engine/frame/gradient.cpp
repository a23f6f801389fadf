// The full-screen backdrops: bands of one hue brightening across the
// virtual screen, whose colour glides toward the target a screen names.
#include <cmath>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"

namespace {

void Ease(float& factor, float target) { factor = factor - (factor - target) / 16.0f; }

void Snap(float& factor, float target) {
  if (std::fabs(factor - target) < 0.005f) factor = target;
}

int DrawBands(float rotation) {
  ResetDraw();
  Ease(GradR, AimGradR);
  Ease(GradG, AimGradG);
  Ease(GradB, AimGradB);
  Snap(GradR, AimGradR);
  Snap(GradG, AimGradG);
  Snap(GradB, AimGradB);
  SetRot(rotation);
  const int limit = JScrh;
  int brightness = 25;
  for (int v = 0; v <= limit; v += 10) {
    ++brightness;
    SetCol(brightness * GradR, brightness * GradG, brightness * GradB);
    DrawRect(-100.0f, static_cast<float>(3 * v), static_cast<float>(JScrw + 1800), 30.0f);
  }
  ResetDraw();
  return 0;
}

}  // namespace

int AddGradient() { return DrawBands(-45.0f); }

int AddGradient2() { return DrawBands(0.0f); }
