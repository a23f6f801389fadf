// The score server's request handling in-process, without a network:
// one row per game, the names and numbers it refuses, the limits on new
// accounts and on failed logins, databases of older servers, and uploads
// that skip the slow hash only for the password already checked.
#include "handler.h"

#include <gtest/gtest.h>
#include <sodium.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "score_server.h"
#include "scores/scores.h"
#include "test_support.h"

namespace {

using scoreserver::Handler;
using scoreserver::Reply;
using testsupport::LoginTarget;
using testsupport::TableTarget;
using testsupport::UploadTarget;

scoreserver::Settings Quick() {
  scoreserver::Settings s;
  s.hashOps = crypto_pwhash_OPSLIMIT_MIN;
  s.hashMemory = crypto_pwhash_MEMLIMIT_MIN;
  return s;
}

Scores Game(int64_t score, int64_t stamp, const std::string& name = "Zoe", int mode = 1) {
  Scores r;
  r.Score = score;
  r.Timestamp = stamp;
  r.Name = name;
  r.GameMode = mode;
  return r;
}

class HandlerTest : public ::testing::Test {
 protected:
  void Start(scoreserver::Settings settings = Quick(), const std::string& db = ":memory:") {
    handler_ = std::make_unique<Handler>(std::move(settings));
    std::string error;
    ASSERT_TRUE(handler_->Open(db, error)) << error;
  }
  Reply Get(const std::string& target, const std::string& peer = "10.0.0.1") {
    return handler_->Handle("GET", target, "", peer);
  }
  Reply Login(const std::string& name, const std::string& password, const std::string& peer = "10.0.0.1") {
    return Get(LoginTarget(name, password), peer);
  }
  Reply Upload(const Scores& r, const std::string& name = "zoeplayer", const std::string& password = "right1",
               const std::string& peer = "10.0.0.1") {
    return Get(UploadTarget(name, password, r), peer);
  }
  // The entry lines of a table (every other line of its text).
  std::vector<std::string> Entries(int id) {
    std::vector<std::string> out;
    const std::string text = Get(TableTarget(id)).body;
    size_t start = 0;
    for (int line = 0; start < text.size(); ++line) {
      const size_t end = text.find('\n', start);
      if (line % 2 == 0) out.push_back(text.substr(start, end - start));
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return out;
  }

  std::unique_ptr<Handler> handler_;
};

// A refusal as the game shows it: the status and the exact text, one
// line of printable ASCII of at most 100 characters, upper-case words
// first, never "<" (which would make it a page).
void ExpectRefusal(const Reply& reply, int status, const std::string& text) {
  EXPECT_EQ(reply.status, status);
  EXPECT_EQ(reply.body, text);
  EXPECT_LE(reply.body.size(), 100u);
  for (char c : reply.body) EXPECT_TRUE(c >= 32 && c < 127 && c != '<') << static_cast<int>(c);
  const std::string first = reply.body.substr(0, reply.body.find_first_of(" :"));
  EXPECT_FALSE(first.empty());
  for (char c : first) EXPECT_TRUE(c >= 'A' && c <= 'Z') << reply.body;
}

// The week field of a target made for week 260.
std::string InWeek(std::string target, const std::string& week) {
  for (const char* at : {"=260&", "/260/"}) {
    const size_t p = target.find(at);
    if (p != std::string::npos) return target.replace(p + 1, 3, week);
  }
  return target;
}

TEST_F(HandlerTest, OneRowPerGame) {
  Start();
  ASSERT_EQ(Login("zoeplayer", "right1").body.substr(0, 8), "Welcome!");
  EXPECT_EQ(Upload(Game(900, 5000)).body, "Score Saved");
  for (int k = 0; k < 4; ++k) EXPECT_EQ(Upload(Game(900, 5000)).body, "Score Already Saved");
  EXPECT_EQ(Entries(1), std::vector<std::string>({"900|Zoe|0|5000|0|1|0|0"}));
  // Another game of the same account, the same stamp in another table, and
  // another account's game at the same moment are games of their own.
  EXPECT_EQ(Upload(Game(800, 5001)).body, "Score Saved");
  EXPECT_EQ(Upload(Game(700, 5000, "Zoe", 2)).body, "Score Saved");
  ASSERT_EQ(Login("annplayer", "hers1").body.substr(0, 8), "Welcome!");
  EXPECT_EQ(Upload(Game(600, 5000, "Ann"), "annplayer", "hers1").body, "Score Saved");
  EXPECT_EQ(Entries(1).size(), 3u);
  EXPECT_EQ(Entries(2).size(), 1u);
}

TEST_F(HandlerTest, NamesThatWouldBreakTheTableAreRefused) {
  Start();
  ASSERT_EQ(Login("zoeplayer", "right1").body.substr(0, 8), "Welcome!");
  const struct {
    std::string name;
    bool taken;
  } cases[] = {
      {"Eve\n99999999", false},  // a forged entry line in everyone's table
      {"Eve\r", false},
      {std::string("Ev\0e", 4), false},
      {"Eve\x7f", false},
      {"Eve|99", false},
      {std::string(65, 'e'), false},
      {"Ann Lee", true},
      {"Zo\xeb", true},  // Latin-1, as the game sends it
      {"", true},
  };
  int64_t stamp = 100;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Reply reply = Upload(Game(50, ++stamp, c.name));
    if (c.taken) {
      EXPECT_EQ(reply.body, "Score Saved");
    } else {
      EXPECT_EQ(reply.status, 400);
      EXPECT_EQ(reply.body.substr(0, 8), "BAD NAME");
    }
  }
  const auto entries = Entries(1);
  ASSERT_EQ(entries.size(), 3u);
  for (const std::string& e : entries) EXPECT_EQ(e.substr(0, 3), "50|") << e;
}

TEST_F(HandlerTest, NumbersNoGameMakesAreRefused) {
  Start();
  ASSERT_EQ(Login("zoeplayer", "right1").body.substr(0, 8), "Welcome!");
  const struct {
    const char* what;
    std::function<void(Scores&)> change;
    bool taken;
  } cases[] = {
      {"score 0", [](Scores& r) { r.Score = 0; }, true},
      {"the highest score", [](Scores& r) { r.Score = scoreserver::kMaxScore; }, true},
      {"all sixteen badges, quit", [](Scores& r) { r.Badges = 0xFFFF, r.Quit = 1; }, true},
      {"negative score", [](Scores& r) { r.Score = -1; }, false},
      {"beyond the score display", [](Scores& r) { r.Score = scoreserver::kMaxScore + 1; }, false},
      {"a seventeenth badge", [](Scores& r) { r.Badges = 0x10000; }, false},
      {"mode 3", [](Scores& r) { r.GameMode = 3; }, false},
      {"mode -1", [](Scores& r) { r.GameMode = -1; }, false},
      {"quit 2", [](Scores& r) { r.Quit = 2; }, false},
      {"level 10", [](Scores& r) { r.Level = 10; }, false},
      {"negative stamp", [](Scores& r) { r.Timestamp = -5; }, false},
      {"negative Best value", [](Scores& r) { r.Best[7] = -5; }, false},
  };
  int64_t stamp = 100;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Scores r = Game(10, ++stamp);
    c.change(r);
    const Reply reply = Upload(r);
    if (c.taken) {
      EXPECT_EQ(reply.body, "Score Saved");
    } else {
      EXPECT_EQ(reply.status, 400);
      EXPECT_EQ(reply.body.substr(0, 9), "BAD SCORE");
    }
  }
  EXPECT_EQ(Entries(1).size(), 3u);
}

