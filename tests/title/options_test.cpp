// The settings panel and the pause screen on the headless back end, in a
// scratch copy of the run folder, driven by scripted input.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "scores/scores.h"
#include "test_support.h"
#include "title/graph.h"
#include "title/options.h"
#include "title/title.h"
#include "script_time.h"

namespace {

namespace fs = std::filesystem;

using testsupport::At;

// Input that comes while the program sleeps between two frames: the next
// frame takes it in.
void Arrive(const std::string& events) {
  headless::Script(events);
  headless::Advance(1);
}


class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(PIBBO_RUN_DIR "/Files", dir_.path() / "Files", fs::copy_options::recursive);
    PlatformInit(BackendKind::Headless);
    headless::SetModes({{800, 600, 32, 60}, {1280, 960, 32, 60}, {1600, 900, 32, 60}, {1024, 768, 32, 60}});
    headless::SetPads(2);
    ClearEngineEvents();
    InstallScoreKeeping();
    InstallGame();
    InstallTitle();
    CreateStartupTables();
    SetDefaults();
    RaiseEngineEvent(EngineEvent::TablesCreated);
    FilesDir = (dir_.path() / "Files").string();
    GameDir = FilesDir + "/260";
    CommonDir = FilesDir + "/Common";
    ChangeDir(GameDir);
    AuxDrivers = AudioDrivers();
    DiscoverJoysticks();
    Options[kOptWidth] = 1280;
    Options[kOptHeight] = 960;
    FirstRun = 1;  // no splash
    ChangeRes();
    ASSERT_EQ(MyScrw, 1280);
    MouseInput = 1;
    AvailablePlayers = 1;
    optin = -300;
    OptionScreen = 0;
    Options[kOptMaster] = Options[kOptSound] = 50;
  }
  void TearDown() override {
    InGame = 0;
    PauseHook = nullptr;
    ClearEngineEvents();
    PlatformShutdown();
    ChangeDir(fs::temp_directory_path().string());
  }

  static void Frame() {
    CLS3d(1);
    fps(60, 1, 1);
  }
  static void Open() {
    Arrive(At(0) + " tap 9");
    for (int k = 0; k < 12; ++k) Frame();
    ASSERT_EQ(optin, 20);
  }
  static void Pointer(int x, int y) {
    Arrive(At(0) + " mouse " + std::to_string(x) + " " + std::to_string(y));
    Frame();
    Frame();
  }
  static void ClickAt(int x, int y, int button = 1) {
    Pointer(x, y);
    Arrive(At(0) + " click " + std::to_string(button));
    Frame();
    Frame();
  }
  static bool Drawn(const std::string& text) {
    for (const DrawCall& c : headless::LastFrame())
      if (c.kind == DrawCall::Text && c.text == text) return true;
    return false;
  }
  // The top of the last frame's text `text` (-1 when not drawn).
  static int TopOf(const std::string& text) {
    for (const DrawCall& c : headless::LastFrame())
      if (c.kind == DrawCall::Text && c.text == text) return static_cast<int>(c.y);
    return -1;
  }
  std::string Ini() const { return testsupport::ReadBytes((dir_.path() / "Files/Setup.ini").string()); }

  testsupport::TempDir dir_{"options"};
};

