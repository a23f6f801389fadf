#include "platform/headless/picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace headless_detail {
namespace {

// A long run without clears or reads paints in batches to keep memory bounded.
constexpr size_t kMaxPendingIndices = 1u << 20;

struct Texel {
  float r, g, b, a;  // 0..1
};

Texel Fetch(const TPixmap& pix, int x, int y) {
  x = std::clamp(x, 0, pix.width - 1);
  y = std::clamp(y, 0, pix.height - 1);
  const uint8_t* p = pix.At(x, y);
  return {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, p[3] / 255.0f};
}

// GL's GL_NEAREST and GL_LINEAR with clamp-to-edge.
Texel Sample(const TPixmap& pix, bool linear, float u, float v) {
  if (!linear) {
    return Fetch(pix, static_cast<int>(std::floor(u * pix.width)), static_cast<int>(std::floor(v * pix.height)));
  }
  const float fx = u * pix.width - 0.5f, fy = v * pix.height - 0.5f;
  const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
  const float ax = fx - x0, ay = fy - y0;
  const Texel t00 = Fetch(pix, x0, y0), t10 = Fetch(pix, x0 + 1, y0);
  const Texel t01 = Fetch(pix, x0, y0 + 1), t11 = Fetch(pix, x0 + 1, y0 + 1);
  auto mix = [&](float a, float b, float c, float d) {
    return (a * (1 - ax) + b * ax) * (1 - ay) + (c * (1 - ax) + d * ax) * ay;
  };
  return {mix(t00.r, t10.r, t01.r, t11.r), mix(t00.g, t10.g, t01.g, t11.g), mix(t00.b, t10.b, t01.b, t11.b),
          mix(t00.a, t10.a, t01.a, t11.a)};
}

uint8_t ToByte(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

// One fragment onto the pixel, as the GL renderer's blend states do.
void Blend(uint8_t* d, const Texel& s, int blend) {
  const float dr = d[0] / 255.0f, dg = d[1] / 255.0f, db = d[2] / 255.0f;
  switch (blend) {
    case ALPHABLEND:
      d[0] = ToByte(s.r * s.a + dr * (1 - s.a));
      d[1] = ToByte(s.g * s.a + dg * (1 - s.a));
      d[2] = ToByte(s.b * s.a + db * (1 - s.a));
      break;
    case LIGHTBLEND:
      d[0] = ToByte(s.r * s.a + dr);
      d[1] = ToByte(s.g * s.a + dg);
      d[2] = ToByte(s.b * s.a + db);
      break;
    case SHADEBLEND:
      d[0] = ToByte(s.r * dr);
      d[1] = ToByte(s.g * dg);
      d[2] = ToByte(s.b * db);
      break;
    case MASKBLEND:
      if (s.a < 0.5f) return;
      [[fallthrough]];
    default:
      d[0] = ToByte(s.r);
      d[1] = ToByte(s.g);
      d[2] = ToByte(s.b);
      break;
  }
}

// Edge function of (a, b) at p: positive on the inner side of a
// counter-clockwise triangle (in y-down screen space).
double Edge(double ax, double ay, double bx, double by, double px, double py) {
  return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

}  // namespace

void Picture::Open(int width, int height) {
  Close();
  open_ = width > 0 && height > 0;
  view_ = {width, height, static_cast<float>(width), static_cast<float>(height)};
  Clear(0, 0, 0);
}

void Picture::Close() {
  open_ = false;
  view_ = {};
  pixels_.clear();
  pixels_.shrink_to_fit();
  mesh_.Clear();
  ops_.clear();
  uniform_ = false;
}

void Picture::SetVirtualResolution(float width, float height) {
  if (!(width > 0) || !(height > 0)) return;
  // Shapes already drawn keep the resolution they were drawn at.
  PaintPending();
  view_.virtualWidth = width;
  view_.virtualHeight = height;
}

void Picture::Clear(int r, int g, int b) {
  mesh_.Clear();
  ops_.clear();
  uniform_ = true;
  uniformColour_[0] = static_cast<uint8_t>(std::clamp(r, 0, 255));
  uniformColour_[1] = static_cast<uint8_t>(std::clamp(g, 0, 255));
  uniformColour_[2] = static_cast<uint8_t>(std::clamp(b, 0, 255));
  uniformColour_[3] = 255;
}

void Picture::Begin() { opStart_ = static_cast<uint32_t>(mesh_.indices.size()); }

void Picture::End(Pixmap texture, bool linear, int blend) {
  const uint32_t count = static_cast<uint32_t>(mesh_.indices.size()) - opStart_;
  if (count == 0) return;
  if (!ops_.empty() && ops_.back().texture == texture && ops_.back().linear == linear &&
      ops_.back().blend == blend && ops_.back().firstIndex + ops_.back().indexCount == opStart_) {
    ops_.back().indexCount += count;
  } else {
    ops_.push_back({std::move(texture), linear, blend, opStart_, count});
  }
  if (mesh_.indices.size() >= kMaxPendingIndices) PaintPending();
}

void Picture::DrawImage(const TImage& image, int frame, float x, float y, float width, float height,
                        const DrawState& state) {
  if (!Ready() || frame < 0 || frame >= static_cast<int>(image.frames.size()) || !image.frames[frame]) return;
  const Pixmap& pix = image.frames[frame];
  if (pix->width <= 0 || pix->height <= 0) return;
  Begin();
  geom::ImageQuad(mesh_, image, x, y, width, height, state);
  End(pix, (image.flags & FILTEREDIMAGE) != 0, state.blend);
}

void Picture::DrawRect(float x, float y, float width, float height, const DrawState& state) {
  if (!Ready()) return;
  Begin();
  geom::RectQuad(mesh_, x, y, width, height, state);
  End(nullptr, false, state.blend);
}

void Picture::DrawOval(float x, float y, float width, float height, const DrawState& state) {
  if (!Ready()) return;
  Begin();
  geom::OvalFan(mesh_, view_, x, y, width, height, state);
  End(nullptr, false, state.blend);
}

void Picture::DrawLine(float x1, float y1, float x2, float y2, bool lastPixel, const DrawState& state) {
  if (!Ready()) return;
  Begin();
  geom::LineQuad(mesh_, view_, x1, y1, x2, y2, lastPixel, state);
  End(nullptr, false, state.blend);
}

void Picture::DrawText(TImageFont& font, const std::string& text, float x, float y,
                       const DrawState& state) {
  if (!Ready()) return;
  const geom::TextGlyphs glyphs = geom::PickTextGlyphs(font, view_, state);
  if (!glyphs.atlas || glyphs.atlas->width <= 0 || glyphs.atlas->height <= 0) return;
  Begin();
  geom::TextQuads(mesh_, font, glyphs, view_, text, x, y, state);
  End(glyphs.atlas, glyphs.sized || (font.style & SMOOTHFONT) != 0, state.blend);
}

void Picture::Materialise() {
  if (!uniform_) return;
  pixels_.resize(static_cast<size_t>(view_.width) * view_.height * 4);
  uint8_t* out = pixels_.data();
  for (size_t i = 0; i < pixels_.size(); i += 4) std::memcpy(out + i, uniformColour_, 4);
  uniform_ = false;
}

void Picture::PaintPending() {
  if (ops_.empty()) {
    mesh_.Clear();
    return;
  }
  Materialise();
  for (const Op& op : ops_) {
    const uint32_t end = op.firstIndex + op.indexCount;
    for (uint32_t i = op.firstIndex; i + 2 < end; i += 3) {
      Triangle(op, mesh_.vertices[mesh_.indices[i]], mesh_.vertices[mesh_.indices[i + 1]],
               mesh_.vertices[mesh_.indices[i + 2]]);
    }
  }
  mesh_.Clear();
  ops_.clear();
}

void Picture::Triangle(const Op& op, const geom::Vertex& a, const geom::Vertex& b, const geom::Vertex& c) {
  const double kx = view_.width / static_cast<double>(view_.virtualWidth);
  const double ky = view_.height / static_cast<double>(view_.virtualHeight);
  double x0 = a.x * kx, y0 = a.y * ky, x1 = b.x * kx, y1 = b.y * ky, x2 = c.x * kx, y2 = c.y * ky;
  double area = Edge(x0, y0, x1, y1, x2, y2);
  if (!(std::fabs(area) > 1e-12)) return;
  const geom::Vertex& v0 = a;
  const geom::Vertex* v1 = &b;
  const geom::Vertex* v2 = &c;
  if (area < 0) {  // counter-clockwise, so that the inside is positive
    std::swap(x1, x2);
    std::swap(y1, y2);
    std::swap(v1, v2);
    area = -area;
  }

  const int minX = std::max(0, static_cast<int>(std::floor(std::min({x0, x1, x2}))));
  const int maxX = std::min(view_.width - 1, static_cast<int>(std::ceil(std::max({x0, x1, x2}))));
  const int minY = std::max(0, static_cast<int>(std::floor(std::min({y0, y1, y2}))));
  const int maxY = std::min(view_.height - 1, static_cast<int>(std::ceil(std::max({y0, y1, y2}))));
  if (minX > maxX || minY > maxY) return;

  // Pixels whose centre lies exactly on an edge belong to one triangle only:
  // to the one on the edge's top or left side.
  auto owns = [](double ex, double ey) { return ey < 0 || (ey == 0 && ex > 0); };
  const bool own0 = owns(x2 - x1, y2 - y1), own1 = owns(x0 - x2, y0 - y2), own2 = owns(x1 - x0, y1 - y0);

  const uint32_t rgba = v0.rgba;
  const Texel colour = {(rgba & 0xFF) / 255.0f, ((rgba >> 8) & 0xFF) / 255.0f, ((rgba >> 16) & 0xFF) / 255.0f,
                        ((rgba >> 24) & 0xFF) / 255.0f};
  const TPixmap* tex = op.texture.get();
  for (int py = minY; py <= maxY; ++py) {
    const double cy = py + 0.5;
    uint8_t* row = &pixels_[static_cast<size_t>(py) * view_.width * 4];
    for (int px = minX; px <= maxX; ++px) {
      const double cx = px + 0.5;
      const double w0 = Edge(x1, y1, x2, y2, cx, cy);
      const double w1 = Edge(x2, y2, x0, y0, cx, cy);
      const double w2 = Edge(x0, y0, x1, y1, cx, cy);
      if (w0 < 0 || w1 < 0 || w2 < 0) continue;
      if ((w0 == 0 && !own0) || (w1 == 0 && !own1) || (w2 == 0 && !own2)) continue;
      Texel s = colour;
      if (tex) {
        const double b0 = w0 / area, b1 = w1 / area, b2 = w2 / area;
        const float u = static_cast<float>(b0 * v0.u + b1 * v1->u + b2 * v2->u);
        const float v = static_cast<float>(b0 * v0.v + b1 * v1->v + b2 * v2->v);
        const Texel t = Sample(*tex, op.linear, u, v);
        s = {t.r * colour.r, t.g * colour.g, t.b * colour.b, t.a * colour.a};
      }
      Blend(row + static_cast<size_t>(px) * 4, s, op.blend);
    }
  }
}

Pixmap Picture::Read(int x, int y, int width, int height) {
  if (!open_ || width <= 0 || height <= 0) return nullptr;
  PaintPending();
  Pixmap pixmap = CreatePixmap(width, height);
  if (!pixmap) return nullptr;
  for (int row = 0; row < height; ++row) {
    const int sy = y + row;
    if (sy < 0 || sy >= view_.height) continue;
    for (int col = 0; col < width; ++col) {
      const int sx = x + col;
      if (sx < 0 || sx >= view_.width) continue;
      const uint8_t* src = uniform_ ? uniformColour_ : &pixels_[(static_cast<size_t>(sy) * view_.width + sx) * 4];
      std::copy(src, src + 4, pixmap->At(col, row));
    }
  }
  return pixmap;
}

}  // namespace headless_detail
