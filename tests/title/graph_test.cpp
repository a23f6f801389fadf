// The local score screen: selection, history graph and pruning, table rows,
// scroll zones and the detail panel, on the headless back end.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "scores/scores.h"
#include "test_support.h"
#include "title/graph.h"
#include "script_time.h"

namespace {

using testsupport::At;

// Input that comes while the program sleeps between two frames: the next
// frame takes it in.
void Arrive(const std::string& events) {
  headless::Script(events);
  headless::Advance(1);
}


class GraphTest : public ::testing::Test {
 protected:
  // The panel at rest on a 1280 x 960 screen.
  static constexpr int kX0 = 940, kW = 335;

  void SetUp() override {
    PlatformInit(BackendKind::Headless);
    CreateStartupTables();
    SetDefaults();
    ResetScoreTables();
    MyScrw = JScrw = 1280;
    MyScrh = JScrh = 960;
    ASSERT_EQ(Graphics(MyScrw, MyScrh, 0, 60), 1);
    SetVirtualResolution(1280, 960);
    AutoMidHandle(1);  // as the shared assets are loaded
    CommonIconsF = LoadAnimImage(PIBBO_RUN_DIR "/Files/Common/icons.png", 16, 16, 0, 64, 3);
    ASSERT_TRUE(CommonIconsF);
    DrawMax[kDrawSprites] = 5000;
    ThisIsHigh.reset();
    drawscore.reset();
    HoldMe = fscroll = 0;
    MoveMouse(10, 10);
  }
  void TearDown() override {
    CommonIconsF = nullptr;
    PlatformShutdown();
  }

  // Records appended newest first: scores[0] is the newest.
  static void Fill(const std::vector<int64_t>& scores, int mode = 0, int64_t stamp0 = 1'000'000) {
    for (size_t i = 0; i < scores.size(); ++i) {
      auto r = std::make_shared<Scores>();
      r->Score = scores[i];
      r->GameMode = mode;
      r->Name = std::string("p").append(std::to_string(i));
      r->Timestamp = stamp0 - static_cast<int64_t>(i);
      Highscores.AddLast(r);
    }
  }
  static std::vector<std::string> TableNames() {
    std::vector<std::string> names;
    for (int k = 1; k <= 25 && HighTable[k]; ++k) names.push_back(HighTable[k]->Name);
    return names;
  }
  // One drawn frame of the screen; answers its draw calls.
  static std::vector<DrawCall> Frame() {
    headless::ClearDrawCalls();
    CLS3d(1);
    Graph(kX0, kW, 0, 0, 0, 1);
    fps(60, 1, 0);
    return headless::LastFrame();
  }
  static std::vector<DrawCall> Of(const std::vector<DrawCall>& calls, DrawCall::Kind kind) {
    std::vector<DrawCall> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out), [&](const DrawCall& c) { return c.kind == kind; });
    return out;
  }
  static void Pointer(int x, int y) {
    Arrive(At(0) + " mouse " + std::to_string(x) + " " + std::to_string(y));
    Frame();  // fps takes the position
  }
};

