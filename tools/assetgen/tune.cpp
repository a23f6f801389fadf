// The game's tune: 24 bars in C major at 120 beats a minute (48 s), with
// a square-wave lead, a bouncing bass, off-beat chord plucks and a small
// drum kit. The last bar leads back into the first, so the tune can be
// started again the moment it ends.
#include <algorithm>
#include <array>

#include "synth.h"

namespace assetgen {
namespace {

constexpr double kBeat = 0.5;            // seconds per beat
constexpr double kEighth = kBeat / 2;    // the grid of every part
constexpr int kEighthsPerBar = 8;

struct Note {
  int midi;  // 0 for a rest
  int len;   // in eighths
};

// Melody bars 1..16; the tune plays 1-16 and then 1-8 again.
const std::vector<std::vector<Note>> kMelody = {
    {{76, 2}, {79, 1}, {76, 1}, {72, 2}, {74, 1}, {76, 1}},   // C
    {{74, 2}, {71, 1}, {74, 1}, {79, 3}, {0, 1}},             // G
    {{72, 1}, {76, 1}, {81, 2}, {79, 1}, {76, 1}, {72, 2}},   // Am
    {{77, 2}, {76, 1}, {74, 1}, {72, 4}},                     // F
    {{76, 2}, {79, 1}, {76, 1}, {84, 2}, {83, 1}, {81, 1}},   // C
    {{79, 2}, {74, 1}, {76, 1}, {77, 2}, {76, 1}, {74, 1}},   // G
    {{76, 1}, {72, 1}, {69, 2}, {71, 1}, {72, 1}, {76, 2}},   // Am
    {{74, 3}, {72, 1}, {74, 2}, {67, 2}},                     // F G
    {{81, 2}, {81, 1}, {79, 1}, {77, 2}, {81, 2}},            // F
    {{79, 3}, {77, 1}, {76, 2}, {74, 2}},                     // G
    {{76, 2}, {79, 1}, {83, 1}, {83, 2}, {81, 1}, {79, 1}},   // Em
    {{81, 4}, {0, 2}, {76, 1}, {79, 1}},                      // Am
    {{81, 2}, {84, 1}, {81, 1}, {79, 2}, {77, 2}},            // F
    {{79, 1}, {81, 1}, {79, 1}, {77, 1}, {76, 2}, {74, 2}},   // G
    {{72, 1}, {76, 1}, {79, 1}, {84, 1}, {88, 2}, {86, 1}, {84, 1}},  // C
    {{84, 4}, {0, 4}},                                        // C
};

// Chord of each bar as (root, third, fifth); bar 8 changes at its middle.
struct Chord {
  int root, third, fifth;
};
const Chord C{48, 52, 55}, G{43, 47, 50}, Am{45, 48, 52}, F{41, 45, 48}, Em{40, 43, 47};
const std::array<Chord, 16> kChordA = {C, G, Am, F, C, G, Am, F, F, G, Em, Am, F, G, C, C};
const std::array<Chord, 16> kChordB = {C, G, Am, F, C, G, Am, G, F, G, Em, Am, F, G, C, C};

constexpr int kBars = 24;

struct StereoBus {
  std::vector<float> l, r;
  explicit StereoBus(size_t n) : l(n, 0.0f), r(n, 0.0f) {}
  void Add(const Wave& w, double at, float gain, float pan) {  // pan -1..1
    size_t start = size_t(Samples(at));
    float gl = gain * std::min(1.0f, 1.0f - pan), gr = gain * std::min(1.0f, 1.0f + pan);
    for (size_t i = 0; i < w.size() && start + i < l.size(); ++i) {
      l[start + i] += w[i] * gl;
      r[start + i] += w[i] * gr;
    }
  }
};

Wave Lead(int midi, double seconds) {
  double hz = MidiHz(midi);
  double gate = seconds * 0.85, rel = 0.06;
  Wave w(Samples(gate + rel));
  double phase = 0, phase2 = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = double(i) / kRate;
    // Vibrato fades in on longer notes.
    double vib = std::min(1.0, std::max(0.0, (t - 0.15) / 0.2));
    double f = hz * std::pow(2.0, 0.12 / 12.0 * vib * std::sin(kTau * 5.5 * t));
    double dt = f / kRate;
    float v = 0.55f * Osc(Shape::Square, phase, dt) + 0.45f * Osc(Shape::Triangle, phase2, dt);
    w[i] = v * EnvADSR(t, 0.006, 0.09, 0.65f, gate, rel);
    phase += dt;
    phase2 += dt * 1.003;  // a touch of detune for warmth
  }
  LowPass(w, 3200);
  return w;
}

Wave BassNote(int midi, double seconds) {
  double hz = MidiHz(midi);
  Wave w(Samples(seconds * 0.9 + 0.03));
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = double(i) / kRate;
    double dt = hz / kRate;
    float v = 0.7f * Osc(Shape::Triangle, phase, dt) + 0.3f * Osc(Shape::Sine, phase * 0.5, dt);
    w[i] = v * EnvADSR(t, 0.004, 0.12, 0.55f, seconds * 0.9, 0.03);
    phase += dt;
  }
  return w;
}