TEST_F(OptionsTest, TabSlidesThePanelAndEachButtonStepsOncePerClick) {
  Arrive(At(0) + " tap 9");
  Frame();
  EXPECT_EQ(optin, -268);
  EXPECT_NE(Ini().find("Width=1280"), std::string::npos) << "Tab saves the settings";
  for (int k = 0; k < 12; ++k) Frame();
  EXPECT_EQ(optin, 20);
  EXPECT_TRUE(Drawn("Graphics"));
  EXPECT_TRUE(Drawn("Windowed"));
  EXPECT_TRUE(Drawn("1280x960"));
  EXPECT_TRUE(Drawn("Native (Crisp, Clear)"));
  EXPECT_TRUE(Drawn("Changes require a Restart"));
  EXPECT_TRUE(Drawn("Headless Pad 1"));

  struct Case {
    int x, y, slot;
    std::vector<int> values;  // after each click
    std::string caption;      // shown after the first click
  } cases[] = {
      {30, 20 + 30 + 16, kOptFullscreen, {1, 0}, "Fullscreen"},
      {30, 20 + 146 + 8, kOptFrameSkip, {1, 0}, "Frameskip"},
  };
  for (const Case& c : cases) {
    for (size_t i = 0; i < c.values.size(); ++i) {
      ClickAt(c.x, c.y);
      EXPECT_EQ(Options[c.slot], c.values[i]) << c.caption << " click " << i + 1;
      if (i == 0) {
        EXPECT_TRUE(Drawn(c.caption));
      }
    }
  }

  // The Resolution row: a left click or Right steps forward, a right click
  // backward; the widescreen flag stays as the display set it.
  const int wide = Options[kOptWidescreen];
  const int index = Options[kOptModeIndex];
  ClickAt(30, 20 + 70 + 16);
  EXPECT_EQ(Options[kOptModeIndex], index % MostResses + 1);
  EXPECT_EQ(Options[kOptWidescreen], wide);
  ClickAt(30, 20 + 70 + 16, 2);
  EXPECT_EQ(Options[kOptModeIndex], index);
  Arrive(At(0) + " tap 39");
  Frame();
  EXPECT_EQ(Options[kOptModeIndex], index % MostResses + 1);
  EXPECT_EQ(Options[kOptWidth], ResolutionW[Options[kOptModeIndex]]);
  EXPECT_GT(Options[kOptWidth], 0);

  // Arrows pressed while the row is not hovered (for the difficulty list,
  // say) step nothing when the pointer comes to it later.
  const int kept = Options[kOptModeIndex];
  Pointer(600, 600);
  Arrive(At(0) + " tap 38\n" + At(1) + " tap 39");
  Frame();
  Frame();
  Pointer(30, 20 + 70 + 16);
  Frame();
  EXPECT_EQ(Options[kOptModeIndex], kept);
}

TEST_F(OptionsTest, SlidersAndPads) {
  Options[kOptMusic] = 150;
  Open();
  EXPECT_EQ(Options[kOptMusic], 100) << "pulled into range on the first drawn frame";
  // The track's middle: 20 above its label's top.
  const int x = 1280 - 280, master = TopOf("Master Volume : 50") - 20;
  ASSERT_GE(master, 20 + 10 + 60);
  struct Drag {
    int at, stored;
  } drags[] = {{50, 50}, {3, 0}, {97, 100}, {20, 20}};  // the pointer at x - 2 + value
  for (const Drag& d : drags) {
    Pointer(x - 2 + d.at, master + 10);
    Arrive(At(0) + " button 1 down");
    Frame();
    Frame();
    Arrive(At(0) + " button 1 up");
    Frame();
    EXPECT_EQ(Options[kOptMaster], d.stored) << d.at;
  }
  EXPECT_TRUE(Drawn("Master Volume : 20"));

  // A click on a pad's line switches it off, another on.
  ASSERT_EQ(StickCount, 2);
  const int pad2 = TopOf("Headless Pad 2") + 5;
  ASSERT_GE(pad2, 20 + 10 + 220 + 15 + 5);
  ClickAt(x + 5, pad2);
  EXPECT_EQ(StickOn[2], 0);
  EXPECT_EQ(StickOn[1], 1);
  ClickAt(x + 5, pad2);
  EXPECT_EQ(StickOn[2], 1);
}

