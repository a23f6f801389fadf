// The seed replay: a harness built without libFuzzer runs each file of the
// folders it is given once, in name order, as libFuzzer runs its corpus,
// and asks the harness after each what it reached (SeedReached). Each
// folder's file "outcomes.expected" holds, a line per seed, the seed's
// name and what it is to reach, as the replay prints them. It fails when a
// seed reaches nothing or something other than its expected outcome, when
// a seed has no expected outcome or an expected outcome no seed, when a
// folder holds no seed, or (as under libFuzzer) when the harness aborts.
//
//   NAME_seeds [--write] FOLDER...
//
// --write puts what the seeds reach now in place of each folder's
// expected outcomes (after a harness's verdicts were meant to change).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

constexpr char kExpected[] = "outcomes.expected";

// An outcome as it is compared and written: one line, blanks at its end
// not counting.
std::string Trimmed(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// The line printed for a seed, and written for it by --write.
std::string Line(const std::string& seed, const std::string& outcome) {
  std::string line = seed;
  line.resize(std::max<size_t>(line.size(), 28), ' ');
  return Trimmed(line + " " + outcome);
}

// The expected outcomes of a folder by seed name; false when the file
// cannot be read.
bool ReadExpected(const std::filesystem::path& file, std::map<std::string, std::string>& expected) {
  std::ifstream in(file);
  if (!in) return false;
  for (std::string line; std::getline(in, line);) {
    const size_t end = line.find_first_of(" \t");
    const std::string seed = line.substr(0, end);
    if (seed.empty()) continue;
    const size_t from = end == std::string::npos ? line.size() : line.find_first_not_of(" \t", end);
    expected[seed] = from == std::string::npos ? "" : Trimmed(line.substr(from));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int failed = 0;
  bool write = false;
  for (int a = 1; a < argc; ++a) {
    if (std::strcmp(argv[a], "--write") == 0) {
      write = true;
      continue;
    }
    const std::filesystem::path folder = argv[a];
    std::vector<std::filesystem::path> seeds;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
      if (entry.is_regular_file() && entry.path().filename() != kExpected) seeds.push_back(entry.path());
    std::sort(seeds.begin(), seeds.end());
    if (seeds.empty()) {
      std::fprintf(stderr, "%s: no seeds\n", argv[a]);
      ++failed;
    }
    std::map<std::string, std::string> expected;
    if (!write && !ReadExpected(folder / kExpected, expected)) {
      std::fprintf(stderr, "%s: no %s\n", argv[a], kExpected);
      ++failed;
    }
    std::string lines;
    for (const auto& seed : seeds) {
      std::ifstream in(seed, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      const std::string reached = Trimmed(fuzzsupport::SeedReached());
      const std::string name = seed.filename().string();
      std::printf("%s\n", Line(name, reached.empty() ? "REACHED NOTHING" : reached).c_str());
      lines += Line(name, reached) + "\n";
      if (reached.empty()) ++failed;
      if (write) continue;
      const auto it = expected.find(name);
      if (it == expected.end()) {
        std::printf("%-28s FAILED: no expected outcome\n", "");
        ++failed;
      } else if (it->second != reached) {
        std::printf("%-28s FAILED: expected %s\n", "", it->second.c_str());
        ++failed;
      }
      if (it != expected.end()) expected.erase(it);
    }
    for (const auto& [seed, outcome] : expected) {
      std::printf("%-28s FAILED: expected %s, but there is no such seed\n", seed.c_str(), outcome.c_str());
      ++failed;
    }
    if (write) {
      std::ofstream out(folder / kExpected);
      out << lines;
      if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[a], kExpected);
        ++failed;
      }
    }
  }
  return failed == 0 ? 0 : 1;
}
