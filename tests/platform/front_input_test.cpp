// Polled keyboard, mouse and joystick input over the headless back end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless.h"
#include "platform/platform.h"
#include "script_time.h"

namespace {

using testsupport::At;

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PlatformInit(BackendKind::Headless);
    ASSERT_EQ(Graphics(800, 600), 1);
  }
  void TearDown() override { PlatformShutdown(); }
};

TEST_F(InputTest, KeyHitCountsFreshPressesAndResets) {
  headless::Script(
      "0 key 65 down\n"
      "1 key 65 down\n"  // auto-repeat of a held key
      "2 key 65 up\n"
      "3 tap 65\n"
      "5 key 66 down\n"
      "5 button 1 down\n");
  headless::Advance(10);
  EXPECT_EQ(KeyHit(65), 2);
  EXPECT_EQ(KeyHit(65), 0);
  EXPECT_EQ(KeyDown(66), 1);
  EXPECT_EQ(KeyHit(66), 1);
  EXPECT_EQ(KeyDown(66), 1);  // reading the hits leaves the key held
  // A held mouse button is no key; codes out of range answer 0.
  EXPECT_EQ(MouseDown(1), 1);
  EXPECT_EQ(KeyDown(1), 0);
  EXPECT_EQ(KeyDown(-1), 0);
  EXPECT_EQ(KeyDown(256), 0);
  EXPECT_EQ(MouseHit(1), 1);
  EXPECT_EQ(MouseHit(1), 0);
  EXPECT_EQ(MouseDown(4), 0);
}

// A tap between two intakes is held from the first intake after it to the
// next one, for every query and every kind of button; the counts see the
// same press, and reading them takes nothing from the held state.
TEST_F(InputTest, ATapIsHeldForOneIntakeAndCountedOnce) {
  headless::SetPads(1);
  headless::Advance(1);
  EXPECT_EQ(KeyDown(32), 0);  // an intake before the taps
  headless::Script(At(0) + " tap 32\n" + At(0) + " click 1\n" + At(0) + " pad 0 button 2 down\n" + At(1) +
                   " pad 0 button 2 up\n");
  // Events wait for the next intake: no query sees them before time is
  // given up, however often it asks.
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(KeyDown(32), 0);
    EXPECT_EQ(MouseDown(1), 0);
  }
  Delay(5);  // the taps come and go while the program sleeps
  for (int reader = 0; reader < 3; ++reader) {
    EXPECT_EQ(KeyDown(32), 1) << "reader " << reader;
    EXPECT_EQ(MouseDown(1), 1) << "reader " << reader;
    EXPECT_EQ(JoyDown(2, 0), 1) << "reader " << reader;
  }
  EXPECT_EQ(KeyHit(32), 1);
  EXPECT_EQ(MouseHit(1), 1);
  EXPECT_EQ(KeyDown(32), 1);  // the count taken, the press still held
  EXPECT_EQ(MouseDown(1), 1);
  Delay(1);  // the next frame
  EXPECT_EQ(KeyDown(32), 0);
  EXPECT_EQ(MouseDown(1), 0);
  EXPECT_EQ(JoyDown(2, 0), 0);
  EXPECT_EQ(KeyHit(32), 0);

  // A Flip ends no frame: a picture shown in the middle of one takes in
  // nothing, and what came meanwhile waits for the frame's end. A key held
  // across intakes reads held in each.
  headless::Script(At(0) + " key 40 down\n" + At(3) + " key 40 up\n");
  Flip(0);
  EXPECT_EQ(KeyDown(40), 0);
  Delay(1);
  EXPECT_EQ(KeyDown(40), 1);
  Delay(1);
  EXPECT_EQ(KeyDown(40), 1);
  Delay(5);
  EXPECT_EQ(KeyDown(40), 0);
  // PollSystem takes events in at once, for loops that do not give up time.
  headless::Script(At(0) + " tap 41\n");
  EXPECT_EQ(KeyDown(41), 0);
  PollSystem();
  EXPECT_EQ(KeyDown(41), 1);
}

TEST_F(InputTest, QueriesAloneSeeNewInput) {
  headless::Script("0 key 27 down\n20 key 27 up\n");
  int polls = 0;
  while (KeyDown(27) == 0 && polls < 10) ++polls;
  EXPECT_EQ(polls, 0);
  // A loop made of queries and Delay only, no Flip, sees the release.
  while (KeyDown(27) == 1 && polls < 100) {
    Delay(1);
    ++polls;
  }
  EXPECT_EQ(KeyDown(27), 0);
  EXPECT_EQ(polls, 20);
}

TEST_F(InputTest, GetCharKeepsOnlyLatin1InOrder) {
  headless::Script("0 char 300\n0 char 0\n0 char -4\n0 char 233\n0 text ab\n0 char 255\n");
  headless::Advance(5);
  std::vector<int> got;
  for (int c; (c = GetChar()) != 0;) got.push_back(c);
  // "text" types one character per millisecond, so 'b' comes after 255.
  EXPECT_EQ(got, (std::vector<int>{233, 'a', 255, 'b'}));
}

