// The score file reader. The first byte chooses how the rest becomes
// "nuscores.dat": as it is (the scrambled file a disk holds), or as plain
// lines that the harness scrambles first, so the fuzzer reaches the score
// line parser behind the checksums.
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/startup/startup.h"
#include "fuzz_support.h"
#include "scores/scores.h"

namespace {
size_t gRecordsRead = 0;
}  // namespace

std::string fuzzsupport::SeedReached() {
  return gRecordsRead == 0 ? "" : std::to_string(gRecordsRead) + " records read";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::InScratchFolder scratch;
  gRecordsRead = 0;
  if (GameUniqueKey.empty()) GetUniqueKey();
  if (size == 0) return 0;
  const bool plain = data[0] & 1;
  ++data;
  --size;
  if (plain) {
    std::string file;
    size_t start = 0;
    for (int n = 0; start <= size; ++n) {
      size_t end = start;
      while (end < size && data[end] != '\n') ++end;
      const std::string line(reinterpret_cast<const char*>(data) + start, end - start);
      file += Scramble(line, n == 0 ? RegKey : "") + "\r\n";
      start = end + 1;
    }
    fuzzsupport::WriteInput("nuscores.dat", reinterpret_cast<const uint8_t*>(file.data()), file.size());
  } else {
    fuzzsupport::WriteInput("nuscores.dat", data, size);
  }
  ResetScoreTables();
  ScoresLoaded = 0;
  LoadScores();
  gRecordsRead = Highscores.Count();
  // Each record read comes back the same from the line the next save
  // writes for it.
  for (const auto& r : Highscores) {
    const auto back = ParseScoreLine(Unscramble(Scramble(ScoreLinePlain(*r), ""), ""));
    if (!back || back->Score != r->Score || back->Timestamp != r->Timestamp || back->Badges != r->Badges ||
        back->Name != r->Name || back->Best != r->Best || back->Level != r->Level ||
        back->GameMode != r->GameMode || back->GameFlags != r->GameFlags || back->Quit != r->Quit)
      std::abort();
  }
  return 0;
}
