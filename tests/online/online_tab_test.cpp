// The Online tab against small servers on 127.0.0.1: large and oddly
// shaped replies, refreshes while a request hangs, the account fields
// during a login, the failure texts at every screen size, and the closing
// sequence with a request under way.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
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
#include "score_server.h"
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
    // A reason as long as a server may give, in words as long as they come.
    const std::string longest =
        "TOO MANY REQUESTS FROM YOUR ADDRESS: PLEASE TRY AGAIN IN TEN MINUTES, OR WRITE TO THE ADMINISTRATORS";
    for (const std::string& trouble : {std::string(kCannotReach), std::string(kBadAnswer), longest}) {
      for (int loggedIn = 0; loggedIn <= 1; ++loggedIn) {
        SCOPED_TRACE(trouble + (loggedIn ? ", logged in" : ", logged out"));
        ResetOnlineTables();
        LoggedIn = loggedIn;
        LoginFailed = 1 - loggedIn;
        OnlineTrouble = trouble;
        headless::ClearDrawCalls();
        SetCol(255, 255, 255, 1);  // as the title pass leaves it
        OnlineView(panelX, panelW, 1);
        const std::vector<DrawCall> calls = headless::DrawCalls();
        std::string shown;
        for (const DrawCall& c : calls) {
          if (c.kind != DrawCall::Text || c.r != 255 || c.g != 0 || c.b != 0) continue;
          shown += (shown.empty() ? "" : " ") + c.text;
          // Measured in the size of face 1 that it was drawn in.
          bool measured = false;
          for (int size = 0; size <= 8 && !measured; ++size) {
            UseFont(1, size);
            Text(0, 0, "probe", 0, 0);
            measured = headless::DrawCalls().back().font == c.font;
          }
          ASSERT_TRUE(measured) << c.font;
          EXPECT_GE(c.x, panelX);
          EXPECT_LE(c.x + TextWidth(c.text), panelX + panelW) << c.text;
          EXPECT_LE(c.y + TextHeight(c.text), loggedIn ? JScrh - 589 : JScrh - 150)
              << (loggedIn ? "above the table" : "above the fields");
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
    UploadScore(ThisIsHigh);
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

namespace {

// A score server scripted by the test: answers for logins and tables, and
// the uploads it received.
struct ScriptedServer {
  std::string login = "HTTP/1.0 200 OK\n\nWelcome!|hi\n";
  std::string table = "HTTP/1.0 200 OK\n\n";
  std::atomic<bool> holdTables{false};  // tables wait while it is set
  std::atomic<bool> holdOpen{false};    // logins and tables keep the connection until the client closes
  std::mutex mutex;
  std::vector<std::string> uploads;  // request lines
  std::atomic<int> requests{0};
  LoopbackServer server{[this](int fd) {
    const std::string request = ReadRequest(fd);
    ++requests;
    if (request.find("/scores.php") != std::string::npos) {
      std::lock_guard<std::mutex> lock(mutex);
      uploads.push_back(request.substr(0, request.find(" HTTP/")));
      SendAll(fd, "HTTP/1.0 200 OK\n\nScore Saved\n");
    } else if (request.find("/tables/") != std::string::npos) {
      for (int k = 0; k < 1000 && holdTables; ++k) usleep(10 * 1000);
      SendAll(fd, table);
      if (holdOpen) testsupport::DrainUntilClosed(fd);
    } else {
      SendAll(fd, login);
      if (holdOpen) testsupport::DrainUntilClosed(fd);
    }
  }};
  std::vector<std::string> Uploads() {
    std::lock_guard<std::mutex> lock(mutex);
    return uploads;
  }
};

std::shared_ptr<Scores> LocalRecord(int64_t score, int mode, int64_t stamp) {
  auto r = std::make_shared<Scores>();
  r->Score = score;
  r->GameMode = mode;
  r->Timestamp = stamp;
  r->Name = "Zoe";
  return r;
}

// The red texts of the last frame, joined by blanks.
std::string RedText() {
  std::string shown;
  for (const DrawCall& c : headless::LastFrame())
    if (c.kind == DrawCall::Text && c.r == 255 && c.g == 0 && c.b == 0) shown += (shown.empty() ? "" : " ") + c.text;
  return shown;
}

// A table answer of each kind: the protocol's (an empty body, the empty
// table's page, entries) against refusals, pages that are no table,
// replies that broke off, and rows that are none of the table's.
TEST_F(OnlineTab, ATableAnswerUploadsTheLocalBestOnlyWhenItIsATable) {
  const std::string entry = "500|Ann|0|5|0|1|0|0\n" + kBest + "\n";
  std::string thirty;
  for (int k = 0; k < 30; ++k) thirty += std::to_string(5000 - k) + "|P" + std::to_string(k) + "|0|5|0|1|0|0\n" + kBest + "\n";
  const std::string fiveOfThirty = thirty.substr(0, thirty.find("|P5|"));
  // Five rows sent in chunks that split lines, one with an extension.
  const std::string fiveRows = fiveOfThirty.substr(0, fiveOfThirty.rfind('\n') + 1);
  std::string chunked;
  for (size_t at = 0, size = 7; at < fiveRows.size(); at += size, size += 13) {
    const std::string piece = fiveRows.substr(at, size);
    char hex[20];
    std::snprintf(hex, sizeof hex, "%zx%s\r\n", piece.size(), at == 0 ? ";note=1" : "");
    chunked += hex + piece + "\r\n";
  }
  const std::string chunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string withLength = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(entry.size()) + "\r\n\r\n";
  ASSERT_TRUE(entry.find('\n') < 40 && entry.size() > 40) << "40 bytes end in the entry's Best line";
  const struct {
    const char* name;
    std::string reply;
    size_t uploads, rows;
    std::string trouble;
    bool held = false;  // the server keeps the connection open after the reply
  } cases[] = {
      // The body is the length's bytes; what follows is no part of it.
      {"length 0, rows after", "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n" + thirty, 1, 0, ""},
      {"length 40, rows after", "HTTP/1.0 200 OK\r\nContent-Length: 40\r\n\r\n" + entry + thirty, 1, 1, ""},
      {"chunked", chunkedHead + chunked + "0\r\n\r\n", 1, 5, ""},
      {"chunked, a trailer, rows after", chunkedHead + chunked + "0\r\nX-Sum: 1\r\n\r\n" + thirty, 1, 5, ""},
      {"chunked, cut before its last chunk", chunkedHead + chunked, 0, 0, kCutShort},
      {"chunked, a size that is no number", chunkedHead + "zz\r\n" + fiveRows + "\r\n0\r\n\r\n", 0, 0, kBadAnswer},
      {"chunked, data longer than its size", chunkedHead + "5\r\n" + fiveRows + "\r\n0\r\n\r\n", 0, 0, kBadAnswer},
      {"a transfer coding not read", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n" + fiveRows, 0, 0,
       kBadAnswer},
      {"chunked after another coding",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n" + chunked + "0\r\n\r\n", 0, 0, kBadAnswer},
      {"chunked beside a length",
       "HTTP/1.1 200 OK\r\nContent-Length: 9\r\nTransfer-Encoding: chunked\r\n\r\n" + chunked + "0\r\n\r\n",
       0, 0, kBadAnswer},
      {"gzip", "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 20\r\n\r\n\x1f\x8b\x08" +
       std::string(17, '\x01'), 0, 0, kBadAnswer},
      {"no content coding", "HTTP/1.0 200 OK\r\nContent-Encoding: identity\r\n\r\n" + entry, 1, 1, ""},
      // No body, whatever follows: a table with no entries.
      {"204 with rows", "HTTP/1.1 204 No Content\r\n\r\n" + thirty, 1, 0, ""},
      // Shown as soon as it has come, though the server keeps the connection.
      {"its length, held open", withLength + entry, 1, 1, "", true},
      {"chunked, held open", chunkedHead + chunked + "0\r\n\r\n", 1, 5, "", true},
      {"gzip, held open", "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n\x1f\x8b", 0, 0, kBadAnswer, true},
      // Without a length its end is the close.
      {"no length, held open", "HTTP/1.0 200 OK\r\n\r\n" + entry, 0, 0, kTooSlow, true},
      {"empty body", "HTTP/1.0 200 OK\r\n\r\n", 1, 0, ""},
      {"blank lines only", "HTTP/1.0 200 OK\n\n \n", 1, 0, ""},
      {"the empty table's page", "HTTP/1.0 404 Not Found\n\n<html><head></head><body>No such table</body></html>\n",
       1, 0, ""},
      {"one entry beaten", "HTTP/1.0 200 OK\n\n" + entry, 1, 1, ""},
      {"after an interim answer", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n\r\n" + entry, 1, 1, ""},
      {"server busy", "HTTP/1.0 503 Service Unavailable\n\nSERVER BUSY: TRY AGAIN IN A MOMENT\n", 0, 0,
       "SERVER BUSY: TRY AGAIN IN A MOMENT"},
      {"a page of HTML with status 200", "HTTP/1.0 200 OK\n\n<HTML><HEAD></HEAD></HTML>\n", 0, 0, kBadAnswer},
      {"a captive portal's sign-in page",
       "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><head><title>Login | Captive portal</title>"
       "</head>\r\n<body><p>Sign in | Help</p></body></html>\r\n",
       0, 0, kBadAnswer},
      {"an error page", "HTTP/1.0 500 Oops\n\n<HTML><HEAD></HEAD><BODY>Oops</BODY></HTML>\n", 0, 0, kBadAnswer},
      {"words, no table", "HTTP/1.0 200 OK\n\nhello there\n", 0, 0, kBadAnswer},
      {"an error line with a |", "HTTP/1.0 200 OK\n\nERROR|database is locked\n", 0, 0, kBadAnswer},
      {"cut in its head", "HTTP/1.0 200 OK\r\nContent-Type: text/pl", 0, 0, kCutShort},
      {"an interim answer alone", "HTTP/1.1 100 Continue\r\n\r\n", 0, 0, kCutShort},
      {"short of its length", "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(thirty.size()) + "\r\n\r\n" +
       fiveOfThirty, 0, 0, kCutShort},
      {"its length whole", "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(thirty.size()) + "\r\n\r\n" +
       thirty, 0, 30, ""},
      // Past the reply cap (1 MiB here): what was read is only its start.
      {"longer than the cap", "HTTP/1.0 200 OK\r\n\r\n" + entry + std::string(3 << 20, ' '), 0, 0, kBadAnswer},
      // Rows of other tables and numbers no game makes are passed over.
      {"stray rows and impossible numbers",
       "HTTP/1.0 200 OK\n\n" + entry + "600|Easy|0|5|0|0|0|0\n" + kBest + "\n600|Lvl|0|5|1|1|0|0\n" + kBest +
       "\n600|Flag|0|5|0|1|1|0\n" + kBest + "\n99999999999999999999999|Huge|0|5|0|1|0|0\n" + kBest +
       "\n-5|Minus|0|5|0|1|0|0\n" + kBest + "\n600|BigBest|0|5|0|1|0|0\n2147483648\n",
       1, 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ResetOnlineTables();
    AltScores.Clear();
    ScriptedServer scripted;
    scripted.table = c.reply;
    scripted.holdOpen = c.held;
    UseServer(scripted.server);
    LoggedIn = 1;
    ThisIsHigh = LocalRecord(900, 1, 7);
    OnlineRefreshState = 2;
    Frames([] { return OnlineRefreshState == 0 && !OnlineRequestsBusy(); });
    EXPECT_EQ(OnlineRefreshState, 0);
    EXPECT_EQ(scripted.Uploads().size(), c.uploads);
    EXPECT_EQ(AltScores.Count(), c.rows);
    EXPECT_EQ(OnlineTrouble, c.trouble);
    // Only rows the server sent, never a line of its framing read as one.
    for (const auto& r : AltScores)
      EXPECT_TRUE(r->Name == "Ann" || (r->Name.size() >= 2 && r->Name[0] == 'P' && std::isdigit(r->Name[1])))
          << r->Name;
    Frames([n = 0]() mutable { return n++ == 1; });
    EXPECT_EQ(RedText(), c.trouble) << "shown, fitted to the panel, under the message";
  }
}

// Logins that fail: a refusal in plain words is the wrong password, a
// refusal with a status says its reason, fitted to the panel; a page or
// nothing is a bad answer.
TEST_F(OnlineTab, ARefusedLoginShowsTheReasonTheServerGives) {
  const std::string tooMany = "TOO MANY NEW ACCOUNTS FROM YOUR ADDRESS: TRY AGAIN IN A MINUTE";
  const std::string badName = "BAD NAME: a name holds no line break, no control character and no |";
  const struct {
    std::string reply;
    std::string shown;
  } cases[] = {
      {"HTTP/1.0 200 OK\r\n\r\nWRONG PASSWORD\r\n", "WRONG PASSWORD"},
      {"HTTP/1.0 200 OK\n\nPassword incorrect, sorry\n", "WRONG PASSWORD"},
      {"HTTP/1.0 429 Too Many Requests\r\n\r\n" + tooMany + "\r\n", tooMany},
      {"HTTP/1.0 429 Too Many Requests\n\nTOO MANY FAILED LOGINS: TRY AGAIN IN A MINUTE", "TOO MANY FAILED LOGINS: TRY AGAIN IN A MINUTE"},
      {"HTTP/1.0 400 Bad Request\n\n" + badName + "\n", badName},
      {"HTTP/1.0 503 Busy\n\n<HTML><HEAD></HEAD>SERVER BUSY</HTML>\n", kBadAnswer},
      {"HTTP/1.0 429 Slow down\n\nplease wait a little\n", kBadAnswer},
      {"HTTP/1.0 200 OK\n\n<HTML><HEAD></HEAD></HTML>\n", kBadAnswer},
      {"HTTP/1.0 200 OK\n\n", kBadAnswer},
      {"HTTP/1.0 500 Oops\n\n" + std::string(120, 'X') + "\n", kBadAnswer},
      {"HTTP/1.0 200 OK\r\n\r\nSERVER BUSY: TRY AGAIN IN A MOMENT\r\n", "SERVER BUSY: TRY AGAIN IN A MOMENT"},
      // Replies that broke off: the head, the body short of its length, a
      // reply that never came after an interim one.
      {"HTTP/1.0 200 OK\r\nContent-Le", kCutShort},
      {"HTTP/1.0 200 OK\r\nContent-Length: 40\r\n\r\nPassword Co", kCutShort},
      {"HTTP/1.0 200 OK\r\nContent-Length: 40\r\n\r\nWelcome!|hi", kCutShort},
      {"HTTP/1.1 100 Continue\r\n\r\n", kCutShort},
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 429 Too Many\r\n\r\n" + tooMany + "\r\n", tooMany},
      // A greeting logs in only with a 2xx status.
      {"HTTP/1.0 500 Internal Server Error\r\n\r\nPassword Correct|Hello\r\n", kBadAnswer},
      {"HTTP/1.0 403 Forbidden\r\n\r\nWelcome!|Hello\r\n", kBadAnswer},
      // No body, or one the client does not read.
      {"HTTP/1.1 204 No Content\r\n\r\nPassword Correct|Hello\r\n", kBadAnswer},
      {"HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\nPassword Correct|Hello\r\n", kBadAnswer},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\n\r\nPassword Correct|Hello\r\n", kBadAnswer},
      {"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\nPassword Correct|Hello\r\n", kBadAnswer},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    ResetOnlineTables();
    ScriptedServer scripted;
    scripted.login = c.reply;
    UseServer(scripted.server);
    headless::Script(Press(1000, 945, 0));  // Login
    Frames([] { return LoginFailed == 1 && headless::PendingEvents() == 0; });
    EXPECT_EQ(LoginFailed, 1);
    EXPECT_EQ(LoggedIn, 0);
    EXPECT_EQ(scripted.requests, 1) << "one attempt per press";
    Frames([n = 0]() mutable { return n++ == 1; });
    EXPECT_EQ(RedText(), c.shown);
    UseFont(1, 3);
    for (const DrawCall& c2 : headless::LastFrame()) {
      if (c2.kind != DrawCall::Text || c2.r != 255 || c2.g != 0 || c2.b != 0) continue;
      EXPECT_LE(c2.x + TextWidth(c2.text), 940 + 335) << c2.text;
      EXPECT_LE(c2.y + TextHeight(c2.text), JScrh - 150) << "above the fields";
    }
  }
}

// The player switches from Easy to Medium while the Easy table is slow to
// come: the upload after it is the Easy best, or nothing when Easy has no
// local record, never the Medium record chosen meanwhile.
TEST_F(OnlineTab, TheUploadAfterASlowFetchIsJudgedAgainstThatFetchsTable) {
  GetUniqueKey();
  const auto easy = LocalRecord(500, 0, 11);
  const auto medium = LocalRecord(9000, 1, 12);
  for (const bool easyHasOne : {true, false}) {
    SCOPED_TRACE(easyHasOne ? "Easy has a local record" : "Easy has none");
    ResetOnlineTables();
    ScriptedServer scripted;
    scripted.table = "HTTP/1.0 200 OK\n\n100|Ann|0|5|0|0|0|0\n" + kBest + "\n";
    scripted.holdTables = true;
    UseServer(scripted.server);
    LoggedIn = 1;
    GameMode = 0;
    ThisIsHigh = easyHasOne ? easy : nullptr;
    OnlineRefreshState = 2;
    Frames([&] { return scripted.requests == 1; }, 4);  // the fetch is on the server
    ASSERT_EQ(scripted.requests, 1);
    GameMode = 1;  // as the title screen's difficulty keys and its table pick
    ThisIsHigh = medium;
    Frames([] { return false; }, 0.1);
    scripted.holdTables = false;
    Frames([] { return OnlineRefreshState == 0 && !OnlineRequestsBusy(); });
    ASSERT_EQ(OnlineRefreshState, 0);
    const std::vector<std::string> uploads = scripted.Uploads();
    if (easyHasOne) {
      ASSERT_EQ(uploads.size(), 1u);
      EXPECT_EQ(uploads[0], "GET " + testsupport::UploadTarget(RegName, RegPass, *easy));
    } else {
      EXPECT_TRUE(uploads.empty());
    }
  }
  GameMode = 1;
}

// The fields take no more than the server registers, and an account it
// could not take (from the score file) is refused before any request, with
// the reason.
TEST_F(OnlineTab, TheAccountFieldsTakeOnlyWhatTheServerCanRegister) {
  ScriptedServer scripted;
  UseServer(scripted.server);
  RegName = std::string(60, 'n');
  headless::Script(Press(1000, 850, 0) + At(150) + " text abc|defgh\n");
  Frames([] { return headless::PendingEvents() == 0; }, 3);
  Frames([n = 0]() mutable { return n++ == 30; });  // every typed character taken or refused
  EXPECT_EQ(RegName, std::string(60, 'n') + "abcd") << "no |, no 65th character";
  const struct {
    std::string name, password, shown;
  } cases[] = {
      {"abc", "secret", "USERNAME TOO SHORT"},
      {"zoeplayer", "abc", "PASSWORD TOO SHORT"},
      {std::string(65, 'n'), "secret", "USERNAME TOO LONG: 64 CHARACTERS AT MOST"},
      {"zoeplayer", std::string(65, 'p'), "PASSWORD TOO LONG: 64 CHARACTERS AT MOST"},
      {"zoe|player", "secret", "USERNAME MAY HOLD NO | AND NO CONTROL CHARACTER"},
      {"zoe\tplayer", "secret", "USERNAME MAY HOLD NO | AND NO CONTROL CHARACTER"},
      {"zoeplayer", "sec|ret", "PASSWORD MAY HOLD NO |"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    ResetOnlineTables();
    RegName = c.name;
    RegPass = c.password;
    headless::Script(Press(1000, 945, 0));  // Login
    Frames([] { return LoginFailed == 1 && headless::PendingEvents() == 0; }, 3);
    EXPECT_EQ(LoginFailed, 1);
    Frames([n = 0]() mutable { return n++ == 1; });
    EXPECT_EQ(RedText(), c.shown);
  }
  EXPECT_EQ(scripted.requests, 0) << "none of them went to the server";
}

}  // namespace

namespace {

// An entry line and its Best line as the table of Medium reads them: the
// numbers a game makes, the fields the reader fills in, and rows that are
// passed over.
TEST(OnlineEntry, NumbersNoGameMakesAndRowsOfOtherTablesArePassedOver) {
  const OnlineTable medium{1, 0, 0};
  const struct {
    std::string entry, best;
    bool read;
    int64_t score;
    int best1;
    std::string name;
  } cases[] = {
      {"1000|  Ann Lee |3|17|0|1|0|1", "4|-5|6", true, 1000, 4, "Ann Lee"},
      {"1000|Ann|-3|17|-0|-1|0|-1", "", true, 1000, 0, "Ann"},  // signs dropped, as the score file does
      {"999999999999|Ann|0|0|0|1|0|0", "", true, 999999999999, 0, "Ann"},
      {"$10|Hex|0|0|0|1|0|0", "%11", true, 16, 3, "Hex"},
      {"1000|" + std::string(900000, 'n') + "|0|0|0|1|0|0", "", true, 1000, 0, std::string(kMaxNameLength, 'n')},
      {"1000|Ann|0|0|0|1", "", true, 1000, 0, "Ann"},  // missing fields read as 0
      {"ERROR|database is locked", "", false, 0, 0, ""},
      {"|Nobody|0|0|0|1|0|0", "", false, 0, 0, ""},
      {"-5|Ann|0|0|0|1|0|0", "", false, 0, 0, ""},
      {"1000000000000|Ann|0|0|0|1|0|0", "", false, 0, 0, ""},
      {"99999999999999999999999|Ann|0|0|0|1|0|0", "", false, 0, 0, ""},
      {"1000|Ann|0|99999999999999999999|0|1|0|0", "", false, 0, 0, ""},
      {"1000|Ann|2147483648|0|0|1|0|0", "", false, 0, 0, ""},
      {"1000|Ann|0|0|0|1|0|0", "1|2147483648", false, 0, 0, ""},
      {"1000|Ann|0|0|0|1|0|0", "1|-2147483648", false, 0, 0, ""},
      {"1000|Ann|0|0|0|0|0|0", "", false, 0, 0, ""},  // Easy's
      {"1000|Ann|0|0|0|2|0|0", "", false, 0, 0, ""},  // Hard's
      {"1000|Ann|0|0|1|1|0|0", "", false, 0, 0, ""},  // another level
      {"1000|Ann|0|0|0|1|1|0", "", false, 0, 0, ""},  // other flags
      {"no bar at all", "", false, 0, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry.substr(0, 60) + " / " + c.best);
    const auto r = ReadOnlineEntry(c.entry, c.best, medium);
    ASSERT_EQ(r != nullptr, c.read);
    if (!r) continue;
    EXPECT_EQ(r->GameMode, -2);
    EXPECT_EQ(r->Score, c.score);
    EXPECT_EQ(r->Best[1], c.best1);
    EXPECT_EQ(r->Name, c.name);
  }
  // Field by field, as the score line lays them out.
  const auto r = ReadOnlineEntry("1000|Ann|3|17|0|1|0|1", "4|5|6", medium);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Badges, 3);
  EXPECT_EQ(r->Timestamp, 17);
  EXPECT_EQ(r->Quit, 1);
  EXPECT_EQ(r->Best[3], 6);
  EXPECT_EQ(r->Best[4], 0);
}

// What a server sends is bounded before it is kept: refreshes against a
// server whose tables carry rows of other tables besides their own, with
// a name of 900 KB, after a login whose message has a line of nearly 1 MiB.
TEST_F(OnlineTab, WhatTheServerSendsIsBoundedBeforeItIsKept) {
  ScriptedServer scripted;
  scripted.login = "HTTP/1.0 200 OK\r\n\r\nWelcome!|" + std::string(1000000, 'm') + "\nsecond line\n";
  std::string table;
  for (int k = 0; k < 30; ++k) {
    const std::string name = k == 0 ? std::string(900000, 'n') : std::string("P").append(std::to_string(k));
    table += std::to_string(5000 - k) + "|" + name + "|0|5|0|1|0|0\n" + kBest + "\n";
  }
  // A stray row of another table after each row of this one (the reader
  // takes the pairs of the first 60 lines, so 15 of the table's own).
  std::string mixed;
  for (int k = 0; k < 30; ++k) {
    mixed += std::to_string(4000 - k) + "|Own" + std::to_string(k) + "|0|5|0|1|0|0\n" + kBest + "\n";
    mixed += std::to_string(4000 - k) + "|Stray" + std::to_string(k) + "|0|5|" + std::to_string(k % 3) + "|" +
             std::to_string(k % 2 == 0 ? 0 : 2) + "|0|0\n" + kBest + "\n";
  }
  scripted.table = "HTTP/1.0 200 OK\r\n\r\n" + table;
  UseServer(scripted.server);
  headless::Script(Press(1000, 945, 0));  // Login
  Frames([] { return LoggedIn == 1 && OnlineRefreshState == 0 && !OnlineRequestsBusy(); });
  ASSERT_EQ(LoggedIn, 1);
  EXPECT_EQ(motds, 2);
  EXPECT_EQ(MOTD[1], std::string(kMotdLineMax, 'm'));
  EXPECT_EQ(MOTD[2], "second line");
  ASSERT_EQ(AltScores.Count(), 30u);
  size_t longestName = 0;
  for (const auto& r : AltScores) longestName = std::max(longestName, r->Name.size());
  EXPECT_EQ(longestName, static_cast<size_t>(kMaxNameLength));

  // 300 presses of "Refresh Scores" against the mixed tables; bounded in
  // time too, for a machine that is very busy.
  scripted.table = "HTTP/1.0 200 OK\n\n" + mixed;
  size_t most = 0;
  int refreshes = 0;
  const auto t0 = Clock::now();
  for (; refreshes < 300 && Clock::now() - t0 < std::chrono::seconds(90); ++refreshes) {
    OnlineRefreshState = 1;
    for (int pass = 0; pass < 2000 && (OnlineRefreshState != 0 || OnlineRequestsBusy()); ++pass) {
      OnlineView(940, 335, 1);
      OnlineTableClear();
      most = std::max(most, AltScores.Count());
      if (OnlineRefreshState != 0 || OnlineRequestsBusy()) usleep(200);
    }
  }
  EXPECT_GE(refreshes, 100) << "refreshes made in the time given";
  EXPECT_EQ(AltScores.Count(), 15u) << "the table's own rows among the first 60 lines";
  EXPECT_LE(most, 30u) << "never more than one table";
  AltScores.ForEach([](const std::shared_ptr<Scores>& r) { EXPECT_EQ(r->Name.rfind("Own", 0), 0u) << r->Name; });
}

}  // namespace