TEST_F(InputTest, TypedCharacterQueueIsBounded) {
  std::string script;
  for (int i = 0; i < 300; ++i) script += "0 char " + std::to_string(32 + i % 90) + "\n";
  headless::Script(script);
  int count = 0;
  while (GetChar() != 0) ++count;
  EXPECT_EQ(count, 256);
}

TEST_F(InputTest, FlushKeysSparesTheMouseAndFlushMouseTheKeys) {
  headless::Script("0 key 90 down\n0 char 97\n0 button 2 down\n");
  FlushKeys();
  EXPECT_EQ(KeyDown(90), 0);
  EXPECT_EQ(KeyHit(90), 0);
  EXPECT_EQ(GetChar(), 0);
  EXPECT_EQ(MouseDown(2), 1);

  headless::Script("1 key 90 down\n");
  headless::Advance(1);
  FlushMouse();
  EXPECT_EQ(MouseDown(2), 0);
  EXPECT_EQ(MouseHit(2), 0);
  EXPECT_EQ(KeyDown(90), 1);
}

TEST_F(InputTest, MouseMapsThroughTheVirtualResolution) {
  SetVirtualResolution(1600, 900);
  headless::Script("0 mouse 400 300\n");
  EXPECT_EQ(MouseX(), 400);
  EXPECT_EQ(MouseY(), 300);
  EXPECT_FLOAT_EQ(VirtualMouseX(), 800.0f);
  EXPECT_FLOAT_EQ(VirtualMouseY(), 450.0f);

  MoveVirtualMouse(1600, 900);
  EXPECT_EQ(MouseX(), 800);
  EXPECT_EQ(MouseY(), 600);
  int x, y;
  headless::MousePosition(x, y);
  EXPECT_EQ(x, 800);
  EXPECT_EQ(y, 600);

  // A new display starts with the virtual resolution at its own size.
  ASSERT_EQ(Graphics(640, 480), 1);
  EXPECT_EQ(VirtualResolutionWidth(), 640.0f);
  MoveMouse(10, 20);
  EXPECT_FLOAT_EQ(VirtualMouseX(), 10.0f);
  SetVirtualResolution(0, 100);  // refused: would divide by zero
  EXPECT_EQ(VirtualResolutionWidth(), 640.0f);
}

// The pointer an intake leaves is where its first press was made; the
// motion after the press shows at the next intake.
TEST_F(InputTest, AnIntakesPointerIsWhereItsPressWasMade) {
  struct Case {
    std::vector<std::string> events;  // all in one intake
    int x, y;                         // the intake's pointer
    int nextX, nextY;                 // the next intake's
  } cases[] = {
      {{"mouse 10 20", "mouse 30 40"}, 30, 40, 30, 40},
      {{"mouse 10 20", "click 1"}, 10, 20, 10, 20},
      {{"mouse 10 20", "button 1 down", "mouse 30 40", "button 2 down", "mouse 50 60"}, 10, 20, 50, 60},
      {{"mouse 10 20", "click 1", "mouse 30 40", "button 1 up"}, 10, 20, 30, 40},
  };
  for (const Case& c : cases) {
    std::string script;
    for (const std::string& e : c.events) script += At(0) + " " + e + "\n";
    headless::Script(script);
    headless::Advance(1);
    EXPECT_EQ(MouseX(), c.x) << c.events.back();
    EXPECT_EQ(MouseY(), c.y) << c.events.back();
    headless::Advance(1);
    EXPECT_EQ(MouseX(), c.nextX) << c.events.back();
    EXPECT_EQ(MouseY(), c.nextY) << c.events.back();
    headless::Script(At(0) + " button 1 up\n" + At(0) + " button 2 up\n");
    headless::Advance(1);
    MouseHit(1);
    MouseHit(2);
  }
}

