// Canvas, signed-distance shapes, PNG encoding and file output.
#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "assetgen.h"

namespace assetgen {

// ---------------------------------------------------------------- files

bool WriteIfChanged(const std::string& path, const Bytes& data) {
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    Bytes old;
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) old.insert(old.end(), buf, buf + n);
    std::fclose(f);
    if (old == data) return true;
  }
  std::string tmp = path + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

bool MakeDirs(const std::string& path) {
  std::string part;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (!part.empty() && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    if (i < path.size()) part += path[i];
  }
  return true;
}

// ---------------------------------------------------------------- colour

Col Rgb(int r, int g, int b, float a) { return {r / 255.0f, g / 255.0f, b / 255.0f, a}; }

Col Mix(Col a, Col b, float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
          a.a + (b.a - a.a) * t};
}

Col Scale(Col c, float k) {
  return {std::clamp(c.r * k, 0.0f, 1.0f), std::clamp(c.g * k, 0.0f, 1.0f),
          std::clamp(c.b * k, 0.0f, 1.0f), c.a};
}

// ---------------------------------------------------------------- canvas

Canvas::Canvas(int w, int h) : w_(w), h_(h), px_(size_t(w) * h * 4, 0.0f) {}

void Canvas::Over(int x, int y, Col c, float cov) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
  float a = std::clamp(c.a * cov, 0.0f, 1.0f);
  if (a <= 0) return;
  float* p = &px_[(size_t(y) * w_ + x) * 4];
  float k = 1 - a;
  p[0] = c.r * a + p[0] * k;
  p[1] = c.g * a + p[1] * k;
  p[2] = c.b * a + p[2] * k;
  p[3] = a + p[3] * k;
}

Col Canvas::Get(int x, int y) const {
  const float* p = &px_[(size_t(y) * w_ + x) * 4];
  if (p[3] <= 0) return {};
  return {p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]};
}

void Canvas::Blit(const Canvas& src, int x, int y) {
  for (int j = 0; j < src.H(); ++j)
    for (int i = 0; i < src.W(); ++i) {
      Col c = src.Get(i, j);
      if (c.a > 0) Over(x + i, y + j, c, 1.0f);
    }
}

std::vector<uint8_t> Canvas::Rgba8() const {
  std::vector<uint8_t> out(size_t(w_) * h_ * 4, 0);
  auto q = [](float v) { return uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
  std::vector<uint8_t> known(size_t(w_) * h_, 0);
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) {
      Col c = Get(x, y);
      uint8_t* o = &out[(size_t(y) * w_ + x) * 4];
      if (q(c.a) == 0) continue;
      o[0] = q(c.r);
      o[1] = q(c.g);
      o[2] = q(c.b);
      o[3] = q(c.a);
      known[size_t(y) * w_ + x] = 1;
    }
  // Clear pixels next to the picture take the colour of their neighbours
  // (alpha stays 0), so filtered, scaled drawing shows no dark fringe.
  for (int pass = 0; pass < 4; ++pass) {
    std::vector<uint8_t> next = known;
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        size_t i = size_t(y) * w_ + x;
        if (known[i]) continue;
        int sum[3] = {0, 0, 0}, n = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            int nx = x + dx, ny = y + dy;
            if (nx < 0 || ny < 0 || nx >= w_ || ny >= h_) continue;
            size_t j = size_t(ny) * w_ + nx;
            if (!known[j]) continue;
            for (int k = 0; k < 3; ++k) sum[k] += out[j * 4 + k];
            ++n;
          }
        if (n == 0) continue;
        for (int k = 0; k < 3; ++k) out[i * 4 + k] = uint8_t((sum[k] + n / 2) / n);
        next[i] = 1;
      }
    known.swap(next);
  }
  return out;
}

// ---------------------------------------------------------------- paint

Paint Solid(Col c) {
  return [c](float, float) { return c; };
}

Paint LinearY(Col top, Col bottom, float y0, float y1) {
  return [=](float, float y) { return Mix(top, bottom, (y - y0) / (y1 - y0)); };
}

Paint Radial(Col inner, Col outer, float cx, float cy, float r) {
  return [=](float x, float y) {
    return Mix(inner, outer, std::hypot(x - cx, y - cy) / r);
  };
}

void Fill(Canvas& c, const Sdf& shape, const Paint& paint, float soft) {
  for (int y = 0; y < c.H(); ++y)
    for (int x = 0; x < c.W(); ++x) {
      float px = x + 0.5f, py = y + 0.5f;
      float d = shape(px, py);
      float cov = std::clamp(0.5f - d / soft, 0.0f, 1.0f);
      if (cov > 0) c.Over(x, y, paint(px, py), cov);
    }
}

