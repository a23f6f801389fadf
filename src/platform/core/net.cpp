// TCP over POSIX sockets. Every wait is bounded (look-up and connect
// time-out, read time-out, a time limit and a byte cap per reply stream), so
// a slow or hostile server or name server cannot hold the game for long.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

struct TSocket {
  int fd = -1;
  bool connected = false;
  ~TSocket() {
    if (fd >= 0) ::close(fd);
  }
};

namespace {

constexpr int kDefaultConnectTimeoutMs = 5000;
constexpr int kDefaultReadTimeoutMs = 5000;
constexpr int kDefaultMaxReplyBytes = 1 << 20;
constexpr int kDefaultReplyTimeLimitMs = 20000;

int g_connectTimeoutMs = kDefaultConnectTimeoutMs;
int g_readTimeoutMs = kDefaultReadTimeoutMs;
int g_maxReplyBytes = kDefaultMaxReplyBytes;
int g_replyTimeLimitMs = kDefaultReplyTimeLimitMs;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Waits for `events` on fd for up to timeoutMs (0: just look). Answers the
// returned events, 0 on time-out, -1 on error.
int WaitFor(int fd, short events, int timeoutMs) {
  const int64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    struct pollfd p {};
    p.fd = fd;
    p.events = events;
    int left = static_cast<int>(deadline - NowMs());
    if (left < 0) left = 0;
    int n = ::poll(&p, 1, left);
    if (n > 0) return p.revents;
    if (n == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

// A byte stream over a connected socket, with its own read buffer.
class SocketStream final : public TStream {
 public:
  SocketStream(Socket socket, bool autoClose)
      : socket_(std::move(socket)), autoClose_(autoClose), deadline_(NowMs() + g_replyTimeLimitMs) {}
  ~SocketStream() override { Close(); }

  int Read(void* buffer, int n) override {
    if (n <= 0) return 0;
    if (pos_ == buffer_.size() && !Fill(g_readTimeoutMs)) return 0;
    size_t take = buffer_.size() - pos_;
    if (take > static_cast<size_t>(n)) take = static_cast<size_t>(n);
    std::memcpy(buffer, buffer_.data() + pos_, take);
    pos_ += take;
    return static_cast<int>(take);
  }

  int Write(const void* buffer, int n) override {
    if (closed_ || n <= 0 || !socket_ || socket_->fd < 0) return 0;
    const char* bytes = static_cast<const char*>(buffer);
    int done = 0;
    while (done < n) {
      ssize_t sent = ::send(socket_->fd, bytes + done, static_cast<size_t>(n - done), MSG_NOSIGNAL);
      if (sent > 0) {
        done += static_cast<int>(sent);
        continue;
      }
      if (sent < 0 && errno == EINTR) continue;
      if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        int ev = WaitFor(socket_->fd, POLLOUT, g_readTimeoutMs);
        if (ev > 0 && (ev & POLLOUT)) continue;
      }
      break;  // time-out, peer gone or error
    }
    return done;
  }

  // Never waits: 0 while bytes are buffered or the peer may still send.
  int Eof() override {
    if (pos_ < buffer_.size()) return 0;
    if (ended_) return 1;
    Fill(0);
    return (pos_ < buffer_.size() || !ended_) ? 0 : 1;
  }

  // The reply stopped at a time-out, not at the peer's close.
  bool TimedOut() const { return timedOut_; }
  // The reply stopped at the byte cap: more may have been sent.
  bool Capped() const { return capped_; }

  void Close() override {
    if (closed_) return;
    closed_ = true;
    ended_ = true;
    buffer_.clear();
    pos_ = 0;
    if (autoClose_) CloseSocket(socket_);
  }

 private:
  // Takes in what the socket has, waiting up to waitMs for the first byte.
  // False when nothing was added; ended_ then tells whether more can come.
  bool Fill(int waitMs) {
    if (ended_) return false;
    if (!socket_ || socket_->fd < 0 || delivered_ >= g_maxReplyBytes) {
      capped_ = socket_ && socket_->fd >= 0;
      End();
      return false;
    }
    // A server that trickles bytes cannot stretch the reply past the limit.
    const int64_t left = deadline_ - NowMs();
    if (left <= 0) {
      timedOut_ = true;
      End();
      return false;
    }
    if (waitMs > left) waitMs = static_cast<int>(left);
    int ev = WaitFor(socket_->fd, POLLIN, waitMs);
    if (ev == 0) {
      // Nothing yet: a plain look is no ending, a full wait is a time-out.
      if (waitMs > 0) {
        timedOut_ = true;
        End();
      }
      return false;
    }
    if (ev < 0) {
      End();
      return false;
    }
    buffer_.resize(8192);
    pos_ = 0;
    size_t want = buffer_.size();
    const size_t allowed = static_cast<size_t>(g_maxReplyBytes - delivered_);
    if (want > allowed) want = allowed;
    ssize_t got;
    do {
      got = ::recv(socket_->fd, buffer_.data(), want, 0);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
      buffer_.resize(static_cast<size_t>(got));
      delivered_ += static_cast<int>(got);
      return true;
    }
    buffer_.clear();
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (waitMs > 0) End();
      return false;
    }
    End();  // orderly close by the peer, or an error
    return false;
  }

  // No more bytes will come: the peer closed, a wait timed out, the cap was
  // reached or the socket failed. The socket is closed along when the stream
  // owns it.
  void End() {
    ended_ = true;
    if (autoClose_) CloseSocket(socket_);
  }

  Socket socket_;
  bool autoClose_;
  int64_t deadline_;
  bool ended_ = false;
  bool timedOut_ = false;
  bool capped_ = false;
  bool closed_ = false;
  int delivered_ = 0;
  std::vector<char> buffer_;
  size_t pos_ = 0;
};

}  // namespace

