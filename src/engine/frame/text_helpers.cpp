// Small helpers shared by every screen: splitting texts into fields, the
// settings-line split, hexadecimal reading, shuffling, clamping and the
// mouse-in-rectangle tests.
#include <cmath>

#include "engine/frame/frame.h"

namespace {

// First position (1-based) of `sep` at or after `from` in `text`, 0 when
// there is none. An empty separator occurs at every position up to the
// length + 1.
int FindFrom(const std::string& text, const std::string& sep, int from) {
  if (sep.empty()) return from <= static_cast<int>(text.size()) + 1 ? from : 0;
  const size_t at = text.find(sep, static_cast<size_t>(from - 1));
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

// First space at or after `from` and before `before` (1-based), 0 for none.
int SpaceBetween(const std::string& text, int from, int before) {
  for (int p = from; p < before; ++p) {
    if (text[static_cast<size_t>(p - 1)] == ' ') return p;
  }
  return 0;
}

}  // namespace

std::string SplitText(const std::string& rawText, const std::string& separator, int n, int mode) {
  const std::string text = Trim(rawText);
  const int step = separator.empty() ? 1 : static_cast<int>(separator.size());
  int start = 1;
  for (int k = 1; k < n; ++k) {
    const int at = FindFrom(text, separator, start);
    if (at == 0) return "-+-";
    int next = at + step;
    if (mode == 1) {
      const int space = SpaceBetween(text, start, at);
      if (space != 0) next = space + 1;
    }
    start = next;
  }
  int end = FindFrom(text, separator, start);  // the field ends before this
  if (end == 0) {
    end = static_cast<int>(text.size()) + 1;
  } else if (mode == 1) {
    const int space = SpaceBetween(text, start, end);
    if (space != 0) end = space;
  }
  if (start > static_cast<int>(text.size())) return "";
  return text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(end - start));
}

std::string IniLeft(const std::string& line) { return Upper(Trim(SplitText(line, "=", 1, 0))); }

std::string IniRight(const std::string& line) { return Trim(SplitText(line, "=", 2, 0)); }

int Hex2Int(const std::string& text) {
  uint32_t value = 0;
  for (unsigned char ch : text) {
    uint32_t digit = 0;
    if (ch >= '0' && ch <= '9') digit = ch - '0';
    else if (ch >= 'A' && ch <= 'F') digit = ch - 'A' + 10;
    value = value * 16u + digit;
  }
  return static_cast<int>(value);
}

std::string ShuffleString(const std::string& text) {
  std::string out = text;
  const int length = static_cast<int>(out.size());
  for (int i = 1; i <= length; ++i) {
    const int j = Rand(1, length);
    std::swap(out[static_cast<size_t>(i - 1)], out[static_cast<size_t>(j - 1)]);
  }
  return out;
}

int Limit(int value, int lo, int hi) {
  if (value > hi) value = hi;
  if (value < lo) value = lo;
  return value;
}

float LimitF(float value, float lo, float hi) {
  if (std::isnan(value)) return lo;
  if (value > hi) value = hi;
  if (value < lo) value = lo;
  return value;
}

namespace {

int PointerIn(int px, int py, int x, int y, int w, int h) {
  if (MouseClaimant == 0 && InMouseClaim(static_cast<float>(px), static_cast<float>(py))) return 0;
  return (x < px && px < x + w && y < py && py < y + h) ? 1 : 0;
}

}  // namespace

int Mousein(int x, int y, int w, int h) { return PointerIn(mx, my, x, y, w, h); }

int MouseWasin(int x, int y, int w, int h) { return PointerIn(wx, wy, x, y, w, h); }
