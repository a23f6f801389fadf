// The game's requests against the project's score server on 127.0.0.1:
// accounts, the message of the day, uploads and the tables built from them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/startup/startup.h"
#include "game/game.h"
#include "online/online.h"
#include "engine/frame/frame.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "scores/scores.h"
#include "test_support.h"
#include "score_server.h"
#include "script_time.h"

namespace {

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find('\n', start)) != std::string::npos; start = at + 1)
    lines.push_back(text.substr(start, at - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

class ScoreServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PlatformInit(BackendKind::Headless);
    CreateStartupTables();
    SetDefaults();
    GetUniqueKey();
    SetNetLimits(3000, 3000, 1 << 20);
    server_ = std::make_unique<testsupport::ScoreServerProcess>(PIBBO_SCORESERVER, dir_.path().string() + "/scores.db",
                                                                "Hello\nfrom the test");
    ASSERT_GT(server_->port(), 0);
    ScoreServer = server_->address();
  }
  void TearDown() override {
    server_.reset();
    ScoreServer.clear();
    SetNetLimits(0, 0, 0);
    PlatformShutdown();
  }
  // The login as the Online tab sends it.
  static std::string Login() { return ServerSend2(LoginInput()); }
  static std::string Upload(const Scores& r) { return ServerSend(UploadInput(r)); }

  testsupport::TempDir dir_{"scoreserver"};
  std::unique_ptr<testsupport::ScoreServerProcess> server_;
};

TEST_F(ScoreServerTest, AccountsUploadsAndTables) {
  RegName = "zoeplayer";
  RegPass = "right1";
  EXPECT_EQ(Login().substr(0, 14), "Welcome!|Hello") << "a new account";
  EXPECT_EQ(Login().substr(0, 22), "Password Correct|Hello");
  RegPass = "wrong1";
  EXPECT_EQ(Login().substr(0, 14), "WRONG PASSWORD");

  // No table yet: the "<HEAD>" page.
  EXPECT_NE(Upper(ServerGet("1")).find("<HEAD>"), std::string::npos);

  Scores r;
  r.Score = 4'000'000'000;
  r.Name = "Zoe";
  r.Timestamp = 1234567;
  r.GameMode = 1;
  r.Best[30] = 1;
  RegPass = "wrong1";
  EXPECT_EQ(Upload(r).substr(0, 14), "WRONG PASSWORD") << "another's password writes nothing";
  RegPass = "right1";
  EXPECT_EQ(Upload(r).substr(0, 11), "Score Saved");
  EXPECT_EQ(Upload(r).substr(0, 19), "Score Already Saved") << "one row per game";
  r.Score = 7;
  r.Name = "Zed";
  r.Timestamp = 1234568;  // another game
  EXPECT_EQ(Upload(r).substr(0, 11), "Score Saved");

  const std::string table = ServerGet("1");
  const auto lines = Split(table);
  ASSERT_GE(lines.size(), 4u) << table;
  EXPECT_EQ(lines[0], "4000000000|Zoe|0|1234567|0|1|0|0");
  EXPECT_EQ(lines[1].substr(lines[1].size() - 2), "|1");
  EXPECT_EQ(lines[2], "7|Zed|0|1234568|0|1|0|0");
  EXPECT_NE(Upper(ServerGet("2")).find("<HEAD>"), std::string::npos) << "Hard has no table";
}

TEST_F(ScoreServerTest, MalformedAndOversizedRequestsGetAClearStatus) {
  int port = std::stoi(ScoreServer.substr(ScoreServer.find(':') + 1));
  auto ask = [&](const std::string& request) {
    Socket s = CreateTCPSocket();
    EXPECT_EQ(ConnectSocket(s, 0x7F000001, port), 1);
    Stream st = CreateSocketStream(s, 1);
    WriteString(st, request);
    // The status code of the status line, or "" when the server hung up.
    const std::string status = ReadLine(st);
    CloseStream(st);
    return status.rfind("HTTP/1.", 0) == 0 && status.size() >= 12 ? status.substr(9, 3) : status;
  };
  EXPECT_EQ(ask("NONSENSE\r\n\r\n"), "400");
  EXPECT_EQ(ask("GET /kestrum/login.php?week=x&input=00 HTTP/1.0\r\n\r\n"), "400");
  EXPECT_EQ(ask("GET /" + std::string(20000, 'a') + " HTTP/1.0\r\n\r\n"), "413");
  EXPECT_EQ(ask("GET /kestrum/nothing HTTP/1.0\r\n\r\n"), "404");
  EXPECT_EQ(ask("POST /kestrum/tables/260/1.txt HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc"), "405");
}

}  // namespace

