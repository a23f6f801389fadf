// The title screen of the real program on an X server of its own: each tab
// and each difficulty as the player sees them, then two games started with
// a click, quit from the pause screen and named, and both in the Hiscore
// table; games kept when the window or the X server goes.
// Skipped without Xvfb or xdotool.
#include <filesystem>

#include "real_run.h"
#include "scores/scores.h"

namespace {

namespace fs = std::filesystem;

class RealTitle : public testsupport::RealRunTest {
 protected:
  // Brightest pixel of a label's box (virtual 200 x 40 at x, y), on the
  // 800 x 600 window.
  static int Brightest(const Pixmap& p, int vx, int vy) {
    int best = 0;
    for (int y = vy * 600 / 960; y < (vy + 40) * 600 / 960; ++y)
      for (int x = vx * 800 / 1280; x < (vx + 200) * 800 / 1280; ++x) best = std::max<int>(best, At(p, x, y)[0]);
    return best;
  }
  // Which of Easy, Medium, Hard is drawn opaque.
  static int Chosen(const Pixmap& p) {
    int best = -1, level = 0;
    for (int item = 0; item < 3; ++item) {
      // 800 px wide: the panel is 415; the items stand a line height of
      // their font (the second face at 62 px) apart: 71.
      const int b = Brightest(p, 372 - 40, 680 + 71 * item);
      if (b > level + 30) {
        level = b;
        best = item;
      }
    }
    return best;
  }
  // Whether row k of the score table (virtual top 371 + 17 (k - 1), names
  // from the panel's left edge 860) shows white text on the 800 x 600 window.
  static bool RowHasText(const Pixmap& p, int k) {
    const int top = 371 + 17 * (k - 1);
    const auto white = [](const uint8_t* c) { return c[0] > 200 && c[1] > 200 && c[2] > 200; };
    return Count(p, 870, top + 6, 1270, top + 13, white) > 0;
  }
  // The games in the score file the run left (read as the game reads it).
  size_t SavedGames() {
    GetUniqueKey();
    const fs::path here = fs::current_path();
    fs::current_path(run_ + "/Files/260");
    ResetScoreTables();  // the file is read again
    LoadScores();
    fs::current_path(here);
    return Highscores.Count();
  }
};

TEST_F(RealTitle, TabsDifficultiesAndAGameFromTheTitleScreen) {
  pid_t pid = StartGame();
  if (pid < 0) GTEST_SKIP() << "needs xdotool and Xvfb";
  ASSERT_FALSE(window_.empty()) << "no window";
  ASSERT_TRUE(title_) << "no title screen";

  ASSERT_TRUE(Until([](const Pixmap& p) { return Backdrop(p) == 0 && Chosen(p) == 1; }))
      << "the Hiscore tab with Medium chosen";
  Key("2");
  ASSERT_TRUE(Until([](const Pixmap& p) { return Backdrop(p) == 1; })) << "the Online tab";
  Key("F3");
  ASSERT_TRUE(Until([](const Pixmap& p) { return Backdrop(p) == 2; })) << "the About tab";
  Click(900 * 800 / 1280, 30 * 600 / 960);  // tab 0's box (the panel is at 860)
  ASSERT_TRUE(Until([](const Pixmap& p) { return Backdrop(p) == 0; })) << "the Hiscore tab by a click";
  // A move and a click in one go, as a quick flick makes them: the click
  // lands where the pointer went, not where it rested.
  const auto flick = [&](int vx, int vy) {
    Do("mousemove --window " + window_ + " " + std::to_string(vx * 800 / 1280) + " " + std::to_string(vy * 600 / 960) +
       " click 1");
  };
  flick(1059, 30);  // tab 1's box
  ASSERT_TRUE(Until([](const Pixmap& p) { return Backdrop(p) == 1; })) << "the Online tab by a flick";
  flick(900, 30);
  ASSERT_TRUE(Until([](const Pixmap& p) { return Backdrop(p) == 0; })) << "the Hiscore tab by a flick";

  auto medium = [](const Pixmap& p) { return Chosen(p) == 1; };
  auto hard = [](const Pixmap& p) { return Chosen(p) == 2; };
  auto easy = [](const Pixmap& p) { return Chosen(p) == 0; };
  ASSERT_TRUE(PressUntil([&] { Press("Down"); }, hard, medium)) << "Hard by the Down key";
  Click((372 - 40 + 20) * 800 / 1280, (680 + 20) * 600 / 960);  // "Easy"
  ASSERT_TRUE(Until(easy)) << "Easy by a click";
  ASSERT_TRUE(PressUntil([&] { Press("Up"); }, hard, easy)) << "Up on Easy wraps to Hard";
  flick(352, 771);
  ASSERT_TRUE(Until(medium)) << "Medium by a flick from Hard";
  flick(352, 842);
  ASSERT_TRUE(Until(hard)) << "Hard by a flick from Medium";

  // Two games on Hard, each started by a click on the prompt and ended
  // through the pause screen (Escape, Down, Space) and the name entry (Return).
  for (int game = 1; game <= 2; ++game) {
    ASSERT_TRUE(StartGameByClick()) << "game " << game;
    ASSERT_TRUE(QuitGameFromPauseScreen()) << "game " << game << " quit from the pause screen";
    EXPECT_TRUE(Until([](const Pixmap& p) { return Backdrop(p) == 0 && Chosen(p) == 2; }))
        << "back on the title screen after game " << game << ", Hard still chosen";
  }
  // The Hiscore tab lists both games: rows 1 and 2 hold text, later ones none.
  Do("mousemove --window " + window_ + " 20 20");
  Pixmap table = Until([](const Pixmap& p) { return RowHasText(p, 1) && RowHasText(p, 2); });
  ASSERT_TRUE(table) << "two rows on the Hiscore tab";
  EXPECT_FALSE(RowHasText(table, 4));  // (row 2's descenders reach into row 3's band)
  EXPECT_EQ(QuitFromTitle(pid), 0);

  ASSERT_EQ(SavedGames(), 2u);
  for (const auto& r : Highscores) {
    EXPECT_EQ(r->GameMode, 2);
    EXPECT_EQ(r->Quit, 1);
  }
}

// This run's games outlive an end that the windowing system forces on the
// program: its window destroyed under it in the middle of a game (the game
// played before and the one cut short are kept, and the program ends
// through its closing sequence, without an X error on the terminal), then,
// in a second run, its X server gone.
TEST_F(RealTitle, GamesAreSavedWhenTheWindowOrTheXServerGoes) {
  stderrFile_ = tmp_ + "/stderr.txt";
  pid_t pid = StartGame();
  if (pid < 0) GTEST_SKIP() << "needs xdotool and Xvfb";
  ASSERT_FALSE(window_.empty()) << "no window";
  ASSERT_TRUE(title_) << "no title screen";
  auto playOne = [&] {
    ASSERT_TRUE(StartGameByClick());
    ASSERT_TRUE(QuitGameFromPauseScreen());
  };

  playOne();
  ASSERT_TRUE(StartGameByClick());
  Do("windowclose " + window_);
  EXPECT_EQ(WaitExit(pid, testsupport::kExitDeadlineMs), 0) << "the program ends";
  EXPECT_EQ(SavedGames(), 2u) << "the game played before the window went, and the one it cut short";
  EXPECT_EQ(testsupport::ReadBytes(stderrFile_).find("X Error"), std::string::npos)
      << testsupport::ReadBytes(stderrFile_);
  EXPECT_NE(testsupport::ReadBytes(run_ + "/Files/Debug.txt").find("Play again, soon!!"), std::string::npos);
  stderrFile_.clear();

  pid = Restart();
  ASSERT_FALSE(window_.empty()) << "no window the second time";
  ASSERT_TRUE(title_) << "no title screen the second time";
  playOne();
  display_.reset();
  EXPECT_NE(WaitExit(pid, testsupport::kExitDeadlineMs), -1) << "the program ends with its X server";
  EXPECT_EQ(SavedGames(), 3u) << "the game played before the X server went";
}

}  // namespace

