#include "platform/core/geometry.h"

#include <algorithm>
#include <cmath>

namespace geom {
namespace {

constexpr float kPi = 3.14159265358979323846f;
const float kFullUv[8] = {0, 0, 1, 0, 1, 1, 0, 1};

void Rotation(const DrawState& state, float& c, float& s) {
  if (state.rotation == 0.0f) {
    c = 1.0f;
    s = 0.0f;
    return;
  }
  const double rad = static_cast<double>(state.rotation) * 3.14159265358979323846 / 180.0;
  c = static_cast<float>(std::cos(rad));
  s = static_cast<float>(std::sin(rad));
}

// A quad of local corners (relative to the handle), scaled, turned and
// placed at (ox, oy). y grows downward, so a positive angle turns clockwise.
void PushQuad(Mesh& mesh, const float local[8], const float uv[8], float ox, float oy, uint32_t rgba,
              float c, float s, float sx, float sy) {
  const uint32_t base = static_cast<uint32_t>(mesh.vertices.size());
  for (int i = 0; i < 4; ++i) {
    const float lx = local[i * 2] * sx;
    const float ly = local[i * 2 + 1] * sy;
    mesh.vertices.push_back({ox + lx * c - ly * s, oy + lx * s + ly * c, uv[i * 2], uv[i * 2 + 1], rgba});
  }
  const uint32_t idx[6] = {base, base + 1, base + 2, base, base + 2, base + 3};
  mesh.indices.insert(mesh.indices.end(), idx, idx + 6);
}

}  // namespace

uint32_t PackColor(const DrawState& state) {
  auto clampByte = [](int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
  const float a = std::clamp(state.alpha, 0.0f, 1.0f);
  const uint32_t alpha = static_cast<uint32_t>(std::lround(a * 255.0f));
  return clampByte(state.r) | (clampByte(state.g) << 8) | (clampByte(state.b) << 16) | (alpha << 24);
}

void ImageQuad(Mesh& mesh, const TImage& image, float x, float y, float width, float height,
               const DrawState& state, const float* uv) {
  const float hx = image.width > 0 ? image.handleX * width / image.width : 0.0f;
  const float hy = image.height > 0 ? image.handleY * height / image.height : 0.0f;
  const float local[8] = {-hx, -hy, width - hx, -hy, width - hx, height - hy, -hx, height - hy};
  float c, s;
  Rotation(state, c, s);
  PushQuad(mesh, local, uv ? uv : kFullUv, x, y, PackColor(state), c, s, state.scaleX, state.scaleY);
}

void RectQuad(Mesh& mesh, float x, float y, float width, float height, const DrawState& state) {
  const float local[8] = {0, 0, width, 0, width, height, 0, height};
  float c, s;
  Rotation(state, c, s);
  PushQuad(mesh, local, kFullUv, x, y, PackColor(state), c, s, state.scaleX, state.scaleY);
}

int OvalSegments(const Viewport& view, float width, float height, const DrawState& state) {
  if (!view.Valid()) return 12;
  const float realRadius = std::max(std::fabs(width * 0.5f * state.scaleX) * view.width / view.virtualWidth,
                                    std::fabs(height * 0.5f * state.scaleY) * view.height / view.virtualHeight);
  if (!(realRadius < 1e6f)) return 256;
  return std::clamp(static_cast<int>(realRadius * 0.75f) + 12, 12, 256);
}

void OvalFan(Mesh& mesh, const Viewport& view, float x, float y, float width, float height,
             const DrawState& state) {
  float c, s;
  Rotation(state, c, s);
  const float rx = width * 0.5f, ry = height * 0.5f;
  const int segments = OvalSegments(view, width, height, state);
  const uint32_t rgba = PackColor(state);
  const uint32_t base = static_cast<uint32_t>(mesh.vertices.size());
  auto place = [&](float lx, float ly) {
    lx *= state.scaleX;
    ly *= state.scaleY;
    mesh.vertices.push_back({x + lx * c - ly * s, y + lx * s + ly * c, 0.5f, 0.5f, rgba});
  };
  place(rx, ry);
  for (int i = 0; i < segments; ++i) {
    const float t = 2.0f * kPi * i / segments;
    place(rx + std::cos(t) * rx, ry + std::sin(t) * ry);
  }
  for (int i = 0; i < segments; ++i) {
    mesh.indices.push_back(base);
    mesh.indices.push_back(base + 1 + i);
    mesh.indices.push_back(base + 1 + (i + 1) % segments);
  }
}

bool LineQuad(Mesh& mesh, const Viewport& view, float x1, float y1, float x2, float y2, bool lastPixel,
              const DrawState& state) {
  if (!view.Valid()) return false;
  float c, s;
  Rotation(state, c, s);
  // The far end turns and scales about the first point.
  const float dx = (x2 - x1) * state.scaleX, dy = (y2 - y1) * state.scaleY;
  const float ex = x1 + dx * c - dy * s, ey = y1 + dx * s + dy * c;
  // Work in real pixels: the width is in pixels and the line runs through
  // pixel centres.
  const float kx = view.virtualWidth / view.width, ky = view.virtualHeight / view.height;
  const float ax = x1 / kx + 0.5f, ay = y1 / ky + 0.5f;
  const float bx = ex / kx + 0.5f, by = ey / ky + 0.5f;
  const float half = std::max(state.lineWidth, 1.0f) * 0.5f;
  float ux = bx - ax, uy = by - ay;
  const float length = std::sqrt(ux * ux + uy * uy);
  float px[4], py[4];
  if (length < 1e-4f) {
    if (!lastPixel) return false;
    px[0] = ax - half; py[0] = ay - half;
    px[1] = ax + half; py[1] = ay - half;
    px[2] = ax + half; py[2] = ay + half;
    px[3] = ax - half; py[3] = ay + half;
  } else {
    ux /= length;
    uy /= length;
    const float nx = -uy * half, ny = ux * half;
    const float startExt = 0.5f, endExt = lastPixel ? 0.5f : -0.25f;
    const float sx = ax - ux * startExt, sy = ay - uy * startExt;
    const float fx = bx + ux * endExt, fy = by + uy * endExt;
    px[0] = sx + nx; py[0] = sy + ny;
    px[1] = fx + nx; py[1] = fy + ny;
    px[2] = fx - nx; py[2] = fy - ny;
    px[3] = sx - nx; py[3] = sy - ny;
  }
  float local[8];
  for (int i = 0; i < 4; ++i) {
    local[i * 2] = px[i] * kx;
    local[i * 2 + 1] = py[i] * ky;
  }
  PushQuad(mesh, local, kFullUv, 0.0f, 0.0f, PackColor(state), 1.0f, 0.0f, 1.0f, 1.0f);
  return true;
}

TextGlyphs PickTextGlyphs(TImageFont& font, const Viewport& view, const DrawState& state) {
  TextGlyphs own;
  own.glyphs = font.glyphs;
  own.atlas = font.atlas;
  own.version = font.version;
  own.backendData = &font.backendData;
  if (!font.face || font.size <= 0 || !view.Valid()) return own;
  const double kx = std::fabs(static_cast<double>(state.scaleX)) * view.width / view.virtualWidth;
  const double ky = std::fabs(static_cast<double>(state.scaleY)) * view.height / view.virtualHeight;
  if (!(kx > 0 && ky > 0 && kx < 1e3 && ky < 1e3)) return own;
  const long width = std::lround(font.size * kx), height = std::lround(font.size * ky);
  // Drawn at its size or larger: the font's own glyphs, filtered up.
  if (width >= font.size && height >= font.size) return own;
  GlyphSet* set = SizedGlyphs(font, static_cast<int>(std::max(width, 1L)), static_cast<int>(std::max(height, 1L)));
  if (!set) return own;
  TextGlyphs sized;
  sized.glyphs = set->glyphs;
  sized.atlas = set->atlas;
  sized.version = set->version;
  sized.backendData = &set->backendData;
  sized.sized = true;
  return sized;
}

void TextQuads(Mesh& mesh, const TImageFont& font, const TextGlyphs& glyphs, const Viewport& view,
               const std::string& text, float x, float y, const DrawState& state) {
  if (text.empty() || !glyphs.glyphs || !glyphs.atlas || glyphs.atlas->width <= 0 || glyphs.atlas->height <= 0)
    return;
  float c, s;
  Rotation(state, c, s);
  const uint32_t rgba = PackColor(state);
  const float iw = 1.0f / glyphs.atlas->width, ih = 1.0f / glyphs.atlas->height;
  if (!glyphs.sized || !view.Valid()) {
    float pen = 0.0f;
    for (unsigned char ch : text) {
      const Glyph& g = glyphs.glyphs[ch];
      if (g.width > 0 && g.height > 0) {
        const float l = pen + g.offsetX, t = static_cast<float>(g.offsetY);
        const float r = l + g.width, b = t + g.height;
        const float local[8] = {l, t, r, t, r, b, l, b};
        const float u0 = g.x * iw, v0 = g.y * ih, u1 = (g.x + g.width) * iw, v1 = (g.y + g.height) * ih;
        const float uv[8] = {u0, v0, u1, v0, u1, v1, u0, v1};
        PushQuad(mesh, local, uv, x, y, rgba, c, s, state.scaleX, state.scaleY);
      }
      pen += glyphs.glyphs[ch].advance;
    }
    return;
  }
  // Display pixels per virtual unit, and per unit of the font's own size.
  const double px = view.width / static_cast<double>(view.virtualWidth);
  const double py = view.height / static_cast<double>(view.virtualHeight);
  const double ax = std::fabs(static_cast<double>(state.scaleX)) * px;
  const double ay = std::fabs(static_cast<double>(state.scaleY)) * py;
  // Unturned and unmirrored, each glyph starts on a whole display pixel, so
  // that its pixels land on the screen's one for one.
  const bool upright = state.rotation == 0.0f && state.scaleX > 0.0f && state.scaleY > 0.0f;
  const double top = std::round(y * py);
  // The glyphs keep the spacing of their own size, stretched evenly so
  // that the text ends where the font's own advances end it; display pixels
  // per pixel of the rendered size's advances.
  long ownWidth = 0, sizedWidth = 0;
  for (unsigned char ch : text) {
    ownWidth += font.glyphs[ch].advance;
    sizedWidth += glyphs.glyphs[ch].advance;
  }
  const double stretch = sizedWidth > 0 ? ownWidth * ax / sizedWidth : 0.0;
  double pen = 0.0;  // display pixels from the start
  for (unsigned char ch : text) {
    const Glyph& g = glyphs.glyphs[ch];
    if (g.width > 0 && g.height > 0) {
      const float u0 = g.x * iw, v0 = g.y * ih, u1 = (g.x + g.width) * iw, v1 = (g.y + g.height) * ih;
      const float uv[8] = {u0, v0, u1, v0, u1, v1, u0, v1};
      if (upright) {
        const double left = std::round(x * px + pen) + g.offsetX;
        const float l = static_cast<float>(left / px), r = static_cast<float>((left + g.width) / px);
        const float t = static_cast<float>((top + g.offsetY) / py);
        const float b = static_cast<float>((top + g.offsetY + g.height) / py);
        const float corners[8] = {l, t, r, t, r, b, l, b};
        PushQuad(mesh, corners, uv, 0.0f, 0.0f, rgba, 1.0f, 0.0f, 1.0f, 1.0f);
      } else {
        const float l = static_cast<float>((pen + g.offsetX) / ax), t = static_cast<float>(g.offsetY / ay);
        const float r = static_cast<float>((pen + g.offsetX + g.width) / ax);
        const float b = static_cast<float>((g.offsetY + g.height) / ay);
        const float local[8] = {l, t, r, t, r, b, l, b};
        PushQuad(mesh, local, uv, x, y, rgba, c, s, state.scaleX, state.scaleY);
      }
    }
    pen += glyphs.glyphs[ch].advance * stretch;
  }
}

}  // namespace geom
