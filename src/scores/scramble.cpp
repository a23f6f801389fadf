// The checksummed text scrambler and the derived per-game key.
//
// A scrambled text is two upper-case hexadecimal digits per character of
//   V = rotl(U, C(U) mod (n+6)) + field(C(U)),
//   U = (rotl(P, C(P) mod n) + field(C(P))) XOR key walk,
// each character of V XOR-ed with the key walk once more. C is the
// checksum below and field(c) its six decimal digits.
#include <cstdint>
#include <string>

#include "engine/startup/startup.h"
#include "scores/scores.h"

namespace {

unsigned Code(char c) { return static_cast<unsigned char>(c); }

// Six decimal digits with leading zeros (the checksum lies in 0..4095).
std::string ChecksumField(int c) {
  std::string digits = "000000" + std::to_string(c);
  return digits.substr(digits.size() - 6);
}

// Characters r+1..n followed by 1..r.
std::string RotateLeft(const std::string& s, int r) {
  if (s.empty()) return s;
  r %= static_cast<int>(s.size());
  return s.substr(r) + s.substr(0, r);
}

// Undoes RotateLeft by r; r may be negative (a damaged field) and is taken
// with the sign of the dividend, as the writer's remainder would be.
std::string RotateBack(const std::string& s, int r) {
  const int m = static_cast<int>(s.size());
  if (m == 0) return s;
  r %= m;
  std::string out(s.size(), '\0');
  for (int i = 0; i < m; ++i) {
    int d = (i - r) % m;
    if (d < 0) d += m;
    out[i] = s[d];
  }
  return out;
}

// Position i (from 1) goes with key character (i mod K) + 1.
void XorKeyWalk(std::string& s, const std::string& key) {
  const size_t k = key.size();
  for (size_t i = 0; i < s.size(); ++i) {
    s[i] = static_cast<char>(Code(s[i]) ^ Code(key[(i + 1) % k]));
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;  // anything else, lower-case letters included
}

// The key for a call: "" means the derived per-game key, built on first
// need if start-up has not built it yet.
const std::string& EffectiveKey(const std::string& key) {
  if (!key.empty()) return key;
  if (GameUniqueKey.empty()) GetUniqueKey();
  return GameUniqueKey;
}

// The shortest scrambled text: one character plus two checksum fields.
constexpr size_t kMinScrambledDigits = 2 * (1 + 12);

}  // namespace

std::string DeriveUniqueKey(const std::string& name1, const std::string& name2,
                            const std::string& tagline, int week) {
  const std::string t = name1 + " " + name2;
  const std::string& g = tagline;
  std::string key;
  if (g.empty()) return key;
  const int lt = static_cast<int>(t.size());
  const int lg = static_cast<int>(g.size());
  const int n = lt + lg;
  key.reserve(2 * n);
  for (int s = 1; s <= n; ++s) {
    int x = static_cast<int>(Code(t[s % lt]));
    x = ((x + week + 7 * s) % 76) + 32;
    x = ((x + week + 5 * s) % 75) + 31;
    key.push_back(static_cast<char>(x));
    int y = static_cast<int>(Code(g[s % lg]));
    y = ((y + week + 3 * s) % 74) + 34;
    y = ((y + week + 11 * s) % 71) + 36;
    key.push_back(static_cast<char>(y));
  }
  return key;
}

int GetUniqueKey() {
  GameUniqueKey = DeriveUniqueKey(GameName1, GameName2, GameKey, GameWeek);
  DebugLog("->:" + GameUniqueKey);
  return 0;
}

int ScrambleChecksum(const std::string& text) {
  int64_t c = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    c = (c + static_cast<int64_t>(Code(text[i])) * 3 * static_cast<int64_t>(i + 1)) % 4096;
  }
  return static_cast<int>(c);
}

std::string Scramble(const std::string& text, const std::string& keyArg) {
  const std::string& key = EffectiveKey(keyArg);
  if (key.empty()) return "";
  const int n = static_cast<int>(text.size());
  const int c1 = ScrambleChecksum(text);
  std::string u = RotateLeft(text, n > 0 ? c1 % n : 0) + ChecksumField(c1);
  XorKeyWalk(u, key);
  const int c2 = ScrambleChecksum(u);
  std::string v = RotateLeft(u, c2 % static_cast<int>(u.size())) + ChecksumField(c2);
  XorKeyWalk(v, key);
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(v.size() * 2);
  for (char ch : v) {
    out.push_back(kDigits[Code(ch) >> 4]);
    out.push_back(kDigits[Code(ch) & 15]);
  }
  return out;
}

std::string Unscramble(const std::string& text, const std::string& keyArg) {
  static const std::string kFailed = "XXX";
  const std::string& key = EffectiveKey(keyArg);
  if (key.empty() || text.size() < kMinScrambledDigits) return kFailed;

  // Digits back to characters; an unpaired last digit is ignored.
  std::string w(text.size() / 2, '\0');
  for (size_t j = 0; j < w.size(); ++j) {
    w[j] = static_cast<char>(HexDigit(text[2 * j]) * 16 + HexDigit(text[2 * j + 1]));
  }
  XorKeyWalk(w, key);

  // Second stage: the field at the end steers the rotation of the rest.
  const int c2 = ToInt(w.substr(w.size() - 6));
  const std::string u = RotateBack(w.substr(0, w.size() - 6), c2);
  if (ScrambleChecksum(u) != c2) return kFailed;

  // First stage, under the key walk.
  std::string x = u;
  XorKeyWalk(x, key);
  const int c1 = ToInt(x.substr(x.size() - 6));
  const std::string p = RotateBack(x.substr(0, x.size() - 6), c1);
  if (ScrambleChecksum(p) != c1) return kFailed;
  return p;
}

std::string AccountToken() { return Scramble(RegName + "|" + RegPass, RegKey); }
