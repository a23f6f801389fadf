// The title screen's texts as they come out of a real window: the Hiscore
// table's rows, the tab captions, the About tab's lines and the settings
// panel's captions, laid out by the title code at a small display (drawn on
// the headless back end and recorded), are drawn again in white on black by
// the SDL back end under X at that display's size over the virtual screen,
// read back from the window and held glyph by glyph against the same face
// set by FreeType at the pixel size the text has on the screen: each glyph
// as the face renders it, and where it stands, its blanks and letter gaps
// as the face's own advances make them. Skipped without an X display.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/frame/frame.h"
#include "engine/startup/startup.h"
#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "scores/scores.h"
#include "title/graph.h"
#include "title/options.h"
#include "title/title.h"
#include "title_fixture.h"

namespace {

struct Glyphs {
  FT_Library library = nullptr;
  std::map<std::string, FT_Face> faces;
  Glyphs() { FT_Init_FreeType(&library); }
  ~Glyphs() {
    for (auto& [path, face] : faces) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
  FT_Face Face(const std::string& path) {
    FT_Face& face = faces[path];
    if (!face && FT_New_Face(library, path.c_str(), 0, &face) != 0) face = nullptr;
    return face;
  }
};

// One text as the title code drew it.
struct Drawn {
  std::string text, path;
  int size = 0;
  float x = 0, y = 0, scaleX = 1, scaleY = 1, anchor = 0;
};

std::vector<Drawn> TextsOf(const std::vector<DrawCall>& calls) {
  std::vector<Drawn> out;
  for (const DrawCall& c : calls) {
    if (c.kind != DrawCall::Text || c.alpha <= 0 || c.rotation != 0 || c.font.empty()) continue;
    const size_t colon = c.font.rfind(':');
    Drawn d;
    d.text = c.text;
    d.path = c.font.substr(0, colon);
    if (!d.path.empty() && d.path[0] != '/') d.path = CommonDir + "/" + d.path;
    d.size = std::stoi(c.font.substr(colon + 1));
    d.x = c.x;
    d.y = c.y;
    d.scaleX = c.scaleX;
    d.scaleY = c.scaleY;
    d.anchor = c.anchor;
    out.push_back(d);
  }
  return out;
}

// A text as the face sets it at the text's pixel size, straight from
// FreeType: each glyph's coverage and where it stands, the pen moved by the
// face's own whole-pixel (hinted) advances.
struct FaceGlyph {
  size_t index = 0;
  int left = 0, top = 0, width = 0, rows = 0;
  int pen = 0;  // the pen after it
  std::vector<unsigned char> coverage;
};
std::vector<FaceGlyph> FaceLayout(FT_Face face, const std::string& text, int pw, int ph) {
  FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(pw), static_cast<FT_UInt>(ph));
  const int ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
  std::vector<FaceGlyph> out;
  int pen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char ch = static_cast<unsigned char>(text[i]);
    if (FT_Load_Char(face, ch, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) continue;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    FaceGlyph g;
    g.index = i;
    g.left = pen + slot->bitmap_left;
    g.top = ascent - slot->bitmap_top;
    g.width = static_cast<int>(bm.width);
    g.rows = static_cast<int>(bm.rows);
    for (int y = 0; y < g.rows; ++y)
      for (int x = 0; x < g.width; ++x) g.coverage.push_back(bm.buffer[y * bm.pitch + x]);
    pen += static_cast<int>((slot->advance.x + 32) >> 6);
    g.pen = pen;
    if (std::any_of(g.coverage.begin(), g.coverage.end(), [](unsigned char v) { return v != 0; }))
      out.push_back(std::move(g));
  }
  return out;
}

// How a text came out on the screen against the face's own layout.
struct Seen {
  // Per glyph, the coverage difference at the best of the places within two
  // pixels of where the face's layout puts it (the whole text placed where
  // it matches best), summed and taken as a share of the face's coverage.
  double mismatch = 1;
  // The most that a blank between words, or a gap between two letters,
  // differs from the face's own layout, in pixels.
  int worstGap = 99;
  std::string where;
};

double Diff(const TPixmap& screen, const FaceGlyph& g, int x0, int y0) {
  double diff = 0;
  for (int y = 0; y < g.rows; ++y)
    for (int x = 0; x < g.width; ++x) {
      const int sx = x0 + g.left + x, sy = y0 + g.top + y;
      const int seen = sx >= 0 && sy >= 0 && sx < screen.width && sy < screen.height ? screen.At(sx, sy)[0] : 0;
      diff += std::abs(seen - g.coverage[static_cast<size_t>(y) * g.width + x]);
    }
  return diff;
}

Seen Compare(const TPixmap& screen, const Drawn& d, Glyphs& glyphs, double px, double py) {
  Seen seen;
  FT_Face face = glyphs.Face(d.path);
  if (!face) {
    ADD_FAILURE() << "cannot load " << d.path;
    return seen;
  }
  const int pw = std::max(1, static_cast<int>(std::lround(d.size * d.scaleX * px)));
  const int ph = std::max(1, static_cast<int>(std::lround(d.size * d.scaleY * py)));
  const std::vector<FaceGlyph> layout = FaceLayout(face, d.text, pw, ph);
  if (layout.empty()) return Seen{0, 0, ""};
  // Where the text starts: where it was placed, moved by the share of the
  // pixels its face's advances take more or less than TextWidth that its
  // anchor puts before it (blanks take up to a pixel each of those).
  const Font base = LoadImageFont(d.path, d.size);
  if (!base) {
    ADD_FAILURE() << "cannot load " << d.path;
    return seen;
  }
  const Font keep = GetImageFont();
  SetImageFont(base);
  const double measured = TextWidth(d.text) * d.scaleX * px;
  SetImageFont(keep);
  const int blanks = static_cast<int>(std::count(d.text.begin(), d.text.end(), ' '));
  const double off = measured - layout.back().pen;
  const int x0 = static_cast<int>(std::lround(d.x * px + d.anchor * off));
  const int y0 = static_cast<int>(std::lround(d.y * py));
  // Where each glyph stands, found word by word: each word where it
  // matches best near the last word's place (the first near x0), then each
  // glyph within two pixels of its word's place. A glyph is held against the
  // screen with its neighbours painted beside it, since small glyphs blur
  // into each other and one alone may match a neighbour's place as well.
  const int reach = 2 + blanks;
  const FaceGlyph& end = layout.back();
  const int lineW = end.left + end.width + 2 * reach + 16, lineH = ph + 12, margin = reach + 8;
  std::vector<int> at(layout.size(), 0);
  int dyAt = 0;
  auto score = [&](size_t from, size_t to, int dy, int around) {
    // Paints the glyphs near [from, to) at their places, then sums the
    // difference to the screen over the stretch those glyphs take when
    // moved by `around` (the same stretch for every place tried).
    const int l = layout[from].left + around - 6, r = layout[to - 1].left + layout[to - 1].width + around + 6;
    std::vector<int> line(static_cast<size_t>(lineW) * lineH, 0);
    for (size_t j = 0; j < layout.size(); ++j) {
      const FaceGlyph& g = layout[j];
      if (g.left + at[j] + g.width < l - 8 || g.left + at[j] > r + 8) continue;
      for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < g.width; ++x) {
          const int lx = g.left + x + at[j] + margin, ly = g.top + y + 6;
          if (lx < 0 || ly < 0 || lx >= lineW || ly >= lineH) continue;
          int& v = line[static_cast<size_t>(ly) * lineW + lx];
          const int c = g.coverage[static_cast<size_t>(y) * g.width + x];
          v = v + c - v * c / 255;
        }
    }
    // Only the rows those glyphs cover: the lines above and below are near.
    int top = lineH, bottom = 0;
    for (size_t j = from; j < to; ++j) {
      top = std::min(top, layout[j].top + 6);
      bottom = std::max(bottom, layout[j].top + layout[j].rows + 6);
    }
    double diff = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, lineH); ++y)
      for (int x = l; x < r; ++x) {
        const int sx = x0 + x, sy = y0 + dy + y - 6, lx = x + margin;
        const int on = sx >= 0 && sy >= 0 && sx < screen.width && sy < screen.height ? screen.At(sx, sy)[0] : 0;
        diff += std::abs(on - (lx >= 0 && lx < lineW ? line[static_cast<size_t>(y) * lineW + lx] : 0));
      }
    return diff;
  };
  std::vector<std::pair<size_t, size_t>> words;
  for (size_t k = 0; k < layout.size(); ++k) {
    const bool gap = k > 0 && d.text.substr(layout[k - 1].index, layout[k].index - layout[k - 1].index).find(' ') !=
                                  std::string::npos;
    if (k == 0 || gap) words.emplace_back(k, k);
    words.back().second = k + 1;
  }
  int last = 0;
  for (size_t w = 0; w < words.size(); ++w) {
    const auto [from, to] = words[w];
    double best = -1;
    int shift = last;
    const int lo = w == 0 ? -reach : last - 2, hi = w == 0 ? reach : last + 2;
    for (int dy = w == 0 ? -2 : dyAt; dy <= (w == 0 ? 2 : dyAt); ++dy)
      for (int dx = lo; dx <= hi; ++dx) {
        for (size_t k = from; k < to; ++k) at[k] = dx;
        const double diff = score(from, to, dy, last);
        if (best < 0 || diff < best) {
          best = diff;
          shift = dx;
          if (w == 0) dyAt = dy;
        }
      }
    for (size_t k = from; k < to; ++k) at[k] = shift;
    for (size_t k = from; k < to; ++k) {
      double placeBest = -1;
      int place = shift;
      for (int dx : {0, -1, 1, -2, 2}) {
        at[k] = shift + dx;
        const double diff = score(k, k + 1, dyAt, shift);
        if (placeBest < 0 || diff < placeBest) {
          placeBest = diff;
          place = shift + dx;
        }
      }
      at[k] = place;
    }
    last = shift;
  }
  // Per glyph, the coverage difference at the best of the places within two
  // pixels of where it was found, as a share of the face's coverage.
  double wrong = 0, ink = 0;
  for (size_t k = 0; k < layout.size(); ++k) {
    double glyphBest = -1;
    for (int dx = -2; dx <= 2; ++dx)
      for (int dy = -2; dy <= 2; ++dy) {
        const double diff = Diff(screen, layout[k], x0 + at[k] + dx, y0 + dyAt + dy);
        if (glyphBest < 0 || diff < glyphBest) glyphBest = diff;
      }
    wrong += glyphBest;
    for (unsigned char v : layout[k].coverage) ink += v;
  }
  seen.mismatch = ink > 0 ? wrong / ink : 0;
  seen.worstGap = 0;
  for (size_t k = 1; k < layout.size(); ++k) {
    const int off = std::abs(at[k] - at[k - 1]);
    if (off > seen.worstGap) {
      seen.worstGap = off;
      seen.where = d.text.substr(layout[k - 1].index, layout[k].index - layout[k - 1].index + 1);
    }
  }
  return seen;
}

