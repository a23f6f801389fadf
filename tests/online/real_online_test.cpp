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

class RealOnline : public testsupport::RealRunTest {};

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
  ASSERT_TRUE(title_) << "no title screen";
  // The login form's blue captions; the grey message of the day at 170.
  auto captionBlue = [](const uint8_t* c) { return c[0] < 40 && c[1] > 150 && c[1] < 210 && c[2] > 220; };
  // Grey text over the green backdrop: bright pixels with red close to green.
  auto grey = [](const uint8_t* c) { return c[0] > 110 && c[0] + 40 > c[1] && c[2] > 90; };
  // (the table's small letters are smoothed: their strokes are light, not all white)
  auto white = [](const uint8_t* c) { return c[0] > 170 && c[1] > 170 && c[2] > 170; };
  Key("2");
  ASSERT_TRUE(Until([&](const Pixmap& p) { return Backdrop(p) == 1 && Count(p, 870, 800, 1270, 960, captionBlue) > 0; }))
      << "the Online tab's login form";
  // The panel rests at x 860 on this 800-wide window: the fields' boxes at
  // (880, 840) and (880, 900), Login at (910, 930).
  // Each input is handled before the next is sent.
  Click(580, 533);
  Sync();
  Do("type --delay 60 zoeplayer");
  Sync();
  Click(580, 570);
  Sync();
  Do("type --delay 60 right1");
  Sync();
  Click(600, 590);
  // Logged in: the captions gone, the message of the day and the table's
  // rows 1 and 2 (tops at 371 and 388) in white, row 3 empty (below row
  // 2's descenders).
  auto row1 = [&](const Pixmap& p) { return Count(p, 870, 373, 1270, 386, white) > 20; };
  auto row2 = [&](const Pixmap& p) { return Count(p, 870, 390, 1270, 403, white) > 20; };
  Pixmap shot = Until([&](const Pixmap& p) {
    return Count(p, 870, 800, 1270, 960, captionBlue) == 0 && Count(p, 870, 170, 1270, 195, grey) > 10 && row1(p) &&
           row2(p);
  });
  if (!shot) shot = last_;
  ASSERT_TRUE(shot);
  EXPECT_EQ(Count(shot, 870, 800, 1270, 960, captionBlue), 0) << "still logged out";
  EXPECT_GT(Count(shot, 870, 170, 1270, 195, grey), 10) << "the message of the day";
  EXPECT_TRUE(row1(shot)) << "row 1";
  EXPECT_TRUE(row2(shot)) << "row 2";
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
