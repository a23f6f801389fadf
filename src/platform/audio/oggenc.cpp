// Encodes 16-bit PCM as Ogg Vorbis (libvorbisenc): used to produce music
// files and test material without committing binaries.
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/audio/audio_internal.h"

namespace audio {

std::vector<uint8_t> EncodeOggVorbis(const std::vector<int16_t>& samples, int channels, int rate,
                                     float quality) {
  std::vector<uint8_t> out;
  if ((channels != 1 && channels != 2) || rate <= 0) return out;

  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
    vorbis_info_clear(&info);
    return out;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  // A fixed serial number keeps the output the same from run to run.
  ogg_stream_init(&stream, 0x50424f21);

  auto append = [&out](const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
  };

  ogg_packet header, headerComment, headerCode;
  vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &headerComment);
  ogg_stream_packetin(&stream, &headerCode);
  ogg_page page;
  while (ogg_stream_flush(&stream, &page) != 0) append(page);

  const size_t frames = samples.size() / static_cast<size_t>(channels);
  constexpr size_t kChunk = 1024;
  size_t done = 0;
  bool ended = false;
  while (!ended) {
    size_t n = std::min(kChunk, frames - done);
    if (n == 0) {
      vorbis_analysis_wrote(&dsp, 0);  // end of stream
    } else {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
      for (size_t f = 0; f < n; ++f) {
        for (int c = 0; c < channels; ++c)
          buffer[c][f] = samples[(done + f) * static_cast<size_t>(channels) + static_cast<size_t>(c)] / 32768.0f;
      }
      vorbis_analysis_wrote(&dsp, static_cast<int>(n));
      done += n;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) != 0) {
          append(page);
          if (ogg_page_eos(&page)) ended = true;
        }
      }
    }
    if (n == 0) {
      while (ogg_stream_flush(&stream, &page) != 0) append(page);
      ended = true;
    }
  }

  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

}  // namespace audio
