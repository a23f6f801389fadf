// Small synthesis kit shared by the sound effects and the tune.
#pragma once

#include <cmath>

#include "assetgen.h"

namespace assetgen {

constexpr double kTau = 6.283185307179586;

inline double MidiHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }
inline int Samples(double seconds) { return int(seconds * kRate + 0.5); }

enum class Shape { Sine, Triangle, Square, Saw };

// One period of a waveform at phase 0..1; `dt` is the phase step per sample,
// used to round off the steps of the square and saw (polyBLEP).
float Osc(Shape s, double phase, double dt);

// Attack then exponential decay to silence at `length` seconds.
float EnvAD(double t, double attack, double length);
// Attack, decay to sustain level, hold until `gate`, then release.
float EnvADSR(double t, double a, double d, float s, double gate, double r);

struct Tone {
  Shape shape = Shape::Sine;
  double f0 = 440, f1 = 440;  // frequency glides exponentially from f0 to f1
  double glide = 0;           // over this many seconds (0: whole length)
  double length = 0.2;        // seconds
  double attack = 0.004;
  float gain = 1;
  double vibratoHz = 0, vibratoCents = 0;
};
// Renders a tone with an attack/decay envelope.
Wave Render(const Tone& t);

// Noise burst through a one-pole low-pass whose cut-off glides from c0 to
// c1 Hz (and a high-pass at hp Hz when hp > 0).
Wave NoiseBurst(uint32_t seed, double length, double c0, double c1, double hp, double attack,
                float gain);

// A bell: a few inharmonic sine partials with their own decays.
Wave Bell(double hz, double length, float gain);

// A hi-hat: a short burst of high noise.
Wave Hat(uint32_t seed, double length, float gain);

// One-pole low-pass in place.
void LowPass(Wave& w, double cutoffHz);

}  // namespace assetgen
