// Platform-internal: what an image and an image font hold. The front end
// (image.cpp, font.cpp) fills them; back ends read them and may attach their
// own texture data through `backendData`.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

// Per-back-end data attached to an image or font (the real back end keeps
// its textures here). Dropped and rebuilt when the display is reopened.
struct BackendData {
  virtual ~BackendData() = default;
};

struct TImage {
  int width = 0, height = 0;  // one cell
  int flags = 0;              // MASKEDIMAGE | FILTEREDIMAGE | DYNAMICIMAGE
  float handleX = 0, handleY = 0;
  std::vector<Pixmap> frames;  // masking already applied
  // Bumped whenever a frame's pixels change (GrabImage), so a back end knows
  // to upload the texture again.
  uint32_t version = 1;
  std::string source;  // file name, for recording and messages
  std::unique_ptr<BackendData> backendData;
};

struct Glyph {
  int x = 0, y = 0, width = 0, height = 0;  // cell in the atlas
  int offsetX = 0, offsetY = 0;             // from the pen (top of the line) to the cell
  int advance = 0;
};

// The face rendered at another pixel size than the font's own: the glyphs
// a text gets when it lands on the screen smaller than the font's size
// (SizedGlyphs). Offsets and advances are in the pixels of that size.
struct GlyphSet {
  int pixelWidth = 0, pixelHeight = 0;  // the size the face was rendered at
  int ascent = 0;
  Glyph glyphs[256];
  Pixmap atlas;  // white glyphs, coverage in alpha; replaced, never changed in place
  // Bumped whenever the set is rendered at another size.
  uint32_t version = 1;
  uint64_t lastUse = 0;
  uint64_t lastFrame = 0;  // the frame (FontFrameDone count) it was last drawn in
  std::unique_ptr<BackendData> backendData;
};

// The TrueType face a font was rendered from, kept open to render it again
// at other sizes (defined in font.cpp).
struct FontFace;

struct TImageFont {
  std::string source;  // file name, or "" for the built-in font
  int size = 0;
  int style = 0;
  int height = 0;        // line height (TextHeight)
  int ascent = 0;
  Glyph glyphs[256];     // Latin-1
  Pixmap atlas;          // white glyphs, coverage in alpha
  uint32_t version = 1;
  std::unique_ptr<BackendData> backendData;
  // Empty for fonts made by hand: those are only ever drawn from `atlas`.
  std::shared_ptr<FontFace> face;
  // The face at the other sizes drawn lately, the least recently used one
  // rendered again when a new size is asked for and all are taken.
  std::vector<std::unique_ptr<GlyphSet>> sized;
  // Sizes the face could not be rendered at: not tried again.
  std::vector<std::pair<int, int>> failedSizes;
  // New sizes this font may still render before it has to wait (one more
  // every few frames), and the frame the count was last topped up at.
  int renderings = -1;  // -1: not counted yet (a full allowance)
  uint64_t renderingsFrame = 0;
};

// The font's face rendered at `pixelWidth` x `pixelHeight` pixels (a text
// squeezed or stretched gets glyphs of its own proportions), made on first
// use and kept among the font's recent sizes. Null for a font without a
// face, or when the face cannot be rendered at that size (that size is then
// not kept, and not tried again).
GlyphSet* SizedGlyphs(TImageFont& font, int pixelWidth, int pixelHeight);
// What a text drawn at `pixelWidth` x `pixelHeight` pixels is drawn from:
// the face at that size when it is kept or may be rendered now, otherwise
// the kept size nearest to it (to be drawn scaled). A font renders a few
// new sizes at once and then one every few frames, so that a text whose
// size changes every frame does not render the face every frame; and a
// size drawn in this frame is never given up for another in the same
// frame, so that a frame needing more sizes than are kept renders none of
// them twice. Null when nothing is kept and nothing may be rendered.
GlyphSet* GlyphsToDraw(TImageFont& font, int pixelWidth, int pixelHeight);
// Ends a frame for the size keeping above (the front end calls it at Flip).
void FontFrameDone();

// The built-in font (handle "empty" selects it).
TImageFont& DefaultFont();
// The font in use for drawing and measuring.
TImageFont& CurrentFont();

// Decodes a PNG file to RGBA; *hadAlpha (when given) tells whether the file
// carried transparency (an alpha channel or a tRNS chunk). Empty on failure.
Pixmap DecodePNGFile(const std::string& path, bool* hadAlpha);
// Makes every black pixel (0, 0, 0) fully transparent: the mask of images
// whose source has no alpha channel.
void ApplyMask(TPixmap& pixmap);
// Builds an image from a picture cut into cells (as LoadAnimImage does).
// `hadAlpha` false applies the mask when `flags` asks for it; the picture is
// copied. Empty for cell sizes or counts below 1.
Image ImageFromCells(const Pixmap& picture, bool hadAlpha, int cellWidth, int cellHeight,
                     int firstCell, int cellCount, int flags, const std::string& source);