TEST_F(GraphTest, SelectionRanksTheBestTwentyFiveNewerFirstOnTies) {
  struct Case {
    std::vector<int64_t> scores;  // newest first
    std::vector<std::string> table;
    int64_t result;
  } cases[] = {
      {{}, {}, 0},
      {{0}, {"p0"}, 0},
      {{500, 700, 500}, {"p1", "p0", "p2"}, 700},
      {{INT64_MAX, -5, 3'000'000'000}, {"p0", "p2", "p1"}, INT64_MAX},
  };
  for (const Case& c : cases) {
    Highscores.Clear();
    Fill(c.scores);
    Fill({99999}, 1);  // another difficulty never shows
    EXPECT_EQ(Graph(kX0, kW, 0, 0, 0, 0), c.result);
    EXPECT_EQ(TableNames(), c.table);
    if (c.table.empty()) EXPECT_EQ(ThisIsHigh, nullptr) << "no stale entry of another selection";
    else EXPECT_EQ(ThisIsHigh, HighTable[1]);
  }

  // 30 different scores: the 25 highest, falling; 26 equal: the 25 newest.
  Highscores.Clear();
  std::vector<int64_t> thirty;
  for (int i = 0; i < 30; ++i) thirty.push_back((i * 7919) % 1000);
  Fill(thirty);
  Graph(kX0, kW, 0, 0, 0, 0);
  std::vector<int64_t> expect = thirty;
  std::sort(expect.rbegin(), expect.rend());
  for (int k = 1; k <= 25; ++k) EXPECT_EQ(HighTable[k]->Score, expect[k - 1]);
  Highscores.Clear();
  Fill(std::vector<int64_t>(26, 40));
  Graph(kX0, kW, 0, 0, 0, 0);
  EXPECT_EQ(HighTable[1]->Name, "p0");
  EXPECT_EQ(HighTable[25]->Name, "p24");
  // Online entries (negative modes) never set ThisIsHigh.
  ThisIsHigh.reset();
  Fill({5}, -1);
  Graph(kX0, kW, -1, 0, 0, 0);
  EXPECT_EQ(ThisIsHigh, nullptr);
}

TEST_F(GraphTest, DrawsTheGraphAndTableAtTheirPlaces) {
  for (int records : {0, 1, 25, 80}) {
    Highscores.Clear();
    std::vector<int64_t> scores;
    for (int i = 0; i < records; ++i) scores.push_back(i == 0 ? 299 : 100 + i);
    Fill(scores);
    const auto calls = Frame();
    const auto rects = Of(calls, DrawCall::Rect);
    ASSERT_FALSE(rects.empty());
    // The dark box behind rows and graph; the graph's top line.
    EXPECT_EQ(rects[0].x, kX0 + 7);
    EXPECT_EQ(rects[0].y, 960 - 585);
    EXPECT_EQ(rects[0].x2, kW + 2);
    EXPECT_EQ(rects[0].y2, 575);
    const auto lines = Of(calls, DrawCall::Line);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].y, 800);
    EXPECT_EQ(lines[0].x2, 1272);
    // One dot per column: 18 fit left of the screen edge in this panel.
    const auto dots = Of(calls, DrawCall::Image);
    EXPECT_EQ(static_cast<int>(dots.size()), std::min(records, 18)) << records;
    if (records > 0) {
      EXPECT_EQ(dots[0].frame, 7);
      EXPECT_FLOAT_EQ(dots[0].x, 1280 - 24);  // newest at the right
      EXPECT_FLOAT_EQ(dots[0].y, 950 - 150);  // the best score at the top
      EXPECT_EQ(dots[0].g, 255);
      EXPECT_EQ(dots[0].r, 105);
    }
    // Rows: name left, twelve digits right, 17 px apart from y 371.
    std::vector<DrawCall> texts;
    for (const DrawCall& c : Of(calls, DrawCall::Text))
      if (c.x >= kX0) texts.push_back(c);  // not the end of frame's own
    const int rows = std::min(records, 25);
    ASSERT_EQ(static_cast<int>(texts.size()), 2 * rows) << records;
    for (int k = 1; k <= rows; ++k) {
      EXPECT_EQ(texts[2 * (k - 1)].y, 371 + 17 * (k - 1));
      EXPECT_EQ(texts[2 * (k - 1)].x, kX0 + 9);
      EXPECT_EQ(texts[2 * k - 1].text, Right("000000000000" + std::to_string(HighTable[k]->Score), 12));
    }
  }
  // Heights truncate: 100 and 299 of a best of 299 stand 50 and 150 up.
  Highscores.Clear();
  Fill({299, 100});
  const auto dots = Of(Frame(), DrawCall::Image);
  ASSERT_EQ(dots.size(), 2u);
  EXPECT_FLOAT_EQ(dots[1].y, 950 - 50);
}

// A game leaves its aim line's width set; the graph draws with its own.
TEST_F(GraphTest, TheGraphsLinesAreOnePixelWideAfterAGame) {
  Fill({300, 100, 200});
  SetLineWidth(3);
  const auto lines = Of(Frame(), DrawCall::Line);
  ASSERT_EQ(lines.size(), 1u + 3u + 2u);  // top line, dividers, joining lines
  for (const DrawCall& line : lines) EXPECT_FLOAT_EQ(line.lineWidth, 1.0f);
}