TEST_F(HandlerTest, NewAccountsPerAddressPerMinute) {
  std::atomic<int64_t> now{1'000'000};
  scoreserver::Settings s = Quick();
  s.newAccountsPerMinute = 3;
  s.clock = [&now] { return now.load(); };
  Start(s);
  for (const char* name : {"player1", "player2", "player3"})
    EXPECT_EQ(Login(name, "pass1", "10.0.0.1").body.substr(0, 8), "Welcome!") << name;
  const Reply refused = Login("player4", "pass1", "10.0.0.1");
  EXPECT_EQ(refused.status, 429);
  EXPECT_EQ(refused.body.substr(0, 21), "TOO MANY NEW ACCOUNTS");
  EXPECT_EQ(Login("player1", "pass1", "10.0.0.1").body.substr(0, 16), "Password Correct") << "old accounts log in";
  EXPECT_EQ(Login("player5", "pass1", "10.0.0.2").body.substr(0, 8), "Welcome!") << "another address";
  now += 59'000;
  EXPECT_EQ(Login("player4", "pass1", "10.0.0.1").status, 429);
  now += 1'001;
  EXPECT_EQ(Login("player4", "pass1", "10.0.0.1").body.substr(0, 8), "Welcome!") << "a minute later";
}

// Two IPv6 addresses of one /64 are one client to the limits on new
// accounts and on failed logins; one of the next /64 is another.
TEST_F(HandlerTest, TheLimitsCountAnIpv6ClientByItsSlash64) {
  scoreserver::Settings s = Quick();
  s.newAccountsPerMinute = 2;
  s.failedLoginsPerAddress = 3;
  Start(s);
  const std::string one = "2001:db8:1:2::5", same = "2001:db8:1:2:ffff::9", next = "2001:db8:1:3::5";
  EXPECT_EQ(Login("player1", "pass1", one).body.substr(0, 8), "Welcome!");
  EXPECT_EQ(Login("player2", "pass1", same).body.substr(0, 8), "Welcome!");
  EXPECT_EQ(Login("player3", "pass1", same).status, 429) << "two accounts already from that /64";
  EXPECT_EQ(Login("player3", "pass1", next).body.substr(0, 8), "Welcome!");
  for (int k = 0; k < 3; ++k)
    EXPECT_EQ(Login(k % 2 ? "player1" : "player2", "guess" + std::to_string(k), k % 2 ? one : same).body,
              "WRONG PASSWORD");
  const Reply limited = Login("player1", "guess9", "2001:db8:1:2::77");
  EXPECT_EQ(limited.status, 429) << "three failures from that /64, from two of its addresses";
  EXPECT_EQ(limited.body, "TOO MANY FAILED LOGINS: TRY AGAIN IN A MINUTE");
  EXPECT_EQ(Login("player3", "guess9", next).body, "WRONG PASSWORD") << "the next /64 is checked";
}

