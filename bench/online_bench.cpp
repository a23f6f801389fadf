// The score server's throughput on loopback with many players at once, a
// login's time beside silent connections, a player's times while other
// loopback addresses attack the server, and what a fetch in flight costs the
// game's frame.
//
//   online_bench [--players N] [--requests N] [--silent N] [--rounds N]
//                [--server PATH]
//
// Starts the project's score server on a free port of 127.0.0.1 with a
// fresh database. N players (16) each make an account, then all upload
// their games at once (--requests each, 50), then all fetch the table as
// often. Then the server starts again on the same database (so that no
// password is remembered), and half the players' logins are timed alone,
// the other half's beside --silent (50) connections that never send a byte.
// Then the server is left idle for 30 s, its CPU time measured. Then a
// player on 127.0.0.2 plays --rounds (10) rounds (a login checked
// against its hash, an upload, a table) alone, and again while each of three
// attacks runs: 48 connections guessing passwords from 127.0.0.3, one
// account uploading games as fast as 8 connections from 127.0.0.4 can, and
// 20 addresses (127.0.0.3 to 127.0.0.22) holding 64 unfinished requests
// each, 1280 against the server's cap of 1000, opening a new one whenever
// the server closes one; then whole requests from the player's own address
// as fast as 64 connections go, up to 10,000 a second, and 64 unfinished
// requests from the player's own
// address, a guesser at that address (at another account) while players who
// logged in from there before play, and 20 addresses guessing at one
// account for 30 s while its owner logs in and uploads every 0.5 s; then
// malformed requests as fast as 8 connections from 127.0.0.5 can send them,
// and 1000 heads (50 from each of 20 addresses) sent a byte at a time, each
// row with the CPU time the server used meanwhile. Every attack stops by
// itself once the player is done, after at most 120 s, or after a bounded
// number of requests. --server runs another build of the server (an older
// one, as a peer) instead of this build's. Last a
// table reply that trickles in from an in-process server is fetched by the
// Online tab, timing its steps.
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <chrono>
#include <cstdio>
#include <memory>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
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
#include "whole_request_flood.h"

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

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

// Median and longest of a list of times, in ms.
std::string MedianLongest(std::vector<double> ms) {
  if (ms.empty()) return "-";
  std::sort(ms.begin(), ms.end());
  char text[64];
  std::snprintf(text, sizeof text, "%.0f (%.0f)", ms[ms.size() / 2], ms.back());
  return text;
}

Scores BenchGame(const std::string& name, int64_t score, int64_t stamp) {
  Scores r;
  r.Name = name;
  r.GameMode = 1;
  r.Score = score;
  r.Timestamp = stamp;
  return r;
}

// The player's rounds from 127.0.0.2, each with an account of its own
// (honest<first + k>, made earlier, not yet checked by this server): a
// login, an upload, a table; the times in ms of each, and the replies that
// were not the player's due.
struct PlayerTimes {
  std::vector<double> login, upload, table;
  int wrong = 0;
};
PlayerTimes PlayerRounds(int port, int first, int rounds) {
  PlayerTimes out;
  for (int k = 0; k < rounds; ++k) {
    const std::string name = "honest" + std::to_string(first + k);
    const struct {
      std::string target, reply;
      std::vector<double>* times;
    } steps[] = {
        {testsupport::LoginTarget(name, "secret"), "Password Correct", &out.login},
        {testsupport::UploadTarget(name, "secret", BenchGame("H", 5000 + first + k, 200000 + first + k)),
         "Score Saved", &out.upload},
        {testsupport::TableTarget(1), "", &out.table},
    };
    for (const auto& step : steps) {
      const Clock::time_point t0 = Clock::now();
      const std::string reply = testsupport::HttpGet(port, step.target, 30000, "127.0.0.2");
      step.times->push_back(Seconds(t0) * 1000.0);
      const std::string body = testsupport::HttpBody(reply);
      if (step.reply.empty() ? testsupport::HttpStatus(reply) != 200 : body.rfind(step.reply, 0) != 0) {
        ++out.wrong;
        std::fprintf(stderr, "online_bench: the player got %s\n", reply.c_str());
      }
    }
    usleep(200 * 1000);
  }
  return out;
}

