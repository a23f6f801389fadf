// Both back ends must paint the same pixels: one suite, driven through the
// Backend interface and read back through ReadPixels, run on the headless
// back end and on SDL2 + OpenGL (once into an off-screen framebuffer, once
// where the back end chooses). The GL runs need an X display (run under
// xvfb-run) and are skipped without one. The last test draws one busy frame
// on both and compares the pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/backend.h"
#include "platform/core/image.h"
#include "deadlines.h"
#include "test_support.h"

namespace {

using testsupport::ExpectPixel;
using testsupport::Rgb;

Pixmap SolidPixmap(int w, int h, Rgb c, int a = 255) {
  auto p = std::make_shared<TPixmap>();
  p->width = w;
  p->height = h;
  p->pixels.resize(static_cast<size_t>(w) * h * 4);
  for (int i = 0; i < w * h; ++i) {
    p->pixels[i * 4 + 0] = static_cast<uint8_t>(c.r);
    p->pixels[i * 4 + 1] = static_cast<uint8_t>(c.g);
    p->pixels[i * 4 + 2] = static_cast<uint8_t>(c.b);
    p->pixels[i * 4 + 3] = static_cast<uint8_t>(a);
  }
  return p;
}

std::shared_ptr<TImage> MakeImage(Pixmap frame, int flags = 0) {
  auto image = std::make_shared<TImage>();
  image->width = frame->width;
  image->height = frame->height;
  image->flags = flags;
  image->frames.push_back(std::move(frame));
  return image;
}

DrawState State(int blend, Rgb c = {255, 255, 255}, float alpha = 1.0f) {
  DrawState s;
  s.blend = blend;
  s.r = c.r;
  s.g = c.g;
  s.b = c.b;
  s.alpha = alpha;
  return s;
}

bool HaveDisplay() {
  const char* display = std::getenv("DISPLAY");
  return display && *display;
}

// "headless", or the GL back buffer to use: "fbo" an off-screen framebuffer,
// "auto" the back end's choice (under Xvfb the window's own back buffer,
// which survives swaps). The real one is asked again for a while when it
// cannot reach the display (an X server that resets as its last client
// leaves refuses connections meanwhile); `problem` gets the reason it gave.
std::unique_ptr<Backend> MakeBackend(const std::string& kind, std::string* problem = nullptr) {
  if (kind == "headless") return CreateHeadlessBackend();
  setenv("PIBBO_GL_BACKBUFFER", kind.c_str(), 1);
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(testsupport::Deadline(testsupport::kScreenDeadlineMs));
  for (;;) {
    std::unique_ptr<Backend> backend = CreateRealBackend();
    if (backend || std::chrono::steady_clock::now() > end) {
      if (problem) *problem = RealBackendProblem();
      return backend;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

class BackendDrawTest : public ::testing::TestWithParam<const char*> {
 protected:
  static constexpr int kW = 320, kH = 240;

  void SetUp() override {
    if (std::string(GetParam()) != "headless" && !HaveDisplay()) GTEST_SKIP() << "no X display (run under xvfb-run)";
    std::string problem;
    backend_ = MakeBackend(GetParam(), &problem);
    ASSERT_TRUE(backend_) << "the real back end did not start: " << problem;
    ASSERT_TRUE(backend_->OpenDisplay(kW, kH, 0, 60, "back end test"));
    backend_->SetVirtualResolution(kW, kH);
  }
  void TearDown() override {
    if (backend_) backend_->CloseDisplay();
    unsetenv("PIBBO_GL_BACKBUFFER");
  }

  Pixmap Screen() { return backend_->ReadPixels(0, 0, kW, kH); }

  std::unique_ptr<Backend> backend_;
};

TEST_P(BackendDrawTest, VirtualResolutionStretchesOverTheDisplay) {
  backend_->SetVirtualResolution(160, 120);  // half: one virtual unit is 2x2 pixels
  backend_->Clear(10, 20, 30);
  backend_->DrawRect(10, 10, 20, 20, State(SOLIDBLEND, {255, 0, 0}));
  backend_->Present(0);
  Pixmap p = Screen();
  ASSERT_EQ(p->width, kW);
  ASSERT_EQ(p->height, kH);
  ExpectPixel(p, 5, 5, {10, 20, 30});
  ExpectPixel(p, 20, 20, {255, 0, 0});
  ExpectPixel(p, 59, 59, {255, 0, 0});
  ExpectPixel(p, 60, 60, {10, 20, 30});
  ExpectPixel(p, 19, 30, {10, 20, 30});
}

TEST_P(BackendDrawTest, BlendModesCombineSourceAndBackBuffer) {
  struct Case {
    const char* name;
    int blend;
    Rgb color;
    float alpha;
    Rgb want;
  };
  // Background 100,100,100; an opaque 200,50,0 texel, times the colour.
  const Case cases[] = {
      {"solid ignores alpha", SOLIDBLEND, {255, 255, 255}, 0.5f, {200, 50, 0}},
      {"solid tints", SOLIDBLEND, {255, 0, 255}, 1.0f, {200, 0, 0}},
      {"alpha", ALPHABLEND, {255, 255, 255}, 0.5f, {150, 75, 50}},
      {"light adds", LIGHTBLEND, {255, 255, 255}, 0.5f, {200, 125, 100}},
      {"light saturates", LIGHTBLEND, {255, 255, 255}, 1.0f, {255, 150, 100}},
      {"shade multiplies", SHADEBLEND, {255, 255, 255}, 1.0f, {78, 20, 0}},
      {"mask opaque", MASKBLEND, {255, 255, 255}, 1.0f, {200, 50, 0}},
  };
  auto image = MakeImage(SolidPixmap(16, 16, {200, 50, 0}));
  int x = 0;
  backend_->Clear(100, 100, 100);
  for (const Case& c : cases) {
    backend_->DrawImage(*image, 0, static_cast<float>(x), 0, 16, 16, State(c.blend, c.color, c.alpha));
    x += 20;
  }
  backend_->Present(0);
  Pixmap p = Screen();
  x = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectPixel(p, x + 8, 8, c.want);
    x += 20;
  }
}

TEST_P(BackendDrawTest, MaskAndAlphaFollowTheTextureAlpha) {
  // Left half opaque red, right half fully transparent.
  Pixmap pix = SolidPixmap(16, 8, {255, 0, 0});
  for (int y = 0; y < 8; ++y)
    for (int x = 8; x < 16; ++x) pix->At(x, y)[3] = 0;
  auto image = MakeImage(pix);
  backend_->Clear(0, 0, 255);
  backend_->DrawImage(*image, 0, 0, 0, 16, 8, State(MASKBLEND));
  backend_->DrawImage(*image, 0, 0, 20, 16, 8, State(ALPHABLEND));
  backend_->Present(0);
  Pixmap p = Screen();
  ExpectPixel(p, 4, 4, {255, 0, 0});
  ExpectPixel(p, 12, 4, {0, 0, 255});
  ExpectPixel(p, 4, 24, {255, 0, 0});
  ExpectPixel(p, 12, 24, {0, 0, 255});
}

TEST_P(BackendDrawTest, BackBufferKeepsItsPixelsAcrossPresent) {
  backend_->Clear(0, 0, 0);
  backend_->DrawRect(0, 0, 10, 10, State(SOLIDBLEND, {0, 255, 0}));
  backend_->Present(0);
  backend_->DrawRect(20, 0, 10, 10, State(SOLIDBLEND, {255, 0, 0}));
  backend_->Present(-1);  // with vertical sync (or without, where refused)
  Pixmap p = Screen();
  ExpectPixel(p, 5, 5, {0, 255, 0});
  ExpectPixel(p, 25, 5, {255, 0, 0});
}

TEST_P(BackendDrawTest, ImagesTurnAndScaleAboutTheirHandle) {
  auto image = MakeImage(SolidPixmap(20, 10, {255, 255, 0}));
  backend_->Clear(0, 0, 0);
  DrawState turned = State(SOLIDBLEND);
  turned.rotation = 90;  // clockwise: the image now hangs down-left of (50, 50)
  backend_->DrawImage(*image, 0, 50, 50, 20, 10, turned);
  image->handleX = 10;
  image->handleY = 5;
  DrawState scaled = State(SOLIDBLEND);
  scaled.scaleX = 2;
  scaled.scaleY = 3;  // centred on (200, 100): 40 x 30
  backend_->DrawImage(*image, 0, 200, 100, 20, 10, scaled);
  // Drawn at twice its size: the handle scales along (centre at 150, 200).
  backend_->DrawImage(*image, 0, 150, 200, 40, 20, State(SOLIDBLEND));
  backend_->Present(0);
  Pixmap p = Screen();
  ExpectPixel(p, 45, 65, {255, 255, 0});
  ExpectPixel(p, 55, 55, {0, 0, 0});
  ExpectPixel(p, 45, 45, {0, 0, 0});
  ExpectPixel(p, 181, 86, {255, 255, 0});
  ExpectPixel(p, 218, 113, {255, 255, 0});
  ExpectPixel(p, 178, 100, {0, 0, 0});
  ExpectPixel(p, 200, 117, {0, 0, 0});
  ExpectPixel(p, 131, 191, {255, 255, 0});
  ExpectPixel(p, 168, 208, {255, 255, 0});
  ExpectPixel(p, 128, 200, {0, 0, 0});
}

// Drawn at a quarter of its size, a picture of one-pixel stripes keeps its
// average (grey), filtered or not, rather than showing whichever stripes the
// samples happen to hit.
TEST_P(BackendDrawTest, ImagesDrawnSmallerKeepTheirAverage) {
  if (std::string(GetParam()) == "headless") GTEST_SKIP() << "the software picture samples its images as they are";
  auto stripes = SolidPixmap(64, 64, {0, 0, 0});
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; x += 2) std::memset(stripes->At(x, y), 255, 4);
  for (int flags : {FILTEREDIMAGE, 0}) {
    SCOPED_TRACE(flags ? "filtered" : "unfiltered");
    // A quarter, then 3/8 (between two halved copies).
    for (float size : {16.0f, 24.0f}) {
      SCOPED_TRACE(size);
      auto image = MakeImage(stripes, flags);
      backend_->Clear(0, 0, 0);
      backend_->DrawImage(*image, 0, 10.5f, 10.25f, size, size, State(SOLIDBLEND));
      Pixmap p = Screen();
      for (int y = 12; y < 24; y += 3)
        for (int x = 12; x < 24; x += 3) {
          SCOPED_TRACE(std::to_string(x) + ", " + std::to_string(y));
          EXPECT_NEAR(p->At(x, y)[0], 128, 40);
        }
    }
  }
}

// An unfiltered picture that has been drawn small still shows its own pixels
// one for one when it is drawn at its size again, off the pixel grid too:
// the halved copies it was sampled from then take no part, and nothing is
// blended in between its pixels.
TEST_P(BackendDrawTest, UnfilteredImagesDrawnSmallStayExactAtTheirSize) {
  auto stripes = SolidPixmap(64, 64, {0, 0, 0});
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; x += 2) std::memset(stripes->At(x, y), 255, 4);
  auto image = MakeImage(stripes);
  backend_->DrawImage(*image, 0, 100, 100, 16, 16, State(SOLIDBLEND));
  backend_->DrawImage(*image, 0, 120, 100, 4, 4, State(SOLIDBLEND));
  backend_->Clear(0, 0, 0);
  backend_->DrawImage(*image, 0, 10.25f, 10.25f, 64, 64, State(SOLIDBLEND));
  Pixmap p = Screen();
  // Display pixel x shows the frame's pixel x - 10: white where that is even.
  for (int y = 12; y < 70; y += 7)
    for (int x = 12; x < 70; ++x) {
      SCOPED_TRACE(std::to_string(x) + ", " + std::to_string(y));
      ExpectPixel(p, x, y, x % 2 == 0 ? Rgb{255, 255, 255} : Rgb{0, 0, 0});
    }
}

TEST_P(BackendDrawTest, ChangedOrReopenedImagesUploadAgain) {
  auto image = MakeImage(SolidPixmap(8, 8, {255, 0, 0}));
  backend_->Clear(0, 0, 0);
  backend_->DrawImage(*image, 0, 0, 0, 8, 8, State(SOLIDBLEND));
  image->frames[0] = SolidPixmap(8, 8, {0, 255, 0});
  ++image->version;
  backend_->DrawImage(*image, 0, 10, 0, 8, 8, State(SOLIDBLEND));
  Pixmap p = Screen();
  ExpectPixel(p, 4, 4, {255, 0, 0});
  ExpectPixel(p, 14, 4, {0, 255, 0});

  // A new display (and GL context): the old textures are gone.
  backend_->CloseDisplay();
  ASSERT_TRUE(backend_->OpenDisplay(kW, kH, 0, 60, "reopened"));
  backend_->Clear(0, 0, 0);
  backend_->DrawImage(*image, 0, 0, 0, 8, 8, State(SOLIDBLEND));
  ExpectPixel(Screen(), 4, 4, {0, 255, 0});
}

TEST_P(BackendDrawTest, LinesOvalsAndText) {
  backend_->Clear(0, 0, 0);
  const DrawState white = State(SOLIDBLEND);
  backend_->DrawLine(10, 20, 30, 20, true, white);
  backend_->DrawLine(10, 40, 30, 40, false, white);
  DrawState thick = white;
  thick.lineWidth = 5;
  backend_->DrawLine(50, 20, 50, 60, true, thick);
  backend_->DrawOval(100, 100, 40, 20, State(SOLIDBLEND, {0, 0, 255}));

  // A two-glyph font: 'A' a 4x4 block, 'B' a 2x6 bar; coverage in alpha.
  TImageFont font;
  font.atlas = SolidPixmap(8, 8, {255, 255, 255});
  font.glyphs['A'] = Glyph{0, 0, 4, 4, 0, 1, 5};
  font.glyphs['B'] = Glyph{4, 0, 2, 6, 1, 0, 3};
  font.height = 6;
  backend_->DrawText(font, "AB", 200, 10, State(ALPHABLEND, {0, 255, 0}));
  Pixmap p = Screen();
  ExpectPixel(p, 20, 20, {255, 255, 255});
  ExpectPixel(p, 30, 20, {255, 255, 255});  // last pixel drawn
  ExpectPixel(p, 20, 22, {0, 0, 0});
  ExpectPixel(p, 29, 40, {255, 255, 255});
  ExpectPixel(p, 30, 40, {0, 0, 0});        // last pixel left out
  ExpectPixel(p, 48, 40, {255, 255, 255});
  ExpectPixel(p, 53, 40, {0, 0, 0});
  ExpectPixel(p, 120, 110, {0, 0, 255});
  ExpectPixel(p, 101, 101, {0, 0, 0});  // outside the ellipse, inside its box
  ExpectPixel(p, 201, 12, {0, 255, 0});
  ExpectPixel(p, 201, 10, {0, 0, 0});   // glyph offset 1 down
  ExpectPixel(p, 206, 13, {0, 255, 0}); // 'B' at pen 5 + offset 1
  ExpectPixel(p, 204, 13, {0, 0, 0});
}

TEST_P(BackendDrawTest, ReadPixelsPastTheEdgeKeepsTheRequestedSize) {
  backend_->Clear(255, 255, 255);
  Pixmap p = backend_->ReadPixels(kW - 2, -2, 4, 4);
  ASSERT_TRUE(p);
  ASSERT_EQ(p->width, 4);
  ASSERT_EQ(p->height, 4);
  EXPECT_EQ(p->At(0, 2)[0], 255);
  EXPECT_EQ(p->At(1, 3)[0], 255);
  EXPECT_EQ(p->At(2, 2)[0], 0);  // right of the display
  EXPECT_EQ(p->At(0, 1)[0], 0);  // above it
  EXPECT_FALSE(backend_->ReadPixels(0, 0, 0, 5));
}

TEST_P(BackendDrawTest, DisplayModesAndFullScreen) {
  int dw = 0, dh = 0;
  backend_->DesktopSize(dw, dh);
  ASSERT_GT(dw, 0);
  ASSERT_GT(dh, 0);
  const std::vector<GraphicsMode> modes = backend_->ListModes();
  ASSERT_FALSE(modes.empty());
  bool desktopListed = false;
  for (const GraphicsMode& m : modes) {
    EXPECT_GE(m.depth, 16);
    desktopListed |= m.width == dw && m.height == dh;
  }
  EXPECT_TRUE(desktopListed);

  // A full screen of a size the display does not offer is refused, not
  // stretched from another mode.
  EXPECT_FALSE(backend_->OpenDisplay(333, 222, 32, 60, "no such mode"));
  EXPECT_FALSE(backend_->DisplayOpen());

  ASSERT_TRUE(backend_->OpenDisplay(modes[0].width, modes[0].height, modes[0].depth, 60, "full"));
  backend_->Clear(1, 2, 3);
  backend_->Present(0);
  Pixmap p = backend_->ReadPixels(modes[0].width - 1, modes[0].height - 1, 1, 1);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->At(0, 0)[2], 3);
}

