// The score server: the game's HTTP requests (handler.h) served by
// libmicrohttpd with a pool of threads that each watch many connections.
//
//   pibbo-scoreserver [--listen ADDRESS] [--port N] [--db FILE] [--motd TEXT]
//                     [--threads N] [--new-accounts-per-minute N]
//                     [--seconds-per-game N]
//
// Listens on ADDRESS (127.0.0.1 unless told otherwise; 0.0.0.0 or :: for
// every interface) and prints "listening on ADDRESS:PORT" once it accepts
// connections (port 0 picks a free one). No client can hold another up: a
// connection idle for 10 s is closed, and so is one whose request has not
// come whole 10 s after it connected, however it trickles; the server
// takes at most 1000 connections, 64 from one address, and when it, or the
// address, is full a new connection closes the oldest one (of the address)
// whose request has not come whole.
// A request waiting for a password hash is set aside (suspended) so that
// the request threads go on serving. Refused connections are reported as
// a count per address once a minute, and the library's messages at most
// once a minute each with their count. SIGINT or SIGTERM ends it cleanly.
#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <condition_variable>
#include <cstdarg>
#include <deque>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

#include "handler.h"

namespace {

constexpr unsigned kIdleSeconds = 10;
constexpr int64_t kRequestDeadlineMs = 10000;
constexpr unsigned kMaxConnections = 1000;
constexpr unsigned kMaxPerAddress = 64;
// The library's own cap stays above the server's, which is kept here: a
// connection closed to make room is still the library's until it notices.
constexpr unsigned kLibraryConnections = 2 * kMaxConnections;
constexpr int64_t kReportMs = 60000;
constexpr size_t kMaxRequest = 16 * 1024;  // bytes of a request's head, and of a body

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

scoreserver::Handler* gHandler = nullptr;

std::string AddressText(const sockaddr* a) {
  char text[INET6_ADDRSTRLEN] = "";
  if (!a) return "";
  if (a->sa_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a)->sin_addr, text, sizeof text);
  else if (a->sa_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr, text, sizeof text);
  return text;
}

// Every open connection: its socket, its address, the moment it came, and
// whether its request has come whole. A watcher shuts down the socket of
// one whose request has not come whole by the deadline, and the accepting
// thread one to make room, which makes the library drop it. The entry goes
// before the library closes the socket, so no one touches a number already
// given to another connection.
struct Connection {
  int fd = -1;
  std::string peer;
  int64_t since = 0;
  uint64_t order = 0;  // the how-manieth to start: the oldest of those started in one millisecond
  bool whole = false;  // the request has come: no deadline, never closed to make room
  bool shut = false;   // shut down, the library is yet to drop it
};
std::mutex gConnMutex;
std::unordered_map<MHD_Connection*, Connection> gConnections;
// Per address: connections open, shut ones too, and of them the ones shut.
struct Held {
  unsigned open = 0, shut = 0;
};
std::unordered_map<std::string, Held> gPerAddress;
unsigned gLive = 0;                                      // open and not shut
// Connections let in whose start the library has not yet told, per
// address, with the moment: they count from the moment they are let in, so
// that the request threads, which let connections in at the same time,
// never take more than the caps between them. One the library never starts
// is forgotten after a second.
std::unordered_map<std::string, std::deque<int64_t>> gStarting;
unsigned gStartingCount = 0;
constexpr int64_t kStartingMs = 1000;
// Since the last report: connections refused, per address; and those
// closed to make room.
std::map<std::string, unsigned> gRefused;
unsigned gMadeRoom = 0;

void Shut(Connection& c) {
  shutdown(c.fd, SHUT_RDWR);
  c.shut = true;
  --gLive;
  ++gPerAddress[c.peer].shut;
}

// Under gConnMutex: shuts the oldest connection (of `*peer` only, unless it
// is null) whose request has not come whole; false when there is none,
// every one being answered or hashed.
bool MakeRoom(const std::string* peer) {
  Connection* oldest = nullptr;
  for (auto& [connection, c] : gConnections)
    if (!c.whole && !c.shut && (!peer || c.peer == *peer) && (!oldest || c.order < oldest->order)) oldest = &c;
  if (!oldest) return false;
  Shut(*oldest);
  ++gMadeRoom;
  return true;
}

// A new connection from `address`: let in while its address holds fewer
// than 64 and the server fewer than 1000; past either, it takes the place
// of the oldest one (of its address, or of all) whose request has not come
// whole, so that a client which fills its address's share, or the whole
// server, with unfinished requests shuts out no one who sends a request.
MHD_Result Admit(void*, const sockaddr* address, socklen_t) {
  const std::string peer = AddressText(address);
  std::lock_guard<std::mutex> lock(gConnMutex);
  const auto open = gPerAddress.find(peer);
  const auto starting = gStarting.find(peer);
  const size_t held = (open == gPerAddress.end() ? 0 : open->second.open - open->second.shut) +
                      (starting == gStarting.end() ? 0 : starting->second.size());
  if (held >= kMaxPerAddress) {
    if (!MakeRoom(&peer)) {
      ++gRefused[peer];
      return MHD_NO;
    }
  } else if (gLive + gStartingCount >= kMaxConnections && !MakeRoom(nullptr)) {
    ++gRefused[peer];
    return MHD_NO;
  }
  gStarting[peer].push_back(NowMs());
  ++gStartingCount;
  return MHD_YES;
}

