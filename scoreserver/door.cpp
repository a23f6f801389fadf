#include "door.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "address.h"
#include "log.h"
#include "request_head.h"

namespace scoreserver {
namespace {

constexpr int64_t kRequestDeadlineMs = 10000;
constexpr int64_t kReportMs = 60000;
// A connection this young that has sent nothing yet is not closed to make
// room: its request is usually on its way.
constexpr int64_t kYoungMs = 100;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Every open connection, by its socket: its address, the moment it came,
// where it is, and whether its request has come whole. The door thread
// accepts connections and reads each request's head (without taking its
// bytes) until it is whole or refused; a whole head goes to the library,
// which reads the request again. The door shuts down the socket of one
// whose request has not come whole by the deadline, or one to make room,
// which makes whoever has it drop it. The entry goes before its socket is
// closed, so no one touches a number already given to another connection.
// A connection shut, or whose reply the library has sent, gives up its
// place at once: it no longer counts against its address or the server,
// though its entry stays until its socket is closed.
enum class Stage {
  kHead,     // the door's: the head is coming
  kRefused,  // the door's: a refusal sent, what the client still sends is read and dropped a while
  kLibrary,  // the library's
};
struct Connection {
  std::string peer;
  sockaddr_storage address{};
  socklen_t addressLength = 0;
  int64_t since = 0;
  uint64_t order = 0;  // the how-manieth to come: the oldest of those come in one millisecond
  Stage stage = Stage::kHead;
  int64_t lookAgain = 0;  // kHead: not read again before (a head that trickles); kRefused: closed then
  int looks = 0;          // kHead: times read without being whole
  bool ended = false;     // kHead: the client has sent all it will
  HeadReading reading;    // kHead: how far its head is read
  bool peekOn = false;    // kHead: reads of the head bring only what came since the last
  bool heard = false;     // bytes have come
  const void* library = nullptr;  // kLibrary: the library's connection, once it has said it has it
  bool whole = false;     // the request has come: no deadline, never closed to make room
  bool shut = false;      // shut down, whoever has it is yet to drop it
  bool released = false;  // shut, or answered: its place is given up
};
std::mutex gConnMutex;
std::unordered_map<int, Connection> gConnections;
std::unordered_map<const void*, int> gLibrarySockets;  // the library's connections: their sockets
// Per address: connections open, released ones too, and of them the ones
// released.
struct Held {
  unsigned open = 0, released = 0;
};
std::unordered_map<std::string, Held> gPerAddress;
unsigned gLive = 0;  // open and not released
// Since the last report: connections refused, per address; those closed to
// make room; and heads refused.
std::map<std::string, unsigned> gRefused;
unsigned gMadeRoom = 0;
unsigned gBadHeads = 0;

// Connections waiting at the door for a place (door.h), in all; whether
// the door has been woken since a place came free; and its wake-up (an
// eventfd), written then.
unsigned gWaiting = 0;
bool gWoken = false;
int gWakeDoor = -1;

// Under gConnMutex: a place came free.
void Freed() {
  if (gWaiting == 0 || gWoken) return;
  gWoken = true;
  const uint64_t one = 1;
  if (write(gWakeDoor, &one, sizeof one) < 0) {
    // The counter is full: the door has a wake-up due already.
  }
}

// Under gConnMutex: the connection gives up its place.
void Release(Connection& c) {
  if (c.released) return;
  c.released = true;
  --gLive;
  ++gPerAddress[c.peer].released;
  Freed();
}

void Shut(int fd, Connection& c) {
  shutdown(fd, SHUT_RDWR);
  c.shut = true;
  Release(c);
}

// Under gConnMutex: the entry of a connection about to be closed goes.
void Forget(std::unordered_map<int, Connection>::iterator at) {
  if (at->second.library) gLibrarySockets.erase(at->second.library);
  Held& held = gPerAddress[at->second.peer];
  if (at->second.released) --held.released;
  else {
    --gLive;
    Freed();
  }
  if (--held.open == 0) gPerAddress.erase(at->second.peer);
  gConnections.erase(at);
}

// Under gConnMutex: shuts the oldest connection (of `*peer` only, unless it
// is null) whose request has not come whole; false when there is none,
// every one being answered or hashed, or so young and silent that its
// request may be on its way still. One already refused, whose reply is
// sent, goes before any other.
bool MakeRoom(const std::string* peer) {
  const int64_t young = NowMs() - kYoungMs;
  int oldestFd = -1;
  Connection* oldest = nullptr;
  const auto before = [](const Connection& a, const Connection& b) {
    const bool aDone = a.stage == Stage::kRefused, bDone = b.stage == Stage::kRefused;
    return aDone != bDone ? aDone : a.order < b.order;
  };
  for (auto& [fd, c] : gConnections)
    if (!c.whole && !c.released && (!peer || c.peer == *peer) &&
        (c.stage == Stage::kRefused || c.heard || c.since <= young) && (!oldest || before(c, *oldest))) {
      oldest = &c;
      oldestFd = fd;
    }
  if (!oldest) return false;
  Shut(oldestFd, *oldest);
  ++gMadeRoom;
  return true;
}

// Under gConnMutex: whether a new connection from `peer` may come in now.
// It may while its address holds fewer than 64 and the server fewer than
// 1000; past either, it takes the place of the oldest one (of its address,
// or of all) whose request has not come whole, so that a client which
// fills its address's share, or the whole server, with unfinished requests
// shuts out no one who sends a request. When there is no such connection
// (every one of them has come whole, or is too young to tell), or others
// wait already at its address, it waits for a place for a while: a client
// sending whole requests fast from the address of a player fills its
// places for a moment only.
enum class Entry { kIn, kWait, kOut };

unsigned Held(const std::string& peer) {
  const auto open = gPerAddress.find(peer);
  return open == gPerAddress.end() ? 0 : open->second.open - open->second.released;
}

// Under gConnMutex: room for one more from `peer`, made if need be.
bool Room(const std::string& peer) {
  if (Held(peer) >= kMaxPerAddress) return MakeRoom(&peer);
  return gLive < kMaxConnections || MakeRoom(nullptr);
}

// `waiting`: how many wait already at the address.
Entry Admit(const std::string& peer, size_t waiting) {
  if (waiting == 0 && Room(peer)) return Entry::kIn;
  if (waiting < kMaxPerAddress && gWaiting < kMaxConnections) return Entry::kWait;
  ++gRefused[peer];
  return Entry::kOut;
}

// What the last minute refused and closed, in a few lines.
void Report() {
  std::map<std::string, unsigned> refused;
  unsigned madeRoom = 0, badHeads = 0;
  {
    std::lock_guard<std::mutex> lock(gConnMutex);
    refused.swap(gRefused);
    std::swap(madeRoom, gMadeRoom);
    std::swap(badHeads, gBadHeads);
  }
  for (const auto& [peer, n] : refused)
    std::fprintf(stderr, "pibbo-scoreserver: refused %u connections from %s (%u at most from one address, %u in all)\n",
                 n, peer.c_str(), kMaxPerAddress, kMaxConnections);
  if (madeRoom)
    std::fprintf(stderr, "pibbo-scoreserver: closed %u connections whose request had not come, to make room\n",
                 madeRoom);
  if (badHeads)
    std::fprintf(stderr, "pibbo-scoreserver: refused %u malformed or too large requests\n", badHeads);
  CountMessages();
}

// --- The door ---------------------------------------------------------
// One thread accepts every connection and reads its head with MSG_PEEK,
// leaving the bytes where they are: a whole head that passes the check
// (request_head.h) goes to the library with the connection, one refused is
// answered here. The answer's socket then drains what the client still
// sends for a while before it is closed, so that its reply is not lost to
// a reset.
// A head read this many times without being whole is read again at most
// every kLookAgainMs: a client that sends its head in a few pieces waits
// for none of them, and one that trickles it costs little.
constexpr int kQuickLooks = 8;
constexpr int64_t kLookAgainMs = 50;
constexpr int64_t kLingerMs = 2000;
// Connections taken in one turn of the loop, before what came on the
// others is read again.
constexpr int kAcceptsATurn = 16;
// How long a connection may wait for a place (at most 64 at one address,
// 1000 in all), and how often the door looks for one meanwhile besides
// when one comes free.
constexpr int64_t kWaitMs = 1000;
constexpr int64_t kSeatAgainMs = 20;
// The scan of deadlines, lingering refusals and waits runs at most this often.
constexpr int64_t kScanMs = 100;

std::string HttpDate() {
  char text[64];
  const time_t now = time(nullptr);
  tm parts{};
  gmtime_r(&now, &parts);
  strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
  return text;
}

class Door {
 public:
  Door(int listener, const scoreserver::HandOver& handOver, int stopFd)
      : listener_(listener), stopFd_(stopFd), handOver_(handOver) {}

