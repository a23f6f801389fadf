// The HTTP client and the score-server requests against small servers on
// 127.0.0.1: what goes on the wire, what comes back, and servers that are
// silent, endless or absent.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "online/online.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "scores/scores.h"
#include "tiny_server.h"
#include "script_time.h"

namespace {

using testsupport::ReadRequest;
using testsupport::SendAll;
using testsupport::TinyServer;

class Requests : public ::testing::Test {
 protected:
  void SetUp() override {
    PlatformInit(BackendKind::Headless);
    CreateStartupTables();
    SetDefaults();
    SetNetLimits(2000, 2000, 1 << 20);
    RegName = "player";
    RegPass = "secret";
  }
  void TearDown() override {
    SetNetLimits(0, 0, 0);
    SetNetReplyTimeLimit(0);
    PlatformShutdown();
  }
  static void UseServer(const TinyServer& server) { ScoreServer = "127.0.0.1:" + std::to_string(server.port()); }
};

TEST_F(Requests, TheWireTextAndTheAnswerCutFromTheReply) {
  std::string request;
  TinyServer server([&](int fd) {
    request = ReadRequest(fd);
    SendAll(fd, "HTTP/1.0 200 OK\r\nServer: tiny\r\n\r\n1000|Ann|0|5|0|1|0|0\r\nsecond line\r\n");
  });
  UseServer(server);
  const std::string answer = ServerGet("1");
  EXPECT_EQ(request, "GET //kestrum/tables/260/1.txt HTTP/1.0\nHost: 127.0.0.1\nUser-Agent: VortaThttp/1.0\n\n\r\n");
  // The body, lines ended by LF; a last LF only when the close came late.
  EXPECT_TRUE(answer == "1000|Ann|0|5|0|1|0|0\nsecond line" || answer == "1000|Ann|0|5|0|1|0|0\nsecond line\n")
      << answer;
}

TEST_F(Requests, LoginAndUploadPathsAndTheLocalRefusal) {
  for (int which = 0; which < 2; ++which) {
    std::string request;
    TinyServer server([&](int fd) {
      request = ReadRequest(fd);
      SendAll(fd, "HTTP/1.0 200 OK\n\nWelcome!|Hello there\n");
    });
    UseServer(server);
    RegName = "ab*?cd";
    const std::string answer = which == 0 ? ServerSend2("0A1B") : ServerSend("FF00");
    EXPECT_EQ(RegName, "ab__cd");
    EXPECT_EQ(request.substr(0, request.find(" HTTP")),
              which == 0 ? "GET //kestrum/login.php?week=260&input=0A1B" : "GET //kestrum/scores.php?Week=260&Input=FF00");
    EXPECT_EQ(answer.substr(0, 20), "Welcome!|Hello there");
  }
  // Short name or password: no connection at all.
  RegName = "abc";
  ScoreServer = "127.0.0.1:1";
  EXPECT_EQ(ServerSend2("00"), "WRONG PASSWORD");
  EXPECT_EQ(ServerSend("00"), "WRONG PASSWORD");
}

TEST_F(Requests, BodyCutting) {
  const std::pair<std::string, std::string> cases[] = {
      {"HTTP/1.0 200 OK\nA: b\n\nbody", "body"},
      {"HTTP/1.0 200 OK\nA: b\n\none\ntwo\n", "one\ntwo\n"},
      {"no blank line at all\nx", ""},
      {"head\n\n", ""},
      {"head\n\n\nbody", "\nbody"},
      {"head\n\nfirst\n\nhidden\n\nthird", "firstthird"},
      {"head\n\na\n\n\n\n\nb", "ab"},
  };
  for (const auto& [reply, body] : cases) EXPECT_EQ(ReplyBody(reply), body) << reply;
}

// The reply layer: a reply counts once its head has ended and its body
// is as long as it says; interim answers go before the one that counts;
// bytes that are no HTTP are judged by what they say.
TEST_F(Requests, ARepliesWholenessStatusAndText) {
  const struct {
    std::string bytes;
    bool http, whole;
    int status;
    std::string body;
  } cases[] = {
      {"HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody\r\n", true, true, 200, "body\n"},
      {"HTTP/1.0 200 OK\n\n", true, true, 200, ""},
      {"", true, false, 0, ""},
      {"HTT", true, false, 0, ""},
      {"HTTP/1.0 200 OK\r\nContent-Type: text/pl", true, false, 200, ""},
      {"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n", true, false, 200, ""},
      // The length counts the bytes as sent, CRs and all.
      {"HTTP/1.0 200 OK\r\nContent-Length: 7\r\n\r\nab\r\nc\r\n", true, true, 200, "ab\nc\n"},
      {"HTTP/1.0 200 OK\r\ncontent-length:  8 \r\n\r\nab\r\nc\r\n", true, false, 200, "ab\nc\n"},
      {"HTTP/1.0 200 OK\r\nContent-Length: 40\r\n\r\nPassword Co", true, false, 200, "Password Co"},
      {"HTTP/1.0 200 OK\r\nContent-Length: x\r\n\r\nbody", true, false, 200, "body"},
      {"HTTP/1.0 200 OK\r\nContent-Length: 4\r\nContent-Length: 5\r\n\r\nbody!", true, false, 200, "body!"},
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", true, true, 200, "ok"},
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n\r\nHTTP/1.1 404 No\r\n\r\nx", true, true, 404, "x"},
      {"HTTP/1.1 100 Continue\r\n\r\n", true, false, 100, ""},
      {"HTTP/1.1 100 Continue\r\n\r\nWelcome!|hi", false, true, 0, ""},
      {std::string("HTTP/1.0 200 OK\0\0one\0two", 24), true, true, 200, "one\ntwo"},
      {"Welcome!|hi\n\nthere", false, true, 0, "there"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    const HttpReply reply = ReadHttpReply(c.bytes);
    EXPECT_EQ(reply.http, c.http);
    EXPECT_EQ(reply.whole, c.whole);
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(ReplyBody(reply.text), c.body);
  }
}

// How a reply's body is delimited: its length (bytes after it are none of
// the reply's), its chunks (decoded), no body at all (204, 304), or the
// server's close; codings the client does not read make it unreadable,
// and an end told by the framing lets the client stop reading.
TEST_F(Requests, ARepliesFramingAndCodings) {
  const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n";
  const struct {
    std::string bytes;
    bool whole, ended, unreadable;
    std::string body;
  } cases[] = {
      {"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n1|a\r\n2|b\r\n", true, true, false, ""},
      {"HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\none\ntwo\n", true, true, false, "one\n"},
      {"HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\none\n", false, false, false, "one\n"},
      {"HTTP/1.0 200 OK\r\n\r\none\n", true, false, false, "one\n"},
      {chunked + "4\r\none\n\r\n3;x=\"y\"\r\ntwo\r\n0\r\n\r\nafter", true, true, false, "one\ntwo"},
      {chunked + "A \r\n0123456789\n0\nTrailer: t\n\n", true, true, false, "0123456789"},
      {chunked + "0004\r\none\n\r\n0\r\n", false, false, false, "one\n"},
      {chunked + "4\r\none", false, false, false, "one"},
      {chunked + "4\r\none\n\r\n3\r\ntwo\r", false, false, false, "one\ntwo"},
      {chunked + "4\r\none\nx", true, true, true, ""},
      {chunked + "4x\r\none\n0\r\n\r\n", true, true, true, ""},
      {chunked + "\r\n0\r\n\r\n", true, true, true, ""},
      {chunked + "10000000000000000\r\n", true, true, true, ""},
      {chunked + std::string(5000, '0'), true, true, true, ""},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n\x1f\x8b", true, true, true, ""},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding:\r\n\r\nbody", true, true, true, ""},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", true, true,
       true, ""},
      {"HTTP/1.1 200 OK\r\nContent-Length: 2\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", true, true, true, ""},
      {"HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n\x1f\x8b", true, true, true, ""},
      {"HTTP/1.0 200 OK\r\nContent-Encoding: identity, \r\nContent-Length: 2\r\n\r\nok", true, true, false, "ok"},
      {"HTTP/1.1 204 No Content\r\n\r\n1|a\r\n", true, true, false, ""},
      {"HTTP/1.1 304 Not Modified\r\nContent-Length: 5\r\n\r\n", true, true, false, ""},
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nokHTTP/1.1 200 OK", true, true,
       false, "ok"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.substr(0, 200));
    const HttpReply reply = ReadHttpReply(c.bytes);
    EXPECT_TRUE(reply.http);
    EXPECT_EQ(reply.whole, c.whole);
    EXPECT_EQ(reply.ended, c.ended);
    EXPECT_EQ(reply.unreadable, c.unreadable);
    EXPECT_EQ(ReplyBody(reply.text), c.body);
  }
}