// The driver button notes a driver for the next start: the driver in use,
// the music and the effects sounding now go on, and the choice reaches the
// settings file when the panel saves, from which start-up takes it.
TEST_F(OptionsTest, TheAudioDriverButtonKeepsTheChoiceForTheNextStart) {
  ASSERT_GE(AuxDrivers.size(), 2u);
  ASSERT_EQ(SetAudioDriver(AuxDrivers[0]), 1);
  const Sound loop = LoadSound(PIBBO_RUN_DIR "/Files/260/098.wav", SOUND_LOOP);
  ASSERT_TRUE(loop);
  MusicChannel = PlaySound(loop);
  Channel[0] = PlaySound(loop);
  Channel[21] = PlaySound(loop);
  const int music = MusicChannel, voice = Channel[0], effect = Channel[21];
  ASSERT_TRUE(music != 0 && voice != 0 && effect != 0);
  Open();
  const std::string saved = Ini();
  ASSERT_NE(saved.find("AudioDriver = " + AuxDrivers[0] + "\r\n"), std::string::npos);

  const int x = 1280 - 280;
  ClickAt(x + 5, 20 + 20 + 16);
  const int now = Options[kOptAudioDriver];
  EXPECT_EQ(now, 1);
  EXPECT_TRUE(Drawn(AuxDrivers[1])) << "the button names the chosen driver";
  EXPECT_TRUE(Drawn("Changes require a Restart"));
  EXPECT_EQ(CurrentAudioDriver(), AuxDrivers[0]);
  EXPECT_EQ(MusicChannel, music);
  EXPECT_EQ(Channel[0], voice);
  EXPECT_EQ(Channel[21], effect);
  for (int channel : {music, voice, effect}) EXPECT_TRUE(ChannelPlaying(channel)) << channel;
  EXPECT_EQ(Ini(), saved) << "a click saves nothing by itself";

  // Every driver of the list in turn, then round to the first again.
  const int states = static_cast<int>(std::min<size_t>(6, AuxDrivers.size()));
  for (int k = 2; k <= states; ++k) {
    ClickAt(x + 5, 20 + 20 + 16);
    EXPECT_EQ(Options[kOptAudioDriver], k % states);
  }
  ClickAt(x + 5, 20 + 20 + 16);
  EXPECT_EQ(Options[kOptAudioDriver], 1);
  EXPECT_EQ(CurrentAudioDriver(), AuxDrivers[0]);
  EXPECT_TRUE(ChannelPlaying(music));

  // Tab closes the panel and saves; the next start reads the file.
  Arrive(At(0) + " tap 9");
  Frame();
  EXPECT_NE(Ini().find("AudioDriver = " + AuxDrivers[1] + "\r\n"), std::string::npos);
  EXPECT_EQ(CurrentAudioDriver(), AuxDrivers[0]);
  Options[kOptAudioDriver] = 0;
  ChangeDir(FilesDir);
  ReadIni();
  ChooseAudioDriver();
  ChangeDir(GameDir);
  EXPECT_EQ(Options[kOptAudioDriver], 1);
  EXPECT_EQ(CurrentAudioDriver(), AuxDrivers[1]);
  MusicChannel = 0;
  std::fill(std::begin(Channel), std::end(Channel), 0);
}

TEST_F(OptionsTest, BindingButtonsTakeTheHeldInputInKeyboardMode) {
  MouseInput = 1;
  Open();
  EXPECT_FALSE(Drawn("Up")) << "no grid while the game is played with the mouse";
  MouseInput = 0;
  // Player 1's up button at (300, optin + 10).
  Pointer(300 + 24, 20 + 10 + 24);
  Arrive(At(0) + " key 87 down");  // W
  Frame();
  Arrive(At(0) + " key 87 up");
  Frame();
  EXPECT_EQ(KeyV[0], 87);
  EXPECT_TRUE(Drawn("W"));
  // A pad button binds too; Backspace unbinds.
  Arrive(At(0) + " pad 0 button 4 down");
  Frame();
  Arrive(At(0) + " pad 0 button 4 up");
  Frame();
  EXPECT_EQ(KeyV[0], 250 + 50 + 30 + 4);
  Arrive(At(0) + " tap 8");
  Frame();
  Frame();
  EXPECT_EQ(KeyV[0], 0);
  EXPECT_TRUE(Drawn("?!"));
  // Tab saves the new binding of the fire button.
  Pointer(250 + 190 + 24, 20 + 10 + 60 + 24);
  Arrive(At(0) + " key 70 down");
  Frame();
  Arrive(At(0) + " key 70 up\n" + At(1) + " tap 9");
  Frame();
  Frame();
  EXPECT_EQ(KeyV[10], 70);
  EXPECT_NE(Ini().find("Key=10,70"), std::string::npos);
}