  void Run() {
    poll_ = epoll_create1(EPOLL_CLOEXEC);
    gWakeDoor = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    for (const int fd : {listener_, stopFd_, gWakeDoor}) {
      epoll_event event{};
      event.events = EPOLLIN;
      event.data.fd = fd;
      epoll_ctl(poll_, EPOLL_CTL_ADD, fd, &event);
    }
    reported_ = NowMs();
    nextScan_ = reported_ + kReportMs;
    epoll_event events[64];
    for (bool stop = false; !stop;) {
      // Asleep until something comes or the next thing is due.
      const int64_t wait = std::clamp<int64_t>(NextDue() - NowMs(), 0, kReportMs);
      const int n = epoll_wait(poll_, events, 64, static_cast<int>(wait));
      // What came on the connections first, then new ones: a head that
      // has come is read before newer connections may take its place.
      bool accept = false;
      for (int i = 0; i < n; ++i) {
        if (events[i].data.fd == listener_) accept = true;
        else if (events[i].data.fd == stopFd_) stop = true;
        else if (events[i].data.fd == gWakeDoor) Seat();
        else Ready(events[i].data.fd, events[i].events);
      }
      Sweep();
      if (accept && !stop) Accept();
    }
    // Closing: the door's connections go unanswered.
    std::vector<int> mine;
    {
      std::lock_guard<std::mutex> lock(gConnMutex);
      for (auto at = gConnections.begin(); at != gConnections.end();) {
        const auto next = std::next(at);
        if (at->second.stage != Stage::kLibrary) {
          mine.push_back(at->first);
          Forget(at);
        }
        at = next;
      }
    }
    for (const auto& [peer, line] : waiting_)
      for (const Arrival& a : line) mine.push_back(a.fd);
    {
      std::lock_guard<std::mutex> lock(gConnMutex);
      gWaiting = 0;  // no more wake-ups: the library may go on a moment
    }
    for (const int fd : mine) close(fd);
    close(poll_);
    Report();
  }

