// Shared set-up of the game tests: a headless 1280x960 display, fresh
// tables, the game's images and sound effects from the run folder, a
// seeded random generator, and helpers to read what a frame drew and
// which effects it played.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
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
#include "draw_calls.h"

namespace game_test {

inline std::string GameFile(const std::string& name) { return std::string(PIBBO_RUN_DIR "/Files/260/") + name; }

using testsupport::CallsOf;

inline const DrawCall* FindText(const std::vector<DrawCall>& calls, const std::string& text) {
  for (const DrawCall& c : calls)
    if (c.kind == DrawCall::Text && c.text == text) return &c;
  return nullptr;
}

class GameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PlatformInit(BackendKind::Headless);
    ClearEngineEvents();
    CreateStartupTables();
    SetDefaults();
    ResetScoreTables();
    ResetGameTables();
    InstallGame();
    MyScrw = JScrw = 1280;
    MyScrh = JScrh = 960;
    ASSERT_EQ(Graphics(MyScrw, MyScrh, 0, 60), 1);
    SetVirtualResolution(1280, 960);
    AutoMidHandle(1);
    pibbo = LoadImage(GameFile("pibbo.png"), 3);
    chute = LoadImage(GameFile("pollen.png"), 3);
    flower = LoadImage(GameFile("flower.png"), 3);
    astar = LoadImage(GameFile("star.png"), 3);
    poofy = LoadImage(GameFile("poof.png"), 3);
    ASSERT_TRUE(pibbo && chute && flower && astar && poofy);
    for (int n = 1; n <= 30; ++n) {
      char name[16];
      std::snprintf(name, sizeof name, "%03d.wav", n);
      sfx[n] = LoadSound(GameFile(name));
    }
    Options[kOptMaster] = Options[kOptSound] = 100;
    Options[kOptMusic] = 0;
    std::fill(std::begin(DrawMax), std::end(DrawMax), 0);
    DrawMax[kDrawSprites] = DrawMax[kDrawGlow] = 5000;
    DrawMax[kDrawParticles] = 2500;
    UseFPS = 60;
    LChan = 20;
    MusicChannel = 0;
    InGame = 1;
    SeedRnd(260);
    StartGame();
    scoreget.Clear();
    headless::RecordChannelCalls(true);
    headless::ClearDrawCalls();
  }

  void TearDown() override {
    headless::RecordChannelCalls(false);
    for (auto& s : sfx) s.reset();
    pibbo = chute = flower = astar = poofy = nullptr;
    ClearEngineEvents();
    ScorePaidHook = nullptr;
    PlatformShutdown();
  }

  // A field with nothing on it but the hero.
  static void EmptyField() {
    dandys.Clear();
    shapoofs.Clear();
  }

  static std::shared_ptr<lion> AddLion(float x, float y, int t = 0) {
    auto l = std::make_shared<lion>();
    l->x = x;
    l->y = y;
    l->ys = 0.5f;
    l->t = t;
    dandys.AddLast(l);
    return l;
  }

  // The effects started since the journal was last cleared, as their file
  // numbers, in order.
  static std::vector<int> EffectsPlayed() {
    std::vector<int> out;
    for (const ChannelCall& c : headless::ChannelCalls())
      if (c.op == ChannelCall::Cue && c.sound.size() == 7) out.push_back(std::stoi(c.sound.substr(0, 3)));
    return out;
  }
  static void ForgetEffects() { headless::RecordChannelCalls(true); }

  // Score pop-ups made since the list was last emptied: points and style.
  static std::vector<std::pair<int64_t, int>> Popups() {
    std::vector<std::pair<int64_t, int>> out;
    for (const auto& p : scoreget) out.emplace_back(p->n, p->s);
    return out;
  }

  // The steps of one frame between the aim and the end of frame, without
  // the pacing and presenting of fps.
  static void StepsOfAFrame() {
    AimAndFire();
    LaunchAndPreview();
    FlightStep();
    GroundAndHero();
    SeedsAndFlowers();
    PuffStep();
    WallsAndHud();
  }

  // The pointer held still at (x, y) for 11 frames' readings.
  static void HoldPointer(int x, int y) {
    mx = x;
    my = y;
    for (int k = 0; k < 11; ++k) AimAndFire();
  }
};

}  // namespace game_test