TEST_F(OptionsTest, ApplyReopensTheDisplayAndKeepsThisRunsGames) {
  auto game = std::make_shared<Scores>();
  game->Name = "this run";
  game->Timestamp = 5;
  Highscores.AddLast(game);
  Open();
  // Forward to 1600 x 900, then Apply.
  while (Options[kOptWidth] != 1600) ClickAt(30, 20 + 70 + 16);
  EXPECT_TRUE(Drawn("1600x900"));
  const int changes = DisplayChanges;
  ClickAt(25, 20 + 262);
  EXPECT_EQ(DisplayChanges, changes + 1) << "one display change, not one per nested frame";
  EXPECT_EQ(MyScrw, 1600);
  EXPECT_EQ(JScrw, 1600);
  EXPECT_EQ(JScrh, 900);
  EXPECT_EQ(Options[kOptWidescreen], 1);
  EXPECT_TRUE(Fonts[2]);
  EXPECT_EQ(OptionScreen, 0);
  EXPECT_NE(Ini().find("Width=1600"), std::string::npos);
  ASSERT_EQ(Highscores.Count(), 1u);
  EXPECT_EQ(Highscores.First()->Name, "this run");
}

// The pause screen inside a game: Escape opens it, Continue resumes the
// same game, Quit ends it.
TEST_F(OptionsTest, PauseContinuesTheSameGameOrQuitsIt) {
  PauseHook = PauseMe;
  InGame = 1;
  SeedRnd(260);
  StartGame();
  for (int k = 0; k < 20; ++k) ASSERT_EQ(PlayFrame(), 0);
  const float x = px, y = py;
  const int64_t points = score;
  const size_t seeds = dandys.Count();
  const float firstSeedY = dandys.First()->y;

  Arrive(At(0) + " tap 27\n" + At(200) + " key 32 down\n" + At(260) + " key 32 up");
  const uint32_t t0 = headless::Now();
  EXPECT_EQ(PlayFrame(), 0);
  EXPECT_GE(headless::Now() - t0, 150u) << "the pause screen ran its own frames";
  EXPECT_EQ(InGame, 1);
  EXPECT_EQ(px, x);
  EXPECT_EQ(py, y);
  EXPECT_EQ(score, points);
  EXPECT_EQ(dandys.Count(), seeds);
  EXPECT_NEAR(dandys.First()->y, firstSeedY, 2.0f) << "one frame of drift, not the pause's";

  // Down to "Quit", Space takes it; the game loop then ends.
  Arrive(At(0) + " tap 27\n" + At(100) + " key 40 down\n" + At(150) + " key 40 up\n" + At(250) +
                   " key 32 down\n" + At(300) + " key 32 up");
  EXPECT_EQ(PlayFrame(), 99);
  PauseHook = nullptr;
}

}  // namespace

