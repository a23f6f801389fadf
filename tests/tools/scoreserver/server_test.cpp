// The score server program on 127.0.0.1: where it listens, players served
// beside clients that are silent or trickle their requests, sixteen players
// at once, and its refusals as the game receives them.
#include <gtest/gtest.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "score_server.h"
#include "scores/scores.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::ConnectToLoopback;
using testsupport::HttpBody;
using testsupport::HttpGet;
using testsupport::HttpStatus;
using testsupport::LoginTarget;
using testsupport::ScoreServerProcess;
using testsupport::TableTarget;
using testsupport::UploadTarget;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// True once the server has closed the connection (within `ms`).
bool ClosedWithin(int fd, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  char buffer[512];
  while (Clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) > 0 && recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) <= 0) return true;
  }
  return false;
}

Scores Game(int64_t score, int64_t stamp, const std::string& name) {
  Scores r;
  r.Score = score;
  r.Timestamp = stamp;
  r.Name = name;
  r.GameMode = 1;
  return r;
}

class ServerProgram : public ::testing::Test {
 protected:
  void SetUp() override { GetUniqueKey(); }
  std::string Db() const { return dir_ / "scores.db"; }
  testsupport::TempDir dir_{"scoreserver"};
};

TEST_F(ServerProgram, SaysWhereItListensAndRefusesAnAddressItCannotUse) {
  {
    ScoreServerProcess server(PIBBO_SCORESERVER, Db(), "Hi", {"--listen", "127.0.0.1"});
    ASSERT_GT(server.port(), 0) << "\"listening on 127.0.0.1:PORT\"";
    EXPECT_NE(HttpBody(HttpGet(server.port(), TableTarget(1))).find("<HEAD>"), std::string::npos);
  }
  for (const char* address : {"192.0.2.1", "not-an-address"}) {
    ScoreServerProcess server(PIBBO_SCORESERVER, Db(), "Hi", {"--listen", address});
    EXPECT_EQ(server.port(), 0) << address << ": no listening, no start";
  }
}

