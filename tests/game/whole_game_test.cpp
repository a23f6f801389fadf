// Whole games on the headless back end, played by a scripted player: aim
// below the hero, click, wait for him to come to rest, again, until the
// last landing; then the name is typed and the record filed.
#include <sys/wait.h>
#include <unistd.h>

#include "game_fixture.h"
#include "script_time.h"

namespace game_test {
namespace {

using testsupport::At;

// The player, called at every end of frame (through the music tick).
struct Player {
  static inline int frames = 0;       // frames of play seen
  static inline int aimFrames = 0;    // frames the pointer has been held for this shot
  static inline int shots = 0;
  static inline bool typed = false;
  static inline std::string name;
  static inline int quitAfterShots = 0;  // > 0: press Escape once this many shots were made
  static inline bool escaped = false;

  static void Reset() {
    frames = aimFrames = shots = 0;
    typed = escaped = false;
  }

  static int Tick() {
    if (InGame == 1) {
      ++frames;
      if (quitAfterShots > 0 && shots >= quitAfterShots && !escaped) {
        escaped = true;
        headless::Script(At(0) + " tap 27");
        return 0;
      }
      if (pd != 0) {
        aimFrames = 0;
        return 0;
      }
      // At rest: hold the pointer below him, to the side away from the
      // nearer wall, then click once the aim has settled.
      const int side = px > 640 ? 1 : -1;
      const int x = static_cast<int>(px) + side * (30 + shots % 5 * 12);
      const int y = std::min(959, static_cast<int>(py) + 70 + shots % 3 * 10);
      headless::Script(At(0) + " mouse " + std::to_string(x) + " " + std::to_string(y));
      if (++aimFrames == 14) {
        headless::Script(At(1) + " click 1");
        ++shots;
        aimFrames = 0;
      }
    } else if (InGame == 0 && !typed) {
      typed = true;
      headless::Script(At(5) + " text " + name + "\n" + At(400) + " tap 13");
    }
    return 0;
  }
};

class WholeGame : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    SetFixedLocalTime(2026, 12, 10, 12, 0, 0);
    MusicTickHook = Player::Tick;
    ScorePaidHook = [](int64_t points) {
      score += points;
      paid += points;
    };
    Options[kOptSound] = 0;  // quicker, and nothing here listens
    headless::SetRecordLimit(200);  // the game's last frames, the banner, the name entry
  }
  void TearDown() override {
    MusicTickHook = nullptr;
    PauseHook = nullptr;
    ClearFixedLocalTime();
    GameTest::TearDown();
  }

  // One game from a seeded generator and a clean aim history; answers the
  // record it filed.
  std::shared_ptr<Scores> Play(int seed, const std::string& name) {
    std::fill(std::begin(SmAng), std::end(SmAng), 0.0f);
    std::fill(std::begin(SmDist), std::end(SmDist), 0.0f);
    scoreget.Clear();
    headless::Script(At(0) + " button 1 up");
    Player::Reset();
    Player::name = name;
    MyName.clear();
    paid = 0;
    LChan = 20;
    InGame = 1;
    SeedRnd(seed);
    const size_t before = Highscores.Count();
    headless::ClearDrawCalls();
    PlayGame();
    ExpectTheBannerAfterTheLastFrame();
    EXPECT_EQ(Highscores.Count(), before + 1);
    EXPECT_EQ(InGame, 0);
    EXPECT_EQ(PendingRecord, nullptr);
    return High;
  }

  // The banner follows the game's last frame at once (its flip, then the
  // banner's two flips around its 75 draws) and no game frame follows it.
  static void ExpectTheBannerAfterTheLastFrame() {
    const std::vector<DrawCall> calls = headless::DrawCalls();
    std::vector<size_t> banner;
    for (size_t i = 0; i < calls.size(); ++i)
      if (calls[i].kind == DrawCall::Text && calls[i].text == "Game Over") banner.push_back(i);
    ASSERT_EQ(banner.size(), 75u);
    ASSERT_GE(banner.front(), 3u);
    EXPECT_EQ(banner.back() - banner.front(), 74u) << "one run of draws";
    EXPECT_EQ(calls[banner.front() - 1].kind, DrawCall::Flip);
    EXPECT_EQ(calls[banner.front() - 2].kind, DrawCall::Flip) << "the game's last frame, presented";
    EXPECT_EQ(calls[banner.back() + 1].kind, DrawCall::Flip);
    bool heroBefore = false, heroAfter = false;
    for (size_t i = 0; i < calls.size(); ++i) {
      if (calls[i].kind != DrawCall::Image || !calls[i].image.ends_with("pibbo.png")) continue;
      (i < banner.front() ? heroBefore : heroAfter) = true;
    }
    EXPECT_TRUE(heroBefore);
    EXPECT_FALSE(heroAfter) << "no game frame after the banner";
  }

