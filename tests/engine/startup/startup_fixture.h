// Shared set-up of the start-up tests: a headless platform, fresh tables
// with their defaults, and a scratch folder that becomes the working folder.
#pragma once

#include <cstdlib>
#include <optional>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "platform/headless.h"
#include "run_folder.h"
#include "test_support.h"
#include "platform/platform.h"

namespace startup_test {

inline std::string MakeTempDir() { return testsupport::MakeTempDir("startup"); }
using testsupport::ReadBytes;
using testsupport::WriteBytes;

using testsupport::CrLfLines;

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldDir_ = std::filesystem::current_path();
    PlatformInit(BackendKind::Headless);
    CreateStartupTables();
    SetDefaults();
    AuxDrivers = {"FreeMix", "FreeMix System", "Null"};
    AudioDriverChosen = 0;
    MyScrw = 800;
    MyScrh = 600;
    dir_ = MakeTempDir();
    ASSERT_FALSE(dir_.empty());
    std::filesystem::current_path(dir_);
    FilesDir = dir_;
    GameDir.clear();
    CommonDir.clear();
    // Settings kept aside go to a data folder of the test's own.
    if (const char* xdg = std::getenv("XDG_DATA_HOME")) oldXdg_ = xdg;
    setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
    IniUnreadable.clear();
    IniKeptAt.clear();
    IniLost.clear();
  }
  void TearDown() override {
    if (oldXdg_) setenv("XDG_DATA_HOME", oldXdg_->c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
    CloseLog();
    std::filesystem::current_path(oldDir_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    FilesDir.clear();
  }

  std::filesystem::path oldDir_;
  std::string dir_;
  std::optional<std::string> oldXdg_;
};

// Over a scratch copy of the run folder's files (fonts, images, sounds; no
// log or settings of earlier runs), with the log open and the per-game
// folder current; the display is closed again after each test.
class AssetsTest : public StartupTest {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    std::filesystem::copy(std::string(PIBBO_RUN_DIR) + "/Files", dir_, std::filesystem::copy_options::recursive);
    std::filesystem::remove(dir_ + "/Debug.txt");
    std::filesystem::remove(dir_ + "/Setup.ini");
    GameDir = dir_ + "/260";
    CommonDir = dir_ + "/Common";
    FirstRun = 0;
    ASSERT_TRUE(OpenLog());
    ChangeDir(GameDir);
  }
  void TearDown() override {
    EndGraphics();
    ClearEngineEvents();
    FirstRun = 0;
    GameDir.clear();
    CommonDir.clear();
    StartupTest::TearDown();
  }
};

}  // namespace startup_test