TEST_F(Requests, NoConnectionAnswersTheEmptyText) {
  {
    TinyServer server([](int fd) {
      ReadRequest(fd);
      SendAll(fd, "HTTP/1.0 200 OK\n\nPassword Correct|old reply\n");
    });
    UseServer(server);
    EXPECT_FALSE(ServerGet("1").empty());
  }
  ScoreServer = "";  // the default host, which no one answers
  EXPECT_EQ(ServerGet("1"), "");
  ScoreServer = "127.0.0.1:1";  // nothing listens there
  EXPECT_EQ(ServerSend2("00"), "");
  ScoreServer = "bad host:99999";  // not an address: the default instead
  std::string host;
  int port = 0;
  ScoreServerAddress(host, port);
  EXPECT_EQ(host, kNoScoreServer);
  EXPECT_EQ(port, 80);
}

TEST_F(Requests, SilentAndEndlessServersCostAtMostTheLimits) {
  SetNetLimits(500, 500, 1 << 20);
  SetNetReplyTimeLimit(1500);
  {
    TinyServer silent([](int fd) { testsupport::DrainUntilClosed(fd); });
    UseServer(silent);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(ServerGet("1"), "");
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
  }
  {
    // A 100 MB reply: the cap ends it.
    TinyServer huge([](int fd) {
      ReadRequest(fd);
      SendAll(fd, "HTTP/1.0 200 OK\n\n");
      const std::string block(1 << 16, 'x');
      for (int k = 0; k < 1600; ++k) SendAll(fd, block + "\n");
    });
    UseServer(huge);
    const auto t0 = std::chrono::steady_clock::now();
    const std::string answer = ServerGet("1");
    EXPECT_LE(answer.size(), static_cast<size_t>(1 << 20));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
  }
  // Heads without end: interim answers by the ten thousand, header lines
  // or chunks of one byte past the cap. The reply is looked at as it
  // comes, and that costs little beside the cap.
  const std::string floods[] = {"HTTP/1.1 100 Continue\r\n\r\n", "X-Line: 1\r\n", "1\r\nx\r\n"};
  for (const std::string& unit : floods) {
    SCOPED_TRACE(unit);
    TinyServer flood([&](int fd) {
      ReadRequest(fd);
      SendAll(fd, unit[0] == 'X' ? "HTTP/1.0 200 OK\r\n" : unit[0] == '1' ? "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" : "");
      std::string block;
      while (block.size() < (1 << 16)) block += unit;
      for (int k = 0; k < 40; ++k) SendAll(fd, block);
    });
    UseServer(flood);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(ServerGet("1"), "");
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
  }
}

