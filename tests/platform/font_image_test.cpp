// Image fonts: metrics, the glyph atlas, selection and the built-in font.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/image.h"
#include "platform/platform.h"

namespace {

const char* const kFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

class FontImage : public ::testing::Test {
 protected:
  void TearDown() override { SetImageFont(nullptr); }
};

int SumOfAdvances(const TImageFont& font, const std::string& text) {
  int sum = 0;
  for (unsigned char c : text) sum += font.glyphs[c].advance;
  return sum;
}

TEST_F(FontImage, MeasuresFollowTheCurrentFont) {
  const Font small = LoadImageFont(kFace, 16);
  const Font large = LoadImageFont(kFace, 48);
  ASSERT_TRUE(small);
  ASSERT_TRUE(large);
  EXPECT_EQ(small->source, kFace);
  EXPECT_EQ(small->size, 16);
  EXPECT_EQ(small->style, SMOOTHFONT);

  const std::string text = "Pibbo Zorravel: 12,345 pts \xE9t\xE9";  // Latin-1 accents
  SetImageFont(small);
  EXPECT_EQ(GetImageFont(), small);
  EXPECT_EQ(&CurrentFont(), small.get());
  const int smallWidth = TextWidth(text);
  EXPECT_EQ(smallWidth, SumOfAdvances(*small, text));
  EXPECT_EQ(TextWidth(""), 0);
  EXPECT_EQ(TextHeight(""), small->height);
  EXPECT_EQ(TextHeight(text), small->height);
  EXPECT_GE(small->height, 16);
  EXPECT_LT(small->height, 32);

  SetImageFont(large);
  EXPECT_EQ(TextWidth(text), SumOfAdvances(*large, text));
  EXPECT_GT(TextWidth(text), 2 * smallWidth);
  EXPECT_GT(TextHeight(text), 2 * small->height);
}

TEST_F(FontImage, LatinOneGlyphsAndControlCodes) {
  const Font font = LoadImageFont(kFace, 20);
  ASSERT_TRUE(font);
  EXPECT_GT(font->glyphs[' '].advance, 0);
  EXPECT_EQ(font->glyphs[' '].width, 0);  // space: advance only
  for (int c : {int{'A'}, int{'g'}, int{'~'}, 0xE9, 0xFF, 0xC6}) {
    SCOPED_TRACE(c);
    EXPECT_GT(font->glyphs[c].advance, 0);
    EXPECT_GT(font->glyphs[c].width, 0);
  }
  for (int c : {0, 10, 31, 0x85}) EXPECT_EQ(font->glyphs[c].advance, 0) << c;
  // 'g' descends below 'A', whose top is near the ascent line.
  EXPECT_GT(font->glyphs['g'].offsetY + font->glyphs['g'].height,
            font->glyphs['A'].offsetY + font->glyphs['A'].height);
  EXPECT_GE(font->glyphs['A'].offsetY, 0);
  EXPECT_LE(font->glyphs['A'].offsetY + font->glyphs['A'].height, font->height);
}

// Every glyph cell lies inside the atlas, no two cells overlap, the atlas is
// white, and each drawn glyph has some coverage in its cell.
void CheckAtlas(const TImageFont& font, bool smooth) {
  ASSERT_TRUE(font.atlas);
  const TPixmap& atlas = *font.atlas;
  std::vector<int> owner(static_cast<size_t>(atlas.width) * atlas.height, -1);
  std::set<int> alphaLevels;
  for (int c = 0; c < 256; ++c) {
    const Glyph& g = font.glyphs[c];
    if (g.width == 0 || g.height == 0) continue;
    ASSERT_GE(g.x, 0);
    ASSERT_GE(g.y, 0);
    ASSERT_LE(g.x + g.width, atlas.width) << c;
    ASSERT_LE(g.y + g.height, atlas.height) << c;
    int covered = 0;
    for (int y = g.y; y < g.y + g.height; ++y)
      for (int x = g.x; x < g.x + g.width; ++x) {
        int& o = owner[static_cast<size_t>(y) * atlas.width + x];
        ASSERT_EQ(o, -1) << "glyphs " << o << " and " << c << " overlap";
        o = c;
        const uint8_t* px = atlas.At(x, y);
        if (px[3]) ++covered;
        alphaLevels.insert(px[3]);
      }
    EXPECT_GT(covered, 0) << c;
  }
  for (size_t i = 0; i < atlas.pixels.size(); i += 4) {
    ASSERT_EQ(atlas.pixels[i], 255);
    ASSERT_EQ(atlas.pixels[i + 1], 255);
    ASSERT_EQ(atlas.pixels[i + 2], 255);
  }
  if (smooth)
    EXPECT_GT(alphaLevels.size(), 10u);  // anti-aliased edges
  else
    EXPECT_EQ(alphaLevels, (std::set<int>{0, 255}));
}

TEST_F(FontImage, AtlasIsPackedWhiteWithCoverageInAlpha) {
  for (int style : {SMOOTHFONT, 0, BOLDFONT | SMOOTHFONT, ITALICFONT, BOLDFONT | ITALICFONT | SMOOTHFONT}) {
    SCOPED_TRACE(style);
    const Font font = LoadImageFont(kFace, 24, style);
    ASSERT_TRUE(font);
    CheckAtlas(*font, (style & SMOOTHFONT) != 0);
  }
  // Large sizes, as the biggest title fonts use, still fit.
  const Font big = LoadImageFont(kFace, 144);
  ASSERT_TRUE(big);
  CheckAtlas(*big, true);
}

TEST_F(FontImage, BoldIsWiderThanRegular) {
  const Font regular = LoadImageFont(kFace, 24);
  const Font bold = LoadImageFont(kFace, 24, BOLDFONT | SMOOTHFONT);
  ASSERT_TRUE(regular && bold);
  const std::string text = "Hello world";
  EXPECT_GT(SumOfAdvances(*bold, text), SumOfAdvances(*regular, text));
}

TEST_F(FontImage, UnreadableFontsGiveEmptyHandle) {
  EXPECT_FALSE(LoadImageFont("/nonexistent/folder/Font.ttf", 16));
  EXPECT_FALSE(LoadImageFont("", 16));
  EXPECT_FALSE(LoadImageFont(PIBBO_SOURCE_DIR "/CMakeLists.txt", 16));  // not a font
  EXPECT_FALSE(LoadImageFont(kFace, 0));
  EXPECT_FALSE(LoadImageFont(kFace, -5));
  EXPECT_FALSE(LoadImageFont(kFace, 100000));
  // A FIFO nobody writes to, in a font's place, is refused at once rather
  // than waited on; a folder too.
  const std::string dir = ::testing::TempDir() + "/font_fifo_" + std::to_string(::getpid());
  ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  const std::string fifo = dir + "/Face.ttf";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(LoadImageFont(fifo, 16));
  EXPECT_FALSE(LoadImageFont(dir, 16));
  ::unlink(fifo.c_str());
  ::rmdir(dir.c_str());
}

TEST_F(FontImage, BuiltInFontWorksWithoutAnyFile) {
  SetImageFont(nullptr);
  EXPECT_FALSE(GetImageFont());
  TImageFont& builtIn = DefaultFont();
  EXPECT_EQ(&CurrentFont(), &builtIn);
  EXPECT_EQ(&DefaultFont(), &builtIn);  // rendered once
  EXPECT_EQ(builtIn.source, "");
  EXPECT_EQ(builtIn.size, 14);
  EXPECT_GE(builtIn.height, 14);
  EXPECT_LT(builtIn.height, 24);
  EXPECT_EQ(TextHeight("x"), builtIn.height);
  EXPECT_GT(TextWidth("Score"), 0);
  EXPECT_EQ(TextWidth("Score"), SumOfAdvances(builtIn, "Score"));
  CheckAtlas(builtIn, true);

  // Selecting a loaded font and then none returns to the built-in one.
  const Font loaded = LoadImageFont(kFace, 30);
  SetImageFont(loaded);
  EXPECT_NE(TextWidth("Score"), SumOfAdvances(builtIn, "Score"));
  SetImageFont(nullptr);
  EXPECT_EQ(TextWidth("Score"), SumOfAdvances(builtIn, "Score"));
}

TEST_F(FontImage, OtherSizesComeFromTheFaceAndAreKeptWhileInUse) {
  const Font font = LoadImageFont(kFace, 40);
  const Font twenty = LoadImageFont(kFace, 20);
  ASSERT_TRUE(font && twenty);
  GlyphSet* set = SizedGlyphs(*font, 20, 20);
  ASSERT_TRUE(set);
  // The same glyphs as the face loaded at 20 pixels.
  for (int c : {int{'A'}, int{'g'}, int{'W'}, int{' '}, 0xE9}) {
    SCOPED_TRACE(c);
    EXPECT_EQ(set->glyphs[c].width, twenty->glyphs[c].width);
    EXPECT_EQ(set->glyphs[c].height, twenty->glyphs[c].height);
    EXPECT_EQ(set->glyphs[c].offsetX, twenty->glyphs[c].offsetX);
    EXPECT_EQ(set->glyphs[c].offsetY, twenty->glyphs[c].offsetY);
    EXPECT_EQ(set->glyphs[c].advance, twenty->glyphs[c].advance);
  }
  TImageFont copy;
  std::copy(std::begin(set->glyphs), std::end(set->glyphs), std::begin(copy.glyphs));
  copy.atlas = set->atlas;
  CheckAtlas(copy, true);
  const uint32_t version = set->version;
  EXPECT_EQ(SizedGlyphs(*font, 20, 20), set) << "made once";
  EXPECT_EQ(set->version, version);

  // Squeezed: narrower glyphs of the same height.
  GlyphSet* squeezed = SizedGlyphs(*font, 10, 20);
  ASSERT_TRUE(squeezed);
  EXPECT_LT(squeezed->glyphs['W'].width, set->glyphs['W'].width * 3 / 4);
  EXPECT_NEAR(squeezed->glyphs['W'].height, set->glyphs['W'].height, 1);

  // Many sizes in turn: the one in use all along stays as it was, the
  // others are rendered again, each at its own size, when they come back.
  const uint32_t squeezedVersion = squeezed->version;
  const int squeezedW = squeezed->glyphs['W'].width;
  for (int size = 2; size < 20; ++size) {
    ASSERT_TRUE(SizedGlyphs(*font, 20, 20));
    GlyphSet* other = SizedGlyphs(*font, size, size);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->pixelHeight, size);
  }
  EXPECT_EQ(SizedGlyphs(*font, 20, 20), set);
  EXPECT_EQ(set->version, version);
  GlyphSet* again = SizedGlyphs(*font, 10, 20);
  ASSERT_TRUE(again);
  EXPECT_TRUE(again != squeezed || again->version != squeezedVersion) << "rendered again";
  EXPECT_EQ(again->glyphs['W'].width, squeezedW);
  EXPECT_EQ(again->pixelWidth, 10);

