// The score record's ordering.
#include <algorithm>

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

bool InTable(const Scores& record, int mode, int level, int flags) {
  return record.GameMode == mode && record.Level == level && record.GameFlags == flags;
}

int BestOfTable(const TList<Scores>& list, int mode, int level, int flags, std::shared_ptr<Scores>* out, int rows) {
  int count = 0;
  for (const auto& r : list) {
    if (!InTable(*r, mode, level, flags)) continue;
    // Its place: before the first that scored less.
    int place = 0;
    while (place < count && out[place]->Score >= r->Score) ++place;
    if (place >= rows) continue;
    for (int k = std::min(count, rows - 1); k > place; --k) out[k] = out[k - 1];
    out[place] = r;
    count = std::min(count + 1, rows);
  }
  return count;
}