TEST_F(GraphTest, PruningKeepsTheNewestFiftyAndTheBestTwentyFiveByIdentity) {
  // 80 records; the best five are among the oldest 30.
  std::vector<int64_t> scores;
  for (int i = 0; i < 80; ++i) scores.push_back(i >= 70 && i < 75 ? 10'000 + i : 1000 - i);
  Fill(scores);
  // A record of the oldest thirty shares its time stamp with a listed one.
  auto twin = Highscores.First();
  std::vector<std::shared_ptr<Scores>> all(Highscores.begin(), Highscores.end());
  all[60]->Timestamp = all[72]->Timestamp;
  Graph(kX0, kW, 0, 0, 0, 0);
  EXPECT_EQ(Highscores.Count(), 80u) << "nothing is pruned without drawing";
  Frame();
  std::vector<std::string> kept;
  for (const auto& r : Highscores) kept.push_back(r->Name);
  ASSERT_EQ(kept.size(), 50u + 5u);
  EXPECT_EQ(kept[49], "p49");
  EXPECT_EQ(kept[50], "p70");  // the listed one, not its equal-stamped elder
  EXPECT_EQ(kept[54], "p74");
  // The pruned records are gone from the file written at exit.
  Frame();
  EXPECT_EQ(Highscores.Count(), 55u);
}

TEST_F(GraphTest, PointerShowsPinsAndScrolls) {
  Fill({10, 20, 30, 40, 50, 60});
  Highscores.First()->Badges = 0b101;
  Highscores.First()->Best[30] = 1;
  Highscores.First()->Timestamp = StampFromTexts("10 Dec 2026", "12:34:56");
  BadgeIcons = LoadAnimImage(PIBBO_RUN_DIR "/Files/260/badges.png", 64, 64, 0, 16, 3);
  ASSERT_TRUE(BadgeIcons);
  GameBadges = 16;  // as the start-up sets it
  // Row 5 hovered: its entry in the panel and the bar over the row.
  const int row5 = 371 + 17 * 4 + 5;
  Pointer(kX0 + 50, row5);
  auto calls = Frame();
  ASSERT_TRUE(drawscore);
  EXPECT_EQ(drawscore, HighTable[5]);
  const auto texts = Of(calls, DrawCall::Text);
  const auto name = std::find_if(texts.begin(), texts.end(),
                                 [](const DrawCall& c) { return c.y == 371 - 136; });
  ASSERT_NE(name, texts.end());
  EXPECT_EQ(name->text, HighTable[5]->Name);
  EXPECT_EQ(HoldMe, 0);
  // Held: pinned; the pin stays once the pointer leaves.
  Arrive(At(0) + " button 1 down");
  Frame();
  EXPECT_EQ(HoldMe, 1005);
  Arrive(At(0) + " button 1 up");
  Pointer(100, 100);
  Frame();
  EXPECT_EQ(drawscore, HighTable[5]);

  // The newest column: its entry with date, "Complete!" and two badges.
  Pointer(1280 - 24, 900);
  calls = Frame();
  EXPECT_EQ(drawscore, Highscores.First());
  std::vector<std::string> shown;
  for (const DrawCall& c : Of(calls, DrawCall::Text)) shown.push_back(c.text);
  EXPECT_NE(std::find(shown.begin(), shown.end(), "Complete!"), shown.end());
  EXPECT_NE(std::find(shown.begin(), shown.end(), "10-12-2026, 12:34:56"), shown.end());
  int badges = 0;
  for (const DrawCall& c : Of(calls, DrawCall::Image)) badges += c.image.ends_with("badges.png");
  EXPECT_EQ(badges, 2);

  // The zone at the graph's left end scrolls toward older entries, the
  // one at the right end back; both stop at their ends.
  Pointer(1280 - kW - 32 + 10, 900);
  for (int k = 0; k < 130; ++k) Frame();
  EXPECT_EQ(fscroll, 1000);
  Pointer(1280 - 10, 900);
  for (int k = 0; k < 130; ++k) Frame();
  EXPECT_EQ(fscroll, 0);
  BadgeIcons = nullptr;
}

TEST_F(GraphTest, ExtremeScoresAndStampsDrawInsideTheGraph) {
  Fill({INT64_MAX, INT64_MIN, 0, INT64_MAX - 1}, 0, INT64_MAX);
  for (auto& r : Highscores) r->Timestamp = INT64_MAX;  // all equal
  auto calls = Frame();
  for (const DrawCall& c : Of(calls, DrawCall::Image)) {
    EXPECT_GE(c.y, 800);
    EXPECT_LE(c.y, 950);
  }
  Pointer(1280 - 24, 900);
  calls = Frame();
  std::vector<std::string> shown;
  for (const DrawCall& c : Of(calls, DrawCall::Text)) shown.push_back(c.text);
  EXPECT_NE(std::find(shown.begin(), shown.end(), std::to_string(INT64_MAX)), shown.end());
  // All scores equal, all zero.
  Highscores.Clear();
  Fill({0, 0, 0});
  for (const DrawCall& c : Of(Frame(), DrawCall::Image)) EXPECT_FLOAT_EQ(c.y, 950);
}

TEST_F(GraphTest, AScoreFileReadBackShowsTheSameTable) {
  testsupport::TempDir dir("graph");
  GetUniqueKey();
  std::vector<int64_t> scores;
  for (int i = 0; i < 40; ++i) scores.push_back((i * 37) % 23 * 100);
  Fill(scores);
  Graph(kX0, kW, 0, 0, 0, 0);
  const std::vector<std::string> before = TableNames();
  const auto here = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  SaveScores();
  Highscores.Clear();
  LoadScores();
  std::filesystem::current_path(here);
  ASSERT_EQ(Highscores.Count(), 40u);
  Graph(kX0, kW, 0, 0, 0, 0);
  EXPECT_EQ(TableNames(), before);
}

}  // namespace
