// The headless back end's software picture of the back buffer: every draw
// call is shaped by the shared geometry (the same triangles the GL renderer
// draws) and rasterised here with GL's rules: pixel centres, nearest or
// bilinear texels, the four blend modes and the mask's alpha test.
// Painting waits until somebody reads the picture, so a busy frame costs
// only its shaping; a clear makes the picture one colour again at no cost.
// Platform-internal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/geometry.h"

namespace headless_detail {

class Picture {
 public:
  void Open(int width, int height);
  void Close();
  void SetVirtualResolution(float width, float height);
  void Clear(int r, int g, int b);

  void DrawImage(const TImage& image, int frame, float x, float y, float width, float height,
                 const DrawState& state);
  void DrawRect(float x, float y, float width, float height, const DrawState& state);
  void DrawOval(float x, float y, float width, float height, const DrawState& state);
  void DrawLine(float x1, float y1, float x2, float y2, bool lastPixel, const DrawState& state);
  void DrawText(TImageFont& font, const std::string& text, float x, float y,
                const DrawState& state);

  // Real pixels; what lies outside the display stays transparent black.
  Pixmap Read(int x, int y, int width, int height);

 private:
  struct Op {
    Pixmap texture;  // empty: plain colour
    bool linear = false;
    int blend = MASKBLEND;
    uint32_t firstIndex = 0, indexCount = 0;
  };

  bool Ready() const { return open_ && view_.Valid(); }
  void Begin();
  void End(Pixmap texture, bool linear, int blend);
  void PaintPending();
  void Materialise();
  void Triangle(const Op& op, const geom::Vertex& a, const geom::Vertex& b, const geom::Vertex& c);

  bool open_ = false;
  geom::Viewport view_;
  std::vector<uint8_t> pixels_;  // RGBA, display size; unused while uniform_
  bool uniform_ = false;
  uint8_t uniformColour_[4] = {0, 0, 0, 255};
  geom::Mesh mesh_;       // shapes drawn since the picture was last painted
  std::vector<Op> ops_;
  uint32_t opStart_ = 0;  // first index of the shape being added
};

}  // namespace headless_detail
