// The real program on an X server of its own, driven with xdotool's `key`
// and `click`, which press and release at once, as a quick tap does:
// Escape pauses a game and Escape resumes it; Down then Space on the pause
// menu quits to the name entry; a click on the frame mode in the settings
// panel during a game flips it, and Tab writes it to "Setup.ini". Each step
// waits for what it checks to show (in a grab of the window, or in the
// game's files) and sends input only once the screen is up.
// Skipped without Xvfb or xdotool.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "real_run.h"

namespace {

// The frame-mode button's caption on the 800 x 600 window: on this window's
// font size the button stands at 167 (below the quality line), its caption
// around 16 below its top.
constexpr int kFrameButtonY = 20 + 167 + 8;

namespace fs = std::filesystem;

class RealKeys : public testsupport::RealRunTest {
 protected:
  // The window is 800 x 600 under a virtual screen of 1280 x 960.
  static int RealX(int vx) { return vx * 800 / 1280; }
  static int RealY(int vy) { return vy * 600 / 960; }

  // "Setup.ini" as the game writes it next, once it is whole.
  std::string NextIni(const std::function<void()>& action) {
    const std::string path = run_ + "/Files/Setup.ini";
    fs::remove(path);
    action();
    std::string text;
    const bool whole = WaitFor([&] {
      text = testsupport::ReadBytes(path);
      return text.find("[Controls]") != std::string::npos;
    });
    return whole ? text : "";
  }

  static bool Yellow(const uint8_t* c) { return c[0] > 230 && c[1] > 230 && c[2] < 60; }
  static bool White(const uint8_t* c) { return c[0] > 235 && c[1] > 235 && c[2] > 235; }
  static bool Green(const uint8_t* c) { return c[1] > 220 && c[0] < 60 && c[2] < 60; }

  // The pause menu's box (virtual 128..341 x 360..600) holds the yellow
  // highlighted item; "Quit" is highlighted when its row holds it alone.
  static bool PauseMenu(const Pixmap& p) { return Count(p, 128, 360, 341, 600, Yellow) > 0; }
  static bool QuitChosen(const Pixmap& p) {
    return Count(p, 128, 470, 341, 540, Yellow) > 20 && Count(p, 128, 410, 341, 465, Yellow) == 0;
  }
  static bool Playing(const Pixmap& p) { return PlayField(p) && !PauseMenu(p); }
  // "Enter Your Name" in green, centred above the middle.
  static bool NameEntry(const Pixmap& p) { return Count(p, 340, 340, 940, 420, Green) > 100; }
  // The side panel at rest, its left edge at 860 (it is 415 wide on this
  // window): its tab bar is lighter than the backdrop beside it. While it
  // slides in, so does the rest of the title screen.
  static bool PanelAtRest(const Pixmap& p) {
    const auto low = [](const uint8_t* c) { return std::min({c[0], c[1], c[2]}); };
    return low(At(p, RealX(866), RealY(15))) > low(At(p, RealX(850), RealY(15))) + 40;
  }
  // "Click Here to Start" (centred on 432, 480) drawn white while the
  // pointer rests on it, once the screen has settled: on its way in, the
  // white "Medium" passes through the same place.
  static bool PromptLit(const Pixmap& p) { return PanelAtRest(p) && Count(p, 232, 450, 632, 510, White) > 300; }
  // The frame-mode button's second caption line reads "Decent System"
  // (every frame drawn), not "Slow System": only the longer one reaches
  // real x 104..112 on its line (real y 128..142).
  static bool DrawsAllFrames(const Pixmap& p) {
    int n = 0;
    for (int y = 128; y < 142; ++y)
      for (int x = 104; x < 112; ++x) {
        const uint8_t* c = At(p, x, y);
        n += c[1] > 200 && c[0] < 150 && c[2] < 150;
      }
    return n > 5;
  }
  // The game's pointer drawn with its corner at virtual (vx, vy).
  static std::function<bool(const Pixmap&)> PointerAt(int vx, int vy) {
    return [vx, vy](const Pixmap& p) { return Count(p, vx, vy, vx + 16, vy + 16, White) > 8; };
  }

  void Point(int vx, int vy) {
    Do("mousemove --window " + window_ + " " + std::to_string(RealX(vx)) + " " + std::to_string(RealY(vy)));
  }
  // A click once the pointer is seen resting where it goes.
  void ClickWhen(int vx, int vy, const std::function<bool(const Pixmap&)>& resting) {
    Point(vx, vy);
    ASSERT_TRUE(GrabUntil(resting)) << "the pointer at " << vx << ", " << vy;
    Do("click 1");
  }
};

TEST_F(RealKeys, EscapeResumesDownAndSpaceQuitAndAPanelClickDuringAGameIsSaved) {
  pid_t pid = StartGame();
  if (pid < 0) GTEST_SKIP() << "needs xdotool and Xvfb";
  ASSERT_FALSE(window_.empty()) << "no window";

  ClickWhen(432, 480, PromptLit);
  ASSERT_TRUE(GrabUntil(Playing)) << "a game";

  // Escape pauses, Escape resumes, and the pause screen stays closed.
  Key("Escape");
  ASSERT_TRUE(GrabUntil(PauseMenu)) << "Escape pauses";
  Key("Escape");
  ASSERT_TRUE(GrabUntil(Playing)) << "Escape resumes";
  for (int k = 0; k < 5; ++k) {
    Pixmap p = Grab();
    ASSERT_TRUE(p);
    EXPECT_TRUE(Playing(p)) << "grab " << k << " after the resume";
  }

  // Tab opens the panel over the game and writes the settings; a click on
  // the frame mode flips it; Tab closes the panel and writes the new mode.
  const std::string before = NextIni([&] { Key("Tab"); });
  ASSERT_FALSE(before.empty()) << "Tab writes Setup.ini";
  ASSERT_TRUE(GrabUntil(PanelOpen)) << "the settings panel";
  const bool skipping = before.find("ESS=1") != std::string::npos;
  ClickWhen(30, kFrameButtonY, PointerAt(30, kFrameButtonY));
  const std::string after = NextIni([&] {
    // Tab only once the button shows the other mode.
    EXPECT_TRUE(GrabUntil([&](const Pixmap& p) { return DrawsAllFrames(p) == skipping; })) << "the new caption";
    Key("Tab");
  });
  ASSERT_FALSE(after.empty()) << "Tab writes Setup.ini again";
  EXPECT_EQ(after.find("ESS=1") != std::string::npos, !skipping) << "the click flips the frame mode";
  ASSERT_TRUE(GrabUntil(Playing)) << "the panel closed over the game";

  // Escape, Down to "Quit", Space: the name entry; Return: the title screen.
  Key("Escape");
  ASSERT_TRUE(GrabUntil(PauseMenu)) << "the pause screen again";
  Key("Down");
  ASSERT_TRUE(GrabUntil(QuitChosen)) << "Down highlights Quit";
  Key("space");
  ASSERT_TRUE(GrabUntil(NameEntry)) << "Space on Quit ends the game";
  Key("Return");
  Point(432, 480);
  ASSERT_TRUE(GrabUntil(PromptLit)) << "the title screen";
  EXPECT_EQ(QuitFromTitle(pid), 0);
}

}  // namespace
