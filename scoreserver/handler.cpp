// The score server's requests: logins, uploads and tables, and the limits
// on them, over the store (store.h).
#include "handler.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <future>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "address.h"
#include "scores/scores.h"
#include "store.h"

namespace scoreserver {

namespace {

constexpr int kTableRows = 30;
constexpr size_t kMaxAccountText = 64;  // name and password, each
constexpr size_t kMaxDisplayName = 64;
constexpr int kLegacyRounds = 20000;    // the salted, iterated SHA-256 of older servers
constexpr size_t kMaxProofs = 100000;
constexpr size_t kMaxAddresses = 4096;
constexpr int64_t kMinute = 60'000;
constexpr int kChecksPerAddress = 16;  // password checks of one address waiting or under way
constexpr int64_t kTrustMs = 30LL * 24 * 3600 * 1000;  // an address that logged in to an account, remembered
constexpr int64_t kFirstWeek = 1, kLastWeek = 999;     // the game numbers of the series: three digits

const char kEmptyTable[] = "<HTML><HEAD><TITLE>404 Not Found</TITLE></HEAD><BODY>No such table</BODY></HTML>";
const char kNoSuchPage[] = "<HTML><HEAD><TITLE>404 Not Found</TITLE></HEAD></HTML>";
const char kWrongPassword[] = "WRONG PASSWORD";
const char kBadName[] = "BAD NAME: a name holds no line break, no control character and no |";
const char kBadScore[] = "BAD SCORE";
const char kOutOfRange[] = "BAD SCORE: no game makes these numbers";
const char kTooManyAccounts[] = "TOO MANY NEW ACCOUNTS FROM YOUR ADDRESS: TRY AGAIN IN A MINUTE";
const char kTooManyFailed[] = "TOO MANY FAILED LOGINS: TRY AGAIN IN A MINUTE";
const char kBusy[] = "SERVER BUSY: TRY AGAIN IN A MOMENT";
const char kTooManyGames[] = "TOO MANY GAMES FOR THIS ACCOUNT: TRY AGAIN LATER";
const char kBadWeek[] = "BAD WEEK: the game numbers are 1 to 999";

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t at = s.find(sep, start);
    out.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return out;
    start = at + 1;
  }
}

// A decimal number as the game writes one: an optional "-", 1 to 18 digits.
bool Number(const std::string& s, int64_t& out) {
  const size_t sign = !s.empty() && s[0] == '-' ? 1 : 0;
  if (s.size() == sign || s.size() - sign > 18) return false;
  for (size_t j = sign; j < s.size(); ++j)
    if (s[j] < '0' || s[j] > '9') return false;
  out = std::strtoll(s.c_str(), nullptr, 10);
  return true;
}

std::string Query(const std::string& query, const std::string& key) {
  for (const std::string& pair : Split(query, '&')) {
    const size_t eq = pair.find('=');
    if (eq != std::string::npos && pair.compare(0, eq, key) == 0 && eq == key.size()) return pair.substr(eq + 1);
  }
  return "";
}

bool Control(unsigned char c) { return c < 32 || c == 127; }

// What a name, an account's or the one a game shows, may not hold: a line
// break or "|" would make the game misread every table row after it.
bool NameTaken(const std::string& name) {
  if (name.size() > kMaxDisplayName) return false;
  for (unsigned char c : name)
    if (Control(c) || c == '|') return false;
  return true;
}

// Room for `key` in a map of at most `limit` keys: when it is full, the
// stale entries go, and if none is stale, all of them.
template <typename Map, typename Stale>
void MakeRoom(Map& map, size_t limit, const std::string& key, Stale stale) {
  if (map.size() < limit || map.contains(key)) return;
  std::erase_if(map, stale);
  if (map.size() >= limit) map.clear();
}

