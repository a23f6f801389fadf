// Strings, text-to-number conversion and degree maths.
//
// Strings are Latin-1 byte strings; positions count from 1.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

// Clamps a 64-bit position/count pair onto [0, size] and answers the
// 0-based start and the length of the slice.
void Slice(int64_t size, int64_t pos, int64_t count, int64_t& start, int64_t& length) {
  // pos counts from 1; positions before the start shorten a given count.
  if (pos < 1) {
    if (count >= 0) count = count + pos - 1 < 0 ? 0 : count + pos - 1;
    pos = 1;
  }
  start = pos - 1;
  if (start >= size) {
    start = size;
    length = 0;
    return;
  }
  int64_t rest = size - start;
  length = (count < 0 || count > rest) ? rest : count;
}

bool IsLeadingBlank(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }

int HexDigit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Shared by ToInt and ToLong: blanks, one sign, then "%" binary, "$" hex or
// decimal digits. The magnitude wraps modulo 2^64 and the sign is applied
// last; callers cut the result to their width (which wraps modulo 2^32).
// The magnitude of the number a text begins with, before its sign; with
// `saturate` it stops at UINT64_MAX instead of wrapping.
uint64_t ParseMagnitude(const std::string& s, bool& negative, size_t& end, bool& anyDigit, bool saturate) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n && IsLeadingBlank(static_cast<unsigned char>(s[i]))) ++i;
  negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < n && s[i] == '%') {
    base = 2;
    ++i;
  } else if (i < n && s[i] == '$') {
    base = 16;
    ++i;
  }
  uint64_t value = 0;
  anyDigit = false;
  for (; i < n; ++i) {
    int d = HexDigit(static_cast<unsigned char>(s[i]));
    if (d < 0 || d >= base) break;
    const uint64_t b = static_cast<uint64_t>(base), digit = static_cast<uint64_t>(d);
    if (saturate && value > (UINT64_MAX - digit) / b) value = UINT64_MAX;
    else value = value * b + digit;
    anyDigit = true;
  }
  end = i;
  return value;
}

uint64_t ParseInteger(const std::string& s, bool& negative, size_t& end, bool& anyDigit) {
  const uint64_t value = ParseMagnitude(s, negative, end, anyDigit, false);
  return negative ? (~value + 1) : value;
}

}  // namespace

std::string Mid(const std::string& s, int pos, int count) {
  int64_t start = 0, length = 0;
  Slice(static_cast<int64_t>(s.size()), pos, count, start, length);
  return s.substr(static_cast<size_t>(start), static_cast<size_t>(length));
}

std::string Left(const std::string& s, int count) {
  if (count <= 0) return std::string();
  if (static_cast<size_t>(count) >= s.size()) return s;
  return s.substr(0, static_cast<size_t>(count));
}

std::string Right(const std::string& s, int count) {
  if (count <= 0) return std::string();
  if (static_cast<size_t>(count) >= s.size()) return s;
  return s.substr(s.size() - static_cast<size_t>(count));
}

int Instr(const std::string& s, const std::string& sub, int start) {
  if (start < 1) start = 1;
  size_t from = static_cast<size_t>(start) - 1;
  if (from > s.size()) return 0;
  size_t at = s.find(sub, from);
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

std::string Replace(const std::string& s, const std::string& from, const std::string& to) {
  if (from.empty()) return s;
  std::string out;
  out.reserve(s.size());
  size_t pos = 0;
  for (;;) {
    size_t at = s.find(from, pos);
    if (at == std::string::npos) break;
    out.append(s, pos, at - pos);
    out += to;
    pos = at + from.size();
  }
  out.append(s, pos, std::string::npos);
  return out;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
  return s.substr(b, e - b);
}

// Latin-1 case mapping: a..z and the accented letters U+00E0..U+00FE
// (except the division sign U+00F7). U+00B5, U+00DF and U+00FF have no
// upper-case form inside Latin-1 and stay.
std::string Upper(const std::string& s) {
  std::string out = s;
  for (char& ch : out) {
    unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) ch = static_cast<char>(c - 0x20);
  }
  return out;
}

