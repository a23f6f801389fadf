// The title loop on the headless back end: passes driven by scripted input
// on the virtual clock, asserted on the recorded draw calls and sounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "online/online.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "scores/scores.h"
#include "test_support.h"
#include "title/graph.h"
#include "title/options.h"
#include "title/title.h"
#include "title_fixture.h"
#include "script_time.h"

namespace {

using testsupport::At;

class TitleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    title_test::FreshTitleTables();
    MyScrw = JScrw = 1280;
    MyScrh = JScrh = 960;
    Options[kOptWidth] = 1280;
    ASSERT_EQ(Graphics(MyScrw, MyScrh, 0, 60), 1);
    SetVirtualResolution(1280, 960);
    AutoMidHandle(1);
    gamelogo = LoadImage(PIBBO_RUN_DIR "/Files/260/logo.png", 3);
    sfx[98] = LoadSound(PIBBO_RUN_DIR "/Files/260/098.wav");
    ASSERT_TRUE(gamelogo && sfx[98]);
    title_test::TitleAtStart();
    headless::RecordChannelCalls(true);
  }
  void TearDown() override {
    headless::RecordChannelCalls(false);
    MusicTickHook = nullptr;
    gamelogo = nullptr;
    sfx[98].reset();
    ClearEngineEvents();
    PlatformShutdown();
  }

  // Passes until the panel rests.
  static void Settle() {
    for (int k = 0; k < 32; ++k) TitlePass();
  }
  // The rates at which effect 98 started since the journal was cleared.
  static std::vector<float> MenuSounds() {
    std::vector<float> rates;
    bool cued = false;
    for (const ChannelCall& c : headless::ChannelCalls()) {
      if (c.op == ChannelCall::Cue) cued = c.sound == "098.wav";
      if (c.op == ChannelCall::Rate && cued) {
        rates.push_back(c.value);
        cued = false;
      }
    }
    return rates;
  }
  static void ForgetSounds() { headless::RecordChannelCalls(true); }
  // The pass's calls drawing `text`.
  static std::vector<DrawCall> Texts(const std::string& text) {
    std::vector<DrawCall> out;
    for (const DrawCall& c : headless::LastFrame())
      if (c.kind == DrawCall::Text && c.text == text) out.push_back(c);
    return out;
  }
  static void Pointer(int x, int y) { headless::Script(At(0) + " mouse " + std::to_string(x) + " " + std::to_string(y)); }
  // Script events, in order, due now.
  static void Input(const std::vector<std::string>& events) {
    for (const std::string& e : events) {
      if (e == "pass") TitlePass();
      else headless::Script(At(0) + " " + e);
    }
  }
};

TEST_F(TitleTest, ThePanelSlidesInAndItsWidthFollowsTheDisplay) {
  TitlePass();
  EXPECT_EQ(SlideIn, 1);
  EXPECT_EQ(PanelW, 335);
  EXPECT_EQ(PanelX, 1280 - 335 + 770);
  for (int k = 2; k <= 40; ++k) TitlePass();
  EXPECT_EQ(SlideIn, 32);
  EXPECT_EQ(PanelX, 940);
  // The rested screen: panel body and bar, labels, heading, prompt, list.
  const auto frame = headless::LastFrame();
  const auto body = std::find_if(frame.begin(), frame.end(), [](const DrawCall& c) {
    return c.kind == DrawCall::Rect && c.x == 940 && c.y == 5 && c.x2 == 335 && c.y2 == 950;
  });
  ASSERT_NE(body, frame.end());
  EXPECT_FLOAT_EQ(body->alpha, 0.5f);
  ASSERT_EQ(Texts("1.Hiscore").size(), 1u);
  EXPECT_EQ(Texts("1.Hiscore")[0].r, 255);  // the selected tab is white
  EXPECT_EQ(Texts("2.Online")[0].r, 0);
  EXPECT_EQ(Texts("Hiscores").size(), 1u);
  EXPECT_EQ(Texts("Click Here to Start").size(), 1u);
  EXPECT_EQ(Texts("Hit [Tab] for settings").size(), 1u);
  EXPECT_FLOAT_EQ(Texts("Medium")[0].alpha, 1.0f);
  EXPECT_FLOAT_EQ(Texts("Easy")[0].alpha, 0.5f);
  const auto logo = std::find_if(frame.begin(), frame.end(),
                                 [](const DrawCall& c) {
                                   return c.kind == DrawCall::Image && c.image.ends_with("logo.png");
                                 });
  ASSERT_NE(logo, frame.end());
  EXPECT_FLOAT_EQ(logo->x, 472);
  EXPECT_FLOAT_EQ(logo->y, 480 - ImageHeight(gamelogo) / 2);

  MyScrw = 899;
  TitlePass();
  EXPECT_EQ(PanelW, 415);
  EXPECT_EQ(PanelX, 1280 - 420);
}

