// A small score server speaking the game's HTTP/1.0 protocol: account
// login, the online tables as text files, and score uploads. Accounts and
// scores live in SQLite; passwords only as salted, iterated SHA-256 hashes.
//
//   pibbo-scoreserver [--port N] [--db FILE] [--motd TEXT]
//
// Listens on 127.0.0.1 (port 0 picks a free one) and prints
// "listening on 127.0.0.1:PORT" once it accepts connections. One request
// at a time; every request has a read time-out and a size cap, and every
// write is one transaction, so a kill never loses a stored score.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/startup/startup.h"
#include "scores/scores.h"

namespace {

constexpr size_t kMaxRequest = 16 * 1024;  // bytes of one request
constexpr int kReadTimeoutMs = 5000;
constexpr int kHashRounds = 20000;
constexpr int kTableRows = 30;

// --- SHA-256 ----------------------------------------------------------------
std::array<uint8_t, 32> Sha256(const std::string& data) {
  static const uint32_t k[64] = {
      0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
      0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
      0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
      0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
      0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
      0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
      0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
      0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
  uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::string m = data;
  const uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
  m += static_cast<char>(0x80);
  while (m.size() % 64 != 56) m += '\0';
  for (int i = 7; i >= 0; --i) m += static_cast<char>((bits >> (8 * i)) & 0xFF);
  auto rotr = [](uint32_t x, int n) { return (x >> n) | (x << (32 - n)); };
  for (size_t off = 0; off < m.size(); off += 64) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
      w[i] = 0;
      for (int j = 0; j < 4; ++j) w[i] = (w[i] << 8) | static_cast<uint8_t>(m[off + 4 * i + j]);
    }
    for (int i = 16; i < 64; ++i) {
      const uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
    for (int i = 0; i < 64; ++i) {
      const uint32_t t1 = hh + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
      const uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      hh = g, g = f, f = e, e = d + t1, d = c, c = b, b = a, a = t1 + t2;
    }
    h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e, h[5] += f, h[6] += g, h[7] += hh;
  }
  std::array<uint8_t, 32> out{};
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 4; ++j) out[4 * i + j] = static_cast<uint8_t>(h[i] >> (24 - 8 * j));
  return out;
}

std::string Hex(const uint8_t* p, size_t n) {
  static const char d[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) s += d[p[i] >> 4], s += d[p[i] & 15];
  return s;
}

std::string PasswordHash(const std::string& salt, const std::string& password) {
  std::string state = salt + password;
  for (int i = 0; i < kHashRounds; ++i) {
    const auto h = Sha256(state + salt);
    state.assign(reinterpret_cast<const char*>(h.data()), h.size());
  }
  return Hex(reinterpret_cast<const uint8_t*>(state.data()), state.size());
}

std::string NewSalt() {
  std::random_device rd;
  uint8_t b[16];
  for (auto& x : b) x = static_cast<uint8_t>(rd());
  return Hex(b, sizeof b);
}

// --- Store ------------------------------------------------------------------
sqlite3* gDb = nullptr;

