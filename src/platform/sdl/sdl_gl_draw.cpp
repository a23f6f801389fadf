// The OpenGL 2D renderer of the SDL back end (see sdl_gl.h).
//
// All drawing goes into an off-screen framebuffer of the display's real size,
// so the back buffer keeps its pixels across Present and can be read back at
// any time; Present copies it to the window. Where the window's own back
// buffer is known to survive a swap unchanged (a copying swap, as software
// renderers do), drawing goes there directly and the copy is saved. Geometry is transformed on the CPU into virtual-screen
// coordinates and batched as indexed triangles with colour and texture; the
// batch is sent when the texture or the blend mode changes, or when it is
// full. Untextured shapes use a 1x1 white texture so that everything shares
// one path. The destination alpha is never written (it stays opaque), so
// read-backs and screenshots are opaque whatever was drawn.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/sdl/sdl_gl.h"

namespace {

PFNGLGENFRAMEBUFFERSPROC pGenFramebuffers = nullptr;
PFNGLDELETEFRAMEBUFFERSPROC pDeleteFramebuffers = nullptr;
PFNGLBINDFRAMEBUFFERPROC pBindFramebuffer = nullptr;
PFNGLFRAMEBUFFERTEXTURE2DPROC pFramebufferTexture2D = nullptr;
PFNGLCHECKFRAMEBUFFERSTATUSPROC pCheckFramebufferStatus = nullptr;
PFNGLBLITFRAMEBUFFERPROC pBlitFramebuffer = nullptr;
PFNGLGENERATEMIPMAPPROC pGenerateMipmap = nullptr;

uint32_t gGeneration = 0;
uint32_t gLiveGeneration = 0;

constexpr size_t kMaxBatchVertices = 65536;

template <class T>
void LoadProc(T& target, const char* name, const char* extName) {
  target = reinterpret_cast<T>(SDL_GL_GetProcAddress(name));
  if (!target && extName) target = reinterpret_cast<T>(SDL_GL_GetProcAddress(extName));
}

// Textures attached to an image: one per frame, made on first use, and a
// mipmapped one per frame made the first time the frame is drawn smaller
// than its pixels. A filtered frame keeps every pixel's share down to half
// its size without mipmaps (each sample blends the four pixels around it,
// and samples a display pixel apart are at most two pixels apart), so it
// takes the mipmapped texture only below half: a software renderer fills
// the plain one at about half the cost, and sprites of one image drawn at
// mixed sizes stay in one batch. An unfiltered frame samples one pixel of
// many, so it takes the mipmapped texture as soon as it is drawn smaller.
struct GlImageData : BackendData {
  uint32_t generation = 0;
  uint32_t version = 0;
  bool linear = false;
  std::vector<GLuint> textures;   // 0: not uploaded yet
  std::vector<GLuint> mipmapped;  // 0: not uploaded yet
  ~GlImageData() override { Release(); }
  void Release() {
    if (generation == gLiveGeneration && generation != 0) {
      for (GLuint t : textures)
        if (t) glDeleteTextures(1, &t);
      for (GLuint t : mipmapped)
        if (t) glDeleteTextures(1, &t);
    }
    textures.clear();
    mipmapped.clear();
  }
};

struct GlFontData : BackendData {
  uint32_t generation = 0;
  uint32_t version = 0;
  GLuint texture = 0;
  ~GlFontData() override {
    if (texture && generation == gLiveGeneration && generation != 0) glDeleteTextures(1, &texture);
  }
};

}  // namespace

uint32_t GlRenderer::Generation() { return gGeneration; }
uint32_t GlRenderer::LiveGeneration() { return gLiveGeneration; }

GLuint UploadTexture(const TPixmap& pixmap, bool linear, bool mipmaps) {
  if (pixmap.width <= 0 || pixmap.height <= 0 ||
      pixmap.pixels.size() < static_cast<size_t>(pixmap.width) * pixmap.height * 4)
    return 0;
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (pixmap.width > maxSize || pixmap.height > maxSize) return 0;
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  const GLint filter = linear ? GL_LINEAR : GL_NEAREST;
  // Drawn smaller than its pixels, a mipmapped texture is sampled from the
  // level nearest the drawn size, so that its detail averages rather than
  // drops out; at its size and above it samples as without.
  const GLint minFilter = !mipmaps ? filter : linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  // Without glGenerateMipmap, the GL 1.4 way: the levels made at upload.
  if (mipmaps && !pGenerateMipmap) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, pixmap.width, pixmap.height, 0, GL_RGBA,
               GL_UNSIGNED_BYTE, pixmap.pixels.data());
  if (mipmaps && pGenerateMipmap) pGenerateMipmap(GL_TEXTURE_2D);
  return texture;
}

