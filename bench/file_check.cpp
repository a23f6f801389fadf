// Checks the files a run of the game leaves in a run folder, as the next
// start will read them: whether "Files/Setup.ini" and
// "Files/260/nuscores.dat" are whole, or torn but read back whole from the
// copy a save in place keeps in the data folder ($XDG_DATA_HOME), how many
// score records the next start reads, whether temporary files are left,
// and how many copies and temporary files of saves in place are left.
//
//   file_check <run folder> [stamp]
//
// Prints one line: "setup=whole|recovered|torn|missing
// scores=whole|recovered|torn|missing records=N temps=N kept=N now=S
// newest=S since=N": now is the time stamp of this moment, newest the
// newest record's, since the number of records stamped at `stamp` or
// later (0 without it). Exit status 0.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/startup/startup.h"
#include "scores/scores.h"

namespace fs = std::filesystem;

namespace {

int Temps(const std::string& folder) {
  int temps = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (e.path().filename().string().find(".tmp-") != std::string::npos) ++temps;
  return temps;
}

bool SetupWhole(const std::string& path) {
  std::vector<std::string> lines;
  if (!LoadLines(path, lines)) return false;
  // Whole: the three sections, the last one complete up to its key lines.
  bool graphics = false, audio = false, controls = false;
  for (const std::string& l : lines) {
    graphics |= l == "[Graphics]";
    audio |= l == "[Audio]";
    controls |= l == "[Controls]";
  }
  return graphics && audio && controls && lines.size() >= 20 && lines.back() == "Key=13,86";
}

bool ScoresWhole(const std::string& path) {
  std::vector<std::string> lines;
  if (!LoadLines(path, lines)) return false;
  bool whole = !lines.empty() && Unscramble(lines[0], RegKey) != "XXX";
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty() && i + 1 == lines.size()) break;
    if (!ParseScoreLine(Unscramble(lines[i], ""))) whole = false;
  }
  return whole;
}

// "whole", "missing", or, for a torn file, "recovered" when the copy that
// its save in place kept is whole and the next start reads it, else "torn".
std::string State(const std::string& path, const std::string& kept, bool (*whole)(const std::string&)) {
  if (!fs::exists(path)) return "missing";
  if (whole(path)) return "whole";
  if (!kept.empty() && fs::exists(kept) && whole(kept) && IsFirstPartOf(path, kept)) return "recovered";
  return "torn";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s <run folder> [stamp]\n", argv[0]);
    return 2;
  }
  const std::string files = fs::canonical(std::string(argv[1]) + "/Files").string();
  const std::string game = files + "/260";
  PlatformInit(BackendKind::Headless);
  GetUniqueKey();

  const std::string keptSetup = KeptFileFor("settings", files, "Setup.ini");
  const std::string keptScores = KeptFileFor("scores", game, "nuscores.dat");
  int temps = Temps(files) + Temps(game), kept = 0;
  for (const std::string& copy : {keptSetup, keptScores}) {
    if (copy.empty()) continue;
    kept += Temps(fs::path(copy).parent_path().string()) + (fs::exists(copy) ? 1 : 0);
  }
  const std::string setup = State(files + "/Setup.ini", keptSetup, SetupWhole);
  const std::string scores = State(game + "/nuscores.dat", keptScores, ScoresWhole);

  // The records as the next start reads them (the score file and what
  // was kept beside it or in the data folder).
  fs::current_path(game);
  ScoresLoaded = 0;
  LoadScores();
  const int records = static_cast<int>(Highscores.Count());
  const long long stamp = argc == 3 ? std::atoll(argv[2]) : 0;
  long long newest = 0;
  int since = 0;
  for (const auto& r : Highscores) {
    newest = std::max<long long>(newest, r->Timestamp);
    if (argc == 3 && r->Timestamp >= stamp) ++since;
  }

  std::printf("setup=%s scores=%s records=%d temps=%d kept=%d now=%lld newest=%lld since=%d\n", setup.c_str(),
              scores.c_str(), records, temps, kept, static_cast<long long>(Timestamp()), newest, since);
  PlatformShutdown();
  return 0;
}
