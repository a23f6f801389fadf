#include "store.h"

#include <sqlite3.h>

namespace scoreserver {
namespace {

struct Statement {
  sqlite3_stmt* s = nullptr;
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s, nullptr); }
  ~Statement() { sqlite3_finalize(s); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement& Text(int i, const std::string& v) {
    sqlite3_bind_text(s, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Int(int i, int64_t v) {
    sqlite3_bind_int64(s, i, v);
    return *this;
  }
  bool Row() { return s && sqlite3_step(s) == SQLITE_ROW; }
  bool Done() { return s && sqlite3_step(s) == SQLITE_DONE; }
  std::string ColText(int i) {
    const unsigned char* t = sqlite3_column_text(s, i);
    return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_column_bytes(s, i))) : "";
  }
  int64_t ColInt(int i) { return sqlite3_column_int64(s, i); }
};

}  // namespace

Store::~Store() {
  if (db_) sqlite3_close(db_);
}

bool Store::Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

bool Store::Open(const std::string& path, std::string& error) {
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    error = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    return false;
  }
  sqlite3_busy_timeout(db_, 5000);
  // Older databases: the same tables; a game uploaded again used to be
  // stored again, so the copies go before one row per game is enforced.
  const bool ok =
      Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;") && Exec("BEGIN IMMEDIATE") &&
      Exec("CREATE TABLE IF NOT EXISTS accounts (name TEXT PRIMARY KEY, salt TEXT NOT NULL, hash TEXT NOT NULL);"
             "CREATE TABLE IF NOT EXISTS scores (id INTEGER PRIMARY KEY, account TEXT NOT NULL"
             " REFERENCES accounts(name), week INTEGER, mode INTEGER, level INTEGER, flags INTEGER, score INTEGER,"
             " name TEXT, badges INTEGER, stamp INTEGER, quit INTEGER, best TEXT);"
             "CREATE INDEX IF NOT EXISTS scores_table ON scores(week, mode, level, flags, score);") &&
      Exec("DELETE FROM scores WHERE NOT EXISTS (SELECT 1 FROM sqlite_master WHERE name = 'scores_game')"
             " AND id NOT IN (SELECT MIN(id) FROM scores GROUP BY account, week, mode, level, flags, stamp);"
             "CREATE UNIQUE INDEX IF NOT EXISTS scores_game ON scores(account, week, mode, level, flags, stamp);") &&
      Exec("COMMIT");
  if (!ok) {
    error = sqlite3_errmsg(db_);
    Exec("ROLLBACK");
    return false;
  }
  return true;
}

std::optional<std::pair<std::string, std::string>> Store::Account(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  Statement find(db_, "SELECT salt, hash FROM accounts WHERE name = ?");
  find.Text(1, name);
  if (!find.Row()) return std::nullopt;
  return std::make_pair(find.ColText(0), find.ColText(1));
}

Store::Added Store::AddAccount(const std::string& name, const std::string& hash) {
  std::lock_guard<std::mutex> lock(mutex_);
  Statement add(db_, "INSERT OR IGNORE INTO accounts (name, salt, hash) VALUES (?, '', ?)");
  if (!add.Text(1, name).Text(2, hash).Done()) return Added::kFailed;
  return sqlite3_changes(db_) == 1 ? Added::kAdded : Added::kTaken;
}

void Store::ReplaceHash(const std::string& name, const std::string& old, const std::string& hash) {
  std::lock_guard<std::mutex> lock(mutex_);
  Statement up(db_, "UPDATE accounts SET salt = '', hash = ? WHERE name = ? AND hash = ?");
  up.Text(1, hash).Text(2, name).Text(3, old).Done();
}

Store::Saved Store::SaveGame(const std::string& name, int64_t week, const Game& g,
                             const std::function<bool()>& allowed) {
  std::lock_guard<std::mutex> lock(mutex_);
  Statement seen(db_,
                 "SELECT 1 FROM scores WHERE account = ? AND week = ? AND mode = ? AND level = ? AND flags = ?"
                 " AND stamp = ?");
  seen.Text(1, name).Int(2, week).Int(3, g.mode).Int(4, g.level).Int(5, g.flags).Int(6, g.stamp);
  if (seen.Row()) return Saved::kAlready;
  if (!allowed()) return Saved::kRefused;
  Statement add(db_,
                "INSERT OR IGNORE INTO scores (account, week, mode, level, flags, score, name, badges, stamp, quit,"
                " best) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  add.Text(1, name).Int(2, week).Int(3, g.mode).Int(4, g.level).Int(5, g.flags).Int(6, g.score).Text(7, g.name);
  add.Int(8, g.badges).Int(9, g.stamp).Int(10, g.quit).Text(11, g.best);
  if (!add.Done()) return Saved::kFailed;
  return sqlite3_changes(db_) == 1 ? Saved::kSaved : Saved::kAlready;
}

std::vector<Game> Store::Best(int64_t week, int64_t mode, int64_t level, int64_t flags, int limit) {
  std::vector<Game> games;
  std::lock_guard<std::mutex> lock(mutex_);
  Statement rows(db_,
                 "SELECT score, name, badges, stamp, level, mode, flags, quit, best FROM scores"
                 " WHERE week = ? AND mode = ? AND level = ? AND flags = ? ORDER BY score DESC, stamp DESC"
                 " LIMIT ?");
  rows.Int(1, week).Int(2, mode).Int(3, level).Int(4, flags).Int(5, limit);
  while (rows.Row()) {
    Game& g = games.emplace_back();
    g.score = rows.ColInt(0);
    g.name = rows.ColText(1);
    g.badges = rows.ColInt(2);
    g.stamp = rows.ColInt(3);
    g.level = rows.ColInt(4);
    g.mode = rows.ColInt(5);
    g.flags = rows.ColInt(6);
    g.quit = rows.ColInt(7);
    g.best = rows.ColText(8);
  }
  return games;
}

}  // namespace scoreserver