// The hash that servers before this one stored.
std::string OldHash(const std::string& salt, const std::string& password) {
  std::string state = salt + password;
  unsigned char d[crypto_hash_sha256_BYTES];
  for (int i = 0; i < 20000; ++i) {
    const std::string in = state + salt;
    crypto_hash_sha256(d, reinterpret_cast<const unsigned char*>(in.data()), in.size());
    state.assign(reinterpret_cast<const char*>(d), sizeof d);
  }
  static const char hex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : d) out += hex[c >> 4], out += hex[c & 15];
  return out;
}

TEST_F(HandlerTest, AnOlderServersDatabaseKeepsItsAccountsAndLosesItsCopies) {
  testsupport::TempDir dir("oldscores");
  const std::string db = dir.path().string() + "/scores.db";
  {
    sqlite3* old = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &old), SQLITE_OK);
    const std::string sql =
        "CREATE TABLE accounts (name TEXT PRIMARY KEY, salt TEXT NOT NULL, hash TEXT NOT NULL);"
        "CREATE TABLE scores (id INTEGER PRIMARY KEY, account TEXT NOT NULL REFERENCES accounts(name),"
        " week INTEGER, mode INTEGER, level INTEGER, flags INTEGER, score INTEGER, name TEXT, badges INTEGER,"
        " stamp INTEGER, quit INTEGER, best TEXT);"
        "CREATE INDEX scores_table ON scores(week, mode, level, flags, score);"
        "INSERT INTO accounts VALUES ('zoeplayer', '00ff00ff', '" +
        OldHash("00ff00ff", "right1") +
        "');"
        "INSERT INTO scores (account, week, mode, level, flags, score, name, badges, stamp, quit, best) VALUES"
        " ('zoeplayer', 260, 1, 0, 0, 900, 'Zoe', 0, 5000, 0, '0'), ('zoeplayer', 260, 1, 0, 0, 900, 'Zoe', 0, 5000,"
        " 0, '0'), ('zoeplayer', 260, 1, 0, 0, 900, 'Zoe', 0, 5000, 0, '0'), ('zoeplayer', 260, 1, 0, 0, 800,"
        " 'Eve\n1|x', 0, 5001, 0, '0');";
    ASSERT_EQ(sqlite3_exec(old, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(old);
  }
  auto storedHash = [&] {
    sqlite3* look = nullptr;
    sqlite3_open(db.c_str(), &look);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(look, "SELECT hash FROM accounts WHERE name = 'zoeplayer'", -1, &s, nullptr);
    std::string hash = sqlite3_step(s) == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(s, 0)) : "";
    sqlite3_finalize(s);
    sqlite3_close(look);
    return hash;
  };
  Start(Quick(), db);
  // The copies of one game are one row now; a name stored raw by an older
  // server reaches the table without its line break and bar.
  EXPECT_EQ(Entries(1), std::vector<std::string>({"900|Zoe|0|5000|0|1|0|0", "800|Eve_1_x|0|5001|0|1|0|0"}));
  EXPECT_EQ(Login("zoeplayer", "wrong1").body, "WRONG PASSWORD");
  EXPECT_EQ(storedHash(), OldHash("00ff00ff", "right1")) << "a wrong password changes nothing";
  EXPECT_EQ(Login("zoeplayer", "right1").body.substr(0, 16), "Password Correct");
  EXPECT_EQ(storedHash().substr(0, 10), "$argon2id$") << "replaced at the first login";
  // A fresh server (nothing remembered) checks the new hash.
  handler_.reset();
  Start(Quick(), db);
  EXPECT_EQ(Login("zoeplayer", "right1").body.substr(0, 16), "Password Correct");
  EXPECT_EQ(Login("zoeplayer", "right2").body, "WRONG PASSWORD");
  EXPECT_EQ(Upload(Game(900, 5000)).body, "Score Already Saved");
}

