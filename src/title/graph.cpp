// The local score screen: the ranked table of one selection.
#include "title/graph.h"

#include <algorithm>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "scores/scores.h"

std::shared_ptr<Scores> ThisIsHigh;
std::shared_ptr<Scores> drawscore;
int HoldMe = 0;
int fscroll = 0;

int Graph(int x0, int width, int mode, int level, int flags, int draw) {
  std::vector<std::shared_ptr<Scores>> table;
  for (const auto& r : Highscores)
    if (r->Level == level && r->GameMode == mode && r->GameFlags == flags) table.push_back(r);
  // Highscores runs newest first, so a stable sort keeps the newer of two
  // equal scores above the older.
  std::stable_sort(table.begin(), table.end(),
                   [](const auto& a, const auto& b) { return a->Score > b->Score; });
  for (auto& h : HighTable) h.reset();
  const int ranked = std::min<int>(25, static_cast<int>(table.size()));
  for (int i = 0; i < ranked; ++i) HighTable[i + 1] = table[i];
  if (mode >= 0 && ranked > 0) ThisIsHigh = HighTable[1];
  SetImageFont(Fonts[3]);
  if (draw != 0) {
    drawscore.reset();
    SetCol(0, 0, 0, 0.5f);
    DrawRect(static_cast<float>(x0 + 10), static_cast<float>(JScrh - 589 - 17 * 25 + 17),
             static_cast<float>(width - 20), 17.0f * 25 + 10);
    SetCol(255, 255, 255, 1);
    for (int i = 1; i <= ranked; ++i) {
      const int y = JScrh - 589 - 17 * (25 - i);
      Text(x0 + 20, y, std::to_string(i) + ". " + HighTable[i]->Name);
      Text(x0 + width - 20, y, std::to_string(HighTable[i]->Score), 2, 0);
    }
  }
  return ranked > 0 ? static_cast<int>(HighTable[1]->Score) : 0;
}
