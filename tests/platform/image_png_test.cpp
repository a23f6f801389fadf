// PNG decoding of every colour type, encoding round trips and safe saving.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "image_test_png.h"
#include "platform/core/image.h"
#include "platform/platform.h"

namespace {

using testpng::TempDir;

std::vector<uint8_t> Rgba(const Pixmap& p) { return p ? p->pixels : std::vector<uint8_t>{}; }

Pixmap Pattern(int w, int h) {
  Pixmap p = CreatePixmap(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* px = p->At(x, y);
      px[0] = static_cast<uint8_t>(x * 37 + y);
      px[1] = static_cast<uint8_t>(y * 53 + 7);
      px[2] = static_cast<uint8_t>((x ^ y) * 29);
      px[3] = static_cast<uint8_t>(x * 40 + y * 11);  // includes 0 and partial alpha
    }
  return p;
}

TEST(ImagePng, SaveThenLoadGivesTheSamePixelsAtEveryLevel) {
  TempDir dir;
  const Pixmap original = Pattern(7, 5);
  for (int level : {0, 5, 9, -3, 42}) {  // out-of-range levels are clamped
    SCOPED_TRACE(level);
    const std::string path = dir / "round.png";
    ASSERT_EQ(SavePixmapPNG(original, path, level), 1);
    bool hadAlpha = false;
    const Pixmap loaded = DecodePNGFile(path, &hadAlpha);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->width, 7);
    EXPECT_EQ(loaded->height, 5);
    EXPECT_EQ(loaded->pixels, original->pixels);
    EXPECT_TRUE(hadAlpha);
  }
  // Only the target remains: no temporary files are left behind.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST(ImagePng, FailedSaveLeavesTheExistingFileAlone) {
  TempDir dir;
  const std::string path = dir / "keep.png";
  ASSERT_EQ(SavePixmapPNG(Pattern(3, 3), path, 9), 1);
  const auto before = Rgba(LoadPixmapPNG(path));

  EXPECT_EQ(SavePixmapPNG(nullptr, path), 0);
  EXPECT_EQ(SavePixmapPNG(CreatePixmap(0, 4), path), 0);
  Pixmap shortBuffer = CreatePixmap(4, 4);
  shortBuffer->pixels.resize(10);  // inconsistent with its size: refused, not overrun
  EXPECT_EQ(SavePixmapPNG(shortBuffer, path), 0);
  EXPECT_EQ(Rgba(LoadPixmapPNG(path)), before);

  // A folder that does not exist cannot be written: 0 and nothing created.
  EXPECT_EQ(SavePixmapPNG(Pattern(2, 2), dir / "missing/shot.png"), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
}

TEST(ImagePng, SaveReplacesAnExistingFile) {
  TempDir dir;
  const std::string path = dir / "shot.png";
  ASSERT_EQ(SavePixmapPNG(Pattern(4, 4), path), 1);
  const Pixmap second = Pattern(2, 6);
  ASSERT_EQ(SavePixmapPNG(second, path), 1);
  const Pixmap loaded = LoadPixmapPNG(path);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->width, 2);
  EXPECT_EQ(loaded->pixels, second->pixels);
}

struct DecodeCase {
  const char* name;
  testpng::Spec spec;
  std::vector<uint8_t> rgba;  // expected pixels, row by row
  bool hadAlpha;
};

