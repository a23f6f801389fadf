// The score server's store: accounts and games in one SQLite database.
// Safe to use from many threads at once; each call is one statement or one
// transaction.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;

namespace scoreserver {

// One game as stored: its table (week, mode, level, flags), its numbers,
// the name it shows and its 30 Best values as "b1|b2|...|b30".
struct Game {
  int64_t score = 0, badges = 0, stamp = 0, level = 0, mode = 0, flags = 0, quit = 0;
  std::string name, best;
};

class Store {
 public:
  Store() = default;
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Opens or creates the database (":memory:" for one in memory) and brings
  // one made by an earlier server up to date. False, with the reason in
  // `error`, when it cannot.
  bool Open(const std::string& path, std::string& error);
  bool IsOpen() const { return db_ != nullptr; }

  // An account's salt and password hash (the salt is empty for hashes that
  // describe themselves).
  std::optional<std::pair<std::string, std::string>> Account(const std::string& name);
  enum class Added { kAdded, kTaken, kFailed };
  Added AddAccount(const std::string& name, const std::string& hash);
  // Replaces the account's hash, unless it has changed from `old` meanwhile.
  void ReplaceHash(const std::string& name, const std::string& old, const std::string& hash);

  // Stores the account's game of the week, unless it is stored already (the
  // account, the table and the time stamp name a game). `allowed` is asked,
  // within the same lock, before a new game is stored.
  enum class Saved { kSaved, kAlready, kRefused, kFailed };
  Saved SaveGame(const std::string& account, int64_t week, const Game& game, const std::function<bool()>& allowed);
  // The table's best `limit` games: highest score first, the newest first
  // among equal scores.
  std::vector<Game> Best(int64_t week, int64_t mode, int64_t level, int64_t flags, int limit);

 private:
  bool Exec(const char* sql);

  sqlite3* db_ = nullptr;
  std::mutex mutex_;
};

}  // namespace scoreserver
