// The music generator's instruments: two drum kits and eight sounds each
// of bass, lead and accompaniment. Every tonal sound is one note at its
// reference pitch (bass C3, lead and accompaniment C4); the generator
// transposes it by playback rate. All decay to silence on their own.
#include <algorithm>
#include <cmath>

#include "synth.h"

namespace assetgen {
namespace {

constexpr double kBassHz = 130.8128;  // C3
constexpr double kToneHz = 261.6256;  // C4

// A plucked string (Karplus-Strong): a noise burst in a delay line whose
// average of neighbours dulls it as it rings.
Wave Pluck(double hz, double length, float gain, double brightness, uint32_t seed) {
  const int period = std::max(2, int(kRate / hz + 0.5));
  std::vector<float> line(period);
  Noise noise(seed);
  for (float& s : line) s = noise.Next();
  Wave w(Samples(length));
  const double keep = 0.5 + 0.5 * brightness;  // weight of the newer sample
  for (size_t i = 0; i < w.size(); ++i) {
    const size_t at = i % period;
    const float out = line[at];
    const float next = line[(at + 1) % period];
    line[at] = float((keep * out + (1 - keep) * next) * 0.996);
    w[i] = out * gain * EnvAD(double(i) / kRate, 0.001, length);
  }
  return w;
}

// Sine partials (ratio, level) under one decay, with a soft attack.
Wave Additive(double hz, double length, double attack, std::initializer_list<std::pair<double, double>> partials,
              float gain, double vibratoHz = 0, double vibratoCents = 0) {
  Wave w(Samples(length));
  std::vector<double> phase(partials.size(), 0.0);
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = double(i) / kRate;
    const double vib = vibratoHz > 0 ? std::pow(2.0, vibratoCents / 1200 * std::sin(kTau * vibratoHz * t) *
                                                          std::min(1.0, t / 0.15))
                                     : 1.0;
    double v = 0;
    size_t k = 0;
    for (const auto& [ratio, level] : partials) {
      phase[k] += hz * ratio * vib / kRate;
      // Higher partials fade faster, as on real instruments.
      v += level * std::sin(kTau * phase[k]) * std::exp(-t * ratio * 1.2 / length);
      ++k;
    }
    w[i] = float(v) * gain * EnvAD(t, attack, length);
  }
  return w;
}

// A simple two-operator FM tone: the modulator's depth decays with the note.
Wave Fm(double hz, double ratio, double index, double length, float gain) {
  Wave w(Samples(length));
  double pc = 0, pm = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = double(i) / kRate;
    pm += hz * ratio / kRate;
    pc += hz / kRate;
    const double depth = index * std::exp(-t * 4 / length);
    w[i] = float(std::sin(kTau * pc + depth * std::sin(kTau * pm))) * gain * EnvAD(t, 0.003, length);
  }
  return w;
}

Wave Shaped(Shape shape, double hz, double length, double attack, double cutoff, float gain, double vibHz = 0,
            double vibCents = 0) {
  Tone t{shape, hz, hz, 0, length, attack, gain, vibHz, vibCents};
  Wave w = Render(t);
  if (cutoff > 0) LowPass(w, cutoff);
  return w;
}

Wave Kick(double f0, double f1, double length, float gain) {
  Wave w = Render(Tone{Shape::Sine, f0, f1, 0.06, length, 0.001, gain});
  MixInto(w, NoiseBurst(7, 0.012, 4000, 1500, 0, 0.0005, 0.3f), 0, 1.0f);
  return w;
}

Wave Snare(uint32_t seed, double length, float tone, float gain) {
  Wave w = NoiseBurst(seed, length, 7000, 2500, 300, 0.001, gain);
  MixInto(w, Render(Tone{Shape::Triangle, 220, 160, 0.05, length * 0.6, 0.001, tone}), 0, 1.0f);
  return w;
}

Wave Tom(double hz, double length, float gain) {
  return Render(Tone{Shape::Sine, hz * 1.5, hz, 0.08, length, 0.001, gain});
}

Wave Clap(float gain) {
  Wave w;
  for (int k = 0; k < 3; ++k) MixInto(w, NoiseBurst(40 + k, 0.02, 3000, 2000, 800, 0.0005, gain), Samples(0.011 * k), 1);
  MixInto(w, NoiseBurst(44, 0.18, 2600, 1500, 700, 0.001, gain * 0.7f), Samples(0.033), 1);
  return w;
}

Wave DrumA(int n) {
  switch (n) {
    case 1: return Kick(150, 48, 0.35, 1.0f);
    case 2: return Snare(11, 0.22, 0.5f, 0.8f);
    case 3: return Hat(13, 0.05, 0.45f);
    case 4: return Hat(17, 0.32, 0.4f);
    case 5: return Tom(98, 0.35, 0.8f);
    case 6: return Tom(147, 0.3, 0.75f);
    case 7: return Clap(0.7f);
    default: {  // rim
      Wave w = Render(Tone{Shape::Triangle, 1700, 1500, 0, 0.035, 0.0005, 0.5f});
      MixInto(w, NoiseBurst(19, 0.02, 6000, 4000, 2000, 0.0005, 0.3f), 0, 1);
      return w;
    }
  }
}

