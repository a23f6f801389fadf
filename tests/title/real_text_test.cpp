// The title screen's texts as they come out of a real window: the Hiscore
// table's rows, the tab captions and the settings panel's captions, laid out
// by the title code at a small display (drawn on the headless back end and
// recorded), are drawn again in white on black by the SDL back end under X
// at that display's size over the virtual screen, read back from the
// window and held glyph by glyph against the same face rendered by
// FreeType at the pixel size the text has on the screen. Skipped without an
// X display.
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
  float x = 0, y = 0, scaleX = 1, scaleY = 1;
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
    out.push_back(d);
  }
  return out;
}

// How far a text's glyphs on the screen are from the face's own glyphs at
// the text's pixel size: per glyph, the coverage difference at the best of
// the places within two pixels of where the layout puts it, summed over the
// text and taken as a share of the reference's coverage.
double Mismatch(const TPixmap& screen, const Drawn& d, Glyphs& glyphs, double px, double py) {
  const Font base = LoadImageFont(d.path, d.size);
  FT_Face face = glyphs.Face(d.path);
  if (!base || !face) {
    ADD_FAILURE() << "cannot load " << d.path;
    return 1;
  }
  const double kx = d.scaleX * px, ky = d.scaleY * py;
  const int pw = std::max(1, static_cast<int>(std::lround(d.size * kx)));
  const int ph = std::max(1, static_cast<int>(std::lround(d.size * ky)));
  FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(pw), static_cast<FT_UInt>(ph));
  const int ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
  const Font keep = GetImageFont();
  SetImageFont(base);
  double wrong = 0, ink = 0;
  for (size_t i = 0; i < d.text.size(); ++i) {
    const unsigned char ch = static_cast<unsigned char>(d.text[i]);
    if (FT_Load_Char(face, ch, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) continue;
    const FT_Bitmap& bm = face->glyph->bitmap;
    if (bm.width == 0 || bm.rows == 0) continue;
    const double pen = TextWidth(d.text.substr(0, i)) * kx;
    const int left = static_cast<int>(std::lround(d.x * px + pen)) + face->glyph->bitmap_left;
    const int top = static_cast<int>(std::lround(d.y * py)) + ascent - face->glyph->bitmap_top;
    double glyphInk = 0;
    for (unsigned y = 0; y < bm.rows; ++y)
      for (unsigned x = 0; x < bm.width; ++x) glyphInk += bm.buffer[y * bm.pitch + x];
    double best = -1;
    for (int dy = -2; dy <= 2; ++dy)
      for (int dx = -2; dx <= 2; ++dx) {
        double diff = 0;
        for (unsigned y = 0; y < bm.rows; ++y)
          for (unsigned x = 0; x < bm.width; ++x) {
            const int sx = left + dx + static_cast<int>(x), sy = top + dy + static_cast<int>(y);
            const int seen = sx >= 0 && sy >= 0 && sx < screen.width && sy < screen.height ? screen.At(sx, sy)[0] : 0;
            diff += std::abs(seen - bm.buffer[y * bm.pitch + x]);
          }
        if (best < 0 || diff < best) best = diff;
      }
    wrong += best;
    ink += glyphInk;
  }
  SetImageFont(keep);
  return ink > 0 ? wrong / ink : 0;
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

  // The texts drawn again on the real back end, each one's mismatch.
  std::vector<std::pair<std::string, double>> OnTheScreen(const std::vector<Drawn>& texts) {
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
      real->DrawText(*font, d.text, d.x, d.y, s);
    }
    const Pixmap screen = real->ReadPixels(0, 0, w, h);
    real->CloseDisplay();
    fonts.clear();  // their textures went with the display
    EXPECT_TRUE(screen);
    if (!screen) return {};
    Glyphs glyphs;
    std::vector<std::pair<std::string, double>> out;
    const double px = static_cast<double>(w) / JScrw, py = static_cast<double>(h) / JScrh;
    for (const Drawn& d : texts) out.emplace_back(d.text, Mismatch(*screen, d, glyphs, px, py));
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
  // long as a name gets and squeezed into its place.
  for (int k = 0; k < 25; ++k)
    Highscores.AddLast(Entry(k == 0 ? "WmWmWmWmWmWmWmWmWmWmWmWm" : k % 2 ? "Zebra Crossing" : "Mint Leaf",
                             987654321098 - k * 1111111, 1700000000 - k));
  TitleTab = 0;
  SlideIn = 0;
  for (int k = 0; k < 34; ++k) TitlePass();
  std::vector<Drawn> title = TextsOf(headless::LastFrame());

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
  std::vector<Group> groups = {{"table row", {}}, {"tab caption", {}}, {"panel caption", {}}};
  for (const Drawn& d : title) {
    if (d.text == "1.Hiscore" || d.text == "2.Online" || d.text == "3.About") groups[1].texts.push_back(d);
    else if (d.text.size() == 12 && d.text.find_first_not_of("0123456789") == std::string::npos)
      groups[0].texts.push_back(d);
    else if (d.text == "WmWmWmWmWmWmWmWmWmWmWmWm" || d.text == "Zebra Crossing" || d.text == "Mint Leaf")
      groups[0].texts.push_back(d);
  }
  groups[2].texts = panel;
  EXPECT_EQ(groups[0].texts.size(), 50u) << "25 names and 25 scores";
  EXPECT_EQ(groups[1].texts.size(), 3u);
  EXPECT_GT(groups[2].texts.size(), 10u);
  for (const Group& g : groups) {
    SCOPED_TRACE(g.what);
    for (const auto& [text, mismatch] : OnTheScreen(g.texts))
      EXPECT_LT(mismatch, kMostMismatch) << "\"" << text << "\"";
  }
}

std::string SizeName(const ::testing::TestParamInfo<std::pair<int, int>>& info) {
  return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
}

INSTANTIATE_TEST_SUITE_P(SmallDisplays, RealTextTest,
                         ::testing::Values(std::make_pair(800, 600), std::make_pair(512, 384)), SizeName);

}  // namespace
