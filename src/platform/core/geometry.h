// The shapes of every draw call as coloured, textured triangles in
// virtual-screen coordinates: image and rectangle quads turned and scaled
// about their handle, oval fans, line quads through pixel centres and glyph
// quads. Both back ends draw from this one description, so the GL picture
// and the headless software picture come out the same.
// Platform-internal.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/core/image.h"

namespace geom {

struct Vertex {
  float x, y;  // virtual-screen coordinates
  float u, v;  // texture coordinates, 0..1
  uint32_t rgba;  // bytes in memory: R, G, B, A
};

// Vertices and triangle indices, appended to by the shape functions.
struct Mesh {
  std::vector<Vertex> vertices;
  std::vector<uint32_t> indices;
  void Clear() {
    vertices.clear();
    indices.clear();
  }
};

// Real pixel size of the back buffer and the virtual screen over it; lines
// and oval edges are shaped in real pixels.
struct Viewport {
  int width = 0, height = 0;
  float virtualWidth = 0, virtualHeight = 0;
  bool Valid() const { return width > 0 && height > 0 && virtualWidth > 0 && virtualHeight > 0; }
};

uint32_t PackColor(const DrawState& state);

// Frame-sized quad of an image (width x height drawn, handle scaled to it);
// `uv`, where given, the corners of the frame in its texture.
void ImageQuad(Mesh& mesh, const TImage& image, float x, float y, float width, float height,
               const DrawState& state, const float* uv = nullptr);
void RectQuad(Mesh& mesh, float x, float y, float width, float height, const DrawState& state);
// Segments an oval gets so that its edge stays smooth at its real size.
int OvalSegments(const Viewport& view, float width, float height, const DrawState& state);
void OvalFan(Mesh& mesh, const Viewport& view, float x, float y, float width, float height,
             const DrawState& state);
// False (and nothing added) for a zero-length line without its last pixel.
bool LineQuad(Mesh& mesh, const Viewport& view, float x1, float y1, float x2, float y2,
              bool lastPixel, const DrawState& state);
// The glyphs a text is drawn from: the font's own, or, where the text lands
// on the screen smaller than the font's size (the virtual screen shrunk to
// the display, a drawing scale below 1), the face rendered at the pixel
// size it lands at.
struct TextGlyphs {
  const Glyph* glyphs = nullptr;
  Pixmap atlas;
  uint32_t version = 0;
  // Where a back end keeps what it made of the atlas (its texture).
  std::unique_ptr<BackendData>* backendData = nullptr;
  bool sized = false;
  // A rendered size: the pixel size it was rendered at, and whether that is
  // the size the text lands at, unturned (drawn pixel for pixel) rather
  // than a near one drawn scaled.
  int pixelWidth = 0, pixelHeight = 0;
  bool exact = false;
};
TextGlyphs PickTextGlyphs(TImageFont& font, const Viewport& view, const DrawState& state);
// One quad per visible glyph; texture coordinates into the picked atlas.
// The font's own glyphs advance by the font's own advances. Glyphs of a
// rendered size are set with that size's own whole-pixel advances; the
// pixels they take more or less than TextWidth go into the blanks between
// words (a pixel each at most) and the rest to the end that the state's
// text anchor does not hold. Drawn at the size they land at and unturned,
// they keep their pixel size on the screen and start on whole pixels.
void TextQuads(Mesh& mesh, const TImageFont& font, const TextGlyphs& glyphs, const Viewport& view,
               const std::string& text, float x, float y, const DrawState& state);

}  // namespace geom
