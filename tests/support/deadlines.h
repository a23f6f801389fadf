// How long the tests that run the real program wait for it, all in one
// place. The deadlines are generous on purpose: on a loaded machine the
// software renderer slows down many times over, and a test that sees the
// state it waits for goes on at once, so a long deadline costs nothing when
// the test passes. A slower build (one with sanitizers, say) scales them in
// Deadline().
#pragma once

#include <cstdlib>

namespace testsupport {

// How many times longer than in a plain build the tests let a run take:
// PIBBO_TEST_TIME_SCALE (the sanitizer build sets it), at least 1.
inline int TimeScale() {
  static const int scale = [] {
    const char* text = std::getenv("PIBBO_TEST_TIME_SCALE");
    const int n = text ? std::atoi(text) : 1;
    return n > 1 ? n : 1;
  }();
  return scale;
}

// Milliseconds.
inline constexpr int kStartDeadlineMs = 180000;   // a start to the title screen
inline constexpr int kScreenDeadlineMs = 90000;   // an input to the screen it leads to
inline constexpr int kShotDeadlineMs = 60000;     // an F11 press to the screenshot it saves
inline constexpr int kExitDeadlineMs = 90000;     // the closing screen to the program's end
inline constexpr int kPlayDeadlineMs = 900000;    // a whole game played to its end
inline constexpr int kRepeatMs = 5000;            // between repeats of an input that may be missed
inline constexpr int kShotRepeatMs = 15000;       // an F11 press unanswered this long was forgotten
// Seconds: a program a test started is killed after this (SIGALRM), so a
// test that fails never leaves one behind. Longer than any wait above,
// shorter than the time limit ctest gives these tests (tests/CMakeLists.txt);
// scaled by TimeScale() as both are.
inline constexpr int kChildLifetimeSeconds = 1400;

// The deadline a test waits for, from one of the above.
inline int Deadline(int ms) { return ms * TimeScale(); }

}  // namespace testsupport
