// A minimal PNG writer for test fixtures: any colour type and bit depth,
// optional PLTE and tRNS chunks, the image data stored in uncompressed
// deflate blocks. It needs no library, so the decoder under test is checked
// against files it did not write itself.
#pragma once

#include "test_support.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testpng {

inline uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

inline void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  Put32(out, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  Put32(out, Crc32(body.data(), body.size()));
}

// zlib stream of stored (uncompressed) deflate blocks.
inline std::vector<uint8_t> ZlibStored(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = {0x78, 0x01};
  size_t pos = 0;
  do {
    const size_t n = std::min<size_t>(raw.size() - pos, 65535);
    const bool last = pos + n == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<uint8_t>(n));
    out.push_back(static_cast<uint8_t>(n >> 8));
    out.push_back(static_cast<uint8_t>(~n));
    out.push_back(static_cast<uint8_t>(~n >> 8));
    out.insert(out.end(), raw.begin() + pos, raw.begin() + pos + n);
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  Put32(out, (b << 16) | a);
  return out;
}

struct Spec {
  int width = 1, height = 1;
  int bitDepth = 8;
  int colorType = 6;  // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
  std::vector<uint8_t> palette;  // PLTE body (RGB triples)
  std::vector<uint8_t> trns;     // tRNS body, empty for none
  // Packed scanlines WITHOUT the filter byte: each row is
  // ceil(width * channels * bitDepth / 8) bytes.
  std::vector<uint8_t> rows;
};

inline std::vector<uint8_t> Encode(const Spec& s) {
  const int channels = s.colorType == 2 ? 3 : s.colorType == 4 ? 2 : s.colorType == 6 ? 4 : 1;
  const size_t rowBytes = (static_cast<size_t>(s.width) * channels * s.bitDepth + 7) / 8;
  std::vector<uint8_t> raw;
  for (int y = 0; y < s.height; ++y) {
    raw.push_back(0);  // filter: none
    raw.insert(raw.end(), s.rows.begin() + y * rowBytes, s.rows.begin() + (y + 1) * rowBytes);
  }
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  Put32(ihdr, static_cast<uint32_t>(s.width));
  Put32(ihdr, static_cast<uint32_t>(s.height));
  ihdr.push_back(static_cast<uint8_t>(s.bitDepth));
  ihdr.push_back(static_cast<uint8_t>(s.colorType));
  ihdr.push_back(0);
  ihdr.push_back(0);
  ihdr.push_back(0);
  Chunk(out, "IHDR", ihdr);
  if (!s.palette.empty()) Chunk(out, "PLTE", s.palette);
  if (!s.trns.empty()) Chunk(out, "tRNS", s.trns);
  Chunk(out, "IDAT", ZlibStored(raw));
  Chunk(out, "IEND", {});
  return out;
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder under the system's temporary folder, removed on scope exit.
class TempDir : public testsupport::TempDir {
 public:
  TempDir() : testsupport::TempDir("img") {}
};

}  // namespace testpng
