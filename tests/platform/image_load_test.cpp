// Images: load flags and the mask rule, cutting cells, handles and frames.
#include <gtest/gtest.h>

#include <tuple>

#include "image_test_png.h"
#include "platform/core/image.h"
#include "platform/platform.h"

namespace {

using testpng::TempDir;

class ImageLoad : public ::testing::Test {
 protected:
  void TearDown() override { AutoMidHandle(0); }

  // A 3 x 1 RGB file (no alpha channel): black, red, black.
  std::string RgbFile() {
    const std::string path = dir_ / "rgb.png";
    testpng::WriteBytes(path, testpng::Encode({3, 1, 8, 2, {}, {}, {0, 0, 0, 255, 0, 0, 0, 0, 0}}));
    return path;
  }
  // The same pixels, all opaque, in an RGBA file.
  std::string RgbaFile() {
    const std::string path = dir_ / "rgba.png";
    Pixmap p = CreatePixmap(3, 1);
    p->pixels = {0, 0, 0, 255, 255, 0, 0, 255, 0, 0, 0, 255};
    EXPECT_EQ(SavePixmapPNG(p, path), 1);
    return path;
  }

  TempDir dir_;
};

std::vector<int> Alphas(const Image& image, int frame = 0) {
  std::vector<int> out;
  const TPixmap& p = *image->frames[frame];
  for (size_t i = 3; i < p.pixels.size(); i += 4) out.push_back(p.pixels[i]);
  return out;
}

TEST_F(ImageLoad, MaskMakesBlackTransparentOnlyWithoutAlphaChannel) {
  const std::string rgb = RgbFile(), rgba = RgbaFile();
  struct Case {
    std::string path;
    int flags;
    std::vector<int> alphas;
    int storedFlags;
  } cases[] = {
      {rgb, -1, {0, 255, 0}, MASKEDIMAGE | FILTEREDIMAGE},
      {rgb, MASKEDIMAGE, {0, 255, 0}, MASKEDIMAGE},
      {rgb, FILTEREDIMAGE, {255, 255, 255}, FILTEREDIMAGE},
      {rgb, 0, {255, 255, 255}, 0},
      {rgba, -1, {255, 255, 255}, MASKEDIMAGE | FILTEREDIMAGE},
      {rgba, MASKEDIMAGE, {255, 255, 255}, MASKEDIMAGE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " flags " + std::to_string(c.flags));
    const Image image = LoadImage(c.path, c.flags);
    ASSERT_TRUE(image);
    EXPECT_EQ(ImageWidth(image), 3);
    EXPECT_EQ(ImageHeight(image), 1);
    EXPECT_EQ(ImageFrames(image), 1);
    EXPECT_EQ(image->flags, c.storedFlags);
    EXPECT_EQ(image->source, c.path);
    EXPECT_EQ(Alphas(image), c.alphas);
  }
}

TEST_F(ImageLoad, TransparencyChunkCountsAsAlphaChannel) {
  // Palette file, entry 0 black, entry 1 white half transparent.
  const std::string path = dir_ / "pal.png";
  testpng::WriteBytes(path, testpng::Encode({2, 1, 8, 3, {0, 0, 0, 255, 255, 255}, {255, 128}, {0, 1}}));
  const Image image = LoadImage(path, MASKEDIMAGE);
  ASSERT_TRUE(image);
  EXPECT_EQ(Alphas(image), (std::vector<int>{255, 128}));
}

TEST_F(ImageLoad, MissingOrBrokenFileGivesEmptyHandle) {
  const std::string text = dir_ / "text.png";
  testpng::WriteBytes(text, {'h', 'i'});
  for (const std::string& path : {dir_ / "absent.png", text, std::string()}) {
    EXPECT_FALSE(LoadImage(path));
    EXPECT_FALSE(LoadAnimImage(path, 4, 4, 0, 2));
  }
  EXPECT_EQ(ImageWidth(nullptr), 0);
  EXPECT_EQ(ImageHeight(nullptr), 0);
  EXPECT_EQ(ImageFrames(nullptr), 0);
  MidHandleImage(nullptr);
  SetImageHandle(nullptr, 1, 2);
  EXPECT_FALSE(LockImage(nullptr));
}

// A 14 x 9 sheet of 4 x 4 cells: three per row, two rows; the 2-pixel strip
// on the right and the last pixel row belong to no cell. Cell n is filled
// with red = 10 * (n + 1), and the strays are blue.
std::string Sheet(const TempDir& dir) {
  Pixmap p = CreatePixmap(14, 9);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 14; ++x) {
      uint8_t* px = p->At(x, y);
      px[3] = 255;
      if (x < 12 && y < 8)
        px[0] = static_cast<uint8_t>(10 * ((y / 4) * 3 + x / 4 + 1));
      else
        px[2] = 255;
    }
  const std::string path = dir / "sheet.png";
  EXPECT_EQ(SavePixmapPNG(p, path), 1);
  return path;
}

bool FrameIsFilled(const Image& image, int frame, uint8_t red) {
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const uint8_t* px = image->frames[frame]->At(x, y);
      if (px[0] != red || px[1] != 0 || px[2] != 0 || px[3] != (red ? 255 : 0)) return false;
    }
  return true;
}