void SetNetLimits(int connectTimeoutMs, int readTimeoutMs, int maxReplyBytes) {
  g_connectTimeoutMs = connectTimeoutMs > 0 ? connectTimeoutMs : kDefaultConnectTimeoutMs;
  g_readTimeoutMs = readTimeoutMs > 0 ? readTimeoutMs : kDefaultReadTimeoutMs;
  g_maxReplyBytes = maxReplyBytes > 0 ? maxReplyBytes : kDefaultMaxReplyBytes;
}

void SetNetReplyTimeLimit(int ms) { g_replyTimeLimitMs = ms > 0 ? ms : kDefaultReplyTimeLimitMs; }

namespace {

// One asynchronous look-up; it must outlive the resolver's use of it.
struct Lookup {
  std::string host;
  struct addrinfo hints {};
  struct gaicb request {};
};

// Resolves `host` to IPv4 addresses in the resolver's order, giving up
// after timeoutMs so that a dead name server cannot hold the game.
bool ResolveIPv4(const std::string& host, int timeoutMs, std::vector<uint32_t>& addresses) {
  auto* lookup = new Lookup;
  lookup->host = host;
  lookup->hints.ai_family = AF_INET;
  lookup->hints.ai_socktype = SOCK_STREAM;
  lookup->request.ar_name = lookup->host.c_str();
  lookup->request.ar_request = &lookup->hints;
  struct gaicb* list[1] = {&lookup->request};
  if (::getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) {
    delete lookup;
    return false;
  }
  const int64_t deadline = NowMs() + timeoutMs;
  int status;
  while ((status = ::gai_error(&lookup->request)) == EAI_INPROGRESS) {
    const int64_t left = deadline - NowMs();
    if (left <= 0) break;
    struct timespec wait {};
    wait.tv_sec = static_cast<time_t>(left / 1000);
    wait.tv_nsec = static_cast<long>(left % 1000) * 1000000L;
    ::gai_suspend(list, 1, &wait);
  }
  if (status == EAI_INPROGRESS) {
    // Still running in the resolver's thread: the record stays with it
    // unless the request could be withdrawn.
    if (::gai_cancel(&lookup->request) == EAI_CANCELED) delete lookup;
    return false;
  }
  struct addrinfo* result = lookup->request.ar_result;
  delete lookup;
  if (status != 0) {
    if (result) ::freeaddrinfo(result);
    return false;
  }
  for (struct addrinfo* a = result; a; a = a->ai_next) {
    if (a->ai_family != AF_INET || !a->ai_addr) continue;
    uint32_t ip = ntohl(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
    bool seen = false;
    for (uint32_t known : addresses) seen = seen || known == ip;
    if (!seen) addresses.push_back(ip);
  }
  if (result) ::freeaddrinfo(result);
  return true;
}

}  // namespace

int HostIp(const std::string& host, int index) {
  if (host.empty() || index < 0) return 0;
  std::vector<uint32_t> addresses;
  if (!ResolveIPv4(host, g_connectTimeoutMs, addresses)) return 0;
  if (static_cast<size_t>(index) >= addresses.size()) return 0;
  return static_cast<int>(addresses[static_cast<size_t>(index)]);
}

std::string DottedIP(int ip) {
  const uint32_t v = static_cast<uint32_t>(ip);
  return std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 255) + "." +
         std::to_string((v >> 8) & 255) + "." + std::to_string(v & 255);
}

Socket CreateTCPSocket() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return nullptr;
  auto socket = std::make_shared<TSocket>();
  socket->fd = fd;
  return socket;
}

int ConnectSocket(const Socket& socket, int ip, int port) {
  // Address 0 is what a failed look-up gives; it must not reach the local
  // machine (Linux treats 0.0.0.0 as this host).
  if (!socket || socket->fd < 0 || socket->connected || ip == 0 || port <= 0 || port > 65535) {
    return 0;
  }
  struct sockaddr_in address {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(static_cast<uint32_t>(ip));
  int rc = ::connect(socket->fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (rc != 0 && errno != EINPROGRESS && errno != EINTR) return 0;
  if (rc != 0) {
    int ev = WaitFor(socket->fd, POLLOUT, g_connectTimeoutMs);
    if (ev <= 0) return 0;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket->fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) return 0;
  }
  socket->connected = true;
  return 1;
}

Stream CreateSocketStream(const Socket& socket, int autoClose) {
  if (!socket || socket->fd < 0 || !socket->connected) return nullptr;
  return std::make_shared<SocketStream>(socket, autoClose != 0);
}

int SocketStreamTimedOut(const Stream& stream) {
  const auto* socketStream = dynamic_cast<const SocketStream*>(stream.get());
  return socketStream && socketStream->TimedOut() ? 1 : 0;
}

int SocketStreamCapped(const Stream& stream) {
  const auto* socketStream = dynamic_cast<const SocketStream*>(stream.get());
  return socketStream && socketStream->Capped() ? 1 : 0;
}

void CloseSocket(const Socket& socket) {
  if (!socket || socket->fd < 0) return;
  ::close(socket->fd);
  socket->fd = -1;
  socket->connected = false;
}
