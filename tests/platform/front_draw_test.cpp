// Drawing state, its dispatch to the back end and the headless recording.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <limits>

#include "platform/headless.h"
#include "platform/core/image.h"
#include "platform/platform.h"

namespace {

class DrawTest : public ::testing::Test {
 protected:
  void SetUp() override { PlatformInit(BackendKind::Headless); }
  void TearDown() override { PlatformShutdown(); }

  static Image MakeImage(const std::string& source, int w, int h, int frames) {
    auto image = std::make_shared<TImage>();
    image->width = w;
    image->height = h;
    image->source = source;
    for (int i = 0; i < frames; ++i) image->frames.push_back(CreatePixmap(w, h));
    return image;
  }
};

TEST_F(DrawTest, StartStateAndClamping) {
  int r, g, b;
  float sx, sy;
  GetColor(r, g, b);
  GetScale(sx, sy);
  EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{255, 255, 255}));
  EXPECT_EQ(GetAlpha(), 1.0f);
  EXPECT_EQ(GetBlend(), MASKBLEND);
  EXPECT_EQ(GetRotation(), 0.0f);
  EXPECT_EQ(sx, 1.0f);
  EXPECT_EQ(sy, 1.0f);
  EXPECT_EQ(GetLineWidth(), 1.0f);

  SetColor(300, -5, 127);
  GetColor(r, g, b);
  EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{255, 0, 127}));

  struct { float in, out; } alphas[] = {{1.5f, 1.0f}, {-0.2f, 0.0f}, {0.25f, 0.25f},
                                        {std::numeric_limits<float>::quiet_NaN(), 0.0f}};
  for (auto [in, out] : alphas) {
    SetAlpha(in);
    EXPECT_EQ(GetAlpha(), out) << in;
  }

  SetBlend(LIGHTBLEND);
  for (int bad : {0, 6, 7, -1}) {
    SetBlend(bad);
    EXPECT_EQ(GetBlend(), LIGHTBLEND) << bad;
  }

  // A new back end starts from the defaults again.
  SetRotation(30);
  PlatformInit(BackendKind::Headless);
  EXPECT_EQ(GetRotation(), 0.0f);
  EXPECT_EQ(GetBlend(), MASKBLEND);
}

TEST_F(DrawTest, FrameIsRecordedWithItsState) {
  ASSERT_EQ(Graphics(800, 600), 1);
  Image hero = MakeImage("hero.png", 16, 8, 2);

  SetClsColor(10, 20, 30);
  Cls();
  SetColor(1, 2, 3);
  SetAlpha(0.5f);
  SetBlend(ALPHABLEND);
  SetRotation(45);
  SetScale(2, 3);
  SetLineWidth(4);
  DrawRect(5, 6, 7, 8);
  DrawImage(hero, 100, 50, 1);
  DrawImageRect(hero, 10, 20, 64, 32, 0);
  DrawLine(1, 2, 3, 4);
  DrawOval(9, 8, 7, 6);
  DrawText("Hi", 30, 40);
  Flip(0);

  std::vector<DrawCall> frame = headless::LastFrame();
  ASSERT_EQ(frame.size(), 7u);
  EXPECT_EQ(frame[0].kind, DrawCall::Clear);
  EXPECT_EQ((std::vector<int>{frame[0].r, frame[0].g, frame[0].b}), (std::vector<int>{10, 20, 30}));

  const DrawCall& rect = frame[1];
  EXPECT_EQ(rect.kind, DrawCall::Rect);
  EXPECT_EQ((std::vector<float>{rect.x, rect.y, rect.x2, rect.y2}), (std::vector<float>{5, 6, 7, 8}));
  EXPECT_EQ((std::vector<int>{rect.r, rect.g, rect.b, rect.blend}), (std::vector<int>{1, 2, 3, ALPHABLEND}));
  EXPECT_EQ((std::vector<float>{rect.alpha, rect.rotation, rect.scaleX, rect.scaleY, rect.lineWidth}),
            (std::vector<float>{0.5f, 45, 2, 3, 4}));

  EXPECT_EQ(frame[2].kind, DrawCall::Image);
  EXPECT_EQ(frame[2].image, "hero.png");
  EXPECT_EQ(frame[2].frame, 1);
  EXPECT_EQ((std::vector<float>{frame[2].x, frame[2].y, frame[2].x2, frame[2].y2}),
            (std::vector<float>{100, 50, 16, 8}));
  EXPECT_EQ((std::vector<float>{frame[3].x2, frame[3].y2}), (std::vector<float>{64, 32}));

  EXPECT_EQ(frame[4].kind, DrawCall::Line);
  EXPECT_EQ((std::vector<float>{frame[4].x, frame[4].y, frame[4].x2, frame[4].y2}),
            (std::vector<float>{1, 2, 3, 4}));
  EXPECT_EQ(frame[5].kind, DrawCall::Oval);

  EXPECT_EQ(frame[6].kind, DrawCall::Text);
  EXPECT_EQ(frame[6].text, "Hi");
  EXPECT_EQ(frame[6].font, CurrentFont().source + ":" + std::to_string(CurrentFont().size));
  EXPECT_EQ(frame[6].rotation, 45.0f);
  EXPECT_EQ(headless::FlipCount(), 1);
}