  // Fonts made by hand have no face to render.
  TImageFont handMade;
  handMade.size = 20;
  EXPECT_FALSE(SizedGlyphs(handMade, 10, 10));
  EXPECT_FALSE(SizedGlyphs(*font, 0, 10));
}

// Renderings of the face so far: every set's version counts its renderings.
int Renderings(const TImageFont& font) {
  int n = 0;
  for (const auto& set : font.sized) n += static_cast<int>(set->version) - 1;
  return n;
}

TEST_F(FontImage, SizesDrawnAreRenderedAtMostOnceAFrameAndNewOnesOnlyNowAndThen) {
  const Font font = LoadImageFont(kFace, 40);
  ASSERT_TRUE(font);
  // One frame that needs twelve sizes (names squeezed to twelve widths):
  // the first eight are rendered, the others drawn from the nearest kept
  // one, and asking again in the same frame renders nothing.
  for (int round = 0; round < 2; ++round)
    for (int w = 10; w < 22; ++w) {
      SCOPED_TRACE(w);
      GlyphSet* set = GlyphsToDraw(*font, w, 20);
      ASSERT_TRUE(set);
      EXPECT_EQ(set->pixelHeight, 20);
      if (w < 18) EXPECT_EQ(set->pixelWidth, w);
      else EXPECT_EQ(set->pixelWidth, 17) << "the nearest kept";
    }
  EXPECT_EQ(Renderings(*font), 8);

  // A size that changes every frame: no more than one new rendering every
  // few frames (a quarter of a second), the rest drawn from kept sizes.
  for (int frame = 0; frame < 120; ++frame) {
    FontFrameDone();
    ASSERT_TRUE(GlyphsToDraw(*font, 20, 21 + frame % 19));
  }
  EXPECT_LE(Renderings(*font), 8 + 120 / 15 + 1);
  EXPECT_GE(Renderings(*font), 8 + 120 / 15 - 1);

  // Still text gets its own size again once it has stood a while.
  for (int frame = 0; frame < 15; ++frame) FontFrameDone();
  EXPECT_EQ(GlyphsToDraw(*font, 33, 33)->pixelWidth, 33);
  EXPECT_FALSE(GlyphsToDraw(*font, 0, 10));
}

}  // namespace