// A press made inside the claimed area (virtual pixels) is answered only by
// the claimed queries, until it is let go, wherever the pointer goes
// meanwhile; a press outside it only by the others.
TEST_F(InputTest, APressInTheClaimedAreaIsTheClaimantsUntilLetGo) {
  SetVirtualResolution(1600, 1200);
  ClaimMouseButtons(0, 0, 1600, 200);  // real y 0..99
  headless::Script(At(0) + " mouse 50 99\n" + At(0) + " button 1 down\n" + At(0) + " mouse 50 400\n");
  headless::Advance(1);
  EXPECT_EQ(ClaimedMouseDown(1), 1);
  EXPECT_EQ(MouseDown(1), 0);
  EXPECT_EQ(MouseHit(1), 0);
  EXPECT_EQ(ClaimedMouseHit(1), 1);
  headless::Advance(1);  // held below the area
  EXPECT_EQ(MouseY(), 400);
  EXPECT_EQ(ClaimedMouseDown(1), 1);
  EXPECT_EQ(MouseDown(1), 0);
  headless::Script(At(0) + " button 1 up\n");
  headless::Advance(1);
  EXPECT_EQ(ClaimedMouseDown(1), 0);

  // Just below the area, and the right button: not claimed.
  headless::Script(At(0) + " mouse 50 100\n" + At(0) + " click 2\n");
  headless::Advance(1);
  EXPECT_EQ(MouseDown(2), 1);
  EXPECT_EQ(ClaimedMouseDown(2), 0);
  EXPECT_EQ(MouseHit(2), 1);
  EXPECT_EQ(ClaimedMouseHit(2), 0);

  // With the claim withdrawn a press there is everybody's again.
  ClaimMouseButtons(0, 0, 0, 0);
  headless::Script(At(0) + " mouse 50 10\n" + At(0) + " click 1\n");
  headless::Advance(1);
  EXPECT_EQ(MouseDown(1), 1);
  EXPECT_EQ(ClaimedMouseDown(1), 0);
}

TEST_F(InputTest, EndGraphicsStopsInputUntilTheNextDisplay) {
  headless::Script("0 key 32 down\n0 button 1 down\n0 char 65\n");
  EXPECT_EQ(KeyDown(32), 1);
  EndGraphics();
  headless::Script("5 key 13 down\n6 close\n");
  headless::Advance(10);
  EXPECT_EQ(KeyDown(32), 0);
  EXPECT_EQ(MouseDown(1), 0);
  EXPECT_EQ(KeyDown(13), 0);
  EXPECT_EQ(AppTerminate(), 0);
  EXPECT_EQ(headless::PendingEvents(), 2);  // nothing was taken in

  ASSERT_EQ(Graphics(800, 600), 1);
  // What was held before the display closed is forgotten; events that came
  // due meanwhile arrive now.
  EXPECT_EQ(KeyDown(32), 0);
  EXPECT_EQ(GetChar(), 0);
  EXPECT_EQ(KeyDown(13), 1);
  EXPECT_EQ(AppTerminate(), 1);
  EXPECT_EQ(AppTerminate(), 0);
}

TEST_F(InputTest, JoysticksFollowConfigurationAndScript) {
  EXPECT_EQ(JoyCount(), 0);
  EXPECT_EQ(JoyHat(0), 0.0f);  // no pad: like a pad without a hat
  headless::SetPads(2);
  ASSERT_EQ(JoyCount(), 2);
  EXPECT_EQ(JoyName(0), "Headless Pad 1");
  EXPECT_EQ(JoyName(1), "Headless Pad 2");
  EXPECT_EQ(JoyName(2), "");
  EXPECT_EQ(JoyButtonCaps(1), 0xFFF);
  EXPECT_EQ(JoyHat(1), -1.0f);
  for (float axis : {JoyX(0), JoyY(0), JoyZ(0), JoyR(0), JoyU(0), JoyV(0)}) EXPECT_EQ(axis, 0.0f);

  headless::SetPadName(1, "Stick");
  headless::SetPadButtonCaps(1, 0x5);
  EXPECT_EQ(JoyName(1), "Stick");
  EXPECT_EQ(JoyButtonCaps(1), 5);

  headless::Script(
      "10 pad 1 axis 0 0.5\n"
      "10 pad 1 axis 4 -2\n"
      "10 pad 1 hat 0.25\n"
      "10 pad 0 button 3 down\n"
      "20 pad 0 button 3 up\n");
  headless::Advance(9);
  EXPECT_EQ(JoyX(1), 0.0f);
  headless::Advance(1);
  // Pads read the script on the clock, with no input query in between.
  EXPECT_EQ(JoyX(1), 0.5f);
  EXPECT_EQ(JoyU(1), -1.0f);  // clamped
  EXPECT_EQ(JoyHat(1), 0.25f);
  EXPECT_EQ(JoyDown(3, 0), 1);
  EXPECT_EQ(JoyDown(3, 1), 0);
  EXPECT_EQ(JoyDown(32, 0), 0);
  EXPECT_EQ(JoyDown(3, 5), 0);
  headless::Advance(10);
  EXPECT_EQ(JoyDown(3, 0), 0);

  headless::SetPadAxis(0, 1, -0.75f);
  headless::SetPadHat(0, 0.5f);
  headless::SetPadButton(0, 31, true);
  EXPECT_EQ(JoyY(0), -0.75f);
  EXPECT_EQ(JoyHat(0), 0.5f);
  EXPECT_EQ(JoyDown(31, 0), 1);

  headless::SetPads(100);
  EXPECT_EQ(JoyCount(), 8);
  EXPECT_EQ(JoyName(1), "Stick");  // existing pads keep their set-up
}

}  // namespace