TEST_P(BackendDrawTest, ClosedDisplayIgnoresDrawing) {
  backend_->CloseDisplay();
  EXPECT_FALSE(backend_->DisplayOpen());
  backend_->Clear(1, 2, 3);
  backend_->DrawRect(0, 0, 5, 5, State(SOLIDBLEND));
  backend_->Present(0);
  EXPECT_FALSE(backend_->ReadPixels(0, 0, 1, 1));
  const uint32_t before = backend_->Millis();
  backend_->Sleep(2);
  EXPECT_GE(backend_->Millis() - before, 2u);
}

// A frame with a bit of everything: a virtual screen larger than the display,
// turned and scaled bands in alpha blending, filtered and unfiltered images
// in every blend mode, lines, ovals and built-in text.
void DrawBusyFrame(Backend& backend) {
  backend.SetVirtualResolution(640, 480);
  backend.Clear(20, 30, 60);
  for (int i = 0; i < 12; ++i) {
    DrawState band = State(ALPHABLEND, {40 + i * 15, 200 - i * 10, 120}, 0.35f);
    band.rotation = static_cast<float>(i * 17);
    band.scaleX = 1.0f + i * 0.1f;
    backend.DrawRect(100.0f + i * 30, 60.0f + i * 20, 200, 30, band);
  }
  auto gradient = std::make_shared<TPixmap>();
  gradient->width = gradient->height = 32;
  gradient->pixels.resize(32 * 32 * 4);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      uint8_t* px = gradient->At(x, y);
      px[0] = static_cast<uint8_t>(x * 8);
      px[1] = static_cast<uint8_t>(y * 8);
      px[2] = static_cast<uint8_t>(255 - x * 4);
      const int dx = x - 16, dy = y - 16;
      px[3] = static_cast<uint8_t>(std::max(0, 255 - (dx * dx + dy * dy) * 255 / 256));
    }
  auto filtered = MakeImage(gradient, FILTEREDIMAGE);
  filtered->handleX = filtered->handleY = 16;
  auto sharp = MakeImage(gradient);
  sharp->handleX = sharp->handleY = 16;
  const int blends[] = {MASKBLEND, SOLIDBLEND, ALPHABLEND, LIGHTBLEND, SHADEBLEND};
  for (int i = 0; i < 5; ++i) {
    DrawState s = State(blends[i], {255, 220, 200}, 0.8f);
    s.rotation = 30.0f * i + 10;
    s.scaleX = 1.5f + 0.5f * i;
    s.scaleY = 2.0f;
    backend.DrawImage(*filtered, 0, 80.0f + i * 110, 360, 32, 32, s);
    backend.DrawImage(*sharp, 0, 80.0f + i * 110, 430, 48, 24, s);
  }
  DrawState line = State(ALPHABLEND, {255, 255, 0}, 0.9f);
  line.lineWidth = 3;
  backend.DrawLine(20, 20, 600, 300, true, line);
  backend.DrawLine(600, 20, 20, 300, false, State(SOLIDBLEND, {0, 255, 255}));
  DrawState oval = State(LIGHTBLEND, {90, 40, 160}, 0.7f);
  oval.rotation = 25;
  backend.DrawOval(380, 150, 180, 90, oval);
  backend.DrawOval(40, 200, 60, 60, State(SOLIDBLEND, {255, 80, 80}));
  DrawState text = State(ALPHABLEND, {255, 255, 255});
  backend.DrawText(DefaultFont(), "Pibbo 260: every glyph", 30, 120, text);
  text.rotation = -20;
  text.scaleX = text.scaleY = 1.6f;
  backend.DrawText(DefaultFont(), "turned text", 300, 250, text);
}