  static inline int64_t paid = 0;
};

TEST_F(WholeGame, SixLandingsFileTheRecordAndTheSameSeedPlaysTheSameGame) {
  GameMode = 0;
  auto older = std::make_shared<Scores>();
  older->Timestamp = Timestamp("") - 100;
  older->Name = "older";
  auto newer = std::make_shared<Scores>();
  newer->Timestamp = Timestamp("") + 100;  // the clock was set back since
  newer->Name = "newer";
  Highscores.AddLast(older);
  Highscores.AddLast(newer);
  SortList(Highscores);

  auto first = Play(2600, "Zoe");
  ASSERT_TRUE(first);
  EXPECT_EQ(landings, -1);
  EXPECT_GE(Player::shots, 6) << "one shot per landing, more when seeds caught him";
  const int shotsFirst = Player::shots, framesFirst = Player::frames;
  EXPECT_EQ(first->Score, paid);
  EXPECT_GT(first->Score, 0);
  EXPECT_EQ(first->Name, "Zoe");
  EXPECT_EQ(first->GameMode, 0);
  EXPECT_EQ(first->Level, 0);
  EXPECT_EQ(first->GameFlags, 0);
  EXPECT_EQ(first->Quit, 0);
  EXPECT_EQ(first->Badges, 0);
  EXPECT_NEAR(first->Timestamp, Timestamp(""), 1) << "stamped at the end of the name entry (the wall clock)";
  std::vector<std::string> order;
  for (const auto& r : Highscores) order.push_back(r->Name);
  EXPECT_EQ(order, (std::vector<std::string>{"newer", "Zoe", "older"}));

  auto second = Play(2600, "Zoe");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->Score, first->Score);
  EXPECT_EQ(second->Name, first->Name);
  EXPECT_EQ(Player::shots, shotsFirst);
  EXPECT_EQ(Player::frames, framesFirst);
  EXPECT_NE(second, first);

  auto other = Play(77, "Ann");
  ASSERT_TRUE(other);
  EXPECT_NE(other->Score, first->Score) << "another seed, another game";
}

TEST_F(WholeGame, QuitOnThePauseScreenFilesAQuitRecord) {
  GameMode = 2;
  PauseHook = [] { return 99; };
  Player::quitAfterShots = 2;
  auto record = Play(31, "Quitter");
  Player::quitAfterShots = 0;
  ASSERT_TRUE(record);
  EXPECT_EQ(record->Quit, 1);
  EXPECT_EQ(record->GameMode, 2);
  EXPECT_GE(landings, 3);
  EXPECT_EQ(record->Score, paid);
}

// A close request while the name is typed: the closing sequence files the
// game with the name as typed so far, cleaned as the name entry cleans it
// (without the score file's separator token, which would make the line
// unreadable), and saves it.
TEST_F(WholeGame, CloseRequestDuringTheNameEntryKeepsTheGame) {
  InstallScoreKeeping();
  const std::string dir = testsupport::MakeTempDir("game");
  ASSERT_FALSE(dir.empty());
  ASSERT_EQ(chdir(dir.c_str()), 0);
  GameDir = dir;
  FilesDir = dir;
  GetUniqueKey();
  pid_t pid = fork();
  if (pid == 0) {
    MusicTickHook = [] {
      if (InGame == 1) return Player::Tick();
      static int frame = 0;
      if (++frame == 1) {
        std::string typed = At(5) + " text M\n";
        for (size_t i = 0; i < ScoreLineToken.size(); ++i) {
          typed += At(10 + 5 * static_cast<int>(i)) + " char " +
                   std::to_string(static_cast<unsigned char>(ScoreLineToken[i])) + "\n";
        }
        headless::Script(typed + At(100) + " text a\n" + At(800) + " close\n" + At(3000) + " tap 32");
      }
      return 0;
    };
    Player::Reset();
    MyName.clear();
    InGame = 1;
    SeedRnd(8);
    PlayGame();
    _exit(3);  // not reached: the close request ends the program
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  Highscores.Clear();
  ASSERT_EQ(LoadScores(), 0);
  ASSERT_EQ(Highscores.Count(), 1u);
  EXPECT_EQ(Highscores.First()->Name, "Ma");
  EXPECT_GT(Highscores.First()->Score, 0);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

}  // namespace
}  // namespace game_test
