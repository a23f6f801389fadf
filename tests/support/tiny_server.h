// A one-connection TCP server on 127.0.0.1 for tests of network clients,
// and helpers for its handlers and for the clients of a server under test.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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
// is null; -1 when none came about.
inline int ConnectToLoopback(int port, const char* from = nullptr) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd >= 0 && from) {
    sockaddr_in source{};
    source.sin_family = AF_INET;
    if (inet_pton(AF_INET, from, &source.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
      close(fd);
      return -1;
    }
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
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