 private:
  // The moment the loop has something to do without an event: a head to
  // read again, more to drain, the listener to watch again after a pause,
  // those waiting for a place to look at again, or the scan of deadlines,
  // lingering refusals, waits and the report.
  int64_t NextDue() const {
    if (!drainAgain_.empty()) return 0;
    int64_t due = nextScan_;
    if (paused_) due = std::min(due, acceptAgain_);
    if (!waiting_.empty()) due = std::min(due, seatAgain_);
    for (const auto& [fd, when] : due_) due = std::min(due, when);
    return due;
  }

  void Accept() {
    const int64_t now = NowMs();
    if (now < acceptAgain_) return;
    for (int k = 0; k < kAcceptsATurn; ++k) {
      sockaddr_storage address{};
      socklen_t length = sizeof address;
      const int fd = accept4(listener_, reinterpret_cast<sockaddr*>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
          // Out of sockets: the listener is left alone a moment, as the
          // connections waiting in its queue would only fail the same way.
          acceptAgain_ = now + 100;
          epoll_event none{};
          none.data.fd = listener_;
          epoll_ctl(poll_, EPOLL_CTL_MOD, listener_, &none);
          paused_ = true;
          Note("cannot accept a connection: %s", std::strerror(errno));
        }
        return;
      }
      const std::string peer = AddressKey(reinterpret_cast<sockaddr*>(&address));
      const Arrival arrival{fd, address, length, now};
      Entry entry;
      {
        std::lock_guard<std::mutex> lock(gConnMutex);
        // An entry still under this number is one whose socket someone
        // closed without telling (the library, failing to take it up).
        const auto stale = gConnections.find(fd);
        if (stale != gConnections.end()) Forget(stale);
        // Behind those already waiting at its address, if any.
        const auto line = waiting_.find(peer);
        entry = Admit(peer, line == waiting_.end() ? 0 : line->second.size());
        if (entry == Entry::kIn) Insert(peer, arrival);
        if (entry == Entry::kWait) ++gWaiting;
      }
      if (entry == Entry::kOut) {
        close(fd);
      } else if (entry == Entry::kWait) {
        waiting_[peer].push_back(arrival);
        nextScan_ = std::min(nextScan_, now + kWaitMs);
      } else {
        Begin(fd);
      }
    }
  }

