// The log "Debug.txt": one line per notable step, no time stamps.
#include "engine/startup/startup.h"

namespace {

const char* const kRule = "----------------------------";

}  // namespace

int Debug(const std::string& text) {
  if (!DebugFile) return 0;
  WriteLine(DebugFile, text);
  // Each line reaches the disk at once, so a crash keeps the log up to it.
  FlushStream(DebugFile);
  return 0;
}

bool OpenLog() {
  DebugFile.reset();
  if (FileType("Debug.txt") != 2) DebugFile = WriteFile("Debug.txt");
  if (!DebugFile) {
    DebugLog("Debug.txt could not be created; running without a log");
    return false;
  }
  Debug("Quenlor's Vellumbra Engine");
  Debug(kRule);
  Debug("Week #" + std::to_string(GameWeek));
  Debug(kRule);
  Debug(GameName);
  Debug(kRule);
  Debug("");
  Debug("Loading");
  return true;
}

void CloseLog() {
  if (DebugFile) CloseFile(DebugFile);
  DebugFile.reset();
}
