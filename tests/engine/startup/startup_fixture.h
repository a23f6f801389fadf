// Shared set-up of the start-up tests: a headless platform, fresh tables
// with their defaults, and a scratch folder that becomes the working folder.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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
  }
  void TearDown() override {
    CloseLog();
    std::filesystem::current_path(oldDir_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    FilesDir.clear();
  }

  std::filesystem::path oldDir_;
  std::string dir_;
};

}  // namespace startup_test