using title_test::Entry;

class RealTextTest : public ::testing::TestWithParam<std::pair<int, int>> {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no X display (run under xvfb-run)";
    const auto [w, h] = GetParam();
    here_ = title_test::TitleAtSize(w, h, {{w, h, 32, 60}});
    ASSERT_EQ(MyScrw, w);
  }
  void TearDown() override { title_test::LeaveTitle(here_); }

  // The texts drawn again on the real back end, each one as it came out.
  std::vector<std::pair<std::string, Seen>> OnTheScreen(const std::vector<Drawn>& texts) {
    std::unique_ptr<Backend> real = CreateRealBackend();
    EXPECT_TRUE(real) << RealBackendProblem();
    if (!real) return {};
    const auto [w, h] = GetParam();
    EXPECT_TRUE(real->OpenDisplay(w, h, 0, 60, "text test"));
    real->SetVirtualResolution(static_cast<float>(JScrw), static_cast<float>(JScrh));
    real->Clear(0, 0, 0);
    DrawState white;
    white.blend = ALPHABLEND;
    std::map<std::string, Font> fonts;
    for (const Drawn& d : texts) {
      Font& font = fonts[d.path + ":" + std::to_string(d.size)];
      if (!font) font = LoadImageFont(d.path, d.size);
      if (!font) continue;
      DrawState s = white;
      s.scaleX = d.scaleX;
      s.scaleY = d.scaleY;
      s.textAnchor = d.anchor;
      real->DrawText(*font, d.text, d.x, d.y, s);
    }
    const Pixmap screen = real->ReadPixels(0, 0, w, h);
    real->CloseDisplay();
    fonts.clear();  // their textures went with the display
    EXPECT_TRUE(screen);
    if (!screen) return {};
    Glyphs glyphs;
    std::vector<std::pair<std::string, Seen>> out;
    const double px = static_cast<double>(w) / JScrw, py = static_cast<double>(h) / JScrh;
    for (const Drawn& d : texts) out.emplace_back(d.text, Compare(*screen, d, glyphs, px, py));
    return out;
  }

  std::string here_;
};

