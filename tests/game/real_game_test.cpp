// A game of the real program on an X display, played through xdotool: a
// click on the title screen starts it; the test looks at the game's own
// screenshots (F11) to find the hero, aims below him and clicks, until
// the sixth landing ends the game; then the name, Escape and a key.
// Runs on an Xvfb server of its own; skipped without Xvfb or xdotool.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "game/game.h"
#include "platform/platform.h"
#include "real_run.h"
#include "scores/scores.h"

namespace game_test {
namespace {

namespace fs = std::filesystem;

struct Spot {
  int x = 0, y = 0;
  bool found = false;
};

class RealGame : public testsupport::RealRunTest {
 protected:

  // The hero's canopy stripes are the only red of their shade in play. He
  // may rest against a wall (the field's walls stand 100 of the 1280
  // virtual pixels in): his canopy then reaches 16 virtual pixels past it.
  static Spot FindHero(const Pixmap& p) {
    long sx = 0, sy = 0, n = 0;
    const int margin = p->width * 80 / 1280;
    for (int y = 0; y < p->height - 45; ++y) {
      for (int x = margin; x < p->width - margin; ++x) {
        const uint8_t* c = At(p, x, y);
        if (c[0] > 215 && c[1] > 70 && c[1] < 125 && c[2] > 80 && c[2] < 135) {
          sx += x;
          sy += y;
          ++n;
        }
      }
    }
    Spot s;
    if (n >= 3) s = Spot{static_cast<int>(sx / n), static_cast<int>(sy / n) + 5, true};
    return s;
  }
};

TEST_F(RealGame, AClickStartsAGameAndTheSixthLandingEndsIt) {
  pid_t pid = StartGame();
  if (pid < 0) GTEST_SKIP() << "needs xdotool and Xvfb";
  ASSERT_FALSE(window_.empty()) << "no window";
  ASSERT_TRUE(title_) << "no title screen";
  // "Click Here to Start"
  Pixmap firstFrame = StartGameByClick();
  ASSERT_TRUE(firstFrame) << "the game did not start";

  // Every shot waits for a screenshot taken after the click before it.
  bool over = false;
  int shots = 0, unseen = 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(testsupport::Deadline(testsupport::kPlayDeadlineMs));
  while (!over && Clock::now() < deadline) {
    Pixmap p = Screenshot();
    if (!p) break;
    if (!PlayField(p)) {
      over = true;
      break;
    }
    Spot hero = FindHero(p);
    if (!hero.found) {
      // The notices of the screenshots stack up at the bottom left, over a
      // hero resting against the left wall: after a few looks, aim as if he
      // rested there.
      if (++unseen < 4) continue;
      hero = Spot{p->width * 102 / 1280, p->height * 874 / 960, true};
    }
    unseen = 0;
    // Low and to the side: a fast, flat shot that is soon down again.
    const int side = hero.x > p->width / 2 ? 1 : -1;
    // Inside the window also for a hero against a wall.
    const int x = std::clamp(hero.x + side * 70, 0, p->width - 1), y = std::min(p->height - 1, hero.y + 28);
    Do("mousemove --window " + window_ + " " + std::to_string(x) + " " + std::to_string(y) +
       " sleep 0.35 mousedown 1 sleep 0.08 mouseup 1");
    ++shots;
  }
  EXPECT_TRUE(over) << "the game did not end after " << shots << " shots";
  EXPECT_GE(shots, 6);

  // The first game frame: wall strips, the white ground line, the green
  // score read-out and the hero.
  ASSERT_TRUE(firstFrame);
  const int groundY = firstFrame->height * 896 / 960;
  bool line = false, readout = false;
  for (int y = groundY - 2; y <= groundY + 2; ++y) {
    const uint8_t* c = At(firstFrame, firstFrame->width / 2 + 50, y);
    line |= c[0] > 230 && c[1] > 230 && c[2] > 230;
  }
  for (int y = groundY + 2; y < firstFrame->height; ++y)
    for (int x = 70; x < firstFrame->width / 3; ++x) {
      const uint8_t* c = At(firstFrame, x, y);
      readout |= c[1] > 200 && c[0] < 160 && c[2] < 160;
    }
  EXPECT_TRUE(line) << "ground line";
  EXPECT_TRUE(readout) << "score read-out";
  EXPECT_TRUE(FindHero(firstFrame).found) << "hero";

  // Name entry: Return keeps "Player"; then Escape on the title screen and
  // a key on the closing screen.
  ASSERT_TRUE(Until(NameEntry)) << "the name entry";
  ASSERT_TRUE(PressUntil([&] { Key("Return"); }, TitleScreen, NameEntry)) << "back on the title screen";
  EXPECT_EQ(QuitFromTitle(pid), 0);

  GetUniqueKey();
  const fs::path here = fs::current_path();
  fs::current_path(run_ + "/Files/260");
  Highscores.Clear();
  LoadScores();
  fs::current_path(here);
  ASSERT_EQ(Highscores.Count(), 1u);
  EXPECT_EQ(Highscores.First()->Quit, 0);
  EXPECT_EQ(Highscores.First()->GameMode, 1);
  EXPECT_GT(Highscores.First()->Score, 0);
  EXPECT_EQ(Highscores.First()->Name, "Player");
}

}  // namespace
}  // namespace game_test