namespace {

// During a game each press is a tap that comes and goes between two frames.
// Every reader of the frame that takes it in sees it, and no reader sees it
// again in the next frame. A click on the settings panel steps its button
// once, and the hero under the panel sees the button up: the click is the
// panel's. Escape pauses and Escape continues, and Up, Down and Space
// work the pause menu, with frame skipping on as well.
TEST_F(OptionsTest, TapsDuringAGameReachThePanelThePauseScreenAndTheHero) {
  PauseHook = PauseMe;
  InGame = 1;
  SeedRnd(260);
  StartGame();
  for (int k = 0; k < 20; ++k) ASSERT_EQ(PlayFrame(), 0);
  Arrive(At(0) + " tap 9");
  for (int k = 0; k < 12; ++k) ASSERT_EQ(PlayFrame(), 0);
  ASSERT_EQ(optin, 20) << "Tab opens the panel over the game";

  ASSERT_EQ(StickCount, 2);
  const int mode = Options[kOptModeIndex];
  const int x = 1280 - 280;
  struct Case {
    const char* what;
    int x, y;
    const int* value;
    int after;
  } cases[] = {
      {"Fullscreen", 30, 20 + 30 + 16, &Options[kOptFullscreen], 1},
      {"Frameskip", 30, 20 + 146 + 8, &Options[kOptFrameSkip], 1},
      {"Resolution", 30, 20 + 70 + 16, &Options[kOptModeIndex], mode % MostResses + 1},
      {"a pad's line", x + 5, 20 + 10 + 220 + 15 + 5, &StickOn[2], 0},
  };
  for (const Case& c : cases) {
    Arrive(At(0) + " mouse " + std::to_string(c.x) + " " + std::to_string(c.y));
    PlayFrame();
    PlayFrame();  // fps has taken the pointer for the next frame
    play.fireLatch = 1;
    Arrive(At(0) + " click 1");
    PlayFrame();
    EXPECT_EQ(*c.value, c.after) << c.what;
    EXPECT_EQ(play.fireLatch, 0) << c.what << ": the hero saw the button up";
    for (int k = 0; k < 3; ++k) PlayFrame();
    EXPECT_EQ(*c.value, c.after) << c.what << ": one step per click";
  }
  EXPECT_EQ(Options[kOptFrameSkip], 1);

  // Apply: one display change; the panel closes.
  const int changes = DisplayChanges;
  Arrive(At(0) + " mouse 25 " + std::to_string(20 + 262));
  PlayFrame();
  PlayFrame();
  Arrive(At(0) + " click 1");
  PlayFrame();
  EXPECT_EQ(DisplayChanges, changes + 1);
  EXPECT_EQ(OptionScreen, 0);
  for (int k = 0; k < 12; ++k) PlayFrame();
  ASSERT_EQ(optin, -300);

  // Escape pauses; Escape on "Continue" resumes, and the game goes on
  // without the pause screen opening again.
  Arrive(At(0) + " tap 27\n" + At(300) + " tap 27");
  const uint32_t t0 = headless::Now();
  for (int k = 0; k < 3 && headless::Now() - t0 < 150; ++k) ASSERT_EQ(PlayFrame(), 0);
  EXPECT_GE(headless::Now() - t0, 300u) << "the pause screen ran until the second Escape";
  EXPECT_EQ(InGame, 1);
  for (int k = 0; k < 10; ++k) {
    const uint32_t before = headless::Now();
    ASSERT_EQ(PlayFrame(), 0);
    EXPECT_LT(headless::Now() - before, 40u) << "frame " << k << " of the game again";
  }

  // Down, Up, Down, Space: each tap steps once, and "Quit" ends the game.
  Arrive(At(0) + " tap 27\n" + At(100) + " tap 40\n" + At(200) + " tap 38\n" + At(300) + " tap 40\n" +
         At(400) + " tap 32");
  int answer = 0;
  for (int k = 0; k < 3 && answer == 0; ++k) answer = PlayFrame();
  EXPECT_EQ(answer, 99);
  PauseHook = nullptr;
}

}  // namespace

