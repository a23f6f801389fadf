// Helpers every test program shares: scratch folders, whole-file reads and
// writes, and pixel checks on read-back pictures.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "deadlines.h"

namespace testsupport {

// A fresh folder under the system's temporary folder ("" when none could
// be made); `tag` shows which tests made it.
inline std::string MakeTempDir(const std::string& tag) {
  std::string pattern = (std::filesystem::temp_directory_path() / ("pibbo-" + tag + "-XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const char* made = mkdtemp(buffer.data());
  return made ? std::string(made) : std::string();
}

// A fresh scratch folder, removed (whatever its permissions) on scope exit.
class TempDir {
 public:
  explicit TempDir(const std::string& tag = "test") : path_(MakeTempDir(tag)) {}
  ~TempDir() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

struct Rgb {
  int r, g, b;
};

// The pixel's colour within `tolerance` per channel, and opaque.
inline void ExpectPixel(const Pixmap& p, int x, int y, Rgb want, int tolerance = 3) {
  ASSERT_TRUE(p);
  ASSERT_TRUE(x >= 0 && y >= 0 && x < p->width && y < p->height) << x << "," << y << " is outside";
  const uint8_t* px = p->At(x, y);
  EXPECT_NEAR(px[0], want.r, tolerance) << "red at " << x << "," << y;
  EXPECT_NEAR(px[1], want.g, tolerance) << "green at " << x << "," << y;
  EXPECT_NEAR(px[2], want.b, tolerance) << "blue at " << x << "," << y;
  EXPECT_EQ(px[3], 255) << "alpha at " << x << "," << y;
}

}  // namespace testsupport

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace testsupport {

// What a step run as another player answered.
struct AsPlayerResult {
  int status = -1;   // the step's exit code: 0 once it has run, 77 when no such player can be had
  std::string said;  // what the step gave back
};

// Makes this process the user "nobody" (when it is root), in the extra
// group `group` when given (-1 for none); false when that cannot be done.
inline bool BecomeNobody(gid_t group = static_cast<gid_t>(-1)) {
  if (geteuid() != 0) return true;
  const passwd* nobody = getpwnam("nobody");
  const int groups = group == static_cast<gid_t>(-1) ? 0 : 1;
  return nobody && setgroups(groups, &group) == 0 && setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0;
}

// Runs `step` in a child process once `prepare` has made the child what
// the step needs (status 77 when it could not); the step answers text that
// comes back in `said`.
inline AsPlayerResult InChild(const std::function<bool()>& prepare, const std::function<std::string()>& step) {
  int out[2];
  AsPlayerResult result;
  if (pipe(out) != 0) return result;
  const pid_t pid = fork();
  if (pid == 0) {
    close(out[0]);
    if (!prepare()) _exit(77);
    const std::string said = step();
    if (write(out[1], said.data(), said.size()) != static_cast<ssize_t>(said.size())) _exit(79);
    _exit(0);
  }
  close(out[1]);
  char buffer[1024];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) result.said.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.status = WEXITSTATUS(status);
  return result;
}

// Runs `step` in a child process as a player who is not root: as root the
// child becomes the user "nobody" (in the extra group `group`, when given;
// -1 for none); otherwise it stays the user we are.
inline AsPlayerResult AsPlayer(const std::function<std::string()>& step, gid_t group = static_cast<gid_t>(-1)) {
  return InChild([group] { return BecomeNobody(group); }, step);
}

}  // namespace testsupport

#include <sched.h>
#include <sys/mount.h>

namespace testsupport {

// Runs `step` in a child process with mounts of its own (only root may:
// status 77 otherwise): each folder of `disks` becomes, in the child only,
// an empty file system of the given size in KiB (a small full disk).
inline AsPlayerResult OnSmallDisks(const std::vector<std::pair<std::string, int>>& disks,
                                   const std::function<std::string()>& step) {
  return InChild(
      [&disks] {
        if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
          return false;
        for (const auto& [folder, kb] : disks) {
          const std::string options = "size=" + std::to_string(kb) + "k,mode=0755";
          if (mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) return false;
        }
        return true;
      },
      step);
}

}  // namespace testsupport
