// Platform-internal: what an image and an image font hold. The front end
// (image.cpp, font.cpp) fills them; back ends read them and may attach their
// own texture data through `backendData`.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
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
};

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