// Moments of the last minute per key (an address, an account), each with
// a tag (what happened then), for at most `keys` keys: when they are all in
// use, the stale ones go, and if none is stale, all.
class Window {
 public:
  explicit Window(size_t keys) : keys_(keys) {}
  int Count(const std::string& key, int64_t now) {
    const auto at = times_.find(key);
    if (at == times_.end()) return 0;
    while (!at->second.empty() && at->second.front().first <= now - kMinute) at->second.pop_front();
    return static_cast<int>(at->second.size());
  }
  // With `once`, nothing is added while the key holds the tag already.
  void Add(const std::string& key, int64_t t, const std::string& tag = "", bool once = false) {
    MakeRoom(times_, keys_, key,
             [t](const auto& e) { return e.second.empty() || e.second.back().first <= t - kMinute; });
    auto& moments = times_[key];
    if (once && std::any_of(moments.begin(), moments.end(), [&tag](const auto& m) { return m.second == tag; })) return;
    moments.emplace_back(t, tag);
  }
  void Remove(const std::string& key, int64_t t, const std::string& tag) {
    const auto at = times_.find(key);
    if (at == times_.end()) return;
    const auto one = std::find(at->second.begin(), at->second.end(), std::make_pair(t, tag));
    if (one != at->second.end()) at->second.erase(one);
  }
  bool Holds(const std::string& key, const std::string& tag, int64_t now) {
    Count(key, now);
    const auto at = times_.find(key);
    return at != times_.end() &&
           std::any_of(at->second.begin(), at->second.end(), [&tag](const auto& m) { return m.second == tag; });
  }

 private:
  size_t keys_;
  std::unordered_map<std::string, std::deque<std::pair<int64_t, std::string>>> times_;
};

// What servers before this one stored: SHA-256 over salt + password, then
// 20000 times over the last digest + salt, as lower-case hex.
std::string LegacyHash(const std::string& salt, const std::string& password) {
  std::string state = salt + password;
  unsigned char digest[crypto_hash_sha256_BYTES];
  for (int i = 0; i < kLegacyRounds; ++i) {
    const std::string input = state + salt;
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(input.data()), input.size());
    state.assign(reinterpret_cast<const char*>(digest), sizeof digest);
  }
  char hex[2 * sizeof digest + 1];
  return sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
}

bool IsArgon(const std::string& hash) { return hash.rfind("$argon2", 0) == 0; }

// The account text of a login or upload: "name|token" scrambled with the
// game's key, the token being "name|password" scrambled with the account
// key. Answers the fields after the token too.
bool Account(const std::string& input, std::string& name, std::string& password, std::vector<std::string>& rest) {
  const std::string plain = Unscramble(input, "");
  if (plain == "XXX") return false;
  std::vector<std::string> f = Split(plain, '|');
  if (f.size() < 2) return false;
  const std::vector<std::string> proof = Split(Unscramble(f[1], RegKey), '|');
  if (proof.size() != 2 || proof[0] != f[0]) return false;
  name = proof[0];
  password = proof[1];
  if (name.size() < 4 || password.size() < 4 || name.size() > kMaxAccountText || password.size() > kMaxAccountText)
    return false;
  rest.assign(f.begin() + 2, f.end());
  return true;
}

// Fields: Score|Name|Badges|Timestamp|Level|Mode|Flags|Quit|separator|Best 1..30.
// Answers "" when they make a game, else the refusal.
std::string ReadGame(const std::vector<std::string>& f, Game& g) {
  if (f.size() != 39 || f[8] != ScoreLineToken) {
    // A "|" in the name shifts the separator right by one field per bar.
    for (size_t at = 9; at < f.size(); ++at)
      if (f[at] == ScoreLineToken && f.size() == at + 31) return kBadName;
    return kBadScore;
  }
  g.name = f[1];
  if (!NameTaken(g.name)) return kBadName;
  int64_t* const fields[8] = {&g.score, nullptr, &g.badges, &g.stamp, &g.level, &g.mode, &g.flags, &g.quit};
  for (int i = 0; i < 8; ++i)
    if (fields[i] && !Number(f[i], *fields[i])) return kBadScore;
  // What a game of this program can make: a score its display shows,
  // badges 1..16, a calendar stamp of years 0..9999, the table selectors the
  // table id can address, a quit flag.
  constexpr int64_t kMaxStamp = 10000LL * 12 * 31 * 86400;
  const bool inRange = g.score >= 0 && g.score <= kMaxScore && g.badges >= 0 && g.badges < (1 << 16) &&
                       g.stamp >= 0 && g.stamp < kMaxStamp && g.level >= 0 && g.level <= 9 && g.mode >= 0 &&
                       g.mode <= 2 && g.flags >= 0 && g.flags <= 1000000 && (g.quit == 0 || g.quit == 1);
  if (!inRange) return kOutOfRange;
  for (size_t k = 9; k < 39; ++k) {
    int64_t b = 0;
    if (!Number(f[k], b)) return kBadScore;
    if (b < 0 || b > 2147483647) return kOutOfRange;
    g.best += (k > 9 ? "|" : "") + std::to_string(b);
  }
  return "";
}

