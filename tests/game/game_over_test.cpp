// The end of a game: the "Game Over" banner over the last frame, and the
// music's glide down to half speed before the name is asked for.
#include "game_fixture.h"
#include "script_time.h"

namespace game_test {
namespace {

using testsupport::At;

class GameOver : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    Fonts[5] = LoadImageFont(PIBBO_RUN_DIR "/Files/Common/Blue Highway.ttf", 96);
    ASSERT_TRUE(Fonts[5]);
  }
  void TearDown() override {
    MusicTickHook = nullptr;
    PauseHook = nullptr;
    Fonts[5].reset();
    GameTest::TearDown();
  }
};

// The banner: two flips with 75 draws of "Game Over" between them and
// nothing else (no clear), white edge, near-black edge, yellow letters, each
// centred on the screen's middle plus its offset; on the picture it lies
// over the frame shown last.
TEST_F(GameOver, TheBannerIsDrawnOverTheLastFrame) {
  Cls();
  SetCol(0, 0, 255, 1);
  DrawRect(0, 0, 200, 100);  // something of the last frame, away from the banner
  Flip(-1);
  headless::ClearDrawCalls();
  const int flips = headless::FlipCount();

  GameOverBanner();

  EXPECT_EQ(headless::FlipCount(), flips + 2);
  const std::vector<DrawCall> calls = headless::DrawCalls();
  ASSERT_EQ(calls.size(), 77u);
  EXPECT_EQ(calls.front().kind, DrawCall::Flip);
  EXPECT_EQ(calls.back().kind, DrawCall::Flip);
  SetImageFont(Fonts[5]);
  const int w = TextWidth("Game Over"), h = TextHeight("Game Over");
  struct Pass {
    int reach, r, g, b;
  };
  size_t i = 1;
  for (const Pass& pass : {Pass{3, 255, 255, 255}, Pass{2, 8, 8, 8}, Pass{0, 255, 255, 0}}) {
    for (int x = -pass.reach; x <= pass.reach; ++x) {
      for (int y = -pass.reach; y <= pass.reach; ++y, ++i) {
        const DrawCall& c = calls[i];
        ASSERT_EQ(c.kind, DrawCall::Text) << i;
        EXPECT_EQ(c.text, "Game Over");
        EXPECT_TRUE(c.font.ends_with("/Blue Highway.ttf:96")) << c.font;
        EXPECT_EQ(c.x, 640 + x - w / 2) << i;
        EXPECT_EQ(c.y, 480 + y - h / 2) << i;
        EXPECT_EQ(std::tie(c.r, c.g, c.b), std::tie(pass.r, pass.g, pass.b)) << i;
        EXPECT_EQ(c.alpha, 1.0f);
        EXPECT_EQ(c.rotation, 0.0f);
        EXPECT_EQ(c.scaleX, 1.0f);
      }
    }
  }

  // Yellow letters edged in near-black and white, over the old frame.
  const Pixmap p = GrabPixmap(0, 0, 1280, 960);
  ASSERT_TRUE(p);
  testsupport::ExpectPixel(p, 100, 50, {0, 0, 255});
  int yellow = 0, dark = 0, white = 0;
  for (int y = 480 - h / 2; y < 480 + h / 2; ++y) {
    for (int x = 640 - w / 2; x < 640 + w / 2; ++x) {
      const uint8_t* c = p->At(x, y);
      yellow += c[0] > 240 && c[1] > 240 && c[2] < 20;
      dark += c[0] < 20 && c[1] < 20 && c[2] < 20;
      white += c[0] > 240 && c[1] > 240 && c[2] > 240;
    }
  }
  EXPECT_GT(yellow, 2000);
  EXPECT_GT(dark, 2000);
  EXPECT_GT(white, 500);
}

// The last frame of a game: the end code after fps, and the banner only
// when the game is over. Continue on the pause screen plays on; Quit ends
// the game, also in the frame of the sixth landing.
TEST_F(GameOver, TheFrameEndDecidesWhetherTheGameIsOver) {
  struct Case {
    int endFlag;  // before the frame's end
    int pause;    // the pause screen's answer, 0: no Escape
    int after;
  } cases[] = {{0, 0, 0}, {0, 1, 0}, {0, 99, 99}, {1, 0, 1}, {1, 1, 1}, {1, 99, 99}};
  for (const Case& c : cases) {
    static int answer;
    answer = c.pause;
    PauseHook = [] { return answer; };
    InGame = 1;
    play.endFlag = c.endFlag;
    if (c.pause != 0) headless::Script(At(0) + " key 27 down\n" + At(40) + " key 27 up");
    EXPECT_EQ(PlayFrame(), c.after) << c.endFlag << " " << c.pause;
    EXPECT_EQ(play.endFlag, c.after);
    headless::Advance(50);
  }
}

