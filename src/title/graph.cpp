// The score screen: selection of the 25 best, the history graph with its
// pruning, the scroll zones and table rows, and the detail panel.
#include "title/graph.h"

#include <algorithm>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "scores/scores.h"

std::shared_ptr<Scores> drawscore;
int HoldMe = 0;
int fscroll = 0;

namespace {

constexpr int kRows = 25;
constexpr int kKeepNewest = 50;
constexpr int kGraphHeight = 150;
constexpr int kRowPitch = 17;
// The scores end this far inside the panel's right edge, so that their last
// digit lies on the panel whole at every display size (a display pixel is
// up to 2.5 units of the virtual screen).
constexpr int kScoreInset = 6;

// Height of a score's point, 0..150, from a best score of at least 1.
// The product is taken in 128 bits, so no score overflows it.
int PointHeight(int64_t score, int64_t best) {
  const __int128 h = static_cast<__int128>(score) * kGraphHeight / best;
  return static_cast<int>(std::clamp<__int128>(h, 0, kGraphHeight));
}

// The selection: HighTable[1..25] from the list, newest first, so that of
// two equal scores the newer keeps the higher place.
int64_t Select(TList<Scores>& list, int mode, int level, int flags) {
  for (int k = 1; k <= kRows; ++k) HighTable[k].reset();
  const int count = BestOfTable(list, mode, level, flags, &HighTable[1], kRows);
  return std::max<int64_t>(count > 0 ? HighTable[1]->Score : 0, 1);
}

bool Listed(const std::shared_ptr<Scores>& r) {
  for (int k = 1; k <= kRows; ++k)
    if (HighTable[k] == r) return true;
  return false;
}

// The history graph, newest column at the right; prunes as it walks.
void HistoryGraph(TList<Scores>& list, int x0, int width, int mode, int level, int flags, int64_t best) {
  const int baseY = JScrh - 10;
  const int top = baseY - kGraphHeight;
  SetSize(1);
  ResetDraw();
  SetLineWidth(1);  // not the width a game left behind
  SetCol(0, 0, 0, 0.6f);
  DrawRect(static_cast<float>(x0 + 7), static_cast<float>(baseY - (kRows * kRowPitch + kGraphHeight)),
           static_cast<float>(width + 2), static_cast<float>(kRows * kRowPitch + kGraphHeight));
  SetCol(0, 0, 80, 1);
  DrawLine(static_cast<float>(x0 + 7), static_cast<float>(top), static_cast<float>(JScrw - 8), static_cast<float>(top));
  drawscore.reset();
  int n = 0;
  int columnX = JScrw - 24 + fscroll;
  int prevX = 0, prevY = 0;
  bool havePrev = false;
  list.ForEach([&](const std::shared_ptr<Scores>& r) {
    High = r;
    if (!InTable(*r, mode, level, flags)) return;
    ++n;
    if (n == HoldMe && !drawscore) drawscore = r;
    const bool prune = n > kKeepNewest && !Listed(r);
    if (columnX > x0 + 1) {
      const int h = PointHeight(r->Score, best);
      const int y = baseY - h;
      SetCol(static_cast<float>(255 - h), 255, 80, 1);
      drawimg(CommonIconsF, columnX - 8, y - 8, 7, kDrawSprites);
      SetCol(255, static_cast<float>(h + 80), 80, 1);
      if (havePrev) DrawLine(static_cast<float>(columnX), static_cast<float>(y), static_cast<float>(prevX),
                             static_cast<float>(prevY));
      SetCol(0, 0, 0, 0.3f);
      DrawLine(static_cast<float>(columnX - 9), static_cast<float>(top), static_cast<float>(columnX - 9),
               static_cast<float>(baseY - 1));
      prevX = columnX;
      prevY = y;
      havePrev = true;
      if (Mousein(columnX - 9, top, 19, kGraphHeight) == 1) {
        drawscore = r;
        if (MouseDown(1)) HoldMe = n;
      }
      if (drawscore == r) {
        SetCol(255, 255, 255, 0.3f);
        DrawRect(static_cast<float>(columnX - 9), static_cast<float>(top), 19, kGraphHeight);
      }
      columnX -= 18;
    }
    if (prune) {
      // This very record: another with the same time stamp stays.
      list.RemoveLink(r);
      DebugLog("Deleted " + std::to_string(r->GameMode));
      High.reset();
    }
  });
}

std::string TwelveDigits(int64_t score) { return Right("000000000000" + std::to_string(score), 12); }

// A name left aligned at (x, y), squeezed across where it is wider than
// `room`, so that a long one reads whole in its place.
void NameWithin(int x, int y, const std::string& name, int room, int valign) {
  const int width = TextWidth(name);
  if (width > room && room > 0) SetScale(static_cast<float>(room) / static_cast<float>(width), 1);
  Text(x, y, name, 0, valign);
  SetScale(1, 1);
}

// The rows' font: named font 3, or where that is taller than a row, the
// largest size of the main face that fits one.
void RowFont() {
  SetImageFont(Fonts[3]);
  if (TextHeight("Ay") > kRowPitch) UseFontWithin(1, 3, kRowPitch);
}

// Scroll zones (drawing calls only) and the table rows; answers the best
// score and sets ThisIsHigh.
int64_t Table(int x0, int width, int mode, int draw) {
  const int baseY = JScrh - 10;
  if (draw) {
    if (Mousein(JScrw - (width + 32), baseY - kGraphHeight, 64, kGraphHeight) == 1 && fscroll < 1000) fscroll += 8;
    if (Mousein(JScrw - 32, baseY - kGraphHeight, 62, kGraphHeight) == 1 && fscroll > 0) fscroll -= 8;
  }
  RowFont();
  int64_t result = 0;
  bool first = true;
  for (int k = 1; k <= kRows; ++k) {
    const std::shared_ptr<Scores>& e = HighTable[k];
    if (!e) continue;
    if (first) {
      first = false;
      result = e->Score;
      if (mode >= 0) ThisIsHigh = e;
    }
    if (!draw) continue;
    const int y = baseY - (kRows * kRowPitch + 154) + (k - 1) * kRowPitch;
    if (HoldMe == 1000 + k && !drawscore) drawscore = e;
    SetCol(255, 255, 255, 1);
    if (Mousein(x0 + 9, y, width, 18) == 1) {
      drawscore = e;
      if (MouseDown(1)) HoldMe = 1000 + k;
    }
    const std::string digits = TwelveDigits(e->Score);
    NameWithin(x0 + 9, y, Left(e->Name, 24), width - 16 - kScoreInset - 1 - TextWidth(digits), 0);
    Text(x0 + width - kScoreInset, y, digits, 2, 0);
    if (drawscore == e) {
      SetCol(255, 255, 255, 0.3f);
      DrawRect(static_cast<float>(x0 + 9), static_cast<float>(y), static_cast<float>(width), kRowPitch);
    }
  }
  if (first && mode >= 0) ThisIsHigh.reset();  // no stale entry of another selection
  return result;
}

void DetailPanel(int x0, int width, int mode) {
  if (!drawscore) return;
  High = drawscore;
  const Scores& e = *drawscore;
  const int row1 = JScrh - 10 - (kRows * kRowPitch + 154);
  if (mode < 0) SetCol(125, 180, 125, 1);
  else SetCol(255, 255, 255, 0.6f);
  DrawRect(static_cast<float>(x0 + 3), static_cast<float>(row1 - 140), static_cast<float>(width), 140);
  SetImageFont(Fonts[1]);
  SetCol(80, 80, 0, 1);
  // The name across the panel, the score right under it where the font is
  // too tall for their own rows.
  NameWithin(x0 + 9, row1 - 136, e.Name, width - 12, 0);
  const int nameBottom = row1 - 136 + TextHeight(e.Name);
  SetCol(0, 0, 80, 1);
  Text(x0 + width + 1, std::max(row1 - 115, nameBottom), std::to_string(e.Score), 2, 0);
  SetImageFont(Fonts[4]);
  SetCol(0, 80, 0, 1);
  if (e.Best[30] == 1) Text(x0 + 9, std::max(row1 - 90, nameBottom + TextHeight("Complete!") / 2), "Complete!", 0, 1);
  SetCol(0, 0, 0, 1);
  SetImageFont(Fonts[3]);
  Text(x0 + 9, row1 - 4, StampDate(e.Timestamp) + ", " + StampTime(e.Timestamp), 0, 2);
  SetSize(0.28f);
  SetCol(255, 255, 255, 1);
  const int badges = std::clamp(GameBadges, 0, 16);
  for (int k = 1; k <= badges; ++k) {
    SetAlpha(1);
    if (GetFlag(e.Badges, k) == 1) drawimg(BadgeIcons, x0 + 11 + 20 * (k - 1), row1 - 50, k - 1, kDrawSprites);
  }
  SetSize(1);
}

}  // namespace

int64_t ScoreScreen(TList<Scores>& list, int x0, int width, int mode, int level, int flags, int draw) {
  draw = draw != 0 ? 1 : 0;
  const int64_t best = Select(list, mode, level, flags);
  if (draw) HistoryGraph(list, x0, width, mode, level, flags, best);
  else if (list.Last()) High = list.Last();
  const int64_t result = Table(x0, width, mode, draw);
  if (draw) DetailPanel(x0, width, mode);
  return result;
}

int64_t Graph(int x0, int width, int mode, int level, int flags, int draw) {
  return ScoreScreen(Highscores, x0, width, mode, level, flags, draw);
}
