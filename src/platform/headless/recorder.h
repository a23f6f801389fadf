// The headless back end's record of draw calls, kept bounded: at least the
// calls of the last `limit` frames survive.
// Platform-internal.
#pragma once

#include <vector>

#include "platform/backend.h"
#include "platform/headless.h"

namespace headless_detail {

class Recorder {
 public:
  // A call of `kind` with the drawing state of the moment.
  static DrawCall WithState(DrawCall::Kind kind, const DrawState& state);

  void Record(DrawCall&& call);
  const std::vector<DrawCall>& Calls() const { return calls_; }
  void Clear();
  // Calls between the last two flips (everything before the one flip).
  std::vector<DrawCall> LastFrame() const;
  int TotalFlips() const { return totalFlips_; }
  void SetLimit(int flips) { limit_ = flips > 1 ? flips : 1; }

 private:
  void Trim(int keep);

  std::vector<DrawCall> calls_;
  int flips_ = 0;       // flips held in calls_
  int totalFlips_ = 0;  // flips since the back end started
  int limit_ = 64;
};

}  // namespace headless_detail
