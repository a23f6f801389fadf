#include "library.h"

#include <microhttpd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "address.h"
#include "door.h"
#include "handler.h"
#include "log.h"

namespace scoreserver {
namespace {

constexpr unsigned kIdleSeconds = 10;
// The library's own cap stays above the door's: a connection closed to
// make room is still the library's until it notices.
constexpr unsigned kLibraryConnections = 2 * kMaxConnections;

void Notify(void*, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code) {
  if (code != MHD_CONNECTION_NOTIFY_STARTED) {
    LibraryClosed(connection);
    return;
  }
  if (const MHD_ConnectionInfo* fd = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD))
    LibraryStarted(fd->connect_fd, connection);
}

void Log(void*, const char* format, va_list arguments) { LogMessage(format, arguments); }

struct Request {
  std::string target;  // as the request line has it, query included
  std::string body;
  bool seen = false;
  bool tooLarge = false;
  bool asked = false;  // handed to the handler
  // The reply, when the handler gives it later; the connection is set
  // aside (suspended) meanwhile.
  std::mutex mutex;
  std::optional<Reply> reply;
  bool suspended = false;
};

void* LogUri(void*, const char* uri, MHD_Connection*) {
  auto* r = new Request;
  r->target = uri ? uri : "";
  return r;
}

// The reply has gone out whole (or the client is gone): the connection's
// place is free at once, not when the library gets round to closing it.
void Completed(void*, MHD_Connection* connection, void** context, MHD_RequestTerminationCode) {
  RequestDone(connection);
  delete static_cast<Request*>(*context);
  *context = nullptr;
}

std::string Peer(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  return info ? AddressText(info->client_addr) : "";
}

MHD_Result Answer(void* handler, MHD_Connection* connection, const char*, const char* method, const char*,
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
    // The request is whole: the deadline was the client's, and the time
    // the answer takes (a password hash on a busy machine) is not held
    // against it.
    RequestWhole(connection);
    if (r->target.size() > kMaxRequest) r->tooLarge = true;
    std::optional<Reply> now;
    if (r->tooLarge) now = Reply{413, "TOO LARGE"};
    else
      now = static_cast<Handler*>(handler)->Begin(method, r->target, r->body, Peer(connection), [r, connection](Reply reply) {
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
  const Reply reply = *r->reply;
  lock.unlock();
  const std::string body = WireBody(reply);
  MHD_Response* response =
      MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
  if (!response) return MHD_NO;
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain");
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
  const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
  MHD_destroy_response(response);
  return queued;
}

}  // namespace

MHD_Daemon* StartLibrary(Handler& handler, unsigned threads) {
  return MHD_start_daemon(
      MHD_USE_AUTO_INTERNAL_THREAD | MHD_USE_ERROR_LOG | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_NO_LISTEN_SOCKET |
          MHD_USE_ITC,
      0, nullptr, nullptr, &Answer, &handler, MHD_OPTION_EXTERNAL_LOGGER, &Log, nullptr,
      MHD_OPTION_THREAD_POOL_SIZE, threads, MHD_OPTION_CONNECTION_LIMIT, kLibraryConnections,
      MHD_OPTION_CONNECTION_TIMEOUT, kIdleSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, kMaxRequest * 2,
      MHD_OPTION_URI_LOG_CALLBACK, &LogUri, nullptr, MHD_OPTION_NOTIFY_COMPLETED, &Completed, nullptr,
      MHD_OPTION_NOTIFY_CONNECTION, &Notify, nullptr, MHD_OPTION_END);
}

bool HandToLibrary(MHD_Daemon* daemon, int fd, const sockaddr* address, socklen_t length) {
  if (MHD_add_connection(daemon, fd, address, length) == MHD_YES) return true;
  Note("the HTTP library could not take a connection: %s", std::strerror(errno));
  return false;
}

void StopLibrary(MHD_Daemon* daemon) { MHD_stop_daemon(daemon); }

}  // namespace scoreserver
