// Loading sounds: RIFF WAVE (PCM 8/16-bit, mono/stereo, any rate) and Ogg
// Vorbis (through vorbisfile), both decoded whole to signed 16-bit samples.
#include <vorbis/vorbisfile.h>

#include <bit>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/audio/audio_internal.h"

namespace audio {
namespace {

// Files larger than this are refused rather than read into memory.
constexpr size_t kMaxFileBytes = size_t{1} << 30;
// Highest sample rate accepted from a file header.
constexpr uint32_t kMaxRate = 768000;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  FILE* f = OpenRegularFile(path);
  if (!f) return false;
  bool ok = true;
  uint8_t buffer[65536];
  for (;;) {
    size_t n = std::fread(buffer, 1, sizeof buffer, f);
    if (n == 0) break;
    if (bytes.size() + n > kMaxFileBytes) {
      ok = false;
      break;
    }
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  if (std::ferror(f)) ok = false;
  std::fclose(f);
  return ok;
}

// Memory source for vorbisfile.
struct MemorySource {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

size_t MemRead(void* ptr, size_t size, size_t count, void* source) {
  auto* m = static_cast<MemorySource*>(source);
  if (size == 0) return 0;
  size_t left = m->size - m->pos;
  size_t items = std::min(count, left / size);
  std::memcpy(ptr, m->data + m->pos, items * size);
  m->pos += items * size;
  return items;
}

int MemSeek(void* source, ogg_int64_t offset, int whence) {
  auto* m = static_cast<MemorySource*>(source);
  ogg_int64_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<ogg_int64_t>(m->pos);
  else if (whence == SEEK_END) base = static_cast<ogg_int64_t>(m->size);
  else if (whence != SEEK_SET) return -1;
  ogg_int64_t target = base + offset;
  if (target < 0 || target > static_cast<ogg_int64_t>(m->size)) return -1;
  m->pos = static_cast<size_t>(target);
  return 0;
}

long MemTell(void* source) { return static_cast<long>(static_cast<MemorySource*>(source)->pos); }

}  // namespace

Sound DecodeWav(const uint8_t* data, size_t size, int flags) {
  if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
    return nullptr;

  bool haveFormat = false;
  uint16_t format = 0, channels = 0, bits = 0;
  uint32_t rate = 0;
  const uint8_t* samples = nullptr;
  size_t sampleBytes = 0;

  // Walk the chunks; the RIFF size field is not trusted (writers often get
  // it wrong), the real end of the data is. A chunk that runs past the end
  // is cut to what is there.
  size_t at = 12;
  while (size - at >= 8) {
    const uint8_t* head = data + at;
    uint32_t chunkSize = U32(head + 4);
    size_t body = at + 8;
    size_t avail = std::min<size_t>(chunkSize, size - body);
    if (std::memcmp(head, "fmt ", 4) == 0) {
      if (avail < 16) return nullptr;
      const uint8_t* f = data + body;
      format = U16(f);
      channels = U16(f + 2);
      rate = U32(f + 4);
      bits = U16(f + 14);
      if (format == 0xFFFE) {  // extensible: the sub-format GUID tells the real kind
        if (avail < 40) return nullptr;
        format = U16(f + 24);
      }
      haveFormat = true;
    } else if (std::memcmp(head, "data", 4) == 0 && !samples) {
      samples = data + body;
      sampleBytes = avail;
    }
    // Chunks are padded to an even size.
    uint64_t next = static_cast<uint64_t>(body) + chunkSize + (chunkSize & 1u);
    if (next >= size) break;
    at = static_cast<size_t>(next);
  }

  if (!haveFormat || !samples) return nullptr;
  if (format != 1 || (channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate == 0 ||
      rate > kMaxRate)
    return nullptr;

  auto sound = std::make_shared<TSound>();
  sound->rate = static_cast<int>(rate);
  sound->channels = channels;
  sound->flags = flags;
  size_t bytesPerSample = bits / 8;
  size_t frames = sampleBytes / (bytesPerSample * channels);
  size_t count = frames * channels;
  sound->samples.resize(count);
  if (bits == 8) {
    for (size_t i = 0; i < count; ++i) sound->samples[i] = static_cast<int16_t>((samples[i] - 128) * 256);
  } else {
    for (size_t i = 0; i < count; ++i) sound->samples[i] = static_cast<int16_t>(U16(samples + 2 * i));
  }
  return sound;
}

Sound DecodeOgg(const uint8_t* data, size_t size, int flags) {
  if (!data || size < 4 || std::memcmp(data, "OggS", 4) != 0) return nullptr;
  MemorySource source{data, size, 0};
  ov_callbacks callbacks{MemRead, MemSeek, nullptr, MemTell};
  OggVorbis_File file;
  if (ov_open_callbacks(&source, &file, nullptr, 0, callbacks) != 0) return nullptr;

  vorbis_info* info = ov_info(&file, -1);
  if (!info || info->channels < 1 || info->channels > 2 || info->rate <= 0 ||
      info->rate > static_cast<long>(kMaxRate)) {
    ov_clear(&file);
    return nullptr;
  }
  auto sound = std::make_shared<TSound>();
  sound->rate = static_cast<int>(info->rate);
  sound->channels = info->channels;
  sound->flags = flags;

  ogg_int64_t total = ov_pcm_total(&file, -1);
  if (total > 0 && total < (ogg_int64_t{1} << 27)) sound->samples.reserve(static_cast<size_t>(total) * info->channels);

  const int bigEndian = std::endian::native == std::endian::big ? 1 : 0;
  char buffer[8192];
  int currentLink = -1;
  for (;;) {
    int link = 0;
    long got = ov_read(&file, buffer, sizeof buffer, bigEndian, 2, 1, &link);
    if (got == OV_HOLE) continue;  // a gap in the data: go on after it
    if (got <= 0) break;           // end, or damage that cannot be skipped
    if (link != currentLink) {
      // A chained stream may change its layout; keep only what matches the
      // first part.
      vorbis_info* li = ov_info(&file, link);
      if (!li || li->channels != sound->channels || li->rate != sound->rate) break;
      currentLink = link;
    }
    size_t values = static_cast<size_t>(got) / 2;
    size_t old = sound->samples.size();
    sound->samples.resize(old + values);
    std::memcpy(sound->samples.data() + old, buffer, values * 2);
  }
  ov_clear(&file);
  // Whole frames only.
  sound->samples.resize(sound->Frames() * sound->channels);
  return sound;
}

}  // namespace audio

Sound LoadSound(const std::string& path, int flags) {
  std::vector<uint8_t> bytes;
  if (!audio::ReadWholeFile(path, bytes) || bytes.size() < 4) return nullptr;
  Sound sound;
  if (std::memcmp(bytes.data(), "RIFF", 4) == 0) sound = audio::DecodeWav(bytes.data(), bytes.size(), flags);
  else if (std::memcmp(bytes.data(), "OggS", 4) == 0) sound = audio::DecodeOgg(bytes.data(), bytes.size(), flags);
  if (sound) {
    const size_t slash = path.find_last_of('/');
    sound->source = slash == std::string::npos ? path : path.substr(slash + 1);
  }
  return sound;
}
