// Runs of the real program on an X server of the test's own, driven with
// xdotool and watched through the game's own screenshots (F11).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "private_display.h"
#include "run_folder.h"

namespace testsupport {

class RealRunTest : public RunFolderTest {
 protected:
  // Skips without xdotool or Xvfb; else starts the X server and the game
  // and waits for its window and the end of its start-up. Answers the pid.
  pid_t StartGame() {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) return -1;
    display_ = std::make_unique<PrivateDisplay>(1280, 1024);
    if (display_->name().empty()) return -1;
    return Restart();
  }
  // Starts the game (again) on the display already running.
  pid_t Restart() {
    window_.clear();
    std::vector<std::string> env = {"-PIBBO_HEADLESS"};
    env.insert(env.end(), env_.begin(), env_.end());
    pid_t pid = Spawn(env);
    for (int round = 0; round < 300 && window_.empty() && pid > 0; ++round) {
      usleep(100 * 1000);
      if (Loaded()) window_ = FirstLine(Output("xdotool search --name '^#260 : Pibbo Zorravel$' 2>/dev/null"));
    }
    usleep(3000 * 1000);  // the start-up's closing pause
    return pid;
  }
  // Escape on the title screen, then a key on the closing screen, tried
  // again while the program runs (a loaded machine may miss a press);
  // answers the exit code as WaitExit does.
  int QuitFromTitle(pid_t pid) {
    int status = 0;
    // Reaps the child once it has ended (so WaitExit cannot be used after).
    auto ended = [&] { return waitpid(pid, &status, WNOHANG) == pid; };
    for (int attempt = 0; attempt < 5; ++attempt) {
      Key("Escape");
      for (int k = 0; k < 15; ++k) {
        if (ended()) return ExitCode(status);
        usleep(100 * 1000);
      }
      Key("space");
      for (int k = 0; k < 30; ++k) {
        if (ended()) return ExitCode(status);
        usleep(100 * 1000);
      }
    }
    return WaitExit(pid, 5000);
  }
  void TearDown() override {
    display_.reset();
    RunFolderTest::TearDown();
  }

  void Do(const std::string& args) { std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }
  void Key(const std::string& name) { Do("windowfocus --sync " + window_ + " key " + name); }
  // A key held for a tenth of a second, as a player presses it.
  void Press(const std::string& name) {
    Do("windowfocus --sync " + window_ + " keydown " + name + " sleep 0.1 keyup " + name);
  }
  // A click at a point of the window, in real pixels, as a player makes it:
  // the pointer comes to rest, then the button goes down and up.
  void Click(int x, int y) {
    Do("mousemove --window " + window_ + " " + std::to_string(x) + " " + std::to_string(y) +
       " sleep 0.2 mousedown 1 sleep 0.08 mouseup 1");
  }

  // The next screenshot the game saves on F11, read and removed.
  Pixmap Screenshot() {
    namespace fs = std::filesystem;
    for (const auto& e : fs::directory_iterator(run_ + "/Files"))
      if (e.path().extension() == ".png") fs::remove(e.path());
    Key("F11");
    for (int wait = 0; wait < 40; ++wait) {
      usleep(50 * 1000);
      for (const auto& e : fs::directory_iterator(run_ + "/Files")) {
        if (e.path().extension() != ".png") continue;
        usleep(100 * 1000);  // let the writer finish
        Pixmap p = LoadPixmapPNG(e.path().string());
        if (p) {
          Keep(e.path().string());
          fs::remove(e.path());
          return p;
        }
      }
    }
    return nullptr;
  }

  // The window as the X server shows it (ImageMagick's import): unlike the
  // game's own screenshots it holds what the end of frame draws last, the
  // settings panel among it.
  Pixmap Grab() {
    const std::string path = tmp_ + "/grab.png";
    std::system(("import -window " + window_ + " png:" + path + " >/dev/null 2>&1").c_str());
    Pixmap p = LoadPixmapPNG(path);
    if (p) Keep(path);
    std::filesystem::remove(path);
    return p;
  }

  // PIBBO_KEEP_SCREENSHOTS=folder keeps every screenshot the test took, for
  // a look at what it saw.
  void Keep(const std::string& path) {
    const char* folder = std::getenv("PIBBO_KEEP_SCREENSHOTS");
    if (!folder) return;
    std::filesystem::copy_file(path, std::string(folder) + "/" + std::to_string(++kept_) + ".png",
                               std::filesystem::copy_options::overwrite_existing);
  }

  static const uint8_t* At(const Pixmap& p, int x, int y) { return p->At(x, y); }
  // The green wall strip at the left edge shows only on the play field.
  static bool PlayField(const Pixmap& p) {
    const uint8_t* c = At(p, 20, p->height / 2);
    return c[1] > 110 && c[1] > c[0] + 60 && c[1] > c[2] + 50;
  }

  std::unique_ptr<PrivateDisplay> display_;
  std::vector<std::string> env_;  // given to the game on top of the test's environment
  std::string window_;
  int kept_ = 0;
};

}  // namespace testsupport
