// The headless back end's scripted input: lines of "<ms> <event> ..." (see
// headless.h) parsed into events queued on the virtual clock.
// Platform-internal.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace headless_detail {

struct ScriptEvent {
  enum Type { Key, Char, MouseMove, Button, Close, PadAxis, PadHat, PadButton } type = Key;
  uint32_t at = 0;   // absolute virtual time
  uint64_t seq = 0;  // keeps the order of events with the same time
  int a = 0, b = 0;  // code / x / button / port; down / y / axis / pad button
  bool down = false;
  float value = 0;
  bool IsPad() const { return type >= PadAxis; }
};

class Script {
 public:
  explicit Script(uint32_t start) : start_(start) {}

  // Parses and queues every line; bad lines are reported on stderr and
  // skipped. `origin` names the text in those reports.
  void Add(const std::string& text, const std::string& origin);
  bool Load(const std::string& path);
  void Clear() { queue_.clear(); }
  int Pending() const { return static_cast<int>(queue_.size()); }
  // Takes the next event due at `now`, or with `padsOnly` the next pad
  // event due; false when none is.
  bool PopDue(uint32_t now, bool padsOnly, ScriptEvent& out);

 private:
  bool ParseLine(const std::string& raw);
  bool ParseEvents(const std::string& raw);
  void Push(ScriptEvent e, uint32_t at);

  uint32_t start_;
  std::deque<ScriptEvent> queue_;  // sorted by time
  std::vector<ScriptEvent> parsed_;
  uint64_t nextSeq_ = 0;
};

}  // namespace headless_detail