  // A connection that came, or that waited for a place at its address.
  struct Arrival {
    int fd;
    sockaddr_storage address;
    socklen_t length;
    int64_t since;
  };

  // Under gConnMutex: the connection takes its place.
  static void Insert(const std::string& peer, const Arrival& a) {
    static uint64_t came = 0;
    Connection c;
    c.peer = peer;
    c.address = a.address;
    c.addressLength = a.length;
    c.since = a.since;
    c.order = ++came;
    // Reads of the head go on from where the last ended, where the system
    // can (a read offset).
    const int start = 0;
    c.peekOn = setsockopt(a.fd, SOL_SOCKET, SO_PEEK_OFF, &start, sizeof start) == 0;
    ++gPerAddress[peer].open;
    ++gLive;
    gConnections[a.fd] = std::move(c);
  }

  // A client usually sends its request with the connection: it is read at
  // once, and watched only if it is not whole yet (or refused, to drain
  // it). Bytes that come meanwhile are seen when it is watched.
  void Begin(int fd) {
    partial_[fd] = Partial{};
    int64_t since;
    {
      std::lock_guard<std::mutex> lock(gConnMutex);
      const auto at = gConnections.find(fd);
      if (at == gConnections.end()) return;
      since = at->second.since;
    }
    // Its deadline, unless the request comes whole before.
    nextScan_ = std::min(nextScan_, since + kRequestDeadlineMs);
    Look(fd);
    bool watch;
    {
      std::lock_guard<std::mutex> lock(gConnMutex);
      const auto at = gConnections.find(fd);
      watch = at != gConnections.end() && at->second.stage != Stage::kLibrary;
    }
    if (!watch) return;
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
    event.data.fd = fd;
    epoll_ctl(poll_, EPOLL_CTL_ADD, fd, &event);
  }

  // Places may have come free: the first of each line take them, in the
  // order they came.
  void Seat() {
    uint64_t count;
    if (read(gWakeDoor, &count, sizeof count) < 0) {
      // Not woken: the scan's turn.
    }
    {
      std::lock_guard<std::mutex> lock(gConnMutex);
      gWoken = false;
    }
    for (auto line = waiting_.begin(); line != waiting_.end();) {
      const std::string& peer = line->first;
      while (!line->second.empty()) {
        const Arrival a = line->second.front();
        {
          std::lock_guard<std::mutex> lock(gConnMutex);
          if (!Room(peer)) break;
          Insert(peer, a);
          --gWaiting;
        }
        line->second.pop_front();
        Begin(a.fd);
      }
      line = line->second.empty() ? waiting_.erase(line) : std::next(line);
    }
  }

