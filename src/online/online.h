// Online scores: the HTTP/1.0 client record, the score-server requests, the
// account filter they share with the title screen, and the Online tab.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

// HTTP/1.0 client, one record per request and connection: Open, then one
// Get or Post, then Close. The reply is read as HTTP frames it, up to its
// end (its length, its last chunk, or the server's close) and comes back
// as text (status line, headers, the empty line and the body, each line
// ended by one LF, CRs dropped).
struct Thttp {
  Socket sock;
  Stream stream;
  std::string host;
  std::string agent = "VortaThttp/1.0";
  int autoClose = 0;
  // The bytes of the last reply as they came (CRs and all), and 1 when the
  // reply byte cap ended it while the server was still sending.
  std::string received;
  int cappedReply = 0;
  int Compare(const Thttp&) const { return 1; }

  // Connects to `port` of `host` (port 80 when 0). 1 when
  // connected, 0 when not: a name without an address connects nowhere.
  int Open(const std::string& hostName, int autoCloseFlag, int port = 0);
  // The request target is "/" + url. Only after an Open that answered 1.
  std::string Get(const std::string& url);
  std::string Post(const std::string& url, const std::vector<std::string>& keys,
                   const std::vector<std::string>& values);
  int Close();

  static std::string UrlEncode(const std::string& text);
  static std::string UrlDecode(const std::string& text);

 private:
  std::string Exchange(const std::string& request);
};

// The text of reply bytes as the client gives it: CRs dropped, a zero byte
// ending a line as an LF does.
std::string ReplyText(const std::string& bytes);
// Reply bytes read as HTTP. A reply is whole once its head has ended (the
// empty line after the status and header lines) and its body has come:
// the Content-Length's bytes when it gives one (bytes after them are no
// part of the reply), a chunked body up to its last chunk, none for a 204
// or 304, else what comes up to the server's close. Interim answers (1xx)
// before it do not count. A transfer coding other than chunked, a chunked
// body that breaks its framing and a content coding the client did not ask
// for (it asks for none) make it unreadable. Bytes that do not begin as
// HTTP does are no reply of it.
struct HttpReply {
  bool http = false;   // begins with "HTTP/" (or a first part of it: nothing at all, say)
  bool whole = false;  // an HTTP reply that came whole; always true for other text
  // Its framing says it has ended (an unreadable reply once its head has):
  // nothing more need be read, even while the server keeps the connection.
  bool ended = false;
  bool unreadable = false;  // whole, but not a body the client reads
  int status = 0;      // the status of the reply that counts; 0 without one
  std::string text;    // from that reply's status line on, its body decoded, as ReplyText gives it
};
HttpReply ReadHttpReply(const std::string& bytes);

// The score server: the host and port of the settings' "ScoreServer"
// ("host" or "host:port"); without a valid one, a host name that never
// resolves, port 80.
extern const char kNoScoreServer[];
void ScoreServerAddress(std::string& host, int& port);

// The requests: login, one table, one upload. Each filters the account
// first; login and upload answer "WRONG PASSWORD" without a request when the
// server could not take the account (AccountProblem). Each answers the body
// cut from the reply, or "" when no whole reply came.
std::string ServerSend2(const std::string& input);
std::string ServerGet(const std::string& table);
std::string ServerSend(const std::string& input);
// One request's parts: the filter and the refusal run where the request is
// made; the exchange itself may run on another thread.
struct ServerExchange {
  std::string host;
  int port = 80;
  std::string path;
};
bool PrepareRequest(const std::string& path, bool needsAccount, ServerExchange& exchange, std::string& refusal);
// What came of one request: no connection, a reply cut short by the time
// limits (whatever part of it came), one that ended before it was whole
// (the server closed early), one longer than the reply byte cap, a whole
// reply, or no request at all since the account could not be sent, or a
// whole reply whose body the client does not read (HttpReply::unreadable).
// Only a whole reply is read for what it says.
struct ServerAnswer {
  enum Kind { NoConnection, TimedOut, CutShort, TooLong, Reply, RefusedHere, Unreadable };
  Kind kind = NoConnection;
  int status = 0;    // the status of the reply's first line; 0 without one
  std::string body;  // the text cut from the reply (ReplyBody)
};
ServerAnswer RunExchange(const ServerExchange& exchange);
// The status number of a reply's "HTTP/1.x nnn" line; 0 without one.
int ReplyStatus(const std::string& reply);
std::string LoginPath(const std::string& input);
std::string TablePath(const std::string& table);
std::string UploadPath(const std::string& input);

// A request running beside the frame loop: Start it, look each frame
// whether it is Ready, then Take its answer. Starting never waits: the
// requests of every call run one after another off the frame thread, so
// the frame that asked goes on drawing while the server is slow.
class ServerCall {
 public:
  struct Job {
    ServerExchange exchange;
    ServerAnswer answer;
    std::atomic<bool> done{false};
  };
  ServerCall() = default;
  ServerCall(const ServerCall&) = delete;
  ServerCall& operator=(const ServerCall&) = delete;
  // A call started again before its answer was taken drops that answer.
  void Start(const std::string& path, bool needsAccount);
  bool Busy() const { return job_ && !job_->done.load(); }
  bool Ready() const;
  ServerAnswer Take();
  // No longer waits for the request under way (it still runs to its end).
  void Forget();