void GlRenderer::Init(int width, int height, bool windowBuffer) {
  LoadProc(pGenFramebuffers, "glGenFramebuffers", "glGenFramebuffersEXT");
  LoadProc(pDeleteFramebuffers, "glDeleteFramebuffers", "glDeleteFramebuffersEXT");
  LoadProc(pBindFramebuffer, "glBindFramebuffer", "glBindFramebufferEXT");
  LoadProc(pFramebufferTexture2D, "glFramebufferTexture2D", "glFramebufferTexture2DEXT");
  LoadProc(pCheckFramebufferStatus, "glCheckFramebufferStatus", "glCheckFramebufferStatusEXT");
  LoadProc(pBlitFramebuffer, "glBlitFramebuffer", "glBlitFramebufferEXT");
  LoadProc(pGenerateMipmap, "glGenerateMipmap", "glGenerateMipmapEXT");

  width_ = width;
  height_ = height;
  ++gGeneration;
  if (gGeneration == 0) ++gGeneration;
  gLiveGeneration = gGeneration;

  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glDisable(GL_DITHER);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);

  const bool haveFbo = pGenFramebuffers && pDeleteFramebuffers && pBindFramebuffer &&
                       pFramebufferTexture2D && pCheckFramebufferStatus && pBlitFramebuffer;
  if (haveFbo && !windowBuffer) {
    glGenTextures(1, &fboTexture_);
    glBindTexture(GL_TEXTURE_2D, fboTexture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    // Asked for in the window's byte order, which makes the copy at Present
    // cheaper for software renderers.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    pGenFramebuffers(1, &fbo_);
    pBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    pFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, fboTexture_, 0);
    if (pCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      // Draw straight into the window's back buffer instead; it then does
      // not keep its pixels across Present.
      pBindFramebuffer(GL_FRAMEBUFFER, 0);
      pDeleteFramebuffers(1, &fbo_);
      glDeleteTextures(1, &fboTexture_);
      fbo_ = fboTexture_ = 0;
    }
  }

  const uint8_t white[4] = {255, 255, 255, 255};
  TPixmap one;
  one.width = one.height = 1;
  one.pixels.assign(white, white + 4);
  whiteTexture_ = UploadTexture(one, false, false);

  glViewport(0, 0, width, height);
  SetVirtualResolution(static_cast<float>(width), static_cast<float>(height));
  batch_.vertices.reserve(kMaxBatchVertices);
  batch_.indices.reserve(kMaxBatchVertices * 3 / 2);
  boundTexture_ = whiteTexture_;
  blend_ = MASKBLEND;
  appliedBlend_ = -1;
  Clear(0, 0, 0);
  while (glGetError() != GL_NO_ERROR) {
  }
}

void GlRenderer::Shutdown() {
  batch_.Clear();
  if (fbo_ && pDeleteFramebuffers) {
    pBindFramebuffer(GL_FRAMEBUFFER, 0);
    pDeleteFramebuffers(1, &fbo_);
  }
  if (fboTexture_) glDeleteTextures(1, &fboTexture_);
  if (whiteTexture_) glDeleteTextures(1, &whiteTexture_);
  fbo_ = fboTexture_ = whiteTexture_ = 0;
  gLiveGeneration = 0;
}

void GlRenderer::BindBackBuffer() {
  if (fbo_) pBindFramebuffer(GL_FRAMEBUFFER, fbo_);
}

