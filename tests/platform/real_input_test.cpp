// Window-system input reaching the InputSink of the SDL back end: real X
// events made with xdotool on an Xvfb display. Skipped without DISPLAY or
// without xdotool.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "deadlines.h"
#include "platform/backend.h"

namespace {

struct Recorder : InputSink {
  std::vector<std::string> events;
  void OnKey(int code, bool down) override {
    events.push_back("key " + std::to_string(code) + (down ? " down" : " up"));
  }
  void OnChar(int c) override { events.push_back("char " + std::to_string(c)); }
  void OnMouseMove(int x, int y) override {
    events.push_back("move " + std::to_string(x) + " " + std::to_string(y));
  }
  void OnMouseButton(int b, bool down) override {
    events.push_back("button " + std::to_string(b) + (down ? " down" : " up"));
  }
  void OnCloseRequest() override { events.push_back("close"); }
  bool Has(const std::string& e) const {
    for (const std::string& x : events)
      if (x == e) return true;
    return false;
  }
};

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[256];
    while (fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out.substr(0, out.find('\n'));
}

class RealInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no X display (run under xvfb-run)";
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool missing";
    backend_ = CreateRealBackend();
    ASSERT_TRUE(backend_) << "the real back end did not start: " << RealBackendProblem();
    title_ = "real input test " + std::to_string(getpid());
    ASSERT_TRUE(backend_->OpenDisplay(320, 240, 0, 60, title_));
    // Let the window appear, then find it by its title.
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(testsupport::Deadline(testsupport::kStartDeadlineMs));
    while (window_.empty() && std::chrono::steady_clock::now() < end) {
      backend_->PumpEvents(sink_);
      window_ = Output("xdotool search --name '^" + title_ + "$' 2>/dev/null");
      if (window_.empty()) backend_->Sleep(10);
    }
    ASSERT_FALSE(window_.empty()) << "window not found";
  }
  void TearDown() override {
    if (backend_) backend_->CloseDisplay();
  }

  void Xdo(const std::string& args) {
    ASSERT_EQ(std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()), 0);
  }
  // Pumps events until `done` holds (or the deadline has passed).
  bool PumpUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(testsupport::Deadline(testsupport::kScreenDeadlineMs));
    while (std::chrono::steady_clock::now() < end) {
      backend_->PumpEvents(sink_);
      if (done()) return true;
      backend_->Sleep(10);
    }
    return false;
  }

  std::unique_ptr<Backend> backend_;
  std::string title_, window_;
  Recorder sink_;
};

TEST_F(RealInputTest, KeysAndTypedCharacters) {
  sink_.events.clear();
  // Sent to the window itself, so other programs on the display that take
  // the focus meanwhile do not get them.
  Xdo("key --window " + window_ + " a Return F11 shift+b");
  EXPECT_TRUE(PumpUntil([&] { return sink_.Has("key 66 up"); }));
  for (const char* e : {"key 65 down", "key 65 up", "char 97", "key 13 down", "char 13",
                        "key 122 down", "key 122 up", "key 160 down", "key 66 down", "char 66"})
    EXPECT_TRUE(sink_.Has(e)) << e;
}

TEST_F(RealInputTest, MouseButtons) {
  sink_.events.clear();
  // Clicks are sent to the window itself; the pointer is shared by every
  // program on the display, so where it stands is not checked here.
  Xdo("click --window " + window_ + " 1 click --window " + window_ + " 3 click --window " + window_ + " 2");
  EXPECT_TRUE(PumpUntil([&] { return sink_.Has("button 3 up"); }));
  for (const char* e : {"button 1 down", "button 1 up", "button 2 down", "button 2 up", "button 3 down"})
    EXPECT_TRUE(sink_.Has(e)) << e;
}

}  // namespace
