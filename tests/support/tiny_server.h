// A one-connection TCP server on 127.0.0.1 for tests of network clients,
// and helpers for its handlers and for the clients of a server under test.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

constexpr int kLoopback = 0x7F000001;

// A listening socket on a free port of 127.0.0.1; `port` gets its number.
inline int ListenOnLoopback(int backlog, int& port) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener, backlog);
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return listener;
}

// A connection to `port` of 127.0.0.1, from the loopback address `from`
// (e.g. "127.0.0.3", to stand for another host) or from 127.0.0.1 when it
// is null; from an IPv6 address (e.g. "::1"), to [::1]:port. -1 when none
// came about.
inline int ConnectToLoopback(int port, const char* from = nullptr) {
  const bool v6 = from && std::strchr(from, ':');
  const int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
  sockaddr_storage source{}, address{};
  socklen_t length = sizeof(sockaddr_in);
  if (v6) {
    auto* s6 = reinterpret_cast<sockaddr_in6*>(&source);
    auto* a6 = reinterpret_cast<sockaddr_in6*>(&address);
    s6->sin6_family = a6->sin6_family = AF_INET6;
    a6->sin6_addr = in6addr_loopback;
    a6->sin6_port = htons(static_cast<uint16_t>(port));
    length = sizeof(sockaddr_in6);
    if (inet_pton(AF_INET6, from, &s6->sin6_addr) != 1) from = "";
  } else {
    auto* s4 = reinterpret_cast<sockaddr_in*>(&source);
    auto* a4 = reinterpret_cast<sockaddr_in*>(&address);
    s4->sin_family = a4->sin_family = AF_INET;
    a4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a4->sin_port = htons(static_cast<uint16_t>(port));
    if (from && inet_pton(AF_INET, from, &s4->sin_addr) != 1) from = "";
  }
  if (fd >= 0 && from && (!*from || bind(fd, reinterpret_cast<sockaddr*>(&source), length) != 0)) {
    close(fd);
    return -1;
  }
  if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0) return fd;
  if (fd >= 0) close(fd);
  return -1;
}

// A one-connection server on 127.0.0.1 that runs `handler` on the accepted
// socket in its own thread.
class TinyServer {
 public:
  explicit TinyServer(std::function<void(int)> handler) {
    listener_ = ListenOnLoopback(1, port_);
    thread_ = std::thread([this, handler] {
      int client = accept(listener_, nullptr, nullptr);
      if (client < 0) return;
      handler(client);
      close(client);
    });
  }
  ~TinyServer() {
    shutdown(listener_, SHUT_RDWR);  // wakes an accept that never got a client
    thread_.join();
    close(listener_);
  }
  int port() const { return port_; }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

// A server on 127.0.0.1 for any number of connections, each handled by
// `handler` in a thread of its own. The destructor hangs up on every
// connection still open and waits for the handlers.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::function<void(int)> handler) {
    listener_ = ListenOnLoopback(64, port_);
    acceptor_ = std::thread([this, handler] {
      for (;;) {
        const int client = accept(listener_, nullptr, nullptr);
        if (client < 0) return;
        std::lock_guard<std::mutex> lock(mutex_);
        clients_.push_back(client);
        workers_.emplace_back([handler, client] {
          handler(client);
          shutdown(client, SHUT_RDWR);  // the reply ends here; closed with the server
        });
      }
    });
  }
  ~LoopbackServer() {
    shutdown(listener_, SHUT_RDWR);
    acceptor_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    for (int fd : clients_) shutdown(fd, SHUT_RDWR);
    for (std::thread& t : workers_) t.join();
    for (int fd : clients_) close(fd);
    close(listener_);
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;
  int port() const { return port_; }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<int> clients_;
  std::vector<std::thread> workers_;
};

// Reads until the blank line that ends a request header, or until the peer
// closes.
inline std::string ReadRequest(int fd) {
  std::string request;
  char buffer[512];
  while (request.find("\n\r\n") == std::string::npos) {
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
  }
  return request;
}

inline void SendAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// Waits until the client hangs up.
inline void DrainUntilClosed(int fd) {
  char buffer[512];
  while (recv(fd, buffer, sizeof buffer, 0) > 0) {
  }
}

}  // namespace testsupport