namespace {

// The Online tab's login form driven like a player: a click into each
// field, typing, Login; then the message of the day.
TEST_F(ScoreServerTest, TheLoginFormLogsInAndShowsTheMessageOfTheDay) {
  ASSERT_EQ(Graphics(1280, 960, 0, 60), 1);
  SetVirtualResolution(1280, 960);
  JScrw = 1280;
  JScrh = 960;
  ResetOnlineTables();
  RegName.clear();
  RegPass.clear();
  const auto at = testsupport::At;
  auto frames = [](int n) {
    for (int k = 0; k < n; ++k) {
      CLS3d(1);
      OnlineView(940, 335, 1);
      fps(60, 1, 1);
    }
  };
  auto drawn = [](const std::string& text) {
    for (const DrawCall& c : headless::LastFrame())
      if (c.kind == DrawCall::Text && c.text.rfind(text, 0) == 0) return true;
    return false;
  };
  frames(2);
  EXPECT_TRUE(drawn("If you're new.."));
  EXPECT_TRUE(drawn("Username"));
  // The user-name box at (960, 840), the password box at (960, 900).
  headless::Script(at(0) + " mouse 1000 850\n" + at(40) + " button 1 down\n" + at(80) + " button 1 up\n" + at(150) +
                   " text zoeplayer");
  frames(30);
  EXPECT_EQ(intextedit, 1);
  EXPECT_EQ(RegName, "zoeplayer");
  headless::Script(at(0) + " tap 40\n" + at(50) + " text right1\n" + at(200) + " tap 13");
  frames(30);
  EXPECT_EQ(RegPass, "right1");
  EXPECT_EQ(intextedit, 0);
  frames(1);
  EXPECT_TRUE(drawn("******")) << "the password shows masked";
  // Login, at (990..1190, 930..960); the reply comes in while frames go on.
  headless::Script(at(0) + " mouse 1000 945\n" + at(40) + " button 1 down\n" + at(200) + " button 1 up");
  frames(20);
  for (int k = 0; k < 500 && LoggedIn == 0; ++k) {
    usleep(10 * 1000);
    frames(1);
  }
  EXPECT_EQ(LoggedIn, 1);
  EXPECT_EQ(LoginFailed, 0);
  EXPECT_EQ(OnlineRefreshState, 1) << "the table is to load";
  ASSERT_EQ(motds, 2);
  EXPECT_EQ(MOTD[1], "Hello");
  EXPECT_EQ(MOTD[2], "from the test");
  frames(1);
  EXPECT_TRUE(drawn("Refresh Scores"));
  EXPECT_TRUE(drawn("from the test"));
}

TEST_F(ScoreServerTest, AFailedLoginSaysWhyAndIsOneAttemptPerPress) {
  ASSERT_EQ(Graphics(1280, 960, 0, 60), 1);
  SetVirtualResolution(1280, 960);
  JScrw = 1280;
  JScrh = 960;
  ResetOnlineTables();
  RegName = "abc";
  RegPass = "longenough";
  const auto at = testsupport::At;
  headless::Script(at(0) + " mouse 1000 945\n" + at(40) + " button 1 down\n" + at(600) + " button 1 up");
  for (int k = 0; k < 60; ++k) {
    CLS3d(1);
    OnlineView(940, 335, 1);
    fps(60, 1, 1);
  }
  EXPECT_EQ(LoginFailed, 1);
  EXPECT_EQ(LoggedIn, 0);
  bool shown = false;
  for (const DrawCall& c : headless::LastFrame()) shown |= c.kind == DrawCall::Text && c.text == "USERNAME TOO SHORT";
  EXPECT_TRUE(shown);
}

}  // namespace

namespace {

// A refresh after the login: an empty table takes the local best at once;
// the next refresh reads it back as an online entry; a better local score
// is uploaded, a worse one is not.
TEST_F(ScoreServerTest, RefreshUploadsTheLocalBestAndReadsTheTable) {
  ASSERT_EQ(Graphics(1280, 960, 0, 60), 1);
  ResetOnlineTables();
  AltScores.Clear();
  RegName = "zoeplayer";
  RegPass = "right1";
  ASSERT_EQ(Login().substr(0, 8), "Welcome!");
  GameMode = 1;
  auto local = std::make_shared<Scores>();
  local->Score = 900;
  local->Name = "Zoe";
  local->Timestamp = 5000;
  local->GameMode = 1;
  ThisIsHigh = local;
  auto refresh = [] {
    OnlineRefreshState = 1;
    OnlineTableClear();
    ASSERT_EQ(OnlineRefreshState, 2);
    // Frames go on while the fetch and any upload run; then the button-up
    // release ends the refresh.
    int frames = 0;
    do {
      OnlineView(940, 335, 1);
      ++frames;
      if (OnlineRefreshState != 0 || OnlineRequestsBusy()) usleep(2000);
    } while ((OnlineRefreshState != 0 || OnlineRequestsBusy()) && frames < 2000);
    OnlineView(940, 335, 1);  // takes the upload's answer
    EXPECT_EQ(OnlineRefreshState, 0);
    EXPECT_GE(frames, 2) << "the fetch ran beside the frames";
  };
  LoggedIn = 1;
  refresh();
  EXPECT_EQ(UploadCount, 0);
  EXPECT_TRUE(AltScores.Count() == 0) << "the first table was the empty page";
  refresh();
  ASSERT_EQ(AltScores.Count(), 1u);
  EXPECT_EQ(AltScores.First()->Score, 900);
  EXPECT_EQ(AltScores.First()->GameMode, -2);
  EXPECT_EQ(AltScores.First()->Name, "Zoe");

  // A better local score: sent against the entry it beats (the next fetch
  // shows it), and once more by the rule for tables shorter than 30.
  local->Score = 1500;
  local->Timestamp = 6000;
  refresh();
  refresh();
  EXPECT_EQ(AltScores.Count(), 2u) << "each game once, however often it was sent";
  EXPECT_EQ(HighTable[1], nullptr) << "no screen ran: the table is only in the list";
  // An unreachable server: no entries, no upload tried.
  ScoreServer = "127.0.0.1:1";
  refresh();
  EXPECT_EQ(AltScores.Count(), 0u) << "the table's entries were dropped and none came back";
  ThisIsHigh.reset();
  GameMode = 1;
}

}  // namespace
