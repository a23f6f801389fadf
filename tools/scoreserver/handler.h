// The score server's requests, without any network: a request's method,
// target ("/kestrum/login.php?week=260&input=..."), body and the peer's
// address go in, a status and a body come out. The HTTP front end
// (scoreserver.cpp) and the fuzz harness both drive it; it is safe to call
// from many threads at once.
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
// Accounts and games live in SQLite; passwords only as Argon2id hashes in
// libsodium's self-describing form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
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
  // Hashes worked out at the same time (each takes hashMemory bytes).
  int hashSlots = 4;
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

  Reply Handle(const std::string& method, const std::string& target, const std::string& body,
               const std::string& peer);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The body every reply carries on the wire after its headers: the text and
// one CR LF, so that the game's reading of the body ends where it should.
std::string WireBody(const Reply& reply);

}  // namespace scoreserver
