// Images: pictures in memory, cut into equal frames, with a handle point.
// The back ends read TImage and keep their textures in `backendData`;
// `version` tells them when a frame's pixels changed.
#include <algorithm>
#include <cstring>

#include "platform/core/image.h"
#include "platform/platform.h"

namespace {

bool g_autoMidHandle = false;

// -1 (and any other negative value) selects the default: masked, filtered.
int NormalizeFlags(int flags) {
  if (flags < 0) return MASKEDIMAGE | FILTEREDIMAGE;
  return flags & (MASKEDIMAGE | FILTEREDIMAGE | DYNAMICIMAGE);
}

Image NewImage(int width, int height, int flags, const std::string& source) {
  auto image = std::make_shared<TImage>();
  image->width = width;
  image->height = height;
  image->flags = flags;
  image->source = source;
  if (g_autoMidHandle) {
    image->handleX = width * 0.5f;
    image->handleY = height * 0.5f;
  }
  return image;
}

bool ValidFrame(const Image& image, int frame) {
  return image && frame >= 0 && frame < static_cast<int>(image->frames.size()) && image->frames[frame];
}

}  // namespace

void ApplyMask(TPixmap& pixmap) {
  const size_t count = pixmap.pixels.size() / 4;
  uint8_t* p = pixmap.pixels.data();
  for (size_t i = 0; i < count; ++i, p += 4) {
    if (p[0] == 0 && p[1] == 0 && p[2] == 0) p[3] = 0;
  }
}

Image ImageFromCells(const Pixmap& picture, bool hadAlpha, int cellWidth, int cellHeight,
                     int firstCell, int cellCount, int flags, const std::string& source) {
  if (!picture || cellWidth < 1 || cellHeight < 1 || cellCount < 1) return nullptr;
  flags = NormalizeFlags(flags);
  Image image = NewImage(cellWidth, cellHeight, flags, source);

  // A picture narrower or shorter than one cell has no cells at all: every
  // frame stays transparent.
  const int perRow = picture->width / cellWidth;
  const int rows = picture->height / cellHeight;
  const size_t cellRowBytes = static_cast<size_t>(cellWidth) * 4;
  image->frames.reserve(cellCount);
  for (int k = 0; k < cellCount; ++k) {
    Pixmap cell = CreatePixmap(cellWidth, cellHeight);
    if (!cell) return nullptr;
    const long long index = static_cast<long long>(firstCell) + k;
    if (perRow > 0 && index >= 0 && index < static_cast<long long>(perRow) * rows) {
      const int cx = static_cast<int>(index % perRow) * cellWidth;
      const int cy = static_cast<int>(index / perRow) * cellHeight;
      for (int y = 0; y < cellHeight; ++y)
        std::memcpy(cell->At(0, y), picture->At(cx, cy + y), cellRowBytes);
      if ((flags & MASKEDIMAGE) && !hadAlpha) ApplyMask(*cell);
    }
    image->frames.push_back(std::move(cell));
  }
  return image;
}

void AutoMidHandle(int on) { g_autoMidHandle = on != 0; }

Image LoadImage(const std::string& path, int flags) {
  bool hadAlpha = false;
  Pixmap picture = DecodePNGFile(path, &hadAlpha);
  if (!picture || picture->width < 1 || picture->height < 1) return nullptr;
  return ImageFromCells(picture, hadAlpha, picture->width, picture->height, 0, 1, flags, path);
}

Image LoadAnimImage(const std::string& path, int cellWidth, int cellHeight, int firstCell,
                    int cellCount, int flags) {
  if (cellWidth < 1 || cellHeight < 1 || cellCount < 1) return nullptr;
  bool hadAlpha = false;
  Pixmap picture = DecodePNGFile(path, &hadAlpha);
  if (!picture) return nullptr;
  return ImageFromCells(picture, hadAlpha, cellWidth, cellHeight, firstCell, cellCount, flags, path);
}

// A pixmap always carries an alpha channel, so the mask never applies here.
Image LoadImageFromPixmap(const Pixmap& pixmap, int flags) {
  if (!pixmap || pixmap->width < 1 || pixmap->height < 1 ||
      pixmap->pixels.size() < static_cast<size_t>(pixmap->width) * pixmap->height * 4)
    return nullptr;
  return ImageFromCells(pixmap, true, pixmap->width, pixmap->height, 0, 1, flags, "");
}

Image CreateImage(int width, int height, int frames, int flags) {
  if (width < 1 || height < 1 || frames < 1) return nullptr;
  Image image = NewImage(width, height, NormalizeFlags(flags), "");
  image->frames.reserve(frames);
  for (int i = 0; i < frames; ++i) {
    Pixmap frame = CreatePixmap(width, height);
    if (!frame) return nullptr;
    image->frames.push_back(std::move(frame));
  }
  return image;
}

int ImageWidth(const Image& image) { return image ? image->width : 0; }
int ImageHeight(const Image& image) { return image ? image->height : 0; }
int ImageFrames(const Image& image) { return image ? static_cast<int>(image->frames.size()) : 0; }

void MidHandleImage(const Image& image) {
  if (!image) return;
  image->handleX = image->width * 0.5f;
  image->handleY = image->height * 0.5f;
}

void SetImageHandle(const Image& image, float x, float y) {
  if (!image) return;
  image->handleX = x;
  image->handleY = y;
}

// The caller may change the pixels it gets: the version is bumped so that
// the back end uploads the frame again before its next use.
Pixmap LockImage(const Image& image, int frame) {
  if (!ValidFrame(image, frame)) return nullptr;
  ++image->version;
  return image->frames[frame];
}
