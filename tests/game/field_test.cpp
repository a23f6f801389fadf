// The deal of a game, seeds and hops, flowers, puffs, the stars and the HUD.
#include <cmath>

#include "game_fixture.h"

namespace game_test {
namespace {

class Field : public GameTest {};

TEST_F(Field, DealDependsOnTheDifficultyAfterTheSameStars) {
  struct Case {
    int mode;
    size_t seeds;
  } cases[] = {{0, 20}, {1, 15}, {2, 10}, {7, 10}};
  std::vector<float> firstStars;
  for (const Case& c : cases) {
    GameMode = c.mode;
    SeedRnd(99);
    StartGame();
    ASSERT_EQ(dandys.Count(), c.seeds + 5) << c.mode;
    size_t k = 0;
    for (const auto& l : dandys) {
      EXPECT_EQ(l->t, k++ < c.seeds ? 0 : kFlower);
      EXPECT_EQ(l->x, std::floor(l->x));
      EXPECT_TRUE(l->x >= 100 && l->x <= 1180 && l->y >= -400 && l->y <= 660);
      EXPECT_EQ(l->xs, 0);
    }
    ASSERT_EQ(stars.Count(), 50u);
    std::vector<float> starXs;
    for (const auto& s : stars) {
      starXs.push_back(s->x);
      EXPECT_TRUE(s->rot >= 1 && s->rot <= 360);
      EXPECT_EQ(s->dark % 50, 0);
    }
    if (firstStars.empty()) firstStars = starXs;
    EXPECT_EQ(starXs, firstStars) << "the stars come first, whatever the difficulty";
    EXPECT_EQ(px, 640);
    EXPECT_EQ(py, 880);
    EXPECT_EQ(landings, 5);
    EXPECT_EQ(play.fireLatch, 1);
    EXPECT_TRUE(shapoofs.IsEmpty());
  }
}

TEST_F(Field, SeedCatchRulesOfReachAndGrace) {
  struct Case {
    const char* what;
    float dx, dy, heroY;
    int grace, held, t;
    bool caught;
  } cases[] = {
      {"in reach", 23.9f, -23.9f, 500, 0, 0, 0, true},
      {"24 to the side", 24, 0, 500, 0, 0, 0, false},
      {"24 below", 0, 24, 500, 0, 0, 0, false},
      {"on the ground", 0, 0, 880, 0, 0, 0, false},
      {"at the reach line", 0, 0, -16, 0, 0, 0, false},
      {"just below it", 0, 0, -15.9f, 0, 0, 0, true},
      {"grace 12", 0, 0, 500, 12, 0, 0, false},
      {"grace 11, fresh seed", 0, 0, 500, 11, 0, 0, true},
      {"grace 11, just ridden", 0, 0, 500, 11, 3, 0, false},
      {"grace 0, just ridden", 0, 0, 500, 0, 3, 0, true},
      {"a flower", 0, 0, 500, 0, 0, kFlower, false},
      {"another kind is a seed", 0, 0, 500, 0, 0, 5, true},
  };
  for (const Case& c : cases) {
    EmptyField();
    px = 600;
    py = c.heroY;
    pd = 0;
    play.grace = c.grace;
    auto seed = AddLion(600 + c.dx, c.heroY + c.dy, c.t);
    seed->held = c.held;
    SeedCatch(*seed);
    const bool caught = seed->held == 15;
    EXPECT_EQ(caught, c.caught) << c.what;
    if (caught) {
      EXPECT_EQ(px, seed->x + 8) << c.what;
      EXPECT_EQ(py, seed->y + 14) << c.what;
    }
  }
}

TEST_F(Field, HopsChainTheirSoundsAndPayTheFlightTimesTheChain) {
  EmptyField();
  for (int hop = 1; hop <= 22; ++hop) {
    px = 600;
    py = 500;
    pd = 15;
    pa = 20;
    play.grace = 0;
    play.airPoints = 40;
    score = 0;
    scoreget.Clear();
    shapoofs.Clear();
    ForgetEffects();
    auto seed = AddLion(605, 505);
    seed->rot = 7;
    SeedCatch(*seed);
    ASSERT_EQ(hops, hop);
    EXPECT_EQ(pd, 0);
    EXPECT_EQ(pa, 0);
    EXPECT_EQ(play.spin, 7);
    EXPECT_EQ(play.airPoints, 0);
    EXPECT_EQ(score, hop * (40 + 1));  // the hop count plus the chain payout
    EXPECT_EQ(Popups(), (std::vector<std::pair<int64_t, int>>{{hop, 2}, {40 * hop, 1}}));
    EXPECT_EQ(scoreget.First()->r, 255);
    EXPECT_EQ(scoreget.First()->g, 0);  // magenta hop count
    EXPECT_EQ(EffectsPlayed(), (std::vector<int>{std::min(hop + 10, 30), 2})) << hop;
    for (const ChannelCall& c : headless::ChannelCalls())
      if (c.op == ChannelCall::Rate) {
        EXPECT_FLOAT_EQ(c.value, 1.0f);
      }
    ASSERT_EQ(shapoofs.Count(), 1u);
    EXPECT_EQ(shapoofs.First()->g, 255);
    EXPECT_EQ(shapoofs.First()->b, 180);
    dandys.Clear();
  }

  // Riding: the same seed holds him frame after frame, with no hop.
  EmptyField();
  hops = 3;
  px = 600;
  py = 500;
  pd = 0;
  score = 0;
  ForgetEffects();
  auto seed = AddLion(595, 490);
  for (int frame = 0; frame < 120; ++frame) {
    FlightStep();
    GroundAndHero();
    SeedsAndFlowers();
    EXPECT_EQ(px, seed->x + 8 - seed->xs) << frame;  // placed before the seed moved on
  }
  EXPECT_EQ(hops, 3);
  EXPECT_EQ(score, 0);
  EXPECT_TRUE(EffectsPlayed().empty());

  // Carried down past the rest height: a landing, and the chain ends.
  seed->y = 860;
  seed->ys = 0.8f;
  px = seed->x + 8;
  py = seed->y + 14;
  for (int frame = 0; frame < 30 && landings == 5; ++frame) {
    FlightStep();
    GroundAndHero();
    SeedsAndFlowers();
  }
  EXPECT_EQ(landings, 4);
  EXPECT_EQ(hops, 0);
  EXPECT_EQ(py, 880);
}

TEST_F(Field, FlowerPickDoublesTheFlightAndPaysTheChain) {
  EmptyField();
  px = 600;
  py = 400;
  pd = 14;
  hops = 2;
  play.airPoints = 30;
  auto bloom = AddLion(631.9f, 368.1f, kFlower);
  auto near = AddLion(632, 400, kFlower);  // 32 to the side: out of reach
  ForgetEffects();
  SeedsAndFlowers();
  EXPECT_EQ(play.airPoints, 60);
  EXPECT_EQ(score, 750);
  EXPECT_EQ(Popups(), (std::vector<std::pair<int64_t, int>>{{750, 1}}));
  EXPECT_EQ(scoreget.First()->y, 368);
  EXPECT_EQ(EffectsPlayed(), std::vector<int>{4});
  EXPECT_TRUE(bloom->y >= -400 && bloom->y <= -100 + 0.8f);  // put back above the screen (and drifted once)
  EXPECT_TRUE(bloom->x >= 100 && bloom->x <= 1181);
  EXPECT_EQ(near->y, 400 + near->ys);
  ASSERT_EQ(shapoofs.Count(), 1u);
  EXPECT_EQ(shapoofs.First()->g, 150);
  EXPECT_EQ(hops, 2);

  // On the ground he picks a flower too; a seed is never picked.
  EmptyField();
  px = 640;
  py = 880;
  pd = 0;
  hops = 0;
  score = 0;
  AddLion(650, 870, 0);
  AddLion(650, 870, kFlower);
  SeedsAndFlowers();
  EXPECT_EQ(score, 250);
  EXPECT_EQ(shapoofs.Count(), 1u);
}

TEST_F(Field, PuffsLiveTheirFramesAndLeaveMidWalk) {
  EmptyField();
  struct Case {
    int g;
    int frames;
  } cases[] = {{255, 51}, {200, 51}, {199, 15}, {150, 15}};
  for (const Case& c : cases) {
    shapoofs.Clear();
    auto puff = std::make_shared<poof>();
    puff->s = 0.25f;
    puff->alp = 1.0f;
    puff->r = 255;
    puff->g = c.g;
    shapoofs.AddLast(puff);
    int frames = 0;
    while (!shapoofs.IsEmpty() && frames < 200) {
      PuffStep();
      ++frames;
    }
    EXPECT_EQ(frames, c.frames) << c.g;
  }
  // Puffs ending in the same frame as others that live on: every live
  // puff is still stepped once a frame, and only the spent ones go.
  shapoofs.Clear();
  std::vector<std::shared_ptr<poof>> made;
  for (int k = 0; k < 6; ++k) {
    auto puff = std::make_shared<poof>();
    puff->alp = k % 2 ? 0.01f : 1.0f;
    puff->g = 255;
    shapoofs.AddLast(puff);
    made.push_back(puff);
  }
  PuffStep();
  EXPECT_EQ(shapoofs.Count(), 3u);
  for (int k = 0; k < 6; k += 2) EXPECT_FLOAT_EQ(made[k]->alp, 0.98f);
}

TEST_F(Field, SeedsSwingSinkAndComeBackAtTheTop) {
  EmptyField();
  auto seed = AddLion(640, 100);
  auto bloom = AddLion(640, 100, kFlower);
  bloom->rotgo = 3;
  px = 200;
  py = 880;
  float lowest = 0, highest = 0;
  bool recycled = false;
  for (int frame = 0; frame < 6000; ++frame) {
    const float y = seed->y;
    SeedsAndFlowers();
    lowest = std::min(lowest, seed->rot);
    highest = std::max(highest, seed->rot);
    EXPECT_TRUE(seed->xs >= -0.6f && seed->xs <= 0.6f && seed->ys >= 0.2f && seed->ys <= 0.8f);
    EXPECT_TRUE(seed->x > 40 && seed->x < 1240) << seed->x;
    if (seed->y < y) {
      recycled = true;
      EXPECT_TRUE(y > 1023 && seed->y >= -300 && seed->y < -64 + 0.8f);
    }
  }
  EXPECT_TRUE(recycled);
  EXPECT_GT(lowest, -14);
  EXPECT_LT(highest, 14);
  EXPECT_GT(std::fabs(bloom->rot), 100);  // flowers turn freely
}

TEST_F(Field, StarsDriftWrapAndAreThinnedByTheBudget) {
  headless::ClearDrawCalls();
  DrawMax[kDrawParticles] = 10;
  StarField();
  int drawn = 0;
  for (const DrawCall& c : headless::DrawCalls())
    if (c.kind == DrawCall::Image && c.image.ends_with("star.png")) ++drawn;
  EXPECT_EQ(drawn, 10);

  // The random sequence does not depend on how many stars were drawn.
  SeedRnd(5);
  StartGame();
  DrawMax[kDrawParticles] = 0;
  for (int k = 0; k < 100; ++k) StarField();
  const int after = Rand(1, 1000000);
  SeedRnd(5);
  StartGame();
  DrawMax[kDrawParticles] = 2500;
  for (int k = 0; k < 100; ++k) StarField();
  EXPECT_EQ(Rand(1, 1000000), after);

  auto star = stars.First();
  star->x = 1409;  // beyond W + 128 after the drift
  star->xs = 0.1f;
  star->y = 500;
  StarField();
  EXPECT_FLOAT_EQ(star->x, 1409.1f - 1536);
  star->y = 1088.5f;  // beyond H + 128 after the drift
  star->ys = 0.1f;
  const float ys = star->ys, rotgo = star->rotgo;
  StarField();
  EXPECT_EQ(star->y, -128);
  EXPECT_TRUE(star->x >= -64 && star->x <= 1344);
  EXPECT_EQ(star->ys, ys);
  EXPECT_EQ(star->rotgo, rotgo);
}

TEST_F(Field, HudShowsTheScoreTheSpareLandingsAndTheHints) {
  struct Case {
    int landings;
    const char* text;
    int red;
  } cases[] = {{5, "^^^^^ : Hops", 100}, {1, "^ : Hops", 100}, {0, "Last Hop", 255}, {-1, "", 100}};
  for (const Case& c : cases) {
    landings = c.landings;
    score = 250;
    headless::ClearDrawCalls();
    WallsAndHud();
    const auto calls = headless::DrawCalls();
    const DrawCall* s = FindText(calls, "Score : 000000000250");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->x, 110);
    const DrawCall* l = FindText(calls, c.text);
    ASSERT_TRUE(l || c.text[0] == 0) << c.text;
    if (l && c.text[0]) {
      EXPECT_EQ(l->r, c.red);
      EXPECT_NEAR(l->x + TextWidth(c.text), 1280 - 110, 1);
    }
    const auto rects = CallsOf(calls, DrawCall::Rect);
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[1].x, 1180);
    EXPECT_FLOAT_EQ(rects[0].alpha, 0.6f);
  }
  // The hints show until the first shot; the move hint only above the line.
  for (int y : {839, 840}) {
    mx = 300;
    my = y;
    headless::ClearDrawCalls();
    WallsAndHud();
    EXPECT_EQ(FindText(headless::DrawCalls(), "Move under Pibbo to aim.") != nullptr, y < 840);
    EXPECT_NE(FindText(headless::DrawCalls(), "Aim and Fire"), nullptr);
  }
  play.hasFired = 1;
  headless::ClearDrawCalls();
  WallsAndHud();
  EXPECT_EQ(FindText(headless::DrawCalls(), "Aim and Fire"), nullptr);
}

}  // namespace
}  // namespace game_test
