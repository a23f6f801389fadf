// The settings panel that Tab slides down over any screen (display, frame
// mode, control bindings, audio driver, volumes, joysticks), its widgets,
// and the pause screen of a game.
#include "title/options.h"

#include <algorithm>
#include <cmath>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"

int optin = -300;

namespace {

bool gApplying = false;  // a display change started by Apply is under way
// Presses of Right or Up, and of Left or Down, of this frame: the
// Resolution row's steps while it is hovered.
int gStepsForward = 0, gStepsBack = 0;

void UseNamedFont(int element) { SetImageFont(Fonts[element]); }

// The panel's rows: the line height of its font, and half the distance
// between the two lines of a two-line caption, which meet at the icon's
// middle (8 where the font is small enough).
int RowHeight() { return TextHeight("Ay"); }
int CaptionHalf() { return std::max(8, (RowHeight() + 1) / 2); }
// Where a two-line caption of a button at `top` begins and ends.
int CaptionTop(int top) { return top + 16 - CaptionHalf() - RowHeight() / 2; }
int CaptionBottom(int top) { return top + 16 + CaptionHalf() + RowHeight() - RowHeight() / 2; }

// One step along the display-mode list; a list without modes changes nothing.
void StepMode(int step) {
  if (MostResses < 1) return;
  int index = Options[kOptModeIndex] + step;
  if (index > MostResses) index = 1;
  if (index < 1) index = MostResses;
  if (ResolutionW[index] <= 0 || ResolutionH[index] <= 0) return;
  Options[kOptModeIndex] = index;
  Options[kOptWidth] = ResolutionW[index];
  Options[kOptHeight] = ResolutionH[index];
}

void GraphicsColumn() {
  SetCol(80, 255, 80, 1);
  Text(20, optin + 4, "Graphics", 0, 0);
  OptionButton(kOptFullscreen, 20, 30, 13, {"Windowed", "Fullscreen", "", "", "", ""});

  // The Resolution row: its button shows the widescreen flag and leaves it.
  const bool overButton = OptionButton(kOptWidescreen, 20, 70, 11, {"Resolution", "", "", "", "", ""}, false) == 1;
  if (overButton || Mousein(20, optin + 70, 200, 70) == 1) {
    if (gStepsForward != 0 || mh1 != 0) StepMode(1);
    if (gStepsBack != 0 || mh2 != 0) StepMode(-1);
  }
  SetSize(1);
  Text(20, optin + 108, std::to_string(Options[kOptWidth]) + "x" + std::to_string(Options[kOptHeight]), 0, 0);
  const int h = Options[kOptHeight];
  if (h < 900) SetCol(255, 180, 80, 1);
  else if (h <= 960) SetCol(255, 255, 80, 1);
  else SetCol(180, 255, 80, 1);
  // Each row below the size starts where the one above it ends, where the
  // font is too tall for the rows' own places.
  const int qualityY = std::max(128, 108 + RowHeight());
  Text(80, optin + qualityY, h < 900 ? "Small (Bit blurry)" : h <= 960 ? "Native (Crisp, Clear)" : "Bigger! (High-Definition!)",
       0, 0);

  SetCol(80, 255, 80, 1);
  const int frameY = std::max(146, qualityY + RowHeight() - CaptionTop(0));
  OptionButton(kOptFrameSkip, 20, frameY, 18, {"Draw all Frames|Decent System", "Frameskip|Slow System", "", "", "", ""});

  SetSize(1);
  SetCol(0, 120, 0, 0.5f);
  const int w = TextWidth("Apply") + 4, hh = TextHeight("Apply") + 4;
  if (Mousein(18, optin + 258, w, hh) == 1) {
    DrawRect(18, static_cast<float>(optin + 258), static_cast<float>(w), static_cast<float>(hh));
    // Not again while the display change it started runs its own frames.
    if (mh1 != 0 && !gApplying) {
      mh1 = 0;
      OptionScreen = 0;
      SaveIni();
      gApplying = true;
      ChangeRes();
      gApplying = false;
      // The fonts of the closed display are gone: take the new ones.
      UseNamedFont(2);
    }
  }
  SetCol(80, 255, 80, 1);
  Text(20, optin + 260, "Apply", 0, 0);
}

void ControlGrid() {
  const int players = std::clamp(AvailablePlayers, 0, 5);
  int bx = 250, by = optin + 10;
  for (int p = 1; p <= players; ++p) {
    if (MouseInput == 0) {
      const int base = (p - 1) * 20;
      SetCol(80, 255, 80);
      ControlButton(base + 0, bx + 50, by);
      ControlButton(base + 3, bx, by + 50);
      ControlButton(base + 5, bx + 100, by + 50);
      ControlButton(base + 8, bx + 50, by + 50);
      SetCol(255, 255, 80);
      ControlButton(base + 13, bx + 190, by);
      SetCol(80, 80, 255);
      ControlButton(base + 12, bx + 155, by + 30);
      SetCol(255, 80, 80);
      ControlButton(base + 11, bx + 225, by + 30);
      SetCol(80, 255, 80);
      ControlButton(base + 10, bx + 190, by + 60);
    }
    by += 150;
    if (p == 2) {
      by = optin + 10;
      bx += 400;
    }
  }
}

void AudioColumn() {
  const int x = JScrw - 280, y0 = optin + 10;
  // The driver chosen here is only noted: start-up starts it next time, and
  // what plays now goes on playing.
  OptionButton(kOptAudioDriver, x, 20, 24, {"AUDIO", "", "", "", "", ""});
  SetSize(1);
  SetCol(255, 180, 180, 1);
  // Each part of the column starts below the one above it where the font is
  // too tall for their own places: the note under the driver's caption, the
  // sliders' tracks (12 above and below their middle) under the note, the
  // pads under the last slider's label.
  const int noteY = std::max(y0 + 40, CaptionBottom(optin + 20));
  Text(x, noteY, "Changes require a Restart", 0, 0);
  const int slidersY = std::max(y0 + 60, noteY + RowHeight() + 12);
  const struct {
    int slot;
    const char* label;
  } sliders[3] = {{kOptMaster, "Master Volume"}, {kOptSound, "Sounds"}, {kOptMusic, "Music"}};
  for (int k = 0; k < 3; ++k) {
    int v = OptionSlider(Options[sliders[k].slot], x, slidersY + 50 * k, sliders[k].label);
    if (v < 6) v = 0;
    if (v > 94) v = 100;
    Options[sliders[k].slot] = v;
  }
  const int pads = std::clamp(StickCount, 0, 4);
  for (int n = 1; n <= pads; ++n) {
    const int y = std::max(y0 + 220, slidersY + 120 + RowHeight()) + std::max(15, RowHeight()) * (n - 1);
    SetCol(80, 255, 80, 1);
    if (JoyDown(0, n - 1)) SetCol(255, 255, 80, 1);
    if (StickOn[n] == 0) SetAlpha(0.2f);
    if (Mousein(x, y, TextWidth(Stick[n]), 14) == 1 && mh1 != 0) {
      mh1 = 0;
      StickOn[n] = 1 - StickOn[n];
    }
    Text(x, y, Stick[n], 0, 0);
  }
}

}  // namespace