// An attack: `threads` loops of `attack(thread, stop)` until the player is
// done (or 120 s); answers what the attack counted.
using Counts = std::map<std::string, long>;
Counts Beside(int threads, const std::function<void(int, const std::atomic<bool>&, Counts&)>& attack,
              const std::function<void()>& player) {
  std::atomic<bool> stop{false};
  std::vector<Counts> counts(static_cast<size_t>(threads));
  std::vector<std::thread> running;
  for (int t = 0; t < threads; ++t) running.emplace_back([&, t] { attack(t, stop, counts[t]); });
  std::thread watchdog([&stop] {
    for (int k = 0; k < 1200 && !stop; ++k) usleep(100 * 1000);
    stop = true;
  });
  player();
  stop = true;
  for (std::thread& t : running) t.join();
  watchdog.join();
  Counts all;
  for (const Counts& c : counts)
    for (const auto& [what, n] : c) all[what] += n;
  return all;
}

// 64 connections from `from`, each with a request that never comes whole,
// opened again as the server closes them, until `stop` (or 200,000
// reopened); `opened` counts up once all 64 were first tried.
void HoldUnfinished(int port, const std::string& from, std::atomic<int>& opened, const std::atomic<bool>& stop,
                    Counts& c) {
  const std::string half = "GET " + testsupport::TableTarget(1) + " HTTP/1.0\r\nHost: 127.0.0.1\r\n";
  std::vector<pollfd> fds;
  auto open = [&] {
    const int fd = testsupport::ConnectToLoopback(port, from.c_str());
    if (fd >= 0) send(fd, half.data(), half.size(), MSG_NOSIGNAL);
    ++c["connections opened"];
    return fd;
  };
  for (int k = 0; k < 64; ++k) fds.push_back({open(), POLLIN, 0});
  ++opened;
  for (long made = 0; !stop && made < 200000;) {
    if (poll(fds.data(), fds.size(), 100) <= 0) continue;
    for (pollfd& p : fds) {
      char buffer[256];
      if (p.fd >= 0 && !(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
      if (p.fd >= 0 && recv(p.fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) continue;
      if (p.fd >= 0) close(p.fd), ++c["closed by the server"];
      p.fd = open();
      ++made;
    }
  }
  for (pollfd& p : fds)
    if (p.fd >= 0) close(p.fd);
}

// The CPU time a process has used so far, in seconds (user and system).
double ServerCpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(in, line);
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  double ticks = 0;
  for (int k = 3; k <= 15 && fields >> field; ++k)
    if (k == 14 || k == 15) ticks += std::atof(field.c_str());
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string Said(const Counts& c) {
  std::string out;
  for (const auto& [what, n] : c) out += (out.empty() ? "" : ", ") + std::to_string(n) + " " + what;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  int players = 16, requests = 50, silentCount = 50, rounds = 10;
  std::string serverBinary = PIBBO_SCORESERVER;
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  setrlimit(RLIMIT_NOFILE, &files);
  std::printf("load average at the start: %s\n", LoadAverage().c_str());
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    const int v = std::max(1, std::atoi(argv[i + 1]));
    if (a == "--players") players = v;
    else if (a == "--requests") requests = v;
    else if (a == "--silent") silentCount = v;
    else if (a == "--rounds") rounds = v;
    else if (a == "--server") serverBinary = argv[i + 1];
  }
  GetUniqueKey();
  testsupport::TempDir dir("online-bench");
  auto server = std::make_unique<testsupport::ScoreServerProcess>(serverBinary, dir / "scores.db", "Bench",
                                                                  std::vector<std::string>{"--new-accounts-per-minute", "10000", "--seconds-per-game", "0"});
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

  // The attacks' player and the spamming account.
  for (int k = 0; k < 9 * rounds; ++k)  // one set of rounds a row
    if (testsupport::HttpBody(testsupport::HttpGet(port, testsupport::LoginTarget("honest" + std::to_string(k), "secret"),
                                                   30000))
            .rfind("Welcome!", 0) != 0)
      std::fprintf(stderr, "online_bench: no account honest%d\n", k);
  for (const char* name : {"spamplayer", "victim0", "victim1"})
    testsupport::HttpGet(port, testsupport::LoginTarget(name, "secret"), 30000);

  // A server started afresh on the same database has checked no password
  // yet: each login below checks its password against the stored hash.
  server.reset();
  server = std::make_unique<testsupport::ScoreServerProcess>(serverBinary, dir / "scores.db", "Bench");
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

  // The server with nothing to do: what it costs while it waits.
  sleep(1);  // the silent connections are gone
  const double idleFrom = ServerCpuSeconds(server->pid());
  sleep(30);
  std::printf("the server idle for 30 s: CPU %.2f s\n", ServerCpuSeconds(server->pid()) - idleFrom);

  // The attacks, each beside the player's rounds.
  std::printf("a player on 127.0.0.2, %d rounds each (a login checked against its hash, an upload, a table), "
              "median (longest) in ms; load average before: %s\n",
              rounds, LoadAverage().c_str());
  int next = 0;
  auto report = [&](const char* what, const PlayerTimes& t, const std::string& attack) {
    std::printf("  %-48s login %s, upload %s, table %s, %d wrong replies%s%s\n", what, MedianLongest(t.login).c_str(),
                MedianLongest(t.upload).c_str(), MedianLongest(t.table).c_str(), t.wrong, attack.empty() ? "" : "; ",
                attack.c_str());
  };
  PlayerTimes times = PlayerRounds(port, next, rounds);
  next += rounds;
  report("alone", times, "");

  const Counts guesses = Beside(
      48,
      [port](int t, const std::atomic<bool>& stop, Counts& c) {
        for (int k = 0; k < 5000 && !stop; ++k) {
          const std::string reply = testsupport::HttpGet(
              port, testsupport::LoginTarget("victim0", "guess" + std::to_string(t) + "_" + std::to_string(k)), 30000,
              "127.0.0.3");
          const int status = testsupport::HttpStatus(reply);
          ++c[status == 200   ? "checked"
              : status == 429 ? "refused unhashed"
              : status == 503 ? "busy"
              : status == 0   ? "with no connection (the bench's own ports used up)"
                              : "other"];
        }
      },
      [&] { times = PlayerRounds(port, next, rounds); });
  next += rounds;
  report("48 connections guessing passwords (127.0.0.3)", times, "guesses: " + Said(guesses));

  testsupport::HttpGet(port, testsupport::LoginTarget("spamplayer", "secret"), 30000, "127.0.0.4");
  std::atomic<long> stamp{1000000};
  const Counts spam = Beside(
      8,
      [port, &stamp](int, const std::atomic<bool>& stop, Counts& c) {
        for (int k = 0; k < 20000 && !stop; ++k) {
          const std::string reply = testsupport::HttpGet(
              port, testsupport::UploadTarget("spamplayer", "secret", BenchGame("Spam", 999999999999, ++stamp)),
              30000, "127.0.0.4");
          const std::string body = testsupport::HttpBody(reply);
          ++c[body == "Score Saved" ? "stored" : testsupport::HttpStatus(reply) == 429 ? "refused" : "other"];
        }
      },
      [&] { times = PlayerRounds(port, next, rounds); });
  next += rounds;
  report("one account spamming uploads (8 connections, 127.0.0.4)", times, "uploads: " + Said(spam));

  // 20 addresses, 64 unfinished requests each, reopened as the server
  // closes them.
  std::atomic<int> opened{0};
  const Counts flood = Beside(
      20,
      [port, &opened](int t, const std::atomic<bool>& stop, Counts& c) {
        HoldUnfinished(port, "127.0.0." + std::to_string(3 + t), opened, stop, c);
      },
      [&] {
        for (int k = 0; k < 100 && opened < 20; ++k) usleep(50 * 1000);  // all 1280 tried once
        times = PlayerRounds(port, next, rounds);
      });
  next += rounds;
  report("1280 unfinished requests from 20 addresses", times, Said(flood));

  // Whole requests from the player's own address, as fast as 64
  // connections go, up to 10,000 a second.
  double cpu = ServerCpuSeconds(server->pid());
  testsupport::FloodCounts whole;
  const Counts wholeFlood = Beside(
      1,
      [port, &whole](int, const std::atomic<bool>& stop, Counts&) {
        whole = testsupport::FloodWholeRequests(port, "127.0.0.2", 10000, 1200000, 120, stop);
      },
      [&] { times = PlayerRounds(port, next, rounds); });
  next += rounds;
  char used[96];
  std::snprintf(used, sizeof used, "%ld whole requests answered, %ld not; server CPU %.2f s", whole.answered,
                whole.unanswered, ServerCpuSeconds(server->pid()) - cpu);
  report("whole requests from the player's address, 64 connections", times, used);

  // Attacks from the player's own address: 64 unfinished requests,
  // reopened as the server closes them; then a guesser there, at another
  // account, while players who logged in from there before play on.
  std::atomic<int> ready{0};
  const Counts own = Beside(
      1, [port, &ready](int, const std::atomic<bool>& stop, Counts& c) { HoldUnfinished(port, "127.0.0.2", ready, stop, c); },
      [&] {
        for (int k = 0; k < 100 && ready < 1; ++k) usleep(50 * 1000);
        times = PlayerRounds(port, next, rounds);
      });
  next += rounds;
  report("64 unfinished requests from the player's address", times, Said(own));

  for (int k = 0; k < rounds; ++k)  // returning players: logged in from there before
    testsupport::HttpGet(port, testsupport::LoginTarget("honest" + std::to_string(next + k), "secret"), 30000,
                         "127.0.0.2");
  auto guessing = [port](const std::string& name, int firstAddress, bool oneAddress) {
    return [=](int t, const std::atomic<bool>& stop, Counts& c) {
      const std::string from = "127.0.0." + std::to_string(oneAddress ? firstAddress : firstAddress + t);
      for (int k = 0; k < 20000 && !stop; ++k) {
        const std::string reply = testsupport::HttpGet(
            port, testsupport::LoginTarget(name, "guess" + std::to_string(t) + "_" + std::to_string(k)), 30000,
            from.c_str());
        const int status = testsupport::HttpStatus(reply);
        ++c[status == 200 ? "checked" : status == 429 ? "refused unhashed" : status == 503 ? "busy" : "other"];
        usleep(5 * 1000);
      }
    };
  };
  const Counts sharedGuesses =
      Beside(4, guessing("victim0", 2, true), [&] { times = PlayerRounds(port, next, rounds); });
  next += rounds;
  report("a guesser at the player's address, at another account", times, "guesses: " + Said(sharedGuesses));

  // 20 addresses guess at one account for 30 s while its owner, from the
  // address they logged in from, logs in and uploads every 0.5 s.
  testsupport::HttpGet(port, testsupport::LoginTarget("victim1", "secret"), 30000, "127.0.0.2");
  PlayerTimes owner;
  const Counts manyGuesses = Beside(20, guessing("victim1", 3, false), [&] {
    const Clock::time_point begun = Clock::now();
    for (int k = 0; k < 60 && Seconds(begun) < 30; ++k) {
      Clock::time_point t0 = Clock::now();
      std::string body = testsupport::HttpBody(
          testsupport::HttpGet(port, testsupport::LoginTarget("victim1", "secret"), 30000, "127.0.0.2"));
      owner.login.push_back(Seconds(t0) * 1000.0);
      owner.wrong += body.rfind("Password Correct", 0) == 0 ? 0 : 1;
      t0 = Clock::now();
      body = testsupport::HttpBody(testsupport::HttpGet(
          port, testsupport::UploadTarget("victim1", "secret", BenchGame("V", 100 + k, 300000 + k)), 30000,
          "127.0.0.2"));
      owner.upload.push_back(Seconds(t0) * 1000.0);
      owner.wrong += body == "Score Saved" || body.rfind("TOO MANY GAMES", 0) == 0 ? 0 : 1;
      usleep(500 * 1000);
    }
  });
  report("20 addresses guessing at the owner's account, 30 s", owner, "guesses: " + Said(manyGuesses));

  // Malformed requests, each answered and closed, as fast as 8 connections
  // send them: how often each came back with one status line, two, or none.
  cpu = ServerCpuSeconds(server->pid());
  const Counts malformed = Beside(
      8,
      [port](int, const std::atomic<bool>& stop, Counts& c) {
        const std::string request = "POST " + testsupport::TableTarget(1) + " HTTP/1.0\r\nContent-Length: -5\r\n\r\n";
        for (int k = 0; k < 20000 && !stop; ++k) {
          const int fd = testsupport::ConnectToLoopback(port, "127.0.0.5");
          if (fd < 0) {
            ++c["with no connection"];
            continue;
          }
          timeval tv{5, 0};
          setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
          send(fd, request.data(), request.size(), MSG_NOSIGNAL);
          std::string reply;
          char buffer[1024];
          for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, static_cast<size_t>(n));
          close(fd);
          size_t lines = 0;
          for (size_t at = 0; (at = reply.find("HTTP/1.", at)) != std::string::npos; ++at) ++lines;
          ++c[lines == 1 ? "answered once" : lines == 0 ? "not answered" : "answered twice or more"];
        }
      },
      [&] { times = PlayerRounds(port, next, rounds); });
  next += rounds;
  std::snprintf(used, sizeof used, "; server CPU %.2f s", ServerCpuSeconds(server->pid()) - cpu);
  report("malformed requests, 8 connections (127.0.0.5)", times, Said(malformed) + used);

  // 1000 heads a byte at a time: each of 20 addresses keeps 50 connections
  // and sends the next byte of each one's head every 5 ms; a connection the
  // server closes is opened again.
  cpu = ServerCpuSeconds(server->pid());
  std::atomic<int> trickling{0};
  const Counts heads = Beside(
      20,
      [port, &trickling](int t, const std::atomic<bool>& stop, Counts& c) {
        const std::string from = "127.0.0." + std::to_string(3 + t);
        const std::string head = "GET " + testsupport::TableTarget(1) + " HTTP/1.0\r\nHost: 127.0.0.1\r\nX-Pad: " +
                                 std::string(4000, 'p') + "\r\n\r\n";
        struct Sending {
          int fd = -1;
          size_t at = 0;
        };
        std::vector<Sending> conns(50);
        auto open = [&](Sending& s) {
          s.fd = testsupport::ConnectToLoopback(port, from.c_str());
          s.at = 0;
          ++c["connections opened"];
        };
        for (Sending& s : conns) open(s);
        ++trickling;
        for (long round = 0; !stop && round < 100000; ++round) {
          for (Sending& s : conns) {
            if (s.fd < 0 || s.at >= head.size() || send(s.fd, &head[s.at], 1, MSG_NOSIGNAL | MSG_DONTWAIT) != 1) {
              if (s.fd >= 0) close(s.fd), ++c["closed by the server or sent whole"];
              open(s);
              continue;
            }
            ++s.at;
            ++c["bytes sent"];
          }
          usleep(5 * 1000);
        }
        for (Sending& s : conns)
          if (s.fd >= 0) close(s.fd);
      },
      [&] {
        for (int k = 0; k < 100 && trickling < 20; ++k) usleep(50 * 1000);
        times = PlayerRounds(port, next, rounds);
      });
  next += rounds;
  std::snprintf(used, sizeof used, "; server CPU %.2f s", ServerCpuSeconds(server->pid()) - cpu);
  report("1000 heads a byte at a time, 20 addresses", times, Said(heads) + used);
  std::printf("load average after: %s\n", LoadAverage().c_str());

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
