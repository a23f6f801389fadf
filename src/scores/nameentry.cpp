// Name entry: one frame of line editing, and the "Enter Your Name" screen.
#include <algorithm>
#include <string>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "scores/scores.h"

std::string Inputter(const std::string& text, int maxLength) {
  std::string t = text;
  const int c = GetChar();
  // "|" separates the fields of the score file and of the score server's
  // texts; codes above 255 cannot be stored (GetChar never hands them out).
  if (c > 31 && c <= 255 && c != '|' &&
      (maxLength <= 0 || static_cast<int>(t.size()) < maxLength)) {
    t.push_back(static_cast<char>(c));
  }
  if (KeyHit(KEY_BACKSPACE) != 0 && !t.empty()) t.pop_back();
  return t;
}

std::string CleanPlayerName(const std::string& name) {
  // The score file marks where a line's best values begin with a fixed
  // token; a name holding it would make that line unreadable.
  std::string clean = name;
  for (size_t at; (at = clean.find(ScoreLineToken)) != std::string::npos;) {
    clean.erase(at, ScoreLineToken.size());
  }
  return clean;
}

namespace {

// Polls until Escape, the left button and Return are all up.
void WaitForRelease() {
  while (KeyDown(KEY_ESCAPE) || MouseDown(1) || KeyDown(KEY_RETURN)) Delay(1);
}

}  // namespace

int GetPlayerName() {
  bool done = false;
  FlushKeys();
  WaitForRelease();
  while (!done) {
    Cls();
    AddGradient();
    MyName = Inputter(MyName, kMaxNameLength);
    SetCol(0, 255, 0);
    // A name too wide for the screen is drawn smaller, and the heading
    // rises where the name's letters would reach it.
    SetImageFont(Fonts[5]);
    const std::string cursor = MMillisecs() % 600 < 300 ? "_" : " ";
    const int wide = TextWidth(MyName + "_");
    const float scale = wide > JScrw - 80 ? static_cast<float>(JScrw - 80) / static_cast<float>(wide) : 1.0f;
    const int nameTop = JScrh / 2 - static_cast<int>(static_cast<float>(TextHeight(MyName)) * scale) / 2;
    const int nameLeft = JScrw / 2 - static_cast<int>(static_cast<float>(TextWidth(MyName)) * scale) / 2;
    SetImageFont(Fonts[6]);
    const int heading = TextHeight("Enter Your Name");
    Text(JScrw / 2, std::min(JScrh / 2 - 100, nameTop - (heading - heading / 2)), "Enter Your Name", 1, 1);
    SetImageFont(Fonts[5]);
    SetScale(scale, scale);
    Text(nameLeft, nameTop, MyName + cursor, 0, 0);
    SetScale(1, 1);
    // All three are asked every frame, in this order.
    const bool returnHit = KeyHit(KEY_RETURN) != 0;
    const bool clicked = MouseDown(1) != 0;
    const bool escape = KeyDown(KEY_ESCAPE) != 0;
    if (returnHit || clicked || escape) done = true;
    fps(UseFPS, 0, 1);
  }
  MyName = CleanPlayerName(MyName);
  SeedRnd(MilliSecs());
  WaitForRelease();
  return 0;
}
