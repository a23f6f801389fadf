// Shared set-up of the frame tests: a headless platform with an open
// 800x600 display on the 1280x960 virtual screen, fresh start-up tables,
// the icon sheet loaded, and a scratch run folder laid out as Files/260/
// whose per-game folder is the working folder.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "platform/headless.h"
#include "test_support.h"
#include "platform/platform.h"
#include "script_time.h"
#include "draw_calls.h"

namespace frame_test {

inline std::string MakeTempDir() { return testsupport::MakeTempDir("frame"); }

using testsupport::At;

using testsupport::CallsOf;

inline bool HasText(const std::vector<DrawCall>& calls, const std::string& text) {
  return std::any_of(calls.begin(), calls.end(),
                     [&](const DrawCall& c) { return c.kind == DrawCall::Text && c.text == text; });
}

class FrameTest : public ::testing::Test {
 protected:
  // Pads attached before the start-up tables are made (DiscoverJoysticks).
  virtual int Pads() const { return 0; }

  void SetUp() override {
    oldDir_ = std::filesystem::current_path();
    PlatformInit(BackendKind::Headless);
    headless::SetPads(Pads());
    CreateStartupTables();
    SetDefaults();
    ResetFrameState();

    root_ = MakeTempDir();
    ASSERT_FALSE(root_.empty());
    filesDir_ = root_ + "/Files";
    std::filesystem::create_directories(filesDir_ + "/260");
    std::filesystem::current_path(filesDir_ + "/260");
    FilesDir = filesDir_;
    GameDir = filesDir_ + "/260";
    CommonDir.clear();

    MyScrw = 800;
    MyScrh = 600;
    JScrw = 1280;
    JScrh = 960;
    ASSERT_EQ(Graphics(MyScrw, MyScrh, 0, 60), 1);
    SetVirtualResolution(static_cast<float>(JScrw), static_cast<float>(JScrh));
    AutoMidHandle(1);
    CommonIconsF = LoadAnimImage(PIBBO_RUN_DIR "/Files/Common/icons.png", 16, 16, 0, 64, 3);
    CommonIcons = LoadAnimImage(PIBBO_RUN_DIR "/Files/Common/icons.png", 16, 16, 0, 64, 1);
    ASSERT_TRUE(CommonIconsF);
    ASSERT_EQ(ImageFrames(CommonIconsF), 64);
    LastFrame = MMillisecs();
    headless::ClearDrawCalls();
  }

  void TearDown() override {
    ClearFixedLocalTime();
    CloseLog();
    std::filesystem::current_path(oldDir_);
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
    FilesDir.clear();
    GameDir.clear();
    CommonIconsF.reset();
    CommonIcons.reset();
    PlatformShutdown();
  }

  // The frame services' own state as the start-up leaves it.
  static void ResetFrameState() {
    SkipDraw = 0;
    Frametook = 0;
    frameavg = 0;
    FramesPerSec = 0;
    DebugMode = 0;
    mx = my = wx = wy = 0;
    mh1 = mh2 = 0;
    InGame = 0;
    UseFPS = 60;
    OptionScreen = 0;
    GameStart = 0;
    std::fill(std::begin(DrawMax), std::end(DrawMax), 0);
    std::fill(std::begin(DrawCount), std::end(DrawCount), 0);
    DrawMax[1] = 50000;
    DrawMax[2] = 50000;
    DrawMax[3] = 250;
    LChan = 20;
    MusicChannel = 0;
    GradR = AimGradR = 1.0f;
    GradG = AimGradG = 0.0f;
    GradB = AimGradB = 0.2f;
    scrx = scry = 0;
    SettingsPanelHook = nullptr;
    PauseHook = nullptr;
    MusicTickHook = nullptr;
    ScorePaidHook = nullptr;
  }

  std::filesystem::path oldDir_;
  std::string root_, filesDir_;
};

}  // namespace frame_test