namespace {

class RealPanel : public RealTitle {
 protected:
  std::string Ini() { return testsupport::ReadBytes(run_ + "/Files/Setup.ini"); }
  // The Master volume the settings file holds, or -1.
  int Master() {
    const std::string saved = Ini();
    const size_t at = saved.find("Master = ");
    return at == std::string::npos ? -1 : std::atoi(saved.c_str() + at + 9);
  }
};

TEST_F(RealPanel, AVolumeSurvivesARestartAndThePauseScreenContinuesTheGame) {
  pid_t pid = StartGame();
  if (pid < 0) GTEST_SKIP() << "needs xdotool and Xvfb";
  ASSERT_FALSE(window_.empty()) << "no window";
  ASSERT_TRUE(title_) << "no title screen";
  // Tab opens the panel.
  Key("Tab");
  ASSERT_TRUE(GrabUntil(PanelOpen)) << "the settings panel's bottom line";
  // The master volume's track starts at virtual x 998 on row 119 (on this
  // window the sliders stand below the restart note's tall letters): drag
  // to 30.
  const int x = (998 + 30) * 800 / 1280, y = (119 + 6) * 600 / 960;
  Drag(x, y, x, y);
  Key("Tab");  // closes the panel and saves
  EXPECT_TRUE(WaitFor([&] { return std::abs(Master() - 30) <= 2; })) << Ini();
  const int master = Master();
  ASSERT_TRUE(GrabUntil([](const Pixmap& p) { return !PanelOpen(p); })) << "the panel closed";

  // A game: Escape opens the pause screen, Space on "Continue" resumes it.
  ASSERT_TRUE(StartGameByClick()) << "the game";
  ASSERT_TRUE(PressUntil([&] { Key("Escape"); }, PauseMenu, PlayField)) << "the pause screen";
  ASSERT_TRUE(ContinueChosen(last_)) << "Continue chosen first";
  auto playing = [](const Pixmap& p) { return PlayField(p) && !PauseMenu(p); };
  ASSERT_TRUE(PressUntil([&] { Press("space"); }, playing, ContinueChosen)) << "the game again";
  ASSERT_TRUE(QuitGameFromPauseScreen()) << "the game quit from the pause screen";
  ASSERT_EQ(QuitFromTitle(pid), 0);

  // A second run reads the volume and writes it back unchanged.
  pid = Restart();
  ASSERT_FALSE(window_.empty()) << "no window on the second run";
  ASSERT_TRUE(title_) << "no title screen on the second run";
  ASSERT_EQ(QuitFromTitle(pid), 0);
  EXPECT_NE(Ini().find("Master = " + std::to_string(master)), std::string::npos);
}

}  // namespace