 private:
  std::shared_ptr<Job> job_;
};
// Waits up to `ms` for every request started to end; true when they have.
bool WaitForOnlineRequests(int ms);
// Requests started but not yet sent end without an answer.
void DropWaitingOnlineRequests();
// How long the closing sequence waits for a request under way.
constexpr int kClosingWaitMs = 500;

struct Scores;
// What the login and the upload send (before their paths): the account
// name with its proof, scrambled; the upload adds the record's fields.
std::string LoginInput();
std::string UploadInput(const Scores& record);

// The text between the first and second blank line of a reply (and after
// a third, ...), as the requests cut it.
std::string ReplyBody(const std::string& reply);

// The lengths of account name and password that the score server takes.
constexpr size_t kAccountMin = 4;
constexpr size_t kAccountMax = 64;
// Why the score server could not take this account (too short, too long,
// a "|" in either, a control character in the name); "" when it can.
std::string AccountProblem(const std::string& name, const std::string& password);

// One line of printable ASCII of at most 100 characters, no markup: how a
// server words a refusal.
bool IsPlainLine(const std::string& line);
// A refusal that says why: a plain line beginning with an upper-case word.
bool IsRefusalReason(const std::string& line);

// The account filter's characters, each turned into "_" in the account name
// and password.
extern const char kAccountFiltered[18];
// The filter applied to one text (its first `steps` characters).
std::string FilterAccountText(const std::string& text, int steps = 17);
// The whole filter on RegName, then RegPass.
void AccountCharFilter();

// Which field of the Online tab's login form takes the typed characters:
// 0 none, 1 the user name, 2 the password.
extern int intextedit;
extern int LoggedIn;            // 1 once a login succeeded (for the rest of the run)
extern int LoginFailed;         // 1 while the last login attempt failed
extern int OnlineRefreshState;  // 0 idle; 1 drop the table, 2 fetch, 3 wait for the button's release
extern int LastEditFocus;       // intextedit at the status view's last look
extern std::string MOTD[20];    // message of the day, lines 1..motds
extern int motds;
// The characters kept of a message line: more than the panel shows.
constexpr size_t kMotdLineMax = 100;

extern int UploadCount;         // uploads of the refresh under way
extern std::string OnlineReply;  // the last table reply
// Why the last login or table fetch failed when the server, not the account,
// was at fault: kCannotReach, kTooSlow, kCutShort, kBadAnswer or the reason
// the server gave for a refusal; empty after a good answer.
extern std::string OnlineTrouble;
extern const char* const kCannotReach;
extern const char* const kTooSlow;
extern const char* const kBadAnswer;
extern const char* const kCutShort;

// The game's limits on a score-server request: 3 s to connect (the name
// look-up included), 3 s for each wait for bytes, 5 s for a whole reply and
// 1 MiB of it, so no server holds a frame longer than that.
void InstallOnline();

// Back to the state of a fresh start: logged out, no message of the day.
void ResetOnlineTables();
// The login answer judged (LoggedIn, LoginFailed, OnlineTrouble) and the
// message of the day of a greeting read into MOTD.
void JudgeLogin(const ServerAnswer& answer);
// One online table: its difficulty (GameMode), level and flags.
struct OnlineTable {
  int mode = 0, level = 0, flags = 0;
};
// The highest score an online entry may hold: as many digits as the score
// table shows.
constexpr int64_t kOnlineScoreMax = 999999999999;
// An entry line and its Best line read into an online entry of `table`
// (its GameMode -1 - mode, its name cut to kMaxNameLength); none when the
// line holds no "|", belongs to another table or holds a number no game
// makes (a score without digits, below 0 or above kOnlineScoreMax, a
// value past its field's range).
std::shared_ptr<Scores> ReadOnlineEntry(const std::string& entryLine, const std::string& bestLine,
                                        const OnlineTable& table);
// A table answer for `table`: its entries put in place of the list's rows
// of that table in AltScores, OnlineTrouble set when it is no table (a
// page of HTML other than the 404 of an empty table, a reply not whole),
// and `best` (the local best of the table asked for, or none) uploaded
// when it belongs in the table.
void ReadOnlineTable(const ServerAnswer& answer, const std::shared_ptr<Scores>& best, const OnlineTable& table);
// Sends `record` (nothing without one) to the score server with the
// account's proof (the request runs beside the frame loop; its answer goes
// to the debug output).
void UploadScore(const std::shared_ptr<Scores>& record);
// Whether a login, fetch or upload is still waiting for its server.
bool OnlineRequestsBusy();
// Refresh state 1: drops the current table's online entries, then state 2.
void OnlineTableClear();

// The Online tab's view inside the title screen's side panel, run on every
// pass of the title loop; `selected` is 1 while the Online tab is shown.
void OnlineView(int panelX, int panelW, int selected);