TEST_F(TitleTest, TabsSwitchOncePerPressByKeysAndClicks) {
  Settle();
  struct Case {
    std::vector<std::string> input;
    int tab;  // TitleTab after the press
  } cases[] = {
      {{"tap 50"}, 1},                          // key 2, a tap between two passes
      {{"key 114 down"}, 2},                    // F3, held
      {{"mouse 941 30", "pass", "click 1"}, 0},  // a quick click in tab 0's box
      {{"key 50 down", "key 51 down"}, 1},      // 2 and 3 together: the lower tab wins
  };
  for (const Case& c : cases) {
    ForgetSounds();
    Input(c.input);
    for (int k = 0; k < 5; ++k) TitlePass();  // held for several passes
    EXPECT_EQ(TitleTab, c.tab) << c.input[0];
    EXPECT_EQ(MenuSounds(), std::vector<float>{2.0f}) << c.input[0] << ": one sound per press";
    Input({"key 114 up", "key 50 up", "key 51 up"});
    TitlePass();
    TitlePass();
  }
  // While a login field has the focus, neither keys nor clicks switch.
  intextedit = 1;
  ForgetSounds();
  headless::Script(At(0) + " tap 49\n" + At(1) + " tap 113");
  for (int k = 0; k < 3; ++k) TitlePass();
  EXPECT_EQ(TitleTab, 1);
  EXPECT_TRUE(MenuSounds().empty());
  // Nor do those presses act once the field lets the focus go.
  intextedit = 0;
  for (int k = 0; k < 3; ++k) TitlePass();
  EXPECT_EQ(TitleTab, 1);
}

// Each reader of the title screen takes a tap (down and up 1 ms apart,
// between two passes) once, in the pass that takes it in, and never again.
TEST_F(TitleTest, EachReaderTakesATapOnce) {
  Settle();
  struct Case {
    const char* what;
    int x, y;  // the pointer
    const char* tap;
    const int* value;
    int after;
    float sound;
  } cases[] = {
      {"key 3", 100, 100, "tap 51", &TitleTab, 2, 2.0f},
      {"F1", 100, 100, "tap 112", &TitleTab, 0, 2.0f},
      {"a click on tab 2", 940 + 110 + 50, 30, "click 1", &TitleTab, 1, 2.0f},
      {"a click on Hard", 400, 790, "click 1", &GameMode, 2, 1.0f},
      {"Down on Hard", 100, 100, "tap 40", &GameMode, 0, 1.05f},
      {"Up on Easy", 100, 100, "tap 38", &GameMode, 2, 0.95f},
  };
  for (const Case& c : cases) {
    Pointer(c.x, c.y);
    for (int k = 0; k < 3; ++k) TitlePass();  // taken in, sampled by fps
    ForgetSounds();
    Input({c.tap});
    for (int k = 0; k < 6; ++k) TitlePass();
    EXPECT_EQ(*c.value, c.after) << c.what;
    EXPECT_EQ(MenuSounds(), std::vector<float>{c.sound}) << c.what << ": one sound";
  }
}

// The login fields: a click focuses a field, a Down tap moves to the
// password, a Return tap lets go; a digit typed into a field switches no
// tab, then or later.
TEST_F(TitleTest, LoginFieldsTakeTaps) {
  ResetOnlineTables();
  TitleTab = 1;
  RegName.clear();
  RegPass.clear();
  Settle();
  Pointer(1000, 960 - 120 + 15);  // the user name's box
  for (int k = 0; k < 3; ++k) TitlePass();
  Input({"click 1"});
  for (int k = 0; k < 3; ++k) TitlePass();
  ASSERT_EQ(intextedit, 1);
  Input({"tap 50", "char 50", "tap 40"});
  for (int k = 0; k < 4; ++k) TitlePass();
  EXPECT_EQ(RegName, "2");
  EXPECT_EQ(intextedit, 2);
  Input({"char 120"});
  for (int k = 0; k < 3; ++k) TitlePass();
  EXPECT_EQ(RegPass, "x");
  // Down in the password does nothing, then or after Up.
  Input({"tap 40"});
  for (int k = 0; k < 3; ++k) TitlePass();
  EXPECT_EQ(intextedit, 2);
  Input({"tap 38"});
  for (int k = 0; k < 4; ++k) TitlePass();
  EXPECT_EQ(intextedit, 1);
  Input({"tap 13"});
  for (int k = 0; k < 4; ++k) TitlePass();
  EXPECT_EQ(intextedit, 0);
  EXPECT_EQ(TitleTab, 1);
  TitleTab = 0;
}

