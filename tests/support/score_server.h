// The project's score server, started for a test on a free port of
// 127.0.0.1 and killed with the object; and the game's three requests as
// the server receives them, made without the game's globals (so from any
// thread) and sent over a plain socket.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "scores/scores.h"
#include "tiny_server.h"

namespace testsupport {

class ScoreServerProcess {
 public:
  // `binary` the server, `db` its database file.
  // `extra` are further arguments; `errors`, when given, the file that
  // takes its error output.
  ScoreServerProcess(const std::string& binary, const std::string& db, const std::string& motd,
                     const std::vector<std::string>& extra = {}, const std::string& errors = "") {
    std::vector<std::string> args = {binary, "--port", "0", "--db", db, "--motd", motd};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      if (!errors.empty()) {
        const int log = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0) dup2(log, 2);
      }
      execv(binary.c_str(), argv.data());
      _exit(127);
    }
    close(out[1]);
    // "listening on 127.0.0.1:PORT", or "[::1]:PORT" on IPv6.
    if (FILE* f = fdopen(out[0], "r")) {
      char line[256] = "";
      const std::string said = std::fgets(line, sizeof line, f) ? line : "";
      const size_t colon = said.rfind(':');
      if (said.rfind("listening on ", 0) == 0 && colon != std::string::npos) port_ = std::atoi(said.c_str() + colon + 1);
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

  pid_t pid() const { return pid_; }

  // Asks the server to end (SIGTERM) and waits for it: true when it ended
  // of itself, with status 0.
  bool Stop() {
    if (pid_ <= 0) return false;
    int status = 0;
    kill(pid_, SIGTERM);
    const bool ended = waitpid(pid_, &status, 0) == pid_;
    pid_ = -1;
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  int port() const { return port_; }  // 0 when it did not start
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// The targets of the game's requests for an account (see the online
// requests): Scramble is pure, so these run on any thread once the game's
// key exists (GetUniqueKey).
inline std::string AccountProof(const std::string& name, const std::string& password) {
  return name + "|" + Scramble(name + "|" + password, RegKey);
}
inline std::string LoginTarget(const std::string& name, const std::string& password) {
  return "//kestrum/login.php?week=260&input=" + Scramble(AccountProof(name, password), "");
}
// The upload payload of a record, with its name as given (bars and line
// breaks included).
inline std::string UploadTarget(const std::string& name, const std::string& password, const Scores& r) {
  const std::string payload = ScoreLineHead(r) + "|" + ScoreLineToken + "|" + ScoreLineBest(r);
  return "//kestrum/scores.php?Week=260&Input=" + Scramble(AccountProof(name, password) + "|" + payload, "");
}
inline std::string TableTarget(int id) { return "//kestrum/tables/260/" + std::to_string(id) + ".txt"; }

// One request as the game sends it, on a connection of its own to
// 127.0.0.1:port; answers the whole reply ("" when none came within
// timeoutMs of silence).
// `from` as for ConnectToLoopback.
inline std::string HttpGet(int port, const std::string& target, int timeoutMs = 5000, const char* from = nullptr) {
  const int fd = ConnectToLoopback(port, from);
  if (fd < 0) return "";
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  std::string reply;
  const std::string request = "GET " + target + " HTTP/1.0\nHost: 127.0.0.1\nUser-Agent: VortaThttp/1.0\n\n\r\n";
  if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return reply;
}
// The body of a reply: what follows the blank line after the headers,
// without the CR LF the server ends it with.
inline std::string HttpBody(const std::string& reply) {
  const size_t at = reply.find("\r\n\r\n");
  if (at == std::string::npos) return "";
  std::string body = reply.substr(at + 4);
  if (body.size() >= 2 && body.compare(body.size() - 2, 2, "\r\n") == 0) body.resize(body.size() - 2);
  return body;
}
inline int HttpStatus(const std::string& reply) {
  return reply.rfind("HTTP/1.", 0) == 0 && reply.size() > 12 ? std::atoi(reply.substr(9, 3).c_str()) : 0;
}

}  // namespace testsupport
