// The start prompt, the game it launches, and the difficulty list.
#include <algorithm>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "music/music.h"
#include "online/online.h"
#include "title/graph.h"
#include "title/options.h"
#include "title/title.h"

namespace {

// The start controls a player's scan tests, in order.
constexpr int kStartControls[8] = {10, 11, 12, 13, 0, 8, 3, 5};
// The keys that choose a tab; with the left button they hold ClickLatch.
constexpr int kTabKeys[6] = {'1', '2', '3', KEY_F1, KEY_F1 + 1, KEY_F1 + 2};

bool StartAllowed() { return StartHeld == 1 && StartLatch == 0 && optin < -250 && intextedit == 0; }

// One whole game, then the title screen armed for the player's return.
void LaunchGame(bool movePointer) {
  PlaySFX(98, 1.5f, 1.0f, 0.0f);
  // The title's song yields to the game's own tune (its next pattern would
  // also reseed the random numbers the game plays by): every music channel,
  // slot 1 among them, is stopped and emptied.
  Zumo_Stop();
  InGame = 1;
  if (movePointer) MoveVirtualMouse(static_cast<float>(JScrw), static_cast<float>(JScrh));
  GameStart = MilliSecs();
  PlayGame();
  InGame = 0;
  TitleSongAsked = 0;  // a new song for the title screen
  EscapeLatch = 1;
  StartLatch = 1;
  SlideIn = 0;
  fscroll = 0;
  HoldMe = 0;
}

bool UpOrDownHeld() {
  return PlayKey(0, 1) || PlayKey(0, 2) || PlayKey(8, 1) || PlayKey(8, 2);
}

// The prompt's height: 800 below the screen's middle, risen 25 per step of
// the panel's slide.
int PromptY() { return JScrh / 2 + 800 - 25 * SlideIn; }

}  // namespace

void StartPrompt() {
  const int cx = (JScrw - PanelW) / 2;
  int cy = PromptY();
  if (MouseInput == 0) {
    SetCol(255, 255, 255, 1.0f);
    SetImageFont(Fonts[7]);
    Text(cx, cy, "Press Start (" + KeyName(KeyV[10]) + ") To Begin", 1, 1);
    if (StartAllowed()) LaunchGame(true);
    StartHeld = 0;
    for (int n = 1; n <= 4; ++n) {
      for (int c : kStartControls) {
        if (PlayKey(c, n)) {
          StartHeld = 1;
          break;
        }
      }
    }
    if (StartHeld == 0) StartLatch = 0;
    return;
  }
  if (MouseInput != 1) return;
  SetCol(255, 150, 150, 1);
  if (Mousein(cx - 200, cy - 40, 400, 80) == 1) {
    SetCol(255, 255, 255, 1);
    if (StartAllowed()) {
      LaunchGame(false);
      // Back from the game the label starts below the screen, to rise with
      // the panel's slide, rather than flash once at the centre.
      cy = PromptY();
    }
  }
  SetImageFont(Fonts[7]);
  Text(cx, cy, "Click Here to Start", 1, 1);
  StartHeld = MouseDown(1) ? 1 : 0;
  // An up or down control held since its step keeps the latch too, so that
  // a held arrow steps the difficulty once.
  if (StartHeld == 0 && !UpOrDownHeld()) StartLatch = 0;
}

void DifficultyList() {
  static const char* const kLabels[3] = {"Easy", "Medium", "Hard"};
  UseFont(2, 6);
  const int x = (JScrw - PanelW) / 2 - 100;
  // 50 apart, or a line height where the font is taller.
  const int pitch = std::max(50, TextHeight("Ay"));
  for (int item = 0; item < 3; ++item) {
    const int y = JScrh / 2 + 200 + pitch * item - (800 - 25 * SlideIn);
    SetCol(255, 255, 255, 0.5f);
    if (GameMode == item) SetAlpha(1);
    Text(x, y, kLabels[item], 0, 0);
    if (Mousein(x, y, 200, 40) == 1 && MouseDown(1) && ClickLatch == 0) {
      GameMode = item;
      PlaySFX(98, 1.0f, 1.0f, 0.0f);
      ClickLatch = 1;
    }
  }
  if (StartLatch == 0 && (PlayKey(0, 1) || PlayKey(0, 2)) && intextedit == 0) {
    StartLatch = 1;
    GameMode -= 1;
    PlaySFX(98, 0.95f, 1.0f, 0.0f);
    if (GameMode == -1) GameMode = 2;
  }
  if (StartLatch == 0 && (PlayKey(8, 1) || PlayKey(8, 2)) && intextedit == 0) {
    StartLatch = 1;
    GameMode += 1;
    PlaySFX(98, 1.05f, 1.0f, 0.0f);
    if (GameMode == 3) GameMode = 0;
  }
  bool anyDown = MouseDown(1) != 0;
  for (int k = 0; k < 6 && !anyDown; ++k) anyDown = KeyDown(kTabKeys[k]) != 0;
  if (!anyDown) ClickLatch = 0;
}