TEST_F(ImageLoad, AnimImageCutsCellsRowByRowAndLeavesMissingCellsEmpty) {
  const std::string sheet = Sheet(dir_);
  struct Case {
    int first, count;
    std::vector<int> reds;  // expected red of each frame, 0 = empty
  } cases[] = {
      {0, 6, {10, 20, 30, 40, 50, 60}},
      {2, 3, {30, 40, 50}},        // crosses the row boundary
      {4, 4, {50, 60, 0, 0}},      // runs past the last cell
      {-2, 3, {0, 0, 10}},         // starts before the first cell
      {9, 2, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("first " + std::to_string(c.first) + " count " + std::to_string(c.count));
    const Image image = LoadAnimImage(sheet, 4, 4, c.first, c.count, FILTEREDIMAGE);
    ASSERT_TRUE(image);
    EXPECT_EQ(ImageWidth(image), 4);
    EXPECT_EQ(ImageHeight(image), 4);
    ASSERT_EQ(ImageFrames(image), c.count);
    for (int f = 0; f < c.count; ++f) EXPECT_TRUE(FrameIsFilled(image, f, c.reds[f])) << "frame " << f;
  }
}

TEST_F(ImageLoad, AnimImageWithCellsLargerThanPictureOrBadArguments) {
  const std::string sheet = Sheet(dir_);
  const Image big = LoadAnimImage(sheet, 32, 32, 0, 2);
  ASSERT_TRUE(big);
  ASSERT_EQ(ImageFrames(big), 2);
  EXPECT_EQ(big->frames[1]->pixels, std::vector<uint8_t>(32 * 32 * 4, 0));

  EXPECT_FALSE(LoadAnimImage(sheet, 0, 4, 0, 1));
  EXPECT_FALSE(LoadAnimImage(sheet, 4, -4, 0, 1));
  EXPECT_FALSE(LoadAnimImage(sheet, 4, 4, 0, 0));
}

TEST_F(ImageLoad, AutoMidHandleCentresLaterImagesOnly) {
  const std::string path = RgbFile();
  const Image before = LoadImage(path);
  EXPECT_EQ(before->handleX, 0.0f);
  EXPECT_EQ(before->handleY, 0.0f);

  AutoMidHandle(1);
  const Image loaded = LoadImage(path);
  EXPECT_EQ(loaded->handleX, 1.5f);
  EXPECT_EQ(loaded->handleY, 0.5f);
  const Image created = CreateImage(10, 6, 2, DYNAMICIMAGE);
  EXPECT_EQ(created->handleX, 5.0f);
  EXPECT_EQ(created->handleY, 3.0f);
  const Image cells = LoadAnimImage(Sheet(dir_), 4, 4, 0, 2);
  EXPECT_EQ(cells->handleX, 2.0f);
  EXPECT_EQ(before->handleX, 0.0f);

  SetImageHandle(created, -1, 7);
  EXPECT_EQ(created->handleX, -1.0f);
  EXPECT_EQ(created->handleY, 7.0f);
  MidHandleImage(before);
  EXPECT_EQ(before->handleX, 1.5f);
  EXPECT_EQ(before->handleY, 0.5f);
}

TEST_F(ImageLoad, CreateImageAndLockImage) {
  const Image image = CreateImage(5, 3, 2);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->flags, MASKEDIMAGE | FILTEREDIMAGE);
  EXPECT_EQ(ImageFrames(image), 2);
  EXPECT_EQ(image->frames[1]->pixels, std::vector<uint8_t>(5 * 3 * 4, 0));
  EXPECT_EQ(CreateImage(5, 3, 1, DYNAMICIMAGE)->flags, DYNAMICIMAGE);

  // The locked pixmap is the frame itself; locking marks the frame changed.
  const uint32_t version = image->version;
  const Pixmap locked = LockImage(image, 1);
  ASSERT_TRUE(locked);
  EXPECT_EQ(locked, image->frames[1]);
  EXPECT_NE(image->version, version);
  EXPECT_FALSE(LockImage(image, 2));
  EXPECT_FALSE(LockImage(image, -1));

  for (auto [w, h, f] : {std::tuple{0, 3, 1}, std::tuple{5, -1, 1}, std::tuple{5, 3, 0}, std::tuple{100000, 3, 1}})
    EXPECT_FALSE(CreateImage(w, h, f)) << w << "x" << h << " frames " << f;
}

TEST_F(ImageLoad, ImageFromPixmapCopiesAndNeverMasks) {
  Pixmap p = CreatePixmap(2, 1);
  p->pixels = {0, 0, 0, 255, 9, 9, 9, 255};
  const Image image = LoadImageFromPixmap(p);  // default flags: masked
  ASSERT_TRUE(image);
  EXPECT_EQ(Alphas(image), (std::vector<int>{255, 255}));
  p->pixels[4] = 1;
  EXPECT_EQ(image->frames[0]->pixels[4], 9);  // a copy, not the caller's buffer
  EXPECT_FALSE(LoadImageFromPixmap(nullptr));
  EXPECT_FALSE(LoadImageFromPixmap(CreatePixmap(0, 0)));
}

}  // namespace
