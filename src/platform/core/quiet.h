// Keeps what libraries print on the standard error stream off the terminal
// while they probe devices (sound libraries report every device they fail
// to open). Platform-internal.
#pragma once

class QuietStderr {
 public:
  QuietStderr();
  ~QuietStderr();
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};
