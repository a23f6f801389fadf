// Image fonts: a TrueType face rendered at one pixel size into a single
// atlas of white glyphs with their coverage in alpha. Characters are
// Latin-1 bytes; 32..255 are rendered, the control codes stay empty. The
// face stays open, so that a text that lands on the screen smaller than the
// font's size can be drawn from the face rendered at the size it lands at
// (SizedGlyphs) rather than from shrunk glyphs.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "platform/core/image.h"
#include "platform/platform.h"

// The built-in font's TrueType data, generated into the build tree.
extern const unsigned char kDefaultFontData[];
extern const std::size_t kDefaultFontDataSize;

struct FontFace {
  FT_Face face = nullptr;
  // A face opened from a file is opened on the file's bytes, read once:
  // FreeType reads from them as long as the face is open.
  std::vector<unsigned char> bytes;
  FontFace() = default;
  explicit FontFace(FT_Face f) : face(f) {}
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;
  ~FontFace() {
    if (face) FT_Done_Face(face);
  }
};

namespace {

constexpr int kDefaultFontSize = 14;
// Larger sizes would need atlases of hundreds of megabytes.
constexpr int kMaxFontSize = 512;
// Empty pixels around every glyph in the atlas, so that filtered drawing
// never picks up a neighbour.
constexpr int kPadding = 1;
// Other sizes kept per font: enough for every scale a screen draws one font
// at, few enough that a text whose scale changes every frame cannot fill
// the memory.
constexpr size_t kMaxSizedSets = 8;
// No face file is this large; a file that is is not a font.
constexpr size_t kMostFontBytes = 64u << 20;

Font g_current;
std::shared_ptr<TImageFont> g_default;

FT_Library Library() {
  static FT_Library library = nullptr;
  static bool tried = false;
  if (!tried) {
    tried = true;
    if (FT_Init_FreeType(&library) != 0) library = nullptr;
  }
  return library;
}

int Ceil26_6(FT_Pos v) { return static_cast<int>((v + 63) >> 6); }
int Round26_6(FT_Pos v) { return static_cast<int>((v + 32) >> 6); }

int NextPowerOfTwo(int v) {
  int p = 1;
  while (p < v) p <<= 1;
  return p;
}

struct RenderedGlyph {
  int width = 0, height = 0, left = 0, top = 0, advance = 0;
  std::vector<uint8_t> coverage;  // width * height
};

// Copies a rendered FreeType bitmap as 0..255 coverage.
void CopyCoverage(const FT_Bitmap& bitmap, RenderedGlyph& glyph) {
  glyph.width = static_cast<int>(bitmap.width);
  glyph.height = static_cast<int>(bitmap.rows);
  glyph.coverage.assign(static_cast<size_t>(glyph.width) * glyph.height, 0);
  for (int y = 0; y < glyph.height; ++y) {
    const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
    uint8_t* out = &glyph.coverage[static_cast<size_t>(y) * glyph.width];
    for (int x = 0; x < glyph.width; ++x) {
      switch (bitmap.pixel_mode) {
        case FT_PIXEL_MODE_MONO:
          out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
          break;
        case FT_PIXEL_MODE_GRAY:
          out[x] = bitmap.num_grays == 256 || bitmap.num_grays < 2
                       ? row[x]
                       : static_cast<uint8_t>(row[x] * 255 / (bitmap.num_grays - 1));
          break;
        default:
          out[x] = 0;
          break;
      }
    }
  }
}

// What one rendering of a face at one size gives.
struct Rendering {
  int ascent = 0, height = 0;
  Glyph glyphs[256];
  Pixmap atlas;
};

// Renders characters 32..255 of `face` at `width` x `height` pixels.
bool RenderGlyphs(FT_Face face, int width, int height, int style, Rendering& out) {
  FT_Select_Charmap(face, FT_ENCODING_UNICODE);  // Latin-1 codes are Unicode code points
  if (FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(width), static_cast<FT_UInt>(height)) != 0) return false;