int OptionButton(int slot, int x, int y, int firstIcon, std::array<std::string, 6> captions, bool write) {
  if (captions[0] == "AUDIO") {
    for (size_t k = 0; k < 6 && k < AuxDrivers.size(); ++k) captions[k] = "Audio Driver|" + AuxDrivers[k];
  }
  const int v = Options[slot];
  std::string shown = captions[0];
  int count = 1;
  for (int k = 2; k <= 6; ++k) {
    if (captions[k - 1].empty()) continue;
    count = k;
    if (v == k - 1) shown = captions[k - 1];
  }
  SetSize(1);
  UseNamedFont(2);
  std::string firstLine = shown;
  const int top = y + optin;
  if (shown.find('|') == std::string::npos) {
    Text(x + 38, top + 16, shown, 0, 1);
  } else {
    firstLine = SplitText(shown, "|", 1, 0);
    const std::string second = SplitText(shown, "|", 2, 0);
    Text(x + 38, top + 16 - CaptionHalf(), firstLine, 0, 1);
    Text(x + 38, top + 16 + CaptionHalf(), second.substr(0, second.find('|')), 0, 1);
  }
  const bool over = Mousein(x, top, TextWidth(firstLine) + 38, 32) == 1;
  SetSize(2);
  const int cell = std::clamp(firstIcon + v, 0, 63);
  if (over) GlowImage(CommonIcons, x, top, cell, CommonIconsF, 1.1f, 0.8f);
  else drawimg(CommonIcons, x, top, cell, kDrawSprites);
  if (over && mh1 != 0 && write) Options[slot] = ((v % count) + count + 1) % count;
  return over ? 1 : 0;
}

