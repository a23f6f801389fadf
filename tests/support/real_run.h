// Runs of the real program on an X server of the test's own, driven with
// xdotool and watched through the game's own screenshots (F11).
//
// A test waits for what it checks and never for a fixed time: it reads the
// screen from a screenshot (Until) or the game's files (WaitFor), with the
// generous deadlines of deadlines.h, and sends its next input only once the
// screen that takes it is up. A screenshot is taken by a key press that
// reaches the game after the inputs sent before it, so it shows their
// effect: an input the game missed shows as an unchanged screen and is sent
// again (PressUntil). Keys the game reads as held (the pause screen's
// arrows) are held until a frame has seen them (Press).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "deadlines.h"
#include "platform/platform.h"
#include "private_display.h"
#include "run_folder.h"

namespace testsupport {

class RealRunTest : public RunFolderTest {
 protected:
  using Clock = std::chrono::steady_clock;
  using Test = std::function<bool(const Pixmap&)>;

  // Skips without xdotool or Xvfb; else starts the X server and the game
  // and waits for its title screen. Answers the pid (-1: skip).
  pid_t StartGame() {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) return -1;
    display_ = std::make_unique<PrivateDisplay>(1280, 1024);
    if (display_->name().empty()) return -1;
    return Restart();
  }
  // Starts the game (again) on the display already running and waits for
  // its window and its title screen; window_ stays empty when no window
  // came, and title_ tells whether the title screen did.
  pid_t Restart() {
    window_.clear();
    title_ = false;
    unanswered_ = 0;  // a new run starts a new log
    std::vector<std::string> env = {"-PIBBO_HEADLESS"};
    env.insert(env.end(), env_.begin(), env_.end());
    pid_t pid = Spawn(env);
    if (pid <= 0) return pid;
    pid_ = pid;
    const auto end = Clock::now() + std::chrono::milliseconds(Deadline(kStartDeadlineMs));
    while (window_.empty() && Clock::now() < end && Alive()) {
      usleep(100 * 1000);
      if (Loaded()) window_ = FirstLine(Output("xdotool search --name '^#260 : Pibbo Zorravel$' 2>/dev/null"));
    }
    if (window_.empty()) return pid;
    // The pointer rests in a corner, off the title screen's labels, which
    // take a pointer over them for a choice.
    Do("mousemove --window " + window_ + " 20 20");
    title_ = static_cast<bool>(Until(TitleScreen, kStartDeadlineMs));
    return pid;
  }

  // Escape on the title screen, then a key once the closing screen is up,
  // again while the program runs (the closing screen forgets what came
  // before it); answers the exit code as WaitExit does.
  int QuitFromTitle(pid_t pid) {
    int status = 0;
    // Reaps the child once it has ended (so WaitExit cannot be used after).
    auto ended = [&] { return waitpid(pid, &status, WNOHANG) == pid; };
    const auto end = Clock::now() + std::chrono::milliseconds(Deadline(kExitDeadlineMs));
    Key("Escape");
    while (!LogHas("Play again, soon!!")) {
      if (ended()) return ExitCode(status);
      if (Clock::now() > end) return WaitExit(pid, 0);
      usleep(50 * 1000);
    }
    auto next = Clock::now();
    while (Clock::now() < end) {
      if (ended()) return ExitCode(status);
      if (Clock::now() >= next) {
        Key("space");
        next = Clock::now() + std::chrono::milliseconds(kRepeatMs);
      }
      usleep(50 * 1000);
    }
    return WaitExit(pid, 0);
  }

  // A game started from the title screen by a click on "Click Here to
  // Start" (centred on virtual 432, 480); its first frame, or null.
  Pixmap StartGameByClick() {
    return PressUntil([&] { Click(432 * 800 / 1280, 480 * 600 / 960); }, PlayField, TitleScreen);
  }

