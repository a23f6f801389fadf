// The display set-up in-process on the headless back end, over a scratch
// copy of the run folder's assets.
#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "startup_fixture.h"

namespace startup_test {
namespace {

namespace fs = std::filesystem;

class DisplayTest : public StartupTest {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    fs::copy(std::string(PIBBO_RUN_DIR) + "/Files", dir_, fs::copy_options::recursive);
    fs::remove(dir_ + "/Debug.txt");
    fs::remove(dir_ + "/Setup.ini");
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
  std::vector<std::string> Log() { return CrLfLines(ReadBytes(dir_ + "/Debug.txt")); }
  bool Logged(const std::string& line) {
    std::vector<std::string> log = Log();
    return std::find(log.begin(), log.end(), line) != log.end();
  }
};

TEST_F(DisplayTest, FullScreenTakesTheDepthOfferedElseAWindow) {
  // 1280 x 800 is offered full screen at 24 bits only.
  headless::SetModes({{1280, 800, 24, 60}, {1024, 768, 32, 60}});
  Options[1] = 1;
  Options[5] = 1280;
  Options[6] = 800;
  ChangeRes();
  EXPECT_TRUE(Logged("\tResolution : 1280x800,24"));
  EXPECT_TRUE(Logged("\tWidescreen mode B (10:16)!"));
  EXPECT_FALSE(Logged("\tChanged Graphics Mode ingame."));
  EXPECT_EQ(JScrw, 1440);
  EXPECT_EQ(JScrh, 900);
  EXPECT_EQ(Options[2], 1);
  EXPECT_EQ(Options[3], 0);
  EXPECT_EQ(Options[4], 1);
  EXPECT_FALSE(fs::exists(GameDir + "/crash.dat"));
  EXPECT_TRUE(fs::equivalent(CurrentDir(), GameDir));

  // A display that offers no full-screen mode: a window of the same size,
  // and full screen is still asked for next time.
  headless::SetModes({});
  Options[3] = 1;
  ChangeRes();
  EXPECT_TRUE(Logged("\tChanged Graphics Mode ingame."));
  EXPECT_TRUE(Logged("\tResolution : 1280x800,0"));
  EXPECT_EQ(GraphicsWidth(), 1280);
  EXPECT_EQ(Options[1], 1);
  EXPECT_EQ(Options[3], 0);
  EXPECT_EQ(MostResses, 1);  // the size in use stays on offer
}

TEST_F(DisplayTest, EveryOpeningRaisesAssetsLoadedAndFontsFollowTheWidth) {
  static int raised;
  raised = 0;
  OnEngineEvent(EngineEvent::AssetsLoaded, [] {
    ++raised;
    EXPECT_TRUE(Fontb[0] != nullptr);  // after the shared assets
  });
  headless::SetModes({{800, 600, 32, 60}, {1280, 960, 32, 60}});
  ChangeRes();
  EXPECT_EQ(raised, 1);
  EXPECT_EQ(MainFont, "SVBasicManual");
  EXPECT_TRUE(Fontb[0] != nullptr);
  EXPECT_TRUE(Fonts[13] != nullptr);

  Options[5] = 1280;
  Options[6] = 960;
  ChangeRes();
  EXPECT_EQ(MainFont, "November");
  EXPECT_EQ(raised, 2);
}

TEST_F(DisplayTest, MissingCommonFolderLeavesEmptyHandles) {
  fs::remove_all(CommonDir);
  ChangeRes();
  EXPECT_TRUE(Logged("\tMissing folder : Common/"));
  EXPECT_TRUE(logo == nullptr);
  EXPECT_TRUE(Fontb[0] == nullptr);
  EXPECT_EQ(UseFont(1, 3), 0);  // the built-in font
  EXPECT_TRUE(fs::equivalent(CurrentDir(), GameDir));
}

}  // namespace
}  // namespace startup_test
