// The play field: the deal of a new game, the frame's opening with the
// backdrop and the star field, and the drifting seeds and flowers.
#include <cmath>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "scores/scores.h"

namespace {

// Bounds that are passed as the nearest single-precision values.
constexpr double k005 = 0.05f;
constexpr double k03 = 0.3f;
constexpr double k015 = 0.15f;

float F(double value) { return static_cast<float>(value); }
float F(int value) { return static_cast<float>(value); }

}  // namespace

void StartGame() {
  const int W = JScrw, H = JScrh;
  play = PlayState{};
  score = 0;
  Mybadges = 0;
  for (int k = 1; k <= 30; ++k) MyBest[k] = 0;
  ClearList(stars);
  ClearList(shapoofs);
  for (int k = 0; k < 50; ++k) {
    sta = std::make_shared<rs>();
    sta->x = F(Rand(-64, W + 64));
    sta->y = F(Rand(-64, H + 64));
    sta->dark = Rand(0, 5) * 50;
    sta->rot = F(Rand(360));
    sta->xs = F(Rnd(k005, k03));
    sta->ys = F(Rnd(k005, k03));
    sta->rotgo = F(Rnd(-0.75, 0.75));
    sta->size = F(Rnd(k015, 0.5));
    ListAddLast(stars, sta);
  }
  ClearList(dandys);
  px = F(W / 2);
  py = F(H - 80);
  pd = 0;
  pa = 0;
  const int seeds = GameMode == 0 ? 20 : GameMode == 1 ? 15 : 10;
  for (int k = 1; k <= seeds + 5; ++k) {
    dand = std::make_shared<lion>();
    dand->x = F(Rand(100, W - 100));
    dand->y = F(Rand(-400, H - 300));
    dand->ys = F(Rnd(0.25, 0.75));
    dand->rot = F(Rnd(-8, 8));
    dand->rotgo = F(Rnd(-0.5, 0.5));
    if (k > seeds) dand->t = kFlower;
    ListAddLast(dandys, dand);
  }
  play.spin = 0;
  play.grace = 0;
  landings = 5;
  hops = 0;
  play.prevY = py;
  play.musicRate = 1.0f;
  play.hasFired = 0;
  play.avgAng = 0;
  play.fireLatch = 1;
}

void FrameOpening() {
  CLS3d(1);
  // A missing tune is not asked for every frame: that would take a channel
  // each time.
  if (MusicChannel == 0 && tune) PlayMusic(tune);
  if (MusicChannel != 0 && !ChannelPlaying(MusicChannel)) MusicChannel = 0;
  ResetDraw();
  AimGradR = 1.4f;
  AimGradG = 2.0f;
  AimGradB = 3.0f;
  AddGradient2();
  ResetDraw();
}

void StarField() {
  const int W = JScrw, H = JScrh;
  stars.ForEach([&](const std::shared_ptr<rs>& star) {
    sta = star;
    rs& s = *star;
    s.x += s.xs;
    s.y += s.ys;
    if (Rand(0, 1000) == 1) s.xs = F(Rnd(k005, k03));
    if (Rand(0, 1000) == 1) s.ys = F(Rnd(k005, k03));
    s.rot = F(std::fmod(s.rot + s.rotgo, 360.0f));
    SetCol(F(s.dark), F(s.dark), F(s.dark), 0.1f);
    SetRot(s.rot);
    SetSize(s.size);
    drawimg(astar, static_cast<int>(s.x), static_cast<int>(s.y), 0, kDrawParticles);
    if (s.x > F(W + 128)) s.x -= F(W + 256);
    if (s.y > F(H + 128)) {
      s.y = -128;
      s.x = F(Rand(-64, W + 64));
      s.size = F(Rnd(k015, 0.5));
      s.dark = Rand(0, 5) * 50;
    }
  });
}

void DriftAndDraw(lion& l) {
  if (l.held > 0) l.held -= 1;
  l.x += l.xs;
  l.y += l.ys;
  l.rot += l.rotgo;
  if (l.t != kFlower) {
    // A seed swings to and fro like a little parachute.
    if (l.rot < -10) l.rotgo = F(Rnd(0.2, 0.6));
    if (l.rot > 10) l.rotgo = -F(Rnd(0.2, 0.6));
  }
  if (Rand(0, 50) == 1) l.rotgo = F(Rnd(-0.6, 0.6));
  if (l.x < 120) l.xs = F(Rnd(0.2, 0.5));
  if (l.x > F(JScrw - 120)) l.xs = -F(Rnd(0.2, 0.5));
  if (Rand(0, 200) == 1) l.xs = F(l.xs + Rnd(-0.5, 0.5));
  if (l.xs > 0.6f) l.xs = 0.6f;
  if (l.xs < -0.6f) l.xs = -0.6f;
  if (Rand(0, 200) == 1) l.ys = F(l.ys + Rnd(-0.2, 0.2));
  if (l.ys > 0.8f) l.ys = 0.8f;
  if (l.ys < 0.2f) l.ys = 0.2f;
  if (l.y > F(JScrh + 64)) {
    l.y = F(Rnd(-300, -64));
    l.x = F(Rnd(100, JScrw - 100));
    l.held = 0;
  }
  SetRot(l.rot);
  if (l.t != kFlower) {
    SetCol(255, 255, 255, 1);
    drawimg(chute, static_cast<int>(l.x - 16), static_cast<int>(l.y - 16), 0, kDrawSprites);
  } else {
    SetCol(255, 80, 0, 0.7f);
    drawimg(flower, static_cast<int>(l.x - 16), static_cast<int>(l.y - 16), 0, kDrawSprites);
  }
}

void SeedsAndFlowers() {
  dandys.ForEach([](const std::shared_ptr<lion>& element) {
    dand = element;
    SeedCatch(*element);
    FlowerPick(*element);
    DriftAndDraw(*element);
  });
}
