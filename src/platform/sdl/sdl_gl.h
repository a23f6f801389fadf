// The OpenGL 2D renderer of the SDL back end: a back buffer of the display's
// size that keeps its pixels across Present, an orthographic virtual screen
// over it, and one batch of textured triangles flushed on texture or blend
// change.
// Platform-internal; needs a current OpenGL (2.1 compatibility) context.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/core/geometry.h"
#include "platform/core/image.h"

class GlRenderer {
 public:
  // Loads the entry points and builds the back buffer: an off-screen
  // framebuffer, or with `windowBuffer` the window's own back buffer (only
  // where swapping keeps its pixels). Without framebuffer objects it falls
  // back to the window's back buffer.
  void Init(int width, int height, bool windowBuffer);
  // Frees the GL objects; the context must still be current.
  void Shutdown();

  void SetVirtualResolution(float width, float height);
  void Clear(int r, int g, int b);
  // Copies the back buffer to the window's framebuffer (drawable size).
  void PresentTo(int drawableWidth, int drawableHeight);

  void DrawImage(TImage& image, int frame, float x, float y, float width, float height,
                 const DrawState& state);
  void DrawRect(float x, float y, float width, float height, const DrawState& state);
  void DrawOval(float x, float y, float width, float height, const DrawState& state);
  void DrawLine(float x1, float y1, float x2, float y2, bool lastPixel, const DrawState& state);
  void DrawText(TImageFont& font, const std::string& text, float x, float y,
                const DrawState& state);
  Pixmap ReadPixels(int x, int y, int width, int height);

  void Flush();
  // Sends the batch and lets the GL start on it now (e.g. before the
  // program sleeps), so that less is left to do at Present.
  void Kick();

  // Bumped at every Init: textures made under an earlier context are stale.
  static uint32_t Generation();
  // The generation whose context is alive, 0 when none.
  static uint32_t LiveGeneration();

 private:
  // Real-pixel size of the back buffer and the virtual screen.
  int width_ = 0, height_ = 0;
  float virtualWidth_ = 0, virtualHeight_ = 0;

  GLuint fbo_ = 0, fboTexture_ = 0, whiteTexture_ = 0;
  GLuint boundTexture_ = 0;
  int blend_ = -1, appliedBlend_ = -1;
  bool pendingWork_ = false;  // GL commands sent since the last glFlush
  geom::Mesh batch_;

  void BindBackBuffer();
  void Use(GLuint texture, int blend);
  void ApplyBlend(int blend);
  void Reserve(size_t vertexCount);
  geom::Viewport View() const;
};

// Texture of one uploaded pixmap, NEAREST or LINEAR both ways.
GLuint UploadTexture(const TPixmap& pixmap, bool linear);
