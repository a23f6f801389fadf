// The drawing state and the drawing operations, handed to the back end with
// the full state of the moment.
#include <algorithm>
#include <cmath>

#include "platform/backend.h"
#include "platform/core/front_internal.h"
#include "platform/core/image.h"
#include "platform/platform.h"

namespace {

DrawState gState;

bool CanDraw() { return GraphicsOpen() != 0; }

bool ValidFrame(const Image& image, int frame) {
  return image && frame >= 0 && frame < static_cast<int>(image->frames.size()) && image->frames[frame];
}

}  // namespace

const DrawState& CurrentDrawState() { return gState; }
void ResetDrawState() { gState = DrawState(); }

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
void SetColor(int r, int g, int b) {
  gState.r = std::clamp(r, 0, 255);
  gState.g = std::clamp(g, 0, 255);
  gState.b = std::clamp(b, 0, 255);
}

void GetColor(int& r, int& g, int& b) {
  r = gState.r;
  g = gState.g;
  b = gState.b;
}

void SetAlpha(float alpha) {
  // NaN fails both tests and ends up transparent rather than poisoning the
  // back end's blending.
  gState.alpha = alpha >= 1.0f ? 1.0f : (alpha > 0.0f ? alpha : 0.0f);
}

float GetAlpha() { return gState.alpha; }

void SetBlend(int mode) {
  if (mode < MASKBLEND || mode > SHADEBLEND) return;
  gState.blend = mode;
}

int GetBlend() { return gState.blend; }

void SetRotation(float degrees) { gState.rotation = degrees; }
float GetRotation() { return gState.rotation; }

void SetScale(float sx, float sy) {
  gState.scaleX = sx;
  gState.scaleY = sy;
}

void GetScale(float& sx, float& sy) {
  sx = gState.scaleX;
  sy = gState.scaleY;
}

void SetLineWidth(float width) { gState.lineWidth = width > 0.0f ? width : 0.0f; }
float GetLineWidth() { return gState.lineWidth; }

// ---------------------------------------------------------------------------
// Primitives
// ---------------------------------------------------------------------------
void DrawRect(float x, float y, float width, float height) {
  if (!CanDraw()) return;
  ActiveBackend().DrawRect(x, y, width, height, gState);
}

void DrawLine(float x1, float y1, float x2, float y2, int drawLastPixel) {
  if (!CanDraw()) return;
  ActiveBackend().DrawLine(x1, y1, x2, y2, drawLastPixel != 0, gState);
}

void DrawOval(float x, float y, float width, float height) {
  if (!CanDraw()) return;
  ActiveBackend().DrawOval(x, y, width, height, gState);
}

void Plot(float x, float y) {
  if (!CanDraw()) return;
  // One pixel-sized square, untouched by rotation and scale.
  DrawState state = gState;
  state.rotation = 0.0f;
  state.scaleX = state.scaleY = 1.0f;
  ActiveBackend().DrawRect(x, y, 1.0f, 1.0f, state);
}

// ---------------------------------------------------------------------------
// Images
// ---------------------------------------------------------------------------
void DrawImage(const Image& image, float x, float y, int frame) {
  if (!CanDraw() || !ValidFrame(image, frame)) return;
  ActiveBackend().DrawImage(*image, frame, x, y, static_cast<float>(image->width),
                            static_cast<float>(image->height), gState);
}

void DrawImageRect(const Image& image, float x, float y, float width, float height, int frame) {
  if (!CanDraw() || !ValidFrame(image, frame)) return;
  ActiveBackend().DrawImage(*image, frame, x, y, width, height, gState);
}

void GrabImage(const Image& image, float x, float y, int frame) {
  if (!CanDraw() || !image || frame < 0 || frame >= static_cast<int>(image->frames.size())) return;
  if (image->width <= 0 || image->height <= 0) return;
  // The rectangle of the image's size whose top-left is window pixel (x, y).
  Pixmap grabbed = ActiveBackend().ReadPixels(static_cast<int>(std::floor(x)),
                                              static_cast<int>(std::floor(y)), image->width,
                                              image->height);
  if (!grabbed || grabbed->width != image->width || grabbed->height != image->height) return;
  if (image->flags & MASKEDIMAGE) ApplyMask(*grabbed);
  image->frames[frame] = grabbed;
  ++image->version;
}

Pixmap GrabPixmap(int x, int y, int width, int height) {
  if (!CanDraw() || width <= 0 || height <= 0) return nullptr;
  return ActiveBackend().ReadPixels(x, y, width, height);
}

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------
void DrawText(const std::string& text, float x, float y, float anchor) {
  if (!CanDraw() || text.empty()) return;
  DrawState state = gState;
  state.textAnchor = anchor >= 1.0f ? 1.0f : (anchor > 0.0f ? anchor : 0.0f);
  ActiveBackend().DrawText(CurrentFont(), text, x, y, state);
}
