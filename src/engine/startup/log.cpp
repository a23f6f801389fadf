// The log "Debug.txt": one line per notable step, no time stamps.
#include <cstdio>

#include "engine/startup/startup.h"

namespace {

const char* const kRule = "----------------------------";

// A write stream that hands every write to the disk at once, so a crash
// keeps the log up to its last line.
class LogStream final : public TStream {
 public:
  explicit LogStream(std::FILE* file) : file_(file) {}
  ~LogStream() override { Close(); }
  int Read(void*, int) override { return 0; }
  int Write(const void* buffer, int n) override {
    if (!file_ || n <= 0) return 0;
    int done = static_cast<int>(std::fwrite(buffer, 1, static_cast<size_t>(n), file_));
    std::fflush(file_);
    return done;
  }
  int Eof() override { return 1; }
  void Close() override {
    if (file_) std::fclose(file_);
    file_ = nullptr;
  }

 private:
  std::FILE* file_;
};

}  // namespace

int Debug(const std::string& text) {
  if (!DebugFile) return 0;
  WriteLine(DebugFile, text);
  return 0;
}

bool OpenLog() {
  DebugFile.reset();
  if (FileType("Debug.txt") != 2) {
    if (std::FILE* f = std::fopen("Debug.txt", "wb")) DebugFile = std::make_shared<LogStream>(f);
  }
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