  const bool smooth = (style & SMOOTHFONT) != 0;
  const FT_Size_Metrics& metrics = face->size->metrics;
  out.ascent = Ceil26_6(metrics.ascender);
  out.height = Round26_6(metrics.height);
  if (out.height <= 0) out.height = Ceil26_6(metrics.ascender - metrics.descender);
  if (out.height <= 0) out.height = height;

  std::vector<RenderedGlyph> rendered(256);
  const FT_Int32 loadFlags = smooth ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO;
  const FT_Render_Mode renderMode = smooth ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO;
  for (int c = 32; c < 256; ++c) {
    const FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(c));
    if (index == 0) continue;  // not in the face: no glyph, no advance
    if (FT_Load_Glyph(face, index, loadFlags) != 0) continue;
    FT_GlyphSlot slot = face->glyph;
    if (style & BOLDFONT) FT_GlyphSlot_Embolden(slot);
    if (style & ITALICFONT) FT_GlyphSlot_Oblique(slot);
    if (FT_Render_Glyph(slot, renderMode) != 0) continue;
    RenderedGlyph& g = rendered[c];
    CopyCoverage(slot->bitmap, g);
    // Blank glyphs (spaces) take no room in the atlas.
    if (std::all_of(g.coverage.begin(), g.coverage.end(), [](uint8_t v) { return v == 0; })) {
      g.width = g.height = 0;
      g.coverage.clear();
    }
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.advance = Round26_6(slot->advance.x);
  }

  // Shelf packing, in character order, into a power-of-two atlas.
  long long area = 0;
  int widest = 1;
  for (const RenderedGlyph& g : rendered) {
    if (g.width <= 0 || g.height <= 0) continue;
    area += static_cast<long long>(g.width + 2 * kPadding) * (g.height + 2 * kPadding);
    widest = std::max(widest, g.width + 2 * kPadding);
  }
  const int atlasWidth =
      NextPowerOfTwo(std::max(widest, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(area))))));
  int penX = 0, penY = 0, shelf = 0;
  for (int c = 0; c < 256; ++c) {
    const RenderedGlyph& g = rendered[c];
    Glyph& glyph = out.glyphs[c];
    glyph = Glyph{};
    glyph.advance = g.advance;
    glyph.offsetX = g.left;
    glyph.offsetY = out.ascent - g.top;
    if (g.width <= 0 || g.height <= 0) {
      glyph.offsetX = glyph.offsetY = 0;
      continue;
    }
    const int cellW = g.width + 2 * kPadding, cellH = g.height + 2 * kPadding;
    if (penX + cellW > atlasWidth) {
      penX = 0;
      penY += shelf;
      shelf = 0;
    }
    glyph.x = penX + kPadding;
    glyph.y = penY + kPadding;
    glyph.width = g.width;
    glyph.height = g.height;
    penX += cellW;
    shelf = std::max(shelf, cellH);
  }
  const int atlasHeight = NextPowerOfTwo(std::max(1, penY + shelf));

  out.atlas = CreatePixmap(atlasWidth, atlasHeight);
  if (!out.atlas) return false;
  // White everywhere, so that filtering at glyph edges blends toward white
  // rather than black; the coverage goes in alpha.
  for (size_t i = 0; i < out.atlas->pixels.size(); i += 4) {
    out.atlas->pixels[i] = out.atlas->pixels[i + 1] = out.atlas->pixels[i + 2] = 255;
  }
  for (int c = 0; c < 256; ++c) {
    const RenderedGlyph& g = rendered[c];
    const Glyph& glyph = out.glyphs[c];
    for (int y = 0; y < g.height; ++y)
      for (int x = 0; x < g.width; ++x)
        out.atlas->At(glyph.x + x, glyph.y + y)[3] = g.coverage[static_cast<size_t>(y) * g.width + x];
  }
  return true;
}

// Fonts of one file share its open face; memory faces keep their bytes.
std::map<std::string, std::weak_ptr<FontFace>> g_faces;