Wave ChordPluck(const Chord& ch) {
  Wave w;
  for (int n : {ch.root + 12, ch.third + 12, ch.fifth + 12}) {
    Tone t{Shape::Triangle, MidiHz(n), MidiHz(n), 0, 0.2, 0.003, 0.33f};
    MixInto(w, Render(t), 0, 1.0f);
  }
  LowPass(w, 2400);
  return w;
}

Wave Kick() {
  Tone t{Shape::Sine, 160, 45, 0.1, 0.3, 0.001, 1.0f};
  return Render(t);
}

Wave Snare(uint32_t seed) {
  Wave w = NoiseBurst(seed, 0.18, 7000, 2500, 900, 0.001, 0.8f);
  Tone body{Shape::Sine, 210, 170, 0, 0.1, 0.001, 0.5f};
  MixInto(w, Render(body), 0, 1.0f);
  return w;
}


}  // namespace

std::vector<float> MakeTune() {
  const double barSec = kEighth * kEighthsPerBar;
  const double total = barSec * kBars;
  StereoBus mix(size_t(Samples(total)));

  const Wave kick = Kick();
  const Wave snare = Snare(0x5EED);
  const Wave hat = Hat(0xBEEF, 0.04, 0.5f), openHat = Hat(0xFACE, 0.18, 0.5f);

  for (int bar = 0; bar < kBars; ++bar) {
    int m = bar % 16;
    double t0 = barSec * bar;
    // Melody.
    int pos = 0;
    for (const Note& n : kMelody[size_t(m)]) {
      if (n.midi) mix.Add(Lead(n.midi, n.len * kEighth), t0 + pos * kEighth, 0.30f, 0.15f);
      pos += n.len;
    }
    // Bass: root, octave and fifth in a bouncing figure.
    const int pattern[][2] = {{0, 2}, {12, 1}, {0, 1}, {7, 2}, {12, 1}, {7, 1}};
    pos = 0;
    for (const auto& p : pattern) {
      const Chord& ch = (pos < 4 ? kChordA : kChordB)[size_t(m)];
      mix.Add(BassNote(ch.root - 12 + p[0], p[1] * kEighth), t0 + pos * kEighth, 0.42f, -0.05f);
      pos += p[1];
    }
    // Off-beat chord plucks, spread a little to either side.
    for (int e = 1; e < 8; e += 2) {
      const Chord& ch = (e < 4 ? kChordA : kChordB)[size_t(m)];
      mix.Add(ChordPluck(ch), t0 + e * kEighth, 0.16f, (e % 4 == 1) ? -0.45f : 0.45f);
    }
    // Drums: kick on 1 and 3, snare on 2 and 4, hats on every eighth, and a
    // snare roll closing each eight-bar phrase.
    bool fill = (bar % 8) == 7;
    for (int e = 0; e < 8; ++e) {
      double at = t0 + e * kEighth;
      if (e == 0 || e == 4 || (e == 5 && bar % 2 == 1)) mix.Add(kick, at, 0.55f, 0.0f);
      if (e == 2 || e == 6) mix.Add(snare, at, 0.30f, 0.05f);
      if (fill && e >= 4) mix.Add(snare, at + kEighth / 2, 0.18f, 0.05f);
      if (e == 7 && bar % 4 == 3) mix.Add(openHat, at, 0.14f, -0.3f);
      else mix.Add(hat, at, (e % 2) ? 0.10f : 0.14f, -0.3f);
    }
  }

  // Interleave, leave head-room and soften the very ends.
  std::vector<float> out(mix.l.size() * 2);
  float top = 0;
  for (size_t i = 0; i < mix.l.size(); ++i) top = std::max(top, std::max(std::fabs(mix.l[i]), std::fabs(mix.r[i])));
  float k = top > 0 ? 0.8f / top : 1.0f;
  size_t n = mix.l.size(), fade = size_t(Samples(0.01));
  for (size_t i = 0; i < n; ++i) {
    float g = k;
    if (i < fade) g *= float(i) / float(fade);
    if (n - 1 - i < fade) g *= float(n - 1 - i) / float(fade);
    out[2 * i] = mix.l[i] * g;
    out[2 * i + 1] = mix.r[i] * g;
  }
  return out;
}

}  // namespace assetgen
