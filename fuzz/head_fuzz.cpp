// Fuzz harness for the score server's check of a request's head, with the
// limits the server gives it. Each input is the bytes a client sends. A
// verdict once given must hold for every longer run of the same bytes, so
// the check may decide on whatever part of them has come; a head let
// through must have ended within its limit; and a refusal must be one
// whole reply.
//
// The seeds in corpus/head/ are the game's own request and heads the
// server refuses.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "request_head.h"

namespace {

constexpr size_t kMax = 16 * 1024;
std::string gReached;

const char* Name(scoreserver::HeadVerdict v) {
  switch (v) {
    case scoreserver::HeadVerdict::kIncomplete: return "undecided";
    case scoreserver::HeadVerdict::kPass: return "passed";
    case scoreserver::HeadVerdict::kBad: return "refused as bad";
    case scoreserver::HeadVerdict::kTooLarge: return "refused as too large";
    case scoreserver::HeadVerdict::kNotImplemented: return "refused as not implemented";
  }
  std::abort();
}

}  // namespace

std::string fuzzsupport::SeedReached() { return gReached; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using scoreserver::HeadVerdict;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const HeadVerdict whole = scoreserver::CheckRequestHead(bytes, kMax, kMax);
  // The same bytes come in two pieces: what the first piece settled stands.
  for (const size_t cut : {size / 2, size - (size > 0)}) {
    const HeadVerdict part = scoreserver::CheckRequestHead(bytes.substr(0, cut), kMax, kMax);
    if (part != HeadVerdict::kIncomplete && part != whole) std::abort();
  }
  // Read on from where the last whole line ended, in two pieces, as the
  // door reads a connection: the same verdict.
  scoreserver::HeadReading reading;
  HeadVerdict resumed = scoreserver::ContinueRequestHead(bytes.substr(0, size / 2), reading, kMax, kMax);
  if (resumed == HeadVerdict::kIncomplete)
    resumed = scoreserver::ContinueRequestHead(bytes.substr(std::min(reading.lineAt, size)), reading, kMax, kMax);
  if (resumed != whole) std::abort();
  if (whole == HeadVerdict::kPass) {
    const size_t end = bytes.substr(0, kMax).find('\n');
    if (end == std::string_view::npos) std::abort();  // no line at all, yet passed
  }
  if (whole == HeadVerdict::kBad || whole == HeadVerdict::kTooLarge || whole == HeadVerdict::kNotImplemented) {
    const std::string reply = scoreserver::HeadRefusal(whole, "Thu, 01 Jan 1970 00:00:00 GMT");
    const size_t head = reply.find("\r\n\r\n");
    const size_t length = reply.find("Content-Length: ");
    if (head == std::string::npos || length == std::string::npos) std::abort();
    if (std::strtoul(reply.c_str() + length + 16, nullptr, 10) != reply.size() - head - 4) std::abort();
  }
  gReached = std::string("the head ") + Name(whole);
  return 0;
}
