// The score server program on 127.0.0.1: where it listens, players served
// beside clients that are silent or trickle their requests, sixteen players
// at once, its refusals as the game receives them, and players served while
// other loopback addresses (127.0.0.3 and up) guess passwords or fill the
// server with unfinished requests.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "score_server.h"
#include "scores/scores.h"
#include "test_support.h"
#include "whole_request_flood.h"

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

// In a network of the process's own: the loopback up, with ::2 beside ::1
// (two addresses of one /64).
bool LoopbackWithSecondIpv6Address() {
  const int s4 = socket(AF_INET, SOCK_DGRAM, 0), s6 = socket(AF_INET6, SOCK_DGRAM, 0);
  ifreq up{};
  std::strcpy(up.ifr_name, "lo");
  bool ok = s4 >= 0 && s6 >= 0 && ioctl(s4, SIOCGIFFLAGS, &up) == 0;
  up.ifr_flags |= IFF_UP;
  ok = ok && ioctl(s4, SIOCSIFFLAGS, &up) == 0 && ioctl(s4, SIOCGIFINDEX, &up) == 0;
  struct {
    in6_addr address;
    uint32_t prefixLength;
    int index;
  } second{};  // the kernel's in6_ifreq
  second.prefixLength = 128;
  second.index = up.ifr_ifindex;
  ok = ok && inet_pton(AF_INET6, "::2", &second.address) == 1 && ioctl(s6, SIOCSIFADDR, &second) == 0;
  if (s4 >= 0) close(s4);
  if (s6 >= 0) close(s6);
  // The new address is usable once it has passed its duplicate check.
  for (int k = 0; ok && k < 100; ++k) {
    const int probe = socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 at{};
    at.sin6_family = AF_INET6;
    at.sin6_addr = second.address;
    const bool bound = bind(probe, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
    close(probe);
    if (bound) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
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

// A player's round from 127.0.0.2: a login, an upload and a table; answers
// the longest of the three in seconds, and counts the replies that were not
// the ones the player should get.
double PlayerRound(int port, const std::string& name, int round, int& wrong) {
  const Scores game = Game(500 + round, 9000 + round, "Zoe");
  const struct {
    std::string target, reply;
  } steps[] = {
      {LoginTarget(name, "right1"), "Password Correct|Hi"},
      {UploadTarget(name, "right1", game), "Score Saved"},
      {TableTarget(1), std::to_string(500 + round) + "|Zoe|"},
  };
  double slowest = 0;
  for (const auto& step : steps) {
    const auto t0 = Clock::now();
    const std::string reply = HttpGet(port, step.target, 20000, "127.0.0.2");
    slowest = std::max(slowest, Seconds(Clock::now() - t0));
    if (HttpBody(reply).rfind(step.reply, 0) != 0) {
      ADD_FAILURE() << step.reply << " <- " << reply;
      ++wrong;
    }
  }
  return slowest;
}

// 48 connections at once from one address guess a player's password, three
// times each: a few guesses are checked, the rest are refused without a
// hash, and the player, from an address of their own, is served within the
// game's 5 s throughout.
TEST_F(ServerProgram, AGuessingCrowdIsCutOffAndThePlayerServed) {
  ScoreServerProcess server(PIBBO_SCORESERVER, Db(), "Hi");
  const int port = server.port();
  ASSERT_GT(port, 0);
  ASSERT_EQ(HttpBody(HttpGet(port, LoginTarget("zoeplayer", "right1"), 20000, "127.0.0.2")).substr(0, 8), "Welcome!");
  std::mutex m;
  std::map<std::string, int> replies;
  std::vector<std::thread> crowd;
  for (int c = 0; c < 48; ++c) {
    crowd.emplace_back([&, c] {
      for (int k = 0; k < 3; ++k) {
        const std::string guess = "guess" + std::to_string(c) + "x" + std::to_string(k);
        const std::string reply = HttpGet(port, LoginTarget("zoeplayer", guess), 30000, "127.0.0.3");
        std::lock_guard<std::mutex> lock(m);
        ++replies[std::to_string(HttpStatus(reply)) + " " + HttpBody(reply)];
      }
    });
  }
  double slowest = 0;
  int wrong = 0;
  for (int round = 0; round < 3; ++round) slowest = std::max(slowest, PlayerRound(port, "zoeplayer", round, wrong));
  for (std::thread& t : crowd) t.join();
  EXPECT_LT(slowest, 5.0);
  int checked = 0, refused = 0;
  for (const auto& [reply, n] : replies) {
    if (reply == "200 WRONG PASSWORD") checked += n;
    else if (reply == "429 TOO MANY FAILED LOGINS: TRY AGAIN IN A MINUTE" ||
             reply == "503 SERVER BUSY: TRY AGAIN IN A MOMENT")
      refused += n;
    else
      ADD_FAILURE() << n << " x " << reply;
  }
  EXPECT_GE(checked, 10);
  EXPECT_LE(checked, 25) << "ten failures, and at most sixteen under way when the tenth came";
  EXPECT_EQ(checked + refused, 144);
  EXPECT_EQ(HttpStatus(HttpGet(port, LoginTarget("zoeplayer", "right1"), 20000, "127.0.0.3")), 429)
      << "the right password too, for a minute";
}

// 20 addresses with 64 unfinished requests each (1280 against the cap of
// 1000): the oldest make room, and the player's requests are answered
// within the game's 5 s.
TEST_F(ServerProgram, AFullServerMakesRoomForAPlayer) {
  ScoreServerProcess server(PIBBO_SCORESERVER, Db(), "Hi");
  const int port = server.port();
  ASSERT_GT(port, 0);
  ASSERT_EQ(HttpBody(HttpGet(port, LoginTarget("zoeplayer", "right1"), 20000, "127.0.0.2")).substr(0, 8), "Welcome!");
  const std::string half = "GET " + TableTarget(1) + " HTTP/1.0\r\nHost: 127.0.0.1\r\n";
  std::vector<int> flood;
  const auto t0 = Clock::now();
  for (int a = 3; a < 23; ++a) {
    const std::string from = "127.0.0." + std::to_string(a);
    for (int k = 0; k < 64; ++k) {
      const int fd = ConnectToLoopback(port, from.c_str());
      if (fd < 0) continue;
      send(fd, half.data(), half.size(), MSG_NOSIGNAL);
      flood.push_back(fd);
    }
  }
  ASSERT_EQ(flood.size(), 1280u);
  double slowest = 0;
  int wrong = 0;
  for (int round = 0; round < 3; ++round) slowest = std::max(slowest, PlayerRound(port, "zoeplayer", round, wrong));
  EXPECT_LT(slowest, 5.0);
  // The server held no more than its cap of them: at least 280 closed
  // (looked at before the 10 s deadline of an unfinished request).
  int closed = 0;
  for (int fd : flood) {
    char c;
    pollfd p{fd, POLLIN, 0};
    closed += poll(&p, 1, 0) > 0 && recv(fd, &c, 1, MSG_DONTWAIT) <= 0 ? 1 : 0;
  }
  if (Seconds(Clock::now() - t0) < 9.0) {
    EXPECT_GE(closed, 280);
  }
  for (int fd : flood) close(fd);
}

// Attacks beside players: each starts a server of its own, on which
// zoeplayer has logged in from 127.0.0.2 and annplayer from 127.0.0.1. The
// attack's threads run until the player's rounds from 127.0.0.2 are done
// (ten, or a round every 0.5 s for 30 s beside the twenty guessing
// addresses; or 60 s, or a bounded number of requests); every request of
// the player is answered as due within the game's 5 s.
TEST_F(ServerProgram, PlayersServedBesideAttacksFromTheirOwnAddressAndFromMany) {
  using Counts = std::map<std::string, int>;
  using Attack = std::function<void(int port, int thread, const std::atomic<bool>& stop, Counts&)>;
  // A guess every 10 ms at `name` from `from(thread)` until told to stop.
  std::atomic<int> refusals{0};  // guesses refused by a limit, in the case under way
  std::atomic<bool> ready{false};  // the unfinished requests are open
  const auto guessing = [&refusals](const std::string& name, std::function<std::string(int)> from) -> Attack {
    return [name, from, &refusals](int port, int t, const std::atomic<bool>& stop, Counts& c) {
      for (int k = 0; k < 6000 && !stop; ++k) {
        const std::string guess = "guess" + std::to_string(t) + "x" + std::to_string(k);
        const std::string reply = HttpGet(port, LoginTarget(name, guess), 20000, from(t).c_str());
        ++c[HttpBody(reply) == "WRONG PASSWORD" ? "checked" : std::to_string(HttpStatus(reply))];
        if (HttpStatus(reply) == 429) ++refusals;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    };
  };
  const struct {
    const char* what;
    int threads;
    Attack attack;
    std::function<void(const Counts&)> check;
    double playSeconds = 0;  // the player plays this long, a round every 0.5 s; 0: ten rounds
  } cases[] = {
      {"64 unfinished requests from the players' address, reopened as the server closes them", 1,
       [&ready](int port, int, const std::atomic<bool>& stop, Counts& c) {
         const std::string half = "GET " + TableTarget(1) + " HTTP/1.0\r\nHost: 127.0.0.1\r\n";
         std::vector<pollfd> fds;
         for (int k = 0; k < 64; ++k) {
           const int fd = ConnectToLoopback(port, "127.0.0.2");
           send(fd, half.data(), half.size(), MSG_NOSIGNAL);
           fds.push_back({fd, POLLIN, 0});
         }
         ready = true;
         for (int made = 0; !stop && made < 5000;) {
           if (poll(fds.data(), fds.size(), 50) <= 0) continue;
           for (pollfd& p : fds) {
             if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
             close(p.fd);
             ++c["closed by the server"];
             p.fd = ConnectToLoopback(port, "127.0.0.2");
             send(p.fd, half.data(), half.size(), MSG_NOSIGNAL);
             ++made;
           }
         }
         for (pollfd& p : fds) close(p.fd);
       },
       [](const Counts& c) { EXPECT_GE(c.count("closed by the server") ? c.at("closed by the server") : 0, 1); }},
      {"a guesser at the players' address, at another account", 4,
       guessing("annplayer", [](int) { return std::string("127.0.0.2"); }),
       [](const Counts& c) {
         EXPECT_LE(c.count("checked") ? c.at("checked") : 0, 10);
         EXPECT_GE(c.count("429") ? c.at("429") : 0, 1);
       }},
      {"twenty addresses guessing at the player's account", 20,
       guessing("zoeplayer", [](int t) { return "127.0.0." + std::to_string(3 + t); }),
       [](const Counts& c) {
         EXPECT_LE(c.count("checked") ? c.at("checked") : 0, 10) << "the owner's logins open no more";
         EXPECT_GE(c.count("429") ? c.at("429") : 0, 1);
       },
       30},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScoreServerProcess server(PIBBO_SCORESERVER, dir_ / ("case" + std::to_string(index++) + ".db"), "Hi",
                              {"--seconds-per-game", "0"});
    const int port = server.port();
    ASSERT_GT(port, 0);
    ASSERT_EQ(HttpBody(HttpGet(port, LoginTarget("zoeplayer", "right1"), 20000, "127.0.0.2")).substr(0, 8),
              "Welcome!");
    ASSERT_EQ(HttpBody(HttpGet(port, LoginTarget("annplayer", "hers1"), 20000)).substr(0, 8), "Welcome!");
    refusals = 0;
    ready = false;
    std::atomic<bool> stop{false};
    std::vector<Counts> counts(static_cast<size_t>(c.threads));
    std::vector<std::thread> attackers;
    for (int t = 0; t < c.threads; ++t) attackers.emplace_back([&, t] { c.attack(port, t, stop, counts[t]); });
    std::thread watchdog([&stop] {
      for (int k = 0; k < 600 && !stop; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      stop = true;
    });
    if (c.threads == 1) {  // the connections are open before the player comes
      for (int k = 0; k < 100 && !ready; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } else {
      // The player comes once the guessing has reached its limit (bounded
      // wait: hashes are slow on a busy machine).
      for (int k = 0; k < 600 && refusals == 0; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    double slowest = 0;
    int wrong = 0;
    const auto begun = Clock::now();
    for (int round = 0; !stop && (c.playSeconds ? round < 80 && Seconds(Clock::now() - begun) < c.playSeconds
                                                : round < 10);
         ++round) {
      slowest = std::max(slowest, PlayerRound(port, "zoeplayer", round, wrong));
      std::this_thread::sleep_for(std::chrono::milliseconds(c.playSeconds ? 500 : 100));
    }
    stop = true;
    for (std::thread& t : attackers) t.join();
    watchdog.join();
    Counts all;
    for (const Counts& one : counts)
      for (const auto& [what, n] : one) all[what] += n;
    std::string said;
    for (const auto& [what, n] : all) {  // (appended piecewise: GCC 12 warns falsely on the sum)
      said += ' ';
      said += std::to_string(n);
      said += ' ';
      said += what;
      said += ';';
    }
    SCOPED_TRACE(said);
    EXPECT_EQ(wrong, 0);
    EXPECT_LT(slowest, 5.0);
    c.check(all);
  }
}

// Sends `request` on a connection of its own, whole or `piece` bytes at a
// time, then `more` bytes of filler (a body the server will not take),
// then ends its side (unless `keepOpen`); answers all the server sent
// before it closed ("" on a reset or after 5 s of silence).
std::string Exchange(int port, const std::string& request, size_t piece = 0, size_t more = 0, bool keepOpen = false) {
  const int fd = ConnectToLoopback(port);
  if (fd < 0) return "";
  timeval tv{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  for (size_t at = 0; at < request.size();) {
    const size_t n = piece ? std::min(piece, request.size() - at) : request.size() - at;
    if (send(fd, request.data() + at, n, MSG_NOSIGNAL) != static_cast<ssize_t>(n)) break;
    at += n;
    if (piece) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const std::string filler(64 * 1024, 'z');
  for (size_t sent = 0; sent < more;) {
    const ssize_t n = send(fd, filler.data(), std::min(filler.size(), more - sent), MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  if (!keepOpen) shutdown(fd, SHUT_WR);
  std::string reply;
  char buffer[4096];
  ssize_t n;
  while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) reply.append(buffer, static_cast<size_t>(n));
  close(fd);
  return n == 0 ? reply : "";
}

// Requests the HTTP library would answer twice, or not at all, and others
// it refuses: each gets one whole reply, sent at once or in pieces, and one
// refused with a body behind it gets its reply before the connection
// closes. The players' requests go on as before.
TEST_F(ServerProgram, EveryMalformedRequestGetsOneReply) {
  const std::string log = dir_ / "errors.txt";
  ScoreServerProcess server(PIBBO_SCORESERVER, Db(), "Hi", {}, log);
  const int port = server.port();
  ASSERT_GT(port, 0);
  const std::string post = "POST " + TableTarget(1) + " HTTP/1.0\r\nContent-Length: ";
  const struct {
    std::string request;
    int status;
    std::string body;  // its start
  } cases[] = {
      {post + "-5\r\n\r\n", 400, "BAD REQUEST"},
      {post + "abc\r\n\r\n", 400, "BAD REQUEST"},
      {post + "12345678901234567890123\r\n\r\n", 413, "TOO LARGE"},
      {post + "99999\r\n\r\n", 413, "TOO LARGE"},
      {"GET " + TableTarget(1) + " HTTP/1.0\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", 400,
       "BAD REQUEST"},
      {"GET\r\n\r\n", 400, "BAD REQUEST"},
      {"\x16\x03\x01\x02\xa5\x01\r\n\r\n", 400, "BAD REQUEST"},
      {"GET " + TableTarget(1) + " HTTP/1.0\r\nHost", 400, "BAD REQUEST"},  // and nothing more
      {"GET " + TableTarget(1) + " HTTP/1.0\r\nHost : a\r\n\r\n", 400, "BAD REQUEST"},
      {"GET /" + std::string(20000, 'a') + " HTTP/1.0\r\n\r\n", 413, "TOO LARGE"},
      // Left to the library, and answered once as before.
      {post + "3\r\n\r\nabc", 405, "ONLY GET"},
      {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", 400, "<html>"},
      {"GET " + TableTarget(1) + " HTTP/1.0\nHost: 127.0.0.1\n\n", 404, "<HTML><HEAD>"},
  };
  for (const auto& c : cases) {
    for (const size_t piece : {size_t{0}, size_t{7}}) {
      if (piece && c.request.size() > 400) continue;
      SCOPED_TRACE(c.request.substr(0, 60) + (piece ? " (in pieces)" : ""));
      const auto t0 = Clock::now();
      const std::string reply = Exchange(port, c.request, piece);
      EXPECT_LT(Seconds(Clock::now() - t0), 4.0);
      EXPECT_EQ(HttpStatus(reply), c.status) << reply;
      EXPECT_EQ(HttpBody(reply).rfind(c.body, 0), 0u) << reply;
      size_t lines = 0;
      for (size_t at = 0; (at = reply.find("HTTP/1.", at)) != std::string::npos; ++at) ++lines;
      EXPECT_EQ(lines, 1u) << reply;
    }
  }
  const std::string behind = Exchange(port, post + "-5\r\n\r\n", 0, 1024 * 1024);
  EXPECT_EQ(HttpBody(behind), "BAD REQUEST") << "a megabyte behind the head: " << behind;
  EXPECT_EQ(HttpBody(HttpGet(port, LoginTarget("zoeplayer", "right1"), 20000)).substr(0, 8), "Welcome!");
  ASSERT_TRUE(server.Stop());
  std::ifstream in(log);
  int said = 0;
  for (std::string line; std::getline(in, line);) said += line.find("malformed or too large requests") != std::string::npos;
  EXPECT_EQ(said, 1) << "counted in one line";
}

// Requests whose body's end the server cannot tell (a transfer coding
// other than one final chunked) and a bare CR as a line end, from a client
// that keeps its side open and waits: each is answered at once, with one
// reply, whole or in pieces.
TEST_F(ServerProgram, AnUndelimitedBodyOrABareCrIsAnsweredAtOnce) {
  ScoreServerProcess server(PIBBO_SCORESERVER, Db(), "Hi");
  const int port = server.port();
  ASSERT_GT(port, 0);
  const std::string post = "POST " + TableTarget(1) + " HTTP/1.1\r\nHost: a\r\n";
  const struct {
    std::string request;
    int status;
    std::string body;
  } cases[] = {
      {post + "Transfer-Encoding: gzip\r\n\r\nabc", 400, "BAD REQUEST"},
      {post + "Transfer-Encoding: identity\r\n\r\nabc", 400, "BAD REQUEST"},
      {post + "Transfer-Encoding:\r\n\r\nabc", 400, "BAD REQUEST"},
      {post + "Transfer-Encoding: chunked, gzip\r\n\r\n3\r\nabc\r\n0\r\n\r\n", 400, "BAD REQUEST"},
      {post + "Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 400, "BAD REQUEST"},
      {post + "Transfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 501, "NOT IMPLEMENTED"},
      {post + "Transfer-Encoding: gzip, chunked\r\n\r\n0\r\n\r\n", 501, "NOT IMPLEMENTED"},
      {"POST " + TableTarget(1) + " HTTP/1.0\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 400, "BAD REQUEST"},
      {"GET " + TableTarget(1) + " HTTP/1.0\rHost: a\r\r", 400, "BAD REQUEST"},
      {"GET " + TableTarget(1) + " HTTP/1.0\r\nHost: a\r\rX", 400, "BAD REQUEST"},
  };
  for (const auto& c : cases) {
    for (const size_t piece : {size_t{0}, size_t{7}}) {
      SCOPED_TRACE(c.request.substr(0, 90) + (piece ? " (in pieces)" : ""));
      const auto t0 = Clock::now();
      const std::string reply = Exchange(port, c.request, piece, 0, true);
      const double sendingTime = piece ? 0.005 * static_cast<double>(c.request.size() / piece + 1) : 0;
      EXPECT_LT(Seconds(Clock::now() - t0) - sendingTime, 1.0);
      EXPECT_EQ(HttpStatus(reply), c.status) << reply;
      EXPECT_EQ(HttpBody(reply), c.body) << reply;
      EXPECT_EQ(reply.find("HTTP/1.", 1), std::string::npos) << "one reply: " << reply;
    }
  }
  // The one transfer coding the library reads, chunked, goes on to it.
  const std::string chunked = Exchange(port, post + "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 0, 0, true);
  EXPECT_EQ(HttpStatus(chunked), 405) << chunked;
}

// Two addresses of one IPv6 /64, ::1 and ::2 on the loopback of a network
// of the test's own (root only: skipped otherwise), share one address's
// limits: its new accounts and its 64 connections.
TEST_F(ServerProgram, TwoAddressesOfOneIpv6Slash64ShareOneAddressesLimits) {
  const std::string db = Db();
  const testsupport::AsPlayerResult result = testsupport::InChild(
      [] { return geteuid() == 0 && unshare(CLONE_NEWNET) == 0 && LoopbackWithSecondIpv6Address(); },
      [&db]() -> std::string {
        ScoreServerProcess server(PIBBO_SCORESERVER, db, "Hi", {"--listen", "::1", "--new-accounts-per-minute", "1"});
        const int port = server.port();
        if (port <= 0) return "no server on ::1";
        std::string wrong;
        if (HttpBody(HttpGet(port, LoginTarget("annplayer", "hers1"), 20000, "::1")).rfind("Welcome!", 0) != 0)
          wrong += "the first account from ::1 was not made; ";
        const std::string second = HttpGet(port, LoginTarget("bobplayer", "his111"), 20000, "::2");
        if (HttpStatus(second) != 429) wrong += "a second account from ::2 was not refused: " + second + "; ";
        // 40 silent connections from ::1, 24 from ::2: the /64's 64. One
        // more from ::2 closes the oldest, from ::1.
        std::vector<int> held;
        for (int k = 0; k < 65; ++k) {
          held.push_back(ConnectToLoopback(port, k < 40 ? "::1" : "::2"));
          // Each is the server's before the next comes: a request answered
          // proves the ones before it were taken in (while there is room).
          if ((k % 16 == 15 || k == 62) && HttpStatus(HttpGet(port, TableTarget(1), 20000, "::2")) != 404)
            wrong += "a table was not served; ";
        }
        if (!ClosedWithin(held[0], 3000)) wrong += "the oldest connection of the /64 was not closed; ";
        if (ClosedWithin(held[1], 300)) wrong += "the next one was closed too; ";
        for (const int fd : held) close(fd);
        return wrong;
      });
  if (result.status == 77) GTEST_SKIP() << "no network of our own with a second IPv6 loopback address";
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.said, "");
}

// A client at the player's own address sends whole requests as fast as 64
// connections and 10,000 a second allow, each read to its end: every
// request of the player's beside it is served, as each answered request
// makes way at once.
TEST_F(ServerProgram, APlayerIsServedBesideAFloodOfWholeRequestsFromTheirAddress) {
  ScoreServerProcess server(PIBBO_SCORESERVER, Db(), "Hi", {"--seconds-per-game", "0"});
  const int port = server.port();
  ASSERT_GT(port, 0);
  ASSERT_EQ(HttpBody(HttpGet(port, LoginTarget("zoeplayer", "right1"), 20000, "127.0.0.2")).substr(0, 8), "Welcome!");
  std::atomic<bool> stop{false};
  testsupport::FloodCounts flooded;
  std::thread flood([&] { flooded = testsupport::FloodWholeRequests(port, "127.0.0.2", 10'000, 400'000, 60, stop); });
  // The player: 600 tables and 10 rounds of login, upload and table.
  int lost = 0, wrong = 0;
  for (int k = 0; k < 600 && !HasFailure(); ++k) {
    if (HttpStatus(HttpGet(port, TableTarget(2), 20000, "127.0.0.2")) != 404) ++lost;
    if (k % 60 == 59) PlayerRound(port, "zoeplayer", k / 60, wrong);
  }
  stop = true;
  flood.join();
  SCOPED_TRACE(std::to_string(flooded.answered) + " flood requests answered, " + std::to_string(flooded.unanswered) +
               " not");
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(flooded.answered, 1000) << "the flood came";
  EXPECT_LE(flooded.unanswered * 1000, flooded.answered + flooded.unanswered)
      << "at most one of 1,000 requests at the address lost";
}

// An address full of connections whose bad requests have been answered
// (the client has not closed them yet): a new connection takes the place
// of one of those, not of an older one whose request is still to come.
TEST_F(ServerProgram, AnsweredRefusalsMakeRoomBeforeAnUnfinishedRequest) {
  ScoreServerProcess server(PIBBO_SCORESERVER, Db(), "Hi");
  const int port = server.port();
  ASSERT_GT(port, 0);
  const int waiting = ConnectToLoopback(port, "127.0.0.6");
  ASSERT_GE(waiting, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the oldest of its address
  const std::string bad = "GET\r\n\r\n";
  std::vector<int> answered;
  for (int k = 0; k < 70; ++k) {
    const int fd = ConnectToLoopback(port, "127.0.0.6");
    ASSERT_GE(fd, 0);
    send(fd, bad.data(), bad.size(), MSG_NOSIGNAL);
    char c;
    ASSERT_EQ(recv(fd, &c, 1, 0), 1) << "refusal " << k;  // answered, then left open
    answered.push_back(fd);
  }
  const std::string request = "GET " + TableTarget(1) + " HTTP/1.0\r\n\r\n";
  send(waiting, request.data(), request.size(), MSG_NOSIGNAL);
  timeval tv{5, 0};
  setsockopt(waiting, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  std::string reply;
  char buffer[1024];
  for (ssize_t n; (n = recv(waiting, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, static_cast<size_t>(n));
  EXPECT_EQ(HttpStatus(reply), 404) << "the waiting request is served: " << reply;
  close(waiting);
  for (int fd : answered) close(fd);
}

// 100 silent connections from one address, one after the other: each of
// the 36 past the 64 it may hold takes the place of the oldest, and the
// error output says so in one line, not one a connection.
TEST_F(ServerProgram, AnAddressPastItsShareClosesItsOldestUnfinishedConnections) {
  const std::string log = dir_ / "errors.txt";
  ScoreServerProcess server(PIBBO_SCORESERVER, Db(), "Hi", {}, log);
  const int port = server.port();
  ASSERT_GT(port, 0);
  std::vector<int> held;
  for (int k = 0; k < 100; ++k) {
    held.push_back(ConnectToLoopback(port, "127.0.0.3"));
    // Each is the server's before the next comes (bounded wait: a request
    // answered proves the ones before it were taken in).
    if (k % 10 == 9) {
      EXPECT_EQ(HttpStatus(HttpGet(port, TableTarget(1), 20000, "127.0.0.2")), 404);
    }
  }
  // Wait (bounded) until the 36 are closed; the others stay open for 10 s.
  std::vector<bool> closed(held.size());
  int count = 0;
  for (const auto end = Clock::now() + std::chrono::seconds(5); Clock::now() < end && count < 36;) {
    count = 0;
    for (size_t k = 0; k < held.size(); ++k) {
      pollfd p{held[k], POLLIN, 0};
      closed[k] = poll(&p, 1, 0) > 0;
      count += closed[k] ? 1 : 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(count, 36);
  int oldest = 0;  // those made before the fourth table answered
  for (size_t k = 0; k < 40; ++k) oldest += closed[k] ? 1 : 0;
  EXPECT_EQ(oldest, 36) << "the oldest ones went";
  EXPECT_EQ(HttpStatus(HttpGet(port, TableTarget(1), 20000, "127.0.0.3")), 404) << "and a request gets in";
  ASSERT_TRUE(server.Stop());
  for (int fd : held) close(fd);
  std::ifstream in(log);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  int counted = 0;
  for (const std::string& line : lines)
    counted += line.find("closed 37 connections whose request had not come, to make room") != std::string::npos;
  EXPECT_EQ(counted, 1);
  EXPECT_LT(lines.size(), 10u) << lines.size() << " lines; the first: " << (lines.empty() ? "" : lines[0]);
}

}  // namespace
