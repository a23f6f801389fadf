// Aiming, the launch and its preview, the flight, the walls and landings.
#include <cmath>

#include "game_fixture.h"
#include "script_time.h"

namespace game_test {
namespace {

using testsupport::At;

// The button goes down (up) between two frames: the next frame sees it.
void ButtonDown() {
  headless::Script(At(0) + " button 1 down");
  headless::Advance(1);
}
void ButtonUp() {
  headless::Script(At(0) + " button 1 up");
  headless::Advance(1);
}

class Flight : public GameTest {};

TEST_F(Flight, AimIsValidOnlyWithThePointerCloseBelowTheHero) {
  struct Case {
    int x, y;
    bool valid;
  } cases[] = {
      {640, 980, true},    // straight below
      {700, 960, true},    // below and to the right
      {640, 1080, false},  // exactly 200 below
      {640, 1079, true},
      {740, 880, false},   // level with him: 90 degrees
      {600, 700, false},   // above him
  };
  for (const Case& c : cases) {
    HoldPointer(c.x, c.y);
    EXPECT_EQ(play.aimValid, c.valid) << c.x << "," << c.y << " avg " << play.avgAng << " " << play.avgDist;
  }
  // The averages come from the last 11 readings: one reading of a new spot
  // moves them by a eleventh of the way.
  HoldPointer(640, 980);
  mx = 640;
  my = 1090;
  AimAndFire();
  EXPECT_NEAR(play.avgDist, 100 + 110 / 11.0f, 1e-3);
}

TEST_F(Flight, LaunchNeedsAFreshPressAndTakesTheAveragedAim) {
  // The button still held from the click that started the game fires nothing.
  ButtonDown();
  HoldPointer(700, 960);
  StepsOfAFrame();
  EXPECT_EQ(pd, 0);
  ButtonUp();
  StepsOfAFrame();
  EXPECT_EQ(pd, 0);
  EXPECT_EQ(play.hasFired, 0);

  ForgetEffects();
  ButtonDown();
  AimAndFire();
  const float avgAng = play.avgAng, avgDist = play.avgDist;
  LaunchAndPreview();
  EXPECT_FLOAT_EQ(pd, avgDist / 16 + 10);
  EXPECT_FLOAT_EQ(pa, avgAng);
  EXPECT_GT(pa, 0);  // pointer to his right: he leans left
  EXPECT_EQ(play.grace, 15);
  EXPECT_EQ(play.hasFired, 1);
  EXPECT_EQ(EffectsPlayed(), std::vector<int>{5});

  // In flight, and after he comes to rest with the button still held,
  // nothing fires.
  StepsOfAFrame();
  EXPECT_NE(pd, 0);
  pd = pa = 0;
  px = 640;
  py = 880;
  HoldPointer(700, 960);
  StepsOfAFrame();
  EXPECT_EQ(pd, 0);

  // A click that comes and goes between two frames still fires.
  ButtonUp();
  StepsOfAFrame();
  headless::Script(At(0) + " click 1");
  headless::Advance(5);
  StepsOfAFrame();
  EXPECT_NE(pd, 0);
}

TEST_F(Flight, PreviewTracesTheFlightItPredicts) {
  EmptyField();
  px = 150;                // room to the right for the whole preview
  HoldPointer(120, 1000);  // below and to the left: a shot up and right
  ASSERT_TRUE(play.aimValid);
  headless::ClearDrawCalls();
  AimAndFire();
  LaunchAndPreview();
  const int dashPhase = play.dashPhase;
  std::vector<DrawCall> lines = CallsOf(headless::DrawCalls(), DrawCall::Line);
  ASSERT_GE(lines.size(), 45u);  // 44..46 dashes and the aim line
  lines.pop_back();              // the aim line
  for (const DrawCall& l : lines) {
    EXPECT_EQ(l.lineWidth, 1);
    EXPECT_EQ(l.r, 255);
    EXPECT_FLOAT_EQ(l.alpha, 0.8f);
  }

  // Fire with the same aim, and fly with nothing in the way.
  const float ang = play.avgAng, dist = play.avgDist;
  ButtonDown();
  AimAndFire();
  ASSERT_FLOAT_EQ(play.avgAng, ang);
  ASSERT_FLOAT_EQ(play.avgDist, dist);
  LaunchAndPreview();
  ASSERT_NE(pd, 0);
  std::vector<std::pair<float, float>> path = {{px, py}};
  for (int n = 1; n <= 180 && pd != 0; ++n) {
    FlightStep();
    path.emplace_back(px, py);
  }
  // Every dash joins two successive points of the flight.
  size_t checked = 0;
  for (int n = 1; n <= 180; ++n) {
    const int phase = (n + dashPhase) % 8;
    if (phase != 1 && phase != 2) continue;
    ASSERT_LT(checked, lines.size());
    const DrawCall& l = lines[checked++];
    if (static_cast<size_t>(n) >= path.size()) break;  // landed: the preview runs on below the ground
    EXPECT_EQ(l.x, path[n].first) << "step " << n;
    EXPECT_EQ(l.y, path[n].second) << "step " << n;
    EXPECT_EQ(l.x2, path[n - 1].first) << "step " << n;
    EXPECT_EQ(l.y2, path[n - 1].second) << "step " << n;
  }
  EXPECT_GT(checked, 20u);
}

TEST_F(Flight, WallsBounceHimBackAndPayOncePerBounce) {
  EmptyField();
  struct Case {
    float x, heading;
    float wantX, wantHeading;
  } cases[] = {
      {103, 60, 102, -60.55f},           // left wall
      {1177, -60, 1178, 60.55f},         // right wall
  };
  for (const Case& c : cases) {
    px = c.x;
    py = 500;
    pa = c.heading;
    pd = 10;
    hops = 2;
    score = 0;
    scoreget.Clear();
    ForgetEffects();
    FlightStep();
    EXPECT_FLOAT_EQ(px, c.wantX);
    EXPECT_FLOAT_EQ(pa, c.wantHeading);
    EXPECT_EQ(EffectsPlayed(), std::vector<int>{7});
    EXPECT_EQ(score, 75);
    ASSERT_EQ(scoreget.Count(), 1u);
    EXPECT_EQ(scoreget.First()->y, static_cast<int>(py - 32));
  }
  // Resting on a seed beyond the wall line: put back, but no bonus.
  px = 1185;
  pa = 0;
  pd = 0;
  score = 0;
  ForgetEffects();
  FlightStep();
  EXPECT_FLOAT_EQ(px, 1178);
  EXPECT_EQ(score, 0);
  EXPECT_TRUE(EffectsPlayed().empty());
}

TEST_F(Flight, AShotStraightUpComesBackDown) {
  EmptyField();
  pa = 0;
  pd = 10;
  play.prevY = py;
  int frames = 0;
  while (pd != 0 && frames < 5000) {
    FlightStep();
    GroundAndHero();
    ++frames;
  }
  EXPECT_LT(frames, 5000);
  EXPECT_EQ(landings, 4);
  EXPECT_EQ(py, 880);
}

TEST_F(Flight, LandingsPayTheFlightAndTheSixthEndsTheGame) {
  EmptyField();
  for (int landing = 1; landing <= 6; ++landing) {
    px = 640;
    py = 878;
    pa = 170;  // heading down
    pd = 12;
    play.prevY = py;
    play.airPoints = 33;
    score = 0;
    scoreget.Clear();
    ForgetEffects();
    FlightStep();
    EXPECT_EQ(py, 880);
    EXPECT_EQ(pd, 0);
    EXPECT_EQ(pa, 0);
    EXPECT_EQ(landings, 5 - landing);
    EXPECT_EQ(score, 33);
    EXPECT_EQ(play.airPoints, 0);
    ASSERT_EQ(scoreget.Count(), 1u);
    EXPECT_EQ(scoreget.First()->y, 960 - 112);
    EXPECT_EQ(EffectsPlayed(), landing == 5 ? (std::vector<int>{3, 6}) : (std::vector<int>{3}));
    EXPECT_EQ(play.endFlag, landing == 6 ? 1 : 0);
  }
  // Sitting on the ground counts no landing.
  play.prevY = py;
  FlightStep();
  EXPECT_EQ(landings, -1);

  // A flight of N frames pays N - 1 points.
  landings = 5;
  play.endFlag = 0;
  px = 640;
  py = 880;
  play.prevY = py;
  pa = 10;
  pd = 12;
  play.airPoints = 1;  // the launch frame's count
  int frames = 1;
  scoreget.Clear();
  while (pd != 0) {
    FlightStep();
    GroundAndHero();
    ++frames;
  }
  ASSERT_FALSE(scoreget.IsEmpty());
  EXPECT_EQ(scoreget.Last()->n, frames - 1);  // the landing's pop-up (wall bonuses come before)
}

}  // namespace
}  // namespace game_test
