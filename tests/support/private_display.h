// An X server of a test's own: tests that move the pointer, press keys and
// take the focus must not share a display with tests running beside them.
// Starts Xvfb on a free display number and points DISPLAY at it for this
// process and its children; the server ends with the object.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace testsupport {

class PrivateDisplay {
 public:
  // width x height at 24 bits; empty name() when Xvfb cannot be started.
  PrivateDisplay(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
      if (!freopen("/dev/null", "w", stderr)) _exit(127);
      // -noreset: a server that resets when its last client leaves refuses
      // connections meanwhile (a program started again, xdotool).
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
             "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
      close(fds[0]);
      return;
    }
    // Xvfb writes the display number once it accepts clients.
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) return;
    name_ = ":" + number;
    if (const char* old = std::getenv("DISPLAY")) previous_ = old;
    setenv("DISPLAY", name_.c_str(), 1);
  }
  ~PrivateDisplay() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (!name_.empty()) {
      if (previous_.empty()) unsetenv("DISPLAY");
      else setenv("DISPLAY", previous_.c_str(), 1);
    }
  }
  PrivateDisplay(const PrivateDisplay&) = delete;
  PrivateDisplay& operator=(const PrivateDisplay&) = delete;

  const std::string& name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
  std::string previous_;
};

}  // namespace testsupport
