// The score-server requests and the account filter they begin with.
#include <algorithm>
#include <cstring>

#include "engine/startup/startup.h"
#include "online/online.h"
#include "scores/scores.h"

const char kAccountFiltered[18] = "*\"'-+&?{}[]~#\\/:;";

namespace {

// One sweep: each step replaces one character by "_", which is not itself
// filtered, so the steps in turn and one pass over the text agree.
void FilterInPlace(std::string& t, int steps) {
  const size_t n = static_cast<size_t>(std::clamp(steps, 0, 17));
  for (char& c : t)
    if (std::memchr(kAccountFiltered, c, n) != nullptr) c = '_';
}

}  // namespace

std::string FilterAccountText(const std::string& text, int steps) {
  std::string t = text;
  FilterInPlace(t, steps);
  return t;
}

// Runs at every title-screen frame: a clean field costs a scan, nothing more.
void AccountCharFilter() {
  FilterInPlace(RegName, 17);
  FilterInPlace(RegPass, 17);
}

std::string LoginInput() { return Scramble(RegName + "|" + AccountToken(), ""); }

std::string UploadInput(const Scores& r) {
  const std::string payload = ScoreLineHead(r) + "|" + ScoreLineToken + "|" + ScoreLineBest(r);
  return Scramble(RegName + "|" + AccountToken() + "|" + payload, "");
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

bool PrepareRequest(const std::string& path, bool needsAccount, ServerExchange& exchange, std::string& refusal) {
  AccountCharFilter();
  if (needsAccount && (RegName.size() < 4 || RegPass.size() < 4)) {
    refusal = "WRONG PASSWORD";
    return false;
  }
  exchange.path = path;
  ScoreServerAddress(exchange.host, exchange.port);
  return true;
}

std::string RunExchange(const ServerExchange& exchange) {
  Thttp client;
  // No connection, no reply: never the text of an earlier one.
  std::string reply;
  if (client.Open(exchange.host, 0, exchange.port) != 0) reply = client.Get(exchange.path);
  client.Close();
  return ReplyBody(reply);
}

ServerCall::~ServerCall() {
  if (worker_.joinable()) worker_.join();
}

void ServerCall::Start(const std::string& path, bool needsAccount) {
  if (worker_.joinable()) worker_.join();
  active_ = true;
  done_ = false;
  answer_.clear();
  ServerExchange exchange;
  std::string refusal;
  if (!PrepareRequest(path, needsAccount, exchange, refusal)) {
    answer_ = refusal;
    done_ = true;
    return;
  }
  worker_ = std::thread([this, exchange] {
    std::string answer = RunExchange(exchange);
    answer_ = std::move(answer);
    done_ = true;  // publishes answer_
  });
}

bool ServerCall::Ready() const { return active_ && done_.load(); }

std::string ServerCall::Take() {
  if (!Ready()) return "";
  if (worker_.joinable()) worker_.join();
  active_ = false;
  return std::move(answer_);
}

std::string LoginPath(const std::string& input) {
  return "/kestrum/login.php?week=" + std::to_string(GameWeek) + "&input=" + input;
}
std::string TablePath(const std::string& table) {
  return "/kestrum/tables/" + std::to_string(GameWeek) + "/" + table + ".txt";
}
std::string UploadPath(const std::string& input) {
  return "/kestrum/scores.php?Week=" + std::to_string(GameWeek) + "&Input=" + input;
}

namespace {

std::string Request(const std::string& path, bool needsAccount) {
  ServerExchange exchange;
  std::string refusal;
  if (!PrepareRequest(path, needsAccount, exchange, refusal)) return refusal;
  return RunExchange(exchange);
}

}  // namespace

std::string ServerSend2(const std::string& input) {
  return Request(LoginPath(input), true);
}

std::string ServerGet(const std::string& table) {
  return Request(TablePath(table), false);
}

std::string ServerSend(const std::string& input) {
  const std::string answer = Request(UploadPath(input), true);
  DebugLog("-->" + answer);
  return answer;
}
