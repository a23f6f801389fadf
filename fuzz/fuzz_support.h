// What the harnesses share: a private scratch folder, made once and removed
// at exit, that is the working folder while a reader runs (the readers open
// their files by relative names; libFuzzer's own paths stay relative to the
// folder it was started in), and the input written to a file there.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzzsupport {

// What the last input reached of the code under test, in a few words
// ("12 settings read", say); "" when it stopped before (the seed replay
// of the ordinary build fails on a seed that reaches nothing). Each
// harness defines it.
std::string SeedReached();

// Changes into the scratch folder for its lifetime.
class InScratchFolder {
 public:
  InScratchFolder() : back_(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (back_ < 0 || chdir(Folder().c_str()) != 0) Fail("scratch folder");
  }
  ~InScratchFolder() {
    if (fchdir(back_) != 0) Fail("back from the scratch folder");
    close(back_);
  }
  InScratchFolder(const InScratchFolder&) = delete;
  InScratchFolder& operator=(const InScratchFolder&) = delete;

 private:
  static void Fail(const char* what) {
    std::perror(what);
    std::abort();
  }
  static const std::string& Folder() {
    static const std::string folder = [] {
      std::string pattern = (std::filesystem::temp_directory_path() / "pibbo-fuzz-XXXXXX").string();
      if (!mkdtemp(pattern.data())) Fail("mkdtemp");
      // The readers also look for files kept in the player's data folder:
      // theirs is in here, so nothing of the player's is read or written.
      if (setenv("XDG_DATA_HOME", (pattern + "/data").c_str(), 1) != 0) Fail("XDG_DATA_HOME");
      return pattern;
    }();
    static const bool cleanup = [] {
      std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(Folder(), ec);
      });
      return true;
    }();
    (void)cleanup;
    return folder;
  }
  int back_;
};

// Replaces `path` (relative to the working folder) with the bytes given.
inline void WriteInput(const char* path, const uint8_t* data, size_t size) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::perror(path);
    std::abort();
  }
  for (size_t done = 0; done < size;) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  close(fd);
}

}  // namespace fuzzsupport