std::vector<DecodeCase> DecodeCases() {
  std::vector<DecodeCase> cases;
  {
    testpng::Spec s{2, 1, 8, 0, {}, {}, {0x00, 0xC8}};
    cases.push_back({"grey8", s, {0, 0, 0, 255, 200, 200, 200, 255}, false});
  }
  {
    // 1-bit grey: 0b10100000 -> white, black, white.
    testpng::Spec s{3, 1, 1, 0, {}, {}, {0xA0}};
    cases.push_back({"grey1", s, {255, 255, 255, 255, 0, 0, 0, 255, 255, 255, 255, 255}, false});
  }
  {
    // Grey with tRNS: grey level 10 is transparent.
    testpng::Spec s{2, 1, 8, 0, {}, {0, 10}, {10, 11}};
    cases.push_back({"grey8-trns", s, {10, 10, 10, 0, 11, 11, 11, 255}, true});
  }
  {
    testpng::Spec s{1, 2, 8, 4, {}, {}, {90, 128, 0, 255}};
    cases.push_back({"grey-alpha", s, {90, 90, 90, 128, 0, 0, 0, 255}, true});
  }
  {
    testpng::Spec s{2, 1, 8, 2, {}, {}, {1, 2, 3, 250, 251, 252}};
    cases.push_back({"rgb8", s, {1, 2, 3, 255, 250, 251, 252, 255}, false});
  }
  {
    // 16-bit RGB: the high byte (rounded) survives.
    testpng::Spec s{1, 1, 16, 2, {}, {}, {0xFF, 0xFF, 0x80, 0x00, 0x00, 0x10}};
    cases.push_back({"rgb16", s, {255, 128, 0, 255}, false});
  }
  {
    testpng::Spec s{1, 1, 16, 6, {}, {}, {0x12, 0x00, 0x34, 0x00, 0x56, 0x00, 0x7F, 0x00}};
    cases.push_back({"rgba16", s, {0x12, 0x34, 0x56, 0x7F}, true});
  }
  {
    // RGB with tRNS: pure red (16-bit sample values) is transparent.
    testpng::Spec s{2, 1, 8, 2, {}, {0, 255, 0, 0, 0, 0}, {255, 0, 0, 0, 0, 255}};
    cases.push_back({"rgb8-trns", s, {255, 0, 0, 0, 0, 0, 255, 255}, true});
  }
  {
    // 4-bit palette, no transparency: indices 2, 0, 1.
    testpng::Spec s{3, 1, 4, 3, {10, 20, 30, 40, 50, 60, 0, 0, 0}, {}, {0x20, 0x10}};
    cases.push_back({"palette4", s, {0, 0, 0, 255, 10, 20, 30, 255, 40, 50, 60, 255}, false});
  }
  {
    // 8-bit palette with tRNS for the first two entries.
    testpng::Spec s{3, 1, 8, 3, {10, 20, 30, 40, 50, 60, 70, 80, 90}, {0, 128}, {0, 1, 2}};
    cases.push_back({"palette8-trns", s, {10, 20, 30, 0, 40, 50, 60, 128, 70, 80, 90, 255}, true});
  }
  return cases;
}

TEST(ImagePng, DecodesEveryColourTypeToRgba) {
  TempDir dir;
  for (const DecodeCase& c : DecodeCases()) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / (std::string(c.name) + ".png");
    testpng::WriteBytes(path, testpng::Encode(c.spec));
    bool hadAlpha = !c.hadAlpha;
    const Pixmap p = DecodePNGFile(path, &hadAlpha);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width, c.spec.width);
    EXPECT_EQ(p->height, c.spec.height);
    EXPECT_EQ(p->pixels, c.rgba);
    EXPECT_EQ(hadAlpha, c.hadAlpha);
    EXPECT_EQ(Rgba(LoadPixmapPNG(path)), c.rgba);
  }
}

TEST(ImagePng, UnreadableFilesGiveNoPixmap) {
  TempDir dir;
  const std::vector<uint8_t> good = testpng::Encode({2, 2, 8, 2, {}, {}, std::vector<uint8_t>(12, 7)});
  std::vector<uint8_t> badCrc = good;
  badCrc[20] ^= 0xFF;  // inside IHDR
  const std::vector<uint8_t> truncated(good.begin(), good.begin() + good.size() / 2);
  const std::vector<uint8_t> text = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g', '\n'};
  // A header that claims 100000 x 100000 pixels.
  std::vector<uint8_t> huge = good;
  for (int k = 0; k < 2; ++k) {
    huge[16 + 4 * k] = 0;
    huge[17 + 4 * k] = 0x01;
    huge[18 + 4 * k] = 0x86;
    huge[19 + 4 * k] = 0xA0;
  }
  const uint32_t crc = testpng::Crc32(&huge[12], 17);
  for (int k = 0; k < 4; ++k) huge[29 + k] = static_cast<uint8_t>(crc >> (24 - 8 * k));

  int i = 0;
  for (const auto& bytes : {badCrc, truncated, text, std::vector<uint8_t>{}, huge}) {
    SCOPED_TRACE(i);
    const std::string path = dir / ("bad" + std::to_string(i++) + ".png");
    testpng::WriteBytes(path, bytes);
    EXPECT_FALSE(LoadPixmapPNG(path));
    EXPECT_FALSE(LoadImage(path));
  }
  EXPECT_FALSE(LoadPixmapPNG(dir / "absent.png"));
  EXPECT_FALSE(LoadPixmapPNG(dir.path().string()));  // a folder
  // A FIFO nobody writes to is refused at once rather than waited on.
  const std::string fifo = dir / "fifo.png";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(LoadPixmapPNG(fifo));
  EXPECT_FALSE(LoadImage(fifo));
}

TEST(ImagePng, CreatePixmapIsClearAndRefusesBadSizes) {
  const Pixmap p = CreatePixmap(3, 2);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->pixels, std::vector<uint8_t>(24, 0));
  EXPECT_FALSE(CreatePixmap(-1, 5));
  EXPECT_FALSE(CreatePixmap(5, -1));
  EXPECT_FALSE(CreatePixmap(100000, 100000));
}

}  // namespace
