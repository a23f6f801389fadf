// The real program logs in to the project's score server on 127.0.0.1 from
// its Online tab, driven through xdotool on an X server of its own.
// Skipped without Xvfb or xdotool.
#include <gtest/gtest.h>

#include "engine/startup/startup.h"
#include "online/online.h"
#include "real_run.h"
#include "score_server.h"
#include "scores/scores.h"

namespace {

class RealOnline : public testsupport::RealRunTest {
 protected:
  // Pixels of a colour inside a virtual rectangle of the 800 x 600 window.
  static int Count(const Pixmap& p, int x0, int y0, int x1, int y1, bool (*match)(const uint8_t*)) {
    int n = 0;
    for (int y = y0 * 600 / 960; y < y1 * 600 / 960; ++y)
      for (int x = x0 * 800 / 1280; x < x1 * 800 / 1280; ++x) n += match(At(p, x, y)) ? 1 : 0;
    return n;
  }
};

TEST_F(RealOnline, LogsInAndShowsTheMessageOfTheDayAndTheTable) {
  testsupport::ScoreServerProcess server(PIBBO_SCORESERVER, tmp_ + "/scores.db", "Hi from the test");
  ASSERT_GT(server.port(), 0);
  // Two other players' Medium scores are on the server already.
  PlatformInit(BackendKind::Headless);
  CreateStartupTables();
  SetDefaults();
  GetUniqueKey();
  ScoreServer = server.address();
  for (const char* name : {"alphaplayer", "betaplayer"}) {
    RegName = name;
    RegPass = "theirs1";
    ASSERT_EQ(ServerSend2(LoginInput()).substr(0, 8), "Welcome!");
    Scores r;
    r.Name = name;
    r.Score = RegName == "alphaplayer" ? 4200 : 3100;
    r.GameMode = 1;
    r.Timestamp = 1000 + static_cast<int64_t>(r.Score);
    ServerSend(UploadInput(r));
  }
  PlatformShutdown();
  testsupport::WriteBytes(run_ + "/Files/Setup.ini", "ScoreServer = " + server.address() + "\r\n");
  pid_t pid = StartGame();
  if (pid < 0) GTEST_SKIP() << "needs xdotool and Xvfb";
  ASSERT_FALSE(window_.empty()) << "no window";
  Key("2");
  usleep(1000 * 1000);
  // The panel rests at x 860 on this 800-wide window: the fields' boxes at
  // (880, 840) and (880, 900), Login at (910, 930).
  Click(580, 533);
  Do("type --delay 60 zoeplayer");
  Click(580, 570);
  Do("type --delay 60 right1");
  Click(600, 590);
  // The login form's blue captions are gone; the grey message of the day
  // stands at 170.
  auto captionBlue = [](const uint8_t* c) { return c[0] < 40 && c[1] > 150 && c[1] < 210 && c[2] > 220; };
  // Grey text over the green backdrop: bright pixels with red close to green.
  auto grey = [](const uint8_t* c) { return c[0] > 110 && c[0] + 40 > c[1] && c[2] > 90; };
  auto white = [](const uint8_t* c) { return c[0] > 200 && c[1] > 200 && c[2] > 200; };
  // Until the login and the table have come (the server's password hash
  // takes its time on a loaded machine), at most 15 s.
  Pixmap shot;
  for (int look = 0; look < 30; ++look) {
    shot = Screenshot();
    ASSERT_TRUE(shot);
    if (Count(shot, 870, 170, 1270, 195, grey) > 10 && Count(shot, 870, 390, 1270, 403, white) > 20) break;
    usleep(500 * 1000);
  }
  EXPECT_EQ(Count(shot, 870, 800, 1270, 960, captionBlue), 0) << "still logged out";
  EXPECT_GT(Count(shot, 870, 170, 1270, 195, grey), 10) << "the message of the day";
  // The table's rows 1 and 2 (tops at 371 and 388) in white, row 3 empty (below row 2's descenders).
  EXPECT_GT(Count(shot, 870, 373, 1270, 386, white), 20) << "row 1";
  EXPECT_GT(Count(shot, 870, 390, 1270, 403, white), 20) << "row 2";
  EXPECT_EQ(Count(shot, 870, 415, 1270, 430, white), 0) << "row 3";
  EXPECT_EQ(QuitFromTitle(pid), 0);

  // The account the game made answers the same password.
  PlatformInit(BackendKind::Headless);
  CreateStartupTables();
  SetDefaults();
  GetUniqueKey();
  ScoreServer = server.address();
  RegName = "zoeplayer";
  RegPass = "right1";
  EXPECT_EQ(ServerSend2(LoginInput()).substr(0, 16), "Password Correct");
  PlatformShutdown();
}

}  // namespace