// A stored name as the table shows it: a line break or a "|" in a name
// would make the game misread every row after it. Names stored by older
// servers may hold them.
std::string TableName(std::string name) {
  for (char& c : name)
    if (Control(static_cast<unsigned char>(c)) || c == '|') c = '_';
  return name;
}

enum class Check { Known, New, Wrong, NoAccount, Limited, Failed };

// A password check let through the failed-login limits: unless its password
// is the one its address logged in to the account with, it counts against
// its lane (the account's strangers, or the account at an address trusted
// for it) from `at` until it turns out right.
struct Attempt {
  std::string peer, name, lane;
  bool trusted = false;  // the lane is the account at this address
  bool counted = false;  // counted against the lane while under way
  int64_t at = 0;
  std::string guess;  // the password's keyed digest: the same wrong one again counts once
};

// What the server remembers of an account's password for a request: none,
// another one, or the request's.
enum class Memory { None, Other, Same };

using Later = std::function<void(Reply)>;

}  // namespace

struct Handler::Impl {
  Settings settings;
  scoreserver::Store store;

  unsigned long long ops = 0;
  size_t memory = 0;

  // The hash pool: its threads take the checks in the order they came.
  std::mutex poolMutex;
  std::condition_variable poolWake;
  std::deque<std::function<void()>> jobs;
  bool stopping = false;
  std::vector<std::thread> workers;

  // Passwords checked lately, as digests keyed with a secret of this run.
  struct Proof {
    std::array<unsigned char, crypto_generichash_BYTES> digest;
    int64_t expires;
  };
  std::array<unsigned char, crypto_generichash_KEYBYTES> proofKey{};
  std::mutex proofMutex;
  std::unordered_map<std::string, Proof> proofs;

  std::mutex addressMutex;
  Window newAccounts{kMaxAddresses};  // per peer
  // Room enough that guesses spread over many names or addresses cannot
  // flush the counts that matter.
  Window failedByAddress{kMaxProofs};  // wrong passwords, each once
  // Per account, from addresses not trusted for it; and per account '\0'
  // peer trusted for it: wrong passwords, each once, and checks under way.
  // Neither is cleared by a right password: only a minute ends a count.
  Window failedByStrangers{kMaxProofs};
  Window failedByTrusted{kMaxProofs};
  std::unordered_map<std::string, int> checking;  // per peer, checks waiting or under way
  // Account '\0' peer: logged in from there, until when, and with which
  // password (its keyed digest).
  struct TrustedAddress {
    int64_t until = 0;
    std::string digest;
  };
  std::unordered_map<std::string, TrustedAddress> trusted;

  // Per account, the moment its game allowance is used up to (a game
  // stored moves it on by gameSeconds; it may run gameBurst - 1 games
  // ahead of now). Only within the store's saving of a game, under its lock.
  std::unordered_map<std::string, int64_t> gamesUntil;

  explicit Impl(Settings s) : settings(std::move(s)) {
    ops = settings.hashOps ? settings.hashOps : crypto_pwhash_OPSLIMIT_INTERACTIVE;
    memory = settings.hashMemory ? settings.hashMemory : crypto_pwhash_MEMLIMIT_INTERACTIVE;
    randombytes_buf(proofKey.data(), proofKey.size());
    const int threads = std::clamp(settings.hashSlots, 1, 256);
    for (int k = 0; k < threads; ++k) workers.emplace_back([this] { Work(); });
  }
  ~Impl() { Stop(); }