TEST_F(HandlerTest, UploadsSkipTheSlowHashOnlyForThePasswordJustChecked) {
  std::atomic<int64_t> now{1'000'000};
  scoreserver::Settings s;  // the real hash cost
  s.proofSeconds = 600;
  s.gameSeconds = 0;  // eleven games at once
  s.clock = [&now] { return now.load(); };
  Start(s);
  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  ASSERT_EQ(Login("zoeplayer", "right1").body.substr(0, 8), "Welcome!");
  const auto login = Clock::now() - t0;
  const auto t1 = Clock::now();
  for (int k = 0; k < 10; ++k) EXPECT_EQ(Upload(Game(100 + k, 7000 + k)).body, "Score Saved");
  const auto uploads = Clock::now() - t1;
  EXPECT_LT(uploads, login) << "ten uploads cost less than the one hash of the login";
  EXPECT_EQ(Upload(Game(1, 8000), "zoeplayer", "wrong1").body, "WRONG PASSWORD");
  EXPECT_EQ(Upload(Game(1, 8001), "annplayer", "right1").body, "WRONG PASSWORD") << "no account, nothing stored";
  now += 601'000;  // forgotten: the hash is checked again, and still holds
  EXPECT_EQ(Upload(Game(1, 8002)).body, "Score Saved");
  EXPECT_EQ(Entries(1).size(), 11u);
}

