// Helpers for the audio tests: a WAV file builder that can produce the odd
// layouts real files have (extra chunks, odd sizes, wrong lengths), a
// scratch folder, and a fixture that starts each test on a fresh headless
// back end with no audio driver.
#pragma once

#include "test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/audio/audio_internal.h"
#include "platform/core/front_internal.h"
#include "platform/headless.h"
#include "platform/platform.h"

namespace testwav {

inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
inline void Chunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body,
                  int64_t claimedSize = -1, bool pad = true) {
  out.insert(out.end(), id, id + 4);
  Put32(out, claimedSize >= 0 ? static_cast<uint32_t>(claimedSize) : static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  if (pad && (body.size() & 1)) out.push_back(0);
}
inline std::vector<uint8_t> Fmt(int format, int channels, int rate, int bits) {
  std::vector<uint8_t> f;
  Put16(f, static_cast<uint32_t>(format));
  Put16(f, static_cast<uint32_t>(channels));
  Put32(f, static_cast<uint32_t>(rate));
  Put32(f, static_cast<uint32_t>(rate * channels * bits / 8));
  Put16(f, static_cast<uint32_t>(channels * bits / 8));
  Put16(f, static_cast<uint32_t>(bits));
  return f;
}
inline std::vector<uint8_t> Riff(const std::vector<uint8_t>& chunks) {
  std::vector<uint8_t> out{'R', 'I', 'F', 'F'};
  Put32(out, static_cast<uint32_t>(chunks.size() + 4));
  out.insert(out.end(), {'W', 'A', 'V', 'E'});
  out.insert(out.end(), chunks.begin(), chunks.end());
  return out;
}
inline std::vector<uint8_t> Pcm16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> b;
  for (int16_t s : samples) Put16(b, static_cast<uint16_t>(s));
  return b;
}
// A plain 16-bit PCM file.
inline std::vector<uint8_t> Wav16(const std::vector<int16_t>& samples, int channels, int rate) {
  std::vector<uint8_t> chunks;
  Chunk(chunks, "fmt ", Fmt(1, channels, rate, 16));
  Chunk(chunks, "data", Pcm16(samples));
  return Riff(chunks);
}

}  // namespace testwav

// A fresh headless back end without an audio driver, and a scratch folder.
class AudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PlatformInit(BackendKind::Headless);
    AudioShutdown();
    dir_ = testsupport::MakeTempDir("audio");
  }
  void TearDown() override {
    AudioShutdown();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  // A sound straight from samples, without a file.
  static Sound Make(std::vector<int16_t> samples, int channels = 1, int rate = audio::kMixRate, int flags = 0) {
    auto s = std::make_shared<TSound>();
    s->samples = std::move(samples);
    s->channels = channels;
    s->rate = rate;
    s->flags = flags;
    return s;
  }
  static Sound Constant(int frames, int16_t value, int flags = 0) {
    return Make(std::vector<int16_t>(static_cast<size_t>(frames), value), 1, audio::kMixRate, flags);
  }

  std::filesystem::path dir_;
};
