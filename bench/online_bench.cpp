// The score server's throughput on loopback, and what a fetch in flight
// costs the game's frame.
//
//   online_bench [--requests N]
//
// Starts the project's score server on a free port of 127.0.0.1 with a
// fresh database, makes an account, then times N uploads and N table
// fetches through the game's own requests. Last it serves a table reply that
// trickles in slowly from a second, in-process server and times the frame
// of the Online tab that fetches it, against the game's limits.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "game/game.h"
#include "online/online.h"
#include "scores/scores.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }


}  // namespace

int main(int argc, char** argv) {
  int requests = 500;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--requests") requests = std::max(1, std::atoi(argv[++i]));
  const std::string dir = std::filesystem::temp_directory_path() / ("pibbo-online-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);

  int out[2];
  if (pipe(out) != 0) return 1;
  const pid_t server = fork();
  if (server == 0) {
    dup2(out[1], 1);
    const std::string db = dir + "/scores.db";
    execl(PIBBO_SCORESERVER, PIBBO_SCORESERVER, "--port", "0", "--db", db.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  FILE* f = fdopen(out[0], "r");
  int port = 0;
  if (!f || std::fscanf(f, "listening on 127.0.0.1:%d", &port) != 1) {
    std::fprintf(stderr, "online_bench: the score server did not start\n");
    return 1;
  }

  PlatformInit(BackendKind::Headless);
  InstallOnline();  // the game's limits
  CreateStartupTables();
  SetDefaults();
  GetUniqueKey();
  ScoreServer = "127.0.0.1:" + std::to_string(port);
  RegName = "benchplayer";
  RegPass = "benchpass";
  ServerSend2(LoginInput());

  Scores r;
  r.Name = "Bench";
  r.GameMode = 1;
  Clock::time_point t0 = Clock::now();
  for (int i = 0; i < requests; ++i) {
    r.Score = i * 13;
    r.Timestamp = 1000 + i;
    ServerSend(UploadInput(r));
  }
  const double uploads = requests / Seconds(t0);
  t0 = Clock::now();
  for (int i = 0; i < requests; ++i) ServerGet("1");
  const double fetches = requests / Seconds(t0);
  std::printf("score server on loopback, %d requests each: %.0f uploads/s, %.0f table fetches/s\n", requests, uploads,
              fetches);
  kill(server, SIGKILL);
  waitpid(server, nullptr, 0);

  // A server that sends its reply one byte every 20 ms, for ever.
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener, 4);
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  std::thread trickle([listener] {
    const int client = accept(listener, nullptr, nullptr);
    if (client < 0) return;
    const std::string head = "HTTP/1.0 200 OK\r\n\r\n";
    send(client, head.data(), head.size(), MSG_NOSIGNAL);
    while (send(client, "x", 1, MSG_NOSIGNAL) == 1) usleep(20 * 1000);
    close(client);
  });
  ScoreServer = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
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
  shutdown(listener, SHUT_RDWR);
  close(listener);
  trickle.detach();
  std::filesystem::remove_all(dir);
  PlatformShutdown();
  std::fflush(stdout);
  std::_Exit(0);
}
