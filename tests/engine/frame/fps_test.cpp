// The end-of-frame routine on the headless back end's virtual clock:
// pacing, the frame-rate average, frame skip, the hot keys and quitting.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "frame_fixture.h"

namespace fs = std::filesystem;
using frame_test::At;
using frame_test::CallsOf;
using frame_test::HasText;

namespace {

class Fps : public frame_test::FrameTest {};

TEST_F(Fps, CallsEndAtLeast15msApartAndAlwaysSleep) {
  uint32_t previous = headless::Now();
  // Empty frames, a 10 ms frame and frames longer than the frame time.
  for (int work : {0, 0, 10, 30, 0, 40}) {
    headless::Advance(work);
    const uint32_t before = headless::Now();
    fps(60, 0, 0);
    const uint32_t end = headless::Now();
    EXPECT_GE(end - previous, 15u) << "frame work " << work;
    EXPECT_GE(end - before, 1u) << "no sleep after " << work << " ms of work";
    // Time lost in a long frame is not made up: it still ends right after one sleep.
    if (work >= 15) {
      EXPECT_EQ(end - before, 1u);
    }
    previous = end;
  }
  EXPECT_EQ(headless::FlipCount(), 6);
}

TEST_F(Fps, AverageOf16msFramesClimbsAsTruncatedThirds) {
  const std::vector<int> expected = {20, 34, 43, 49, 53, 56, 58, 59, 60, 60};
  for (size_t i = 0; i < expected.size(); ++i) {
    headless::Advance(15);  // the wait then ends 16 ms after the previous frame
    fps(60, 1, 1);
    EXPECT_EQ(Frametook, 16);
    EXPECT_EQ(FramesPerSec, expected[i]) << "frame " << i + 1;
  }
}

TEST_F(Fps, PacingSurvivesTheClockWrapping) {
  headless::SetClock(0xFFFFFFFFu - 5);
  LastFrame = MMillisecs();
  for (int i = 0; i < 3; ++i) fps(60, 0, 0);
  // Three frames of 15 ms across the wrap: 45 ms in all, not a hang.
  EXPECT_EQ(headless::Now(), 0xFFFFFFFFu - 5 + 45);
  EXPECT_EQ(Frametook, 15);
  EXPECT_EQ(FramesPerSec, (66 + 2 * ((66 + 2 * 22) / 3)) / 3);
}

TEST_F(Fps, FrameSkipPresentsAndDrawsEverySecondCall) {
  Options[7] = 1;
  std::vector<int> drawn;
  for (int call = 0; call < 6; ++call) {
    CLS3d(1);
    drawimg(CommonIcons, 10, 10, 0, 1);
    drawn.push_back(DrawCount[1]);
    const int flipsBefore = headless::FlipCount();
    fps(60, 0, 0);
    EXPECT_EQ(headless::FlipCount() - flipsBefore, call % 2 == 0 ? 1 : 0) << "call " << call;
  }
  EXPECT_EQ(drawn, (std::vector<int>{1, 0, 1, 0, 1, 0}));
  // Mode 0 presents every call, whatever the phase.
  Options[7] = 0;
  const int flips = headless::FlipCount();
  for (int call = 0; call < 4; ++call) fps(60, 0, 0);
  EXPECT_EQ(headless::FlipCount() - flips, 4);
}

TEST_F(Fps, F11OnAHiddenFrameIsTakenOnTheNextShownOne) {
  SetFixedLocalTime(2026, 12, 7, 23, 30, 15);
  Options[7] = 1;
  fps(60, 0, 0);  // shown; the next call is hidden
  headless::Script(At(0) + " tap 122\n");
  fps(60, 0, 0);
  EXPECT_TRUE(comments.IsEmpty());
  fps(60, 0, 0);
  ASSERT_EQ(comments.Count(), 1u);
  EXPECT_EQ(comments.First()->txt, "Saved Screenshot");
}

TEST_F(Fps, PauseScreenQuitAnswers99AndMovesGameStart) {
  // A pause screen that waits for Q, frame after frame.
  PauseHook = [] {
    while (!KeyHit('Q')) fps(60, 1, 1);
    return 99;
  };
  InGame = 1;
  GameStart = MMillisecs();
  const int startBefore = GameStart;
  headless::Script(At(0) + " key 27 down\n" + At(40) + " key 27 up\n" + At(200) + " tap 81\n");
  const uint32_t before = headless::Now();
  EXPECT_EQ(fps(60, 0, 1), 99);
  EXPECT_EQ(InGame, 1);
  // The pause lasted at least until Q arrived, 200 ms in.
  EXPECT_GE(GameStart - startBefore, 200);
  EXPECT_LE(static_cast<uint32_t>(GameStart - startBefore), headless::Now() - before);

  // Outside a game Escape does nothing here.
  InGame = 0;
  headless::Script(At(0) + " key 27 down\n" + At(30) + " key 27 up\n");
  EXPECT_EQ(fps(60, 0, 1), 0);
  EXPECT_EQ(InGame, 0);
}

TEST_F(Fps, PauseScreenContinueAnswers1) {
  PauseHook = [] {
    EXPECT_EQ(InGame, 2);
    while (!KeyHit(KEY_RETURN)) fps(60, 1, 1);
    return 1;
  };
  InGame = 1;
  headless::Script(At(0) + " key 27 down\n" + At(20) + " key 27 up\n" + At(100) + " tap 13\n");
  EXPECT_EQ(fps(60, 0, 1), 1);
  EXPECT_EQ(InGame, 1);
}

TEST_F(Fps, F11SavesThePictureBesideTheSettingsWithoutOverwriting) {
  SetFixedLocalTime(2026, 12, 7, 23, 30, 15);
  // A frame with a red square in the top-left corner and a message.
  Cls();
  ResetDraw();
  SetColor(255, 0, 0);
  DrawRect(0, 0, 64, 64);
  SetColor(255, 255, 255);
  AddComment("old news", 1);
  headless::Script(At(0) + " tap 122\n");
  headless::Advance(1);  // it comes while the program sleeps
  fps(60, 0, 0);

  const std::string first = filesDir_ + "/Pibbo Zorravel (Screenshot_07 Dec 2026_233015).png";
  ASSERT_TRUE(fs::exists(first));
  EXPECT_EQ(fs::current_path(), fs::path(filesDir_ + "/260"));
  Pixmap picture = LoadPixmapPNG(first);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, MyScrw);
  EXPECT_EQ(picture->height, MyScrh);
  // 64 virtual pixels are 40 real ones on an 800-wide display.
  EXPECT_EQ(picture->At(10, 10)[0], 255);
  EXPECT_EQ(picture->At(10, 10)[1], 0);
  EXPECT_EQ(picture->At(100, 100)[0], 0);
  ASSERT_EQ(comments.Count(), 2u);
  EXPECT_EQ(comments.Last()->txt, "Saved Screenshot");
  const auto firstTime = fs::last_write_time(first);

