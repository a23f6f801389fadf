// The Online tab against small servers on 127.0.0.1: large and oddly
// shaped replies, refreshes while a request hangs, the account fields
// during a login, the failure texts at every screen size, and the closing
// sequence with a request under way.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "online/online.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "scores/scores.h"
#include "tiny_server.h"
#include "script_time.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::LoopbackServer;
using testsupport::ReadRequest;
using testsupport::SendAll;

using testsupport::At;

// A press of the left button at a point of the virtual screen, `ms` from now.
std::string Press(int x, int y, int ms) {
  return At(ms) + " mouse " + std::to_string(x) + " " + std::to_string(y) + "\n" + At(ms + 20) + " button 1 down\n" +
         At(ms + 60) + " button 1 up\n";
}

class OnlineTab : public ::testing::Test {
 protected:
  void SetUp() override {
    PlatformInit(BackendKind::Headless);
    ClearEngineEvents();
    CreateStartupTables();
    SetDefaults();
    GetUniqueKey();
    // A request held by the frame would show as a frame of 1.5 s or more.
    SetNetLimits(500, 1500, 1 << 20);
    SetNetReplyTimeLimit(1500);
    ASSERT_EQ(Graphics(1280, 960, 0, 60), 1);
    SetVirtualResolution(1280, 960);
    JScrw = 1280;
    JScrh = 960;
    ResetOnlineTables();
    AltScores.Clear();
    ThisIsHigh.reset();
    GameMode = 1;
    RegName = "zoeplayer";
    RegPass = "right1";
  }
  void TearDown() override {
    ThisIsHigh.reset();
    ResetOnlineTables();
    ClearEngineEvents();
    SetNetLimits(0, 0, 0);
    SetNetReplyTimeLimit(0);
    PlatformShutdown();
  }
  static void UseServer(const LoopbackServer& s) { ScoreServer = "127.0.0.1:" + std::to_string(s.port()); }

  // Title-loop passes of the Online tab until `done` or `seconds`; answers
  // the longest pass in seconds.
  static double Frames(const std::function<bool()>& done, double seconds = 8) {
    double longest = 0;
    const auto t0 = Clock::now();
    while (!done() && Clock::now() - t0 < std::chrono::duration<double>(seconds)) {
      const auto f0 = Clock::now();
      CLS3d(1);
      OnlineView(940, 335, 1);
      OnlineTableClear();
      fps(60, 1, 1);
      longest = std::max(longest, std::chrono::duration<double>(Clock::now() - f0).count());
    }
    return longest;
  }
};

const std::string kBest = "0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0";

// A 300 KB message of the day in one-character lines, then a table whose
// reply begins with a line break: both read in a pass of no note.
TEST_F(OnlineTab, AHugeMessageOfTheDayAndATableAfterABlankLine) {
  std::string motd;
  for (int k = 0; k < 150000; ++k) motd += k < 25 ? std::string(1, static_cast<char>('a' + k)) + "\n" : "x\n";
  LoopbackServer server([&](int fd) {
    const std::string request = ReadRequest(fd);
    if (request.find("login.php") != std::string::npos) {
      SendAll(fd, "HTTP/1.0 200 OK\r\n\r\nWelcome!|" + motd);
    } else {
      SendAll(fd, "HTTP/1.0 200 OK\n\n\n1000|Ann|0|5|0|1|0|0\n" + kBest + "\n900|Bob|0|6|0|1|0|0\n" + kBest + "\n");
    }
  });
  UseServer(server);
  headless::Script(Press(1000, 945, 0));  // Login
  double longest = Frames([] { return LoggedIn == 1; });
  ASSERT_EQ(LoggedIn, 1);
  EXPECT_LT(longest, 0.4) << "no pass waits for the reading of the message";
  EXPECT_EQ(motds, 19);
  EXPECT_EQ(MOTD[1], "a");
  EXPECT_EQ(MOTD[19], "s");
  longest = Frames([] { return OnlineRefreshState == 0; });
  EXPECT_EQ(OnlineRefreshState, 0) << "the table came";
  ASSERT_EQ(AltScores.Count(), 2u);
  std::vector<std::string> names;
  AltScores.ForEach([&](const std::shared_ptr<Scores>& r) {
    names.push_back(r->Name + " " + std::to_string(r->Score) + " " + std::to_string(r->GameMode));
  });
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, std::vector<std::string>({"Ann 1000 -2", "Bob 900 -2"}));
  EXPECT_LT(longest, 0.4) << "no pass waits for the reading of the table";
}

