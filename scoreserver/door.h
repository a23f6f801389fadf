// The door of the score server: one thread that accepts every connection
// and reads its request's head (with MSG_PEEK, leaving the bytes in the
// socket) until the head is whole or refused (request_head.h). A whole head
// that passes goes on with its connection to the library (library.h),
// which reads the request again; a refused one gets its one reply here.
//
// The door keeps every open connection's place, at the door or in the
// library: at most 1000, 64 from one address (an IPv6 client counted by its
// /64, address.h). When the address, or the server, is full, a new
// connection takes the place of one already refused and answered, or else
// of the oldest one (of the address, or of all) whose request has not come
// whole and which has sent some of it or is old enough for it to have
// come, so that
// clients which fill the places with unfinished requests shut out no one
// who sends a request; when there is none, it waits for a place a while,
// in the order of coming. A request gives up its place once its reply is
// out. A request not whole 10 s after its connection came is closed,
// however it trickles.
#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <functional>
#include <string>

namespace scoreserver {

constexpr unsigned kMaxConnections = 1000;
constexpr unsigned kMaxPerAddress = 64;
constexpr size_t kMaxRequest = 16 * 1024;  // bytes of a request's head, and of a body

// Hands a connection whose head passed to the library; false when the
// library could not take it (it has closed the socket then).
using HandOver = std::function<bool(int fd, const sockaddr* address, socklen_t length)>;

// A listening socket on the address and port (0: a free one), with `shown`
// "ADDRESS:PORT" as bound; -1 when there is none.
int Listen(const std::string& address, int port, std::string& shown);

// Accepts on `listener` until `stopFd` (an eventfd) is written to; the
// connections of its own then go unanswered. Once a minute, and at the end,
// it writes what it refused. Between what comes and what is due it sleeps.
void RunDoor(int listener, const HandOver& handOver, int stopFd);

// What the library tells of the connections it was handed: `connection`
// is its name there.
void LibraryStarted(int fd, const void* connection);  // it has the socket
void LibraryClosed(const void* connection);            // it has closed it
void RequestWhole(const void* connection);  // the request has come: no deadline, never closed to make room
// The request is over (its reply sent, or the client gone): the connection
// gives up its place at once, before the library closes it.
void RequestDone(const void* connection);

}  // namespace scoreserver