  // Under gConnMutex: connections that waited too long for a place are
  // closed; answers when the next one's time is up.
  int64_t Unseat(int64_t now) {
    int64_t next = INT64_MAX;
    for (auto line = waiting_.begin(); line != waiting_.end();) {
      auto& arrivals = line->second;
      while (!arrivals.empty() && arrivals.front().since + kWaitMs <= now) {
        close(arrivals.front().fd);
        arrivals.pop_front();
        ++gRefused[line->first];
        --gWaiting;
      }
      if (arrivals.empty()) {
        line = waiting_.erase(line);
        continue;
      }
      next = std::min(next, arrivals.front().since + kWaitMs);
      ++line;
    }
    return next;
  }

  // Something came on a connection of the door's, or it was shut down.
  void Ready(int fd, uint32_t events) {
    Stage stage;
    {
      std::lock_guard<std::mutex> lock(gConnMutex);
      const auto at = gConnections.find(fd);
      if (at == gConnections.end() || at->second.stage == Stage::kLibrary) return;
      if (at->second.shut) {
        Close(at);
        return;
      }
      stage = at->second.stage;
      if (events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) at->second.ended = true;
      if (stage == Stage::kHead && NowMs() < at->second.lookAgain) {
        due_.emplace(fd, at->second.lookAgain);
        return;
      }
    }
    if (stage == Stage::kRefused) Drain(fd);
    else Look(fd);
  }

  // Reads what came of the head since the last read and acts on the
  // check's verdict.
  void Look(int fd) {
    HeadReading reading;
    bool peekOn;
    {
      std::lock_guard<std::mutex> lock(gConnMutex);
      const auto at = gConnections.find(fd);
      if (at == gConnections.end() || at->second.stage != Stage::kHead || at->second.shut) return;
      reading = at->second.reading;
      peekOn = at->second.peekOn;
    }
    // With the offset, a read brings only the bytes that came since the
    // last, kept from where the last whole line ended; without it, all of
    // them, from which the check takes the same.
    Partial& part = partial_[fd];
    const size_t room = peekOn ? std::max<size_t>(1, sizeof buffer_ - std::min(part.peeked, sizeof buffer_))
                               : sizeof buffer_;
    const ssize_t n = recv(fd, buffer_, room, MSG_PEEK);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    const bool ended = n <= 0;
    HeadVerdict verdict = HeadVerdict::kIncomplete;
    bool body = false;
    if (n > 0 && peekOn) {
      part.line.append(buffer_, static_cast<size_t>(n));
      part.peeked += static_cast<size_t>(n);
      const size_t lineAt = reading.lineAt;
      verdict = ContinueRequestHead(part.line, reading, kMaxRequest, kMaxRequest, &body);
      part.line.erase(0, reading.lineAt - lineAt);
    } else if (n > 0) {
      verdict = CheckRequestHead(std::string_view(buffer_, static_cast<size_t>(n)), kMaxRequest, kMaxRequest, &body,
                                 &reading);
    } else if (n < 0 || part.peeked == 0) {  // gone before a head came: nothing to answer
      CloseByFd(fd);
      return;
    }
    if (verdict == HeadVerdict::kIncomplete) {
      std::lock_guard<std::mutex> lock(gConnMutex);
      const auto at = gConnections.find(fd);
      if (at == gConnections.end()) return;
      at->second.reading = reading;
      at->second.heard = true;
      if (!at->second.ended && !ended) {
        if (++at->second.looks >= kQuickLooks) at->second.lookAgain = NowMs() + kLookAgainMs;
        return;
      }
      verdict = HeadVerdict::kBad;  // cut off within its head
    }
    partial_.erase(fd);
    if (verdict == HeadVerdict::kPass) {
      if (peekOn) {
        const int off = -1;  // the library reads the bytes as they are
        setsockopt(fd, SOL_SOCKET, SO_PEEK_OFF, &off, sizeof off);
      }
      GoOn(fd, !body);
      return;
    }
    const std::string reply = HeadRefusal(verdict, HttpDate());
    {
      std::lock_guard<std::mutex> lock(gConnMutex);
      const auto at = gConnections.find(fd);
      if (at == gConnections.end()) return;
      at->second.stage = Stage::kRefused;
      at->second.lookAgain = NowMs() + kLingerMs;
      nextScan_ = std::min(nextScan_, at->second.lookAgain);
      ++gBadHeads;
    }
    send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    shutdown(fd, SHUT_WR);
    Drain(fd);
  }