int OptionSlider(int value, int x, int y, const std::string& label) {
  const int knob = x + value - 9;
  SetCol(80, 255, 80);
  SetSize(3.1f, 1.5f);
  drawimg(CommonIcons, x - 2, y, 21, kDrawSprites);
  drawimg(CommonIcons, x + 48, y, 22, kDrawSprites);
  SetCol(255, 80, 80);
  SetSize(1, 1.5f);
  drawimg(CommonIcons, knob, y, 23, kDrawSprites);
  SetCol(80, 180, 255);
  if (Mousein(x - 2, y - 4, 100, 24) == 1 && ClaimedMouseDown(1)) value = mx - (x - 2);
  SetSize(1, 1);
  Text(x, y + 20, label + " : " + std::to_string(value), 0, 0);
  return value;
}

int ControlButton(int slot, int x, int y) {
  if (slot < 0 || slot > 100) return 0;
  const int entry = KeyV[slot];
  int lit = 0;
  if (Mousein(x, y, 48, 48) == 1 && optin >= 0) {
    lit = 1;
    const int g = GetKey();
    if (g > 8) KeyV[slot] = g;
    if (g == 8) KeyV[slot] = 0;
  }
  if (key(KeyV[slot])) lit = 1;
  int frame = -1;
  bool atCorner = false;
  if (entry == 0 || (entry >= 9 && entry <= 254)) {
    frame = 3;
  } else if (entry >= 300) {
    const int sub = entry % 50;
    if (sub <= 11) {
      frame = 9;
      atCorner = true;
    } else if (sub >= 20 && sub <= 29) {
      frame = 8;
      atCorner = true;
    } else if (sub >= 30) {
      frame = 10;
    }
  }
  if (frame < 0) return 0;
  SetSize(3);
  GlowImg(CommonIcons, x, y, frame, CommonIconsF, 1.1f, static_cast<float>(lit));
  SetSize(1);
  const std::string text = entry == 0 ? "?!" : KeyName(KeyV[slot]);
  if (atCorner) Text(x, y, text, 1, 1);
  else Text(x + 24, y + 24, text, 1, 1);
  return 0;
}

int Option() {
  // Only the presses made on the band the panel showed are its own.
  mh1 = ClaimedMouseHit(1);
  mh2 = ClaimedMouseHit(2);
  // The arrows' presses are taken on every call too, like the clicks: the
  // Resolution row steps on those of the frame it is hovered in, never on
  // ones made earlier for the difficulty list or the pause menu.
  gStepsForward = KeyHit(KEY_RIGHT) + KeyHit(KEY_UP);
  gStepsBack = KeyHit(KEY_LEFT) + KeyHit(KEY_DOWN);
  if (OptionScreen == 1 && optin < 0) optin += 32;
  if (OptionScreen == 0 && optin > -300) optin -= 32;
  if (optin <= -300) {
    ClaimMouseButtons(0, 0, 0, 0);
    return 0;
  }
  // While the band shows, a press on it is the panel's alone: the tabs, the
  // menus and the hero under it see the button up.
  ClaimMouseButtons(0, 0, static_cast<float>(JScrw), static_cast<float>(optin + 300));
  UseNamedFont(2);
  ResetDraw();
  Blend(2);
  SetCol(40, 40, 40, 0.8f);
  DrawRect(0, 0, static_cast<float>(JScrw), static_cast<float>(optin + 300));
  Blend(1);
  SetCol(80, 80, 80, 0.4f);
  DrawRect(0, 0, static_cast<float>(JScrw), static_cast<float>(optin + 298));
  SetCol(180, 255, 180, 1);
  DrawRect(0, static_cast<float>(optin + 298), static_cast<float>(JScrw), 2);
  DrawCount[kDrawSprites] = 0;
  DrawCount[kDrawGlow] = 0;
  // The band's widgets follow the pointer over the band; nothing else does.
  const int wasClaimant = MouseClaimant;
  MouseClaimant = 1;
  GraphicsColumn();
  ControlGrid();
  AudioColumn();
  MouseClaimant = wasClaimant;
  return 0;
}

