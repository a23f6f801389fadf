// Asset generator: procedural images and sounds for the run folder.
//
// Everything here is deterministic: the same build writes the same bytes.
// Images are drawn with signed-distance shapes (analytic anti-aliasing),
// sounds with a few oscillators, envelopes and a seeded noise source.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace assetgen {

using Bytes = std::vector<unsigned char>;

// ---------------------------------------------------------------- files

// Writes the bytes to path unless the file already holds exactly them, so
// an unchanged asset keeps its time stamp. Returns false on a write error.
bool WriteIfChanged(const std::string& path, const Bytes& data);
bool MakeDirs(const std::string& path);

// ---------------------------------------------------------------- images

struct Col {
  float r = 0, g = 0, b = 0, a = 0;  // straight alpha, 0..1
};
Col Rgb(int r, int g, int b, float a = 1.0f);
Col Mix(Col a, Col b, float t);
Col Scale(Col c, float k);  // brightens or darkens the colour, keeps alpha

// An RGBA picture held premultiplied in floats; drawing composites "over".
class Canvas {
 public:
  Canvas(int w, int h);
  int W() const { return w_; }
  int H() const { return h_; }
  // Composites colour c over pixel (x, y) with coverage cov (0..1).
  void Over(int x, int y, Col c, float cov);
  Col Get(int x, int y) const;  // straight alpha
  // Copies another canvas over this one with its top-left corner at (x, y).
  void Blit(const Canvas& src, int x, int y);
  // 8-bit RGBA, rows top to bottom.
  std::vector<uint8_t> Rgba8() const;

 private:
  int w_, h_;
  std::vector<float> px_;  // premultiplied r, g, b, a
};

// Signed distance in pixels from the shape's edge: negative inside.
using Sdf = std::function<float(float x, float y)>;
// Colour of a shape at a point (pixel centre coordinates).
using Paint = std::function<Col(float x, float y)>;

Paint Solid(Col c);
Paint LinearY(Col top, Col bottom, float y0, float y1);
Paint Radial(Col inner, Col outer, float cx, float cy, float r);

// Fills a shape with anti-aliased edges: coverage falls from 1 to 0 over
// `soft` pixels across the edge.
void Fill(Canvas& c, const Sdf& shape, const Paint& paint, float soft = 1.0f);
// Fills a shape and a darker rim of `width` pixels around it.
void FillOutlined(Canvas& c, const Sdf& shape, const Paint& paint, Col outline,
                  float width);
// A soft glow: alpha falls off over `radius` pixels outside the shape.
void Glow(Canvas& c, const Sdf& shape, Col col, float radius);

// Shapes (all distances in pixels).
Sdf Circle(float cx, float cy, float r);
Sdf Ellipse(float cx, float cy, float rx, float ry);
Sdf Box(float cx, float cy, float hw, float hh, float round = 0);
Sdf Segment(float x1, float y1, float x2, float y2, float radius);
Sdf Polygon(std::vector<float> xy);  // x0, y0, x1, y1, ... (closed)
Sdf Star(float cx, float cy, int points, float rOuter, float rInner,
         float rotDeg = -90);
Sdf Union(Sdf a, Sdf b);
Sdf Subtract(Sdf a, Sdf b);
Sdf Intersect(Sdf a, Sdf b);
Sdf Grow(Sdf a, float by);  // grows (positive) or shrinks the shape
Sdf Rotate(Sdf a, float cx, float cy, float deg);

// Lettering from a small stroke font (capitals, digits, space, a few
// marks). Each glyph lies on a 4 x 6 grid; `cell` is the grid unit in
// pixels, `stroke` the line radius. Returns the shape of the whole text
// with its top-left corner at (x, y).
Sdf StrokeText(const std::string& text, float x, float y, float cell,
               float stroke, float slant = 0);
float StrokeTextWidth(const std::string& text, float cell);

// Encodes 8-bit RGBA as PNG (no time stamp, fixed settings).
Bytes EncodePng(const Canvas& c);

// The pictures of the run folder.
Canvas MakeIcons();
Canvas MakeBadges();
Canvas MakeMakerLogo();
Canvas MakeCommunityLogo();
Canvas MakeGameLogo();
Canvas MakeHero();
Canvas MakeSeed();
Canvas MakeFlower();
Canvas MakeStar();
Canvas MakePoof();

// ---------------------------------------------------------------- sounds

constexpr int kRate = 44100;
using Wave = std::vector<float>;  // mono samples, -1..1

// Small seeded noise source, the same sequence on every machine.
class Noise {
 public:
  explicit Noise(uint32_t seed) : s_(seed ? seed : 1) {}
  float Next();  // -1..1
 private:
  uint32_t s_;
};

// Adds `src` into `dst` at sample offset `at`, scaled by `gain`.
void MixInto(Wave& dst, const Wave& src, int at, float gain);
// Short fades at both ends and a peak limit, so every sound starts and
// stops without a click.
void Finish(Wave& w, float peak = 0.85f, float fadeInMs = 3, float fadeOutMs = 12);

Bytes EncodeWav16(const Wave& w);
// Stereo interleaved (l, r, l, r, ...) into Ogg Vorbis at `quality`.
Bytes EncodeOgg(const std::vector<float>& stereo, float quality);

// The sound effect of a number (2..7, 10..30, 98, 99); empty for others.
Wave MakeSfx(int n);
Wave MakeBadgeJingle();
// The music generator's sample n (1..8) of a group: 0 drum kit A, 1 drum
// kit B, 2 bass, 3 lead, 4 accompaniment.
Wave MakeInstrument(int group, int n);
// The looping game tune, stereo interleaved.
std::vector<float> MakeTune();

}  // namespace assetgen