TEST_F(HandlerTest, RequestsOfNoKnownShapeGetAStatus) {
  Start();
  const struct {
    const char* method;
    std::string target;
    int status;
  } cases[] = {
      {"GET", "", 404},
      {"GET", "/", 404},
      {"GET", "//kestrum/tables/260/.txt", 404},
      {"GET", "//kestrum/tables/260/-1.txt", 404},
      {"GET", "//kestrum/tables/99999999999999999999/1.txt", 404},
      {"GET", "//kestrum/tables/260/1.txt/x", 404},
      {"GET", "//kestrum/login.php?week=x&input=00", 400},
      {"GET", "//kestrum/login.php?week=260&input=0", 200},
      {"GET", "//kestrum/login.php?week=260&input=" + std::string(5000, 'F'), 200},
      {"GET", "//kestrum/scores.php?Week=260", 200},
      {"GET", "//kestrum/scores.php?week=260&Input=00", 400},
      {"POST", "//kestrum/tables/260/1.txt", 405},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target.substr(0, 60));
    const Reply reply = handler_->Handle(c.method, c.target, "", "10.0.0.1");
    EXPECT_EQ(reply.status, c.status);
    if (c.status == 200) {
      EXPECT_EQ(reply.body, "WRONG PASSWORD");
    }
  }
  // The page the game takes for an empty table.
  EXPECT_NE(Get(TableTarget(1)).body.find("<HEAD>"), std::string::npos);
}

// Guessing: ten failed checks a minute from one address, and ten against
// one account from the addresses that never logged in to it; past them a
// check is refused before any hash. The password the server remembers for
// an account, and the one an address logged in to it with, are no guesses:
// they pass the limit of their address, so the players behind a guesser's
// router are not shut out. Any other password refused there has been told
// it is wrong, so it counts against the account as a guess does.
TEST_F(HandlerTest, FailedLoginsAreLimitedPerAddressAndPerAccount) {
  std::atomic<int64_t> now{1'000'000};
  std::atomic<int> hashes{0};
  scoreserver::Settings s = Quick();
  s.clock = [&now] { return now.load(); };
  s.beforeHash = [&hashes] { ++hashes; };
  Start(s);
  const char kLimited[] = "TOO MANY FAILED LOGINS: TRY AGAIN IN A MINUTE";
  const std::string shared = "10.0.0.9";  // a router: a guesser and players behind it
  // oldplayer logged in from behind the router long enough ago that its
  // password is no longer remembered; zoeplayer lately; annplayer (from
  // home) and bobplayer lately too, never from there.
  ASSERT_EQ(Login("oldplayer", "old111", shared).body.substr(0, 8), "Welcome!");
  now += 601'000;
  ASSERT_EQ(Login("zoeplayer", "right1", shared).body.substr(0, 8), "Welcome!");
  ASSERT_EQ(Login("annplayer", "hers1").body.substr(0, 8), "Welcome!");
  ASSERT_EQ(Login("bobplayer", "his111", "10.0.0.2").body.substr(0, 8), "Welcome!");
  // The guesser: ten wrong passwords, at bobplayer and at annplayer.
  for (int k = 0; k < 10; ++k)
    EXPECT_EQ(Login(k % 2 ? "bobplayer" : "annplayer", "guess" + std::to_string(k), shared).body, "WRONG PASSWORD");
  const struct {
    const char* what;
    std::function<Reply()> request;
    int status;
    std::string reply;  // its start
    int hashed;
  } cases[] = {
      {"trusted there, remembered: a login", [&] { return Login("zoeplayer", "right1", shared); }, 200,
       "Password Correct", 0},
      {"trusted there, remembered: an upload", [&] { return Upload(Game(5, 5000), "zoeplayer", "right1", shared); },
       200, "Score Saved", 0},
      {"trusted there, forgotten: checked", [&] { return Login("oldplayer", "old111", shared); }, 200,
       "Password Correct", 1},
      {"new there, remembered", [&] { return Login("annplayer", "hers1", shared); }, 200, "Password Correct", 0},
      {"a new account", [&] { return Login("newplayer", "right1", shared); }, 429, kLimited, 0},
      {"a guess at an account trusted there", [&] { return Login("zoeplayer", "guess", shared); }, 429, kLimited, 0},
      {"a guess at another account", [&] { return Login("bobplayer", "guess", shared); }, 429, kLimited, 0},
      {"another address", [&] { return Login("bobplayer", "his111", "10.0.0.8"); }, 200, "Password Correct", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int before = hashes;
    const Reply reply = c.request();
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.body.substr(0, c.reply.size()), c.reply);
    if (c.status == 429) ExpectRefusal(reply, 429, kLimited);
    EXPECT_EQ(hashes - before, c.hashed);
  }

  // Refused guesses from behind the router add up: nine more at
  // zoeplayer close the account to that address, her own password too (no
  // one tells her from the guesser there), but not to another; four more at
  // bobplayer (five checked, one refused already) close it to every address
  // that never logged in to it, but not to his own.
  for (int k = 0; k < 9; ++k) ExpectRefusal(Login("zoeplayer", "more" + std::to_string(k), shared), 429, kLimited);
  for (int k = 0; k < 4; ++k) ExpectRefusal(Login("bobplayer", "more" + std::to_string(k), shared), 429, kLimited);
  ExpectRefusal(Login("zoeplayer", "right1", shared), 429, kLimited);
  EXPECT_EQ(Login("zoeplayer", "right1", "10.0.0.7").body.substr(0, 16), "Password Correct");
  ExpectRefusal(Login("bobplayer", "his111", "10.0.0.6"), 429, kLimited);
  EXPECT_EQ(Login("bobplayer", "his111", "10.0.0.2").body.substr(0, 16), "Password Correct");
  EXPECT_EQ(Login("annplayer", "hers1", shared).body.substr(0, 16), "Password Correct");

  now += 60'001;  // a minute on
  EXPECT_EQ(Login("zoeplayer", "right1", shared).body.substr(0, 16), "Password Correct");
  EXPECT_EQ(Login("newplayer", "right1", shared).body.substr(0, 8), "Welcome!");

  // The same wrong password again and again (the game sends one login a
  // frame while its Login button is held) is one failure, not a lock-out.
  // It is hashed once, too.
  const int before = hashes;
  for (int k = 0; k < 30; ++k) EXPECT_EQ(Login("annplayer", "typo1", "10.0.3.1").body, "WRONG PASSWORD");
  EXPECT_EQ(hashes, before + 1);
  EXPECT_EQ(Login("annplayer", "hers1", "10.0.3.1").body.substr(0, 16), "Password Correct");
}