namespace {

// A screenshot shows its notice in the middle of a frame. A click that comes
// while it is being saved is taken in at the frame's end like any other,
// and the next frame's readers see it: the hero fires, and on the title
// screen a click on "Hard" chooses it.
TEST_F(OptionsTest, AClickDuringAScreenshotReachesTheNextFrame) {
  Options[kOptFrameSkip] = 0;
  const auto shots = [&] {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir_.path() / "Files")) n += e.path().extension() == ".png";
    return n;
  };
  // The frame has taken its input in; F11 in it, the click comes after.
  const auto clickDuringAShot = [&] {
    Arrive(At(0) + " tap 122");
    KeyDown(0);
    headless::Script(At(0) + " click 1");
  };

  PauseHook = PauseMe;
  InGame = 1;
  SeedRnd(260);
  StartGame();
  Arrive(At(0) + " mouse 640 940");  // below the hero: a valid aim
  for (int k = 0; k < 15; ++k) ASSERT_EQ(PlayFrame(), 0);
  ASSERT_TRUE(play.aimValid);
  ASSERT_EQ(play.fireLatch, 0);
  ASSERT_EQ(pd, 0);
  int before = shots();
  clickDuringAShot();
  PlayFrame();
  EXPECT_EQ(shots(), before + 1) << "the screenshot";
  EXPECT_EQ(pd, 0) << "the click came after this frame's fire test";
  PlayFrame();
  EXPECT_NE(pd, 0) << "the next frame fires";
  InGame = 0;
  PauseHook = nullptr;

  GameMode = 1;
  for (int k = 0; k < 32; ++k) TitlePass();
  UseFont(2, 6);  // the list's items stand 50 apart, or a line height where taller
  const int pitch = std::max(50, TextHeight("Ay"));
  const int hardX = (JScrw - PanelW) / 2 - 100 + 50, hardY = JScrh / 2 + 200 + 2 * pitch + 20;
  Arrive(At(0) + " mouse " + std::to_string(hardX) + " " + std::to_string(hardY));
  TitlePass();
  TitlePass();
  before = shots();
  clickDuringAShot();
  for (int k = 0; k < 3; ++k) TitlePass();
  EXPECT_EQ(shots(), before + 1) << "the screenshot";
  EXPECT_EQ(GameMode, 2) << "the click on Hard";
}

}  // namespace

namespace {

// The default window: 800x600 on the 1280x960 virtual screen, so every
// pointer position is scaled on its way to the frame's readers.
class SmallWindowTest : public OptionsTest {
 protected:
  void SetUp() override {
    OptionsTest::SetUp();
    Options[kOptWidth] = 800;
    Options[kOptHeight] = 600;
    ChangeRes();
    ASSERT_EQ(MyScrw, 800);
    ASSERT_EQ(JScrw, 1280);
    ASSERT_EQ(JScrh, 960);
    Options[kOptFrameSkip] = 0;
    GameMode = 1;
    TitleTab = 0;
  }

  // A script line moving the pointer to a virtual position (multiples of 8
  // scale to whole window pixels).
  static std::string MoveTo(int vx, int vy) {
    return At(0) + " mouse " + std::to_string(vx * 5 / 8) + " " + std::to_string(vy * 5 / 8) + "\n";
  }
  // Events that come while the program waits at the end of a frame, as the
  // window system's do: the wait's intake takes them all in at once.
  static void DuringTheWait(const std::string& events) { headless::Script(events); }

