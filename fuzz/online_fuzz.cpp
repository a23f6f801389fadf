// The online replies' bodies: the bytes a score server sends, cut to their
// body as the requests cut it, then judged as a whole login reply
// (greeting and message of the day) and read as a whole table reply of
// each difficulty (entry and Best lines in pairs).
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "online/online.h"
#include "scores/scores.h"

namespace {

std::string gReached;

// What the Online tab keeps of a server stays within its bounds.
void CheckBounds(const OnlineTable& table) {
  if (motds < 0 || motds > 19) std::abort();
  for (int n = 1; n <= motds; ++n)
    if (MOTD[n].size() > kMotdLineMax) std::abort();
  if (AltScores.Count() > 30) std::abort();
  for (const auto& r : AltScores) {
    if (r->GameMode != -1 - table.mode || r->Level != table.level || r->GameFlags != table.flags) std::abort();
    if (r->Name.size() > static_cast<size_t>(kMaxNameLength)) std::abort();
    if (r->Score < 0 || r->Score > kOnlineScoreMax || r->Badges < 0 || r->Quit < 0) std::abort();
    for (int k = 1; k <= 30; ++k)
      if (r->Best[k] < 0) std::abort();
  }
}

}  // namespace

std::string fuzzsupport::SeedReached() { return gReached; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  gReached.clear();
  // No account: an upload is counted but refused before any request.
  RegName.clear();
  RegPass.clear();
  auto best = std::make_shared<Scores>();
  for (const std::string& body : {ReplyBody(reply), reply}) {
    ResetOnlineTables();
    ClearList(AltScores);
    ServerAnswer answer;
    answer.kind = ServerAnswer::Reply;
    answer.status = ReplyStatus(reply);
    answer.body = body;
    JudgeLogin(answer);
    CheckBounds({});
    if (LoggedIn == 1) gReached += "logged in with " + std::to_string(motds) + " message lines; ";
    if (LoginFailed == 1 && !OnlineTrouble.empty() && OnlineTrouble != kBadAnswer)
      gReached += "refused: " + OnlineTrouble + "; ";
    for (int mode = 0; mode <= 2; ++mode) {
      const OnlineTable table{mode, 0, 0};
      ResetOnlineTables();
      ClearList(AltScores);
      ReadOnlineTable(answer, best, table);
      CheckBounds(table);
      if (AltScores.Count() > 0) gReached += std::to_string(AltScores.Count()) + " rows of table " + std::to_string(mode) + "; ";
      if (OnlineTrouble.empty() && AltScores.Count() == 0 && UploadCount == 1) gReached += "no entries in table " + std::to_string(mode) + "; ";
    }
  }
  ResetOnlineTables();
  ClearList(AltScores);
  return 0;
}