// Under gConnMutex: one of the address's connections let in has started,
// or (peer empty) those let in too long ago are forgotten.
void Started(const std::string& peer) {
  if (!peer.empty()) {
    const auto at = gStarting.find(peer);
    if (at == gStarting.end()) return;
    at->second.pop_front();
    --gStartingCount;
    if (at->second.empty()) gStarting.erase(at);
    return;
  }
  const int64_t old = NowMs() - kStartingMs;
  for (auto at = gStarting.begin(); at != gStarting.end();) {
    while (!at->second.empty() && at->second.front() <= old) {
      at->second.pop_front();
      --gStartingCount;
    }
    at = at->second.empty() ? gStarting.erase(at) : std::next(at);
  }
}

void NotifyConnection(void*, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code) {
  std::lock_guard<std::mutex> lock(gConnMutex);
  if (code == MHD_CONNECTION_NOTIFY_STARTED) {
    const MHD_ConnectionInfo* fd = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    const MHD_ConnectionInfo* from = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!fd) return;
    static uint64_t started = 0;
    Connection c{fd->connect_fd, from ? AddressText(from->client_addr) : "", NowMs(), ++started};
    Started(c.peer);
    ++gPerAddress[c.peer].open;
    ++gLive;
    gConnections[connection] = std::move(c);
    return;
  }
  const auto at = gConnections.find(connection);
  if (at == gConnections.end()) return;
  Held& held = gPerAddress[at->second.peer];
  if (at->second.shut) --held.shut;
  else --gLive;
  if (--held.open == 0) gPerAddress.erase(at->second.peer);
  gConnections.erase(at);
}

// The library's messages: the first of each kind in a minute is written at
// once, the count of the rest at the minute's end.
std::mutex gLogMutex;
std::map<std::string, std::pair<std::string, unsigned>> gMessages;  // by format: the first text, how many

void Log(void*, const char* format, va_list arguments) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, arguments);
  std::string line = text;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  std::lock_guard<std::mutex> lock(gLogMutex);
  auto& [first, count] = gMessages[format];
  if (count++ == 0) {
    first = line;
    std::fprintf(stderr, "pibbo-scoreserver: %s\n", line.c_str());
  }
}

// What the last minute refused and closed, in a few lines.
void Report() {
  std::map<std::string, unsigned> refused;
  unsigned madeRoom = 0;
  {
    std::lock_guard<std::mutex> lock(gConnMutex);
    refused.swap(gRefused);
    std::swap(madeRoom, gMadeRoom);
  }
  for (const auto& [peer, n] : refused)
    std::fprintf(stderr, "pibbo-scoreserver: refused %u connections from %s (%u at most from one address, %u in all)\n",
                 n, peer.c_str(), kMaxPerAddress, kMaxConnections);
  if (madeRoom)
    std::fprintf(stderr, "pibbo-scoreserver: closed %u connections whose request had not come, to make room\n",
                 madeRoom);
  std::lock_guard<std::mutex> lock(gLogMutex);
  for (const auto& [format, message] : gMessages)
    if (message.second > 1)
      std::fprintf(stderr, "pibbo-scoreserver: %u more times: %s\n", message.second - 1, message.first.c_str());
  gMessages.clear();
}

void WatchDeadlines(const std::atomic<bool>& stop) {
  int64_t reported = NowMs();
  while (!stop) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const int64_t now = NowMs(), late = now - kRequestDeadlineMs;
    {
      std::lock_guard<std::mutex> lock(gConnMutex);
      for (auto& [connection, c] : gConnections)
        if (!c.whole && !c.shut && c.since <= late) Shut(c);
      Started("");
    }
    if (now - reported >= kReportMs) {
      Report();
      reported = now;
    }
  }
  Report();
}

struct Request {
  std::string target;  // as the request line has it, query included
  std::string body;
  bool seen = false;
  bool tooLarge = false;
  bool asked = false;  // handed to the handler
  // The reply, when the handler gives it later; the connection is set
  // aside (suspended) meanwhile.
  std::mutex mutex;
  std::optional<scoreserver::Reply> reply;
  bool suspended = false;
};

void* LogUri(void*, const char* uri, MHD_Connection*) {
  auto* r = new Request;
  r->target = uri ? uri : "";
  return r;
}

void Completed(void*, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
  delete static_cast<Request*>(*context);
  *context = nullptr;
}

std::string Peer(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  return info ? AddressText(info->client_addr) : "";
}

