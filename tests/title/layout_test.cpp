// Every screen's texts at every kind of display: each drawn text, measured
// in the font it was drawn with, lies inside the virtual screen and clear of
// every other text of its screen. The screens are drawn on the headless back
// end with the fonts and assets of the run folder, loaded by the display
// set-up at each display size.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "online/online.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "scores/scores.h"
#include "script_time.h"
#include "title/graph.h"
#include "title/options.h"
#include "title/title.h"
#include "title_fixture.h"

namespace {

using testsupport::At;

// The display sizes the layout is checked at: one of each kind of screen
// the game sets up (the three virtual screens, each with the font sizes of
// a small, a middle and a large display).
const std::pair<int, int> kSizes[] = {{512, 384}, {576, 324}, {560, 350},  {640, 480},  {800, 600},
                                      {800, 500}, {832, 624}, {854, 480},  {840, 525},  {1280, 960},
                                      {1600, 900}, {1440, 900}};

// A name as long as the name entry takes, of wide letters.
const std::string kLongName = "WOLFGANG MAXIMILIAN BROW";

struct TextBox {
  std::string text;
  float left = 0, top = 0, right = 0, bottom = 0;
};

// The box of each visible text of `calls`: from the first to the last
// drawn character (spaces at either end take no room), the font's height
// tall, both times the scale the text was drawn at. Fonts are looked up by
// the file and size each call names.
std::vector<TextBox> TextBoxes(const std::vector<DrawCall>& calls) {
  static std::map<std::string, Font> fonts;
  static int display = -1;
  if (display != DisplayChanges) fonts.clear();
  display = DisplayChanges;
  const Font before = GetImageFont();
  std::vector<TextBox> boxes;
  for (const DrawCall& c : calls) {
    if (c.kind != DrawCall::Text || c.alpha <= 0) continue;
    const size_t first = c.text.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    const size_t last = c.text.find_last_not_of(' ');
    Font& font = fonts[c.font];
    if (!font) {
      const size_t colon = c.font.rfind(':');
      std::string path = c.font.substr(0, colon);
      if (!path.empty() && path[0] != '/') path = CommonDir + "/" + path;
      font = LoadImageFont(path, std::stoi(c.font.substr(colon + 1)));
      EXPECT_TRUE(font) << c.font;
    }
    SetImageFont(font);
    TextBox b;
    b.text = c.text;
    b.left = c.x + static_cast<float>(TextWidth(c.text.substr(0, first))) * c.scaleX;
    b.right = c.x + static_cast<float>(TextWidth(c.text.substr(0, last + 1))) * c.scaleX;
    b.top = c.y;
    b.bottom = c.y + static_cast<float>(TextHeight(c.text)) * c.scaleY;
    boxes.push_back(b);
  }
  SetImageFont(before);
  return boxes;
}

std::string Where(const TextBox& b) {
  return "\"" + b.text + "\" [" + std::to_string(static_cast<int>(b.left)) + ".." +
         std::to_string(static_cast<int>(b.right)) + " x " + std::to_string(static_cast<int>(b.top)) + ".." +
         std::to_string(static_cast<int>(b.bottom)) + "]";
}

// Texts that a screen draws over each other on purpose, by their texts.
using Pairs = std::vector<std::pair<std::string, std::string>>;

bool Allowed(const Pairs& allowed, const std::string& a, const std::string& b) {
  return std::any_of(allowed.begin(), allowed.end(), [&](const auto& p) {
    return (p.first == a && p.second == b) || (p.first == b && p.second == a);
  });
}

// Every text of the calls inside the screen, and no two of them over each
// other but the pairs allowed; answers the texts looked at.
std::vector<std::string> ExpectReadable(const std::vector<DrawCall>& calls, const Pairs& allowed = {}) {
  const std::vector<TextBox> boxes = TextBoxes(calls);
  for (size_t i = 0; i < boxes.size(); ++i) {
    const TextBox& a = boxes[i];
    EXPECT_TRUE(a.left >= 0 && a.top >= 0 && a.right <= static_cast<float>(JScrw) &&
                a.bottom <= static_cast<float>(JScrh))
        << Where(a) << " runs off the " << JScrw << "x" << JScrh << " screen";
    for (size_t j = i + 1; j < boxes.size(); ++j) {
      const TextBox& b = boxes[j];
      const bool apart = a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
      if (!apart && !Allowed(allowed, a.text, b.text)) ADD_FAILURE() << Where(a) << " overlaps " << Where(b);
    }
  }
  std::vector<std::string> texts;
  for (const TextBox& b : boxes) texts.push_back(b.text);
  return texts;
}

// How often `text` is among `texts`.
size_t Shown(const std::vector<std::string>& texts, const std::string& text) {
  return static_cast<size_t>(std::count(texts.begin(), texts.end(), text));
}

// The calls of every frame drawn since the recording was cleared, frame by
// frame (the calls after the last flip are left out).
std::vector<std::vector<DrawCall>> Frames() {
  std::vector<std::vector<DrawCall>> frames(1);
  for (const DrawCall& c : headless::DrawCalls()) {
    if (c.kind == DrawCall::Flip) frames.emplace_back();
    else frames.back().push_back(c);
  }
  frames.pop_back();
  return frames;
}

std::shared_ptr<Scores> Entry(const std::string& name, int64_t score, int64_t stamp) {
  auto r = title_test::Entry(name, score, stamp);
  r->Best[30] = 1;  // the details say "Complete!"
  r->Badges = 0xffff;
  return r;
}

class LayoutTest : public ::testing::TestWithParam<std::pair<int, int>> {
 protected:
  void SetUp() override {
    std::vector<GraphicsMode> modes;
    for (const auto& [w, h] : kSizes) modes.push_back({w, h, 32, 60});
    const auto [w, h] = GetParam();
    here_ = title_test::TitleAtSize(w, h, modes);
    ASSERT_EQ(MyScrw, w);
    ASSERT_EQ(MyScrh, h);
    ResetOnlineTables();
  }
  void TearDown() override {
    ResetOnlineTables();
    comments.Clear();
    scoreget.Clear();
    title_test::LeaveTitle(here_);
  }