void GlRenderer::SetVirtualResolution(float width, float height) {
  if (!(width > 0) || !(height > 0)) return;
  Flush();
  virtualWidth_ = width;
  virtualHeight_ = height;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, width, height, 0.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void GlRenderer::Clear(int r, int g, int b) {
  Flush();
  BindBackBuffer();
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClearColor(std::clamp(r, 0, 255) / 255.0f, std::clamp(g, 0, 255) / 255.0f,
               std::clamp(b, 0, 255) / 255.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  pendingWork_ = true;
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
}

void GlRenderer::PresentTo(int drawableWidth, int drawableHeight) {
  Flush();
  if (!fbo_) return;
  pBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
  pBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  const bool same = drawableWidth == width_ && drawableHeight == height_;
  pBlitFramebuffer(0, 0, width_, height_, 0, 0, drawableWidth, drawableHeight,
                   GL_COLOR_BUFFER_BIT, same ? GL_NEAREST : GL_LINEAR);
  pBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  pendingWork_ = false;  // the swap that follows sends everything
}

void GlRenderer::ApplyBlend(int blend) {
  if (blend == appliedBlend_) return;
  appliedBlend_ = blend;
  switch (blend) {
    case SOLIDBLEND:
      glDisable(GL_BLEND);
      glDisable(GL_ALPHA_TEST);
      break;
    case ALPHABLEND:
      glEnable(GL_BLEND);
      glDisable(GL_ALPHA_TEST);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      break;
    case LIGHTBLEND:
      glEnable(GL_BLEND);
      glDisable(GL_ALPHA_TEST);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE);
      break;
    case SHADEBLEND:
      glEnable(GL_BLEND);
      glDisable(GL_ALPHA_TEST);
      glBlendFunc(GL_DST_COLOR, GL_ZERO);
      break;
    case MASKBLEND:
    default:
      // Opaque where the texel is at least half covered, untouched elsewhere.
      glDisable(GL_BLEND);
      glEnable(GL_ALPHA_TEST);
      glAlphaFunc(GL_GEQUAL, 0.5f);
      break;
  }
}

void GlRenderer::Use(GLuint texture, int blend) {
  if (texture != boundTexture_ || blend != blend_) {
    Flush();
    boundTexture_ = texture;
    blend_ = blend;
  }
}

void GlRenderer::Reserve(size_t vertexCount) {
  if (batch_.vertices.size() + vertexCount > kMaxBatchVertices) Flush();
}

void GlRenderer::Flush() {
  if (batch_.indices.empty()) {
    batch_.vertices.clear();
    return;
  }
  BindBackBuffer();
  ApplyBlend(blend_);
  glBindTexture(GL_TEXTURE_2D, boundTexture_);
  const geom::Vertex* v = batch_.vertices.data();
  glVertexPointer(2, GL_FLOAT, sizeof(geom::Vertex), &v->x);
  glTexCoordPointer(2, GL_FLOAT, sizeof(geom::Vertex), &v->u);
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(geom::Vertex), &v->rgba);
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(batch_.indices.size()), GL_UNSIGNED_INT,
                 batch_.indices.data());
  pendingWork_ = true;
  batch_.Clear();
}

void GlRenderer::Kick() {
  if (batch_.indices.empty() && !pendingWork_) return;
  Flush();
  glFlush();
  pendingWork_ = false;
}

geom::Viewport GlRenderer::View() const { return {width_, height_, virtualWidth_, virtualHeight_}; }

void GlRenderer::DrawImage(TImage& image, int frame, float x, float y, float width, float height,
                           const DrawState& state) {
  if (frame < 0 || frame >= static_cast<int>(image.frames.size()) || !image.frames[frame]) return;
  auto* data = dynamic_cast<GlImageData*>(image.backendData.get());
  const bool linear = (image.flags & FILTEREDIMAGE) != 0;
  if (!data || data->generation != gLiveGeneration) {
    auto fresh = std::make_unique<GlImageData>();
    fresh->generation = gLiveGeneration;
    fresh->version = image.version;
    fresh->linear = linear;
    data = fresh.get();
    image.backendData = std::move(fresh);
  }
  if (data->version != image.version || data->linear != linear) {
    Flush();  // the batch may still refer to the old textures
    data->Release();
    data->version = image.version;
    data->linear = linear;
  }
  if (data->textures.size() < image.frames.size()) {
    data->textures.resize(image.frames.size(), 0);
    data->mipmapped.resize(image.frames.size(), 0);
  }
  // Display pixels per pixel of the frame, along each of its axes.
  const TPixmap& pixels = *image.frames[frame];
  const float kx = std::fabs(width * state.scaleX) * width_ / (virtualWidth_ * std::max(pixels.width, 1));
  const float ky = std::fabs(height * state.scaleY) * height_ / (virtualHeight_ * std::max(pixels.height, 1));
  const float least = linear ? 0.499f : 0.999f;
  const bool smaller = kx < least || ky < least;
  GLuint& texture = smaller ? data->mipmapped[frame] : data->textures[frame];
  if (!texture) texture = UploadTexture(pixels, linear, smaller);
  if (!texture) return;

  Use(texture, state.blend);
  Reserve(4);
  geom::ImageQuad(batch_, image, x, y, width, height, state);
}

