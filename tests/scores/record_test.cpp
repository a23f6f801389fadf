// Score record ordering and the list operations that rely on it.
#include <gtest/gtest.h>

#include <vector>

#include "scores/scores.h"

namespace {

std::shared_ptr<Scores> Make(int64_t stamp, int64_t score = 0) {
  auto r = std::make_shared<Scores>();
  r->Timestamp = stamp;
  r->Score = score;
  return r;
}

TEST(ScoresRecord, NewRecordDefaults) {
  Scores r;
  EXPECT_EQ(r.Score, 0);
  EXPECT_EQ(r.Timestamp, 0);
  EXPECT_EQ(r.Name, "");
  EXPECT_EQ(r.Best.size(), 31u);
  for (int v : r.Best) EXPECT_EQ(v, 0);
  EXPECT_EQ(r.Badges | r.Level | r.GameMode | r.GameFlags | r.Quit, 0);
}

TEST(ScoresRecord, CompareIsLow32BitsOfStampDifference) {
  struct Case {
    int64_t mine, other;
    int expected;
  };
  const Case cases[] = {
      {5, 9, 4},
      {9, 5, -4},
      {7, 7, 0},
      {0, int64_t{1} << 32, 0},                      // whole multiple of 2^32
      {0, (int64_t{1} << 31) + 1, -2147483647},      // sign comes out reversed
      {0, 65150057039, 725547599},                   // a stamp of 2026 sorts after 0
      {INT64_MIN, INT64_MAX, -1},                    // wraps, no overflow trap
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Make(c.mine)->Compare(*Make(c.other)), c.expected) << c.mine << " " << c.other;
  }
  const auto r = Make(3);
  EXPECT_EQ(r->Compare(*r), 0);
  EXPECT_EQ(r->Compare(static_cast<const Scores*>(nullptr)), 1);
}

TEST(ScoresList, SortsNewestFirstAndStable) {
  TList<Scores> list;
  const auto a = Make(5, 1), b = Make(9, 2), c = Make(7, 3), d = Make(9, 4);
  for (const auto& r : {a, b, c, d}) ListAddLast(list, r);
  SortList(list);
  std::vector<int64_t> order;
  for (const auto& r : list) order.push_back(r->Score);
  EXPECT_EQ(order, (std::vector<int64_t>{2, 4, 3, 1}));
  // Removal takes the first record with an equal stamp, which need not be
  // the one named.
  ListRemove(list, *d);
  order.clear();
  for (const auto& r : list) order.push_back(r->Score);
  EXPECT_EQ(order, (std::vector<int64_t>{4, 3, 1}));
}

TEST(ScoreLists, ScoreListsSortNewestFirstAndRemoveTheFirstEqual) {
  ClearList(Highscores);
  ClearList(AltScores);
  auto a = Make(100, 1), b = Make(300, 2), c = Make(200, 3), d = Make(300, 4), e = Make(100, 5);
  for (auto& s : {a, b, c, d, e}) ListAddLast(Highscores, s);
  SortList(Highscores);
  std::vector<int64_t> order;
  for (auto& s : Highscores) order.push_back(s->Score);
  EXPECT_EQ(order, (std::vector<int64_t>{2, 4, 3, 1, 5}));  // equal stamps keep their order

  // Removing d takes b, the first record with the same stamp.
  ListRemove(Highscores, *d);
  order.clear();
  for (auto& s : Highscores) order.push_back(s->Score);
  EXPECT_EQ(order, (std::vector<int64_t>{4, 3, 1, 5}));
  ListRemove(Highscores, *Make(999, 0));  // nothing equal: no change
  EXPECT_EQ(Highscores.Count(), 4u);

  // Removing during a walk goes on with the next record.
  int visited = 0;
  Highscores.ForEach([&](const std::shared_ptr<Scores>& s) {
    visited++;
    if (s->Score == 3) ListRemove(Highscores, *s);
  });
  EXPECT_EQ(visited, 4);
  EXPECT_EQ(Highscores.Count(), 3u);
  EXPECT_TRUE(AltScores.IsEmpty());
}

}  // namespace