std::string Lower(const std::string& s) {
  std::string out = s;
  for (char& ch : out) {
    unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) ch = static_cast<char>(c + 0x20);
  }
  return out;
}

std::string Hex(int value) {
  static const char digits[] = "0123456789ABCDEF";
  uint32_t v = static_cast<uint32_t>(value);
  std::string out(8, '0');
  for (int i = 7; i >= 0; --i) {
    out[static_cast<size_t>(i)] = digits[v & 15u];
    v >>= 4;
  }
  return out;
}

std::string Chr(int code) { return std::string(1, static_cast<char>(code & 0xFF)); }

int Asc(const std::string& s) { return s.empty() ? -1 : static_cast<unsigned char>(s[0]); }

int ToInt(const std::string& s) {
  bool negative = false, any = false;
  size_t end = 0;
  return static_cast<int>(static_cast<uint32_t>(ParseInteger(s, negative, end, any)));
}

bool NumberMagnitude(const std::string& s, uint64_t& magnitude) {
  bool negative = false, any = false;
  size_t end = 0;
  magnitude = ParseMagnitude(s, negative, end, any, true);
  return any;
}

int64_t ToLong(const std::string& s) {
  bool negative = false, any = false;
  size_t end = 0;
  return static_cast<int64_t>(ParseInteger(s, negative, end, any));
}

double ToDouble(const std::string& s) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n && IsLeadingBlank(static_cast<unsigned char>(s[i]))) ++i;
  // "$" and "%" numbers read as integers.
  size_t j = i;
  if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
  if (j < n && (s[j] == '$' || s[j] == '%')) return static_cast<double>(ToLong(s));

  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  // Decimal digits, an optional fraction and an optional exponent; the
  // number ends at the first character that does not fit.
  size_t start = i;
  size_t k = i;
  bool digits = false;
  while (k < n && s[k] >= '0' && s[k] <= '9') { ++k; digits = true; }
  if (k < n && s[k] == '.') {
    ++k;
    while (k < n && s[k] >= '0' && s[k] <= '9') { ++k; digits = true; }
  }
  if (!digits) return 0.0;
  if (k < n && (s[k] == 'e' || s[k] == 'E')) {
    size_t e = k + 1;
    if (e < n && (s[e] == '+' || s[e] == '-')) ++e;
    if (e < n && s[e] >= '0' && s[e] <= '9') {
      while (e < n && s[e] >= '0' && s[e] <= '9') ++e;
      k = e;
    }
  }
  double value = 0.0;
  auto result = std::from_chars(s.data() + start, s.data() + k, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone on overflow/underflow; pick the
    // limit the text points at.
    bool tiny = false;
    for (size_t e = start; e < k; ++e) {
      if (s[e] == 'e' || s[e] == 'E') tiny = (e + 1 < k && s[e + 1] == '-');
    }
    value = tiny ? 0.0 : HUGE_VAL;
  } else if (result.ec != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

float ToFloat(const std::string& s) { return static_cast<float>(ToDouble(s)); }

std::string FloatToString(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string out(buffer, result.ptr);
  if (out.find_first_of(".e") == std::string::npos) out += ".0";
  return out;
}

// ---------------------------------------------------------------------------
// Maths in degrees
// ---------------------------------------------------------------------------
namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;
}  // namespace

double Sin(double degrees) { return std::sin(degrees * kDegToRad); }
double Cos(double degrees) { return std::cos(degrees * kDegToRad); }
double Tan(double degrees) { return std::tan(degrees * kDegToRad); }
double ATan2(double y, double x) { return std::atan2(y, x) * kRadToDeg; }
double ATan(double x) { return std::atan(x) * kRadToDeg; }

int Abs(int n) {
  uint32_t u = static_cast<uint32_t>(n);
  return static_cast<int>(n < 0 ? (~u + 1u) : u);
}
