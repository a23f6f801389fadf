// The pictures: icon sheet, badge sheet, logos and the game's sprites.
#include <cmath>

#include "assetgen.h"

namespace assetgen {
namespace {

constexpr float kPi = 3.14159265358979f;

// A placement of a drawing made in its own coordinates (offset and scale),
// so the same artwork serves at several sizes.
struct Place {
  float ox = 0, oy = 0, s = 1;
  Sdf operator()(Sdf a) const {
    Place p = *this;
    return [a, p](float x, float y) { return a((x - p.ox) / p.s, (y - p.oy) / p.s) * p.s; };
  }
  Paint operator()(Paint a) const {
    Place p = *this;
    return [a, p](float x, float y) { return a((x - p.ox) / p.s, (y - p.oy) / p.s); };
  }
  float W(float w) const { return w * s; }  // a width in local units
};

Col Hsv(float h, float s, float v, float a = 1) {
  h = std::fmod(h, 360.0f) / 60.0f;
  int i = int(h);
  float f = h - float(i), p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  switch (i % 6) {
    case 0: return {v, t, p, a};
    case 1: return {q, v, p, a};
    case 2: return {p, v, t, a};
    case 3: return {p, q, v, a};
    case 4: return {t, p, v, a};
    default: return {v, p, q, a};
  }
}

Sdf HalfPlaneBelow(float y0) {  // inside where y > y0
  return [y0](float, float y) { return y0 - y; };
}
Sdf HalfPlaneAbove(float y0) {  // inside where y < y0
  return [y0](float, float y) { return y - y0; };
}

// ---------------------------------------------------------------- hero

// Pibbo in a 64 x 64 frame: a round, fluffy creature under a small
// striped canopy, feet on the bottom edge.
void DrawHero(Canvas& c, Place p) {
  const Col ink = Rgb(58, 30, 52);
  // Canopy: the top half of an ellipse with a scalloped hem.
  Sdf dome = Intersect(Ellipse(32, 19, 24, 16), HalfPlaneAbove(19));
  for (int i = 0; i < 4; ++i) dome = Subtract(dome, Circle(14 + 12.0f * i, 21.5f, 6.2f));
  Paint stripes = [](float x, float y) {
    float a = std::atan2(y - 30, x - 32) * 180 / kPi;  // -180..0 over the dome
    int band = int(std::floor((a + 180) / 22.5f));
    Col base = (band % 2) ? Rgb(255, 244, 214) : Rgb(255, 96, 104);
    float shade = 1.12f - 0.25f * std::clamp((y - 3) / 18, 0.0f, 1.0f);
    return Scale(base, shade);
  };
  // Strings from the hem to the body.
  Sdf strings = Union(Union(Segment(9, 18, 15, 35, 0.7f), Segment(55, 18, 49, 35, 0.7f)),
                      Union(Segment(26, 17, 28, 30, 0.6f), Segment(38, 17, 36, 30, 0.6f)));
  Fill(c, p(strings), Solid(Rgb(90, 60, 80)));
  FillOutlined(c, p(dome), p(stripes), ink, p.W(1.6f));
  // Feet.
  Sdf feet = Union(Ellipse(24.5f, 59.5f, 5.5f, 3.4f), Ellipse(39.5f, 59.5f, 5.5f, 3.4f));
  FillOutlined(c, p(feet), Solid(Rgb(255, 146, 40)), ink, p.W(1.4f));
  // Body: a fuzzy ball, lit from the upper left.
  Sdf body = Circle(32, 43, 15.5f);
  for (int i = 0; i < 14; ++i) {  // soft tufts on the rim
    float a = 2 * kPi * float(i) / 14;
    body = Union(body, Circle(32 + 14.5f * std::cos(a), 43 + 14.5f * std::sin(a), 2.6f));
  }
  Paint fur = Radial(Rgb(255, 242, 150), Rgb(255, 170, 40), 27, 37, 22);
  FillOutlined(c, p(body), p(fur), ink, p.W(1.6f));
  // Arms reaching up to the strings.
  Sdf arms = Union(Segment(18.5f, 41, 15, 35, 2.0f), Segment(45.5f, 41, 49, 35, 2.0f));
  FillOutlined(c, p(arms), Solid(Rgb(255, 196, 70)), ink, p.W(1.2f));
  // Cheeks, eyes and smile.
  Fill(c, p(Union(Ellipse(22.5f, 48, 3.6f, 2.4f), Ellipse(41.5f, 48, 3.6f, 2.4f))),
       Solid(Rgb(255, 110, 120, 0.65f)));
  Sdf eyes = Union(Ellipse(26.5f, 41, 3.6f, 4.6f), Ellipse(37.5f, 41, 3.6f, 4.6f));
  FillOutlined(c, p(eyes), Solid(Rgb(255, 255, 255)), ink, p.W(1.0f));
  Fill(c, p(Union(Circle(27.2f, 42.2f, 2.3f), Circle(38.2f, 42.2f, 2.3f))), Solid(ink));
  Fill(c, p(Union(Circle(26.3f, 40.8f, 0.9f), Circle(37.3f, 40.8f, 0.9f))),
       Solid(Rgb(255, 255, 255)));
  Sdf smile = Intersect(Subtract(Circle(32, 47, 4.2f), Circle(32, 45.6f, 4.0f)),
                        HalfPlaneBelow(47));
  Fill(c, p(smile), Solid(ink));
}

// ---------------------------------------------------------------- seed

// A dandelion seed in a 64 x 64 frame: a fluffy head of fine rays on a
// thin stalk with the seed at the bottom.
void DrawSeed(Canvas& c, Place p) {
  const float cx = 32, cy = 25;
  Fill(c, p(Circle(cx, cy, 21)), p(Radial(Rgb(255, 255, 255, 0.55f), Rgb(255, 255, 240, 0.0f),
                                          cx, cy, 22)));
  Sdf rays = Circle(cx, cy, 2.5f);
  Sdf tips = Circle(cx, cy, 0);
  for (int i = 0; i < 18; ++i) {
    float a = 2 * kPi * (float(i) + 0.5f) / 18;
    float len = (i % 2) ? 19.0f : 21.0f;
    float tx = cx + len * std::cos(a), ty = cy + len * std::sin(a);
    rays = Union(rays, Segment(cx, cy, tx, ty, 0.9f));
    tips = Union(tips, Circle(tx, ty, 2.1f));
  }
  Col wisp = Rgb(255, 255, 246);
  Fill(c, p(Grow(rays, 0.8f)), Solid(Rgb(150, 170, 200, 0.5f)));
  Fill(c, p(rays), Solid(wisp));
  Fill(c, p(tips), Solid(wisp));
  // Stalk and seed.
  Sdf stalk = Segment(cx, cy, cx, 52, 1.1f);
  FillOutlined(c, p(stalk), Solid(Rgb(235, 225, 190)), Rgb(120, 100, 80, 0.7f), p.W(0.7f));
  Sdf seed = Ellipse(cx, 56.5f, 3.3f, 6.0f);
  FillOutlined(c, p(seed), p(LinearY(Rgb(214, 160, 96), Rgb(150, 96, 50), 51, 62)),
               Rgb(90, 56, 30), p.W(1.0f));
}

// ---------------------------------------------------------------- flower

// The bonus flower, drawn in light greys: the game tints it, so shading
// is kept in brightness only.
void DrawFlower(Canvas& c, Place p) {
  const float cx = 32, cy = 32;
  Sdf petals = Circle(cx, cy, 6);
  for (int i = 0; i < 8; ++i) {
    float deg = 45.0f * float(i);
    petals = Union(petals, Rotate(Ellipse(cx + 17, cy, 11.5f, 6.5f), cx, cy, deg));
  }
  Paint petalShade = [=](float x, float y) {
    float r = std::hypot(x - cx, y - cy);
    return Scale(Rgb(255, 255, 255), 0.88f + 0.12f * std::clamp((r - 8) / 20, 0.0f, 1.0f));
  };
  FillOutlined(c, p(petals), p(petalShade), Rgb(120, 120, 120), p.W(1.5f));
  // Petal creases.
  for (int i = 0; i < 8; ++i) {
    float a = (45.0f * float(i)) * kPi / 180;
    Fill(c, p(Segment(cx + 10 * std::cos(a), cy + 10 * std::sin(a), cx + 22 * std::cos(a),
                      cy + 22 * std::sin(a), 0.6f)),
         Solid(Rgb(190, 190, 190, 0.8f)));
  }
  Sdf heart = Circle(cx, cy, 9);
  FillOutlined(c, p(heart), p(Radial(Rgb(200, 200, 200), Rgb(130, 130, 130), cx - 3, cy - 3, 11)),
               Rgb(80, 80, 80), p.W(1.2f));
  for (int i = 0; i < 7; ++i) {
    float a = 2 * kPi * float(i) / 7 + 0.3f;
    Fill(c, p(Circle(cx + 4.8f * std::cos(a), cy + 4.8f * std::sin(a), 1.1f)),
         Solid(Rgb(225, 225, 225)));
  }
  Fill(c, p(Circle(cx - 2.5f, cy - 3, 2.2f)), Solid(Rgb(255, 255, 255, 0.7f)));
}

// ---------------------------------------------------------------- icons

using CellArt = void (*)(Canvas&);

const Col kInk = Rgb(34, 34, 46);
const Col kWhite = Rgb(255, 255, 255);

void FillIcon(Canvas& c, Sdf s, Paint paint = Solid(kWhite)) {
  FillOutlined(c, s, paint, kInk, 1.0f);
}

Paint IconShade() { return LinearY(Rgb(255, 255, 255), Rgb(200, 204, 214), 2, 14); }

void IconTestSprite(Canvas& c) {  // 0: a bright four-point sparkle
  Glow(c, Circle(8, 8, 2), Rgb(255, 255, 220, 0.8f), 5);
  Fill(c, Star(8, 8, 4, 7.5f, 2.2f), Solid(Rgb(255, 250, 200)));
}
void IconTick(Canvas& c) {  // 1
  Sdf t = Union(Segment(3, 8.5f, 6.5f, 12, 1.4f), Segment(6.5f, 12, 13, 4, 1.4f));
  FillIcon(c, t, Solid(Rgb(110, 235, 110)));
}
void IconCross(Canvas& c) {  // 2
  Sdf x = Union(Segment(4, 4, 12, 12, 1.4f), Segment(12, 4, 4, 12, 1.4f));
  FillIcon(c, x, Solid(Rgb(255, 110, 100)));
}
void IconKey(Canvas& c) {  // 3: key cap
  Fill(c, Box(8, 8.5f, 7, 6.8f, 2.5f), Solid(kInk));
  Fill(c, Box(8, 8.2f, 6, 5.8f, 2), LinearY(Rgb(210, 212, 220), Rgb(150, 152, 165), 2, 14));
  Fill(c, Box(8, 7.4f, 4.6f, 4.4f, 1.5f), LinearY(Rgb(255, 255, 255), Rgb(226, 228, 236), 3, 12));
}
void IconArrow(Canvas& c, float deg) {
  Sdf a = Polygon({3, 8, 8, 3, 8, 6, 13, 6, 13, 10, 8, 10, 8, 13});
  FillIcon(c, Rotate(a, 8, 8, deg), IconShade());
}
void IconLeft(Canvas& c) { IconArrow(c, 0); }     // 4
void IconRight(Canvas& c) { IconArrow(c, 180); }  // 5
void IconUp(Canvas& c) { IconArrow(c, 90); }      // 6
void IconDot(Canvas& c) {  // 7: graph dot
  Glow(c, Circle(8, 8, 3), Rgb(255, 255, 255, 0.35f), 4);
  Fill(c, Circle(8, 8, 4), Radial(Rgb(255, 255, 255), Rgb(215, 215, 215), 6.5f, 6.5f, 5));
}
void IconHat(Canvas& c) {  // 8: direction pad
  Sdf pad = Union(Box(8, 8, 7, 2.8f, 1), Box(8, 8, 2.8f, 7, 1));
  FillIcon(c, pad, IconShade());
  Fill(c, Circle(8, 8, 1.5f), Solid(Rgb(150, 152, 165)));
  Sdf tri = Union(Union(Polygon({8, 2, 6.3f, 4, 9.7f, 4}), Polygon({8, 14, 6.3f, 12, 9.7f, 12})),
                  Union(Polygon({2, 8, 4, 6.3f, 4, 9.7f}), Polygon({14, 8, 12, 6.3f, 12, 9.7f})));
  Fill(c, tri, Solid(Rgb(120, 122, 140)));
}
void IconAxis(Canvas& c) {  // 9: analogue stick
  FillIcon(c, Circle(8, 9, 6.5f), Solid(Rgb(150, 152, 165)));
  Fill(c, Segment(8, 9, 8, 6, 1.2f), Solid(kInk));
  FillIcon(c, Circle(8, 6, 3.6f), Radial(Rgb(255, 255, 255), Rgb(200, 202, 212), 7, 5, 4));
}
void IconButton(Canvas& c) {  // 10: pad button
  Fill(c, Circle(8, 9, 7), Solid(kInk));
  Fill(c, Circle(8, 9, 6), Solid(Rgb(150, 152, 165)));
  Fill(c, Circle(8, 8, 5), Radial(Rgb(255, 255, 255), Rgb(205, 207, 218), 6.5f, 6.5f, 6));
}
void IconMonitor(Canvas& c, float hw, float hh) {
  FillIcon(c, Box(8, 7, hw, hh, 1), Solid(Rgb(190, 192, 204)));
  Fill(c, Box(8, 7, hw - 1.5f, hh - 1.5f, 0.5f), LinearY(Rgb(255, 255, 255), Rgb(220, 226, 240), 2, 12));
  FillIcon(c, Box(8, 14, 3.5f, 1, 0.5f), Solid(Rgb(190, 192, 204)));
}
void IconResolution(Canvas& c) { IconMonitor(c, 6.5f, 5.2f); }  // 11: 4:3
void IconWide(Canvas& c) { IconMonitor(c, 7.5f, 4.4f); }        // 12: 16:9
void IconWindowed(Canvas& c) {                                  // 13
  FillIcon(c, Box(8, 8.5f, 6, 4.8f, 0.8f), Solid(kWhite));
  Fill(c, Box(8, 5.2f, 5.6f, 1.4f, 0.3f), Solid(Rgb(150, 152, 165)));
  Fill(c, Circle(12, 5.2f, 0.8f), Solid(kInk));
}
void IconFullscreen(Canvas& c) {  // 14
  FillIcon(c, Box(8, 8, 7, 6, 0.8f), Solid(Rgb(200, 202, 214)));
  Fill(c, Box(8, 8, 5.8f, 4.8f, 0.3f), Solid(kWhite));
  Sdf corners = Union(Union(Polygon({3.5f, 4, 7, 4, 3.5f, 7}), Polygon({12.5f, 4, 9, 4, 12.5f, 7})),
                      Union(Polygon({3.5f, 12, 7, 12, 3.5f, 9}), Polygon({12.5f, 12, 9, 12, 12.5f, 9})));
  Fill(c, corners, Solid(kInk));
}
void IconMedal(Canvas& c, Col metal) {
  Fill(c, Polygon({4, 0, 7, 0, 9, 6, 6, 6}), Solid(Rgb(80, 120, 230)));
  Fill(c, Polygon({12, 0, 9, 0, 7, 6, 10, 6}), Solid(Rgb(230, 70, 80)));
  FillIcon(c, Circle(8, 10.5f, 4.8f), Radial(Scale(metal, 1.25f), Scale(metal, 0.8f), 6.5f, 9, 5));
  Fill(c, Star(8, 10.7f, 5, 2.6f, 1.1f), Solid(Scale(metal, 1.4f)));
}
void IconGold(Canvas& c) { IconMedal(c, Rgb(240, 190, 40)); }    // 15
void IconSilver(Canvas& c) { IconMedal(c, Rgb(190, 196, 210)); }  // 16
void IconBronze(Canvas& c) { IconMedal(c, Rgb(205, 125, 60)); }   // 17
void IconFilm(Canvas& c, bool skip) {
  FillIcon(c, Box(8, 8, 7, 5.5f, 0.8f), Solid(Rgb(150, 152, 165)));
  for (int i = 0; i < 4; ++i) {
    Fill(c, Box(3.5f + 3 * float(i), 3.6f, 0.7f, 0.6f), Solid(kInk));
    Fill(c, Box(3.5f + 3 * float(i), 12.4f, 0.7f, 0.6f), Solid(kInk));
  }
  for (int i = 0; i < 3; ++i) {
    bool on = !skip || i != 1;
    Fill(c, Box(4 + 4 * float(i), 8, 1.5f, 2.8f, 0.3f),
         Solid(on ? kWhite : Rgb(90, 92, 105)));
  }
}
void IconAllFrames(Canvas& c) { IconFilm(c, false); }  // 18
void IconFrameskip(Canvas& c) { IconFilm(c, true); }   // 19
void IconStar(Canvas& c) {                             // 20
  FillIcon(c, Star(8, 8.5f, 5, 7, 3), Radial(Rgb(255, 250, 160), Rgb(255, 190, 30), 7, 6, 7));
}
// 21 and 22 are the two halves of the slider track, stretched side by side.
void IconTrackLeft(Canvas& c) {
  Fill(c, Box(25, 8, 24, 3.5f, 3.5f), Solid(kInk));
  Fill(c, Box(25, 8, 23, 2.5f, 2.5f), LinearY(Rgb(170, 172, 180), Rgb(255, 255, 255), 5.5f, 10.5f));
}
void IconTrackRight(Canvas& c) {
  Fill(c, Box(-9, 8, 24, 3.5f, 3.5f), Solid(kInk));
  Fill(c, Box(-9, 8, 23, 2.5f, 2.5f), LinearY(Rgb(170, 172, 180), Rgb(255, 255, 255), 5.5f, 10.5f));
}
void IconKnob(Canvas& c) {  // 23
  FillIcon(c, Box(8, 8, 4.5f, 7, 2.5f), LinearY(Rgb(255, 255, 255), Rgb(190, 192, 204), 1, 15));
  for (int i = -1; i <= 1; ++i) Fill(c, Box(8, 8 + 2.5f * float(i), 2.2f, 0.45f), Solid(Rgb(120, 122, 135)));
}
void Speaker(Canvas& c) {
  FillIcon(c, Polygon({1.5f, 6, 4.5f, 6, 8, 2.5f, 8, 13.5f, 4.5f, 10, 1.5f, 10}), IconShade());
}
void SpeakerWaves(Canvas& c, int n) {
  Speaker(c);
  for (int i = 0; i < n; ++i) {
    float r = 3.6f + 2.8f * float(i);
    Sdf ring = Subtract(Circle(7.5f, 8, r + 0.8f), Circle(7.5f, 8, r - 0.8f));
    Sdf right = [](float x, float y) { return std::max(9.3f - x, std::fabs(y - 8) - 6.5f); };
    Sdf arc = Intersect(ring, right);
    Fill(c, Grow(arc, 0.8f), Solid(kInk));
    Fill(c, arc, Solid(kWhite));
  }
}
void IconAudio0(Canvas& c) { SpeakerWaves(c, 1); }  // 24
void IconAudio1(Canvas& c) { SpeakerWaves(c, 2); }  // 25
void IconAudio2(Canvas& c) { SpeakerWaves(c, 3); }  // 26
void IconAudio3(Canvas& c) {                        // 27: speaker and note
  Speaker(c);
  FillIcon(c, Union(Circle(11, 12, 1.8f), Segment(12.4f, 12, 12.4f, 4, 0.6f)));
  FillIcon(c, Segment(12.4f, 4, 14.5f, 5.5f, 0.6f));
}
void IconAudio4(Canvas& c) {  // 28: silent
  Speaker(c);
  Sdf x = Union(Segment(10, 6, 14, 10, 0.9f), Segment(14, 6, 10, 10, 0.9f));
  FillOutlined(c, x, Solid(Rgb(255, 255, 255)), kInk, 0.8f);
}
void IconAudio5(Canvas& c) {  // 29: headphones
  Sdf band = Intersect(Subtract(Circle(8, 9, 6.5f), Circle(8, 9, 5)), HalfPlaneAbove(9));
  FillIcon(c, band, IconShade());
  FillIcon(c, Box(3, 11, 1.8f, 3, 1), IconShade());
  FillIcon(c, Box(13, 11, 1.8f, 3, 1), IconShade());
}
void IconHeart(Canvas& c) {  // 30
  Sdf h = Union(Union(Circle(5.5f, 6.5f, 3.4f), Circle(10.5f, 6.5f, 3.4f)),
                Polygon({2.3f, 7.8f, 13.7f, 7.8f, 8, 14}));
  FillIcon(c, h, Radial(Rgb(255, 150, 160), Rgb(230, 50, 80), 6, 5, 9));
}
void IconPointer(Canvas& c) {  // 63: mouse pointer, tip at the top-left corner
  Sdf arrow = Polygon({1, 1, 1, 13.2f, 4.2f, 10.3f, 6.6f, 15, 8.8f, 14, 6.5f, 9.4f, 10.8f, 9.4f});
  Glow(c, [arrow](float x, float y) { return arrow(x - 1, y - 1); }, Rgb(0, 0, 0, 0.35f), 2.0f);
  FillOutlined(c, arrow, LinearY(Rgb(255, 255, 255), Rgb(215, 225, 245), 1, 14), kInk, 1.0f);
}

struct IconEntry {
  int cell;
  CellArt art;
};

const IconEntry kIcons[] = {
    {0, IconTestSprite}, {1, IconTick},       {2, IconCross},      {3, IconKey},
    {4, IconLeft},       {5, IconRight},      {6, IconUp},         {7, IconDot},
    {8, IconHat},        {9, IconAxis},       {10, IconButton},    {11, IconResolution},
    {12, IconWide},      {13, IconWindowed},  {14, IconFullscreen}, {15, IconGold},
    {16, IconSilver},    {17, IconBronze},    {18, IconAllFrames}, {19, IconFrameskip},
    {20, IconStar},      {21, IconTrackLeft}, {22, IconTrackRight}, {23, IconKnob},
    {24, IconAudio0},    {25, IconAudio1},    {26, IconAudio2},    {27, IconAudio3},
    {28, IconAudio4},    {29, IconAudio5},    {30, IconHeart},     {63, IconPointer},
};

// ---------------------------------------------------------------- badges

// Emblems of the sixteen badges, centred on (32, 32), about 15 px across.
Sdf Emblem(int k) {
  const float c = 32;
  switch (k) {
    case 0: return Star(c, c + 1, 5, 15, 6.5f);
    case 1:
      return Union(Union(Circle(c - 6, c - 3, 7), Circle(c + 6, c - 3, 7)),
                   Polygon({c - 12.6f, c - 0.5f, c + 12.6f, c - 0.5f, c, c + 13}));
    case 2: {
      Sdf f = Circle(c, c, 5);
      for (int i = 0; i < 6; ++i) {
        float a = 2 * kPi * float(i) / 6;
        f = Union(f, Circle(c + 9 * std::cos(a), c + 9 * std::sin(a), 5));
      }
      return Subtract(f, Circle(c, c, 2.5f));
    }
    case 3: return Subtract(Circle(c - 1, c, 13), Circle(c + 5, c - 4, 11));
    case 4: return Polygon({c + 3, c - 15, c - 9, c + 2, c - 1, c + 2, c - 4, c + 15, c + 9, c - 3,
                            c + 1, c - 3});
    case 5: return Rotate(Box(c, c, 10, 10, 1.5f), c, c, 45);
    case 6: return Polygon({c, c - 14, c + 12, c, c + 5, c, c + 5, c + 13, c - 5, c + 13,
                            c - 5, c, c - 12, c});
    case 7: return Union(Box(c, c, 13, 4.5f, 1.5f), Box(c, c, 4.5f, 13, 1.5f));
    case 8: return Union(Subtract(Circle(c, c, 14), Circle(c, c, 10)),
                         Union(Subtract(Circle(c, c, 7.5f), Circle(c, c, 4.5f)), Circle(c, c, 2.2f)));
    case 9: return Polygon({c - 14, c + 10, c - 14, c - 8, c - 7, c - 1, c, c - 12, c + 7, c - 1,
                            c + 14, c - 8, c + 14, c + 10});
    case 10: return Union(Circle(c, c + 5, 9), Polygon({c, c - 15, c - 8.3f, c + 1.5f, c + 8.3f, c + 1.5f}));
    case 11: return Rotate(Intersect(Circle(c, c + 10, 16), Circle(c, c - 10, 16)), c, c, 35);
    case 12: return Union(Circle(c, c - 8, 5.5f), Union(Circle(c - 8, c + 6, 5.5f), Circle(c + 8, c + 6, 5.5f)));
    case 13: {
      Sdf chev1 = Union(Segment(c - 11, c - 1, c, c - 11, 3.2f), Segment(c, c - 11, c + 11, c - 1, 3.2f));
      Sdf chev2 = Union(Segment(c - 11, c + 10, c, c, 3.2f), Segment(c, c, c + 11, c + 10, 3.2f));
      return Union(chev1, chev2);
    }
    case 14: {
      Sdf s = Circle(c, c, 7.5f);
      for (int i = 0; i < 8; ++i) {
        float a = 2 * kPi * float(i) / 8;
        s = Union(s, Segment(c + 10 * std::cos(a), c + 10 * std::sin(a), c + 14 * std::cos(a),
                             c + 14 * std::sin(a), 2));
      }
      return s;
    }
    default: {  // parachute with a passenger
      Sdf dome = Intersect(Ellipse(c, c - 3, 14, 11), HalfPlaneAbove(c - 3));
      Sdf lines = Union(Segment(c - 13, c - 3, c - 2, c + 9, 1.1f), Segment(c + 13, c - 3, c + 2, c + 9, 1.1f));
      return Union(Union(dome, lines), Circle(c, c + 11, 4.5f));
    }
  }
}

Canvas Badge(int k) {
  Canvas c(64, 64);
  Col hue = Hsv(360.0f * float((k * 7) % 16) / 16, 0.72f, 0.95f);
  // Metal rims in three kinds: gold, silver and bronze, by row of the sheet.
  Col rims[] = {Rgb(246, 200, 70), Rgb(205, 212, 226), Rgb(214, 138, 72), Rgb(246, 200, 70)};
  Col rim = rims[k / 4];
  Col ink = Rgb(40, 28, 40);
  Sdf outer = Circle(32, 32, 29);
  // A scalloped edge makes the medallion read as a rosette.
  for (int i = 0; i < 16; ++i) {
    float a = 2 * kPi * float(i) / 16;
    outer = Union(outer, Circle(32 + 27.5f * std::cos(a), 32 + 27.5f * std::sin(a), 3.2f));
  }
  Fill(c, Grow(outer, 1.5f), Solid(ink));
  Fill(c, outer, Radial(Scale(rim, 1.25f), Scale(rim, 0.72f), 24, 22, 40));
  Fill(c, Grow(Circle(32, 32, 22), 1.2f), Solid(Scale(rim, 0.55f)));
  Fill(c, Circle(32, 32, 22), Radial(Scale(hue, 1.2f), Scale(hue, 0.6f), 26, 24, 30));
  Sdf e = Emblem(k);
  Fill(c, [e](float x, float y) { return e(x - 1.2f, y - 1.5f); }, Solid(Rgb(0, 0, 0, 0.35f)));
  FillOutlined(c, e, LinearY(Rgb(255, 255, 255), Rgb(236, 232, 220), 18, 46), Scale(hue, 0.4f), 1.2f);
  // A glossy highlight across the top.
  Sdf gloss = Intersect(Circle(32, 32, 21), Ellipse(28, 20, 17, 9));
  Fill(c, gloss, LinearY(Rgb(255, 255, 255, 0.4f), Rgb(255, 255, 255, 0.0f), 11, 28));
  return c;
}

// ---------------------------------------------------------------- logo helpers

void Lettering(Canvas& c, const std::string& text, float x, float y, float cell, float stroke,
               float slant, Paint fill, Col outline, float outlineW, float shadow) {
  Sdf t = StrokeText(text, x, y, cell, stroke, slant);
  if (shadow > 0)
    Fill(c, [t, shadow](float px, float py) { return t(px - shadow, py - shadow) - 2.0f; },
         Solid(Rgb(0, 0, 0, 0.35f)), 2.0f);
  FillOutlined(c, t, fill, outline, outlineW);
}

}  // namespace

// ---------------------------------------------------------------- sheets

Canvas MakeIcons() {
  Canvas sheet(128, 128);
  for (const IconEntry& e : kIcons) {
    Canvas cell(16, 16);
    e.art(cell);
    sheet.Blit(cell, (e.cell % 8) * 16, (e.cell / 8) * 16);
  }
  return sheet;
}

Canvas MakeBadges() {
  Canvas sheet(256, 256);
  for (int k = 0; k < 16; ++k) sheet.Blit(Badge(k), (k % 4) * 64, (k / 4) * 64);
  return sheet;
}

// The maker's mark: a ringed planet with a comet, and the name.
Canvas MakeMakerLogo() {
  Canvas c(256, 128);
  const Col ink = Rgb(30, 20, 60);
  Glow(c, Circle(50, 60, 34), Rgb(150, 120, 255, 0.35f), 14);
  FillOutlined(c, Circle(50, 60, 34), Radial(Rgb(170, 140, 255), Rgb(70, 40, 170), 40, 48, 44), ink, 2.5f);
  // Comet sweeping across the disc.
  Sdf tail = Intersect(Subtract(Circle(30, 84, 46), Circle(30, 84, 39)), Circle(50, 60, 30));
  Fill(c, tail, LinearY(Rgb(255, 255, 255, 0.9f), Rgb(255, 220, 120, 0.4f), 30, 80));
  FillOutlined(c, Star(69, 42, 5, 10, 4.2f, -90), Solid(Rgb(255, 226, 90)), ink, 1.5f);
  // Ring around the planet.
  Sdf ring = Rotate(Subtract(Ellipse(50, 60, 48, 11), Ellipse(50, 60, 41, 7)), 50, 60, -18);
  Sdf front = Intersect(ring, Rotate(HalfPlaneBelow(60), 50, 60, -18));
  FillOutlined(c, front, LinearY(Rgb(255, 236, 160), Rgb(240, 160, 60), 45, 75), ink, 1.5f);
  Lettering(c, "QUENLOR", 102, 38, 3.6f, 2.6f, 0.12f,
            LinearY(Rgb(255, 255, 255), Rgb(200, 190, 255), 38, 60), ink, 2.5f, 3);
  Lettering(c, "GAMES", 140, 74, 2.0f, 1.3f, 0.12f, Solid(Rgb(255, 226, 90)), ink, 1.5f, 2);
  return c;
}

// The community's mark: a hexagon badge with three rising leaves.
Canvas MakeCommunityLogo() {
  Canvas c(256, 128);
  const Col ink = Rgb(14, 40, 44);
  std::vector<float> pts;
  for (int i = 0; i < 6; ++i) {
    float a = (60.0f * float(i) - 90) * kPi / 180;
    pts.push_back(56 + 38 * std::cos(a));
    pts.push_back(64 + 38 * std::sin(a));
  }
  Sdf badge = Polygon(pts);
  Glow(c, badge, Rgb(80, 230, 200, 0.3f), 12);
  FillOutlined(c, Grow(badge, -3), Radial(Rgb(90, 230, 190), Rgb(20, 120, 120), 46, 50, 46), ink, 3);
  FillOutlined(c, Segment(56, 68, 56, 90, 2.2f), Solid(Rgb(255, 255, 230)), ink, 1.5f);
  for (int i = 0; i < 3; ++i) {
    float deg = -50.0f + 50.0f * float(i);
    Sdf leaf = Intersect(Circle(56 + 5.5f, 54, 11), Circle(56 - 5.5f, 54, 11));
    leaf = Rotate(leaf, 56, 68, deg);
    FillOutlined(c, leaf, LinearY(Rgb(255, 255, 230), Rgb(200, 255, 210), 36, 70), ink, 1.5f);
  }
  Lettering(c, "DRENNIC", 104, 40, 3.5f, 2.6f, 0.0f,
            LinearY(Rgb(255, 255, 255), Rgb(170, 250, 220), 40, 62), ink, 2.5f, 3);
  Lettering(c, "COMMUNITY", 122, 76, 1.8f, 1.1f, 0.0f, Solid(Rgb(120, 240, 200)), ink, 1.3f, 1.5f);
  return c;
}

// The game's title: "PIBBO" above "ZORRAVEL", with Pibbo drifting beside it.
Canvas MakeGameLogo() {
  Canvas c(640, 256);
  const Col ink = Rgb(52, 20, 70);
  // Floating seeds behind the lettering.
  // Title lettering centred on x = 250, Pibbo drifting in on the right.
  const float bigCell = 13.0f, smallCell = 6.4f;
  const float bigX = 250 - StrokeTextWidth("PIBBO", bigCell) / 2 - 6;
  const float smallX = 250 - StrokeTextWidth("ZORRAVEL", smallCell) / 2 - 3;
  DrawSeed(c, Place{6, 150, 1.2f});
  DrawSeed(c, Place{503, 176, 1.0f});
  Lettering(c, "PIBBO", bigX, 30, bigCell, 7.5f, 0.12f,
            LinearY(Rgb(255, 246, 140), Rgb(255, 140, 40), 30, 108), ink, 5, 6);
  // A shine along the top of the big letters.
  Sdf big = StrokeText("PIBBO", bigX, 30, bigCell, 7.5f, 0.12f);
  Fill(c, Intersect(Grow(big, -3.5f), HalfPlaneAbove(50)), Solid(Rgb(255, 255, 255, 0.35f)));
  Lettering(c, "ZORRAVEL", smallX, 148, smallCell, 3.6f, 0.12f,
            LinearY(Rgb(200, 245, 255), Rgb(90, 180, 255), 148, 187), ink, 3.5f, 4);
  // Sparkles.
  Fill(c, Star(436, 36, 4, 12, 3), Solid(Rgb(255, 255, 220)));
  Fill(c, Star(92, 226, 4, 8, 2.2f), Solid(Rgb(255, 255, 220)));
  Fill(c, Star(420, 214, 4, 7, 2), Solid(Rgb(255, 255, 220)));
  DrawHero(c, Place{450, 6, 2.7f});
  return c;
}

Canvas MakeHero() {
  Canvas c(64, 64);
  DrawHero(c, Place{});
  return c;
}

Canvas MakeSeed() {
  Canvas c(64, 64);
  DrawSeed(c, Place{});
  return c;
}

Canvas MakeFlower() {
  Canvas c(64, 64);
  DrawFlower(c, Place{});
  return c;
}

// A large soft five-point star for the faint background field.
Canvas MakeStar() {
  Canvas c(256, 256);
  Sdf s = Grow(Star(128, 134, 5, 100, 42), 6);
  Glow(c, s, Rgb(255, 255, 255, 0.45f), 22);
  Fill(c, s, Radial(Rgb(255, 255, 255), Rgb(210, 210, 210), 128, 128, 110));
  return c;
}

// A soft round cloud, white so the game's colour shows through; its
// opacity falls towards the rim.
Canvas MakePoof() {
  Canvas c(256, 256);
  Sdf cloud = Circle(128, 128, 62);
  for (int i = 0; i < 7; ++i) {
    float a = 2 * kPi * float(i) / 7 + 0.4f;
    float r = (i % 2) ? 34.0f : 40.0f;
    cloud = Union(cloud, Circle(128 + 62 * std::cos(a), 128 + 62 * std::sin(a), r));
  }
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      float px = x + 0.5f, py = y + 0.5f;
      float d = cloud(px, py);
      float edge = std::clamp(0.5f - d / 10.0f, 0.0f, 1.0f);  // soft rim
      float r = std::hypot(px - 128, py - 128) / 124.0f;
      float body = std::clamp(1.0f - r * r, 0.0f, 1.0f);
      float a = edge * (0.25f + 0.75f * body);
      if (a > 0) c.Over(x, y, Rgb(255, 255, 255), a);
    }
  return c;
}

}  // namespace assetgen
