// On-screen messages (a bar of text at the bottom left, three seconds each)
// and the floating score pop-ups of the game.
#include <algorithm>

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"

int AddComment(const std::string& text, int c) {
  auto message = std::make_shared<ment>();
  message->txt = text;
  message->c = c;
  comments.AddLast(message);
  return 0;
}

int Gimme(int64_t points, int x, int y, int style, int r, int g, int b) {
  if (ScorePaidHook) ScorePaidHook(points);
  auto popup = std::make_shared<ore>();
  popup->n = points;
  popup->x = static_cast<float>(x);
  popup->y = static_cast<float>(y);
  popup->t = 120;
  popup->s = style;
  popup->r = r;
  popup->g = g;
  popup->b = b;
  scoreget.AddLast(popup);
  return 0;
}

int DrawScores() {
  ResetDraw();
  scoreget.ForEach([](const std::shared_ptr<ore>& popup) {
    SetImageFont(Fonts[3]);
    if (popup->s == 2) {
      UseFont(1, 6);
      popup->y -= 0.25f;
    }
    popup->t -= 1;
    popup->y -= 0.25f;
    SetCol(static_cast<float>(popup->r), static_cast<float>(popup->g), static_cast<float>(popup->b),
           static_cast<float>(popup->t) / 120.0f);
    Text(static_cast<int>(popup->x - scrx), static_cast<int>(popup->y - scry), std::to_string(popup->n), 1, 1);
    if (popup->t <= 0) scoreget.RemoveLink(popup);
  });
  return 0;
}

// The message step of the end of frame: ages, draws and expires messages,
// oldest at the bottom. Each takes a row of the font's height, the lowest
// ending at the bottom edge, so every bar and its letters stay whole on the
// screen and clear of the next one.
void DrawComments() {
  SetScale(1, 1);
  SetImageFont(Fonts[3]);
  const int pitch = std::max(TextHeight("Ay"), 14);
  int row = JScrh - std::max(pitch, 16);
  comments.ForEach([&row, pitch](const std::shared_ptr<ment>& message) {
    message->tick += 1;
    const bool fresh = message->tick < 60;
    if (fresh) SetCol(255, 255, 0, 0.7f);
    else SetCol(0, 0, 0, 0.7f);
    DrawRect(0, static_cast<float>(row), static_cast<float>(TextWidth(message->txt)),
             static_cast<float>(TextHeight(message->txt)));
    if (fresh) SetCol(0, 0, 0, 1);
    else SetCol(255, 255, 255, 1);
    Text(0, row, message->txt, 0, 0);
    row -= pitch;
    if (message->tick >= 180) comments.RemoveLink(message);
  });
}