bool Exec(const char* sql) { return sqlite3_exec(gDb, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

struct Statement {
  sqlite3_stmt* s = nullptr;
  explicit Statement(const char* sql) { sqlite3_prepare_v2(gDb, sql, -1, &s, nullptr); }
  ~Statement() { sqlite3_finalize(s); }
  Statement& Text(int i, const std::string& v) {
    sqlite3_bind_text(s, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Int(int i, int64_t v) {
    sqlite3_bind_int64(s, i, v);
    return *this;
  }
  bool Row() { return sqlite3_step(s) == SQLITE_ROW; }
  bool Done() { return sqlite3_step(s) == SQLITE_DONE; }
  std::string ColText(int i) {
    const unsigned char* t = sqlite3_column_text(s, i);
    return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_column_bytes(s, i))) : "";
  }
  int64_t ColInt(int i) { return sqlite3_column_int64(s, i); }
};

bool OpenStore(const std::string& path) {
  if (sqlite3_open(path.c_str(), &gDb) != SQLITE_OK) return false;
  return Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;") &&
         Exec("CREATE TABLE IF NOT EXISTS accounts (name TEXT PRIMARY KEY, salt TEXT NOT NULL, hash TEXT NOT NULL);"
              "CREATE TABLE IF NOT EXISTS scores (id INTEGER PRIMARY KEY, account TEXT NOT NULL REFERENCES accounts(name),"
              " week INTEGER, mode INTEGER, level INTEGER, flags INTEGER, score INTEGER, name TEXT, badges INTEGER,"
              " stamp INTEGER, quit INTEGER, best TEXT);"
              "CREATE INDEX IF NOT EXISTS scores_table ON scores(week, mode, level, flags, score);");
}

// The account of a name and password: 1 known and right, 0 wrong, 2 new
// (created now).
int CheckAccount(const std::string& name, const std::string& password, bool create) {
  Statement find("SELECT salt, hash FROM accounts WHERE name = ?");
  find.Text(1, name);
  if (find.Row()) return PasswordHash(find.ColText(0), password) == find.ColText(1) ? 1 : 0;
  if (!create) return 0;
  const std::string salt = NewSalt();
  Statement add("INSERT INTO accounts (name, salt, hash) VALUES (?, ?, ?)");
  add.Text(1, name).Text(2, salt).Text(3, PasswordHash(salt, password));
  return add.Done() ? 2 : 0;
}

// --- Protocol ---------------------------------------------------------------
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

bool Number(const std::string& s, int64_t& out) {
  if (s.empty() || s.size() > 19) return false;
  size_t i = s[0] == '-' ? 1 : 0;
  if (i == s.size()) return false;
  for (size_t j = i; j < s.size(); ++j)
    if (s[j] < '0' || s[j] > '9') return false;
  out = std::strtoll(s.c_str(), nullptr, 10);
  return true;
}

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
  if (name.size() < 4 || password.size() < 4 || name.size() > 64 || password.size() > 64) return false;
  rest.assign(f.begin() + 2, f.end());
  return true;
}

struct Reply {
  int status = 200;
  std::string body;
};

std::string gMotd = "Good luck up there!";

Reply Login(const std::string& input) {
  std::string name, password;
  std::vector<std::string> rest;
  if (!Account(input, name, password, rest)) return {200, "WRONG PASSWORD"};
  const int known = CheckAccount(name, password, true);
  if (known == 1) return {200, "Password Correct|" + gMotd};
  if (known == 2) return {200, "Welcome!|" + gMotd};
  return {200, "WRONG PASSWORD"};
}

Reply Upload(const std::string& input, int week) {
  std::string name, password;
  std::vector<std::string> f;
  if (!Account(input, name, password, f)) return {200, "WRONG PASSWORD"};
  if (CheckAccount(name, password, false) != 1) return {200, "WRONG PASSWORD"};
  // Score|Name|Badges|Timestamp|Level|Mode|Flags|Quit|separator|Best 1..30
  if (f.size() != 39 || f[8] != ScoreLineToken) return {400, "BAD SCORE"};
  int64_t v[8] = {};
  for (int i : {0, 2, 3, 4, 5, 6, 7})
    if (!Number(f[i], v[i])) return {400, "BAD SCORE"};
  if (v[5] < 0 || v[5] > 2 || f[1].size() > 64) return {400, "BAD SCORE"};
  std::string best;
  for (int k = 9; k < 39; ++k) {
    int64_t b = 0;
    if (!Number(f[k], b)) return {400, "BAD SCORE"};
    best += (k > 9 ? "|" : "") + f[k];
  }
  Exec("BEGIN IMMEDIATE");
  Statement add(
      "INSERT INTO scores (account, week, mode, level, flags, score, name, badges, stamp, quit, best)"
      " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  add.Text(1, name).Int(2, week).Int(3, v[5]).Int(4, v[4]).Int(5, v[6]).Int(6, v[0]).Text(7, f[1]);
  add.Int(8, v[2]).Int(9, v[3]).Int(10, v[7]).Text(11, best);
  const bool ok = add.Done();
  Exec(ok ? "COMMIT" : "ROLLBACK");
  return ok ? Reply{200, "Score Saved"} : Reply{500, "NOT SAVED"};
}

Reply Table(int week, int64_t id) {
  const int64_t mode = id % 100, level = (id / 100) % 10, flags = id / 1000;
  Statement rows(
      "SELECT score, name, badges, stamp, level, mode, flags, quit, best FROM scores"
      " WHERE week = ? AND mode = ? AND level = ? AND flags = ? ORDER BY score DESC, stamp DESC LIMIT ?");
  rows.Int(1, week).Int(2, mode).Int(3, level).Int(4, flags).Int(5, kTableRows);
  std::string body;
  int n = 0;
  while (rows.Row()) {
    ++n;
    body += std::to_string(rows.ColInt(0)) + "|" + rows.ColText(1) + "|" + std::to_string(rows.ColInt(2)) + "|" +
            std::to_string(rows.ColInt(3)) + "|" + std::to_string(rows.ColInt(4)) + "|" +
            std::to_string(rows.ColInt(5)) + "|" + std::to_string(rows.ColInt(6)) + "|" +
            std::to_string(rows.ColInt(7)) + "\n" + rows.ColText(8) + "\n";
  }
  if (n == 0) return {404, "<HTML><HEAD><TITLE>404 Not Found</TITLE></HEAD><BODY>No such table</BODY></HTML>"};
  return {200, body};
}

std::string Query(const std::string& query, const std::string& key) {
  for (const std::string& pair : Split(query, '&')) {
    const size_t eq = pair.find('=');
    if (eq != std::string::npos && pair.substr(0, eq) == key) return pair.substr(eq + 1);
  }
  return "";
}

Reply Handle(const std::string& request) {
  const size_t lineEnd = request.find('\n');
  std::vector<std::string> words = Split(request.substr(0, lineEnd), ' ');
  if (words.size() != 3 || words[0] != "GET" || words[2].rfind("HTTP/1.", 0) != 0) return {400, "BAD REQUEST"};
  std::string target = words[1];
  while (target.rfind("//", 0) == 0) target.erase(0, 1);
  const size_t q = target.find('?');
  const std::string path = target.substr(0, q), query = q == std::string::npos ? "" : target.substr(q + 1);
  int64_t week = 0, id = 0;
  if (path == "/kestrum/login.php") {
    if (!Number(Query(query, "week"), week)) return {400, "BAD REQUEST"};
    return Login(Query(query, "input"));
  }
  if (path == "/kestrum/scores.php") {
    if (!Number(Query(query, "Week"), week)) return {400, "BAD REQUEST"};
    return Upload(Query(query, "Input"), static_cast<int>(week));
  }
  const std::vector<std::string> parts = Split(path, '/');  // "", kestrum, tables, week, id.txt
  if (parts.size() == 5 && parts[1] == "kestrum" && parts[2] == "tables" && Number(parts[3], week) &&
      parts[4].size() > 4 && parts[4].substr(parts[4].size() - 4) == ".txt" &&
      Number(parts[4].substr(0, parts[4].size() - 4), id) && id >= 0)
    return Table(static_cast<int>(week), id);
  return {404, "<HTML><HEAD><TITLE>404 Not Found</TITLE></HEAD></HTML>"};
}

const char* StatusText(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 413: return "Request Entity Too Large";
    default: return "Internal Server Error";
  }
}

void Serve(int fd) {
  timeval tv{kReadTimeoutMs / 1000, (kReadTimeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  std::string request;
  char buffer[4096];
  Reply reply;
  bool complete = false;
  while (!complete) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
    complete = request.find("\n\r\n") != std::string::npos || request.find("\n\n") != std::string::npos;
    if (request.size() > kMaxRequest) break;
  }
  if (request.size() > kMaxRequest) reply = {413, "TOO LARGE"};
  else if (!complete) return;  // silent or cut off: nothing to answer
  else reply = Handle(request);
  const std::string text = "HTTP/1.0 " + std::to_string(reply.status) + " " + StatusText(reply.status) +
                           "\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n" + reply.body + "\r\n";
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int port = 8260;
  std::string db = "scores.db";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--port" && i + 1 < argc) port = std::atoi(argv[++i]);
    else if (a == "--db" && i + 1 < argc) db = argv[++i];
    else if (a == "--motd" && i + 1 < argc) gMotd = argv[++i];
    else {
      std::fprintf(stderr, "usage: %s [--port N] [--db FILE] [--motd TEXT]\n", argv[0]);
      return 2;
    }
  }
  GetUniqueKey();
  if (!OpenStore(db)) {
    std::fprintf(stderr, "pibbo-scoreserver: cannot open the database %s\n", db.c_str());
    return 1;
  }
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  const int yes = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 16) != 0) {
    std::fprintf(stderr, "pibbo-scoreserver: cannot listen on 127.0.0.1:%d\n", port);
    return 1;
  }
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  std::printf("listening on 127.0.0.1:%d\n", ntohs(address.sin_port));
  std::fflush(stdout);
  for (;;) {
    const int client = accept(listener, nullptr, nullptr);
    if (client < 0) continue;
    Serve(client);
    close(client);
  }
}
