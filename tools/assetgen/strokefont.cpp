// A small stroke font for lettering on the logos and icons: each glyph is
// a few polylines on a 4 x 6 grid (y down), drawn as round-capped strokes.
#include <cmath>
#include <map>
#include <memory>

#include "assetgen.h"

namespace assetgen {
namespace {

using Line = std::vector<float>;  // x0, y0, x1, y1, ... on the glyph grid
using Glyph = std::vector<Line>;

const std::map<char, Glyph>& Glyphs() {
  static const std::map<char, Glyph> g = {
      {'A', {{0, 6, 0, 1.5f, 1.5f, 0, 2.5f, 0, 4, 1.5f, 4, 6}, {0, 3.6f, 4, 3.6f}}},
      {'B', {{0, 0, 3, 0, 4, 1, 4, 2, 3, 3, 0, 3}, {3, 3, 4, 4, 4, 5, 3, 6, 0, 6, 0, 0}}},
      {'C', {{4, 1, 3, 0, 1, 0, 0, 1, 0, 5, 1, 6, 3, 6, 4, 5}}},
      {'D', {{0, 0, 2.5f, 0, 4, 1.5f, 4, 4.5f, 2.5f, 6, 0, 6, 0, 0}}},
      {'E', {{4, 0, 0, 0, 0, 6, 4, 6}, {0, 3, 3, 3}}},
      {'F', {{4, 0, 0, 0, 0, 6}, {0, 3, 3, 3}}},
      {'G', {{4, 1, 3, 0, 1, 0, 0, 1, 0, 5, 1, 6, 3, 6, 4, 5, 4, 3.5f, 2.3f, 3.5f}}},
      {'H', {{0, 0, 0, 6}, {4, 0, 4, 6}, {0, 3, 4, 3}}},
      {'I', {{1, 0, 3, 0}, {2, 0, 2, 6}, {1, 6, 3, 6}}},
      {'J', {{4, 0, 4, 5, 3, 6, 1, 6, 0, 5}}},
      {'K', {{0, 0, 0, 6}, {4, 0, 1, 3, 0, 3}, {1, 3, 4, 6}}},
      {'L', {{0, 0, 0, 6, 4, 6}}},
      {'M', {{0, 6, 0, 0, 2, 3, 4, 0, 4, 6}}},
      {'N', {{0, 6, 0, 0, 4, 6, 4, 0}}},
      {'O', {{1, 0, 3, 0, 4, 1, 4, 5, 3, 6, 1, 6, 0, 5, 0, 1, 1, 0}}},
      {'P', {{0, 6, 0, 0, 3, 0, 4, 1, 4, 2, 3, 3, 0, 3}}},
      {'Q', {{1, 0, 3, 0, 4, 1, 4, 5, 3, 6, 1, 6, 0, 5, 0, 1, 1, 0}, {2.5f, 4.5f, 4.2f, 6.4f}}},
      {'R', {{0, 6, 0, 0, 3, 0, 4, 1, 4, 2, 3, 3, 0, 3}, {2, 3, 4, 6}}},
      {'S', {{4, 1, 3, 0, 1, 0, 0, 1, 0, 2, 1, 3, 3, 3, 4, 4, 4, 5, 3, 6, 1, 6, 0, 5}}},
      {'T', {{0, 0, 4, 0}, {2, 0, 2, 6}}},
      {'U', {{0, 0, 0, 5, 1, 6, 3, 6, 4, 5, 4, 0}}},
      {'V', {{0, 0, 2, 6, 4, 0}}},
      {'W', {{0, 0, 1, 6, 2, 3, 3, 6, 4, 0}}},
      {'X', {{0, 0, 4, 6}, {4, 0, 0, 6}}},
      {'Y', {{0, 0, 2, 3, 4, 0}, {2, 3, 2, 6}}},
      {'Z', {{0, 0, 4, 0, 0, 6, 4, 6}}},
      {'0', {{1, 0, 3, 0, 4, 1, 4, 5, 3, 6, 1, 6, 0, 5, 0, 1, 1, 0}, {3.5f, 1, 0.5f, 5}}},
      {'1', {{1, 1, 2, 0, 2, 6}, {1, 6, 3, 6}}},
      {'2', {{0, 1, 1, 0, 3, 0, 4, 1, 4, 2, 0, 6, 4, 6}}},
      {'3', {{0, 0, 4, 0, 2, 2.5f, 3, 2.5f, 4, 3.5f, 4, 5, 3, 6, 1, 6, 0, 5}}},
      {'4', {{3, 6, 3, 0, 0, 4, 4, 4}}},
      {'5', {{4, 0, 0, 0, 0, 2.5f, 3, 2.5f, 4, 3.5f, 4, 5, 3, 6, 0, 6}}},
      {'6', {{3.5f, 0, 1, 0, 0, 1, 0, 5, 1, 6, 3, 6, 4, 5, 4, 4, 3, 3, 0, 3}}},
      {'7', {{0, 0, 4, 0, 1.5f, 6}}},
      {'8', {{1, 0, 3, 0, 4, 1, 4, 2, 3, 3, 1, 3, 0, 4, 0, 5, 1, 6, 3, 6, 4, 5, 4, 4, 3, 3,
               1, 3, 0, 2, 0, 1, 1, 0}}},
      {'9', {{4, 3, 1, 3, 0, 2, 0, 1, 1, 0, 3, 0, 4, 1, 4, 5, 3, 6, 0.5f, 6}}},
      {'!', {{2, 0, 2, 4}, {2, 6, 2, 6}}},
      {'?', {{0, 1, 1, 0, 3, 0, 4, 1, 4, 2, 2, 3.5f, 2, 4}, {2, 6, 2, 6}}},
      {'-', {{0.5f, 3, 3.5f, 3}}},
      {'.', {{2, 6, 2, 6}}},
      {'#', {{1, 0.5f, 1, 5.5f}, {3, 0.5f, 3, 5.5f}, {0, 2, 4, 2}, {0, 4, 4, 4}}},
  };
  return g;
}

constexpr float kAdvance = 6.0f;  // grid units from one glyph to the next

}  // namespace

float StrokeTextWidth(const std::string& text, float cell) {
  if (text.empty()) return 0;
  return (kAdvance * float(text.size()) - (kAdvance - 4)) * cell;
}

Sdf StrokeText(const std::string& text, float x, float y, float cell, float stroke,
               float slant) {
  // Flatten every stroke into segments in pixel space once.
  auto segs = std::make_shared<std::vector<float>>();
  const auto& glyphs = Glyphs();
  for (size_t i = 0; i < text.size(); ++i) {
    auto it = glyphs.find(char(std::toupper(static_cast<unsigned char>(text[i]))));
    if (it == glyphs.end()) continue;
    float gx = x + kAdvance * cell * float(i);
    for (const Line& line : it->second) {
      auto px = [&](size_t k) { return gx + line[k] * cell + (6 - line[k + 1]) * cell * slant; };
      auto py = [&](size_t k) { return y + line[k + 1] * cell; };
      if (line.size() == 4 && line[0] == line[2] && line[1] == line[3]) {
        segs->insert(segs->end(), {px(0), py(0), px(0), py(0)});
        continue;
      }
      for (size_t k = 0; k + 3 < line.size(); k += 2)
        segs->insert(segs->end(), {px(k), py(k), px(k + 2), py(k + 2)});
    }
  }
  return [segs, stroke](float qx, float qy) {
    float best = 1e30f;
    const auto& s = *segs;
    for (size_t k = 0; k + 3 < s.size(); k += 4) {
      float vx = s[k + 2] - s[k], vy = s[k + 3] - s[k + 1];
      float wx = qx - s[k], wy = qy - s[k + 1];
      float len2 = vx * vx + vy * vy;
      float t = len2 > 0 ? std::fmin(std::fmax((wx * vx + wy * vy) / len2, 0.0f), 1.0f) : 0.0f;
      float dx = wx - vx * t, dy = wy - vy * t;
      best = std::fmin(best, dx * dx + dy * dy);
    }
    return std::sqrt(best) - stroke;
  };
}

}  // namespace assetgen