// Twenty addresses guess at one account, one guess every half second
// between them, for three minutes, while its owner logs in every half
// second from home: the owner's logins do not reopen the account to
// strangers, so at most ten guesses a minute are checked. The owner is
// served throughout, except from an address that never logged in.
TEST_F(HandlerTest, AnOwnerAtPlayDoesNotLiftTheLimitOfGuessesAtTheAccount) {
  std::atomic<int64_t> now{1'000'000};
  scoreserver::Settings s = Quick();
  s.clock = [&now] { return now.load(); };
  s.gameSeconds = 0;  // a game a second
  Start(s);
  ASSERT_EQ(Login("zoeplayer", "right1").body.substr(0, 8), "Welcome!");
  int checked[3] = {0, 0, 0}, refused = 0;
  const int64_t start = now;
  for (int step = 0; step < 360; ++step) {
    const std::string from = "10.0.1." + std::to_string(step % 20);
    const Reply guess = Login("zoeplayer", "guess" + std::to_string(step), from);
    if (guess.body == "WRONG PASSWORD") {
      ++checked[(now - start) / 60'000];
    } else {
      EXPECT_EQ(guess.status, 429) << guess.body;
      ++refused;
    }
    const Reply login = Login("zoeplayer", "right1");
    EXPECT_EQ(login.body.substr(0, 16), "Password Correct") << step;
    if (step % 2) {
      EXPECT_EQ(Upload(Game(step, 9000 + step)).body, "Score Saved") << step;
    }
    if (step == 200) {
      ExpectRefusal(Login("zoeplayer", "right1", "10.0.2.1"), 429, "TOO MANY FAILED LOGINS: TRY AGAIN IN A MINUTE");
    }
    now += 500;
  }
  for (int minute = 0; minute < 3; ++minute) {
    SCOPED_TRACE(minute);
    EXPECT_LE(checked[minute], 10);
    EXPECT_GE(checked[minute], 5) << "the limit is a minute's, not for ever";
  }
  EXPECT_EQ(refused + checked[0] + checked[1] + checked[2], 360);
}

// With its one thread held and its queue full, the pool refuses a login
// at once; tables, uploads of a remembered password and refusals are
// answered meanwhile, and the checks held answer when it goes on.
TEST_F(HandlerTest, AFullHashQueueAnswersBusyAndHoldsUpNothingElse) {
  std::mutex m;
  std::condition_variable changed;
  bool open = true, holding = false;
  scoreserver::Settings s = Quick();
  s.hashSlots = 1;
  s.hashQueue = 1;
  s.beforeHash = [&] {
    std::unique_lock<std::mutex> lock(m);
    holding = true;
    changed.notify_all();
    changed.wait(lock, [&] { return open; });
    holding = false;
  };
  Start(s);
  ASSERT_EQ(Login("zoeplayer", "right1").body.substr(0, 8), "Welcome!");
  ASSERT_EQ(Upload(Game(900, 5000)).body, "Score Saved");
  {
    std::lock_guard<std::mutex> lock(m);
    open = false;
  }
  auto begin = [this](const std::string& target, std::promise<Reply>& later) {
    return handler_->Begin("GET", target, "", "10.0.0.1", [&later](Reply r) { later.set_value(std::move(r)); });
  };
  std::promise<Reply> first, second, third;
  EXPECT_FALSE(begin(LoginTarget("player1", "pass1"), first));
  {
    std::unique_lock<std::mutex> lock(m);
    changed.wait(lock, [&] { return holding; });  // the thread has taken it
  }
  EXPECT_FALSE(begin(LoginTarget("player2", "pass1"), second)) << "waits in the queue";
  const std::optional<Reply> busy = begin(LoginTarget("player3", "pass1"), third);
  ASSERT_TRUE(busy);
  ExpectRefusal(*busy, 503, "SERVER BUSY: TRY AGAIN IN A MOMENT");
  // Nothing else waits for the pool.
  std::promise<Reply> unused;
  const std::optional<Reply> table = begin(TableTarget(1), unused);
  ASSERT_TRUE(table);
  EXPECT_EQ(table->body.substr(0, 4), "900|");
  const std::optional<Reply> upload = begin(UploadTarget("zoeplayer", "right1", Game(800, 5001)), unused);
  ASSERT_TRUE(upload);
  EXPECT_EQ(upload->body, "Score Saved");
  const std::optional<Reply> refused = begin(UploadTarget("zoeplayer", "right1", Game(-1, 5002)), unused);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 400);
  {
    std::lock_guard<std::mutex> lock(m);
    open = true;
  }
  changed.notify_all();
  EXPECT_EQ(first.get_future().get().body.substr(0, 8), "Welcome!");
  EXPECT_EQ(second.get_future().get().body.substr(0, 8), "Welcome!");
  EXPECT_EQ(Login("player3", "pass1").body.substr(0, 8), "Welcome!") << "the busy one, tried again";
  handler_->Stop();
  ExpectRefusal(Login("player4", "pass1"), 503, "SERVER BUSY: TRY AGAIN IN A MOMENT");
  EXPECT_EQ(Login("zoeplayer", "right1").body.substr(0, 16), "Password Correct") << "remembered: no hash";
}

