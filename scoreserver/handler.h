// The score server's requests, without any network: a request's method,
// target ("/kestrum/login.php?week=260&input=..."), body and the peer's
// address go in, a status and a body come out. The HTTP front end
// (library.cpp) and the fuzz harness both drive it; it is safe to call
// from many threads at once. Password hashes run on a small pool of threads
// of its own, so that a request which needs none (a table, an upload whose
// password was checked lately, a refusal) never waits behind one. Its
// limits per address count an IPv6 peer by its /64 (address.h).
//
// What it speaks is fixed by the game's client:
//   GET /kestrum/login.php?week=W&input=HEX    login; a new name registers
//       "Password Correct|MOTD", "Welcome!|MOTD" or "WRONG PASSWORD"
//   GET /kestrum/tables/W/ID.txt               the 30 best games of table ID
//       (mode + level*100 + flags*1000): per game an entry line
//       "score|name|badges|stamp|level|mode|flags|quit" and a line of the 30
//       Best values; an HTML page holding "<HEAD>" when the table is empty
//   GET /kestrum/scores.php?Week=W&Input=HEX   one game's upload
//       "Score Saved", "Score Already Saved" or a refusal
// W is the game's number, 1 to 999. Every refusal other than "WRONG
// PASSWORD" has a status of 400, 429 or 503 and one short line of upper-case
// words first, which the game can show as it stands.
// Accounts and games live in the store (store.h); passwords only as Argon2id hashes in
// libsodium's self-describing form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace scoreserver {

struct Reply {
  int status = 200;
  std::string body;
};

struct Settings {
  std::string motd = "Good luck up there!";
  // New accounts one peer address may make in any 60 s.
  int newAccountsPerMinute = 10;
  // How long a password checked against its hash is remembered (as a keyed
  // digest, in memory only), so that uploads, which carry the password
  // every time, skip the slow hash.
  int proofSeconds = 600;
  // Argon2id cost; 0 takes libsodium's interactive limits. Tests and the
  // fuzz harness may pass the library's minimum to run quickly.
  unsigned long long hashOps = 0;
  size_t hashMemory = 0;
  // Threads of the hash pool: hashes worked out at the same time (each
  // takes hashMemory bytes); and the checks that may wait for one of them.
  // A login past that is told the server is busy, at once.
  int hashSlots = 4;
  int hashQueue = 32;
  // Failed password checks (logins, and uploads whose password is not
  // remembered) in any 60 s, from one address, and against one account
  // from addresses that have not logged in to it before; past them a check
  // is refused without a hash. A wrong password counts once however often
  // it comes (and is not hashed again); against an account, a check under
  // way counts until it turns out right; one address has at most 16 under
  // way.
  int failedLoginsPerAddress = 10;
  int failedLoginsPerAccount = 10;
  // New games one account may store: one per gameSeconds, with a burst of
  // gameBurst (a game takes longer than that to play). 0 seconds: no limit.
  int gameSeconds = 10;
  int gameBurst = 6;
  // Run on a pool thread before each password check (tests hold the pool
  // with it); empty: nothing.
  std::function<void()> beforeHash;
  // Milliseconds of a steady clock; empty: the system's.
  std::function<int64_t()> clock;
};

// The highest score a game can show (its score display has 12 digits).
constexpr int64_t kMaxScore = 999'999'999'999;

class Handler {
 public:
  explicit Handler(Settings settings = {});
  ~Handler();
  Handler(const Handler&) = delete;
  Handler& operator=(const Handler&) = delete;

  // Opens or creates the database (":memory:" for one in memory) and brings
  // one made by an earlier server up to date. False, with the reason in
  // `error`, when it cannot.
  bool Open(const std::string& path, std::string& error);

  // Answers the request at once, or, when a password has to be hashed,
  // answers nothing and calls `later` exactly once with the reply, from one
  // of the pool's threads (never from within Begin).
  std::optional<Reply> Begin(const std::string& method, const std::string& target, const std::string& body,
                             const std::string& peer, std::function<void(Reply)> later);
  // Begin, waiting for the reply.
  Reply Handle(const std::string& method, const std::string& target, const std::string& body,
               const std::string& peer);
  // Finishes the checks waiting in the pool (each `later` is called) and
  // ends its threads; checks asked for after are answered busy.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The body every reply carries on the wire after its headers: the text and
// one CR LF, so that the game's reading of the body ends where it should.
std::string WireBody(const Reply& reply);

}  // namespace scoreserver