  int64_t Now() const {
    if (settings.clock) return settings.clock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

  // --- The hash pool --------------------------------------------------------
  void Work() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock<std::mutex> lock(poolMutex);
        poolWake.wait(lock, [this] { return stopping || !jobs.empty(); });
        if (jobs.empty()) return;  // stopping, and nothing left
        job = std::move(jobs.front());
        jobs.pop_front();
      }
      job();
    }
  }
  bool Submit(std::function<void()> job) {
    {
      std::lock_guard<std::mutex> lock(poolMutex);
      if (stopping || static_cast<int>(jobs.size()) >= std::max(0, settings.hashQueue)) return false;
      jobs.push_back(std::move(job));
    }
    poolWake.notify_one();
    return true;
  }
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(poolMutex);
      stopping = true;
    }
    poolWake.notify_all();
    for (std::thread& t : workers) t.join();
    workers.clear();
  }

  // --- Passwords ------------------------------------------------------------
  std::array<unsigned char, crypto_generichash_BYTES> Digest(const std::string& name, const std::string& password) {
    std::array<unsigned char, crypto_generichash_BYTES> out{};
    const std::string text = name + '\0' + password;
    crypto_generichash(out.data(), out.size(), reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                       proofKey.data(), proofKey.size());
    return out;
  }
  void Remember(const std::string& name, const std::string& password) {
    const Proof p{Digest(name, password), Now() + 1000LL * settings.proofSeconds};
    std::lock_guard<std::mutex> lock(proofMutex);
    const int64_t now = Now();
    MakeRoom(proofs, kMaxProofs, name, [now](const auto& e) { return e.second.expires <= now; });
    proofs[name] = p;
  }
  // `digest` is Digest(name, password).
  Memory Recall(const std::string& name, const std::string& digest) {
    std::lock_guard<std::mutex> lock(proofMutex);
    const auto at = proofs.find(name);
    if (at == proofs.end()) return Memory::None;
    if (at->second.expires <= Now()) {
      proofs.erase(at);
      return Memory::None;
    }
    return digest.size() == at->second.digest.size() &&
                   sodium_memcmp(at->second.digest.data(), digest.data(), digest.size()) == 0
               ? Memory::Same
               : Memory::Other;
  }

  // These three run on the pool's threads only.
  std::string NewHash(const std::string& password) {
    char out[crypto_pwhash_STRBYTES];
    return crypto_pwhash_str(out, password.data(), password.size(), ops, memory) ? "" : std::string(out);
  }
  bool Verify(const std::string& salt, const std::string& hash, const std::string& password) {
    if (!IsArgon(hash)) return !salt.empty() && LegacyHash(salt, password) == hash;
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
  }
  // A hash of an older kind or cost is replaced once its password is known.
  void Upgrade(const std::string& name, const std::string& hash, const std::string& password) {
    if (IsArgon(hash) && crypto_pwhash_str_needs_rehash(hash.c_str(), ops, memory) == 0) return;
    const std::string fresh = NewHash(password);
    if (fresh.empty()) return;
    store.ReplaceHash(name, hash, fresh);
  }

  bool TakeAccountSlot(const std::string& peer) {
    const int64_t now = Now();
    std::lock_guard<std::mutex> lock(addressMutex);
    if (newAccounts.Count(peer, now) >= settings.newAccountsPerMinute) return false;
    newAccounts.Add(peer, now);
    return true;
  }

  // --- Failed logins --------------------------------------------------------
  enum class Gate { Refused, Busy, Known, Wrong, Check };
  // Whether a password may be checked. A check belongs to a lane: the
  // account at this address when the account has logged in from here
  // before, else the account's strangers (every address not trusted for
  // it). A lane with too many failed checks in the last minute is closed to
  // every password, so that at most that many guesses a minute are checked
  // against an account from all its strangers together, and as many from
  // each address it has logged in from, whatever its owner does meanwhile.
  // Below that, the password the server remembers for the account, and the
  // one this address logged in to it with, are no guesses: they pass the
  // limit of an address with too many failed checks (a crowd behind one
  // router, one of them guessing, does not shut the others out). Any other
  // password is refused there; since it would have passed had it been the
  // right one, the refusal tells its sender it is wrong, so it counts
  // against its lane like a failed check. One address has a few checks
  // under way at most, so a crowd of guesses all sent at once is mostly
  // refused too. A check let through is noted in `attempt`.
  Gate Admit(const std::string& peer, const std::string& name, const std::string& guess, Memory memory,
             Attempt& attempt) {
    const int64_t now = Now();
    std::lock_guard<std::mutex> lock(addressMutex);
    const std::string pair = name + '\0' + peer;
    const auto trust = trusted.find(pair);
    const bool trustedHere = trust != trusted.end() && trust->second.until > now;
    Window& lane = trustedHere ? failedByTrusted : failedByStrangers;
    const std::string& laneKey = trustedHere ? pair : name;
    if (lane.Count(laneKey, now) >= settings.failedLoginsPerAccount) return Gate::Refused;
    if (memory == Memory::Same) {
      Trust(name, peer, guess, now);
      return Gate::Known;
    }
    const bool ownHere = trustedHere && trust->second.digest.size() == guess.size() &&
                         sodium_memcmp(trust->second.digest.data(), guess.data(), guess.size()) == 0;
    if (!ownHere && failedByAddress.Count(peer, now) >= settings.failedLoginsPerAddress) {
      if (trustedHere || memory == Memory::Other) lane.Add(laneKey, now, guess, true);
      return Gate::Refused;
    }
    if (failedByAddress.Holds(peer, guess, now)) return Gate::Wrong;  // found wrong lately: no second hash
    if (checking.size() >= kMaxAddresses && !checking.contains(peer)) return Gate::Busy;
    int& under = checking[peer];
    if (under >= kChecksPerAddress) return Gate::Busy;
    ++under;
    attempt = {peer, name, laneKey, trustedHere, !ownHere, now, guess};
    if (attempt.counted) lane.Add(laneKey, now, guess);
    return Gate::Check;
  }
  // A check's outcome: a wrong password counts against its address and its
  // lane, once however often it is sent (as the game does while its Login
  // button is held); a right one trusts the address for the account.
  void Settle(const Attempt& a, Check outcome) {
    const int64_t now = Now();
    std::lock_guard<std::mutex> lock(addressMutex);
    if (const auto at = checking.find(a.peer); at != checking.end() && --at->second <= 0) checking.erase(at);
    Window& lane = a.trusted ? failedByTrusted : failedByStrangers;
    if (a.counted) lane.Remove(a.lane, a.at, a.guess);
    if (outcome == Check::Wrong) {
      failedByAddress.Add(a.peer, now, a.guess, true);
      lane.Add(a.lane, now, a.guess, true);
    } else if (outcome == Check::NoAccount) {  // no hash was needed, and a later login may make the account
      failedByAddress.Add(a.peer, now);
      lane.Add(a.lane, now);
    }
    if (outcome == Check::Known || outcome == Check::New) Trust(a.name, a.peer, a.guess, now);
  }
  // Under addressMutex: the right password (its digest) came from `peer`.
  void Trust(const std::string& name, const std::string& peer, const std::string& digest, int64_t now) {
    const std::string key = name + '\0' + peer;
    MakeRoom(trusted, kMaxProofs, key, [now](const auto& e) { return e.second.until <= now; });
    trusted[key] = {now + kTrustMs, digest};
  }

  // On a pool thread: the password against the stored hash, or a new
  // account made with it (when `create`).
  Check CheckAccount(const std::string& name, const std::string& password, bool create, const std::string& peer) {
    if (settings.beforeHash) settings.beforeHash();
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (const auto stored = store.Account(name)) {
        if (!Verify(stored->first, stored->second, password)) return Check::Wrong;
        Upgrade(name, stored->second, password);
        Remember(name, password);
        return Check::Known;
      }
      if (!create) return Check::NoAccount;
      if (attempt == 0 && !TakeAccountSlot(peer)) return Check::Limited;
      const std::string hash = NewHash(password);
      if (hash.empty()) return Check::Failed;
      const Store::Added added = store.AddAccount(name, hash);
      if (added == Store::Added::kFailed) return Check::Failed;
      if (added == Store::Added::kAdded) {
        Remember(name, password);
        return Check::New;
      }
      // Made by another request in the meantime: check against that one.
    }
    return Check::Failed;
  }

  // The account of a login or upload let through the limits, then `known`
  // with its outcome: at once for a remembered password, else from the
  // pool once the hash is done.
  std::optional<Reply> WithAccount(const std::string& name, const std::string& password, const std::string& peer,
                                   bool create, Later later, std::function<Reply(Check)> known) {
    Attempt attempt;
    const auto digest = Digest(name, password);
    const std::string guess(digest.begin(), digest.end());
    switch (Admit(peer, name, guess, Recall(name, guess), attempt)) {
      case Gate::Refused: return Reply{429, kTooManyFailed};
      case Gate::Busy: return Reply{503, kBusy};
      case Gate::Wrong: return known(Check::Wrong);
      case Gate::Known: return known(Check::Known);
      case Gate::Check: break;
    }
    const bool queued = Submit([=, this, later = std::move(later), known = std::move(known)] {
      const Check outcome = CheckAccount(name, password, create, peer);
      Settle(attempt, outcome);
      later(known(outcome));
    });
    if (queued) return std::nullopt;
    Settle(attempt, Check::Failed);
    return Reply{503, kBusy};
  }

  // --- Requests -------------------------------------------------------------
  std::optional<Reply> Login(const std::string& input, const std::string& peer, Later later) {
    std::string name, password;
    std::vector<std::string> rest;
    if (!Account(input, name, password, rest)) return Reply{200, kWrongPassword};
    if (!NameTaken(name)) return Reply{400, kBadName};
    return WithAccount(name, password, peer, true, std::move(later), [this](Check outcome) -> Reply {
      switch (outcome) {
        case Check::Known: return {200, "Password Correct|" + settings.motd};
        case Check::New: return {200, "Welcome!|" + settings.motd};
        case Check::Wrong:
        case Check::NoAccount: return {200, kWrongPassword};
        case Check::Limited: return {429, kTooManyAccounts};
        case Check::Failed: break;
      }
      return {500, "NOT SAVED"};
    });
  }

  std::optional<Reply> Upload(const std::string& input, int64_t week, const std::string& peer, Later later) {
    std::string name, password;
    std::vector<std::string> f;
    if (!Account(input, name, password, f)) return Reply{200, kWrongPassword};
    if (!NameTaken(name)) return Reply{400, kBadName};
    Game g;
    const std::string refusal = ReadGame(f, g);
    if (!refusal.empty()) return Reply{400, refusal};
    return WithAccount(name, password, peer, false, std::move(later), [=, this](Check outcome) -> Reply {
      return outcome == Check::Known ? Save(name, week, g) : Reply{200, kWrongPassword};
    });
  }

  // Within the store's saving of a game: whether the account may store one more new game now.
  bool TakeGame(const std::string& name) {
    if (settings.gameSeconds <= 0) return true;
    const int64_t now = Now(), step = 1000LL * settings.gameSeconds;
    MakeRoom(gamesUntil, kMaxProofs, name, [now](const auto& e) { return e.second <= now; });
    int64_t& until = gamesUntil.try_emplace(name, now).first->second;
    until = std::max(until, now);
    if (until - now > step * (std::max(1, settings.gameBurst) - 1)) return false;
    until += step;
    return true;
  }

  Reply Save(const std::string& name, int64_t week, const Game& g) {
    // A game stored before is said to be so whatever the allowance, so that
    // the game's sending it again at every refresh costs nothing.
    switch (store.SaveGame(name, week, g, [&] { return TakeGame(name); })) {
      case Store::Saved::kSaved: return {200, "Score Saved"};
      case Store::Saved::kAlready: return {200, "Score Already Saved"};
      case Store::Saved::kRefused: return {429, kTooManyGames};
      case Store::Saved::kFailed: break;
    }
    return {500, "NOT SAVED"};
  }

  Reply Table(int64_t week, int64_t id) {
    std::string body;
    for (const Game& g : store.Best(week, id % 100, (id / 100) % 10, id / 1000, kTableRows))
      body += std::to_string(g.score) + "|" + TableName(g.name) + "|" + std::to_string(g.badges) + "|" +
              std::to_string(g.stamp) + "|" + std::to_string(g.level) + "|" + std::to_string(g.mode) + "|" +
              std::to_string(g.flags) + "|" + std::to_string(g.quit) + "\n" + g.best + "\n";
    if (body.empty()) return {404, kEmptyTable};
    return {200, body};
  }
};

