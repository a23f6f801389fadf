// The replies' bytes as the client reads them (ReadHttpReply), made into
// the answer a request gives, then judged as a login reply and read as a
// table reply. A reply that is not whole logs nobody in, adds no row and
// uploads nothing, and what is kept of any reply stays within bounds.
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "online/online.h"
#include "scores/scores.h"

namespace {

std::string gReached;

ServerAnswer AnswerOf(const std::string& bytes) {
  const HttpReply reply = ReadHttpReply(bytes);
  if (reply.status < 0 || reply.status > 999) std::abort();
  if (reply.http && reply.whole && reply.text.find("\n\n") == std::string::npos) std::abort();
  ServerAnswer answer;
  // An ended reply is whole; one the client does not read is whole too.
  if (reply.ended && !reply.whole) std::abort();
  if (reply.unreadable && !reply.whole) std::abort();
  answer.kind = !reply.whole ? ServerAnswer::CutShort : reply.unreadable ? ServerAnswer::Unreadable : ServerAnswer::Reply;
  answer.status = reply.status;
  answer.body = ReplyBody(reply.text);
  return answer;
}

// Judges `answer` as a login and as a table of each difficulty; true when
// anything came of it (a login, rows, an upload). `what` tells it all.
bool Judge(const ServerAnswer& answer, std::string& what) {
  what.clear();
  ResetOnlineTables();
  JudgeLogin(answer);
  if (motds < 0 || motds > 19) std::abort();
  for (int n = 1; n <= motds; ++n)
    if (MOTD[n].size() > kMotdLineMax) std::abort();
  bool acted = LoggedIn == 1;
  what += LoggedIn == 1 ? "logged in" : "login refused";
  if (!OnlineTrouble.empty()) what += " (" + OnlineTrouble + ")";
  for (int mode = 0; mode <= 2; ++mode) {
    ResetOnlineTables();
    ClearList(AltScores);
    ReadOnlineTable(answer, std::make_shared<Scores>(), {mode, 0, 0});
    const size_t rows = AltScores.Count();
    if (rows > 30) std::abort();
    for (const auto& r : AltScores)
      if (r->GameMode != -1 - mode || r->Name.size() > static_cast<size_t>(kMaxNameLength) || r->Score < 0) std::abort();
    acted |= rows > 0 || UploadCount > 0;
    what += "; table " + std::to_string(mode) + ": " + std::to_string(rows) + " rows";
    if (UploadCount > 0) what += ", upload";
    if (!OnlineTrouble.empty()) what += " (" + OnlineTrouble + ")";
  }
  ResetOnlineTables();
  ClearList(AltScores);
  return acted;
}

}  // namespace

std::string fuzzsupport::SeedReached() { return gReached; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // No account: an upload is counted but refused before any request.
  RegName.clear();
  RegPass.clear();
  const ServerAnswer answer = AnswerOf(bytes);
  std::string what;
  const bool acted = Judge(answer, what);
  if (answer.kind != ServerAnswer::Reply && acted) std::abort();
  // Bytes that are no HTTP reply stop before the reply layer.
  gReached = ReadHttpReply(bytes).http ? what : "";
  // More bytes never make a whole reply a cut one, nor an ended one
  // another: a first part that has ended is the whole reply.
  if (size > 1) {
    const HttpReply part = ReadHttpReply(bytes.substr(0, data[size - 1] % size));
    const HttpReply all = ReadHttpReply(bytes);
    if (part.http && part.whole && !all.whole) std::abort();
    if (part.http && part.whole && part.unreadable != all.unreadable) std::abort();
    if (part.ended && (!all.ended || part.text != all.text || part.status != all.status)) std::abort();
  }
  return 0;
}