TEST_F(DrawTest, NothingIsDrawnForMissingImagesFramesOrDisplay) {
  Image hero = MakeImage("hero.png", 16, 16, 2);
  DrawRect(0, 0, 10, 10);  // no display yet
  Cls();
  DrawText("x", 0, 0);
  EXPECT_TRUE(headless::DrawCalls().empty());
  EXPECT_EQ(GrabPixmap(0, 0, 4, 4), nullptr);

  ASSERT_EQ(Graphics(320, 240), 1);
  DrawImage(nullptr, 0, 0);
  DrawImage(hero, 0, 0, 2);
  DrawImage(hero, 0, 0, -1);
  DrawImageRect(hero, 0, 0, 5, 5, 7);
  DrawText("", 0, 0);
  EXPECT_TRUE(headless::DrawCalls().empty());

  EndGraphics();
  DrawImage(hero, 0, 0, 0);
  EXPECT_TRUE(headless::DrawCalls().empty());
}

TEST_F(DrawTest, PlotIgnoresTransform) {
  ASSERT_EQ(Graphics(320, 240), 1);
  SetRotation(90);
  SetScale(5, 5);
  Plot(3, 4);
  ASSERT_EQ(headless::DrawCalls().size(), 1u);
  const DrawCall& c = headless::DrawCalls()[0];
  EXPECT_EQ(c.kind, DrawCall::Rect);
  EXPECT_EQ((std::vector<float>{c.x, c.y, c.x2, c.y2, c.rotation, c.scaleX}),
            (std::vector<float>{3, 4, 1, 1, 0, 1}));
}

TEST_F(DrawTest, RecordingStaysBoundedAndLastFrameExact) {
  ASSERT_EQ(Graphics(320, 240), 1);
  headless::SetRecordLimit(3);
  for (int i = 0; i < 50; ++i) {
    Cls();
    DrawRect(static_cast<float>(i), 0, 1, 1);
    if (i % 2) DrawRect(static_cast<float>(i), 1, 1, 1);
    Flip(0);
  }
  EXPECT_EQ(headless::FlipCount(), 50);
  EXPECT_LE(headless::DrawCalls().size(), 6u * 4u);
  std::vector<DrawCall> last = headless::LastFrame();
  ASSERT_EQ(last.size(), 3u);
  EXPECT_EQ(last[1].x, 49.0f);
  EXPECT_EQ(last[2].y, 1.0f);

  headless::ClearDrawCalls();
  EXPECT_TRUE(headless::DrawCalls().empty());
  EXPECT_TRUE(headless::LastFrame().empty());
  Flip(0);
  EXPECT_TRUE(headless::LastFrame().empty());  // an empty frame
  EXPECT_EQ(headless::FlipCount(), 51);
}

TEST_F(DrawTest, GrabPixmapShowsClsColourAndRectsInRealPixels) {
  ASSERT_EQ(Graphics(200, 100), 1);
  SetVirtualResolution(400, 200);  // two virtual units per pixel
  SetClsColor(0, 0, 255);
  Cls();
  SetColor(255, 0, 0);
  DrawRect(40, 20, 20, 20);  // real pixels 20..29 x 10..19

  Pixmap full = GrabPixmap(0, 0, 200, 100);
  ASSERT_TRUE(full);
  EXPECT_EQ(full->width, 200);
  EXPECT_EQ(full->height, 100);
  auto rgba = [&](int x, int y) {
    const uint8_t* p = full->At(x, y);
    return std::vector<int>{p[0], p[1], p[2], p[3]};
  };
  EXPECT_EQ(rgba(0, 0), (std::vector<int>{0, 0, 255, 255}));
  EXPECT_EQ(rgba(20, 10), (std::vector<int>{255, 0, 0, 255}));
  EXPECT_EQ(rgba(29, 19), (std::vector<int>{255, 0, 0, 255}));
  EXPECT_EQ(rgba(30, 19), (std::vector<int>{0, 0, 255, 255}));

  // Outside the display reads as transparent black.
  Pixmap edge = GrabPixmap(198, 0, 4, 1);
  ASSERT_TRUE(edge);
  EXPECT_EQ(edge->At(1, 0)[2], 255);
  EXPECT_EQ(edge->At(2, 0)[3], 0);
  EXPECT_EQ(GrabPixmap(0, 0, 0, 5), nullptr);
}

