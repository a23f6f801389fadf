// Number formatting and two spare text transforms.
#include <string>

#include "scores/scores.h"

std::string MoneyDisplay(int value, const std::string& prefix) {
  const std::string plain = std::to_string(value);
  std::string grouped;
  int count = 0;
  for (int i = static_cast<int>(plain.size()) - 1; i >= 0; --i) {
    const char c = plain[i];
    grouped.insert(grouped.begin(), c);
    if (c == '-') break;
    ++count;
    if (count == 3 && i > 0 && plain[i - 1] != '-') {
      grouped.insert(grouped.begin(), ',');
      count = 0;
    }
  }
  return prefix + grouped;
}

namespace {

// One step of the self-keyed transform at position n (from 1) of w.
void XorStep(std::string& w, int n) {
  const int len = static_cast<int>(w.size());
  auto code = [&w](int pos) { return static_cast<unsigned char>(w[pos - 1]); };
  const int s = ((n + 1) % len) + 1;
  const int k = code(s);
  int p = ((n + k) % len) + 1;
  if (p == n) p = ((n + k + 1) % len) + 1;
  w[n - 1] = static_cast<char>(code(n) ^ code(p));
}

}  // namespace

// A text of fewer than two characters has nothing to combine with and is
// returned as it is, so that XorDecrypt(XorEncrypt(t)) == t for every t.
std::string XorEncrypt(const std::string& text) {
  std::string w = text;
  const int len = static_cast<int>(w.size());
  if (len < 2) return w;
  for (int n = 1; n <= len; ++n) XorStep(w, n);
  return w;
}

std::string XorDecrypt(const std::string& text) {
  std::string w = text;
  const int len = static_cast<int>(w.size());
  if (len < 2) return w;
  for (int n = len; n >= 1; --n) XorStep(w, n);
  return w;
}

namespace {

char CountLetter(int count) {
  return static_cast<char>(count <= 26 ? 64 + count : 70 + count);
}

}  // namespace

// Run-length packing: count letter (A=1 .. Z=26, a=27 .. z=52) then the
// character, a space after every tenth pair that is followed by another.
// The empty text packs to the empty text.
std::string Kwamp(const std::string& text) {
  std::string out;
  if (text.empty()) return out;
  char cur = text[0];
  int count = 1;
  int pairs = 0;
  auto emitPair = [&](int n, char c) {
    out.push_back(CountLetter(n));
    out.push_back(c);
    if (++pairs == 10) {
      out.push_back(' ');
      pairs = 0;
    }
  };
  for (size_t i = 1; i < text.size(); ++i) {
    const char x = text[i];
    if (x == cur) {
      if (++count == 53) {
        emitPair(52, cur);
        count = 1;
      }
    } else {
      emitPair(count, cur);
      cur = x;
      count = 1;
    }
  }
  out.push_back(CountLetter(count));
  out.push_back(cur);
  return out;
}

std::string Unkwamp(const std::string& packed) {
  std::string out;
  const size_t len = packed.size();
  size_t pos = 0;  // 0-based
  while (pos < len) {
    const int c = static_cast<unsigned char>(packed[pos]);
    if (c >= 65 && c <= 122) {
      const int count = c <= 90 ? c - 64 : c - 70;
      ++pos;
      if (pos < len) out.append(static_cast<size_t>(count), packed[pos]);
    }
    ++pos;
  }
  return out;
}