// Two refreshes one right after the other: against a server that answers
// tables at once but never an upload (so the second refresh's requests
// come while the first one's upload hangs), and against a silent one.
TEST_F(OnlineTab, TwoQuickRefreshesWithARequestHanging) {
  const std::function<void(int)> uploadsHang = [](int fd) {
    const std::string request = ReadRequest(fd);
    if (request.find("/tables/") != std::string::npos)
      SendAll(fd, "HTTP/1.0 404 Not Found\n\n<HTML><HEAD></HEAD></HTML>\n");
    else
      testsupport::DrainUntilClosed(fd);
  };
  const std::function<void(int)> silent = [](int fd) { testsupport::DrainUntilClosed(fd); };
  for (const auto* handler : {&uploadsHang, &silent}) {
    SCOPED_TRACE(handler == &silent ? "silent" : "uploads hang");
    ResetOnlineTables();
    LoopbackServer server(*handler);
    UseServer(server);
    LoggedIn = 1;
    auto mine = std::make_shared<Scores>();
    mine->Score = 100;
    mine->Timestamp = 5;
    mine->GameMode = 1;
    ThisIsHigh = mine;
    // "Refresh Scores" pressed again as soon as it can be: a refresh starts
    // in every pass that finds none under way, two in all.
    int started = 0, refreshes = 0, last = 0;
    const double longest = Frames([&] {
      if (last == 2 && OnlineRefreshState != 2) ++refreshes;
      if (OnlineRefreshState == 0 && started < 2) {
        OnlineRefreshState = 1;
        ++started;
      }
      last = OnlineRefreshState;
      return refreshes >= 2;
    });
    EXPECT_EQ(refreshes, 2);
    EXPECT_LT(longest, 0.4) << "no pass waits for a request";
    ThisIsHigh.reset();
    LoggedIn = 0;
  }
}

TEST_F(OnlineTab, AccountFieldsTakeNoInputWhileALoginIsInFlight) {
  LoopbackServer server([](int fd) { testsupport::DrainUntilClosed(fd); });
  UseServer(server);
  headless::Script(Press(1000, 945, 0));  // Login
  Frames([] { return OnlineRequestsBusy(); }, 2);
  ASSERT_TRUE(OnlineRequestsBusy());
  // A click into the user-name box and typing while the server is silent.
  headless::Script(Press(1000, 850, 0) + At(120) + " text xyz\n" + At(200) + " tap 8");
  Frames([] { return false; }, 0.5);
  EXPECT_EQ(RegName, "zoeplayer");
  EXPECT_EQ(intextedit, 0);
  bool grey = false;
  for (const DrawCall& c : headless::LastFrame())
    grey |= c.kind == DrawCall::Text && c.text.rfind("zoeplayer", 0) == 0 && c.r == 160 && c.g == 160;
  EXPECT_TRUE(grey) << "the field shows that it waits";
  // Once the login has failed the fields take input again.
  Frames([] { return LoginFailed == 1; }, 4);
  ASSERT_EQ(LoginFailed, 1);
  headless::Script(Press(1000, 850, 0) + At(150) + " text x");
  Frames([] { return RegName == "zoeplayerx"; }, 2);
  EXPECT_EQ(RegName, "zoeplayerx");
}

