// The online replies: the bytes a score server sends, cut to their body as
// the requests cut it, then judged as a login reply (greeting and message
// of the day) and read as a table reply (entry and Best lines in pairs).
#include <string>

#include "online/online.h"
#include "scores/scores.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  // Without a record to upload, no reply starts a request.
  ThisIsHigh.reset();
  for (const std::string& body : {ReplyBody(reply), reply}) {
    ResetOnlineTables();
    JudgeLogin(body);
    ClearList(AltScores);
    ReadOnlineTable(body);
    for (const auto& r : AltScores) {
      // An online entry never matches a local table (difficulties 0 to 2).
      if (r->GameMode >= 0 && r->GameMode <= 2) __builtin_trap();
    }
  }
  return 0;
}
