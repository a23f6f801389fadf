// The play field's wall strips and read-outs, and the "Game Over" banner.
#include <algorithm>
#include <string>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "game/game.h"

void WallsAndHud() {
  Blend(1);
  ResetDraw();
  SetCol(0, 180, 0, 0.6f);
  DrawRect(0, 0, 100, static_cast<float>(JScrh));
  DrawRect(static_cast<float>(JScrw - 100), 0, 100, static_cast<float>(JScrh));
  ResetDraw();

  UseFont(1, 4);
  SetCol(100, 255, 100, 1.0f);
  Text(110, JScrh - 60, "Score : " + Right("000000000000" + std::to_string(score), 12), 0, 0);

  std::string txt;
  for (int n = 1; n <= landings; ++n) txt += "^";
  txt += " : Hops";
  if (landings == 0) {
    txt = "Last Hop";
    SetCol(255, 0, 0, 1.0f);
  }
  if (landings < 0) txt.clear();
  Text(JScrw - 110, JScrh - 60, txt, 2, 0);

  if (play.hasFired == 0) {
    if (my < JScrh - 120) {
      UseFont(1, 3);
      SetCol(0, 180, 0, 1.0f);
      // Over the pointer, but never past an edge of the screen.
      const std::string hint = "Move under Pibbo to aim.";
      const int halfW = TextWidth(hint) / 2, halfH = TextHeight(hint) / 2;
      Text(std::clamp(mx, halfW, JScrw - (TextWidth(hint) - halfW)), std::max(my - 20, halfH), hint, 1, 1);
    }
    UseFont(1, 5);
    SetCol(100, 255, 100, 1.0f);
    if (MMillisecs() % 700 < 350) SetCol(0, 0, 0, 1.0f);
    Text(JScrw / 2, JScrh - 60, "Aim and Fire", 1, 0);
  }
}

void GameOverBanner() {
  Flip(-1);
  struct Pass {
    int reach;
    int r, g, b;
  };
  // White edge, near-black edge, yellow letters.
  for (const Pass& pass : {Pass{3, 255, 255, 255}, Pass{2, 8, 8, 8}, Pass{0, 255, 255, 0}}) {
    for (int x = -pass.reach; x <= pass.reach; ++x) {
      for (int y = -pass.reach; y <= pass.reach; ++y) {
        ResetDraw();
        SetCol(static_cast<float>(pass.r), static_cast<float>(pass.g), static_cast<float>(pass.b), 1.0f);
        SetImageFont(Fonts[5]);
        Text(JScrw / 2 + x, JScrh / 2 + y, "Game Over", 1, 1);
      }
    }
  }
  Flip(-1);
}