// One new game per 10 s with a burst of six; a game stored before is
// "Score Already Saved" whatever the allowance.
TEST_F(HandlerTest, NewGamesPerAccountAreWhatPlayingCanMake) {
  std::atomic<int64_t> now{1'000'000};
  scoreserver::Settings s = Quick();
  s.clock = [&now] { return now.load(); };
  s.gameSeconds = 10;
  s.gameBurst = 6;
  Start(s);
  const char kTooMany[] = "TOO MANY GAMES FOR THIS ACCOUNT: TRY AGAIN LATER";
  ASSERT_EQ(Login("zoeplayer", "right1").body.substr(0, 8), "Welcome!");
  ASSERT_EQ(Login("annplayer", "hers1").body.substr(0, 8), "Welcome!");
  int64_t stamp = 1000;
  for (int k = 0; k < 6; ++k) EXPECT_EQ(Upload(Game(100 + k, ++stamp)).body, "Score Saved") << k;
  ExpectRefusal(Upload(Game(scoreserver::kMaxScore, ++stamp)), 429, kTooMany);
  const Reply again = Upload(Game(100, 1001));
  EXPECT_EQ(again.status, 200);
  EXPECT_EQ(again.body, "Score Already Saved");
  EXPECT_EQ(Upload(Game(50, 1001, "Ann"), "annplayer", "hers1").body, "Score Saved") << "another account";
  now += 10'000;
  EXPECT_EQ(Upload(Game(200, ++stamp)).body, "Score Saved");
  ExpectRefusal(Upload(Game(201, ++stamp)), 429, kTooMany);
  now += 3'600'000;  // an hour idle gives back the burst, no more
  for (int k = 0; k < 6; ++k) EXPECT_EQ(Upload(Game(300 + k, ++stamp)).body, "Score Saved") << k;
  ExpectRefusal(Upload(Game(400, ++stamp)), 429, kTooMany);
  const auto entries = Entries(1);
  EXPECT_EQ(entries.size(), 14u);
  for (const std::string& e : entries) EXPECT_NE(e.substr(0, 12), std::to_string(scoreserver::kMaxScore));
}