  // A second shot in the same second gets a name of its own.
  headless::Script(At(0) + " tap 122\n");
  headless::Advance(1);  // it comes while the program sleeps
  fps(60, 0, 0);
  EXPECT_TRUE(fs::exists(filesDir_ + "/Pibbo Zorravel (Screenshot_07 Dec 2026_233015) 2.png"));
  EXPECT_EQ(fs::last_write_time(first), firstTime);
  EXPECT_EQ(fs::current_path(), fs::path(filesDir_ + "/260"));
}

// Whatever stands at a shot's name (a FIFO, a socket, a link to a device
// or a link that leads nowhere) stays as it was: the shot takes the next
// free name.
TEST_F(Fps, F11LeavesWhatStandsAtTheShotsNameAsItWas) {
  SetFixedLocalTime(2026, 12, 7, 23, 30, 15);
  const std::string stem = filesDir_ + "/Pibbo Zorravel (Screenshot_07 Dec 2026_233015)";
  struct Case {
    const char* what;
    std::function<bool(const std::string&)> make;
    fs::file_type kind;  // what stands there, its links not followed
  };
  const Case cases[] = {
      {"a FIFO", [](const std::string& p) { return mkfifo(p.c_str(), 0666) == 0; }, fs::file_type::fifo},
      {"a socket",
       [](const std::string& p) {
         sockaddr_un at{};
         at.sun_family = AF_UNIX;
         if (p.size() >= sizeof at.sun_path) return false;
         std::memcpy(at.sun_path, p.c_str(), p.size() + 1);
         const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
         const bool bound = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
         if (fd >= 0) close(fd);
         return bound;
       },
       fs::file_type::socket},
      {"a link to a device", [](const std::string& p) { return symlink("/dev/null", p.c_str()) == 0; },
       fs::file_type::symlink},
      {"a dangling link", [](const std::string& p) { return symlink("nowhere/at.png", p.c_str()) == 0; },
       fs::file_type::symlink},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& e : fs::directory_iterator(filesDir_)) {
      if (e.path().extension() == ".png") fs::remove(e.path());
    }
    ASSERT_TRUE(c.make(stem + ".png"));
    comments.Clear();
    headless::Script(At(0) + " tap 122\n");
    headless::Advance(1);
    fps(60, 0, 0);
    EXPECT_EQ(fs::symlink_status(stem + ".png").type(), c.kind);
    if (c.kind == fs::file_type::symlink) {
      EXPECT_FALSE(fs::is_regular_file(stem + ".png"));
    }
    EXPECT_TRUE(LoadPixmapPNG(stem + " 2.png"));
    ASSERT_EQ(comments.Count(), 1u);
    EXPECT_EQ(comments.Last()->txt, "Saved Screenshot");
  }
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(Fps, FailedScreenshotSaysSo) {
  SetFixedLocalTime(2026, 12, 7, 23, 30, 15);
  MyScrw = 0;  // nothing to grab: nothing can be written
  headless::Script(At(0) + " tap 122\n");
  fps(60, 0, 0);
  ASSERT_EQ(comments.Count(), 1u);
  EXPECT_EQ(comments.First()->txt, "Screenshot could not be saved");
  EXPECT_EQ(fs::current_path(), fs::path(filesDir_ + "/260"));
  MyScrw = 800;
}

