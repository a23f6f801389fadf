// The music rule file reader: the input is "music/fuzz.ini"; a song starts
// from it and composes its first sections.
#include <filesystem>

#include "fuzz_support.h"
#include "music/music.h"

std::string fuzzsupport::SeedReached() {
  int lines = 0;
  for (int section = 0; section < 5; ++section) lines += Zumo_Many[section];
  return lines == 0 ? "" : std::to_string(lines) + " rule lines read";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::InScratchFolder scratch;
  static const bool made = std::filesystem::create_directory("music");
  (void)made;
  fuzzsupport::WriteInput("music/fuzz.ini", data, size);
  // As after a start-up that found three samples of each tuned voice.
  for (int k = 1; k <= 3; ++k) Zumo_PatternHave[k] = 3;
  Zumo_NewSong("fuzz", 1, 250);
  // A few sections past the first: the pickers walk the rule lines.
  for (int p = 0; p < 12; ++p) Zumo_NextPattern();
  Zumo_Playing = 0;
  return 0;
}