// Account names take what display names take; weeks are the series' game
// numbers, 1 to 999.
TEST_F(HandlerTest, AccountNamesAndWeeksNoGameSends) {
  Start();
  const char kBadName[] = "BAD NAME: a name holds no line break, no control character and no |";
  const struct {
    std::string name;
    bool taken;
  } names[] = {
      {"zoe\tplayer", false}, {"zoe\nplayer", false}, {std::string("zoe\0player", 10), false},
      {"zoe\x7fplayer", false}, {"Zo\xeb Lee", true}, {"ann_lee!", true},
  };
  for (const auto& n : names) {
    SCOPED_TRACE(n.name);
    const Reply login = Login(n.name, "pass1");
    if (n.taken) {
      EXPECT_EQ(login.body.substr(0, 8), "Welcome!");
    } else {
      ExpectRefusal(login, 400, kBadName);
      ExpectRefusal(Upload(Game(5, 5000), n.name, "pass1"), 400, kBadName);
    }
  }
  ASSERT_EQ(Login("zoeplayer", "right1").body.substr(0, 8), "Welcome!");
  int64_t stamp = 100;
  for (const char* week : {"0", "-1", "1000", "999999999999999999"}) {
    SCOPED_TRACE(week);
    ExpectRefusal(Get(InWeek(LoginTarget("zoeplayer", "right1"), week)), 400,
                  "BAD WEEK: the game numbers are 1 to 999");
    ExpectRefusal(Get(InWeek(UploadTarget("zoeplayer", "right1", Game(7, ++stamp)), week)), 400,
                  "BAD WEEK: the game numbers are 1 to 999");
    const Reply table = Get(InWeek(TableTarget(1), week));
    EXPECT_EQ(table.status, 404);
    EXPECT_NE(table.body.find("<HEAD>"), std::string::npos);
  }
  for (const char* week : {"1", "999"}) {
    SCOPED_TRACE(week);
    EXPECT_EQ(Get(InWeek(UploadTarget("zoeplayer", "right1", Game(8, ++stamp)), week)).body, "Score Saved");
    EXPECT_EQ(Get(InWeek(TableTarget(1), week)).body.substr(0, 2), "8|");
  }
  EXPECT_EQ(Get(TableTarget(1)).status, 404) << "nothing reached week 260";
}

}  // namespace