TEST(ScreenshotName, UnsafeCharactersGo) {
  EXPECT_EQ(SFW("Pibbo Zorravel (Screenshot_07 Dec 2026_23:30:15)"),
            "Pibbo Zorravel (Screenshot_07 Dec 2026_233015)");
  EXPECT_EQ(SFW("a.b:c'd e_(f)-g"), "abcd e_(f)-g");
  EXPECT_EQ(SFW("#',`.\\/:|*?\""), "");
  EXPECT_EQ(SFW(""), "");
}

TEST_F(Fps, F12TogglesTheOverlay) {
  headless::Script(At(0) + " tap 123\n");
  headless::Advance(1);  // it comes while the program sleeps
  fps(60, 0, 0);
  EXPECT_EQ(DebugMode, 1);
  auto frame = headless::LastFrame();
  EXPECT_TRUE(HasText(frame, "Hit F12 to remove this"));
  EXPECT_TRUE(HasText(frame, "Drawn Images : 0/50000"));
  fps(60, 0, 0);
  EXPECT_TRUE(HasText(headless::LastFrame(), "Hit F12 to remove this"));
  headless::Script(At(0) + " tap 123\n");
  headless::Advance(1);  // it comes while the program sleeps
  fps(60, 0, 0);
  EXPECT_EQ(DebugMode, 0);
  EXPECT_FALSE(HasText(headless::LastFrame(), "Hit F12 to remove this"));
}

