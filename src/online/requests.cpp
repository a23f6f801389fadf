// The score-server requests and the account filter they begin with.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

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

std::string AccountProblem(const std::string& name, const std::string& password) {
  if (name.size() < kAccountMin) return "USERNAME TOO SHORT";
  if (password.size() < kAccountMin) return "PASSWORD TOO SHORT";
  if (name.size() > kAccountMax) return "USERNAME TOO LONG: 64 CHARACTERS AT MOST";
  if (password.size() > kAccountMax) return "PASSWORD TOO LONG: 64 CHARACTERS AT MOST";
  // The server splits the account's proof at "|"; a name is shown in tables.
  const auto control = [](unsigned char c) { return c < 32 || c == 127; };
  if (std::any_of(name.begin(), name.end(), [&](unsigned char c) { return c == '|' || control(c); }))
    return "USERNAME MAY HOLD NO | AND NO CONTROL CHARACTER";
  if (password.find('|') != std::string::npos) return "PASSWORD MAY HOLD NO |";
  return "";
}

bool IsPlainLine(const std::string& line) {
  return !line.empty() && line.size() <= 100 &&
         std::none_of(line.begin(), line.end(), [](unsigned char c) { return c < 32 || c > 126 || c == '<'; });
}

bool IsRefusalReason(const std::string& line) {
  if (!IsPlainLine(line)) return false;
  size_t word = 0;
  while (word < line.size() && line[word] >= 'A' && line[word] <= 'Z') ++word;
  return word >= 2 && !(word < line.size() && line[word] >= 'a' && line[word] <= 'z');
}

bool PrepareRequest(const std::string& path, bool needsAccount, ServerExchange& exchange, std::string& refusal) {
  AccountCharFilter();
  if (needsAccount && !AccountProblem(RegName, RegPass).empty()) {
    refusal = "WRONG PASSWORD";
    return false;
  }
  exchange.path = path;
  ScoreServerAddress(exchange.host, exchange.port);
  return true;
}

int ReplyStatus(const std::string& reply) {
  if (reply.rfind("HTTP/", 0) != 0) return 0;
  const size_t space = reply.find(' ');
  if (space == std::string::npos || space > 12 || reply.size() < space + 4) return 0;
  int status = 0;
  for (size_t k = space + 1; k < space + 4; ++k) {
    if (reply[k] < '0' || reply[k] > '9') return 0;
    status = status * 10 + (reply[k] - '0');
  }
  return status;
}

ServerAnswer RunExchange(const ServerExchange& exchange) {
  Thttp client;
  ServerAnswer answer;
  // Once connected, whatever comes is a reply, even none at all: only a
  // connection that never came about counts as no connection.
  if (client.Open(exchange.host, 0, exchange.port) != 0) {
    client.Get(exchange.path);
    const HttpReply reply = ReadHttpReply(client.received);
    if (reply.ended) {
      // Its framing ended it, whatever the connection did after.
      answer.kind = reply.unreadable ? ServerAnswer::Unreadable : ServerAnswer::Reply;
    } else if (SocketStreamTimedOut(client.stream)) {
      answer.kind = ServerAnswer::TimedOut;
    } else if (client.cappedReply) {
      answer.kind = ServerAnswer::TooLong;
    } else {
      answer.kind = reply.whole ? ServerAnswer::Reply : ServerAnswer::CutShort;
    }
    answer.status = reply.status;
    answer.body = ReplyBody(reply.text);
  }
  client.Close();
  return answer;
}

namespace {

// The requests the Online tab starts run one after another on a worker of
// their own, in the order they were started: a request that comes while
// another runs waits its turn there, never on the frame thread. The line
// is made once and never destroyed, so a request still running when the
// program ends holds nothing up.
class RequestLine {
 public:
  void Add(std::shared_ptr<ServerCall::Job> job) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_) {
      started_ = true;
      std::thread([this] { Run(); }).detach();
    }
    waiting_.push_back(std::move(job));
    wake_.notify_one();
  }
  bool WaitIdle(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(ms < 0 ? 0 : ms),
                          [this] { return waiting_.empty() && !running_; });
  }
  // The requests not yet started end unanswered.
  void DropWaiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& job : waiting_) job->done = true;
    waiting_.clear();
    if (!running_) idle_.notify_all();
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return !waiting_.empty(); });
      std::shared_ptr<ServerCall::Job> job = std::move(waiting_.front());
      waiting_.pop_front();
      running_ = true;
      lock.unlock();
      ServerAnswer answer = RunExchange(job->exchange);
      job->answer = std::move(answer);
      job->done = true;  // publishes the answer
      job.reset();
      lock.lock();
      running_ = false;
      if (waiting_.empty()) idle_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::deque<std::shared_ptr<ServerCall::Job>> waiting_;
  bool running_ = false;
  bool started_ = false;
};

RequestLine& Line() {
  static RequestLine* const line = new RequestLine;
  return *line;
}

}  // namespace

void ServerCall::Start(const std::string& path, bool needsAccount) {
  // An earlier request of this call still under way keeps its turn; its
  // answer is no longer wanted.
  job_ = std::make_shared<Job>();
  std::string refusal;
  if (!PrepareRequest(path, needsAccount, job_->exchange, refusal)) {
    job_->answer.kind = ServerAnswer::RefusedHere;
    job_->answer.body = refusal;
    job_->done = true;
    return;
  }
  Line().Add(job_);
}

bool ServerCall::Ready() const { return job_ && job_->done.load(); }

ServerAnswer ServerCall::Take() {
  if (!Ready()) return {};
  ServerAnswer answer = std::move(job_->answer);
  job_.reset();
  return answer;
}

void ServerCall::Forget() { job_.reset(); }

bool WaitForOnlineRequests(int ms) { return Line().WaitIdle(ms); }

void DropWaitingOnlineRequests() { Line().DropWaiting(); }

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
  const ServerAnswer answer = RunExchange(exchange);
  return answer.kind == ServerAnswer::Reply ? answer.body : "";
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
