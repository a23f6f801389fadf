// A client that floods a server with whole requests: 64 connections from
// one loopback address, each sending the game's request for a table and
// reading the reply to its end, then again, as fast as they go and at most
// `perSecond` requests a second, until `stop`, `most` requests or `seconds`.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "score_server.h"
#include "tiny_server.h"

namespace testsupport {

struct FloodCounts {
  long answered = 0;    // a whole reply, 200 or 404
  long unanswered = 0;  // closed or reset without one
};

inline FloodCounts FloodWholeRequests(int port, const char* from, int perSecond, long most, double seconds,
                                      const std::atomic<bool>& stop, const std::string& target = TableTarget(1)) {
  using Clock = std::chrono::steady_clock;
  const std::string request = "GET " + target + " HTTP/1.0\nHost: 127.0.0.1\n\n";
  std::vector<pollfd> fds(64, pollfd{-1, POLLIN, 0});
  std::vector<std::string> got(fds.size());
  FloodCounts counts;
  const auto begun = Clock::now();
  const auto elapsed = [&begun] { return std::chrono::duration<double>(Clock::now() - begun).count(); };
  long made = 0;
  while (!stop && made < most && elapsed() < seconds) {
    const long allowed = static_cast<long>(elapsed() * perSecond);
    for (size_t k = 0; k < fds.size() && made < allowed; ++k) {
      if (fds[k].fd >= 0) continue;
      fds[k].fd = ConnectToLoopback(port, from);
      if (fds[k].fd < 0) continue;
      send(fds[k].fd, request.data(), request.size(), MSG_NOSIGNAL);
      got[k].clear();
      ++made;
    }
    if (poll(fds.data(), fds.size(), 5) <= 0) continue;
    for (size_t k = 0; k < fds.size(); ++k) {
      if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      const ssize_t n = recv(fds[k].fd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n > 0) {
        got[k].append(buffer, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno == EAGAIN) continue;
      const int status = HttpStatus(got[k]);
      ++(status == 200 || status == 404 ? counts.answered : counts.unanswered);
      close(fds[k].fd);
      fds[k].fd = -1;
    }
  }
  for (pollfd& p : fds)
    if (p.fd >= 0) close(p.fd);
  return counts;
}

}  // namespace testsupport