TEST_F(TitleTest, AboutListsTheCreditsCentredOnThePanel) {
  EXPECT_EQ(credits, 30);
  EXPECT_EQ(Credit[16], "Game");
  EXPECT_EQ(Credit[29], "Sound Effects by Quenlor");
  EXPECT_EQ(Credit[30], "");
  Settle();
  headless::Script(At(0) + " tap 51");
  TitlePass();  // the tap arrives during this pass, for the next one
  TitlePass();
  ASSERT_EQ(TitleTab, 2);
  const auto frame = headless::LastFrame();
  std::vector<DrawCall> rows;
  bool heading = false;
  for (const DrawCall& c : frame) {
    if (c.kind != DrawCall::Text) continue;
    if (c.text == "About" && c.y == 50) heading = true;
    if (c.y >= 115 && c.x > 880 && c.text != "About") rows.push_back(c);
  }
  EXPECT_TRUE(heading);
  // Empty lines draw nothing but keep their rows.
  size_t row = 0;
  for (int n = 1; n <= 30; ++n) {
    if (Credit[n].empty()) continue;
    ASSERT_LT(row, rows.size());
    EXPECT_EQ(rows[row].text, Credit[n]);
    EXPECT_EQ(rows[row].y, 115 + 20 * (n - 1));
    EXPECT_NEAR(rows[row].x + TextWidth(Credit[n]) / 2, 940 + 167, 1) << Credit[n];
    ++row;
  }
  EXPECT_EQ(row, rows.size());
  EXPECT_EQ(AimGradB, 1.0f);
}

// The font lines credit the faces that the run folder holds under the face
// names the game loads, and every line of the text stays inside the panel
// in the face and size the tab uses at each display width.
TEST_F(TitleTest, AboutCreditsTheShippedFacesAndFitsThePanel) {
  auto utf16be = [](const std::string& text) {
    std::string out;
    for (char c : text) out += std::string(1, '\0') + c;
    return out;
  };
  const struct {
    int line;
    std::string text, file, face, maker;
  } fonts[] = {
      {21, "Font : Liberation Sans Narrow, Oracle", "SVBasicManual.ttf", "Liberation Sans Narrow", "Oracle"},
      {22, "Font : Roboto Condensed by Google", "November.ttf", "Roboto Condensed", "Google"},
      {23, "Font : Liberation Sans Narrow Bold, Oracle", "Blue Highway.ttf", "Liberation Sans Narrow Bold", "Oracle"},
      {24, "Font : DejaVu Sans Mono by DejaVu", "Acknowledge TT QXV.ttf", "DejaVu Sans Mono", "DejaVu"},
  };
  for (const auto& f : fonts) {
    EXPECT_EQ(Credit[f.line], f.text);
    const std::string bytes = testsupport::ReadBytes(PIBBO_RUN_DIR "/Files/Common/" + f.file);
    ASSERT_FALSE(bytes.empty()) << f.file;
    // The font's own name table names the face and its maker.
    EXPECT_NE(bytes.find(utf16be(f.face)), std::string::npos) << f.file;
    EXPECT_NE(bytes.find(utf16be(f.maker)), std::string::npos) << f.file;
  }

  for (int width : {800, 850, 1280}) {
    MyScrw = width;
    const std::string face = PIBBO_RUN_DIR "/Files/Common/" + FontScaleFor(width).mainFace + ".ttf";
    Fontb[FontGridIndex(1, 2)] = LoadImageFont(face, GridFontSize(2, width));
    ASSERT_TRUE(Fontb[FontGridIndex(1, 2)]) << face;
    TitleTab = 2;
    Settle();
    UseFont(1, 2);
    int rows = 0;
    for (const DrawCall& c : headless::LastFrame()) {
      if (c.kind != DrawCall::Text || c.y < 115 || c.x < 700) continue;
      ++rows;
      EXPECT_GT(c.x, PanelX) << width << ": " << c.text;
      EXPECT_LT(c.x + TextWidth(c.text), PanelX + PanelW) << width << ": " << c.text;
    }
    EXPECT_EQ(rows, std::count_if(Credit, Credit + 30, [](const std::string& l) { return !l.empty(); })) << width;
  }
  TitleTab = 0;
}

