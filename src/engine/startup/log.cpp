// The log "Debug.txt": one line per notable step, no time stamps.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/startup/startup.h"

namespace {

const char* const kRule = "----------------------------";

// Set when no "Debug.txt" could be made: the lines go to stderr.
bool gToTerminal = false;

std::vector<std::string> gClosingProblems;

}  // namespace

int Debug(const std::string& text) {
  if (!DebugFile) {
    if (gToTerminal) {
      std::fwrite(text.data(), 1, text.size(), stderr);
      std::fputc('\n', stderr);
    }
    return 0;
  }
  WriteLine(DebugFile, text);
  // Each line reaches the disk at once, so a crash keeps the log up to it.
  if (const int error = FlushedWriteError(DebugFile)) {
    // A full disk, say: this line and the ones after it go to the terminal.
    DebugFile.reset();
    LogToTerminal(std::strerror(error));
    return Debug(text);
  }
  return 0;
}

void LogToTerminal(const std::string& why) {
  if (gToTerminal) return;
  gToTerminal = true;
  std::fprintf(stderr, "pibbo: the log Debug.txt cannot be written (%s); it follows here\n", why.c_str());
}

bool OpenLog() {
  DebugFile.reset();
  errno = 0;
  // Only a regular file is made the log: a device, a FIFO or a socket of
  // that name is left as it is (a FIFO nobody reads would hold the start).
  std::string why = "a folder has that name";
  if (IsSpecialFile("Debug.txt")) {
    why = "it is not a regular file";
  } else if (FileType("Debug.txt") != 2) {
    DebugFile = WriteFile("Debug.txt");
    why = std::strerror(errno ? errno : EIO);
  }
  if (!DebugFile) {
    LogToTerminal(why);
  } else {
    gToTerminal = false;
  }
  Debug("Quenlor's Vellumbra Engine");
  Debug(kRule);
  Debug("Week #" + std::to_string(GameWeek));
  Debug(kRule);
  Debug(GameName);
  Debug(kRule);
  Debug("");
  Debug("Loading");
  return static_cast<bool>(DebugFile);
}

void CloseLog() {
  if (DebugFile) CloseFile(DebugFile);
  DebugFile.reset();
}

void ReportClosingProblem(const std::string& text) { gClosingProblems.push_back(text); }
const std::vector<std::string>& ClosingProblems() { return gClosingProblems; }
void ClearClosingProblems() { gClosingProblems.clear(); }
