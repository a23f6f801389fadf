// Pixmaps and the PNG codec (libpng). Every PNG colour type is decoded to
// 8-bit RGBA; saving writes 8-bit RGBA through a temporary file that is
// renamed over the target, so a failed save never leaves a broken file.
#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/core/image.h"
#include "platform/platform.h"

namespace {

// Largest side accepted when decoding or creating a pixmap: keeps a broken
// or hostile file from asking for gigabytes.
constexpr int kMaxSide = 16384;

void PngError(png_structp png, png_const_charp /*message*/) { png_longjmp(png, 1); }
void PngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// Decodes an opened PNG file into `pixels` (RGBA8). The containers belong to
// the caller so that nothing with a destructor lives in the frame that
// setjmp returns to.
bool DecodePng(FILE* file, int& width, int& height, bool& hadAlpha, std::vector<uint8_t>& pixels,
               std::vector<png_bytep>& rows) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_init_io(png, file);
  png_read_info(png, info);

  const png_uint_32 w = png_get_image_width(png, info);
  const png_uint_32 h = png_get_image_height(png, info);
  const int colorType = png_get_color_type(png, info);
  const int bitDepth = png_get_bit_depth(png, info);
  const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  hadAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || hasTrns;

  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (hasTrns) png_set_tRNS_to_alpha(png);
  if (bitDepth == 16) png_set_scale_16(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(png);
  if (!(colorType & PNG_COLOR_MASK_ALPHA) && !hasTrns) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  if (png_get_rowbytes(png, info) != static_cast<size_t>(w) * 4) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  try {
    pixels.assign(static_cast<size_t>(w) * h * 4, 0);
    rows.resize(h);
  } catch (const std::bad_alloc&) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = pixels.data() + static_cast<size_t>(y) * w * 4;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

bool EncodePng(FILE* file, const TPixmap& pixmap, int compression, std::vector<png_bytep>& rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_compression_level(png, compression);
  png_set_IHDR(png, info, static_cast<png_uint_32>(pixmap.width),
               static_cast<png_uint_32>(pixmap.height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// A new, exclusive file beside `path` for the temporary copy.
FILE* OpenTemporaryBeside(const std::string& path, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = path + ".tmp" + std::to_string(static_cast<long>(getpid())) + "_" +
               std::to_string(counter++);
    const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      FILE* file = fdopen(fd, "wb");
      if (!file) {
        close(fd);
        unlink(tempPath.c_str());
        return nullptr;
      }
      return file;
    }
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

}  // namespace

Pixmap CreatePixmap(int width, int height) {
  if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) return nullptr;
  auto pixmap = std::make_shared<TPixmap>();
  pixmap->width = width;
  pixmap->height = height;
  pixmap->pixels.assign(static_cast<size_t>(width) * height * 4, 0);
  return pixmap;
}

Pixmap DecodePNGFile(const std::string& path, bool* hadAlpha) {
  FILE* file = OpenRegularFile(path);
  if (!file) return nullptr;
  png_byte signature[8] = {};
  const bool isPng = std::fread(signature, 1, sizeof signature, file) == sizeof signature &&
                     png_sig_cmp(signature, 0, sizeof signature) == 0;
  if (!isPng) {
    std::fclose(file);
    return nullptr;
  }
  std::rewind(file);
  auto pixmap = std::make_shared<TPixmap>();
  std::vector<png_bytep> rows;
  bool alpha = false;
  const bool ok = DecodePng(file, pixmap->width, pixmap->height, alpha, pixmap->pixels, rows);
  std::fclose(file);
  if (!ok) return nullptr;
  if (hadAlpha) *hadAlpha = alpha;
  return pixmap;
}

Pixmap LoadPixmapPNG(const std::string& path) { return DecodePNGFile(path, nullptr); }

int SavePixmapPNG(const Pixmap& pixmap, const std::string& path, int compression, bool onlyNew) {
  if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0 || path.empty()) return 0;
  const size_t rowBytes = static_cast<size_t>(pixmap->width) * 4;
  if (pixmap->pixels.size() < rowBytes * pixmap->height) return 0;
  if (compression < 0) compression = 0;
  if (compression > 9) compression = 9;

  std::vector<png_bytep> rows(pixmap->height);
  // libpng takes non-const row pointers but only reads them when writing.
  auto* base = const_cast<uint8_t*>(pixmap->pixels.data());
  for (int y = 0; y < pixmap->height; ++y) rows[y] = base + rowBytes * y;

  std::string tempPath;
  FILE* file = OpenTemporaryBeside(path, tempPath);
  if (!file) return 0;
  bool ok = EncodePng(file, *pixmap, compression, rows);
  ok = std::fflush(file) == 0 && ok;
  ok = std::ferror(file) == 0 && ok;
  // On disk before the rename, so that a crash cannot leave an empty file
  // under the final name.
  ok = ok && fsync(fileno(file)) == 0;
  ok = std::fclose(file) == 0 && ok;
  int error = 0;
  if (ok && onlyNew) {
    error = LinkNewFile(tempPath, path);
  } else if (ok && std::rename(tempPath.c_str(), path.c_str()) != 0) {
    error = errno ? errno : EIO;
  }
  if (!ok || error != 0 || onlyNew) unlink(tempPath.c_str());
  if (!ok || error != 0) {
    errno = error ? error : EIO;
    return 0;
  }
  return 1;
}