// Clients that send nothing, stop half way through their request, or
// trickle it one byte a second: a player's requests beside them are
// answered at once, and each of them is cut off within the 10 s deadline
// of a whole request.
TEST_F(ServerProgram, SilentAndTricklingClientsCostAPlayerNothing) {
  ScoreServerProcess server(PIBBO_SCORESERVER, Db(), "Hi");
  const int port = server.port();
  ASSERT_GT(port, 0);
  const auto start = Clock::now();
  std::vector<int> silent;
  for (int k = 0; k < 40; ++k) silent.push_back(ConnectToLoopback(port));
  for (int k = 0; k < 4; ++k) {
    const int fd = ConnectToLoopback(port);
    send(fd, "GET //kestrum/tab", 17, MSG_NOSIGNAL);
    silent.push_back(fd);
  }
  // Three tricklers; each notes when the server hung up on it.
  std::atomic<bool> stop{false};
  std::vector<double> cutAfter(3, -1);
  std::vector<std::thread> tricklers;
  for (int t = 0; t < 3; ++t) {
    tricklers.emplace_back([&, t] {
      const int fd = ConnectToLoopback(port);
      const std::string request = "GET " + TableTarget(1) + " HTTP/1.0\nHost: 127.0.0.1\n\n";
      const auto begun = Clock::now();
      for (size_t i = 0; !stop && i < request.size(); ++i) {
        if (send(fd, &request[i], 1, MSG_NOSIGNAL) != 1 || ClosedWithin(fd, 1000)) {
          cutAfter[t] = Seconds(Clock::now() - begun);
          break;
        }
      }
      close(fd);
    });
  }
  // A player meanwhile: a login, an upload and a table, three times.
  double slowest = 0;
  for (int round = 0; round < 3; ++round) {
    for (const std::string& target : {LoginTarget("zoeplayer", "right1"),
                                      UploadTarget("zoeplayer", "right1", Game(900 + round, 5000 + round, "Zoe")),
                                      TableTarget(1)}) {
      const auto t0 = Clock::now();
      const std::string reply = HttpGet(port, target, 5000);
      slowest = std::max(slowest, Seconds(Clock::now() - t0));
      EXPECT_EQ(HttpStatus(reply), 200) << reply;
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  EXPECT_LT(slowest, 3.0) << "no player request waits for the others (a hash on a loaded machine aside)";
  for (std::thread& t : tricklers) t.join();
  for (int t = 0; t < 3; ++t) {
    EXPECT_GT(cutAfter[t], 8.0) << "trickler " << t;
    EXPECT_LT(cutAfter[t], 13.0) << "trickler " << t;
  }
  // The silent ones are gone by now too (10 s without a byte).
  int open = 0;
  for (int fd : silent) {
    const double left = 13.0 - Seconds(Clock::now() - start);
    open += ClosedWithin(fd, std::max(100, static_cast<int>(left * 1000))) ? 0 : 1;
    close(fd);
  }
  EXPECT_EQ(open, 0);
}

TEST_F(ServerProgram, SixteenPlayersAtOnceAndEveryUploadStored) {
  ScoreServerProcess server(PIBBO_SCORESERVER, Db(), "Hi", {"--new-accounts-per-minute", "100", "--seconds-per-game", "0"});
  const int port = server.port();
  ASSERT_GT(port, 0);
  constexpr int kPlayers = 16, kUploads = 12;
  std::atomic<int> welcomed{0}, saved{0};
  std::vector<std::thread> players;
  for (int p = 0; p < kPlayers; ++p) {
    players.emplace_back([&, p] {
      std::string name = "player", shown = "P";  // (appended: GCC 12 warns falsely on "P" + text)
      name += std::to_string(p);
      shown += std::to_string(p);
      if (HttpBody(HttpGet(port, LoginTarget(name, "secret"), 20000)).rfind("Welcome!|Hi", 0) == 0) ++welcomed;
      for (int k = 0; k < kUploads; ++k) {
        const Scores r = Game(1000 * p + k, 100000 + k, shown);
        if (HttpBody(HttpGet(port, UploadTarget(name, "secret", r), 20000)) == "Score Saved") ++saved;
      }
    });
  }
  for (std::thread& t : players) t.join();
  EXPECT_EQ(welcomed, kPlayers);
  EXPECT_EQ(saved, kPlayers * kUploads);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(Db().c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "SELECT COUNT(*), COUNT(DISTINCT account) FROM scores", -1, &s, nullptr);
  ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(s, 0), kPlayers * kUploads);
  EXPECT_EQ(sqlite3_column_int(s, 1), kPlayers);
  sqlite3_finalize(s);
  sqlite3_close(db);
}

TEST_F(ServerProgram, RefusalsAsTheGameReceivesThem) {
  ScoreServerProcess server(PIBBO_SCORESERVER, Db(), "Hi", {"--new-accounts-per-minute", "2"});
  const int port = server.port();
  ASSERT_GT(port, 0);
  EXPECT_EQ(HttpBody(HttpGet(port, LoginTarget("annplayer", "hers1"))).substr(0, 8), "Welcome!");
  EXPECT_EQ(HttpBody(HttpGet(port, LoginTarget("bobplayer", "his11"))).substr(0, 8), "Welcome!");
  const std::string limited = HttpGet(port, LoginTarget("eveplayer", "hers1"));
  EXPECT_EQ(HttpStatus(limited), 429);
  EXPECT_EQ(HttpBody(limited).substr(0, 21), "TOO MANY NEW ACCOUNTS");
  EXPECT_EQ(HttpBody(HttpGet(port, LoginTarget("annplayer", "hers1"))).substr(0, 16), "Password Correct");

  // A line break in a name would put a forged entry in every table.
  const std::string forged = HttpGet(port, UploadTarget("annplayer", "hers1", Game(1, 5000, "Eve\n99999999")));
  EXPECT_EQ(HttpStatus(forged), 400);
  EXPECT_EQ(HttpBody(forged).substr(0, 8), "BAD NAME");
  for (int k = 0; k < 5; ++k) HttpGet(port, UploadTarget("annplayer", "hers1", Game(900, 5001, "Ann")));
  const std::string table = HttpBody(HttpGet(port, TableTarget(1)));
  EXPECT_EQ(table, "900|Ann|0|5001|0|1|0|0\n" + ScoreLineBest(Scores{}) + "\n") << "one game, one row";
}

}  // namespace