// The red failure texts, logged out (font 1, 3) and logged in (font 1, 2),
// at a display size of each kind the game draws differently: the three
// virtual screens, the wide and the narrow panel, and the three font
// scales (below 600, below 900 and from 900 pixels wide; at 801 to 899 the
// larger face at the larger scale in the wide panel).
TEST_F(OnlineTab, FailureTextsFitThePanelAtEveryScreen) {
  const std::pair<int, int> sizes[] = {{512, 384},  {576, 324},  {800, 600},  {800, 500}, {854, 480},
                                       {840, 525},  {1280, 960}, {1440, 900}, {1600, 900}};
  std::vector<GraphicsMode> modes;
  for (const auto& [w, h] : sizes) modes.push_back({w, h, 32, 60});
  headless::SetModes(modes);
  const std::string here = CurrentDir();
  CommonDir = PIBBO_RUN_DIR "/Files/Common";
  GameDir.clear();
  FirstRun = 1;
  for (const auto& [w, h] : sizes) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    // The mode of the settings is the one the display set-up opens.
    Options[kOptWidth] = w;
    Options[kOptHeight] = h;
    ChangeRes();
    ASSERT_EQ(MyScrw, w);
    ASSERT_EQ(MyScrh, h);
    const int panelW = MyScrw < 900 ? 415 : 335;
    const int panelX = JScrw - panelW - 5;
    for (const char* trouble : {kCannotReach, kBadAnswer}) {
      for (int loggedIn = 0; loggedIn <= 1; ++loggedIn) {
        SCOPED_TRACE(std::string(trouble) + (loggedIn ? ", logged in" : ", logged out"));
        ResetOnlineTables();
        LoggedIn = loggedIn;
        LoginFailed = 1 - loggedIn;
        OnlineTrouble = trouble;
        headless::ClearDrawCalls();
        SetCol(255, 255, 255, 1);  // as the title pass leaves it
        OnlineView(panelX, panelW, 1);
        UseFont(1, loggedIn ? 2 : 3);
        std::string shown;
        for (const DrawCall& c : headless::DrawCalls()) {
          if (c.kind != DrawCall::Text || c.r != 255 || c.g != 0 || c.b != 0) continue;
          shown += (shown.empty() ? "" : " ") + c.text;
          EXPECT_GE(c.x, panelX);
          EXPECT_LE(c.x + TextWidth(c.text), panelX + panelW) << c.text;
          if (!loggedIn) {
            EXPECT_LE(c.y + TextHeight(c.text), JScrh - 150) << "above the fields";
          }
        }
        EXPECT_EQ(shown, trouble);
      }
    }
  }
  ChangeDir(here);
}

// Quitting with an upload under way: a quick server gets it, a silent one
// holds the closing sequence only for a moment.
TEST_F(OnlineTab, TheClosingSequenceWaitsOnlyBrieflyForARequest) {
  InstallOnline();
  SetNetLimits(500, 3000, 1 << 20);  // a silent server holds a request 3 s
  std::atomic<bool> received{false};
  LoopbackServer quick([&](int fd) {
    ReadRequest(fd);
    usleep(100 * 1000);
    received = true;
    SendAll(fd, "HTTP/1.0 200 OK\n\nScore Saved\n");
  });
  LoopbackServer silent([](int fd) { testsupport::DrainUntilClosed(fd); });
  auto mine = std::make_shared<Scores>();
  mine->Score = 100;
  ThisIsHigh = mine;
  for (const LoopbackServer* server : {&quick, &silent}) {
    UseServer(*server);
    UploadScore();
    const auto t0 = Clock::now();
    RaiseEngineEvent(EngineEvent::Finishing);
    const double waited = std::chrono::duration<double>(Clock::now() - t0).count();
    if (server == &quick) {
      EXPECT_TRUE(received) << "the upload went out before the end";
      EXPECT_LT(waited, kClosingWaitMs / 1000.0);
    } else {
      EXPECT_GE(waited, kClosingWaitMs / 1000.0 - 0.05);
      EXPECT_LT(waited, kClosingWaitMs / 1000.0 + 0.3) << "not the 3 s the server could hold it";
    }
  }
}

}  // namespace
