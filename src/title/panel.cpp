// The side panel with its tab bar, and the settings hint at the top left.
#include <algorithm>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "online/online.h"
#include "title/title.h"

namespace {

struct Tab {
  const char* label;
  float centre, boxLeft;  // fractions of the panel width
  int digit, function;
};
constexpr Tab kTabs[3] = {
    {"1.Hiscore", 0.2f, 0.0f, '1', KEY_F1},
    {"2.Online", 0.5f, 0.33f, '2', KEY_F1 + 1},
    {"3.About", 0.8f, 0.66f, '3', KEY_F1 + 2},
};

}  // namespace

void SidePanel() {
  if (SlideIn < 32) SlideIn++;
  PanelW = MyScrw < 900 ? 415 : 335;
  PanelX = JScrw - (PanelW + 5) + 800 - SlideIn * 25;

  SetCol(0, 0, 0, 0.5f);
  DrawRect(static_cast<float>(PanelX), 5, static_cast<float>(PanelW), static_cast<float>(JScrh - 10));
  SetCol(255, 255, 255, 0.3f);
  DrawRect(static_cast<float>(PanelX), 5, static_cast<float>(PanelW), 35);

  UseFont(1, 2);
  for (int t = 0; t < 3; ++t) {
    SetCol(0, 0, 0, 1);
    if (TitleTab == t) SetCol(255, 255, 255, 1);
    Text(static_cast<int>(PanelX + PanelW * kTabs[t].centre), 23, kTabs[t].label, 1, 1);
  }

  if (intextedit != 0) return;
  for (int t = 0; t < 3; ++t) {
    const int boxX = static_cast<int>(PanelX + PanelW * kTabs[t].boxLeft);
    const int boxW = static_cast<int>(PanelW * 0.3f);
    const bool on = KeyDown(kTabs[t].digit) || KeyDown(kTabs[t].function) ||
                    (Mousein(boxX, 5, boxW, 50) == 1 && MouseDown(1));
    if (on && ClickLatch == 0) {
      TitleTab = t;
      PlaySFX(98, 2.0f, 1.0f, 0.0f);
      ClickLatch = 1;
    }
  }
}

void SettingsHint() {
  ResetDraw();
  SetCol(255, 255, 255, 1);
  UseFont(2, MyScrw < 900 ? 4 : 3);
  if (Options[kOptWidth] == 800 && MMillisecs() % 800 < 400) SetCol(255, 255, 0, 1);
  Text(4, 4, "Hit [Tab] for settings", 0, 0);
  SetCol(180, 255, 180, 1);
  UseFont(2, MyScrw < 900 ? 3 : 2);
  Text(4, 55, "Audio Options", 0, 0);
  Text(4, std::max(75, 55 + TextHeight("Ay")), "and Hi-Def gaming!", 0, 0);
}
