// The thank-you screen of the closing sequence on the headless back end:
// what it draws, and which inputs end it, on the virtual clock.
#include "engine/frame/frame.h"
#include "engine/frame/hooks.h"
#include "draw_calls.h"
#include "startup_fixture.h"
#include "script_time.h"

namespace startup_test {
namespace {

namespace fs = std::filesystem;

using testsupport::At;

class ThanksTest : public AssetsTest {
 protected:
  void SetUp() override {
    AssetsTest::SetUp();
    FirstRun = 1;  // the display opens as after a change of mode: no splash
    headless::SetModes({{1280, 960, 32, 60}, {1600, 900, 32, 60}});
  }
  static void Open(int width, int height) {
    Options[5] = width;
    Options[6] = height;
    ChangeRes();
    ASSERT_EQ(MyScrw, width);
  }
  // Milliseconds on the virtual clock that the screen stayed.
  static int Shown() {
    const uint32_t start = headless::Now();
    ThanksScreen();
    return static_cast<int>(headless::Now() - start);
  }
};

// Drawn once: the backdrop, the two logos at the top corners, the title
// centred on the screen and the lines below it, on either virtual screen.
TEST_F(ThanksTest, TheScreenIsDrawnOnceAndHeldUntilAClick) {
  for (const auto& [width, height] : {std::pair{1280, 960}, std::pair{1600, 900}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    Open(width, height);
    const int cx = JScrw / 2, cy = JScrh / 2;
    headless::Script(At(300) + " click 1");
    const int flips = headless::FlipCount();
    EXPECT_GE(Shown(), 300);
    EXPECT_EQ(headless::FlipCount(), flips + 1) << "nothing redrawn while it waits";

    const std::vector<DrawCall> frame = headless::LastFrame();
    ASSERT_FALSE(frame.empty());
    EXPECT_EQ(frame.front().kind, DrawCall::Clear);
    const std::vector<DrawCall> items = testsupport::CallsOf(frame, {DrawCall::Image, DrawCall::Text});
    ASSERT_EQ(items.size(), 11u);
    EXPECT_EQ(items[0].image, "logo.png");
    EXPECT_EQ(std::pair(items[0].x, items[0].y), std::pair(256.0f, 256.0f));
    EXPECT_EQ(items[1].image, "Drennic.png");
    EXPECT_EQ(std::pair(items[1].x, items[1].y), std::pair(JScrw - 256.0f, 256.0f));
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(std::tie(items[i].r, items[i].g, items[i].b, items[i].alpha, items[i].scaleX),
                std::make_tuple(255, 255, 255, 1.0f, 1.0f));
    }

    UseFont(1, 6);
    const DrawCall& title = items[2];
    EXPECT_EQ(title.text, "Thanks for Playing");
    EXPECT_EQ(title.x, cx - TextWidth(title.text) / 2);
    EXPECT_EQ(title.y, cy - TextHeight(title.text) / 2);
    EXPECT_TRUE(title.font.ends_with(MainFont + ".ttf:" + std::to_string(GridFontSize(6, MyScrw)))) << title.font;
    EXPECT_EQ(std::tie(title.r, title.g, title.b), std::make_tuple(180, 255, 255));
    const struct {
      const char* text;
      int dy, r, g, b;
    } lines[] = {
        {"Why not take the next few minutes to hop back to the site", 40, 255, 255, 180},
        {"where you found this game, and leave a comment.", 80, 255, 255, 180},
        {"Good or bad, every little helps.", 130, 255, 255, 180},
        {"There are so many wonderful homebrew communities", 180, 255, 210, 180},
        {"and developers out there, who bring you hundreds", 220, 255, 210, 180},
        {"of free games, every month.", 260, 255, 210, 180},
        {"Give a little back.", 320, 255, 255, 180},
        {"Feedback is King", 380, 180, 255, 255},
    };
    // The largest size of the second face whose lines fit their spacing.
    const int bodySize = UseFontWithin(2, 5, 40);
    ASSERT_LE(TextHeight("Ay"), 40);
    if (bodySize < 5) {
      UseFont(2, bodySize + 1);
      EXPECT_GT(TextHeight("Ay"), 40);
    }
    for (size_t k = 0; k < std::size(lines); ++k) {
      const DrawCall& d = items[3 + k];
      EXPECT_EQ(d.text, lines[k].text);
      EXPECT_EQ(std::pair(d.x, d.y), std::pair(40.0f, static_cast<float>(cy + lines[k].dy))) << d.text;
      EXPECT_EQ(std::tie(d.r, d.g, d.b), std::tie(lines[k].r, lines[k].g, lines[k].b)) << d.text;
      EXPECT_EQ(d.alpha, 1.0f);
      EXPECT_TRUE(d.font.ends_with(SubFont + ".ttf:" + std::to_string(GridFontSize(bodySize, MyScrw)))) << d.font;
    }
    // The last line stays on the screen: its top at y 830 on 1600 x 900.
    EXPECT_LT(items.back().y + TextHeight("Feedback is King"), JScrh);
  }
}

// What could not be saved stands on a dark band at the top, every word of
// it, in lines that fit the screen (a long path without blanks breaks after
// a "/"), one below the other and above the logos.
TEST_F(ThanksTest, WhatCouldNotBeSavedStandsInLinesThatFitAboveTheLogos) {
  const std::vector<std::string> reports = {
      "The scores could not be saved to Files/260/nuscores.dat: Permission denied.",
      "They are kept in /home/somebody/a-rather-long-folder-name/another-long-folder-name/.local/share/"
      "pibbo-zorravel/scores-0123456789abcdef/nuscores.dat, and the next start reads them back.",
      "Your settings could not be saved to Files/Setup.ini: No space left on device.",
  };
  for (const auto& [width, height] : {std::pair{1280, 960}, std::pair{1600, 900}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    Open(width, height);
    ClearClosingProblems();
    for (const std::string& r : reports) ReportClosingProblem(r);
    headless::Script(At(300) + " click 1");
    Shown();
    ClearClosingProblems();

    const std::vector<DrawCall> frame = headless::LastFrame();
    std::vector<DrawCall> texts;
    size_t band = frame.size();
    for (size_t i = 0; i < frame.size(); ++i) {
      if (frame[i].kind == DrawCall::Text) texts.push_back(frame[i]);
      if (frame[i].kind == DrawCall::Rect && frame[i].alpha < 1 && band == frame.size()) band = i;
    }
    ASSERT_GT(texts.size(), 9u);
    const std::vector<DrawCall> lines(texts.begin() + 9, texts.end());
    EXPECT_GT(lines.size(), reports.size()) << "the long report takes more than one line";

    // The size the reports were drawn in.
    for (int size = 1; size <= 8; ++size) {
      std::string suffix = std::to_string(GridFontSize(size, MyScrw));
      suffix.insert(0, 1, ':');
      if (lines.front().font.ends_with(suffix)) UseFont(2, size);
    }
    std::string joined;
    for (size_t k = 0; k < lines.size(); ++k) {
      const DrawCall& d = lines[k];
      if (!joined.empty() && joined.back() != '/') joined += ' ';
      joined += d.text;
      EXPECT_EQ(d.x, 40.0f) << d.text;
      EXPECT_LE(d.x + TextWidth(d.text), JScrw - 40) << d.text;
      if (k > 0) {
        EXPECT_GE(d.y, lines[k - 1].y + TextHeight(lines[k - 1].text)) << d.text;
      }
    }
    std::string expected;
    for (const std::string& r : reports) expected += (expected.empty() ? "" : " ") + r;
    EXPECT_EQ(joined, expected);
    const float bottom = lines.back().y + static_cast<float>(TextHeight(lines.back().text));
    EXPECT_LT(bottom, 256 - ImageHeight(logo) / 2);

    ASSERT_LT(band, frame.size()) << "no band behind the reports";
    const DrawCall& b = frame[band];
    EXPECT_EQ(std::tie(b.r, b.g, b.b), std::make_tuple(0, 0, 0));
    EXPECT_LE(b.y, lines.front().y);
    EXPECT_GE(b.y + b.y2, bottom);
    EXPECT_LE(b.x, 40.0f);
    EXPECT_GE(b.x + b.x2, JScrw - 40.0f);
  }
}

// What ends the screen: an input held from before (the Escape that quit)
// must first be let go, or have been held for about 2 s; F11 and F12 held
// count as no input, while a mouse button or a close request still ends it.
TEST_F(ThanksTest, OnlyANewInputEndsTheScreen) {
  Open(1280, 960);
  const struct {
    const char* what;
    std::vector<std::pair<int, std::string>> events;  // ms from the start, event
    int from, to;                                     // when the screen ends
  } cases[] = {
      {"Escape held, let go, then Space", {{0, "key 27 down"}, {500, "key 27 up"}, {1000, "tap 32"}}, 1000, 1040},
      {"Escape held throughout", {{0, "key 27 down"}}, 1900, 2000},
      {"a click", {{300, "click 1"}}, 300, 340},
      {"F11 held, then the right button", {{0, "key 122 down"}, {600, "button 2 down"}}, 600, 640},
      {"F12 held, then the left button", {{0, "key 123 down"}, {700, "click 1"}}, 700, 740},
      {"a close request", {{400, "close"}}, 400, 440},
      {"a pad's button", {{250, "pad 0 button 3 down"}}, 250, 290},
  };
  headless::SetPads(1);
  DiscoverJoysticks();
  for (const auto& c : cases) {
    std::string script;
    for (const auto& [ms, event] : c.events) script += At(ms) + " " + event + "\n";
    script += At(5000) + " click 1\n";  // ends a screen that missed its input
    headless::Script(script);
    const int shown = Shown();
    EXPECT_GE(shown, c.from) << c.what;
    EXPECT_LE(shown, c.to) << c.what;
    headless::ClearScript();
    headless::Script(At(0) + " key 27 up\n" + At(0) + " key 122 up\n" + At(0) + " key 123 up\n" + At(0) +
                     " button 2 up\n" + At(0) + " pad 0 button 3 up");
    headless::Advance(20);
    while (AppTerminate() != 0) {
    }
    FlushKeys();
    FlushMouse();
  }

  // Quit with the settings panel open, whose band kept the presses on it:
  // a click there ends the screen.
  ClaimMouseButtons(0, 0, 1280, 320);
  headless::Script(At(0) + " mouse 100 100\n" + At(300) + " click 1\n" + At(4999) + " mouse 100 500\n" + At(5000) +
                   " click 1\n");
  EXPECT_LE(Shown(), 340);
}

}  // namespace
}  // namespace startup_test