  // A game ended from the pause screen: Escape, "Quit" chosen and taken,
  // Return on the name entry; true once the title screen is back.
  bool QuitGameFromPauseScreen() {
    if (!PressUntil([&] { Key("Escape"); }, PauseMenu, PlayField)) return false;
    if (!PressUntil([&] { Press("Down"); }, QuitChosen, ContinueChosen)) return false;
    // Space takes "Quit": the "Game Over" banner, then the name entry, which
    // drops the presses before it (no screenshot until it is up).
    if (!HoldUntil("space", [](const Pixmap& p) { return !PauseMenu(p); })) return false;
    if (!GrabUntil(NameEntry)) return false;
    return static_cast<bool>(PressUntil([&] { Key("Return"); }, TitleScreen, NameEntry));
  }

  void TearDown() override {
    display_.reset();
    RunFolderTest::TearDown();
  }

  void Do(const std::string& args) { std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }
  // A quick tap: pressed and let go at once (for what the game counts as
  // presses).
  void Key(const std::string& name) { Do("windowfocus --sync " + window_ + " key " + name); }
  // A key held until a frame has seen it held (the pause screen's arrows
  // and Space are read as held keys), then let go.
  void Press(const std::string& name) {
    Do("windowfocus --sync " + window_ + " keydown " + name);
    Sync();
    Do("windowfocus --sync " + window_ + " keyup " + name);
  }
  // A key held until the window shows `done` (for a press whose effect
  // closes the screen it was made on, so that no screenshot can follow
  // it), then let go; whether it did within the deadline.
  bool HoldUntil(const std::string& name, const Test& done) {
    Do("windowfocus --sync " + window_ + " keydown " + name);
    const bool seen = static_cast<bool>(GrabUntil(done));
    Do("windowfocus --sync " + window_ + " keyup " + name);
    return seen;
  }
  // A click at a point of the window, in real pixels, as a player makes it:
  // the pointer comes to rest, then the button goes down and up.
  void Click(int x, int y) {
    Do("mousemove --window " + window_ + " " + std::to_string(x) + " " + std::to_string(y) +
       " sleep 0.2 mousedown 1 sleep 0.08 mouseup 1");
  }
  // A drag from one point to another, the button held until a frame has
  // seen it down at each end.
  void Drag(int x0, int y0, int x1, int y1) {
    Do("mousemove --window " + window_ + " " + std::to_string(x0) + " " + std::to_string(y0) + " sleep 0.2 mousedown 1");
    Sync();
    Do("mousemove --window " + window_ + " " + std::to_string(x1) + " " + std::to_string(y1));
    Sync();
    Do("mouseup 1");
  }

  // The next screenshot the game saves on F11, read and removed; null when
  // none came within the deadline (the program ended, or shows a screen
  // that takes no F11: the start-up's and the closing screen).
  //
  // A press the game forgets (a screen that opens by dropping the presses
  // before it, like the name entry) is sent again after kShotRepeatMs. The
  // game saves shots in the order of the presses, and the log counts them:
  // a call takes the newest shot once every press before its own has been
  // answered, so it never takes a shot from before the inputs sent ahead
  // of it.
  Pixmap Screenshot() {
    namespace fs = std::filesystem;
    const auto end = Clock::now() + std::chrono::milliseconds(Deadline(kShotDeadlineMs));
    int before = SavedShots(), presses = 0;
    auto pressed = Clock::now();
    while (Clock::now() < end && Alive()) {
      if (presses == 0 || Clock::now() - pressed > std::chrono::milliseconds(kShotRepeatMs)) {
        // Unanswered for long: the earlier presses were forgotten.
        if (presses > 0) {
          unanswered_ = 0;
          before = SavedShots();
          presses = 0;
        }
        Key("F11");
        ++presses;
        pressed = Clock::now();
      }
      usleep(50 * 1000);
      const int answered = SavedShots() - before;
      if (answered < 1 + unanswered_) continue;
      // The newest shot is ours; older ones go.
      fs::path newest;
      fs::file_time_type newestTime{};
      std::error_code ec;
      for (const auto& e : fs::directory_iterator(run_ + "/Files", ec)) {
        if (e.path().extension() != ".png") continue;
        const auto t = fs::last_write_time(e.path(), ec);
        if (newest.empty() || t > newestTime) {
          newest = e.path();
          newestTime = t;
        }
      }
      if (newest.empty()) continue;  // a shot that could not be saved
      Pixmap p = LoadPixmapPNG(newest.string());
      if (!p) continue;
      Keep(newest.string());
      RemoveShots();
      unanswered_ = std::max(0, unanswered_ + presses - answered);
      last_ = p;
      return p;
    }
    unanswered_ += presses - std::min(presses, SavedShots() - before);
    return nullptr;
  }

