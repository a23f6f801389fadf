// Oscillators, envelopes, noise, and the WAV and Ogg Vorbis writers.
#include "synth.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstring>

namespace assetgen {

// ---------------------------------------------------------------- synthesis

float Noise::Next() {
  // xorshift32: small, fast and the same everywhere.
  s_ ^= s_ << 13;
  s_ ^= s_ >> 17;
  s_ ^= s_ << 5;
  return float(s_ & 0xFFFFFF) / float(0x7FFFFF) - 1.0f;
}

namespace {
double PolyBlep(double t, double dt) {
  if (dt <= 0) return 0;
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0;
}
}  // namespace

float Osc(Shape s, double phase, double dt) {
  phase -= std::floor(phase);
  switch (s) {
    case Shape::Sine: return float(std::sin(kTau * phase));
    case Shape::Triangle: return float(phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase);
    case Shape::Square: {
      double v = phase < 0.5 ? 1.0 : -1.0;
      v += PolyBlep(phase, dt);
      double p2 = phase + 0.5;
      p2 -= std::floor(p2);
      v -= PolyBlep(p2, dt);
      return float(v);
    }
    case Shape::Saw: return float(2 * phase - 1 - PolyBlep(phase, dt));
  }
  return 0;
}

float EnvAD(double t, double attack, double length) {
  if (t < 0 || t >= length) return 0;
  if (t < attack) return float(t / attack);
  double k = (t - attack) / std::max(1e-6, length - attack);
  // Exponential fall that reaches zero exactly at the end.
  return float((std::exp(-5.0 * k) - std::exp(-5.0)) / (1 - std::exp(-5.0)));
}

float EnvADSR(double t, double a, double d, float s, double gate, double r) {
  auto level = [&](double u) -> double {
    if (u < a) return u / a;
    if (u < a + d) return 1.0 - (1.0 - s) * (u - a) / d;
    return s;
  };
  if (t < 0) return 0;
  if (t < gate) return float(level(t));
  double after = t - gate;
  if (after >= r) return 0;
  return float(level(gate) * (1.0 - after / r));
}

Wave Render(const Tone& t) {
  Wave w(Samples(t.length));
  double phase = 0;
  double glide = t.glide > 0 ? t.glide : t.length;
  for (size_t i = 0; i < w.size(); ++i) {
    double sec = double(i) / kRate;
    double k = std::min(1.0, sec / glide);
    double hz = t.f0 * std::pow(t.f1 / t.f0, k);
    if (t.vibratoHz > 0)
      hz *= std::pow(2.0, t.vibratoCents / 1200.0 * std::sin(kTau * t.vibratoHz * sec));
    double dt = hz / kRate;
    w[i] = Osc(t.shape, phase, dt) * EnvAD(sec, t.attack, t.length) * t.gain;
    phase += dt;
  }
  return w;
}

Wave NoiseBurst(uint32_t seed, double length, double c0, double c1, double hp, double attack,
                float gain) {
  Noise n(seed);
  Wave w(Samples(length));
  double lp = 0, hpState = 0, prev = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    double sec = double(i) / kRate;
    double cut = c0 * std::pow(c1 / c0, sec / length);
    double a = 1.0 - std::exp(-kTau * cut / kRate);
    lp += a * (n.Next() - lp);
    double v = lp;
    if (hp > 0) {
      double b = std::exp(-kTau * hp / kRate);
      hpState = b * (hpState + v - prev);
      prev = v;
      v = hpState;
    }
    w[i] = float(v) * EnvAD(sec, attack, length) * gain;
  }
  return w;
}

Wave Bell(double hz, double length, float gain) {
  struct Partial {
    double ratio, amp, decay;
  };
  const Partial parts[] = {{1.0, 1.0, 1.0}, {2.0, 0.35, 0.6}, {2.76, 0.25, 0.4}, {5.4, 0.1, 0.2}};
  Wave w(Samples(length));
  for (const Partial& p : parts) {
    for (size_t i = 0; i < w.size(); ++i) {
      double sec = double(i) / kRate;
      w[i] += float(std::sin(kTau * hz * p.ratio * sec) * p.amp) *
              EnvAD(sec, 0.002, length * p.decay) * gain * 0.6f;
    }
  }
  return w;
}

Wave Hat(uint32_t seed, double length, float gain) {
  return NoiseBurst(seed, length, 12000, 9000, 6000, 0.0005, gain);
}

