// A plain settings panel and pause screen: the panel slides in and out with
// Tab and offers Apply; the pause screen offers Continue and Quit.
#include "title/options.h"

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"

int optin = -300;

int Option() {
  mh1 = MouseHit(1);
  mh2 = MouseHit(2);
  if (OptionScreen == 1 && optin < 0) optin += 32;
  else if (OptionScreen == 0 && optin > -300) optin -= 32;
  if (optin <= -300) return 0;
  const int x = optin;
  ResetDraw();
  SetCol(0, 0, 0, 0.8f);
  DrawRect(static_cast<float>(x), 20, 280, 140);
  DrawCount[kDrawSprites] = 0;
  DrawCount[kDrawGlow] = 0;
  SetCol(255, 255, 255, 1);
  SetImageFont(Fonts[2]);
  Text(x + 20, 40, "Settings");
  const bool overApply = Mousein(x + 20, 100, 120, 40) == 1;
  SetCol(overApply ? 255 : 180, overApply ? 255 : 180, 0, 1);
  Text(x + 20, 110, "Apply");
  if (overApply && mh1 > 0) {
    mh1 = 0;
    OptionScreen = 0;
    SaveIni();
    ChangeRes();
  }
  ResetDraw();
  return 0;
}

int PauseMe() {
  while (KeyDown(KEY_ESCAPE)) Delay(5);
  FlushKeys();
  int answer = 0;
  while (answer == 0) {
    CLS3d(1);
    AddGradient();
    SetImageFont(Fonts[2]);
    SetCol(255, 255, 255, 1);
    Text(JScrw / 2, JScrh / 2 - 40, GameName, 1, 1);
    Text(JScrw / 2, JScrh / 2 + 10, "Paused", 1, 1);
    Text(JScrw / 2, JScrh / 2 + 60, "Return: Continue    Q: Quit", 1, 1);
    if (KeyHit(KEY_RETURN) || KeyHit(KEY_ESCAPE)) answer = 1;
    if (KeyHit('Q')) answer = 99;
    fps(UseFPS, 1, 1);
  }
  SeedRnd(MilliSecs());
  while (KeyDown(KEY_ESCAPE)) Delay(5);
  return answer;
}
