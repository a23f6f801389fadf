// The run folder holds every asset the game loads, in the formats and
// sizes it expects. Files are checked byte by byte, without the platform
// layer, so a broken asset is told apart from a broken loader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t Be32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}
uint32_t Le32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}
uint16_t Le16(const Bytes& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }
bool Tag(const Bytes& b, size_t at, const char* tag) {
  return b.size() >= at + 4 && std::string(b.begin() + long(at), b.begin() + long(at) + 4) == tag;
}

enum class Kind { Png, Wav, Ogg, Font };

struct Asset {
  std::string path;  // below Files/
  Kind kind;
  int w = 0, h = 0;  // pictures only
};

std::vector<Asset> Expected() {
  std::vector<Asset> a = {
      {"Common/icons.png", Kind::Png, 128, 128},    // 64 cells of 16 x 16
      {"Common/logo.png", Kind::Png, 256, 128},
      {"Common/Drennic.png", Kind::Png, 256, 128},
      {"Common/badgeget.wav", Kind::Wav},
      {"Common/SVBasicManual.ttf", Kind::Font},
      {"Common/November.ttf", Kind::Font},
      {"Common/Blue Highway.ttf", Kind::Font},
      {"Common/Acknowledge TT QXV.ttf", Kind::Font},
      {"260/badges.png", Kind::Png, 256, 256},      // 16 cells of 64 x 64
      {"260/logo.png", Kind::Png, 640, 256},
      {"260/pibbo.png", Kind::Png, 64, 64},         // drawn at half size, centred
      {"260/pollen.png", Kind::Png, 64, 64},
      {"260/flower.png", Kind::Png, 64, 64},
      {"260/star.png", Kind::Png, 256, 256},
      {"260/poof.png", Kind::Png, 256, 256},        // centred on the puff at any scale
      {"260/tune.ogg", Kind::Ogg},
  };
  // Sound effects the game plays: hop, landing, flower, launch, last spare,
  // wall bounce, the hop-chain chimes, the menu click and the online blip.
  std::vector<int> sfx = {2, 3, 4, 5, 6, 7, 98, 99};
  for (int n = 10; n <= 30; ++n) sfx.push_back(n);
  for (int n : sfx) {
    char name[16];
    std::snprintf(name, sizeof name, "260/%03d.wav", n);
    a.push_back({name, Kind::Wav});
  }
  return a;
}

void CheckPng(const Bytes& b, const Asset& a) {
  static const unsigned char sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  ASSERT_GE(b.size(), 33u);
  EXPECT_TRUE(std::equal(sig, sig + 8, b.begin()));
  ASSERT_TRUE(Tag(b, 12, "IHDR"));
  EXPECT_EQ(Be32(b, 16), uint32_t(a.w));
  EXPECT_EQ(Be32(b, 20), uint32_t(a.h));
  EXPECT_EQ(b[24], 8);  // bit depth
  EXPECT_EQ(b[25], 6);  // RGBA: every picture carries its own alpha
}

void CheckWav(const Bytes& b) {
  ASSERT_GE(b.size(), 44u);
  EXPECT_TRUE(Tag(b, 0, "RIFF"));
  EXPECT_EQ(Le32(b, 4), b.size() - 8);
  EXPECT_TRUE(Tag(b, 8, "WAVE"));
  ASSERT_TRUE(Tag(b, 12, "fmt "));
  EXPECT_EQ(Le32(b, 16), 16u);
  EXPECT_EQ(Le16(b, 20), 1);  // PCM
  EXPECT_EQ(Le16(b, 22), 1);  // mono
  EXPECT_EQ(Le32(b, 24), 44100u);
  EXPECT_EQ(Le32(b, 28), 44100u * 2);
  EXPECT_EQ(Le16(b, 32), 2);
  EXPECT_EQ(Le16(b, 34), 16);
  ASSERT_TRUE(Tag(b, 36, "data"));
  uint32_t len = Le32(b, 40);
  ASSERT_EQ(len, b.size() - 44);
  ASSERT_GE(len, 2u * 441);        // at least 10 ms
  EXPECT_LE(len, 2u * 44100 * 3);  // short effects, not music
  // Audible, and starting and ending near silence so it never clicks.
  auto sample = [&](size_t i) { return int16_t(Le16(b, 44 + 2 * i)); };
  size_t n = len / 2;
  int peak = 0;
  for (size_t i = 0; i < n; ++i) peak = std::max(peak, std::abs(int(sample(i))));
  EXPECT_GT(peak, 8000);
  EXPECT_LT(std::abs(int(sample(0))), 300);
  EXPECT_LT(std::abs(int(sample(n - 1))), 300);
}

void CheckOgg(const Bytes& b) {
  ASSERT_GE(b.size(), 64u);
  EXPECT_TRUE(Tag(b, 0, "OggS"));
  // The first packet is the Vorbis identification header.
  std::string head(b.begin(), b.begin() + 64);
  EXPECT_NE(head.find("\x01vorbis"), std::string::npos);
  EXPECT_GT(b.size(), 100u * 1024);   // a real tune, tens of seconds
  EXPECT_LT(b.size(), 1024u * 1024);  // but kept small
}

void CheckFont(const Bytes& b) {
  ASSERT_GE(b.size(), 4u * 1024);
  uint32_t magic = Be32(b, 0);
  EXPECT_TRUE(magic == 0x00010000u || magic == 0x74727565u /* true */ ||
              magic == 0x4F54544Fu /* OTTO */)
      << std::hex << magic;
}

void CheckAsset(const std::string& files, const Asset& a) {
  Bytes b = ReadAll(files + a.path);
  ASSERT_FALSE(b.empty()) << "missing or empty";
  switch (a.kind) {
    case Kind::Png: CheckPng(b, a); break;
    case Kind::Wav: CheckWav(b); break;
    case Kind::Ogg: CheckOgg(b); break;
    case Kind::Font: CheckFont(b); break;
  }
}

TEST(RunFolderAssets, EveryAssetIsPresentAndWellFormed) {
  const std::string files = std::string(PIBBO_RUN_DIR) + "/Files/";
  for (const Asset& a : Expected()) {
    SCOPED_TRACE(a.path);
    CheckAsset(files, a);  // a failed file does not hide the files after it
  }
}

}  // namespace
