// Fuzz harness for the score server's request handling: each input is one
// request, given to the handler on a database in memory that lives for the
// whole run (so accounts and games made by one input meet later ones).
//
// Input: "METHOD\nTARGET\nPEER\nBODY" (missing lines are empty; an empty
// method is GET). The seeds in corpus/scoreserver/ are the game's own
// login, upload and table requests.
#include <sodium.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "address.h"
#include "fuzz_support.h"
#include "handler.h"

namespace {

scoreserver::Handler& Server() {
  static scoreserver::Handler* const server = [] {
    scoreserver::Settings settings;
    settings.hashOps = crypto_pwhash_OPSLIMIT_MIN;  // the hash's cost is not what is under test
    settings.hashMemory = crypto_pwhash_MEMLIMIT_MIN;
    auto* handler = new scoreserver::Handler(settings);
    std::string error;
    if (!handler->Open(":memory:", error)) std::abort();
    return handler;
  }();
  return *server;
}

// The next line of `text` from `at` (without its LF); `at` moves past it.
std::string Line(const std::string& text, size_t& at) {
  if (at >= text.size()) return "";
  const size_t end = text.find('\n', at);
  const std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
  at = end == std::string::npos ? text.size() : end + 1;
  return line;
}

// The last reply: its status and first line, or "" when the request met
// only the page for paths the server does not know.
std::string gReached;

}  // namespace

std::string fuzzsupport::SeedReached() { return gReached; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  size_t at = 0;
  std::string method = Line(input, at);
  const std::string target = Line(input, at);
  const std::string peer = Line(input, at);
  const std::string body = at < input.size() ? input.substr(at) : "";
  if (method.empty()) method = "GET";
  // The limits' key of an address (an IPv6 one's /64) is its own key.
  const std::string key = scoreserver::AddressKey(peer);
  if (scoreserver::AddressKey(key) != key) std::abort();
  const scoreserver::Reply reply = Server().Handle(method, target, body, peer);
  // Every reply is one the front end can send: a known status, and a body
  // whose blank line would not cut the game's reading of it short.
  if (reply.status < 200 || reply.status > 599) std::abort();
  if (reply.body.find("\n\n") != std::string::npos) std::abort();
  const bool unknownPath = reply.status == 404 && reply.body.find("No such table") == std::string::npos;
  gReached = unknownPath ? "" : std::to_string(reply.status) + " " + reply.body.substr(0, reply.body.find('\n')).substr(0, 40);
  return 0;
}
