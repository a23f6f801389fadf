// Drawing helpers, the per-frame sprite budgets and the gradient backdrops,
// checked on the headless back end's recorded draw calls.
#include <cmath>
#include <string>
#include <vector>

#include "frame_fixture.h"

using frame_test::CallsOf;

namespace {

class Draw : public frame_test::FrameTest {
 protected:
  std::vector<DrawCall> Images() const { return CallsOf(headless::DrawCalls(), DrawCall::Image); }
};

TEST_F(Draw, BudgetStopsDrawingUntilTheNextFrame) {
  DrawMax[1] = 3;
  for (int i = 0; i < 5; ++i) drawimg(CommonIcons, 10 * i, 0, 0, 1);
  EXPECT_EQ(Images().size(), 3u);
  EXPECT_EQ(DrawCount[1], 3);
  CLS3d(0);  // no clear, counts still reset
  EXPECT_EQ(DrawCount[1], 0);
  for (int i = 0; i < 5; ++i) drawimg(CommonIcons, 10 * i, 0, 0, 1);
  EXPECT_EQ(Images().size(), 6u);
  EXPECT_EQ(CallsOf(headless::DrawCalls(), DrawCall::Clear).size(), 0u);
  CLS3d(1);
  EXPECT_EQ(CallsOf(headless::DrawCalls(), DrawCall::Clear).size(), 1u);
  DrawCount[11] = 7;
  CLS3d(1);
  EXPECT_EQ(DrawCount[11], 7);  // only kinds 1..10 are per frame
}

TEST_F(Draw, ImpossibleDrawsDrawAndCountNothing) {
  struct Case {
    const char* what;
    Image image;
    int frame, kind;
  };
  const std::vector<Case> cases = {
      {"kind without budget", CommonIcons, 0, 4},
      {"kind 0", CommonIcons, 0, 0},
      {"kind past the table", CommonIcons, 0, 20},
      {"negative kind", CommonIcons, 0, -1},
      {"no image", Image(), 0, 1},
      {"frame past the cells", CommonIcons, 64, 1},
      {"negative frame", CommonIcons, -1, 1},
  };
  for (const auto& c : cases) {
    drawimg(c.image, 5, 5, c.frame, c.kind);
    EXPECT_TRUE(Images().empty()) << c.what;
    EXPECT_EQ(DrawCount[1], 0) << c.what;
    if (c.kind == 1) GlowImg(c.image, 5, 5, c.frame, CommonIconsF, 1.1f, 0.5f);
  }
  EXPECT_TRUE(Images().empty());
  EXPECT_EQ(DrawCount[2], 0);
}

TEST_F(Draw, DrawimgPutsTheCellsCornerOnThePoint) {
  SetSize(3);
  drawimg(CommonIcons, 100, 50, 5, 1);
  ASSERT_EQ(Images().size(), 1u);
  EXPECT_FLOAT_EQ(Images()[0].x, 124);
  EXPECT_FLOAT_EQ(Images()[0].y, 74);
  EXPECT_EQ(Images()[0].frame, 5);
  EXPECT_FLOAT_EQ(Images()[0].scaleX, 3);
}

TEST_F(Draw, GlowDrawsEachLayerUnderItsOwnBudgetAndRestoresTheState) {
  SetSize(2, 3);
  SetAlpha(0.5f);
  Blend(2);
  const int blendBefore = GetBlend();
  struct Case {
    int max1, max2;
    size_t images;
  };
  for (const Case c : {Case{10, 10, 2}, Case{0, 10, 1}, Case{10, 0, 1}, Case{0, 0, 0}}) {
    headless::ClearDrawCalls();
    CLS3d(0);
    DrawMax[1] = c.max1;
    DrawMax[2] = c.max2;
    GlowImg(CommonIcons, 100, 50, 2, CommonIconsF, 1.1f, 0.8f);
    EXPECT_EQ(Images().size(), c.images) << c.max1 << "/" << c.max2;
    float sx, sy;
    GetScale(sx, sy);
    EXPECT_FLOAT_EQ(sx, 2);
    EXPECT_FLOAT_EQ(sy, 3);
    EXPECT_FLOAT_EQ(GetAlpha(), 0.5f);
    EXPECT_EQ(GetBlend(), blendBefore);
  }
  // Both layers centred on the base cell; the halo larger, additive, fainter.
  headless::ClearDrawCalls();
  CLS3d(0);
  DrawMax[1] = DrawMax[2] = 10;
  GlowImage(CommonIcons, 100, 50, 2, Image(), 1.1f, 0.8f);
  auto images = Images();
  ASSERT_EQ(images.size(), 2u);
  EXPECT_FLOAT_EQ(images[0].x, 116);
  EXPECT_FLOAT_EQ(images[0].y, 74);
  EXPECT_FLOAT_EQ(images[1].x, 116);
  EXPECT_FLOAT_EQ(images[1].y, 74);
  EXPECT_FLOAT_EQ(images[1].scaleX, 2.2f);
  EXPECT_FLOAT_EQ(images[1].alpha, 0.4f);
  EXPECT_EQ(images[1].blend, LIGHTBLEND);
  EXPECT_EQ(images[0].image, images[1].image);  // no halo image: the image itself
}

TEST_F(Draw, HiddenFramesOfFrameSkipDrawNothing) {
  Options[7] = 1;
  SkipDraw = 1;
  drawimg(CommonIcons, 0, 0, 0, 1);
  GlowImg(CommonIcons, 0, 0, 0, CommonIconsF, 1.1f, 1.0f);
  EXPECT_TRUE(Images().empty());
  EXPECT_EQ(DrawCount[1] + DrawCount[2], 0);
  Options[7] = 0;  // without frame skip the phase does not matter
  drawimg(CommonIcons, 0, 0, 0, 1);
  EXPECT_EQ(Images().size(), 1u);
}

TEST_F(Draw, StateSetters) {
  SetAlpha(0.3f);
  SetCol(300, -5, 127.9f);
  int r, g, b;
  GetColor(r, g, b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 127);
  EXPECT_FLOAT_EQ(GetAlpha(), 0.3f);
  SetCol(1, 2, 3, 1.5f);
  EXPECT_FLOAT_EQ(GetAlpha(), 1.0f);
  SetCol(1, 2, 3, -0.2f);
  EXPECT_FLOAT_EQ(GetAlpha(), 0.0f);

  float sx, sy;
  for (auto [a, b2, ex, ey] : std::vector<std::array<float, 4>>{
           {2, kSameAsFirst, 2, 2}, {2, 0.5f, 2, 0.5f}, {2, 0, 2, 0}}) {
    SetSize(a, b2);
    GetScale(sx, sy);
    EXPECT_FLOAT_EQ(sx, ex);
    EXPECT_FLOAT_EQ(sy, ey);
  }

  const std::vector<std::pair<int, int>> blends = {{0, SOLIDBLEND}, {1, ALPHABLEND}, {2, SHADEBLEND}, {3, LIGHTBLEND}};
  for (auto [code, mode] : blends) {
    Blend(code);
    EXPECT_EQ(GetBlend(), mode);
    EXPECT_EQ(PreBlend, code);
  }
  Blend(7);
  EXPECT_EQ(GetBlend(), LIGHTBLEND);
  EXPECT_EQ(PreBlend, 7);

  SetRot(30);
  ResetDraw();
  GetScale(sx, sy);
  GetColor(r, g, b);
  EXPECT_FLOAT_EQ(GetRotation(), 0);
  EXPECT_FLOAT_EQ(sx, 1);
  EXPECT_EQ(r + g + b, 765);
  EXPECT_FLOAT_EQ(GetAlpha(), 1);
  EXPECT_EQ(GetBlend(), ALPHABLEND);
}

TEST_F(Draw, TextAlignsByUnscaledMeasures) {
  const std::string text = "Align me";
  const int w = TextWidth(text), h = TextHeight(text);
  SetSize(3);
  struct Case {
    int ax, ay;
    float x, y;
  };
  for (const Case c : {Case{0, 0, 400, 300}, Case{1, 1, 400.0f - w / 2, 300.0f - h / 2},
                       Case{2, 2, 400.0f - w, 300.0f - h}, Case{3, -1, 400, 300}}) {
    headless::ClearDrawCalls();
    Text(400, 300, text, c.ax, c.ay);
    auto texts = CallsOf(headless::DrawCalls(), DrawCall::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_FLOAT_EQ(texts[0].x, c.x) << c.ax;
    EXPECT_FLOAT_EQ(texts[0].y, c.y) << c.ay;
  }
}

// Lines as wide as a few words allow: the breaks fall at blanks, or after a
// "/" in a path without blanks, and no line but one of a single piece too
// wide for any line is wider than asked.
TEST_F(Draw, WrapTextBreaksAtBlanksAndAfterSlashes) {
  const struct {
    std::string text;
    std::string room;  // a text as wide as the lines may be
    std::vector<std::string> lines;
  } cases[] = {
      {"", "abc", {}},
      {"   ", "abc", {}},
      {"ONE TWO THREE", "ONE TWO THREE", {"ONE TWO THREE"}},
      {"ONE TWO THREE", "ONE TWO", {"ONE TWO", "THREE"}},
      {"ONE TWO THREE", "ONE", {"ONE", "TWO", "THREE"}},
      {"ONE  TWO ", "ONE  TWO", {"ONE  TWO"}},
      {"ONE  TWO", "ONE", {"ONE", "TWO"}},
      {"AAAA/BBBB/CCCC", "AAAA/BBBB/", {"AAAA/BBBB/", "CCCC"}},
      {"AAAA/BBBB/CCCC", "AAAA/", {"AAAA/", "BBBB/", "CCCC"}},
      {"kept in /AAAA/BBBB", "kept in /AAAA/", {"kept in /AAAA/", "BBBB"}},
      {"a WIDERTHANANYLINE b", "abc", {"a", "WIDERTHANANYLINE", "b"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("'" + c.text + "' in the width of '" + c.room + "'");
    const int width = TextWidth(c.room);
    const std::vector<std::string> lines = WrapText(c.text, width);
    EXPECT_EQ(lines, c.lines);
    for (const std::string& line : lines) {
      if (line.find_first_of(" /") != std::string::npos) {
        EXPECT_LE(TextWidth(line), width) << line;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Gradient backdrops
// ---------------------------------------------------------------------------
TEST_F(Draw, GradientFactorsEaseAndSnapOnTheRightCall) {
  struct Case {
    float from, to;
    int calls;  // the call on which the factor reaches the target exactly
  };
  const std::vector<Case> cases = {{0, 1, 83}, {0.2f, 0.25f, 36}, {0.2f, 0.204f, 1},
                                   {1, 1.4f, 68}, {0, 2, 93}, {0.2f, 3, 99}};
  for (const auto& c : cases) {
    GradR = c.from;
    AimGradR = c.to;
    int call = 0;
    while (GradR != AimGradR && call < 200) {
      AddGradient2();
      ++call;
    }
    EXPECT_EQ(call, c.calls) << c.from << " -> " << c.to;
  }
  GradG = 0;
  AimGradG = 1;
  AddGradient();
  EXPECT_FLOAT_EQ(GradG, 0.0625f);
  AddGradient();  // settled factors stay put
  GradB = AimGradB = 0.2f;
  AddGradient();
  EXPECT_EQ(GradB, 0.2f);
}

TEST_F(Draw, GradientBandsAndTheStateLeftBehind) {
  struct Case {
    int (*draw)();
    float rotation;
    int height;
    size_t bands;
  };
  for (const Case c : {Case{AddGradient, -45, 960, 97}, Case{AddGradient2, 0, 960, 97}, Case{AddGradient, -45, 900, 91}}) {
    JScrh = c.height;
    JScrw = c.height == 960 ? 1280 : 1600;
    SetRot(12);
    SetSize(4);
    SetCol(9, 9, 9, 0.1f);
    headless::ClearDrawCalls();
    c.draw();
    auto rects = CallsOf(headless::DrawCalls(), DrawCall::Rect);
    ASSERT_EQ(rects.size(), c.bands);
    for (size_t k = 0; k < rects.size(); ++k) {
      EXPECT_FLOAT_EQ(rects[k].x, -100);
      EXPECT_FLOAT_EQ(rects[k].y, 30.0f * k);
      EXPECT_FLOAT_EQ(rects[k].x2, JScrw + 1800.0f);
      EXPECT_FLOAT_EQ(rects[k].y2, 30);
      EXPECT_FLOAT_EQ(rects[k].rotation, c.rotation);
      EXPECT_FLOAT_EQ(rects[k].alpha, 1);
    }
    EXPECT_EQ(rects.front().r, 26);
    EXPECT_EQ(rects.front().b, 5);
    if (c.height == 960) {
      EXPECT_EQ(rects.back().r, 122);
      EXPECT_EQ(rects.back().b, 24);
    }
    float sx, sy;
    GetScale(sx, sy);
    EXPECT_FLOAT_EQ(GetRotation(), 0);
    EXPECT_FLOAT_EQ(sx, 1);
    EXPECT_FLOAT_EQ(GetAlpha(), 1);
  }
  // The game's colours: band 31 (brightness 57) of the horizontal backdrop.
  JScrw = 1280;
  JScrh = 960;
  GradR = AimGradR = 1.4f;
  GradG = AimGradG = 2;
  GradB = AimGradB = 3;
  headless::ClearDrawCalls();
  AddGradient2();
  auto rects = CallsOf(headless::DrawCalls(), DrawCall::Rect);
  ASSERT_GT(rects.size(), 31u);
  EXPECT_EQ(rects[31].r, 79);
  EXPECT_EQ(rects[31].g, 114);
  EXPECT_EQ(rects[31].b, 171);
  EXPECT_EQ(rects.back().b, 255);  // clamped
}

}  // namespace
