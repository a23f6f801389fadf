// The project's score server, started for a test on a free port of
// 127.0.0.1 and killed with the object.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace testsupport {

class ScoreServerProcess {
 public:
  // `binary` the server, `db` its database file.
  ScoreServerProcess(const std::string& binary, const std::string& db, const std::string& motd) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      execl(binary.c_str(), binary.c_str(), "--port", "0", "--db", db.c_str(), "--motd", motd.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    if (FILE* f = fdopen(out[0], "r")) {
      if (std::fscanf(f, "listening on 127.0.0.1:%d", &port_) != 1) port_ = 0;
      std::fclose(f);
    }
  }
  ~ScoreServerProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  ScoreServerProcess(const ScoreServerProcess&) = delete;
  ScoreServerProcess& operator=(const ScoreServerProcess&) = delete;

  int port() const { return port_; }  // 0 when it did not start
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace testsupport
