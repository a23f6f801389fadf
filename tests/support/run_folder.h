// Whole runs of the `pibbo` executable in a scratch copy of the run folder,
// started as a player would start it, with helpers to watch and drive it.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "deadlines.h"
#include "test_support.h"

namespace testsupport {

// Splits at CR LF; a trailing CR LF gives no extra empty line.
inline std::vector<std::string> CrLfLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find("\r\n", pos);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(pos));
      break;
    }
    lines.push_back(bytes.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

// Output of a shell command.
inline std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

// The first line of a command's output, without its line end.
inline std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

class RunFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tmp_ = MakeTempDir("run");
    ASSERT_FALSE(tmp_.empty());
    run_ = tmp_ + "/run";
    std::filesystem::copy(PIBBO_RUN_DIR, run_, std::filesystem::copy_options::recursive);
    ASSERT_TRUE(std::filesystem::exists(run_ + "/pibbo"));
    std::filesystem::remove(run_ + "/Files/Debug.txt");
    std::filesystem::remove(run_ + "/Files/Setup.ini");
    std::filesystem::remove(run_ + "/Files/260/nuscores.dat");
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(tmp_, ec);
  }

  // Starts pibbo from the scratch folder (not the executable's own) with
  // the environment given on top of ours: "-NAME" takes NAME out of it,
  // "NAME=value" sets it.
  pid_t Spawn(const std::vector<std::string>& env) {
    const unsigned lifetime = static_cast<unsigned>(kChildLifetimeSeconds * TimeScale());
    pid_t pid = fork();
    if (pid == 0) {
      for (const std::string& kv : env) {
        if (!kv.empty() && kv[0] == '-') unsetenv(kv.c_str() + 1);
        else putenv(const_cast<char*>(kv.c_str()));
      }
      if (!stderrFile_.empty() && !freopen(stderrFile_.c_str(), "w", stderr)) _exit(122);
      if (chdir(tmp_.c_str()) != 0) _exit(120);
      if (inChild_) inChild_();
      alarm(lifetime);  // never leave a hung child behind
      std::string exe = run_ + "/pibbo";
      execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
      _exit(121);
    }
    return pid;
  }

  static int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

  // The exit code once the program has ended, or -1 when it did not end
  // normally within `ms` (times TimeScale(); it is then killed).
  static int WaitExit(pid_t pid, int ms) {
    ms *= TimeScale();
    int status = 0;
    for (int waited = 0; waited < ms; waited += 10) {
      if (waitpid(pid, &status, WNOHANG) == pid) return ExitCode(status);
      usleep(10 * 1000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  static bool Running(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == 0;
  }

  // Runs pibbo to its end; its exit code, or -1 (see WaitExit). By default
  // it may take as long as a start and an end may take on a loaded machine.
  int Run(const std::vector<std::string>& env, int ms = kStartDeadlineMs + kExitDeadlineMs) {
    pid_t pid = Spawn(env);
    return pid < 0 ? -1 : WaitExit(pid, ms);
  }

  std::string WriteScript(const std::string& text) {
    std::string path = tmp_ + "/input.txt";
    WriteBytes(path, text);
    return path;
  }

  std::vector<std::string> Log() { return CrLfLines(ReadBytes(run_ + "/Files/Debug.txt")); }
  bool LogHas(const std::string& text) { return ReadBytes(run_ + "/Files/Debug.txt").find(text) != std::string::npos; }
  bool Loaded() { return LogHas("Finished Loading"); }

  std::string tmp_;
  std::string run_;
  std::string stderrFile_;  // where the child's stderr goes; "" inherits ours
  // Run in the child just before the program starts (its stderr and folder
  // set): to play as another user, say. It may end the child with _exit.
  std::function<void()> inChild_;
};

}  // namespace testsupport