void GlRenderer::DrawRect(float x, float y, float width, float height, const DrawState& state) {
  Use(whiteTexture_, state.blend);
  Reserve(4);
  geom::RectQuad(batch_, x, y, width, height, state);
}

void GlRenderer::DrawOval(float x, float y, float width, float height, const DrawState& state) {
  Use(whiteTexture_, state.blend);
  Reserve(static_cast<size_t>(geom::OvalSegments(View(), width, height, state)) + 1);
  geom::OvalFan(batch_, View(), x, y, width, height, state);
}

void GlRenderer::DrawLine(float x1, float y1, float x2, float y2, bool lastPixel,
                          const DrawState& state) {
  Use(whiteTexture_, state.blend);
  Reserve(4);
  geom::LineQuad(batch_, View(), x1, y1, x2, y2, lastPixel, state);
}

void GlRenderer::DrawText(TImageFont& font, const std::string& text, float x, float y,
                          const DrawState& state) {
  if (text.empty()) return;
  const geom::TextGlyphs glyphs = geom::PickTextGlyphs(font, View(), state);
  if (!glyphs.atlas || glyphs.atlas->width <= 0 || glyphs.atlas->height <= 0) return;
  std::unique_ptr<BackendData>& slot = *glyphs.backendData;
  auto* data = dynamic_cast<GlFontData*>(slot.get());
  if (!data || data->generation != gLiveGeneration) {
    auto fresh = std::make_unique<GlFontData>();
    fresh->generation = gLiveGeneration;
    fresh->version = glyphs.version;
    data = fresh.get();
    slot = std::move(fresh);
  }
  if (data->version != glyphs.version && data->texture) {
    Flush();  // the batch may still refer to the old texture
    glDeleteTextures(1, &data->texture);
    data->texture = 0;
  }
  data->version = glyphs.version;
  // Glyphs rendered at the size they land at are drawn pixel for pixel;
  // the font's own are filtered as its style asks.
  if (!data->texture)
    data->texture = UploadTexture(*glyphs.atlas, glyphs.sized || (font.style & SMOOTHFONT) != 0, false);
  if (!data->texture) return;

  Use(data->texture, state.blend);
  Reserve(text.size() * 4);
  geom::TextQuads(batch_, font, glyphs, View(), text, x, y, state);
}

Pixmap GlRenderer::ReadPixels(int x, int y, int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  Flush();
  auto out = std::make_shared<TPixmap>();
  out->width = width;
  out->height = height;
  out->pixels.assign(static_cast<size_t>(width) * height * 4, 0);
  // Only the part inside the back buffer is read; the rest stays zero.
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min(x + width, width_), y1 = std::min(y + height, height_);
  if (x1 <= x0 || y1 <= y0) return out;
  const int w = x1 - x0, h = y1 - y0;
  std::vector<uint8_t> rows(static_cast<size_t>(w) * h * 4);
  if (fbo_) {
    pBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
  } else {
    glReadBuffer(GL_BACK);
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  // GL counts rows from the bottom.
  glReadPixels(x0, height_ - y1, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
  for (int row = 0; row < h; ++row) {
    const uint8_t* src = &rows[static_cast<size_t>(h - 1 - row) * w * 4];
    uint8_t* dst = out->At(x0 - x, y0 - y + row);
    std::memcpy(dst, src, static_cast<size_t>(w) * 4);
    for (int i = 0; i < w; ++i) dst[i * 4 + 3] = 255;
  }
  return out;
}