  // A game under way with only the hero on the field, resting at (px, y).
  static void GameWithTheHeroAt(float y) {
    InGame = 1;
    SeedRnd(260);
    StartGame();
    dandys.Clear();
    shapoofs.Clear();
    py = y;
  }
};

// A press that comes in the same intake as a move of the pointer is tested
// where the pointer went, and where the press was made when the pointer
// moved on before the intake: on a tab, on a difficulty and below the hero.
TEST_F(SmallWindowTest, APressThatComesWithAMoveLandsWhereThePointerWent) {
  for (int k = 0; k < 32; ++k) TitlePass();
  // Tab boxes: y 5..55, x 860..984, 997..1121, 1133..1257; the list (a
  // line height of 71 apart at this size): x 332..532, Easy y 680..720,
  // Medium 751..791, Hard 822..862.
  struct Case {
    const char* what;
    int restX, restY, toX, toY;
    int afterX, afterY;  // where the pointer went after the press, or -1
    const int* value;
    int before, after;
  } cases[] = {
      {"tab 1 from tab 0", 920, 32, 1056, 32, -1, -1, &TitleTab, 0, 1},
      {"tab 1, then on to tab 2", 920, 32, 1056, 32, 1192, 32, &TitleTab, 0, 1},
      {"Hard from Easy", 432, 696, 432, 840, -1, -1, &GameMode, 1, 2},
      {"Hard, then back to Medium", 432, 696, 432, 840, 432, 768, &GameMode, 1, 2},
  };
  for (const Case& c : cases) {
    TitleTab = 0;
    GameMode = 1;
    DuringTheWait(MoveTo(c.restX, c.restY));
    for (int k = 0; k < 3; ++k) TitlePass();
    ASSERT_EQ(*c.value, c.before) << c.what;
    std::string events = MoveTo(c.toX, c.toY) + At(0) + " click 1\n";
    if (c.afterX >= 0) events += MoveTo(c.afterX, c.afterY);
    DuringTheWait(events);
    for (int k = 0; k < 4; ++k) TitlePass();
    EXPECT_EQ(*c.value, c.after) << c.what;
  }

  // The hero rests at (640, 880). From a pointer out of his reach (208 px
  // away) a jump to 48 px below him with a press fires him, also when the
  // pointer leaves for above him before the intake.
  for (const bool movesOn : {false, true}) {
    GameWithTheHeroAt(880);
    DuringTheWait(MoveTo(840, 936));
    for (int k = 0; k < 15; ++k) ASSERT_EQ(PlayFrame(), 0);
    ASSERT_FALSE(play.aimValid);
    ASSERT_EQ(play.fireLatch, 0);
    std::string events = MoveTo(640, 928) + At(0) + " click 1\n";
    if (movesOn) events += MoveTo(640, 600);
    DuringTheWait(events);
    PlayFrame();
    PlayFrame();
    EXPECT_EQ(play.hasFired, 1) << (movesOn ? "moved on" : "stayed");
    EXPECT_GT(pd, 10.0f);
  }
  InGame = 0;
}

// While the settings panel shows, a press on its band is the panel's
// alone: nothing drawn under the band takes it, not even once the pointer
// has dragged it off the band. Keys still reach the title screen.
TEST_F(SmallWindowTest, APressOnTheOpenPanelsBandIsThePanelsAlone) {
  for (int k = 0; k < 32; ++k) TitlePass();
  Arrive(At(0) + " tap 9");
  for (int k = 0; k < 12; ++k) TitlePass();
  ASSERT_EQ(optin, 20);  // the band: y 0..320
  // A press at (vx, vy), dragged on to (toX, toY) before the intake when
  // toX is not -1; the button stays down.
  const auto pressOn = [](int vx, int vy, int toX = -1, int toY = -1) {
    DuringTheWait(MoveTo(vx, vy));
    for (int k = 0; k < 3; ++k) TitlePass();
    DuringTheWait(At(0) + " button 1 down\n" + (toX < 0 ? "" : MoveTo(toX, toY)));
    TitlePass();
    TitlePass();
  };
  const auto release = [] {
    DuringTheWait(At(0) + " button 1 up\n");
    for (int k = 0; k < 3; ++k) TitlePass();
  };

  // The audio driver's button (x 1000.., y 40..72) over the Online tab's box.
  ASSERT_GE(AuxDrivers.size(), 2u);
  const int driver = Options[kOptAudioDriver];
  pressOn(1008, 48);
  EXPECT_EQ(StartHeld, 0) << "the start label does not hold the press";
  release();
  EXPECT_EQ(Options[kOptAudioDriver], (driver + 1) % static_cast<int>(AuxDrivers.size()));
  EXPECT_EQ(TitleTab, 0) << "the Online tab under it did not take the press";

  // Pressed on the band and dragged onto Hard, the press picks nothing.
  pressOn(432, 160, 432, 840);
  EXPECT_EQ(GameMode, 1);
  release();

  // The difficulty list as it slides in lies under the band: Medium at y
  // 251..291 while the slide stands at 12.
  const auto passAtSlide12 = [] {
    SlideIn = 11;
    TitlePass();
  };
  DuringTheWait(MoveTo(432, 264));
  for (int k = 0; k < 3; ++k) passAtSlide12();
  GameMode = 0;
  DuringTheWait(At(0) + " click 1\n");
  for (int k = 0; k < 3; ++k) passAtSlide12();
  EXPECT_EQ(GameMode, 0);
  for (int k = 0; k < 32; ++k) TitlePass();

  // Keys work as ever with the pointer on the band.
  Arrive(At(0) + " tap 51");
  for (int k = 0; k < 3; ++k) TitlePass();
  EXPECT_EQ(TitleTab, 2);

  // The hero riding high, at y 200 under the band, with the pointer below
  // him: a click there is the panel's; with the panel gone it fires him.
  GameWithTheHeroAt(200);
  DuringTheWait(MoveTo(640, 248));
  for (int k = 0; k < 15; ++k) ASSERT_EQ(PlayFrame(), 0);
  ASSERT_TRUE(play.aimValid);
  ASSERT_EQ(optin, 20);
  DuringTheWait(At(0) + " click 1\n");
  for (int k = 0; k < 3; ++k) PlayFrame();
  EXPECT_EQ(play.hasFired, 0) << "the click was the panel's";
  Arrive(At(0) + " tap 9");
  for (int k = 0; k < 12; ++k) PlayFrame();
  ASSERT_EQ(optin, -300);
  py = 200;
  DuringTheWait(At(0) + " click 1\n");
  for (int k = 0; k < 3; ++k) PlayFrame();
  EXPECT_EQ(play.hasFired, 1) << "the same click with the panel gone";
  InGame = 0;
}

// While the settings panel shows, the pointer resting on its band is the
// panel's too: the score row half under the band shows no details there,
// and does again just below the band; the panel's own rows still follow the
// pointer. At 1600x900 the band (y 0..320) covers the top of row 1 (y 311..328).
TEST_F(OptionsTest, ThePointerRestingOnTheOpenPanelsBandIsThePanelsAlone) {
  Options[kOptWidth] = 1600;
  Options[kOptHeight] = 900;
  ChangeRes();
  ASSERT_EQ(JScrh, 900);
  ASSERT_EQ(MyScrw, JScrw);  // a window pixel is a unit of the virtual screen
  GameMode = 1;
  TitleTab = 0;
  for (int k = 0; k < 25; ++k) {
    auto r = std::make_shared<Scores>();
    r->Name = "Player " + std::to_string(k);
    r->Score = 1000000 - k;
    r->Timestamp = 1700000000 - k;
    r->GameMode = GameMode;
    Highscores.AddLast(r);
  }
  const auto passes = [](int n) {
    for (int k = 0; k < n; ++k) TitlePass();
  };
  const auto pointer = [&](int x, int y) {
    Arrive(At(0) + " mouse " + std::to_string(x) + " " + std::to_string(y));
    passes(3);
  };
  passes(33);
  const int rowX = PanelX + 100;
  pointer(rowX, 315);
  ASSERT_TRUE(drawscore) << "the panel shut, the row shows its details";
  EXPECT_EQ(drawscore, HighTable[1]);

  Arrive(At(0) + " tap 9");
  passes(12);
  ASSERT_EQ(optin, 20);
  pointer(rowX, 315);
  EXPECT_FALSE(drawscore) << "on the band over row 1";
  const int scroll = fscroll;
  pointer(rowX, 200);
  EXPECT_FALSE(drawscore);
  EXPECT_EQ(fscroll, scroll);
  pointer(rowX, 324);
  EXPECT_EQ(drawscore, HighTable[1]) << "below the band";

  // The Resolution row under the pointer steps the display size on Right.
  const int width = Options[kOptWidth];
  pointer(60, optin + 100);
  Arrive(At(0) + " tap 39");
  passes(2);
  EXPECT_NE(Options[kOptWidth], width);
  Highscores.Clear();
  drawscore.reset();
}

}  // namespace