MHD_Result Answer(void*, MHD_Connection* connection, const char*, const char* method, const char*,
                  const char* upload, size_t* uploadSize, void** context) {
  auto* r = static_cast<Request*>(*context);
  if (!r) return MHD_NO;
  if (!r->seen) {  // the head has come; a body may follow
    r->seen = true;
    return MHD_YES;
  }
  if (*uploadSize != 0) {
    if (r->body.size() + *uploadSize > kMaxRequest) r->tooLarge = true;
    else r->body.append(upload, *uploadSize);
    *uploadSize = 0;
    return MHD_YES;
  }
  if (!r->asked) {
    r->asked = true;
    {
      // The request is whole: the deadline was the client's, and the time
      // the answer takes (a password hash on a busy machine) is not held
      // against it.
      std::lock_guard<std::mutex> lock(gConnMutex);
      const auto at = gConnections.find(connection);
      if (at != gConnections.end()) at->second.whole = true;
    }
    if (r->target.size() > kMaxRequest) r->tooLarge = true;
    std::optional<scoreserver::Reply> now;
    if (r->tooLarge) now = scoreserver::Reply{413, "TOO LARGE"};
    else
      now = gHandler->Begin(method, r->target, r->body, Peer(connection), [r, connection](scoreserver::Reply reply) {
        {
          std::lock_guard<std::mutex> lock(r->mutex);
          r->reply = std::move(reply);
          if (!r->suspended) return;  // Answer is still running and takes it
        }
        MHD_resume_connection(connection);
      });
    std::lock_guard<std::mutex> lock(r->mutex);
    if (now) r->reply = std::move(now);
    if (!r->reply) {
      r->suspended = true;
      MHD_suspend_connection(connection);
      return MHD_YES;
    }
  }
  std::unique_lock<std::mutex> lock(r->mutex);
  if (!r->reply) return MHD_YES;  // not yet
  const scoreserver::Reply reply = *r->reply;
  lock.unlock();
  const std::string body = scoreserver::WireBody(reply);
  MHD_Response* response =
      MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
  if (!response) return MHD_NO;
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain");
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
  const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
  MHD_destroy_response(response);
  return queued;
}

// A listening socket on the address and port; -1 when there is none.
int Listen(const std::string& address, int port, std::string& shown) {
  sockaddr_storage storage{};
  socklen_t length = 0;
  int family = AF_INET;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
  if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(static_cast<uint16_t>(port));
    length = sizeof *v4;
  } else if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
    family = AF_INET6;
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(static_cast<uint16_t>(port));
    length = sizeof *v6;
  } else {
    return -1;
  }
  const int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  if (bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 || listen(fd, SOMAXCONN) != 0) {
    close(fd);
    return -1;
  }
  getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length);
  const int bound = ntohs(family == AF_INET ? v4->sin_port : v6->sin6_port);
  shown = (family == AF_INET6 ? "[" + address + "]" : address) + ":" + std::to_string(bound);
  return fd;
}

bool Count(const char* text, int low, int& out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < low || v > 65535) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string listenAddress = "127.0.0.1", db = "scores.db";
  int port = 8260, threads = 4;
  scoreserver::Settings settings;
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

  scoreserver::Handler handler(settings);
  std::string error;
  if (!handler.Open(db, error)) {
    std::fprintf(stderr, "pibbo-scoreserver: cannot open the database %s: %s\n", db.c_str(), error.c_str());
    return 1;
  }
  gHandler = &handler;
  std::string shown;
  const int listener = Listen(listenAddress, port, shown);
  if (listener < 0) {
    std::fprintf(stderr, "pibbo-scoreserver: cannot listen on %s port %d\n", listenAddress.c_str(), port);
    return 1;
  }
  std::atomic<bool> stop{false};
  std::thread watcher(WatchDeadlines, std::cref(stop));
  MHD_Daemon* daemon = MHD_start_daemon(
      MHD_USE_AUTO_INTERNAL_THREAD | MHD_USE_ERROR_LOG | MHD_ALLOW_SUSPEND_RESUME, 0, &Admit, nullptr, &Answer,
      nullptr, MHD_OPTION_EXTERNAL_LOGGER, &Log, nullptr, MHD_OPTION_LISTEN_SOCKET, listener,
      MHD_OPTION_THREAD_POOL_SIZE, static_cast<unsigned>(threads), MHD_OPTION_CONNECTION_LIMIT, kLibraryConnections,
      MHD_OPTION_CONNECTION_TIMEOUT, kIdleSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, kMaxRequest * 2,
      MHD_OPTION_URI_LOG_CALLBACK, &LogUri, nullptr, MHD_OPTION_NOTIFY_COMPLETED, &Completed, nullptr,
      MHD_OPTION_NOTIFY_CONNECTION, &NotifyConnection, nullptr, MHD_OPTION_END);
  if (!daemon) {
    std::fprintf(stderr, "pibbo-scoreserver: cannot start serving on %s\n", shown.c_str());
    stop = true;
    watcher.join();
    return 1;
  }
  std::printf("listening on %s\n", shown.c_str());
  std::fflush(stdout);
  int signalNumber = 0;
  sigwait(&stopSignals, &signalNumber);
  handler.Stop();  // the checks under way answer, and their connections go on
  MHD_stop_daemon(daemon);
  stop = true;
  watcher.join();
  close(listener);
  return 0;
}