  // Passes until the panel rests, then the calls of the last one.
  static std::vector<DrawCall> RestedTitle(int tab) {
    TitleTab = tab;
    SlideIn = 0;
    for (int k = 0; k < 34; ++k) TitlePass();
    return headless::LastFrame();
  }
  // A full table of the difficulty in `list`: 25 twelve-digit scores, the
  // best one under the longest name.
  static void FullTable(TList<Scores>& list) {
    for (int k = 0; k < 25; ++k)
      list.AddLast(Entry(k == 0 ? kLongName : "Player " + std::to_string(k), 999999999999 - k, 1700000000 - k));
  }
  // The pointer at a point of the virtual screen.
  static void Pointer(int x, int y) {
    headless::Script(At(0) + " mouse " + std::to_string(x * MyScrw / JScrw) + " " + std::to_string(y * MyScrh / JScrh));
  }

  std::string here_;
};

TEST_P(LayoutTest, TitleTabs) {
  FullTable(Highscores);
  // The Hiscore tab with the details of the longest name pinned.
  HoldMe = 1001;
  Pointer(10, 10);
  {
    SCOPED_TRACE("Hiscore tab");
    const auto texts = ExpectReadable(RestedTitle(0));
    EXPECT_EQ(Shown(texts, kLongName), 2u) << "its row and its details";
    EXPECT_EQ(Shown(texts, "999999999976"), 1u) << "the 25th row";
    EXPECT_EQ(Shown(texts, "Complete!"), 1u);
  }
  {
    SCOPED_TRACE("About tab");
    const auto texts = ExpectReadable(RestedTitle(2));
    EXPECT_EQ(Shown(texts, Credit[credits - 1]), 1u) << "the last line";
  }
}

TEST_P(LayoutTest, OnlineTab) {
  {
    SCOPED_TRACE("logged out, after a failed login");
    RegName = "zoeplayer";
    RegPass = "secretpassword";
    LoginFailed = 1;
    const auto texts = ExpectReadable(RestedTitle(1));
    EXPECT_EQ(Shown(texts, "easy to remember!!"), 1u);
    EXPECT_EQ(Shown(texts, "**************_") + Shown(texts, "**************"), 1u);
    EXPECT_EQ(Shown(texts, "Login"), 1u);
  }
  {
    SCOPED_TRACE("logged in, a full message of the day and table");
    LoggedIn = 1;
    LoginFailed = 0;
    OnlineRefreshState = 0;
    motds = 19;
    for (int n = 1; n <= motds; ++n) MOTD[n] = "Line " + std::to_string(n) + " of the weekly news";
    FullTable(AltScores);
    for (const auto& r : AltScores) r->GameMode = ~GameMode;
    HoldMe = 1001;
    // An online entry's details lie on an opaque box, drawn over the top of
    // the panel: the button and the message of the day under it are hidden.
    const Scores& best = *AltScores.First();
    Pairs covered;
    for (const std::string& detail : {best.Name, std::to_string(best.Score), std::string("Complete!"),
                                      StampDate(best.Timestamp) + ", " + StampTime(best.Timestamp)}) {
      covered.emplace_back("Refresh Scores", detail);
      for (int n = 1; n <= motds; ++n) covered.emplace_back(MOTD[n], detail);
    }
    const auto texts = ExpectReadable(RestedTitle(1), covered);
    EXPECT_EQ(Shown(texts, MOTD[1]), 1u);
    EXPECT_EQ(Shown(texts, kLongName), 2u);
  }
}

TEST_P(LayoutTest, SettingsPanel) {
  StickCount = 4;
  for (int n = 1; n <= 4; ++n) Stick[n] = "Headless Pad " + std::to_string(n);
  AuxDrivers = {"FreeMix", "FreeMix System", "Null"};
  Options[kOptAudioDriver] = 1;
  OptionScreen = 1;
  for (int k = 0; k < 12; ++k) Option();
  ASSERT_EQ(optin, 20);
  for (int frameSkip = 0; frameSkip <= 1; ++frameSkip) {
    SCOPED_TRACE(frameSkip ? "frame skip" : "every frame");
    Options[kOptFrameSkip] = frameSkip;
    headless::ClearDrawCalls();
    Option();
    const auto texts = ExpectReadable(headless::DrawCalls());
    EXPECT_EQ(Shown(texts, frameSkip ? "Slow System" : "Decent System"), 1u);
    EXPECT_EQ(Shown(texts, "FreeMix System"), 1u);
    EXPECT_EQ(Shown(texts, "Changes require a Restart"), 1u);
    EXPECT_EQ(Shown(texts, "Headless Pad 4"), 1u);
  }
}

TEST_P(LayoutTest, GameWhileAiming) {
  InGame = 1;
  SeedRnd(260);
  StartGame();
  scoreget.Clear();
  const int hx = static_cast<int>(px);
  const std::pair<int, int> pointers[] = {
      {2, JScrh / 2}, {JScrw - 2, JScrh / 2}, {JScrw / 2, 2}, {2, 2}, {JScrw - 2, 2},
      {2, JScrh - 125}, {JScrw - 2, JScrh - 125}, {JScrw / 2, JScrh - 2}};
  for (const auto& [x, y] : pointers) {
    SCOPED_TRACE("pointer at " + std::to_string(x) + ", " + std::to_string(y));
    Pointer(x, y);
    for (int k = 0; k < 3; ++k) PlayFrame();  // the pointer reaches the hint
    const auto texts = ExpectReadable(headless::LastFrame());
    EXPECT_EQ(Shown(texts, "Move under Pibbo to aim."), y < JScrh - 120 ? 1u : 0u);
  }
  // A catch in flight: the points, and the hop count above them; then
  // aiming from the seed, the pointer below him.
  SCOPED_TRACE("a catch");
  dandys.Clear();
  auto seed = std::make_shared<lion>();
  seed->x = static_cast<float>(hx - 8);
  seed->y = static_cast<float>(JScrh / 2 - 14);
  dandys.AddLast(seed);
  px = static_cast<float>(hx);
  py = static_cast<float>(JScrh / 2);
  pd = 5;
  play.grace = 0;
  play.airPoints = 123456;
  hops = 11;
  SeedCatch(*seed);
  ASSERT_EQ(scoreget.Count(), 2u);
  Pointer(hx, JScrh - 2);
  for (int k = 0; k < 120; ++k) {
    PlayFrame();
    const auto texts = ExpectReadable(headless::LastFrame());
    if (k == 0) {
      EXPECT_EQ(Shown(texts, "12") + Shown(texts, std::to_string(123456 * 12)), 2u);
    }
  }
}

TEST_P(LayoutTest, PauseGameOverAndNameEntry) {
  InGame = 1;
  SeedRnd(260);
  StartGame();
  PlayFrame();
  {
    SCOPED_TRACE("pause screen");
    headless::ClearDrawCalls();
    headless::Script(At(300) + " key 27 down\n" + At(400) + " key 27 up");
    PauseMe();
    for (const auto& frame : Frames()) {
      std::vector<DrawCall> menu;
      // The game's name, spinning in many colours all over the screen, is the
      // screen's backdrop: it lies under and over the menu on purpose.
      for (const DrawCall& c : frame)
        if (c.text != GameName) menu.push_back(c);
      const auto texts = ExpectReadable(menu);
      EXPECT_EQ(Shown(texts, "Continue") + Shown(texts, "Quit"), 2u);
    }
  }
  {
    SCOPED_TRACE("game over");
    GameOverBanner();
    // The banner is drawn many times over itself, for its outline.
    EXPECT_GT(Shown(ExpectReadable(headless::LastFrame(), {{"Game Over", "Game Over"}}), "Game Over"), 0u);
  }
  {
    SCOPED_TRACE("name entry");
    MyName = kLongName;
    headless::ClearDrawCalls();
    headless::Script(At(300) + " tap 13");
    GetPlayerName();
    EXPECT_EQ(MyName, kLongName);
    const auto frames = Frames();
    ASSERT_FALSE(frames.empty());
    for (const auto& frame : frames) {
      const auto texts = ExpectReadable(frame);
      EXPECT_EQ(Shown(texts, kLongName + "_") + Shown(texts, kLongName + " "), 1u);
    }
  }
}

TEST_P(LayoutTest, ThanksScreenWithAReport) {
  ClearClosingProblems();
  ReportClosingProblem("The scores could not be saved: nuscores.dat: No space left on device");
  ReportClosingProblem("The settings could not be saved: Setup.ini: Permission denied");
  headless::Script(At(300) + " click 1");
  ThanksScreen();
  const auto texts = ExpectReadable(headless::LastFrame());
  EXPECT_EQ(Shown(texts, "Feedback is King"), 1u);
  EXPECT_EQ(Shown(texts, "Thanks for Playing"), 1u);
  ClearClosingProblems();
}

TEST_P(LayoutTest, OnScreenMessages) {
  AddComment("Saved Screenshot", 1);
  AddComment("Can't set to fullscreen in this resolution.", 1);
  headless::ClearDrawCalls();
  fps(UseFPS, 1, 1);
  const auto texts = ExpectReadable(headless::LastFrame());
  EXPECT_EQ(Shown(texts, "Saved Screenshot") + Shown(texts, "Can't set to fullscreen in this resolution."), 2u);
}

std::string SizeName(const ::testing::TestParamInfo<std::pair<int, int>>& info) {
  return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
}

INSTANTIATE_TEST_SUITE_P(EveryDisplay, LayoutTest, ::testing::ValuesIn(kSizes), SizeName);

}  // namespace