void FillOutlined(Canvas& c, const Sdf& shape, const Paint& paint, Col outline,
                  float width) {
  Fill(c, Grow(shape, width), Solid(outline));
  Fill(c, shape, paint);
}

void Glow(Canvas& c, const Sdf& shape, Col col, float radius) {
  for (int y = 0; y < c.H(); ++y)
    for (int x = 0; x < c.W(); ++x) {
      float d = shape(x + 0.5f, y + 0.5f);
      float t = std::clamp(1.0f - d / radius, 0.0f, 1.0f);
      if (t > 0) c.Over(x, y, col, t * t * (3 - 2 * t));
    }
}

// ---------------------------------------------------------------- shapes

Sdf Circle(float cx, float cy, float r) {
  return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}

Sdf Ellipse(float cx, float cy, float rx, float ry) {
  // Scaled-circle distance, corrected by the gradient length: close enough
  // near the edge, which is all the anti-aliasing needs.
  return [=](float x, float y) {
    float dx = (x - cx) / rx, dy = (y - cy) / ry;
    float k = std::hypot(dx, dy);
    float g = std::hypot(dx / rx, dy / ry);
    if (g < 1e-6f) return -std::min(rx, ry);
    return (k - 1) * k / g;
  };
}

Sdf Box(float cx, float cy, float hw, float hh, float round) {
  return [=](float x, float y) {
    float qx = std::fabs(x - cx) - (hw - round), qy = std::fabs(y - cy) - (hh - round);
    float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
    return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.0f) - round;
  };
}

Sdf Segment(float x1, float y1, float x2, float y2, float radius) {
  return [=](float x, float y) {
    float vx = x2 - x1, vy = y2 - y1, wx = x - x1, wy = y - y1;
    float len2 = vx * vx + vy * vy;
    float t = len2 > 0 ? std::clamp((wx * vx + wy * vy) / len2, 0.0f, 1.0f) : 0.0f;
    return std::hypot(wx - vx * t, wy - vy * t) - radius;
  };
}

Sdf Polygon(std::vector<float> xy) {
  return [xy = std::move(xy)](float x, float y) {
    size_t n = xy.size() / 2;
    float best = 1e30f;
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
      float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
      float vx = xj - xi, vy = yj - yi, wx = x - xi, wy = y - yi;
      float len2 = vx * vx + vy * vy;
      float t = len2 > 0 ? std::clamp((wx * vx + wy * vy) / len2, 0.0f, 1.0f) : 0.0f;
      best = std::min(best, std::hypot(wx - vx * t, wy - vy * t));
      if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
    }
    return inside ? -best : best;
  };
}

Sdf Star(float cx, float cy, int points, float rOuter, float rInner, float rotDeg) {
  std::vector<float> xy;
  for (int i = 0; i < points * 2; ++i) {
    float a = (rotDeg + 180.0f * i / points) * float(M_PI) / 180.0f;
    float r = (i % 2) ? rInner : rOuter;
    xy.push_back(cx + r * std::cos(a));
    xy.push_back(cy + r * std::sin(a));
  }
  return Polygon(std::move(xy));
}

Sdf Union(Sdf a, Sdf b) {
  return [=](float x, float y) { return std::min(a(x, y), b(x, y)); };
}

Sdf Subtract(Sdf a, Sdf b) {
  return [=](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}

Sdf Intersect(Sdf a, Sdf b) {
  return [=](float x, float y) { return std::max(a(x, y), b(x, y)); };
}

Sdf Grow(Sdf a, float by) {
  return [=](float x, float y) { return a(x, y) - by; };
}

Sdf Rotate(Sdf a, float cx, float cy, float deg) {
  float r = -deg * float(M_PI) / 180.0f;
  float cs = std::cos(r), sn = std::sin(r);
  return [=](float x, float y) {
    float dx = x - cx, dy = y - cy;
    return a(cx + dx * cs - dy * sn, cy + dx * sn + dy * cs);
  };
}

// ---------------------------------------------------------------- PNG

namespace {
void PngWrite(png_structp png, png_bytep data, png_size_t len) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + len);
}
void PngFlush(png_structp) {}
}  // namespace

Bytes EncodePng(const Canvas& c) {
  Bytes out;
  std::vector<uint8_t> rgba = c.Rgba8();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, c.W(), c.H(), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < c.H(); ++y) png_write_row(png, &rgba[size_t(y) * c.W() * 4]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace assetgen
