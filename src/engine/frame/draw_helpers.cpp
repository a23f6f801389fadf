// Drawing helpers over the platform's drawing state, and the per-frame
// sprite budgets that keep a slow machine at its frame rate.
#include "engine/frame/frame.h"
#include "engine/startup/startup.h"

namespace {

// In frame-skip mode every second frame is never shown: budgeted drawing
// skips it altogether.
bool FrameHidden() { return Options[kOptFrameSkip] == 1 && SkipDraw == 1; }

bool KindValid(int kind) { return kind >= 0 && kind < 20; }

bool CellValid(const Image& image, int frame) {
  return image && frame >= 0 && frame < ImageFrames(image);
}

// The image's centre for a cell whose top-left corner is at (x, y).
void CentreOf(const Image& image, int x, int y, float sx, float sy, float& cx, float& cy) {
  cx = static_cast<float>(x) + static_cast<float>(ImageWidth(image)) * (sx / 2.0f);
  cy = static_cast<float>(y) + static_cast<float>(ImageHeight(image)) * (sy / 2.0f);
}

int GlowDraw(const Image& image, int x, int y, int frame, const Image& glowImage, float glowScale,
             float glowAlpha) {
  if (FrameHidden() || !CellValid(image, frame)) return 0;
  float sx, sy;
  GetScale(sx, sy);
  const float a0 = GetAlpha();
  const int m0 = GetBlend();
  float cx, cy;
  CentreOf(image, x, y, sx, sy, cx, cy);
  if (DrawCount[kDrawSprites] < DrawMax[kDrawSprites]) {
    ++DrawCount[kDrawSprites];
    DrawImage(image, cx, cy, frame);
  }
  SetScale(sx * glowScale, sy * glowScale);
  SetAlpha(a0 * glowAlpha);
  Blend(3);
  const Image& halo = glowImage ? glowImage : image;
  if (DrawCount[kDrawGlow] < DrawMax[kDrawGlow] && CellValid(halo, frame)) {
    ++DrawCount[kDrawGlow];
    DrawImage(halo, cx, cy, frame);
  }
  SetScale(sx, sy);
  SetAlpha(a0);
  SetBlend(m0);
  return 0;
}

}  // namespace

int Text(int x, int y, const std::string& text, int alignX, int alignY) {
  if (alignX == 1) x -= TextWidth(text) / 2;
  else if (alignX == 2) x -= TextWidth(text);
  if (alignY == 1) y -= TextHeight(text) / 2;
  else if (alignY == 2) y -= TextHeight(text);
  DrawText(text, static_cast<float>(x), static_cast<float>(y), alignX == 1 ? 0.5f : alignX == 2 ? 1.0f : 0.0f);
  return 0;
}

std::vector<std::string> WrapText(const std::string& text, int width) {
  // Pieces that end with the blank or "/" after which a line may break.
  std::vector<std::string> pieces;
  std::string piece;
  for (const char c : text) {
    piece += c;
    if (c == ' ' || c == '/') {
      pieces.push_back(piece);
      piece.clear();
    }
  }
  if (!piece.empty()) pieces.push_back(piece);

  std::vector<std::string> lines;
  std::string line;
  auto close = [&lines](std::string& done) {
    while (!done.empty() && done.back() == ' ') done.pop_back();
    if (!done.empty()) lines.push_back(done);
    done.clear();
  };
  for (const std::string& p : pieces) {
    std::string longer = line + p;
    while (!longer.empty() && longer.back() == ' ') longer.pop_back();
    if (!line.empty() && TextWidth(longer) > width) close(line);
    line += p;
  }
  close(line);
  return lines;
}

int SetSize(float sx, float sy) {
  SetScale(sx, sy == kSameAsFirst ? sx : sy);
  return 0;
}

int SetRot(float angle) {
  SetRotation(angle);
  return 0;
}

int ResetDraw() {
  SetRotation(0);
  SetScale(1, 1);
  SetColor(255, 255, 255);
  SetAlpha(1);
  Blend(1);
  return 0;
}

int Blend(int code) {
  PreBlend = code;
  switch (code) {
    case 0: SetBlend(SOLIDBLEND); break;
    case 1: SetBlend(ALPHABLEND); break;
    case 2: SetBlend(SHADEBLEND); break;
    case 3: SetBlend(LIGHTBLEND); break;
    default: break;
  }
  return 0;
}

int SetCol(float r, float g, float b, float a) {
  SetColor(static_cast<int>(LimitF(r, 0, 255)), static_cast<int>(LimitF(g, 0, 255)),
           static_cast<int>(LimitF(b, 0, 255)));
  if (a != kKeepAlpha) SetAlpha(LimitF(a, 0, 1));
  return 0;
}

int drawimg(const Image& image, int x, int y, int frame, int kind) {
  if (FrameHidden() || !KindValid(kind) || !CellValid(image, frame)) return 0;
  if (DrawCount[kind] >= DrawMax[kind]) return 0;
  ++DrawCount[kind];
  float sx, sy;
  GetScale(sx, sy);
  float cx, cy;
  CentreOf(image, x, y, sx, sy, cx, cy);
  DrawImage(image, cx, cy, frame);
  return 0;
}

int GlowImg(const Image& image, int x, int y, int frame, const Image& glowImage, float glowScale,
            float glowAlpha) {
  return GlowDraw(image, x, y, frame, glowImage, glowScale, glowAlpha);
}

int GlowImage(const Image& image, int x, int y, int frame, const Image& glowImage, float glowScale,
              float glowAlpha) {
  return GlowDraw(image, x, y, frame, glowImage, glowScale, glowAlpha);
}

int CLS3d(int clear) {
  if (clear == 1) Cls();
  for (int kind = 1; kind <= 10; ++kind) DrawCount[kind] = 0;
  return 0;
}
