// The settings reader: the input is "Setup.ini". What it reads, written
// back and read again at the next start, must come out the same.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::InScratchFolder scratch;
  AuxDrivers = {"OpenAL Soft", "SDL", "Silent"};
  FreshStart();
  fuzzsupport::WriteInput("Setup.ini", data, size);
  ReadIni();
  const std::vector<std::string> written = IniLines();
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