TEST(BackendPictures, HeadlessPaintsWhatOpenGLPaints) {
  if (!HaveDisplay()) GTEST_SKIP() << "no X display (run under xvfb-run)";
  constexpr int kW = 400, kH = 300;
  Pixmap pictures[2];
  const char* kinds[2] = {"headless", "fbo"};
  for (int k = 0; k < 2; ++k) {
    std::string problem;
    std::unique_ptr<Backend> backend = MakeBackend(kinds[k], &problem);
    ASSERT_TRUE(backend) << "the real back end did not start: " << problem;
    ASSERT_TRUE(backend->OpenDisplay(kW, kH, 0, 60, "picture test"));
    DrawBusyFrame(*backend);
    pictures[k] = backend->ReadPixels(0, 0, kW, kH);
    backend->CloseDisplay();
    ASSERT_TRUE(pictures[k]);
  }
  unsetenv("PIBBO_GL_BACKBUFFER");
  // Edges may fall a pixel differently and filtering rounds differently;
  // anything more is a different picture.
  long total = 0;
  int far = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const uint8_t* a = pictures[0]->At(x, y);
      const uint8_t* b = pictures[1]->At(x, y);
      int worst = 0;
      for (int ch = 0; ch < 3; ++ch) worst = std::max(worst, std::abs(a[ch] - b[ch]));
      total += worst;
      if (worst > 24) ++far;
    }
  const double mean = static_cast<double>(total) / (kW * kH);
  EXPECT_LT(mean, 1.5) << "mean difference per pixel";
  EXPECT_LT(far, kW * kH / 100) << "pixels that differ by more than 24";
}

INSTANTIATE_TEST_SUITE_P(Backends, BackendDrawTest, ::testing::Values("headless", "fbo", "auto"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

}  // namespace