// Kit B plays the same lines as kit A in lighter colours: its numbers take
// the same roles (1 low, 2 back beat, 3 and 4 the running beat, 5 and 6
// toms, 7 and 8 accents).
Wave DrumB(int n) {
  switch (n) {
    case 1: return Kick(110, 45, 0.25, 0.7f);                                  // soft kick
    case 2: {                                                                   // tambourine
      Wave w = NoiseBurst(23, 0.2, 11000, 8000, 5000, 0.001, 0.35f);
      MixInto(w, Bell(3200, 0.15, 0.12f), 0, 1);
      return w;
    }
    case 3: return NoiseBurst(21, 0.06, 9000, 7000, 4500, 0.008, 0.3f);       // shaker
    case 4: return NoiseBurst(25, 0.18, 9000, 6500, 4000, 0.03, 0.3f);        // long shaker
    case 5: return Render(Tone{Shape::Sine, 230, 200, 0.04, 0.25, 0.001, 0.75f});  // low conga
    case 6: return Render(Tone{Shape::Sine, 340, 310, 0.03, 0.2, 0.001, 0.7f});    // high conga
    case 7: return Render(Tone{Shape::Sine, 2500, 2450, 0, 0.05, 0.0005, 0.5f});   // clave
    default: return Render(Tone{Shape::Sine, 1050, 980, 0, 0.07, 0.0005, 0.55f});  // wood block
  }
}

Wave Bass(int n) {
  const double f = kBassHz;
  switch (n) {
    case 1: return Pluck(f, 0.7, 0.9f, 0.2, 101);
    case 2: return Shaped(Shape::Saw, f, 0.5, 0.004, 700, 0.7f);
    case 3: return Shaped(Shape::Square, f, 0.45, 0.004, 600, 0.6f);
    case 4: return Additive(f, 0.6, 0.004, {{1, 1.0}, {2, 0.35}, {3, 0.12}}, 0.8f);
    case 5: return Fm(f, 1.0, 2.2, 0.5, 0.75f);
    case 6: return Shaped(Shape::Triangle, f, 0.6, 0.003, 0, 0.9f);
    case 7: return Fm(f, 2.0, 1.4, 0.45, 0.7f);
    default: return Pluck(f, 0.9, 0.9f, 0.05, 108);
  }
}

Wave Lead(int n) {
  const double f = kToneHz;
  switch (n) {
    case 1: return Shaped(Shape::Square, f, 0.45, 0.008, 2500, 0.45f, 5.5, 12);
    case 2: return Shaped(Shape::Saw, f, 0.5, 0.01, 2200, 0.45f, 5, 10);
    case 3: return Shaped(Shape::Triangle, f, 0.55, 0.006, 0, 0.8f, 5.5, 15);
    case 4: {  // flute: a sine with a breath of noise
      Wave w = Additive(f, 0.6, 0.04, {{1, 1.0}, {2, 0.12}, {3, 0.05}}, 0.7f, 5, 14);
      MixInto(w, NoiseBurst(131, 0.12, 3000, 2000, 1200, 0.02, 0.06f), 0, 1);
      return w;
    }
    case 5: return Bell(f * 2, 0.8, 0.6f);
    case 6: return Pluck(f, 0.6, 0.8f, 0.6, 136);
    case 7: return Additive(f, 0.5, 0.006, {{1, 1.0}, {2, 0.5}, {3, 0.3}, {4, 0.2}, {6, 0.1}}, 0.45f);  // organ
    default: return Fm(f, 3.5, 1.6, 0.5, 0.5f);
  }
}

Wave Accompany(int n) {
  const double f = kToneHz;
  switch (n) {
    case 1: return Fm(f, 1.0, 1.2, 0.9, 0.55f);  // electric piano
    case 2: return Additive(f, 0.5, 0.002, {{1, 1.0}, {4, 0.25}, {10, 0.05}}, 0.65f);  // marimba
    case 3: return Pluck(f, 0.9, 0.6f, 0.4, 143);  // guitar
    case 4: return Additive(f, 1.0, 0.06, {{1, 1.0}, {2, 0.4}, {3, 0.2}}, 0.5f, 4, 8);  // soft pad
    case 5: return Shaped(Shape::Triangle, f, 0.8, 0.02, 1800, 0.6f);
    case 6: return Bell(f, 1.0, 0.45f);
    case 7: return Additive(f, 0.7, 0.003, {{1, 1.0}, {2, 0.6}, {3, 0.25}, {5, 0.1}}, 0.45f);  // harp
    default: return Shaped(Shape::Saw, f, 0.9, 0.05, 1200, 0.35f, 4, 6);  // strings
  }
}

}  // namespace

Wave MakeInstrument(int group, int n) {
  Wave w;
  switch (group) {
    case 0: w = DrumA(n); break;
    case 1: w = DrumB(n); break;
    case 2: w = Bass(n); break;
    case 3: w = Lead(n); break;
    default: w = Accompany(n); break;
  }
  // Peaks that leave room for five voices sounding at once at full volume,
  // and within a kit the cymbals and shakers below the drums.
  static const float kPeak[5] = {0.6f, 0.6f, 0.55f, 0.45f, 0.55f};
  static const float kLevel[2][8] = {{1.0f, 0.85f, 0.45f, 0.45f, 0.8f, 0.8f, 0.75f, 0.6f},
                                     {0.8f, 0.55f, 0.4f, 0.4f, 0.75f, 0.7f, 0.55f, 0.6f}};
  const int g = std::clamp(group, 0, 4);
  const float level = g < 2 ? kLevel[g][std::clamp(n, 1, 8) - 1] : 1.0f;
  Finish(w, kPeak[g] * level, 1, 10);
  return w;
}

}  // namespace assetgen