std::shared_ptr<TImageFont> RenderFromFace(const std::shared_ptr<FontFace>& face, int size, int style,
                                           const std::string& source) {
  Rendering r;
  if (!face || !RenderGlyphs(face->face, size, size, style, r)) return nullptr;
  auto font = std::make_shared<TImageFont>();
  font->source = source;
  font->size = size;
  font->style = style;
  font->ascent = r.ascent;
  font->height = r.height;
  std::copy(std::begin(r.glyphs), std::end(r.glyphs), std::begin(font->glyphs));
  font->atlas = std::move(r.atlas);
  font->face = face;
  return font;
}

}  // namespace

Font LoadImageFont(const std::string& path, int size, int style) {
  if (size < 1 || size > kMaxFontSize || path.empty()) return nullptr;
  FT_Library library = Library();
  if (!library) return nullptr;
  std::shared_ptr<FontFace> face = g_faces[path].lock();
  if (!face) {
    // Read whole from a regular file only: a FIFO or a device in its place
    // is refused at once, never waited on.
    face = std::make_shared<FontFace>();
    FILE* file = OpenRegularFile(path);
    bool read = file != nullptr;
    if (file) {
      unsigned char chunk[65536];
      size_t got = 0;
      while (read && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        face->bytes.insert(face->bytes.end(), chunk, chunk + got);
        read = face->bytes.size() <= kMostFontBytes;
      }
      read = read && !std::ferror(file);
      std::fclose(file);
    }
    if (!read || face->bytes.empty() ||
        FT_New_Memory_Face(library, face->bytes.data(), static_cast<FT_Long>(face->bytes.size()), 0, &face->face) != 0) {
      face->face = nullptr;
      g_faces.erase(path);
      return nullptr;
    }
    g_faces[path] = face;
  }
  return RenderFromFace(face, size, style, path);
}

TImageFont& DefaultFont() {
  if (!g_default) {
    FT_Library library = Library();
    FT_Face face = nullptr;
    if (library && FT_New_Memory_Face(library, kDefaultFontData,
                                      static_cast<FT_Long>(kDefaultFontDataSize), 0, &face) == 0)
      g_default = RenderFromFace(std::make_shared<FontFace>(face), kDefaultFontSize, SMOOTHFONT, "");
    if (!g_default) {
      // Without FreeType the built-in font still measures sensibly; it just
      // draws nothing.
      g_default = std::make_shared<TImageFont>();
      g_default->size = g_default->height = g_default->ascent = kDefaultFontSize;
      g_default->style = SMOOTHFONT;
      g_default->atlas = CreatePixmap(1, 1);
    }
  }
  return *g_default;
}