Handler::Handler(Settings settings) {
  if (sodium_init() < 0) std::abort();  // no safe random numbers: nothing to serve with
  GetUniqueKey();
  impl_ = std::make_unique<Impl>(std::move(settings));
}

Handler::~Handler() = default;

bool Handler::Open(const std::string& path, std::string& error) { return impl_->store.Open(path, error); }

std::optional<Reply> Handler::Begin(const std::string& method, const std::string& target,
                                    const std::string& /*body*/, const std::string& peer,
                                    std::function<void(Reply)> later) {
  Impl& m = *impl_;
  if (!m.store.IsOpen()) return Reply{500, "NO DATABASE"};
  if (method != "GET" && method != "HEAD") return Reply{405, "ONLY GET"};
  // The game's requests begin with two slashes.
  size_t skip = 0;
  while (skip + 1 < target.size() && target[skip] == '/' && target[skip + 1] == '/') ++skip;
  const std::string t = target.substr(skip);
  const size_t q = t.find('?');
  const std::string path = t.substr(0, q), query = q == std::string::npos ? "" : t.substr(q + 1);
  int64_t week = 0, id = 0;
  const auto gameWeek = [&week] { return week >= kFirstWeek && week <= kLastWeek; };
  if (path == "/kestrum/login.php") {
    if (!Number(Query(query, "week"), week)) return Reply{400, "BAD REQUEST"};
    if (!gameWeek()) return Reply{400, kBadWeek};
    return m.Login(Query(query, "input"), AddressKey(peer), std::move(later));
  }
  if (path == "/kestrum/scores.php") {
    if (!Number(Query(query, "Week"), week)) return Reply{400, "BAD REQUEST"};
    if (!gameWeek()) return Reply{400, kBadWeek};
    return m.Upload(Query(query, "Input"), week, AddressKey(peer), std::move(later));
  }
  const std::vector<std::string> parts = Split(path, '/');  // "", kestrum, tables, week, id.txt
  if (parts.size() == 5 && parts[0].empty() && parts[1] == "kestrum" && parts[2] == "tables" &&
      Number(parts[3], week) && gameWeek() && parts[4].size() > 4 &&
      parts[4].compare(parts[4].size() - 4, 4, ".txt") == 0 && Number(parts[4].substr(0, parts[4].size() - 4), id) &&
      id >= 0)
    return m.Table(week, id);
  return Reply{404, kNoSuchPage};
}

Reply Handler::Handle(const std::string& method, const std::string& target, const std::string& body,
                      const std::string& peer) {
  auto promise = std::make_shared<std::promise<Reply>>();
  std::future<Reply> reply = promise->get_future();
  if (std::optional<Reply> now =
          Begin(method, target, body, peer, [promise](Reply r) { promise->set_value(std::move(r)); }))
    return *now;
  return reply.get();
}

void Handler::Stop() { impl_->Stop(); }

std::string WireBody(const Reply& reply) { return reply.body + "\r\n"; }

}  // namespace scoreserver
