// Input codes and bindings with scripted keyboard and mouse input and two
// headless joysticks (ports 0 and 1 = pads 1 and 2).
#include "frame_fixture.h"

using frame_test::At;

namespace {

class Input : public frame_test::FrameTest {
 protected:
  int Pads() const override { return 2; }
  // Delivers scripted events that are due now.
  static void Deliver(const std::string& lines) {
    headless::Script(lines);
    PollSystem();
  }
};

TEST_F(Input, PadsAreFoundAtRest) {
  ASSERT_EQ(StickCount, 2);
  EXPECT_EQ(StickOn[1] + StickOn[2], 2);
  EXPECT_EQ(StickHat[1], 1);
  EXPECT_EQ(StickOn[3], 0);
  for (int code : {0, 1, 2, 3, 9, 255, 299, 300, 320, 330, 400, 500, 1000, -5}) EXPECT_EQ(key(code), 0) << code;
  EXPECT_EQ(GetKey(), 0);
}

TEST_F(Input, KeyboardKeysAndBindings) {
  Deliver(At(0) + " key 90 down\n" + At(0) + " key 37 down\n");
  EXPECT_EQ(key(90), 1);
  EXPECT_EQ(PlayKey(10, 1), 1);  // Z: player 1's button 1
  EXPECT_EQ(PlayKey(3, 1), 1);   // Left
  EXPECT_EQ(PlayKey(0, 1), 0);
  EXPECT_EQ(PlayKey(10, 2), 0);  // unbound
  EXPECT_EQ(GetKey(), 37);       // the lowest held code wins
  Deliver(At(0) + " key 123 down\n");
  EXPECT_EQ(GetKey(), 0);  // F12 held: nothing is reported
  Deliver(At(0) + " key 123 up\n" + At(0) + " key 37 up\n" + At(0) + " key 90 up\n" + At(0) + " key 9 down\n");
  EXPECT_EQ(key(9), 0);  // Tab is never an active binding
  EXPECT_EQ(GetKey(), 9);
}

TEST_F(Input, MouseButtonsAreNeverActiveInputs) {
  Deliver(At(0) + " button 1 down\n" + At(0) + " button 2 down\n" + At(0) + " button 3 down\n");
  ASSERT_EQ(MouseDown(1), 1);
  for (int code : {1, 2, 3}) EXPECT_EQ(key(code), 0) << code;
  EXPECT_EQ(GetKey(), 0);
}

TEST_F(Input, AxesAgainstTheirRestValues) {
  StickY[1] = 0.1f;
  struct Case {
    int axis;  // headless axis: 0 X, 1 Y, 2 Z, 3 R, 4 U, 5 V
    float value;
    int active;  // the code that is active, 0 for none
  };
  const std::vector<Case> cases = {
      {1, -0.21f, 300}, {1, -0.19f, 0}, {1, 0.41f, 301}, {1, 0.4f, 0},  {0, -0.5f, 302}, {0, 0.5f, 303},
      {2, -0.5f, 304},  {2, 0.5f, 305}, {4, -0.5f, 306}, {4, 0.5f, 307}, {5, -0.5f, 308}, {5, 0.5f, 309},
      {3, -0.5f, 310},  {3, 0.5f, 311},
  };
  for (const auto& c : cases) {
    headless::SetPadAxis(0, c.axis, c.value);
    for (int code = 300; code <= 311; ++code) {
      EXPECT_EQ(key(code), code == c.active ? 1 : 0) << "axis " << c.axis << " at " << c.value << ", code " << code;
    }
    EXPECT_EQ(GetKey(), c.active);
    headless::SetPadAxis(0, c.axis, c.axis == 1 ? 0.1f : 0.0f);
  }
}

TEST_F(Input, HatDirectionsAndDiagonals) {
  struct Case {
    float hat;
    std::vector<int> active;  // of 320 up, 323 left, 325 right, 328 down
    int getKey;
  };
  const std::vector<Case> cases = {
      {-1, {}, 0},          {0, {320}, 320},          {0.125f, {320, 325}, 0}, {0.25f, {325}, 325},
      {0.375f, {325, 328}, 0}, {0.5f, {328}, 328},   {0.625f, {323, 328}, 0}, {0.75f, {323}, 323},
      {0.875f, {320, 323}, 0},
  };
  for (const auto& c : cases) {
    headless::SetPadHat(0, c.hat);
    for (int code : {320, 323, 325, 328}) {
      const bool want = std::find(c.active.begin(), c.active.end(), code) != c.active.end();
      EXPECT_EQ(key(code), want ? 1 : 0) << "hat " << c.hat << ", code " << code;
    }
    EXPECT_EQ(GetKey(), c.getKey) << "hat " << c.hat;
  }
  // A hat that was not centred at start-up never counts.
  StickHat[1] = 0;
  headless::SetPadHat(0, 0);
  EXPECT_EQ(key(320), 0);
  EXPECT_EQ(GetKey(), 0);
}

TEST_F(Input, ButtonsCapsAndDisabledPads) {
  headless::SetPadButton(0, 3, true);
  EXPECT_EQ(key(333), 1);
  EXPECT_EQ(GetKey(), 333);
  StickBut[1] = 3;  // a pad that reports three buttons: 0..2
  EXPECT_EQ(GetKey(), 0);
  EXPECT_EQ(key(333), 1);
  headless::SetPadButton(0, 3, false);

  // Button 19 is held but never offered by GetKey.
  headless::SetPadButton(1, 19, true);
  EXPECT_EQ(key(399), 1);
  EXPECT_EQ(GetKey(), 0);
  headless::SetPadButton(1, 19, false);

  // Pad 1 disabled: its inputs are dead and the scan moves on to pad 2.
  StickOn[1] = 0;
  headless::SetPadAxis(0, 0, 1.0f);
  headless::SetPadAxis(1, 0, 1.0f);
  EXPECT_EQ(key(303), 0);
  EXPECT_EQ(key(353), 1);
  EXPECT_EQ(GetKey(), 353);
  // Bound to a player through KeyV.
  KeyV[25] = 353;
  EXPECT_EQ(PlayKey(5, 2), 1);
  // Codes past the fourth pad never count.
  KeyV[26] = 503;
  EXPECT_EQ(PlayKey(6, 2), 0);
}

}  // namespace
