// The hero: aiming with the pointer below him, the launch with its dashed
// preview, the flight with its wall bounces and landings, and his drawing.
#include <cmath>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "game/game.h"

namespace {

// Float fields take each new value computed in double precision.
float Stored(double value) { return static_cast<float>(value); }

}  // namespace

void FlightMove(float& x, float& y, float h, float s) {
  x = Stored(x - static_cast<double>(s) * kStepX * Sin(h));
  y = Stored(y - static_cast<double>(s) * kStepY * Cos(h));
}

void FlightTurn(float& h, float limit) {
  if (h == 0) {
    h = kTurnStep;
    return;
  }
  if (0 < h && h < limit) h = h + kTurnStep;
  if (-limit < h && h < 0) h = h - kTurnStep;
}

void AimAndFire() {
  ResetDraw();
  SetLineWidth(3);
  const float dx = px - static_cast<float>(mx);
  const float dy = py - static_cast<float>(my);
  play.dashPhase -= 1;
  if (play.dashPhase < 0) play.dashPhase += 80;

  // Keep the history continuous where the angle wraps above the hero.
  for (int k = 0; k <= 10; ++k) {
    if (play.avgAng > 150 && SmAng[k] < -150) SmAng[k] += 360;
    if (play.avgAng < -150 && SmAng[k] > 150) SmAng[k] -= 360;
  }
  play.aimAng = Stored(ATan2(static_cast<float>(mx) - px, static_cast<float>(my) - py));
  play.aimDist = Stored(std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy));

  float sumA = play.aimAng, sumD = play.aimDist;
  for (int k = 10; k >= 1; --k) {
    SmAng[k] = SmAng[k - 1];
    sumA += SmAng[k];
    SmDist[k] = SmDist[k - 1];
    sumD += SmDist[k];
  }
  play.avgAng = sumA / 11;
  play.avgDist = sumD / 11;
  SmAng[0] = play.aimAng;
  SmDist[0] = play.aimDist;

  // The button as held in this frame (a click shorter than a frame is held
  // for one); the clicks' count stays for the settings panel.
  if (!MouseDown(1)) play.fireLatch = 0;
  SetCol(200, 100, 100, 0.5f);
  play.aimValid = play.avgDist < 200 && play.avgAng > -90 && play.avgAng < 90 && play.aimAng > -90 &&
                  play.aimAng < 90;
  play.fired = play.aimValid && MouseDown(1) && pd == 0 && play.fireLatch == 0;
}

void LaunchAndPreview() {
  if (play.aimValid) {
    if (play.fired) {
      play.fireLatch = 1;
      play.hasFired = 1;
      pd = play.avgDist / 16 + 10;
      pa = play.avgAng;
      play.grace = 15;
      PlaySFX(5, 1.0f, 1.0f, 0.0f);
    }
    SetLineWidth(1);
    SetCol(255, 255, 255, 0.8f);
    if (pd == 0) {
      // The first 180 frames of the flight a shot now would make, by the
      // flight's own rule; dashes two steps long travel out along it.
      float x = px, y = py, h = play.avgAng;
      const float s = play.avgDist / 16 + 10;
      float lastX = x, lastY = y;
      for (int n = 1; n <= 180; ++n) {
        FlightMove(x, y, h, s);
        if (x < 100) h = -std::fabs(h);
        if (x > static_cast<float>(JScrw - 100)) h = std::fabs(h);
        FlightTurn(h, 180);
        const int phase = (n + play.dashPhase) % 8;
        if (phase == 1 || phase == 2) DrawLine(x, y, lastX, lastY, 1);
        lastX = x;
        lastY = y;
      }
    }
    SetLineWidth(3);
    SetCol(100, 255, 100, 0.7f);
  }
  DrawLine(px, py, static_cast<float>(mx), static_cast<float>(my), 1);
}

void FlightStep() {
  FlightMove(px, py, pa, pd);
  const bool flying = pd != 0;
  // The wall bonus is paid for a bounce in flight; a seed that carries the
  // resting hero past a wall line only puts him back.
  if (px < 100) {
    px = 102;
    pa = -std::fabs(pa);
    if (flying) {
      PlaySFX(7, 1.0f, 1.0f, 0.0f);
      Gimme(static_cast<int64_t>(hops + 1) * 25, 102, static_cast<int>(py - 32), 1, 255, 255, 0);
    }
  }
  if (px > static_cast<float>(JScrw - 100)) {
    px = static_cast<float>(JScrw - 102);
    pa = std::fabs(pa);
    if (flying) {
      PlaySFX(7, 1.0f, 1.0f, 0.0f);
      Gimme(static_cast<int64_t>(hops + 1) * 25, JScrw - 102, static_cast<int>(py - 32), 1, 255, 255, 0);
    }
  }
  if (py < -120) py = -120;
  if (flying) FlightTurn(pa, 170);
  play.spin = Stored(play.spin + pa / 4.0);

  const float rest = static_cast<float>(JScrh - 80);
  if (py > rest) {
    hops = 0;
    py = rest;
    pa = 0;
    pd = 0;
    play.spin = 0;
    if (play.prevY < rest) {
      PlaySFX(3, 1.0f, 1.0f, 0.0f);
      landings -= 1;
      if (landings == 0) PlaySFX(6, 1.0f, 1.0f, 0.0f);
      if (landings == -1) play.endFlag = 1;
      Gimme(play.airPoints, static_cast<int>(px), JScrh - 112, 1, 255, 255, 0);
      play.airPoints = 0;
    }
  }
  if (pd != 0) play.airPoints += 1;
}

void GroundAndHero() {
  play.prevY = py;
  if (play.grace > 0) play.grace -= 1;
  SetCol(255, 255, 255, 1);
  DrawLine(0, static_cast<float>(JScrh - 64), static_cast<float>(JScrw), static_cast<float>(JScrh - 64), 1);
  SetCol(255, 255, 255, 1);
  UseFont(2, 3);
  // Not over the read-outs at the bottom: on the ground (where it is always
  // 0) and in the first and last moments of a flight it is not shown.
  const int pointsY = static_cast<int>(py + 32);
  if (pointsY - TextHeight("0") / 2 + TextHeight("0") <= JScrh - 60)
    Text(static_cast<int>(px), pointsY, std::to_string(play.airPoints), 1, 1);
  ResetDraw();
  SetRot(play.spin);
  SetSize(0.5f);
  drawimg(pibbo, static_cast<int>(px - 16), static_cast<int>(py - 16), 0, kDrawSprites);
  SetRot(0);
}
