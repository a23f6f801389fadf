// Runs a command and kills it (SIGKILL) at a chosen moment, for
// bench/kill_run.sh:
//
//   kill_at_save <when> <folder>... -- <command> [args...]
//
// <when> is "ms:N" (N milliseconds after the start), "save:K:U" (U
// microseconds after the K-th temporary save file, a name holding ".tmp-",
// appears in one of the folders: that is, while the K-th save is writing)
// or "moved:K:U" (U microseconds after the K-th file is renamed into one of
// the folders: a save's temporary file has just become the file, or the
// copy of a rewrite in place is whole and the rewrite begins), or
// "stop:K:PATH": not a kill but a stop (SIGSTOP) as the K-th temporary save
// file appears, that is inside the K-th save with its locks held; it makes
// PATH.stopped, holds the command stopped until PATH exists (at most 600
// s), then lets it go on (SIGCONT) to its end.
// Prints one line: "killed=0|1 temps_seen=N stopped=0|1 inside=0|1";
// killed=0 when the command ended first, inside=1 when the stop came
// before the temporary file had taken its place. Exit status 0, or 2 on a usage error.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

long long NowUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

// Whether a temporary save file stands in one of the folders.
bool TempLeft(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) continue;
    bool found = false;
    while (const dirent* e = readdir(dir)) found = found || std::strstr(e->d_name, ".tmp-");
    closedir(dir);
    if (found) return true;
  }
  return false;
}

int Usage() {
  std::fprintf(stderr, "usage: kill_at_save ms:N|save:K:U|moved:K:U|stop:K:PATH <folder>... -- <command> [args...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  const std::string when = argv[1];
  long long afterMs = -1, saveUs = 0;
  int saveNumber = 0;
  bool moves = false;  // count renames into the folders, not new temporary files
  std::string release;  // stop:K:PATH: the file that lets a stopped command go on
  if (when.rfind("stop:", 0) == 0) {
    const size_t colon = when.find(':', 5);
    saveNumber = std::atoi(when.c_str() + 5);
    if (colon == std::string::npos || saveNumber < 1 || colon + 1 >= when.size()) return Usage();
    release = when.substr(colon + 1);
  } else if (when.rfind("ms:", 0) == 0) {
    afterMs = std::atoll(when.c_str() + 3);
  } else if (std::sscanf(when.c_str(), "moved:%d:%lld", &saveNumber, &saveUs) == 2 && saveNumber >= 1) {
    moves = true;
  } else if (std::sscanf(when.c_str(), "save:%d:%lld", &saveNumber, &saveUs) != 2 || saveNumber < 1) {
    return Usage();
  }
  int i = 2;
  const int inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify < 0) return Usage();
  std::vector<std::string> folders;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    inotify_add_watch(inotify, argv[i], IN_CREATE | IN_MOVED_TO);
    folders.push_back(argv[i]);
  }
  if (i + 1 >= argc) return Usage();
  char** command = argv + i + 1;

  const long long start = NowUs();
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(command[0], command);
    _exit(127);
  }
  if (pid < 0) return Usage();

  int temps = 0, renames = 0;
  long long killAt = afterMs >= 0 ? start + afterMs * 1000 : -1;
  bool killed = false, stopped = false, inside = false, ended = false;
  for (;;) {
    if (ended) break;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) break;
    if (killAt >= 0 && NowUs() >= killAt) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      killed = true;
      break;
    }
    // Short waits near the moment, so the kill lands within microseconds.
    const long long left = killAt >= 0 ? killAt - NowUs() : 5000;
    pollfd p{inotify, POLLIN, 0};
    poll(&p, 1, left > 2000 ? 1 : 0);
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = read(inotify, buffer, sizeof buffer)) > 0;) {
      for (char* at = buffer; at < buffer + n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(at);
        const bool temp = e->len > 0 && (e->mask & IN_CREATE) && std::strstr(e->name, ".tmp-");
        const bool moved = e->len > 0 && (e->mask & IN_MOVED_TO);
        if (temp) ++temps;
        if (!release.empty() && temp && temps == saveNumber && !stopped) {
          kill(pid, SIGSTOP);
          stopped = true;
          // Stopped before its temporary file took its place: inside the save.
          int status = 0;
          waitpid(pid, &status, WUNTRACED);
          inside = WIFSTOPPED(status) && TempLeft(folders);
          ended = !WIFSTOPPED(status);  // it ended first (and is reaped)
          const int marker = open((release + ".stopped").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
          if (marker >= 0) close(marker);
          for (const long long until = NowUs() + 600 * 1000000LL;
               !ended && access(release.c_str(), F_OK) != 0 && NowUs() < until;) {
            usleep(10 * 1000);
          }
          if (!ended) kill(pid, SIGCONT);
        } else if (release.empty() &&
                   ((moves && moved && ++renames == saveNumber) || (!moves && temp && temps == saveNumber)) &&
                   killAt < 0) {
          killAt = NowUs() + saveUs;
        }
        at += sizeof(inotify_event) + e->len;
      }
    }
  }
  std::printf("killed=%d temps_seen=%d stopped=%d inside=%d\n", killed ? 1 : 0, temps, stopped ? 1 : 0,
              inside ? 1 : 0);
  return 0;
}
