// The display set-up in-process on the headless back end, over a scratch
// copy of the run folder's assets.
#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "draw_calls.h"
#include "startup_fixture.h"

namespace startup_test {
namespace {

namespace fs = std::filesystem;

class DisplayTest : public AssetsTest {
 protected:
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

// The first display opening shows the two logos over the backdrop for one
// frame and starts the jingle at the sound volume; later openings show and
// play nothing and leave the jingle's slot alone.
TEST_F(DisplayTest, TheFirstOpeningShowsTheSplashWithItsJingle) {
  struct Case {
    int width, height;  // the display; the virtual screen follows it
    float logoX, logoY, otherX, otherY;
    int master, sound;
    float volume;
  } cases[] = {
      {1280, 960, 384, 288, 896, 672, 50, 50, 0.25f},
      {1600, 900, 360, 270, 1240, 630, 100, 80, 0.8f},
      {1024, 768, 384, 288, 896, 672, 100, 0, 0.0f},  // silent, still cued and started
  };
  headless::SetModes({{1280, 960, 32, 60}, {1600, 900, 32, 60}, {1024, 768, 32, 60}});
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    Options[5] = c.width;
    Options[6] = c.height;
    Options[11] = c.master;
    Options[12] = c.sound;
    FirstRun = 0;
    Channel[256] = 0;
    headless::RecordChannelCalls(true);
    const int flips = headless::FlipCount();
    ChangeRes();
    EXPECT_EQ(FirstRun, 1);
    EXPECT_EQ(headless::FlipCount(), flips + 1) << "one frame, shown while the rest loads";

    const std::vector<DrawCall> frame = headless::LastFrame();
    ASSERT_FALSE(frame.empty());
    EXPECT_EQ(frame.front().kind, DrawCall::Clear);
    const std::vector<DrawCall> images = testsupport::CallsOf(frame, DrawCall::Image);
    ASSERT_EQ(images.size(), 2u);
    const struct {
      std::string file;
      float x, y;
    } logos[] = {{"logo.png", c.logoX, c.logoY}, {"Drennic.png", c.otherX, c.otherY}};
    for (size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(images[i].image, logos[i].file);  // loaded from the shared folder
      EXPECT_FLOAT_EQ(images[i].x, logos[i].x);
      EXPECT_FLOAT_EQ(images[i].y, logos[i].y);
      EXPECT_FLOAT_EQ(images[i].scaleX, 1.5f);
      EXPECT_FLOAT_EQ(images[i].scaleY, 1.5f);
    }
    // The backdrop's bands come before the logos.
    EXPECT_TRUE(std::any_of(frame.begin(), frame.end(), [](const DrawCall& d) { return d.kind == DrawCall::Rect; }));

    // The jingle: cued on a channel of its own, at Sound x Master, started
    // with no pan or rate of its own.
    const std::vector<ChannelCall> calls = headless::ChannelCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].op, ChannelCall::Cue);
    EXPECT_EQ(calls[0].sound, "badgeget.wav");
    EXPECT_EQ(calls[1].op, ChannelCall::Volume);
    EXPECT_FLOAT_EQ(calls[1].value, c.volume);
    EXPECT_EQ(calls[2].op, ChannelCall::Resume);
    for (const ChannelCall& call : calls) EXPECT_EQ(call.channel, Channel[256]);
    EXPECT_NE(Channel[256], 0);
    EXPECT_TRUE(ChannelPlaying(Channel[256]));

    // Another opening: no splash, no jingle, the slot kept.
    const int jingle = Channel[256];
    headless::RecordChannelCalls(true);
    const int before = headless::FlipCount();
    ChangeRes();
    EXPECT_EQ(headless::FlipCount(), before);
    EXPECT_TRUE(headless::ChannelCalls().empty());
    EXPECT_EQ(Channel[256], jingle);
  }
  headless::RecordChannelCalls(false);
}

}  // namespace
}  // namespace startup_test