  // A refused connection: what the client sends is dropped until it
  // closes its side. A few reads at a time, so that one client sending
  // fast holds up no one; the rest on the next turn of the loop (events
  // come only for new bytes).
  void Drain(int fd) {
    for (int k = 0; k < 16; ++k) {
      const ssize_t n = recv(fd, buffer_, sizeof buffer_, 0);
      if (n > 0) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
      CloseByFd(fd);
      return;
    }
    drainAgain_.push_back(fd);
  }

  // `whole`: no body follows the head, so the request has come.
  void GoOn(int fd, bool whole) {
    epoll_ctl(poll_, EPOLL_CTL_DEL, fd, nullptr);
    sockaddr_storage address{};
    socklen_t length = 0;
    {
      std::lock_guard<std::mutex> lock(gConnMutex);
      const auto at = gConnections.find(fd);
      if (at == gConnections.end()) return;
      at->second.heard = true;
      at->second.stage = Stage::kLibrary;
      at->second.whole = whole;
      address = at->second.address;
      length = at->second.addressLength;
    }
    // The library closes the socket if it cannot take it; the entry goes
    // then (the library told nothing of it).
    if (!handOver_(fd, reinterpret_cast<sockaddr*>(&address), length)) {
      std::lock_guard<std::mutex> lock(gConnMutex);
      const auto at = gConnections.find(fd);
      if (at != gConnections.end() && !at->second.library) Forget(at);
    }
  }

  // Heads read again once their time comes, more drained, the listener
  // after a pause, the scan when it is due, and those waiting for a place.
  void Sweep() {
    const int64_t now = NowMs();
    if (paused_ && now >= acceptAgain_) {
      epoll_event listen{};
      listen.events = EPOLLIN;
      listen.data.fd = listener_;
      epoll_ctl(poll_, EPOLL_CTL_MOD, listener_, &listen);
      paused_ = false;
    }
    std::vector<int> look;
    for (auto at = due_.begin(); at != due_.end();) {
      if (now < at->second) {
        ++at;
        continue;
      }
      look.push_back(at->first);
      at = due_.erase(at);
    }
    if (now >= nextScan_) Scan(now);
    // Those waiting for a place are seated when one comes free, and looked
    // at again a little later too (a young connection may be old enough
    // then to make room).
    if (!waiting_.empty() && now >= seatAgain_) {
      Seat();
      seatAgain_ = now + kSeatAgainMs;
    }
    for (const int fd : look) Look(fd);
    std::vector<int> drain;
    drain.swap(drainAgain_);
    for (const int fd : drain) {
      bool refused;
      {
        std::lock_guard<std::mutex> lock(gConnMutex);
        const auto at = gConnections.find(fd);
        refused = at != gConnections.end() && at->second.stage == Stage::kRefused && !at->second.shut;
      }
      if (refused) Drain(fd);
    }
  }

