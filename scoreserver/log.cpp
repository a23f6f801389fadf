#include "log.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace scoreserver {
namespace {

std::mutex gLogMutex;
std::map<std::string, std::pair<std::string, unsigned>> gMessages;  // by format: the first text, how many

}  // namespace

void LogMessage(const char* format, va_list arguments) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, arguments);
  std::string line = text;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  std::lock_guard<std::mutex> lock(gLogMutex);
  auto& [first, count] = gMessages[format];
  if (count++ == 0) {
    first = line;
    std::fprintf(stderr, "pibbo-scoreserver: %s\n", line.c_str());
  }
}

void Note(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  LogMessage(format, arguments);
  va_end(arguments);
}

void CountMessages() {
  std::lock_guard<std::mutex> lock(gLogMutex);
  for (const auto& [format, message] : gMessages)
    if (message.second > 1)
      std::fprintf(stderr, "pibbo-scoreserver: %u more times: %s\n", message.second - 1, message.first.c_str());
  gMessages.clear();
}

}  // namespace scoreserver
