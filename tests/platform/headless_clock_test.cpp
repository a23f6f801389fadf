// The headless back end's virtual clock, script timing, display modes and
// environment.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/headless.h"
#include "platform/platform.h"

namespace {

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override { PlatformInit(BackendKind::Headless); }
  void TearDown() override {
    for (const char* name : {"PIBBO_MODES", "PIBBO_PADS", "PIBBO_DESKTOP", "PIBBO_INPUT_SCRIPT", "PIBBO_HEADLESS"})
      unsetenv(name);
    PlatformShutdown();
  }
};

TEST_F(HeadlessTest, DelayAdvancesTheVirtualClock) {
  EXPECT_TRUE(PlatformIsHeadless());
  EXPECT_EQ(headless::Now(), 1000u);
  EXPECT_EQ(headless::StartTime(), 1000u);
  EXPECT_EQ(MilliSecs(), 1000);
  Delay(16);
  EXPECT_EQ(MilliSecs(), 1016);
  Delay(0);
  Delay(-5);
  EXPECT_EQ(MilliSecs(), 1016);
  headless::Advance(4);
  EXPECT_EQ(headless::Now(), 1020u);
  headless::SetClock(0xFFFFFFF0u);  // near the wrap: differences still work
  int before = MilliSecs();
  Delay(32);
  EXPECT_EQ(MilliSecs() - before, 32);

  PlatformInit(BackendKind::Headless);  // a fresh back end, a fresh clock
  EXPECT_EQ(MilliSecs(), 1000);
}

TEST_F(HeadlessTest, ScriptEventsArriveWhenTheClockReachesThem) {
  ASSERT_EQ(Graphics(640, 480), 1);
  headless::Script(
      "# comment\n"
      "\n"
      "100 tap 88\n"
      "200 text hi\n"
      "300 click 2\n");
  headless::Advance(99);
  EXPECT_EQ(KeyHit(88), 0);
  headless::Advance(1);
  EXPECT_EQ(KeyDown(88), 1);  // the tap's release is 1 ms later
  headless::Advance(1);
  EXPECT_EQ(KeyDown(88), 0);
  EXPECT_EQ(KeyHit(88), 1);

  headless::SetClock(1200);
  EXPECT_EQ(GetChar(), 'h');
  EXPECT_EQ(GetChar(), 0);
  headless::Advance(1);
  EXPECT_EQ(GetChar(), 'i');

  headless::SetClock(1300);
  EXPECT_EQ(MouseDown(2), 1);
  EXPECT_EQ(headless::PendingEvents(), 1);
  headless::ClearScript();
  EXPECT_EQ(headless::PendingEvents(), 0);
}

TEST_F(HeadlessTest, LaterScriptsCountFromTheStartAndMergeInOrder) {
  ASSERT_EQ(Graphics(640, 480), 1);
  headless::Advance(500);
  headless::Script("600 char 66\n100 char 65\n");  // 100 has passed already
  headless::Script("550 char 67\n");
  EXPECT_EQ(GetChar(), 'A');
  EXPECT_EQ(GetChar(), 0);
  headless::Advance(100);
  EXPECT_EQ(GetChar(), 'C');
  EXPECT_EQ(GetChar(), 'B');
}

TEST_F(HeadlessTest, BadScriptLinesAreSkipped) {
  ASSERT_EQ(Graphics(640, 480), 1);
  headless::Script(
      "x key 65 down\n"
      "5 key 65 sideways\n"
      "5 wave\n"
      "-3 char 65\n"
      "5 char 66 extra\n"
      "5 pad 0 axis 9 1\n"
      "5 char 67\r\n");
  EXPECT_EQ(headless::PendingEvents(), 1);
  headless::Advance(5);
  EXPECT_EQ(GetChar(), 'C');
}

TEST_F(HeadlessTest, BusyWaitingLoopReachesItsEvents) {
  ASSERT_EQ(Graphics(640, 480), 1);
  headless::Script("5 close\n");
  int polls = 0;
  // Without giving up time the loop takes events in itself (PollSystem).
  while (AppTerminate() == 0 && polls < 100000) {
    PollSystem();
    ++polls;
  }
  EXPECT_LT(polls, 100000);
  EXPECT_GE(headless::Now(), 1005u);
}