// Crisp text at its pixel size differs from the face's own glyphs by the
// rounding of its blending and, at the smallest sizes, the neighbours'
// pixels within reach of the search (at most a quarter at 512x384, under a
// tenth at 800x600); glyphs shrunk from the font's own size differ by 0.35
// to 0.65.
constexpr double kMostMismatch = 0.3;

TEST_P(RealTextTest, TableTabsAndPanelMatchTheFaceAtTheirPixelSize) {
  // A full table of wide letters and twelve-digit scores, the first name as
  // long as a name gets and squeezed into its place, the others of two words.
  const char* const names[] = {"Zebra Crossing", "Mint Leaf", "Harbour Light"};
  for (int k = 0; k < 25; ++k)
    Highscores.AddLast(Entry(k == 0 ? "WmWmWmWmWmWmWmWmWmWmWmWm" : names[k % 3], 987654321098 - k * 1111111,
                             1700000000 - k));
  TitleTab = 0;
  SlideIn = 0;
  for (int k = 0; k < 34; ++k) TitlePass();
  std::vector<Drawn> title = TextsOf(headless::LastFrame());
  TitleTab = 2;
  for (int k = 0; k < 34; ++k) TitlePass();
  std::vector<Drawn> about;
  for (const Drawn& d : TextsOf(headless::LastFrame()))
    for (int n = 1; n < credits && n < 100; ++n)
      if (!d.text.empty() && d.text == Credit[n]) {
        about.push_back(d);
        break;
      }

  StickCount = 0;
  AuxDrivers = {"FreeMix", "FreeMix System", "Null"};
  OptionScreen = 1;
  for (int k = 0; k < 12; ++k) Option();
  headless::ClearDrawCalls();
  Option();
  const std::vector<Drawn> panel = TextsOf(headless::DrawCalls());

  struct Group {
    const char* what;
    std::vector<Drawn> texts;
  };
  std::vector<Group> groups = {{"table row", {}}, {"tab caption", {}}, {"panel caption", {}}, {"About line", about}};
  for (const Drawn& d : title) {
    if (d.text == "1.Hiscore" || d.text == "2.Online" || d.text == "3.About") groups[1].texts.push_back(d);
    else if (d.text.size() == 12 && d.text.find_first_not_of("0123456789") == std::string::npos)
      groups[0].texts.push_back(d);
    else if (d.text == "WmWmWmWmWmWmWmWmWmWmWmWm" || d.text == names[0] || d.text == names[1] || d.text == names[2])
      groups[0].texts.push_back(d);
  }
  groups[2].texts = panel;
  EXPECT_EQ(groups[0].texts.size(), 50u) << "25 names and 25 scores";
  EXPECT_EQ(groups[1].texts.size(), 3u);
  EXPECT_GT(groups[2].texts.size(), 10u);
  EXPECT_GT(groups[3].texts.size(), 20u);
  for (const Group& g : groups) {
    SCOPED_TRACE(g.what);
    for (const auto& [text, seen] : OnTheScreen(g.texts)) {
      EXPECT_LT(seen.mismatch, kMostMismatch) << "\"" << text << "\"";
      // Word blanks and letter gaps as the face sets them at that size.
      EXPECT_LE(seen.worstGap, 1) << "\"" << text << "\" at \"" << seen.where << "\"";
    }
  }
}

std::string SizeName(const ::testing::TestParamInfo<std::pair<int, int>>& info) {
  return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
}

INSTANTIATE_TEST_SUITE_P(SmallDisplays, RealTextTest,
                         ::testing::Values(std::make_pair(800, 600), std::make_pair(512, 384)), SizeName);

}  // namespace
