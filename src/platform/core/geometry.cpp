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

namespace {

// Turned or mirrored text is never drawn pixel for pixel, so it is drawn from
// the face at a size of a ladder of steps of a fourth of an octave, scaled
// down a little: a text whose size changes every frame then needs a new
// size only now and then. The smallest step at or above `pixels`.
int Step(int size, int pixels) {
  if (pixels >= size) return pixels;
  int step = size;
  for (int k = 1;; ++k) {
    const int next = static_cast<int>(std::lround(size * std::exp2(-k / 4.0)));
    if (next < pixels || next >= step) return step;
    step = next;
  }
}

std::vector<int>& PenScratch() {
  thread_local std::vector<int> pens;
  return pens;
}

std::vector<int>& OpenScratch() {
  thread_local std::vector<int> open;
  return open;
}

bool Upright(const DrawState& state) { return state.rotation == 0.0f && state.scaleX > 0.0f && state.scaleY > 0.0f; }

// Where each glyph of a text stands (pens[i], in pixels of the size it is
// drawn from): the rendered size's own whole-pixel advances, as the face's
// hinting sets them. A blank between words whose neighbours' ink leaves
// less than two pixels open takes a pixel more; where the advances add up
// to more or less than `target` (the font's own advances at that size),
// the difference goes into the other blanks between words, a pixel at most
// each and none closed below two open pixels; the rest is left at the end.
// Answers the width set.
int SetLine(const std::string& text, const Glyph* glyphs, double target, std::vector<int>& pens) {
  const size_t n = text.size();
  pens.resize(n + 1);
  auto at = [&](size_t i) -> const Glyph& { return glyphs[static_cast<unsigned char>(text[i])]; };
  auto blank = [&](size_t i) {
    const unsigned char ch = static_cast<unsigned char>(text[i]);
    return (ch == ' ' || ch == 0xA0) && glyphs[ch].width == 0 && glyphs[ch].advance > 0;
  };
  long sum = 0;
  for (size_t i = 0; i < n; ++i) {
    pens[i] = static_cast<int>(sum);
    sum += at(i).advance;
  }
  pens[n] = static_cast<int>(sum);
  // The open pixels at each run of blanks between two inked glyphs, taken
  // at its first blank: -1 elsewhere.
  std::vector<int>& open = OpenScratch();
  open.assign(n, -1);
  size_t prev = n;  // the last inked glyph seen
  for (size_t i = 0; i < n; ++i) {
    if (at(i).width <= 0) continue;
    if (prev != n && i > prev + 1 && blank(prev + 1)) {
      const int right = pens[prev] + at(prev).offsetX + at(prev).width;
      open[prev + 1] = pens[i] + at(i).offsetX - right;
    }
    prev = i;
  }
  long wanted = std::lround(target) - sum;
  for (size_t i = 0; i < n; ++i)
    if (open[i] >= 0 && open[i] < 2) --wanted;  // opened whatever the measure says
  long movable = 0;
  for (size_t i = 0; i < n; ++i)
    if (open[i] >= 2 && (wanted > 0 || (open[i] > 2 && at(i).advance > 1))) ++movable;
  // Which blanks move, spread evenly over the ones that may.
  const long share = std::min<long>(std::labs(wanted), movable);
  const int step = wanted < 0 ? -1 : 1;
  long seen = 0;
  int pen = 0;
  for (size_t i = 0; i < n; ++i) {
    pens[i] = pen;
    pen += at(i).advance;
    if (open[i] < 0) continue;
    if (open[i] < 2) {
      pen += 1;
    } else if (wanted > 0 || (open[i] > 2 && at(i).advance > 1)) {
      if ((seen + 1) * share / movable > seen * share / movable) pen += step;
      ++seen;
    }
  }
  return pen;
}

}  // namespace

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
  const int width = static_cast<int>(std::max(std::lround(font.size * kx), 1L));
  const int height = static_cast<int>(std::max(std::lround(font.size * ky), 1L));
  // Drawn at its size or larger: the font's own glyphs, filtered up.
  if (width >= font.size && height >= font.size) return own;
  const bool upright = Upright(state);
  const int w = upright ? width : Step(font.size, width), h = upright ? height : Step(font.size, height);
  if (w >= font.size && h >= font.size) return own;
  GlyphSet* set = GlyphsToDraw(font, w, h);
  if (!set) return own;
  TextGlyphs sized;
  sized.glyphs = set->glyphs;
  sized.atlas = set->atlas;
  sized.version = set->version;
  sized.backendData = &set->backendData;
  sized.sized = true;
  sized.pixelWidth = set->pixelWidth;
  sized.pixelHeight = set->pixelHeight;
  sized.exact = upright && set->pixelWidth == width && set->pixelHeight == height;
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
  auto uvOf = [&](const Glyph& g, float uv[8]) {
    const float u0 = g.x * iw, v0 = g.y * ih, u1 = (g.x + g.width) * iw, v1 = (g.y + g.height) * ih;
    const float all[8] = {u0, v0, u1, v0, u1, v1, u0, v1};
    std::copy(all, all + 8, uv);
  };
  const bool sized = glyphs.sized && view.Valid() && glyphs.pixelWidth > 0 && glyphs.pixelHeight > 0;
  if (!sized) {
    float pen = 0.0f;
    for (unsigned char ch : text) {
      const Glyph& g = glyphs.glyphs[ch];
      if (g.width > 0 && g.height > 0) {
        const float l = pen + g.offsetX, t = static_cast<float>(g.offsetY);
        const float r = l + g.width, b = t + g.height;
        const float local[8] = {l, t, r, t, r, b, l, b};
        float uv[8];
        uvOf(g, uv);
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
  if (!(ax > 0 && ay > 0)) return;
  // Display pixels per pixel of the size drawn from: one where the text is
  // drawn at the size it lands at, otherwise that size scaled to it.
  const double fx = glyphs.exact ? 1.0 : font.size * ax / glyphs.pixelWidth;
  const double fy = glyphs.exact ? 1.0 : font.size * ay / glyphs.pixelHeight;
  long ownWidth = 0;
  for (unsigned char ch : text) ownWidth += font.glyphs[ch].advance;
  const double target = ownWidth * ax / fx;  // TextWidth, in pixels of the size drawn from
  std::vector<int>& pens = PenScratch();
  const int set = SetLine(text, glyphs.glyphs, target, pens);
  const double shift = state.textAnchor * (target - set);
  if (glyphs.exact) {
    // Unturned and unmirrored at its own size: each glyph starts on a whole
    // display pixel, so that its pixels land on the screen's one for one.
    const double left0 = std::round(x * px + shift), top = std::round(y * py);
    for (size_t i = 0; i < text.size(); ++i) {
      const Glyph& g = glyphs.glyphs[static_cast<unsigned char>(text[i])];
      if (g.width <= 0 || g.height <= 0) continue;
      const double left = left0 + pens[i] + g.offsetX;
      const float l = static_cast<float>(left / px), r = static_cast<float>((left + g.width) / px);
      const float t = static_cast<float>((top + g.offsetY) / py);
      const float b = static_cast<float>((top + g.offsetY + g.height) / py);
      const float corners[8] = {l, t, r, t, r, b, l, b};
      float uv[8];
      uvOf(g, uv);
      PushQuad(mesh, corners, uv, 0.0f, 0.0f, rgba, 1.0f, 0.0f, 1.0f, 1.0f);
    }
    return;
  }
  // Font units (before the drawing scale) per pixel of the size drawn from.
  const double ux = fx / ax, uy = fy / ay;
  for (size_t i = 0; i < text.size(); ++i) {
    const Glyph& g = glyphs.glyphs[static_cast<unsigned char>(text[i])];
    if (g.width <= 0 || g.height <= 0) continue;
    const float l = static_cast<float>((shift + pens[i] + g.offsetX) * ux);
    const float r = static_cast<float>((shift + pens[i] + g.offsetX + g.width) * ux);
    const float t = static_cast<float>(g.offsetY * uy), b = static_cast<float>((g.offsetY + g.height) * uy);
    const float local[8] = {l, t, r, t, r, b, l, b};
    float uv[8];
    uvOf(g, uv);
    PushQuad(mesh, local, uv, x, y, rgba, c, s, state.scaleX, state.scaleY);
  }
}

}  // namespace geom
