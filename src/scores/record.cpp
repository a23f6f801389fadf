// The score record's ordering.
#include "scores/scores.h"

int Scores::Compare(const Scores& other) const {
  // 64-bit difference with wrap-around, then its low 32 bits as a signed int.
  const uint64_t d = static_cast<uint64_t>(other.Timestamp) - static_cast<uint64_t>(Timestamp);
  return static_cast<int32_t>(static_cast<uint32_t>(d));
}

int Scores::Compare(const Scores* other) const {
  if (other == nullptr) return 1;
  return Compare(*other);
}