// The music glides from 1.0 down by 0.0025 a pass to half speed, held
// there to the 500th pass, 3 ms apart; then it stops. Nothing is drawn
// meanwhile, and the name entry, out of the game, comes 1.5 s later.
TEST_F(GameOver, TheMusicGlidesToHalfSpeedAndStops) {
  ASSERT_EQ(SetAudioDriver("FreeMix"), 1);
  Options[kOptMusic] = 100;
  const Sound loop = LoadSound(GameFile("098.wav"), SOUND_LOOP);
  ASSERT_TRUE(loop);
  PlayMusic(loop);
  const int channel = MusicChannel;
  ASSERT_NE(channel, 0);
  play.endFlag = 1;
  static uint32_t nameAt;
  static int flipsAtName, inGameAtName;
  nameAt = 0;
  MusicTickHook = [] {
    if (nameAt == 0) {
      nameAt = headless::Now();
      flipsAtName = headless::FlipCount();
      inGameAtName = InGame;
      headless::Script(At(100) + " tap 13");
    }
    return 0;
  };
  headless::RecordChannelCalls(true);
  const uint32_t start = headless::Now();
  const int flips = headless::FlipCount();
  EndGame();

  EXPECT_GE(nameAt - start, 1500u);
  EXPECT_LT(nameAt - start, 1600u);
  EXPECT_EQ(flipsAtName, flips) << "the game-over frame stays on screen";
  EXPECT_EQ(inGameAtName, 0);
  std::vector<float> rates;
  std::vector<ChannelCall> calls = headless::ChannelCalls();
  size_t stop = calls.size();
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].channel, channel);
    if (calls[i].op == ChannelCall::Rate) rates.push_back(calls[i].value);
    if (calls[i].op == ChannelCall::Stop && stop == calls.size()) stop = i;
  }
  ASSERT_EQ(rates.size(), 500u);
  EXPECT_EQ(rates[0], 1.0f);
  EXPECT_FLOAT_EQ(rates[1], 0.9975f);
  for (size_t n = 1; n <= 200; ++n) EXPECT_NEAR(rates[n - 1] - rates[n], 0.0025f, 1e-6f) << n;
  EXPECT_GT(rates[200], 0.5f);
  EXPECT_LT(rates[200], 0.50001f);
  for (size_t n = 201; n < 500; ++n) EXPECT_EQ(rates[n], 0.5f) << n;
  ASSERT_EQ(stop, calls.size() - 1) << "stopped once, after the last rate";
  EXPECT_EQ(MusicChannel, 0);
  EXPECT_FALSE(ChannelPlaying(channel));
}

// Without music the slow-down touches no channel and still takes its 1.5 s;
// a tune that ends during it gets no rate after its end, is not stopped, and
// its handle stays.
TEST_F(GameOver, TheSlowDownWithoutMusicOrWithATuneThatEnds) {
  ASSERT_EQ(SetAudioDriver("Null"), 1);  // sounds end as the clock passes
  const Sound blip = LoadSound(GameFile("002.wav"));  // 0.2 s
  ASSERT_TRUE(blip);
  for (int music : {0, 100}) {
    Options[kOptMusic] = music;
    MusicChannel = 0;
    if (music > 0) {
      PlayMusic(blip);
      ASSERT_NE(MusicChannel, 0);
    }
    const int channel = MusicChannel;
    static uint32_t nameAt;
    nameAt = 0;
    MusicTickHook = [] {
      if (nameAt == 0) {
        nameAt = headless::Now();
        headless::Script(At(100) + " tap 13");
      }
      return 0;
    };
    play.musicRate = 1.0f;
    headless::RecordChannelCalls(true);
    const uint32_t start = headless::Now();
    EndGame();
    EXPECT_GE(nameAt - start, 1500u) << music;
    const std::vector<ChannelCall> calls = headless::ChannelCalls();
    if (music == 0) {
      EXPECT_TRUE(calls.empty());
      EXPECT_EQ(MusicChannel, 0);
      continue;
    }
    // At the rates of the glide 0.2 s of sound last about 72 passes; the
    // name entry's frames then keep the ended channel's volume in step.
    const auto rates = std::count_if(calls.begin(), calls.end(), [](const ChannelCall& c) { return c.op == ChannelCall::Rate; });
    EXPECT_GT(rates, 60);
    EXPECT_LT(rates, 80);
    for (size_t i = 0; i < calls.size(); ++i) {
      EXPECT_NE(calls[i].op, ChannelCall::Stop);
      if (i < static_cast<size_t>(rates)) {
        EXPECT_EQ(calls[i].op, ChannelCall::Rate) << i;
      }
    }
    EXPECT_EQ(MusicChannel, channel);
    EXPECT_FALSE(ChannelPlaying(channel));
  }
}

}  // namespace
}  // namespace game_test
