// The score server's throughput on loopback with many players at once, a
// login's time beside silent connections, and what a fetch in flight costs
// the game's frame.
//
//   online_bench [--players N] [--requests N] [--silent N]
//
// Starts the project's score server on a free port of 127.0.0.1 with a
// fresh database. N players (16) each make an account, then all upload
// their games at once (--requests each, 50), then all fetch the table as
// often. Then the server starts again on the same database (so that no
// password is remembered), and half the players' logins are timed alone,
// the other half's beside --silent (50) connections that never send a byte. Last a table reply that trickles in from
// an in-process server is fetched by the Online tab, timing its steps.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <chrono>
#include <cstdio>
#include <memory>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "online/online.h"
#include "score_server.h"
#include "scores/scores.h"
#include "test_support.h"
#include "tiny_server.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// The median and the longest of the logins of players first..first+times-1,
// in ms.
std::pair<double, double> LoginTimes(int port, int first, int times) {
  std::vector<double> ms;
  for (int p = first; p < first + times; ++p) {
    const std::string name = "player" + std::to_string(p), password = "secret" + std::to_string(p);
    const Clock::time_point t0 = Clock::now();
    const std::string body = testsupport::HttpBody(testsupport::HttpGet(port, testsupport::LoginTarget(name, password), 30000));
    ms.push_back(Seconds(t0) * 1000.0);
    if (body.rfind("Password Correct", 0) != 0) std::fprintf(stderr, "online_bench: a login failed: %s\n", body.c_str());
  }
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.back()};
}

}  // namespace

int main(int argc, char** argv) {
  int players = 16, requests = 50, silentCount = 50;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    const int v = std::max(1, std::atoi(argv[i + 1]));
    if (a == "--players") players = v;
    else if (a == "--requests") requests = v;
    else if (a == "--silent") silentCount = v;
  }
  GetUniqueKey();
  testsupport::TempDir dir("online-bench");
  auto server = std::make_unique<testsupport::ScoreServerProcess>(PIBBO_SCORESERVER, dir / "scores.db", "Bench",
                                                                  std::vector<std::string>{"--new-accounts-per-minute", "10000"});
  int port = server->port();
  if (port == 0) {
    std::fprintf(stderr, "online_bench: the score server did not start\n");
    return 1;
  }

  // Every player logs in, then all upload at once, then all fetch at once.
  std::barrier sync(players + 1);
  std::atomic<int> failed{0};
  std::vector<std::thread> threads;
  for (int p = 0; p < players; ++p) {
    threads.emplace_back([&, p] {
      const std::string name = "player" + std::to_string(p), password = "secret" + std::to_string(p);
      if (testsupport::HttpBody(testsupport::HttpGet(port, testsupport::LoginTarget(name, password), 30000))
              .rfind("Welcome!", 0) != 0)
        ++failed;
      sync.arrive_and_wait();
      for (int k = 0; k < requests; ++k) {
        Scores r;
        r.Name = "P";
        r.Name += std::to_string(p);
        r.GameMode = 1;
        r.Score = 1000 * p + k;
        r.Timestamp = 100000 + k;
        if (testsupport::HttpBody(testsupport::HttpGet(port, testsupport::UploadTarget(name, password, r), 30000)) !=
            "Score Saved")
          ++failed;
      }
      sync.arrive_and_wait();
      for (int k = 0; k < requests; ++k)
        if (testsupport::HttpStatus(testsupport::HttpGet(port, testsupport::TableTarget(1), 30000)) != 200) ++failed;
      sync.arrive_and_wait();
    });
  }
  sync.arrive_and_wait();  // logged in
  Clock::time_point t0 = Clock::now();
  sync.arrive_and_wait();  // uploaded
  const double uploads = players * requests / Seconds(t0);
  t0 = Clock::now();
  sync.arrive_and_wait();  // fetched
  const double fetches = players * requests / Seconds(t0);
  for (std::thread& t : threads) t.join();
  std::printf("score server on loopback, %d players at once, %d requests each: %.0f uploads/s, %.0f table "
              "fetches/s (%d requests failed)\n",
              players, requests, uploads, fetches, failed.load());

  // A server started afresh on the same database has checked no password
  // yet: each login below checks its password against the stored hash.
  server.reset();
  server = std::make_unique<testsupport::ScoreServerProcess>(PIBBO_SCORESERVER, dir / "scores.db", "Bench");
  port = server->port();
  const int timed = std::max(1, players / 2);
  const auto [alone, aloneMax] = LoginTimes(port, 0, timed);
  std::vector<int> silent;
  for (int k = 0; k < silentCount; ++k)
    if (const int fd = testsupport::ConnectToLoopback(port); fd >= 0) silent.push_back(fd);
  const auto [beside, besideMax] = LoginTimes(port, timed, timed);
  std::printf("a login (the password checked against its Argon2id hash), median of %d: %.1f ms (longest %.1f ms) "
              "alone, %.1f ms (longest %.1f ms) beside %zu silent connections\n",
              timed, alone, aloneMax, beside, besideMax, silent.size());
  for (int fd : silent) close(fd);

  // A server that sends its reply one byte every 20 ms, for ever.
  PlatformInit(BackendKind::Headless);
  InstallOnline();  // the game's limits
  CreateStartupTables();
  SetDefaults();
  GetUniqueKey();
  testsupport::LoopbackServer trickle([](int fd) {
    testsupport::ReadRequest(fd);
    const std::string head = "HTTP/1.0 200 OK\r\n\r\n";
    send(fd, head.data(), head.size(), MSG_NOSIGNAL);
    while (send(fd, "x", 1, MSG_NOSIGNAL) == 1) usleep(20 * 1000);
  });
  ScoreServer = "127.0.0.1:" + std::to_string(trickle.port());
  Graphics(1280, 960, 0, 60);
  LoggedIn = 1;
  OnlineRefreshState = 2;
  t0 = Clock::now();
  double longest = 0;
  int frames = 0;
  while (OnlineRefreshState == 2 && Seconds(t0) < 30) {
    const Clock::time_point f0 = Clock::now();
    OnlineView(940, 335, 1);
    longest = std::max(longest, Seconds(f0) * 1000.0);
    ++frames;
    usleep(16 * 1000);  // the rest of a frame
  }
  std::printf("a fetch from a server that trickles for ever: %d frames drawn meanwhile, the longest Online-tab step "
              "%.2f ms; the game's reply time limit ended the fetch after %.2f s\n",
              frames, longest, Seconds(t0));
  PlatformShutdown();
  return 0;
}
