#include "platform/headless/recorder.h"

#include <algorithm>

namespace headless_detail {
namespace {
// Recording never holds more than about this many calls.
constexpr size_t kMaxCalls = 1u << 20;
bool IsFlip(const DrawCall& c) { return c.kind == DrawCall::Flip; }
}  // namespace

DrawCall Recorder::WithState(DrawCall::Kind kind, const DrawState& s) {
  DrawCall call;
  call.kind = kind;
  call.r = s.r, call.g = s.g, call.b = s.b;
  call.alpha = s.alpha;
  call.blend = s.blend;
  call.rotation = s.rotation;
  call.scaleX = s.scaleX, call.scaleY = s.scaleY;
  call.lineWidth = s.lineWidth;
  return call;
}

// Once it holds twice the wanted number of frames, the older half goes. The
// last frame always survives.
void Recorder::Record(DrawCall&& call) {
  const bool flip = IsFlip(call);
  calls_.push_back(std::move(call));
  if (flip) {
    ++totalFlips_;
    ++flips_;
    if (flips_ > 2 * limit_) Trim(limit_);
  } else if (calls_.size() > kMaxCalls) {
    // A long run without flips: keep the last frame if that suffices, else
    // the newer half of the calls.
    if (flips_ > 1) Trim(1);
    if (calls_.size() > kMaxCalls) {
      calls_.erase(calls_.begin(), calls_.begin() + static_cast<long>(calls_.size() / 2));
      flips_ = static_cast<int>(std::count_if(calls_.begin(), calls_.end(), IsFlip));
    }
  }
}

void Recorder::Clear() {
  calls_.clear();
  flips_ = 0;
}

std::vector<DrawCall> Recorder::LastFrame() const {
  auto last = std::find_if(calls_.rbegin(), calls_.rend(), IsFlip);
  if (last == calls_.rend()) return {};
  auto before = std::find_if(last + 1, calls_.rend(), IsFlip);
  return std::vector<DrawCall>(before.base(), last.base() - 1);
}

// Drops calls up to the flip that leaves `keep` flips recorded.
void Recorder::Trim(int keep) {
  int drop = flips_ - keep, flipsSeen = 0;
  for (size_t i = 0; i < calls_.size(); ++i) {
    if (IsFlip(calls_[i]) && ++flipsSeen == drop) {
      calls_.erase(calls_.begin(), calls_.begin() + static_cast<long>(i) + 1);
      break;
    }
  }
  flips_ = keep;
}

}  // namespace headless_detail
