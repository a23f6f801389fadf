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
#include <array>
#include <bit>
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

// Halvings at the most: a 4096-pixel frame drawn one pixel wide.
constexpr size_t kMaxHalvings = 12;

uint32_t gGeneration = 0;
uint32_t gLiveGeneration = 0;

constexpr size_t kMaxBatchVertices = 65536;

template <class T>
void LoadProc(T& target, const char* name, const char* extName) {
  target = reinterpret_cast<T>(SDL_GL_GetProcAddress(name));
  if (!target && extName) target = reinterpret_cast<T>(SDL_GL_GetProcAddress(extName));
}

// Textures attached to an image: one per frame, made on first use, each
// sampled with one filter whether it is drawn larger or smaller (linear for
// a filtered image, nearest for an unfiltered one): a software renderer
// fills a texture whose two filters differ at a good part more than one
// whose filters agree, as it then works out per pixel which one applies.
// Drawn at half its size or larger, a frame is sampled as it is.
// The first time a frame is drawn below half its size, its texture is
// replaced by a strip of the frame and its halved copies side by side, and
// each draw samples the copy that keeps the drawn size at least half of it,
// whose pixels hold the average of the frame's they cover: a mipmap chain
// without the blending between levels that a software renderer fills at
// several times a plain texture's cost, and in one texture, so that sprites
// of one frame drawn at mixed sizes stay in one batch.
struct GlImageData : BackendData {
  uint32_t generation = 0;
  uint32_t version = 0;
  bool linear = false;
  std::vector<GLuint> textures;  // 0: not uploaded yet
  // Per frame, once it has its strip: where the frame halved 0, 1, 2, ...
  // times stands in it, as u0, v0, u1, v1.
  std::vector<std::vector<std::array<float, 4>>> levels;
  ~GlImageData() override { Release(); }
  void Release() {
    if (generation == gLiveGeneration && generation != 0) {
      for (GLuint t : textures)
        if (t) glDeleteTextures(1, &t);
    }
    textures.clear();
    levels.clear();
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

// `pixmap` at half its size (halves rounded up), each pixel the average of
// the up to four it covers, its colour weighted by their coverage.
TPixmap Halve(const TPixmap& pixmap) {
  TPixmap half;
  half.width = std::max(1, (pixmap.width + 1) / 2);
  half.height = std::max(1, (pixmap.height + 1) / 2);
  half.pixels.assign(static_cast<size_t>(half.width) * half.height * 4, 0);
  for (int y = 0; y < half.height; ++y) {
    for (int x = 0; x < half.width; ++x) {
      unsigned sum[4] = {0, 0, 0, 0}, count = 0;
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
          const int sx = 2 * x + dx, sy = 2 * y + dy;
          if (sx >= pixmap.width || sy >= pixmap.height) continue;
          const unsigned char* p = &pixmap.pixels[(static_cast<size_t>(sy) * pixmap.width + sx) * 4];
          for (int c = 0; c < 3; ++c) sum[c] += p[c] * (p[3] + 1u);
          sum[3] += p[3];
          ++count;
        }
      }
      unsigned char* out = &half.pixels[(static_cast<size_t>(y) * half.width + x) * 4];
      const unsigned weight = sum[3] + count;  // the coverage + 1 of each pixel, summed
      for (int c = 0; c < 3; ++c) out[c] = static_cast<unsigned char>(sum[c] / weight);
      out[3] = static_cast<unsigned char>((sum[3] + count / 2) / count);
    }
  }
  return half;
}

