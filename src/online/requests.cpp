// The score-server requests and the account filter they begin with.
#include "engine/startup/startup.h"
#include "online/online.h"
#include "scores/scores.h"

const char kAccountFiltered[18] = "*\"'-+&?{}[]~#\\/:;";

std::string FilterAccountText(const std::string& text, int steps) {
  std::string t = text;
  for (int k = 0; k < steps && k < 17; ++k) t = Replace(t, std::string(1, kAccountFiltered[k]), "_");
  return t;
}

void AccountCharFilter() {
  RegName = FilterAccountText(RegName);
  RegPass = FilterAccountText(RegPass);
}

std::string ReplyBody(const std::string& reply) {
  std::string answer;
  bool capture = false;
  const size_t length = reply.size();
  for (size_t p = 0; p < length; ++p) {
    if (p + 1 < length && reply[p] == '\n' && reply[p + 1] == '\n') {
      capture = !capture;
      p += 2;
    }
    if (capture && p < length) answer += reply[p];
  }
  return answer;
}

namespace {

std::string Request(const std::string& path, bool needsAccount) {
  AccountCharFilter();
  if (needsAccount && (RegName.size() < 4 || RegPass.size() < 4)) return "WRONG PASSWORD";
  Thttp client;
  // No connection, no reply: never the text of an earlier one.
  std::string reply;
  std::string host;
  int port = 80;
  ScoreServerAddress(host, port);
  if (client.Open(host, 0, port) != 0) reply = client.Get(path);
  client.Close();
  return ReplyBody(reply);
}

}  // namespace

std::string ServerSend2(const std::string& input) {
  return Request("/kestrum/login.php?week=" + std::to_string(GameWeek) + "&input=" + input, true);
}

std::string ServerGet(const std::string& table) {
  return Request("/kestrum/tables/" + std::to_string(GameWeek) + "/" + table + ".txt", false);
}

std::string ServerSend(const std::string& input) {
  const std::string answer = Request("/kestrum/scores.php?Week=" + std::to_string(GameWeek) + "&Input=" + input, true);
  DebugLog("-->" + answer);
  return answer;
}
