// The program's one random generator: a Lehmer generator (multiplier 48271,
// modulus 2^31 - 1). A random double takes two steps.
#include <cstdint>

#include "platform/platform.h"

namespace {

constexpr int64_t kModulus = 2147483647;
constexpr int64_t kMultiplier = 48271;
constexpr int64_t kStartState = 0x1234;

int64_t g_state = kStartState;

int64_t Step() {
  g_state = (g_state * kMultiplier) % kModulus;
  return g_state;
}

}  // namespace

void SeedRnd(int seed) {
  int64_t s = static_cast<int64_t>(static_cast<uint32_t>(seed) & 0x7FFFFFFFu);
  // 0 would stay 0 forever and 2^31 - 1 is the modulus itself.
  if (s == 0 || s == kModulus) s = kStartState;
  g_state = s;
}

int RndSeed() { return static_cast<int>(g_state); }

double RndDouble() {
  const int64_t s1 = Step();
  const int64_t s2 = Step();
  const double high = static_cast<double>(s1 & 0x1FFFFFFC);
  const double low = static_cast<double>(s2 & 0x1FFFFFF8) / 134217728.0;  // 2^27
  return (high + low) / 536870912.0;                                        // 2^29
}

double Rnd(double a, double b) {
  const double lo = a < b ? a : b;
  const double span = a < b ? b - a : a - b;
  return lo + RndDouble() * span;
}

int Rand(int a, int b) {
  // Exactly one random double per call, whatever the bounds.
  const double r = RndDouble();
  const int64_t lo = a < b ? a : b;
  const int64_t hi = a < b ? b : a;
  const double range = static_cast<double>(hi - lo + 1);
  return static_cast<int>(lo + static_cast<int64_t>(r * range));
}
