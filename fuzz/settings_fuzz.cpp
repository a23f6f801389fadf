// The settings reader: the input is "Setup.ini" in the files folder. What
// it reads, written back and read again at the next start, must come out
// the same.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "engine/startup/startup.h"
#include "fuzz_support.h"

namespace {

void FreshStart() {
  std::fill(std::begin(Options), std::end(Options), 0);
  SetDefaults();
  MyScrw = 800;
  MyScrh = 600;
}

// The settings lines of the last input that differ from the defaults'.
size_t gSettingsRead = 0;

}  // namespace

std::string fuzzsupport::SeedReached() {
  return gSettingsRead == 0 ? "" : std::to_string(gSettingsRead) + " settings read";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::InScratchFolder scratch;
  AuxDrivers = {"OpenAL Soft", "SDL", "Silent"};
  FreshStart();
  const std::vector<std::string> defaults = IniLines();
  // The reader takes "Setup.ini" from the current folder once the files
  // folder is known: the scratch folder stands for it.
  FilesDir = CurrentDir();
  fuzzsupport::WriteInput("Setup.ini", data, size);
  ReadIni();
  const std::vector<std::string> written = IniLines();
  gSettingsRead = 0;
  for (size_t i = 0; i < std::max(written.size(), defaults.size()); ++i)
    if (i >= written.size() || i >= defaults.size() || written[i] != defaults[i]) ++gSettingsRead;
  // The writer leaves out unbound actions ("Key=10,0"), which the next start
  // binds to their defaults again: a known loss, taken as it is.
  int bound[101];
  std::copy(std::begin(KeyV), std::end(KeyV), bound);

  FreshStart();
  for (int i = 0; i <= 100; ++i)
    if (bound[i] == 0) KeyV[i] = 0;
  for (const std::string& line : written) ReadIniLine(line);
  const std::vector<std::string> again = IniLines();
  if (again != written) {  // the next start would read other settings
    for (size_t i = 0; i < std::max(written.size(), again.size()); ++i) {
      const std::string a = i < written.size() ? written[i] : "", b = i < again.size() ? again[i] : "";
      if (a != b) std::fprintf(stderr, "written: \"%s\"\nread back: \"%s\"\n", a.c_str(), b.c_str());
    }
    std::abort();
  }
  return 0;
}
