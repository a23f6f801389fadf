// The requests that pass the door, read and answered by libmicrohttpd with
// a pool of threads that each watch many connections, the answers coming
// from the request handling (handler.h). A request waiting for a password
// hash is set aside (suspended) so that the threads go on serving. Every
// reply closes its connection.
#pragma once

#include <sys/socket.h>

struct MHD_Daemon;

namespace scoreserver {

class Handler;

// The library started with `threads` threads, listening on nothing itself
// (the door hands it connections); null when it cannot start.
MHD_Daemon* StartLibrary(Handler& handler, unsigned threads);
// A connection for the library; false when it could not take it (it has
// closed the socket then).
bool HandToLibrary(MHD_Daemon* daemon, int fd, const sockaddr* address, socklen_t length);
void StopLibrary(MHD_Daemon* daemon);

}  // namespace scoreserver