TEST_F(HeadlessTest, ScriptFileFromEnvironment) {
  std::filesystem::path file = std::filesystem::temp_directory_path() /
                               ("pibbo_script_" + std::to_string(::getpid()) + ".txt");
  {
    std::ofstream out(file);
    out << "0 key 13 down\n10 mouse 5 6\n";
  }
  setenv("PIBBO_INPUT_SCRIPT", file.c_str(), 1);
  PlatformInit(BackendKind::Headless);
  ASSERT_EQ(Graphics(640, 480), 1);
  EXPECT_EQ(KeyDown(13), 1);
  Delay(10);
  EXPECT_EQ(MouseX(), 5);

  headless::LoadScript(file.string());  // loading again queues it again;
  EXPECT_EQ(headless::PendingEvents(), 2);
  Delay(1);
  EXPECT_EQ(KeyHit(13), 1);  // both times have passed, so all arrive at the next intake
  EXPECT_EQ(headless::PendingEvents(), 0);
  std::filesystem::remove(file);
  headless::LoadScript(file.string());  // missing file: nothing queued
  EXPECT_EQ(headless::PendingEvents(), 0);
}

TEST_F(HeadlessTest, DisplayModesAndOpening) {
  EXPECT_EQ(CountGraphicsModes(), 7);
  int w = 0, h = 0, d = 0, hz = 0;
  GetGraphicsMode(3, w, h, d, hz);
  EXPECT_EQ((std::vector<int>{w, h, d, hz}), (std::vector<int>{1600, 900, 32, 60}));
  GetGraphicsMode(7, w, h, d, hz);  // bad index: untouched
  EXPECT_EQ(w, 1600);
  DesktopSize(w, h);
  EXPECT_EQ((std::vector<int>{w, h}), (std::vector<int>{1920, 1080}));

  headless::SetModes({{1024, 768, 16, 60}, {1024, 768, 32, 75}, {800, 600, 8, 60}, {1366, 768, 24, 60}});
  EXPECT_EQ(CountGraphicsModes(), 3);  // 8-bit modes are not offered
  EXPECT_EQ(GraphicsModeExists(1024, 768, 32), 1);
  EXPECT_EQ(GraphicsModeExists(1024, 768, 32, 60), 0);
  EXPECT_EQ(GraphicsModeExists(1366, 768, 32), 0);
  EXPECT_EQ(GraphicsModeExists(1366, 768, 24), 1);
  EXPECT_EQ(GraphicsModeExists(800, 600, 8), 0);

  // Full screen needs a mode; a window of any size opens.
  EXPECT_EQ(Graphics(1366, 768, 32), 0);
  EXPECT_EQ(GraphicsOpen(), 0);
  EXPECT_EQ(Graphics(1366, 768, 24, 75), 1);  // the rate is only a wish
  EXPECT_EQ(headless::Display().depth, 24);
  EXPECT_EQ(Graphics(1280, 1024, 0), 1);
  EXPECT_EQ(GraphicsWidth(), 1280);
  EXPECT_EQ(GraphicsHeight(), 1024);
  EXPECT_EQ(headless::Display().depth, 0);
  headless::SetOpenFails(true);
  EXPECT_EQ(Graphics(800, 600), 0);
  EXPECT_EQ(GraphicsOpen(), 0);
  EXPECT_EQ(GraphicsWidth(), 0);
  EXPECT_EQ(Graphics(0, 600), 0);
}

TEST_F(HeadlessTest, EnvironmentConfiguresModesPadsAndDesktop) {
  setenv("PIBBO_MODES", "1280x960, 1440x900,junk,1600x900", 1);
  setenv("PIBBO_PADS", "3", 1);
  setenv("PIBBO_DESKTOP", "1440x900", 1);
  PlatformInit(BackendKind::Headless);
  ASSERT_EQ(CountGraphicsModes(), 3);
  int w, h, d, hz;
  GetGraphicsMode(1, w, h, d, hz);
  EXPECT_EQ((std::vector<int>{w, h, d, hz}), (std::vector<int>{1440, 900, 32, 60}));
  EXPECT_EQ(JoyCount(), 3);
  DesktopSize(w, h);
  EXPECT_EQ((std::vector<int>{w, h}), (std::vector<int>{1440, 900}));

  setenv("PIBBO_HEADLESS", "1", 1);
  EXPECT_EQ(PlatformKindFromEnvironment(), BackendKind::Headless);
  setenv("PIBBO_HEADLESS", "0", 1);
  EXPECT_EQ(PlatformKindFromEnvironment(), BackendKind::Real);
}

TEST_F(HeadlessTest, WindowTitleAndCursor) {
  AppTitle("#260 : Pibbo Zorravel");
  HideMouse();
  ASSERT_EQ(Graphics(640, 480), 1);
  EXPECT_EQ(headless::Title(), "#260 : Pibbo Zorravel");
  EXPECT_FALSE(headless::CursorVisible());  // hidden before the display opened
  ShowMouse();
  EXPECT_TRUE(headless::CursorVisible());
}

}  // namespace