TEST_F(DrawTest, GrabImageCopiesWindowPixelsIntoTheFrame) {
  ASSERT_EQ(Graphics(200, 100), 1);
  SetVirtualResolution(400, 200);
  SetClsColor(0, 255, 0);
  Cls();
  Image backdrop = MakeImage("", 200, 100, 1);
  backdrop->handleX = 100;  // a centred handle does not move the grab
  backdrop->handleY = 50;
  uint32_t version = backdrop->version;
  GrabImage(backdrop, 0, 0, 0);
  EXPECT_NE(backdrop->version, version);
  ASSERT_EQ(backdrop->frames[0]->width, 200);
  EXPECT_EQ(backdrop->frames[0]->At(199, 99)[1], 255);
  EXPECT_EQ(backdrop->frames[0]->At(0, 0)[3], 255);

  GrabImage(backdrop, 0, 0, 3);  // no such frame: nothing happens
  GrabImage(nullptr, 0, 0, 0);
  EXPECT_EQ(backdrop->frames.size(), 1u);
}

TEST_F(DrawTest, HeadlessPictureHoldsScaledImagesAndBlends) {
  ASSERT_EQ(Graphics(200, 100), 1);
  SetVirtualResolution(400, 200);
  Cls();
  // 2 x 2 cells: red, transparent / blue, blue; handle at the centre.
  Image tile = MakeImage("tile.png", 2, 2, 1);
  const uint8_t px[4][4] = {{255, 0, 0, 255}, {0, 0, 0, 0}, {0, 0, 255, 255}, {0, 0, 255, 255}};
  for (int i = 0; i < 4; ++i) std::copy(px[i], px[i] + 4, tile->frames[0]->At(i % 2, i / 2));
  tile->handleX = tile->handleY = 1;
  SetBlend(ALPHABLEND);
  SetScale(10, 10);
  DrawImage(tile, 100, 50);  // virtual 90..110 x 40..60, real 45..55 x 20..30
  SetScale(1, 1);
  SetBlend(LIGHTBLEND);
  SetColor(0, 100, 0);
  SetAlpha(0.5f);
  DrawRect(0, 0, 400, 40);  // adds 50 green over the top rows only

  Pixmap shot = GrabPixmap(0, 0, 200, 100);
  ASSERT_TRUE(shot);
  auto rgb = [&](int x, int y) {
    const uint8_t* p = shot->At(x, y);
    return std::vector<int>{p[0], p[1], p[2]};
  };
  EXPECT_EQ(rgb(45, 20), (std::vector<int>{255, 0, 0}));
  EXPECT_EQ(rgb(54, 20), (std::vector<int>{0, 0, 0}));  // transparent cell
  EXPECT_EQ(rgb(50, 29), (std::vector<int>{0, 0, 255}));
  EXPECT_EQ(rgb(44, 20), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(rgb(0, 19), (std::vector<int>{0, 50, 0}));
  EXPECT_EQ(rgb(0, 20), (std::vector<int>{0, 0, 0}));
}

// A text that lands on the screen at half its font's size, shrunk by the
// virtual screen, by the drawing scale or by both, shows the face's glyphs at
// that size: as many fully covered pixels and as much ink as the face
// loaded at half the size, drawn one for one, across the width TextWidth
// gives it.
TEST_F(DrawTest, TextDrawnSmallerShowsTheFaceAtItsScreenSize) {
  const char* const face = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  const Font big = LoadImageFont(face, 40), half = LoadImageFont(face, 20);
  ASSERT_TRUE(big && half);
  const std::string text = "Hiscore 0123456789 Wm";
  struct Ink {
    int left = -1, right = -1, full = 0;
    long total = 0;
  };
  const auto draw = [&](const Font& font, float unitsPerPixel, float scale) {
    EXPECT_EQ(Graphics(400, 60), 1);
    SetVirtualResolution(400 * unitsPerPixel, 60 * unitsPerPixel);
    SetClsColor(0, 0, 0);
    Cls();
    SetBlend(ALPHABLEND);
    SetColor(255, 255, 255);
    SetScale(scale, scale);
    SetImageFont(font);
    DrawText(text, 20 * unitsPerPixel, 10 * unitsPerPixel);
    SetScale(1, 1);
    Ink ink;
    const Pixmap p = GrabPixmap(0, 0, 400, 60);
    for (int y = 0; p && y < p->height; ++y)
      for (int x = 0; x < p->width; ++x) {
        const int v = p->At(x, y)[0];
        ink.total += v;
        if (v >= 200) ++ink.full;
        if (v >= 64) {
          if (ink.left < 0 || x < ink.left) ink.left = x;
          ink.right = std::max(ink.right, x);
        }
      }
    return ink;
  };
  const Ink reference = draw(half, 1, 1);
  SetImageFont(big);
  const float measured = 20 + TextWidth(text) * 0.5f;  // where the text ends, in pixels
  ASSERT_GT(reference.full, 100);
  struct Case {
    float unitsPerPixel, scale;
  } cases[] = {{2, 1}, {1, 0.5f}, {1.6f, 0.8f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.unitsPerPixel) + " units a pixel, scale " + std::to_string(c.scale));
    const Ink ink = draw(big, c.unitsPerPixel, c.scale);
    EXPECT_NEAR(ink.left, reference.left, 1);
    EXPECT_LE(ink.right, measured + 1);
    EXPECT_GE(ink.right, measured - 4);
    EXPECT_NEAR(ink.full, reference.full, reference.full / 10);
    EXPECT_NEAR(ink.total, reference.total, reference.total / 20);
  }
  SetImageFont(nullptr);
}