  // The deadlines: a request not whole 10 s after it came is shut, and an
  // entry the library never took up goes; refusals that lingered long
  // enough, and connections shut, are closed; once a minute the report.
  // Then the moment the next of these is due.
  void Scan(int64_t now) {
    const int64_t late = now - kRequestDeadlineMs;
    int64_t next = reported_ + kReportMs;
    std::vector<int> close;
    {
      std::lock_guard<std::mutex> lock(gConnMutex);
      for (auto at = gConnections.begin(); at != gConnections.end();) {
        Connection& c = at->second;
        // One handed to the library that it never took up (it closed the
        // socket when it could not): nobody has it any more.
        if (c.stage == Stage::kLibrary && !c.library) {
          if (c.since <= late - 1000) {
            const auto gone = at++;
            Forget(gone);
            continue;
          }
          next = std::min(next, c.since + kRequestDeadlineMs + 1000);
        }
        if (!c.whole && !c.shut) {
          if (c.since <= late) Shut(at->first, c);
          else next = std::min(next, c.since + kRequestDeadlineMs);
        }
        if (c.stage != Stage::kLibrary) {
          if (c.shut || (c.stage == Stage::kRefused && now >= c.lookAgain)) close.push_back(at->first);
          else if (c.stage == Stage::kRefused) next = std::min(next, c.lookAgain);
        }
        ++at;
      }
    }
    for (const int fd : close) CloseByFd(fd);
    {
      std::lock_guard<std::mutex> lock(gConnMutex);
      next = std::min(next, Unseat(now));
    }
    if (now - reported_ >= kReportMs) {
      Report();
      reported_ = now;
      next = std::min(next, now + kReportMs);
    }
    // A few times a second at most: a tenth of a second more or less
    // matters to none of these, and the scan goes through every connection.
    nextScan_ = std::max(next, now + kScanMs);
  }

  // Under gConnMutex.
  void Close(std::unordered_map<int, Connection>::iterator at) {
    const int fd = at->first;
    partial_.erase(fd);
    Forget(at);
    epoll_ctl(poll_, EPOLL_CTL_DEL, fd, nullptr);
    ::close(fd);
  }
  void CloseByFd(int fd) {
    std::lock_guard<std::mutex> lock(gConnMutex);
    const auto at = gConnections.find(fd);
    if (at != gConnections.end() && at->second.stage != Stage::kLibrary) Close(at);
  }

  const int listener_, stopFd_;
  const scoreserver::HandOver& handOver_;
  int poll_ = -1;
  char buffer_[kMaxRequest];
  std::unordered_map<int, int64_t> due_;  // kHead connections to read again, and when
  std::vector<int> drainAgain_;           // kRefused connections with more to read
  // The heads coming, by socket, as far as read: from where the last whole
  // line ended (with the read offset).
  struct Partial {
    std::string line;   // the bytes from the head's reading.lineAt on
    size_t peeked = 0;  // the bytes read in all: where the next read starts
  };
  std::unordered_map<int, Partial> partial_;
  // Per address, connections waiting for a place there, in the order they came.
  std::unordered_map<std::string, std::deque<Arrival>> waiting_;
  int64_t acceptAgain_ = 0, nextScan_ = 0, reported_ = 0, seatAgain_ = 0;
  bool paused_ = false;
};

// Under gConnMutex: the entry of the library's connection.
Connection* Library(const void* connection) {
  const auto socket = gLibrarySockets.find(connection);
  const auto at = socket == gLibrarySockets.end() ? gConnections.end() : gConnections.find(socket->second);
  return at == gConnections.end() || at->second.library != connection ? nullptr : &at->second;
}

}  // namespace

void LibraryStarted(int fd, const void* connection) {
  std::lock_guard<std::mutex> lock(gConnMutex);
  const auto at = gConnections.find(fd);
  if (at == gConnections.end() || at->second.stage != Stage::kLibrary) return;
  at->second.library = connection;
  gLibrarySockets[connection] = fd;
}

void LibraryClosed(const void* connection) {
  std::lock_guard<std::mutex> lock(gConnMutex);
  const auto socket = gLibrarySockets.find(connection);
  if (socket == gLibrarySockets.end()) return;
  const auto at = gConnections.find(socket->second);
  if (at != gConnections.end() && at->second.library == connection) Forget(at);
  else gLibrarySockets.erase(socket);
}

void RequestWhole(const void* connection) {
  std::lock_guard<std::mutex> lock(gConnMutex);
  if (Connection* c = Library(connection)) c->whole = true;
}

void RequestDone(const void* connection) {
  std::lock_guard<std::mutex> lock(gConnMutex);
  if (Connection* c = Library(connection)) {
    c->whole = true;
    Release(*c);
  }
}

void RunDoor(int listener, const HandOver& handOver, int stopFd) { Door(listener, handOver, stopFd).Run(); }

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
  const int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);  // the door accepts until none is left
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

}  // namespace scoreserver