TEST_F(TitleTest, DifficultyChangesByClickAndKeysAndSelectsTheTable) {
  for (int mode = 0; mode < 3; ++mode) {
    auto r = std::make_shared<Scores>();
    r->GameMode = mode;
    r->Score = 100 * (mode + 1);
    r->Name = "mode" + std::to_string(mode);
    r->Timestamp = 1000 + mode;
    Highscores.AddLast(r);
  }
  SortList(Highscores);
  Settle();
  EXPECT_EQ(Texts("mode1").size(), 1u);

  // "Hard": box 372 < x < 572, 780 < y < 820; held for several passes.
  Pointer(400, 790);
  headless::Script(At(1) + " button 1 down");
  ForgetSounds();
  for (int k = 0; k < 4; ++k) TitlePass();
  EXPECT_EQ(GameMode, 2);
  EXPECT_EQ(MenuSounds(), std::vector<float>{1.0f});
  // Moving onto "Easy" with the button still held chooses nothing more.
  Pointer(400, 690);
  for (int k = 0; k < 3; ++k) TitlePass();
  EXPECT_EQ(GameMode, 2);
  headless::Script(At(0) + " button 1 up");
  TitlePass();
  EXPECT_EQ(Texts("mode2").size(), 1u);

  // Down on Hard wraps to Easy, up on Easy to Hard; a held arrow steps once.
  Pointer(100, 100);
  struct Step {
    int key;
    int mode;
    float rate;
  } steps[] = {{40, 0, 1.05f}, {38, 2, 0.95f}, {38, 1, 0.95f}, {40, 2, 1.05f}};
  for (const Step& s : steps) {
    ForgetSounds();
    headless::Script(At(0) + " key " + std::to_string(s.key) + " down");
    for (int k = 0; k < 5; ++k) TitlePass();
    headless::Script(At(0) + " key " + std::to_string(s.key) + " up");
    TitlePass();
    EXPECT_EQ(GameMode, s.mode);
    EXPECT_EQ(MenuSounds(), std::vector<float>{s.rate});
  }
}

TEST_F(TitleTest, AccountFilterTurnsItsCharactersIntoUnderscores) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"Ab*c**", "Ab_c__"},
      {"*\"'-+&?{}[]~#\\/:;", "_________________"},
      {"x|y z_9", "x|y z_9"},
      {"\xe9t\xe9", "\xe9t\xe9"},
  };
  for (const auto& [in, out] : cases) {
    RegName = in;
    RegPass = in;
    TitlePass();
    EXPECT_EQ(RegName, out);
    EXPECT_EQ(RegPass, out);
  }
  EXPECT_EQ(FilterAccountText("a*b-c?", 6), "a_b_c?");  // the head's six
}

TEST_F(TitleTest, EscapeQuitsUnlessStillHeldFromAGame) {
  TitlePass();
  EXPECT_EQ(TitleQuit, 0);
  headless::Script(At(0) + " tap 27");
  EXPECT_EQ(TitlePass(), 1);

  TitleQuit = 0;
  EscapeLatch = 1;  // as a game leaves it
  headless::Script(At(0) + " key 27 down");
  EXPECT_EQ(TitlePass(), 0);
  EXPECT_EQ(TitlePass(), 0);
  headless::Script(At(0) + " key 27 up");
  EXPECT_EQ(TitlePass(), 0);
  headless::Script(At(0) + " tap 27");
  EXPECT_EQ(TitlePass(), 1);
}

// A player that quits each game through the pause screen and names it.
struct QuitBot {
  static inline int frames = 0;
  static inline bool named = false;
  static int Tick() {
    if (InGame == 1 && ++frames == 5) headless::Script(At(0) + " tap 27");
    if (InGame == 0 && frames > 0 && !named) {
      named = true;
      headless::Script(At(5) + " text Kim\n" + At(300) + " tap 13");
    }
    return 0;
  }
};