// Set with the advances of the size it lands at, a text may take a pixel
// or two more or less than TextWidth: its anchor holds its start, its
// middle or its end where the measure puts it.
TEST_F(DrawTest, TextSetAtItsScreenSizeKeepsItsAlignment) {
  const char* const face = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  // 40 pixels drawn at 25: the face's advances at 25 do not add up to 5/8
  // of those at 40.
  const Font big = LoadImageFont(face, 40), small = LoadImageFont(face, 25);
  ASSERT_TRUE(big && small);
  ASSERT_EQ(Graphics(400, 60), 1);
  const auto inkOf = [](float units, const Font& font, const std::string& text, float x, float anchor) {
    SetVirtualResolution(400 * units, 60 * units);
    SetClsColor(0, 0, 0);
    Cls();
    SetBlend(ALPHABLEND);
    SetColor(255, 255, 255);
    SetImageFont(font);
    DrawText(text, x * units, 10 * units, anchor);
    int left = -1, right = -1;
    const Pixmap p = GrabPixmap(0, 0, 400, 60);
    for (int y = 0; p && y < p->height; ++y)
      for (int px = 0; px < p->width; ++px)
        if (p->At(px, y)[0] >= 64) {
          if (left < 0 || px < left) left = px;
          right = std::max(right, px);
        }
    return std::make_pair(left, right);
  };
  for (const std::string text : {"Harbour Light 0123456789", "000987654321", "Mint Leaf"}) {
    SCOPED_TRACE(text);
    // The face at 25 pixels drawn at its own size: where its ink starts and
    // how far before its end its ink stops.
    const auto [refLeft, refRight] = inkOf(1, small, text, 20, 0);
    SetImageFont(small);
    const int before = refLeft - 20, after = 20 + TextWidth(text) - refRight;
    SetImageFont(big);
    const float start = 37.3f, end = start + TextWidth(text) * 0.625f;  // as the font's own measure has it
    const auto [l0, r0] = inkOf(1.6f, big, text, start, 0);
    EXPECT_NEAR(l0, std::round(start) + before, 1) << "starts where placed";
    const auto [l1, r1] = inkOf(1.6f, big, text, start, 1);
    EXPECT_NEAR(r1, std::round(end) - after, 1) << "ends on its edge";
    const auto [lm, rm] = inkOf(1.6f, big, text, start, 0.5f);
    EXPECT_NEAR((lm + rm) / 2.0, (std::round(start) + before + std::round(end) - after) / 2.0, 1) << "centred";
    EXPECT_EQ(r0 - l0, r1 - l1);
    EXPECT_EQ(r0 - l0, rm - lm);
  }
  SetImageFont(nullptr);
}

}  // namespace