  // Waits until the game has handled every input sent so far (the
  // screenshot's key comes after them); answers that screenshot.
  Pixmap Sync() { return Screenshot(); }

  // Screenshots until `done` holds; that screenshot, or null after the
  // deadline (last_ keeps the last screenshot taken, to say what was seen).
  Pixmap Until(const Test& done, int ms = kScreenDeadlineMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(Deadline(ms));
    while (Clock::now() < end && Alive()) {
      Pixmap p = Screenshot();
      if (p && done(p)) return p;
    }
    return nullptr;
  }
  // Sends `input` and takes screenshots until `done` holds. A screenshot
  // taken after the input shows its effect, so one that still shows
  // `before` means the game missed it: it is sent again (after kRepeatMs
  // at the soonest, so a slow frame is not taken for a miss).
  Pixmap PressUntil(const std::function<void()>& input, const Test& done, const Test& before,
                    int ms = kScreenDeadlineMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(Deadline(ms));
    input();
    auto sent = Clock::now();
    while (Clock::now() < end && Alive()) {
      Pixmap p = Screenshot();
      if (p && done(p)) return p;
      if (p && before(p) && Clock::now() - sent > std::chrono::milliseconds(kRepeatMs)) {
        input();
        sent = Clock::now();
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
  // Grabs until `done` holds; that picture, or null after the deadline.
  // Only grabs of the whole 800 x 600 window are tested (the screens are
  // read at fixed points of it).
  Pixmap GrabUntil(const Test& done, int ms = kScreenDeadlineMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(Deadline(ms));
    while (Clock::now() < end) {
      Pixmap p = Grab();
      if (p && p->width >= 800 && p->height >= 600 && done(p)) return p;
      usleep(100 * 1000);
    }
    return nullptr;
  }

  // Waits until `done` holds (a file of the game's, say); false after the
  // deadline.
  static bool WaitFor(const std::function<bool()>& done, int ms = kScreenDeadlineMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(Deadline(ms));
    while (!done()) {
      if (Clock::now() > end) return false;
      usleep(50 * 1000);
    }
    return true;
  }

  // PIBBO_KEEP_SCREENSHOTS=folder keeps every screenshot the test took, for
  // a look at what it saw.
  void Keep(const std::string& path) {
    const char* folder = std::getenv("PIBBO_KEEP_SCREENSHOTS");
    if (!folder) return;
    std::filesystem::copy_file(path, std::string(folder) + "/" + std::to_string(++kept_) + ".png",
                               std::filesystem::copy_options::overwrite_existing);
  }

  // --- What the screens look like, on the game's 800 x 600 window ---------
  static const uint8_t* At(const Pixmap& p, int x, int y) { return p->At(x, y); }
  // Pixels of a kind in a box given in virtual units (1280 x 960).
  static int Count(const Pixmap& p, int x0, int y0, int x1, int y1, const std::function<bool(const uint8_t*)>& match) {
    int n = 0;
    for (int y = y0 * p->height / 960; y < y1 * p->height / 960; ++y)
      for (int x = x0 * p->width / 1280; x < x1 * p->width / 1280; ++x) n += match(At(p, x, y)) ? 1 : 0;
    return n;
  }
  // The green wall strip at the left edge shows only on the play field.
  static bool PlayField(const Pixmap& p) {
    const uint8_t* c = At(p, 20, p->height / 2);
    return c[1] > 110 && c[1] > c[0] + 60 && c[1] > c[2] + 50;
  }
  // The title screen, settled: "Hit [Tab] for settings" at the top left
  // (white or yellow as it blinks) and "Click Here to Start" in its place
  // (the screen's parts slide in when it opens).
  static bool TitleScreen(const Pixmap& p) {
    return !PlayField(p) &&
           Count(p, 0, 0, 480, 56, [](const uint8_t* c) { return c[0] > 230 && c[1] > 230; }) > 150 &&
           Count(p, 300, 460, 580, 500, [](const uint8_t* c) { return c[0] > 200 && c[1] > 120; }) > 50;
  }
  // Yellow text inside the pause screen's menu box (virtual 128..341 x
  // 360..600): the chosen item.
  static bool PauseItem(const Pixmap& p, int item) {
    const int top = 415 + 60 * item;  // the rows' text starts at 420 and 480
    return Count(p, 128, top, 341, top + 60, [](const uint8_t* c) { return c[0] > 230 && c[1] > 230 && c[2] < 60; }) > 20;
  }
  static bool PauseMenu(const Pixmap& p) { return PauseItem(p, 0) || PauseItem(p, 1); }
  static bool ContinueChosen(const Pixmap& p) { return PauseItem(p, 0); }
  static bool QuitChosen(const Pixmap& p) { return PauseItem(p, 1); }
  // The name entry: "Enter Your Name" in green above the middle.
  static bool NameEntry(const Pixmap& p) {
    return !PlayField(p) &&
           Count(p, 340, 340, 940, 420, [](const uint8_t* c) { return c[1] > 200 && c[0] < 90 && c[2] < 90; }) > 100;
  }
  // The settings panel open: its bottom line at virtual y 318. Only grabs
  // (Grab) show the panel.
  static bool PanelOpen(const Pixmap& p) {
    const uint8_t* edge = At(p, 400, 319 * p->height / 960);
    return edge[0] > 150 && edge[1] > 230 && edge[2] > 150;
  }
  // The title screen's backdrop hue at the left edge, three quarters down:
  // 0 red (Hiscore tab), 1 green (Online), 2 blue (About), -1 none of them.
  static int Backdrop(const Pixmap& p) {
    const uint8_t* c = At(p, 60, p->height * 3 / 4);
    if (c[0] > c[1] + 20 && c[0] > c[2]) return 0;
    if (c[1] > c[0] + 20 && c[1] > c[2]) return 1;
    if (c[2] > c[0] + 20 && c[2] > c[1]) return 2;
    return -1;
  }

  std::unique_ptr<PrivateDisplay> display_;
  std::vector<std::string> env_;  // given to the game on top of the test's environment
  std::string window_;
  pid_t pid_ = -1;      // the game started last
  bool title_ = false;  // whether its title screen came up
  Pixmap last_;         // the last screenshot taken
  int unanswered_ = 0;  // F11 presses not answered yet (see Screenshot)
  int kept_ = 0;

 private:
  // Whether the game started last still runs (without reaping it, so that
  // WaitExit and QuitFromTitle still see how it ended).
  bool Alive() const {
    if (pid_ <= 0) return false;
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
  }
  // Screenshots the game has saved, by its log.
  int SavedShots() {
    const std::string log = ReadBytes(run_ + "/Files/Debug.txt");
    int n = 0;
    for (size_t at = log.find("\tSaved Screenshot "); at != std::string::npos;
         at = log.find("\tSaved Screenshot ", at + 1))
      ++n;
    return n;
  }
  void RemoveShots() {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(run_ + "/Files", ec))
      if (e.path().extension() == ".png") std::filesystem::remove(e.path(), ec);
  }
};

}  // namespace testsupport