// ---------------------------------------------------------------------------
// Pause screen
// ---------------------------------------------------------------------------
namespace {

// Polls until Escape is up, sleeping between polls; a close request ends
// the program as it would from any frame.
void WaitForEscapeUp() {
  while (KeyDown(KEY_ESCAPE)) {
    if (AppTerminate()) Finish();
    Delay(1);
  }
}

bool AnyPlayer(int control) {
  for (int p = 1; p <= 4; ++p)
    if (PlayKey(control, p)) return true;
  return false;
}

void NameTexts(int from, int to, float spin) {
  for (int k = from; k <= to; ++k) {
    SetRot(spin + 2.0f * static_cast<float>(k));
    const int b = Rand(1, 5) * 50, g = Rand(1, 5) * 50, r = Rand(1, 5) * 50;
    SetCol(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), 0.4f);
    const int y = Rand(0, JScrh), x = Rand(0, JScrw);
    Text(x, y, GameName, 1, 1);
  }
}

}  // namespace

PauseScreen::PauseScreen() : display(DisplayChanges) {
  backdrop = CreateImage(MyScrw, MyScrh, 1, 8);
  if (backdrop) GrabImage(backdrop, 0, 0, 0);
}

int PauseScreen::Frame() {
  int answer = 0;
  CLS3d(1);
  ResetDraw();
  Blend(1);
  phase += 0.4f;
  const float sx = std::sin(phase * static_cast<float>(M_PI) / 180.0f) * 0.5f + 1.5f;
  const float sy = std::sin(1.3f * phase * static_cast<float>(M_PI) / 180.0f) * 0.5f + 1.5f;
  SetSize(sx, sy);
  spin += 0.1f;
  SetRot(spin);
  SetImageFont(Fonts[7]);
  // A display change while paused closes the display the copy was taken from.
  if (display != DisplayChanges) backdrop.reset();
  if (backdrop) DrawImage(backdrop, static_cast<float>(JScrw / 2), static_cast<float>(JScrh / 2), 0);
  SeedRnd(37171650);
  NameTexts(1, 140, spin);
  SetRot(0);
  SetSize(1);
  SetCol(0, 0, 0, 0.5f);
  DrawRect(JScrw * 0.1f, JScrh * 0.375f, static_cast<float>(JScrw / 6), static_cast<float>(JScrh / 4));

  const bool up = AnyPlayer(0) || KeyDown(KEY_UP);
  const bool down = AnyPlayer(8) || KeyDown(KEY_DOWN);
  const bool select = AnyPlayer(10) || AnyPlayer(11) || KeyDown(KEY_SPACE);
  if (up && latch == 0) {
    selection -= 1;
    latch = 1;
  }
  if (down && latch == 0) {
    selection += 1;
    latch = 1;
  }
  if (!up && !down && !select) latch = 0;

  int row = static_cast<int>(JScrh * 0.375f);
  if (selection < 0) selection = 1;
  const struct {
    const char* text;
    int answer;
  } items[2] = {{"Continue", 1}, {"Quit", 99}};
  for (int i = 0; i < 2; ++i) {
    int indent = 0;
    row += 60;
    SetCol(255, 255, 255, 1);
    if (selection == i) {
      SetCol(255, 255, 0, 1);
      indent = 20;
      if (select && latch == 0) {
        latch = 1;
        answer = items[i].answer;
      }
    }
    Text(static_cast<int>(JScrw * 0.1f + static_cast<float>(indent) + 10), row, items[i].text, 0, 0);
  }
  if (selection > 1) selection = 0;
  SetSize(sx, sy);
  NameTexts(141, 180, spin);
  fps(UseFPS, 1, 1);
  if (KeyDown(KEY_ESCAPE)) answer = selection == 1 ? 99 : 1;
  return answer;
}

int PauseMe() {
  WaitForEscapeUp();
  int answer = 0;
  {
    PauseScreen pause;
    while (answer == 0) answer = pause.Frame();
  }
  SeedRnd(MilliSecs());
  WaitForEscapeUp();
  return answer;
}