void LowPass(Wave& w, double cutoffHz) {
  double a = 1.0 - std::exp(-kTau * cutoffHz / kRate), s = 0;
  for (float& v : w) {
    s += a * (v - s);
    v = float(s);
  }
}

void MixInto(Wave& dst, const Wave& src, int at, float gain) {
  if (at < 0) return;
  if (dst.size() < size_t(at) + src.size()) dst.resize(size_t(at) + src.size(), 0.0f);
  for (size_t i = 0; i < src.size(); ++i) dst[size_t(at) + i] += src[i] * gain;
}

void Finish(Wave& w, float peak, float fadeInMs, float fadeOutMs) {
  float top = 0;
  for (float v : w) top = std::max(top, std::fabs(v));
  if (top > 0) {
    float k = peak / top;
    for (float& v : w) v *= k;
  }
  int in = Samples(fadeInMs / 1000.0), out = Samples(fadeOutMs / 1000.0);
  int n = int(w.size());
  for (int i = 0; i < in && i < n; ++i) w[size_t(i)] *= float(i) / float(in);
  for (int i = 0; i < out && i < n; ++i) w[size_t(n - 1 - i)] *= float(i) / float(out);
}

// ---------------------------------------------------------------- WAV

namespace {
void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void Put16(Bytes& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void PutTag(Bytes& b, const char* tag) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(tag[i]));
}
}  // namespace

Bytes EncodeWav16(const Wave& w) {
  Bytes b;
  b.reserve(44 + w.size() * 2);
  uint32_t dataLen = uint32_t(w.size() * 2);
  PutTag(b, "RIFF");
  Put32(b, 36 + dataLen);
  PutTag(b, "WAVE");
  PutTag(b, "fmt ");
  Put32(b, 16);
  Put16(b, 1);  // PCM
  Put16(b, 1);  // mono
  Put32(b, kRate);
  Put32(b, kRate * 2);
  Put16(b, 2);
  Put16(b, 16);
  PutTag(b, "data");
  Put32(b, dataLen);
  for (float v : w) {
    long s = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
    Put16(b, uint16_t(int16_t(s)));
  }
  return b;
}

// ---------------------------------------------------------------- Ogg Vorbis

Bytes EncodeOgg(const std::vector<float>& stereo, float quality) {
  Bytes out;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 2, kRate, quality) != 0) {
    vorbis_info_clear(&vi);
    return out;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_comment_add_tag(&vc, "TITLE", "Pibbo Zorravel");
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 0x260);  // fixed serial: same bytes every build

  auto emit = [&](const ogg_page& pg) {
    out.insert(out.end(), pg.header, pg.header + pg.header_len);
    out.insert(out.end(), pg.body, pg.body + pg.body_len);
  };
  ogg_packet hdr, hdrComm, hdrCode;
  vorbis_analysis_headerout(&vd, &vc, &hdr, &hdrComm, &hdrCode);
  ogg_stream_packetin(&os, &hdr);
  ogg_stream_packetin(&os, &hdrComm);
  ogg_stream_packetin(&os, &hdrCode);
  ogg_page pg;
  while (ogg_stream_flush(&os, &pg) != 0) emit(pg);

  const size_t frames = stereo.size() / 2;
  const size_t chunk = 1024;
  size_t pos = 0;
  bool eos = false;
  while (!eos) {
    size_t n = std::min(chunk, frames - pos);
    if (n == 0) {
      vorbis_analysis_wrote(&vd, 0);
    } else {
      float** buf = vorbis_analysis_buffer(&vd, int(n));
      for (size_t i = 0; i < n; ++i) {
        buf[0][i] = stereo[2 * (pos + i)];
        buf[1][i] = stereo[2 * (pos + i) + 1];
      }
      vorbis_analysis_wrote(&vd, int(n));
      pos += n;
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        while (!eos && ogg_stream_pageout(&os, &pg) != 0) {
          emit(pg);
          if (ogg_page_eos(&pg)) eos = true;
        }
      }
    }
    if (n == 0 && !eos) {
      // All input given and every packet out: flush what remains.
      while (ogg_stream_flush(&os, &pg) != 0) {
        emit(pg);
        if (ogg_page_eos(&pg)) eos = true;
      }
      eos = true;
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

}  // namespace assetgen
