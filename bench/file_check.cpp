// Checks the files a run of the game leaves in a run folder: whether
// "Files/Setup.ini" and "Files/260/nuscores.dat" are whole, how many score
// records the score file holds, and whether temporary files are left.
//
//   file_check <run folder>
//
// Prints one line: "setup=whole|torn|missing scores=whole|torn|missing
// records=N temps=N". Exit status 0.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/startup/startup.h"
#include "scores/scores.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <run folder>\n", argv[0]);
    return 2;
  }
  const std::string files = std::string(argv[1]) + "/Files";
  PlatformInit(BackendKind::Headless);

  std::string setup = "missing";
  std::vector<std::string> lines;
  if (fs::exists(files + "/Setup.ini") && LoadLines(files + "/Setup.ini", lines)) {
    // Whole: the three sections, the last one complete up to its key lines.
    bool graphics = false, audio = false, controls = false;
    for (const std::string& l : lines) {
      graphics |= l == "[Graphics]";
      audio |= l == "[Audio]";
      controls |= l == "[Controls]";
    }
    setup = graphics && audio && controls && lines.size() >= 20 ? "whole" : "torn";
  }

  std::string scores = "missing";
  int records = 0;
  lines.clear();
  const std::string scoreFile = files + "/260/nuscores.dat";
  if (fs::exists(scoreFile) && LoadLines(scoreFile, lines)) {
    GetUniqueKey();
    bool whole = !lines.empty() && Unscramble(lines[0], RegKey) != "XXX";
    for (size_t i = 1; i < lines.size(); ++i) {
      if (lines[i].empty() && i + 1 == lines.size()) break;
      if (ParseScoreLine(Unscramble(lines[i], ""))) ++records;
      else whole = false;
    }
    scores = whole ? "whole" : "torn";
  }

  int temps = 0;
  for (const std::string& folder : {files, files + "/260"}) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
      if (e.path().filename().string().find(".tmp-") != std::string::npos) ++temps;
  }
  std::printf("setup=%s scores=%s records=%d temps=%d\n", setup.c_str(), scores.c_str(), records, temps);
  PlatformShutdown();
  return 0;
}
