// Files kept in the player's data folder when the game's own folders cannot
// take them, and how their paths are shown to the player.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "engine/startup/startup.h"

namespace {

// FNV-1a of a text, as 16 hexadecimal digits: names a folder after a path.
std::string PathKey(const std::string& text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char buffer[17];
  std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(h));
  return buffer;
}

}  // namespace

std::string DataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/pibbo-zorravel";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.local/share/pibbo-zorravel";
  return "";
}

std::string KeptFileFor(const std::string& kind, const std::string& folder, const std::string& name) {
  const std::string data = DataFolder();
  if (data.empty() || folder.empty()) return "";
  return data + "/" + kind + "-" + PathKey(folder) + "/" + name;
}

std::string ShownPath(const std::string& path) {
  std::string full = path.empty() || path[0] == '/' ? path : CurrentDir() + "/" + path;
  if (!FilesDir.empty()) {
    const std::string top = std::filesystem::path(FilesDir).parent_path().string() + "/";
    if (full.compare(0, top.size(), top) == 0) return full.substr(top.size());
  }
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/' && std::strlen(home) > 1) {
    const std::string h = std::string(home) + "/";
    if (full.compare(0, h.size(), h) == 0) return "~/" + full.substr(h.size());
  }
  return full;
}

bool NewerFile(const std::string& a, const std::string& b) {
  std::error_code ea, eb;
  const auto ta = std::filesystem::last_write_time(a, ea);
  const auto tb = std::filesystem::last_write_time(b, eb);
  if (ea) return false;
  return eb || ta > tb;
}
