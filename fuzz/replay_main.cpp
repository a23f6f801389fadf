// The seed replay: a harness built without libFuzzer runs each file of the
// folders it is given once, in name order, as libFuzzer runs its corpus,
// and asks the harness after each what it reached (SeedReached). It fails
// when a seed reaches nothing, when a folder holds no seed, or (as under
// libFuzzer) when the harness aborts.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  int failed = 0;
  for (int a = 1; a < argc; ++a) {
    std::vector<std::filesystem::path> seeds;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(argv[a], ec))
      if (entry.is_regular_file()) seeds.push_back(entry.path());
    std::sort(seeds.begin(), seeds.end());
    if (seeds.empty()) {
      std::fprintf(stderr, "%s: no seeds\n", argv[a]);
      ++failed;
    }
    for (const auto& seed : seeds) {
      std::ifstream in(seed, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      const std::string reached = fuzzsupport::SeedReached();
      std::printf("%-28s %s\n", seed.filename().c_str(), reached.empty() ? "REACHED NOTHING" : reached.c_str());
      if (reached.empty()) ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}
