// The score server: the game's HTTP requests (handler.h) taken in by the
// door (door.h) and served by libmicrohttpd (library.h).
//
//   pibbo-scoreserver [--listen ADDRESS] [--port N] [--db FILE] [--motd TEXT]
//                     [--threads N] [--new-accounts-per-minute N]
//                     [--seconds-per-game N]
//
// Listens on ADDRESS (127.0.0.1 unless told otherwise; 0.0.0.0 or :: for
// every interface) and prints "listening on ADDRESS:PORT" once it accepts
// connections (port 0 picks a free one). SIGINT or SIGTERM ends it cleanly.
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "door.h"
#include "handler.h"
#include "library.h"

namespace scoreserver {
namespace {

bool Count(const char* text, int low, int& out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < low || v > 65535) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace
}  // namespace scoreserver

int main(int argc, char** argv) {
  using namespace scoreserver;
  std::string listenAddress = "127.0.0.1", db = "scores.db";
  int port = 8260, threads = 4;
  Settings settings;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    bool ok = more;
    if (a == "--port" && more) ok = Count(argv[++i], 0, port);
    else if (a == "--listen" && more) listenAddress = argv[++i];
    else if (a == "--db" && more) db = argv[++i];
    else if (a == "--motd" && more) settings.motd = argv[++i];
    else if (a == "--threads" && more) ok = Count(argv[++i], 1, threads) && threads <= 64;
    else if (a == "--new-accounts-per-minute" && more) ok = Count(argv[++i], 0, settings.newAccountsPerMinute);
    else if (a == "--seconds-per-game" && more) ok = Count(argv[++i], 0, settings.gameSeconds);
    else ok = false;
    if (!ok) {
      std::fprintf(stderr,
                   "usage: %s [--listen ADDRESS] [--port N] [--db FILE] [--motd TEXT] [--threads N]"
                   " [--new-accounts-per-minute N] [--seconds-per-game N]\n",
                   argv[0]);
      return 2;
    }
  }
  // Leaves SIGINT and SIGTERM to sigwait below, in every thread made after.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  // Room for every connection the library may hold (the usual soft limit
  // of 1024 descriptors is barely the cap), as far as the hard limit goes.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }

  Handler handler(settings);
  std::string error;
  if (!handler.Open(db, error)) {
    std::fprintf(stderr, "pibbo-scoreserver: cannot open the database %s: %s\n", db.c_str(), error.c_str());
    return 1;
  }
  std::string shown;
  const int listener = Listen(listenAddress, port, shown);
  if (listener < 0) {
    std::fprintf(stderr, "pibbo-scoreserver: cannot listen on %s port %d\n", listenAddress.c_str(), port);
    return 1;
  }
  MHD_Daemon* const library = StartLibrary(handler, static_cast<unsigned>(threads));
  if (!library) {
    std::fprintf(stderr, "pibbo-scoreserver: cannot start serving on %s\n", shown.c_str());
    return 1;
  }
  const int stopDoor = eventfd(0, EFD_CLOEXEC);
  if (stopDoor < 0) {
    std::fprintf(stderr, "pibbo-scoreserver: cannot start the door: %s\n", std::strerror(errno));
    return 1;
  }
  const HandOver handOver = [library](int fd, const sockaddr* address, socklen_t length) {
    return HandToLibrary(library, fd, address, length);
  };
  std::thread door([&] { RunDoor(listener, handOver, stopDoor); });
  std::printf("listening on %s\n", shown.c_str());
  std::fflush(stdout);
  int signalNumber = 0;
  sigwait(&stopSignals, &signalNumber);
  const uint64_t one = 1;  // no one new comes in
  if (write(stopDoor, &one, sizeof one) != sizeof one) std::abort();
  door.join();
  handler.Stop();  // the checks under way answer, and their connections go on
  StopLibrary(library);
  close(listener);
  return 0;
}