namespace {

// Frames ended so far (FontFrameDone), for the size keeping.
uint64_t g_frame = 1;
uint64_t g_useClock = 0;
// A font renders up to this many new sizes at once, then one more every
// kFramesPerRendering frames (a quarter of a second at 60 Hz).
constexpr int kMostRenderings = static_cast<int>(kMaxSizedSets);
constexpr uint64_t kFramesPerRendering = 15;

bool ValidSize(const TImageFont& font, int pixelWidth, int pixelHeight) {
  return font.face && pixelWidth >= 1 && pixelHeight >= 1 && pixelWidth <= kMaxFontSize &&
         pixelHeight <= kMaxFontSize;
}

void MarkUse(GlyphSet& set) {
  set.lastUse = ++g_useClock;
  set.lastFrame = g_frame;
}

GlyphSet* Kept(TImageFont& font, int pixelWidth, int pixelHeight) {
  for (const auto& set : font.sized)
    if (set->pixelWidth == pixelWidth && set->pixelHeight == pixelHeight) {
      MarkUse(*set);
      return set.get();
    }
  return nullptr;
}

bool Failed(const TImageFont& font, int pixelWidth, int pixelHeight) {
  return std::find(font.failedSizes.begin(), font.failedSizes.end(), std::make_pair(pixelWidth, pixelHeight)) !=
         font.failedSizes.end();
}

// The slot a new size goes into: a free one, or the least recently used
// one not drawn in this frame (`any`: or one drawn in it). Null when every
// slot is in use this frame.
GlyphSet* FreeSlot(TImageFont& font, bool any) {
  if (font.sized.size() < kMaxSizedSets) {
    font.sized.push_back(std::make_unique<GlyphSet>());
    return font.sized.back().get();
  }
  GlyphSet* oldest = nullptr;
  for (const auto& set : font.sized)
    if ((any || set->lastFrame != g_frame) && (!oldest || set->lastUse < oldest->lastUse)) oldest = set.get();
  return oldest;
}

GlyphSet* Render(TImageFont& font, GlyphSet& set, int pixelWidth, int pixelHeight) {
  // A set taken over gets a new version: a back end still holding the old
  // size's texture sees it has to make a new one.
  ++set.version;
  set.pixelWidth = pixelWidth;
  set.pixelHeight = pixelHeight;
  MarkUse(set);
  Rendering r;
  if (!RenderGlyphs(font.face->face, pixelWidth, pixelHeight, font.style, r)) {
    // Given up with its texture, and remembered so that it is not tried
    // again every frame.
    if (font.failedSizes.size() >= 64) font.failedSizes.clear();
    font.failedSizes.emplace_back(pixelWidth, pixelHeight);
    font.sized.erase(std::find_if(font.sized.begin(), font.sized.end(),
                                  [&set](const std::unique_ptr<GlyphSet>& s) { return s.get() == &set; }));
    return nullptr;
  }
  set.ascent = r.ascent;
  std::copy(std::begin(r.glyphs), std::end(r.glyphs), std::begin(set.glyphs));
  set.atlas = std::move(r.atlas);
  return &set;
}

// Tops up the font's allowance of new sizes; true when one may be rendered.
bool MayRender(TImageFont& font) {
  if (font.renderings < 0) {
    font.renderings = kMostRenderings;
    font.renderingsFrame = g_frame;
  }
  const uint64_t due = (g_frame - font.renderingsFrame) / kFramesPerRendering;
  if (due > 0) {
    font.renderings = static_cast<int>(std::min<uint64_t>(kMostRenderings, font.renderings + due));
    font.renderingsFrame += due * kFramesPerRendering;
  }
  return font.renderings > 0;
}

}  // namespace

void FontFrameDone() { ++g_frame; }

GlyphSet* SizedGlyphs(TImageFont& font, int pixelWidth, int pixelHeight) {
  if (!ValidSize(font, pixelWidth, pixelHeight)) return nullptr;
  if (GlyphSet* set = Kept(font, pixelWidth, pixelHeight)) return set;
  if (Failed(font, pixelWidth, pixelHeight)) return nullptr;
  return Render(font, *FreeSlot(font, true), pixelWidth, pixelHeight);
}

GlyphSet* GlyphsToDraw(TImageFont& font, int pixelWidth, int pixelHeight) {
  if (!ValidSize(font, pixelWidth, pixelHeight)) return nullptr;
  if (GlyphSet* set = Kept(font, pixelWidth, pixelHeight)) return set;
  if (!Failed(font, pixelWidth, pixelHeight) && MayRender(font))
    if (GlyphSet* slot = FreeSlot(font, false)) {
      --font.renderings;
      if (GlyphSet* set = Render(font, *slot, pixelWidth, pixelHeight)) return set;
    }
  // The kept size nearest in proportion to the one asked for.
  GlyphSet* nearest = nullptr;
  double best = 0;
  for (const auto& set : font.sized) {
    const double off = std::fabs(std::log(static_cast<double>(set->pixelWidth) / pixelWidth)) +
                       std::fabs(std::log(static_cast<double>(set->pixelHeight) / pixelHeight));
    if (!nearest || off < best) {
      nearest = set.get();
      best = off;
    }
  }
  if (nearest) MarkUse(*nearest);
  return nearest;
}

TImageFont& CurrentFont() { return g_current ? *g_current : DefaultFont(); }

void SetImageFont(const Font& font) { g_current = font; }

Font GetImageFont() { return g_current; }

int TextWidth(const std::string& text) {
  const TImageFont& font = CurrentFont();
  int width = 0;
  for (unsigned char c : text) width += font.glyphs[c].advance;
  return width;
}

int TextHeight(const std::string& /*text*/) { return CurrentFont().height; }