TEST_F(TitleTest, StartPromptsPlayAGameAndTheTitleComesBackWithItsRecord) {
  SetFixedLocalTime(2026, 12, 10, 12, 0, 0);
  PauseHook = [] { return 99; };
  MusicTickHook = QuitBot::Tick;
  struct Case {
    int mouseInput;
    std::vector<std::string> press;
  } cases[] = {
      {1, {"mouse 472 480", "pass", "click 1"}},  // "Click Here to Start"
      {0, {"key 90 down"}},               // Z, player 1's first button, held
  };
  for (const Case& c : cases) {
    QuitBot::frames = 0;
    QuitBot::named = false;
    MyName.clear();
    MouseInput = c.mouseInput;
    StartLatch = 0;
    Settle();
    if (c.mouseInput == 0) {
      EXPECT_EQ(Texts("Press Start (Z) To Begin").size(), 1u);
    }
    const size_t before = Highscores.Count();
    ForgetSounds();
    Input(c.press);
    for (int k = 0; k < 4 && Highscores.Count() == before; ++k) TitlePass();
    ASSERT_EQ(Highscores.Count(), before + 1) << "mode " << c.mouseInput;
    if (c.mouseInput == 1) {
      // The rest of the pass that ran the game draws the label where the
      // slide starts, 800 below the centre, out of sight.
      ASSERT_EQ(Texts("Click Here to Start").size(), 1u);
      const DrawCall label = Texts("Click Here to Start")[0];
      EXPECT_GT(label.y, 1200) << "not at the centre, where the click was";
      EXPECT_LT(label.y, 1280);
    }
    EXPECT_EQ(MenuSounds().front(), 1.5f);
    EXPECT_EQ(Highscores.First()->Name, "Kim");
    EXPECT_EQ(Highscores.First()->Quit, 1);
    EXPECT_EQ(Highscores.First()->GameMode, 1);
    EXPECT_EQ(InGame, 0);
    EXPECT_EQ(SlideIn, 0);  // the panel slides in again from the next pass
    // The record shows on the Hiscore tab from the next pass.
    TitlePass();
    EXPECT_EQ(Texts("Kim").size(), Highscores.Count());
    // The input that started the game does not start another.
    for (int k = 0; k < 40; ++k) TitlePass();
    EXPECT_EQ(Highscores.Count(), before + 1);
    Input({"key 90 up"});
    TitlePass();
  }
  PauseHook = PauseMe;
  ClearFixedLocalTime();
}


// Logged in, the Online tab shows the fetched table of the chosen difficulty
// in the shared score screen, with the online panel colour, while the local
// best stays the one the game would upload.
TEST_F(TitleTest, TheOnlineTabShowsTheFetchedTableAndKeepsTheLocalBest) {
  auto entry = [](TList<Scores>& list, int mode, int64_t score, const std::string& name, int64_t stamp) {
    auto r = std::make_shared<Scores>();
    r->GameMode = mode;
    r->Score = score;
    r->Name = name;
    r->Timestamp = stamp;
    list.AddLast(r);
    return r;
  };
  auto local = entry(Highscores, 1, 500, "local", 10);
  entry(AltScores, -2, 900, "web1", 30)->Best[30] = 1;
  entry(AltScores, -2, 700, "web2", 20);
  entry(AltScores, -1, 990, "easyweb", 40);
  SortList(AltScores);
  ResetOnlineTables();
  LoggedIn = 1;
  TitleTab = 1;
  Settle();
  ASSERT_EQ(PanelX, 940);
  // Row 1 of the table: top at 960 - 589; hovered, it fills the panel above.
  Pointer(1000, 380);
  for (int k = 0; k < 3; ++k) TitlePass();  // taken in, sampled by fps, read
  ASSERT_EQ(Texts("web1").size(), 2u) << "in its row and in the detail panel";
  EXPECT_EQ(Texts("web1")[0].x, 949);
  EXPECT_EQ(Texts("web1")[0].y, 371);
  EXPECT_EQ(Texts("000000000900").size(), 1u);
  EXPECT_EQ(Texts("000000000700").size(), 1u);
  EXPECT_TRUE(Texts("easyweb").empty()) << "another difficulty's table";
  EXPECT_TRUE(Texts("local").empty()) << "the Hiscore tab's table";
  EXPECT_EQ(Texts("Complete!").size(), 1u);
  bool panel = false;
  for (const DrawCall& c : headless::LastFrame())
    panel |= c.kind == DrawCall::Rect && c.r == 125 && c.g == 180 && c.b == 125 && c.y == 960 - 729;
  EXPECT_TRUE(panel);
  EXPECT_EQ(ThisIsHigh, local);
  TitleTab = 0;
  LoggedIn = 0;
}

}  // namespace