// The strip of `frame` and its halved copies, each with a border of its own
// edge pixels, so that sampling near an edge finds what clamping would;
// where each copy stands goes to `levels`.
TPixmap HalvingStrip(const TPixmap& frame, size_t halvings, std::vector<std::array<float, 4>>& levels) {
  std::vector<TPixmap> copies;
  copies.push_back(frame);
  while (copies.size() <= halvings) copies.push_back(Halve(copies.back()));
  TPixmap strip;
  for (const TPixmap& c : copies) strip.width += c.width + 2;
  strip.height = frame.height + 2;
  // Sides of a power of two, which a software renderer samples fastest.
  strip.width = static_cast<int>(std::bit_ceil(static_cast<unsigned>(strip.width)));
  strip.height = static_cast<int>(std::bit_ceil(static_cast<unsigned>(strip.height)));
  strip.pixels.assign(static_cast<size_t>(strip.width) * strip.height * 4, 0);
  levels.clear();
  int left = 0;
  for (const TPixmap& c : copies) {
    for (int y = -1; y <= c.height; ++y) {
      const int sy = std::clamp(y, 0, c.height - 1);
      for (int x = -1; x <= c.width; ++x) {
        const int sx = std::clamp(x, 0, c.width - 1);
        const unsigned char* from = &c.pixels[(static_cast<size_t>(sy) * c.width + sx) * 4];
        unsigned char* to = &strip.pixels[(static_cast<size_t>(y + 1) * strip.width + left + 1 + x) * 4];
        std::copy(from, from + 4, to);
      }
    }
    levels.push_back({static_cast<float>(left + 1) / strip.width, 1.0f / strip.height,
                      static_cast<float>(left + 1 + c.width) / strip.width,
                      static_cast<float>(1 + c.height) / strip.height});
    left += c.width + 2;
  }
  return strip;
}

GLuint UploadTexture(const TPixmap& pixmap, bool linear) {
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
  // One filter both ways: see GlImageData.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, pixmap.width, pixmap.height, 0, GL_RGBA,
               GL_UNSIGNED_BYTE, pixmap.pixels.data());
  return texture;
}

void GlRenderer::Init(int width, int height, bool windowBuffer) {
  LoadProc(pGenFramebuffers, "glGenFramebuffers", "glGenFramebuffersEXT");
  LoadProc(pDeleteFramebuffers, "glDeleteFramebuffers", "glDeleteFramebuffersEXT");
  LoadProc(pBindFramebuffer, "glBindFramebuffer", "glBindFramebufferEXT");
  LoadProc(pFramebufferTexture2D, "glFramebufferTexture2D", "glFramebufferTexture2DEXT");
  LoadProc(pCheckFramebufferStatus, "glCheckFramebufferStatus", "glCheckFramebufferStatusEXT");
  LoadProc(pBlitFramebuffer, "glBlitFramebuffer", "glBlitFramebufferEXT");

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
  whiteTexture_ = UploadTexture(one, false);

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
    data->levels.resize(image.frames.size());
  }
  // Display pixels per pixel of the frame, along each of its axes; the
  // frame is halved until the smaller of them is at least a half.
  const TPixmap& pixels = *image.frames[frame];
  const float kx = std::fabs(width * state.scaleX) * width_ / (virtualWidth_ * std::max(pixels.width, 1));
  const float ky = std::fabs(height * state.scaleY) * height_ / (virtualHeight_ * std::max(pixels.height, 1));
  size_t halvings = 0;
  for (float k = std::min(kx, ky); k < 0.499f && halvings < kMaxHalvings; k *= 2.0f) ++halvings;
  GLuint* texture = &data->textures[frame];
  std::vector<std::array<float, 4>>& levels = data->levels[frame];
  if (halvings >= std::max<size_t>(levels.size(), 1)) {
    // A strip, or a longer one: made with a few halvings to spare, so that a
    // frame shrinking on the screen is not made again at every halving.
    if (*texture) {
      Flush();  // the batch may still refer to the old texture
      glDeleteTextures(1, texture);
    }
    std::vector<std::array<float, 4>> made;
    const TPixmap strip = HalvingStrip(pixels, std::min(halvings + 2, kMaxHalvings), made);
    *texture = UploadTexture(strip, linear);
    levels = *texture ? made : std::vector<std::array<float, 4>>{};
    if (!*texture) *texture = UploadTexture(pixels, linear);
  } else if (!*texture) {
    *texture = UploadTexture(pixels, linear);
  }
  if (!*texture) return;
  float uv[8];
  const float* uvs = nullptr;
  if (!levels.empty()) {
    const std::array<float, 4>& at = levels[std::min(halvings, levels.size() - 1)];
    const float corners[8] = {at[0], at[1], at[2], at[1], at[2], at[3], at[0], at[3]};
    std::copy(std::begin(corners), std::end(corners), uv);
    uvs = uv;
  }

  Use(*texture, state.blend);
  Reserve(4);
  geom::ImageQuad(batch_, image, x, y, width, height, state, uvs);
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
    data->texture = UploadTexture(*glyphs.atlas, glyphs.sized || (font.style & SMOOTHFONT) != 0);
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