TEST_F(Requests, UrlEncodingBothWays) {
  EXPECT_EQ(Thttp::UrlEncode(""), "");
  EXPECT_EQ(Thttp::UrlEncode("a b+c"), "a%20b+c");
  EXPECT_EQ(Thttp::UrlEncode("Z_9.-"), "Z_9.-");
  EXPECT_EQ(Thttp::UrlEncode("~*"), "%7E%2A");
  EXPECT_EQ(Thttp::UrlDecode("%41%42"), "AB");
  EXPECT_EQ(Thttp::UrlDecode("%4a"), "?");
  EXPECT_EQ(Thttp::UrlDecode("x%"), std::string("x\0", 2));
  EXPECT_EQ(Thttp::UrlDecode("x%4"), "x@");
  EXPECT_EQ(Thttp::UrlDecode("a+b"), "a+b");
}

}  // namespace

namespace {

TEST(ScoreServerSetting, ReadFromTheSettingsAndWrittenBackOnlyWhenPresent) {
  PlatformInit(BackendKind::Headless);
  CreateStartupTables();
  SetDefaults();
  auto has = [](const std::string& line) {
    const auto lines = IniLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  EXPECT_FALSE(has("[Online]"));
  ReadIniLine("ScoreServer = scores.example.org:8080");
  EXPECT_TRUE(has("ScoreServer = scores.example.org:8080"));
  std::string host;
  int port = 0;
  ScoreServerAddress(host, port);
  EXPECT_EQ(host, "scores.example.org");
  EXPECT_EQ(port, 8080);
  SetDefaults();
  PlatformShutdown();
}

}  // namespace

namespace {

// A fetch from a server that trickles its reply for ever: every frame of the
// Online tab returns at once while it runs, and the reply time limit ends it.
TEST_F(Requests, ATricklingServerNeverHoldsAFrame) {
  SetNetLimits(1000, 1000, 1 << 20);
  SetNetReplyTimeLimit(1500);
  TinyServer trickle([](int fd) {
    ReadRequest(fd);
    SendAll(fd, "HTTP/1.0 200 OK\r\n\r\n");
    for (int k = 0; k < 400; ++k) {
      SendAll(fd, "x");
      usleep(10 * 1000);
    }
  });
  UseServer(trickle);
  ASSERT_EQ(Graphics(1280, 960, 0, 60), 1);
  ResetOnlineTables();
  LoggedIn = 1;
  OnlineRefreshState = 2;
  double longest = 0;
  int frames = 0;
  const auto t0 = std::chrono::steady_clock::now();
  while (OnlineRefreshState == 2 && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(5)) {
    const auto f0 = std::chrono::steady_clock::now();
    OnlineView(940, 335, 1);
    longest = std::max(longest, std::chrono::duration<double>(std::chrono::steady_clock::now() - f0).count());
    ++frames;
    usleep(5 * 1000);
  }
  EXPECT_NE(OnlineRefreshState, 2) << "the reply time limit ends the fetch";
  EXPECT_GT(frames, 50);
  // Far below the 1.5 s a fetch waiting for the server would hold it, with
  // room for a loaded machine.
  EXPECT_LT(longest, 0.4) << "no frame waits for the server";
  LoggedIn = 0;
}


// Servers that do not answer as a score server does, met through the Online
// tab: the frames go on, the login fails and says how the server is at
// fault (absent, too slow, or no answer of the game's), and a fetch that
// brings no table uploads nothing.
TEST_F(Requests, MisbehavingServersFailVisiblyWhileFramesGoOn) {
  // Servers that answer get all the time a busy machine may need; only the
  // silent and the slow one run into the reply time limit.
  SetNetLimits(1000, 5000, 1 << 20);
  ASSERT_EQ(Graphics(1280, 960, 0, 60), 1);
  SetVirtualResolution(1280, 960);
  JScrw = 1280;
  JScrh = 960;
  using Handler = std::function<void(int)>;
  const Handler silent = [](int fd) { testsupport::DrainUntilClosed(fd); };
  const Handler huge = [](int fd) {  // 100 MB
    ReadRequest(fd);
    SendAll(fd, "HTTP/1.0 200 OK\n\n");
    const std::string block(1 << 16, 'x');
    for (int k = 0; k < 1600; ++k) SendAll(fd, block + "\n");
  };
  const Handler garbage = [](int fd) {
    ReadRequest(fd);
    SendAll(fd, std::string("\x01\xff\n\n\x7f\x00zz\n\nnonsense\n", 20));
  };
  // Its garbage goes out before the request is read, and the close follows.
  const Handler blurts = [](int fd) {
    SendAll(fd, "HTTP/1.0 200 OK\n\n\x7f\xfe junk\n");
    usleep(50 * 1000);
  };
  const Handler hangsUp = [](int fd) { ReadRequest(fd); };
  const Handler page = [](int fd) {  // a page of HTML, not the empty table's 404
    ReadRequest(fd);
    SendAll(fd, "HTTP/1.0 200 OK\r\n\r\n<HTML><HEAD><TITLE>Hi</TITLE></HEAD></HTML>\r\n");
  };
  // A whole, good answer, but only after the reply time limit.
  const Handler slow = [](int fd) {
    ReadRequest(fd);
    SendAll(fd, "HTTP/1.0 200 OK\n\n");
    usleep(2500 * 1000);
    SendAll(fd, "Welcome!|hello\n");
  };
  const struct {
    const char* name;
    const Handler* handler;  // none: nothing listens
    const char* trouble;
  } cases[] = {
      {"nothing listening", nullptr, kCannotReach},
      {"silent", &silent, kTooSlow},
      {"slower than the limit", &slow, kTooSlow},
      {"100 MB reply", &huge, kBadAnswer},
      {"garbage", &garbage, kBadAnswer},
      {"garbage before the request is read", &blurts, kBadAnswer},
      {"hangs up without a word", &hangsUp, kCutShort},
      {"a page of HTML", &page, kBadAnswer},
  };
  auto shown = [](const std::string& text) {
    for (const DrawCall& c : headless::LastFrame())
      if (c.kind == DrawCall::Text && c.text == text) return true;
    return false;
  };
  // Frames until `done`, or 8 s; answers the longest frame in seconds.
  auto frames = [](const std::function<bool()>& done) {
    double longest = 0;
    const auto t0 = std::chrono::steady_clock::now();
    while (!done() && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(8)) {
      const auto f0 = std::chrono::steady_clock::now();
      CLS3d(1);
      OnlineView(940, 335, 1);
      fps(60, 1, 1);
      longest = std::max(longest, std::chrono::duration<double>(std::chrono::steady_clock::now() - f0).count());
      usleep(2000);
    }
    return longest;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<TinyServer> login, fetch;
    if (c.handler) {
      login = std::make_unique<TinyServer>(*c.handler);
      fetch = std::make_unique<TinyServer>(*c.handler);
    }
    ScoreServer = c.handler ? "127.0.0.1:" + std::to_string(login->port()) : "127.0.0.1:1";
    SetNetReplyTimeLimit(c.handler == &silent || c.handler == &slow ? 1500 : 6000);
    ResetOnlineTables();
    RegName = "player";
    RegPass = "secret";
    headless::Script(testsupport::At(0) + " mouse 1000 945\n" + testsupport::At(20) + " button 1 down\n" +
                     testsupport::At(300) + " button 1 up");
    // The press ends within its case: a button still held when the next
    // case begins would send that case a second login.
    double longest = frames([] { return LoginFailed == 1 && headless::PendingEvents() == 0; });
    EXPECT_EQ(LoginFailed, 1);
    EXPECT_EQ(LoggedIn, 0);
    EXPECT_EQ(OnlineTrouble, c.trouble);
    frames([n = 0]() mutable { return n++ == 1; });  // one frame that draws the outcome
    EXPECT_TRUE(shown(c.trouble));
    EXPECT_LT(longest, 0.4) << "no frame waits for the server";

    // Logged in earlier, the server then misbehaves on the table fetch.
    if (c.handler) ScoreServer = "127.0.0.1:" + std::to_string(fetch->port());
    LoggedIn = 1;
    OnlineRefreshState = 2;
    auto mine = std::make_shared<Scores>();
    mine->Score = 100;
    ThisIsHigh = mine;
    longest = frames([] { return OnlineRefreshState != 2; });
    EXPECT_NE(OnlineRefreshState, 2) << "the fetch ended";
    EXPECT_EQ(UploadCount, 0) << "no upload after a fetch that brought no table";
    EXPECT_EQ(OnlineTrouble, c.trouble);
    EXPECT_LT(longest, 0.4);
    ThisIsHigh.reset();
    LoggedIn = 0;
  }
}

}  // namespace