TEST_F(Fps, CursorAndMouseState) {
  // Pointer at real (400, 300): virtual (640, 480).
  headless::Script(At(0) + " mouse 400 300\n");
  headless::Advance(1);  // it comes while the program sleeps
  fps(60, 0, 1);
  auto images = CallsOf(headless::LastFrame(), DrawCall::Image);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].frame, 63);
  EXPECT_FLOAT_EQ(images[0].x, 652);
  EXPECT_FLOAT_EQ(images[0].y, 492);
  EXPECT_FLOAT_EQ(images[0].scaleX, 1.5f);
  EXPECT_EQ(mx, 640);
  EXPECT_EQ(my, 480);

  headless::Script(At(0) + " mouse 10 20\n");
  headless::Advance(1);  // it comes while the program sleeps
  fps(60, 0, 0);  // no cursor unless the settings panel is open
  EXPECT_TRUE(CallsOf(headless::LastFrame(), DrawCall::Image).empty());
  EXPECT_EQ(wx, 640);
  EXPECT_EQ(wy, 480);
  EXPECT_EQ(mx, 16);
  EXPECT_EQ(my, 32);
  OptionScreen = 1;
  fps(60, 0, 0);
  EXPECT_FALSE(CallsOf(headless::LastFrame(), DrawCall::Image).empty());
}

TEST_F(Fps, TabTogglesTheSettingsPanelAndSavesEachTime) {
  const std::string ini = filesDir_ + "/Setup.ini";
  static int panelFrames;
  panelFrames = 0;
  SettingsPanelHook = [] { return ++panelFrames, 0; };
  headless::Script(At(0) + " tap 9\n");
  headless::Advance(1);  // it comes while the program sleeps
  fps(60, 1, 1);
  EXPECT_EQ(OptionScreen, 1);
  ASSERT_TRUE(fs::exists(ini));
  fs::remove(ini);
  for (int i = 0; i < 3; ++i) fps(60, 1, 1);
  EXPECT_EQ(panelFrames, 4);  // the panel is run every frame
  EXPECT_FALSE(fs::exists(ini));
  headless::Script(At(0) + " tap 9\n");
  headless::Advance(1);  // it comes while the program sleeps
  fps(60, 1, 1);
  EXPECT_EQ(OptionScreen, 0);
  EXPECT_TRUE(fs::exists(ini));
  SettingsPanelHook = nullptr;
}

TEST_F(Fps, MusicVolumeFollowsTheSettingsEveryFrame) {
  ASSERT_EQ(SetAudioDriver("FreeMix"), 1);
  MusicChannel = 0;
  Options[11] = 40;
  Options[13] = 50;
  fps(60, 0, 0);
  EXPECT_FLOAT_EQ(fvf, 0.0f);  // no music: nothing computed
  MusicChannel = AllocChannel();
  fps(60, 0, 0);
  EXPECT_FLOAT_EQ(fvf, 20.0f);
  Options[13] = 100;
  fps(60, 0, 0);
  EXPECT_FLOAT_EQ(fvf, 40.0f);
}

using FpsDeath = Fps;

TEST_F(FpsDeath, CloseRequestOrAltF4RunsFinish) {
  EXPECT_EXIT(
      {
        headless::Script(At(0) + " close\n" + At(3000) + " key 32 down\n");
        fps(60, 0, 0);
        std::exit(3);  // not reached: Finish ends the process
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(
      {
        headless::Script(At(0) + " key 164 down\n" + At(0) + " key 115 down\n" + At(100) +
                         " key 115 up\n" + At(100) + " key 164 up\n" + At(3000) + " key 32 down\n");
        fps(60, 0, 0);
        std::exit(3);
      },
      ::testing::ExitedWithCode(0), "");
  // The closing sequence saved the settings beside the per-game folder.
  EXPECT_TRUE(fs::exists(filesDir_ + "/Setup.ini"));
}

}  // namespace
