// What the hero meets on the way: seeds he catches and rides, each catch
// in flight a hop of the chain; flowers he picks; the puffs both leave.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "game/game.h"

namespace {

void AddPuff(int r, int g, int b) {
  sha = std::make_shared<poof>();
  sha->x = px;
  sha->y = py;
  sha->s = 0.25f;
  sha->alp = 1.0f;
  sha->r = r;
  sha->g = g;
  sha->b = b;
  ListAddLast(shapoofs, sha);
}

// How far above the hero the hop count of a catch starts: 64, or higher
// where its large digits would lie over the catch's points 32 above him.
int HopCountRise() {
  SetImageFont(Fonts[3]);
  const int points = TextHeight("0");
  UseFont(1, 6);
  const int hops = TextHeight("0");
  return std::max(64, 32 + points / 2 + hops - hops / 2);
}

}  // namespace

void SeedCatch(lion& l) {
  const bool graceAllows = play.grace == 0 || (play.grace < 12 && l.held == 0);
  if (!graceAllows || !(std::fabs(l.x - px) < 24) || !(std::fabs(l.y - py) < 24)) return;
  if (!(py < static_cast<float>(JScrh - 80)) || !(py > -16) || l.t == kFlower) return;
  play.spin = l.rot;
  px = l.x + 8;
  py = l.y + 14;
  if (pd != 0) {
    hops += 1;
    AddPuff(255, 255, 180);
    Gimme(hops, static_cast<int>(px), static_cast<int>(py) - HopCountRise(), 2, 255, 0, 255);
    u = hops + 10;
    if (u > 30) u = 30;
    PlaySFX(u, 1.0f, 1.0f, 0.0f);
    PlaySFX(2, 1.0f, 1.0f, 0.0f);
    Gimme(play.airPoints * hops, static_cast<int>(px), static_cast<int>(py - 32), 1, 255, 255, 0);
    play.airPoints = 0;
  }
  pd = 0;
  pa = 0;
  l.held = 15;
}

void FlowerPick(lion& l) {
  if (!(std::fabs(l.x - px) < 32) || !(std::fabs(l.y - py) < 32) || !(py > -16) || l.t != kFlower) return;
  AddPuff(255, 150, 0);
  PlaySFX(4, 1.0f, 1.0f, 0.0f);
  l.x = static_cast<float>(Rand(100, JScrw - 100));
  l.y = static_cast<float>(Rand(-400, -100));
  // Doubled, and held at the largest value rather than wrapped.
  play.airPoints = play.airPoints > INT64_MAX / 2 ? INT64_MAX : play.airPoints * 2;
  Gimme(static_cast<int64_t>(hops + 1) * 250, static_cast<int>(px), static_cast<int>(py - 32), 1, 255, 255, 0);
}

void PuffStep() {
  ResetDraw();
  shapoofs.ForEach([](const std::shared_ptr<poof>& puff) {
    sha = puff;
    poof& p = *puff;
    p.alp -= 0.02f;
    p.s += 0.02f;
    if (p.g < 200) {
      p.alp -= 0.05f;
      p.s += 0.05f;
    }
    SetCol(static_cast<float>(p.r), static_cast<float>(p.g), static_cast<float>(p.b), p.alp / 2);
    SetSize(p.s);
    Blend(1);
    drawimg(poofy, static_cast<int>(p.x - 128 * p.s), static_cast<int>(p.y - 128 * p.s), 0, kDrawGlow);
    if (!(p.alp > 0)) ListRemove(shapoofs, p);
  });
}
