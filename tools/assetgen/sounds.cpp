// The numbered sound effects and the badge jingle.
//
//   2  hop (a seed caught)         3  landing           4  flower picked
//   5  launch                      6  last spare gone   7  wall bounce
//   10..30  the chain chime, rising with the hop count
//   98 menu click (played at several rates)   99 online blip
#include <algorithm>

#include "synth.h"

namespace assetgen {
namespace {

Wave Hop() {
  Wave w;
  Tone boing{Shape::Triangle, 280, 880, 0.09, 0.20, 0.003, 0.8f, 18, 35};
  MixInto(w, Render(boing), 0, 1.0f);
  Tone sparkle{Shape::Sine, 1400, 1900, 0.05, 0.10, 0.002, 0.25f};
  MixInto(w, Render(sparkle), Samples(0.03), 1.0f);
  return w;
}

Wave Landing() {
  Wave w;
  Tone thud{Shape::Sine, 150, 55, 0.12, 0.24, 0.002, 1.0f};
  MixInto(w, Render(thud), 0, 1.0f);
  MixInto(w, NoiseBurst(31, 0.07, 1800, 300, 0, 0.001, 0.6f), 0, 1.0f);
  Tone settle{Shape::Triangle, 330, 300, 0, 0.12, 0.004, 0.25f};
  MixInto(w, Render(settle), Samples(0.05), 1.0f);
  return w;
}

Wave FlowerPick() {
  Wave w;
  const double notes[] = {76, 79, 83, 88};  // E6 G6 B6 E7
  for (int i = 0; i < 4; ++i)
    MixInto(w, Bell(MidiHz(notes[i] - 12), 0.5, 0.8f), Samples(0.045 * i), 1.0f);
  MixInto(w, NoiseBurst(44, 0.25, 9000, 6000, 4000, 0.01, 0.12f), 0, 1.0f);
  return w;
}

Wave Launch() {
  Wave w;
  MixInto(w, NoiseBurst(55, 0.38, 500, 4000, 200, 0.12, 1.0f), 0, 1.0f);
  Tone rise{Shape::Triangle, 180, 620, 0, 0.30, 0.03, 0.45f};
  MixInto(w, Render(rise), 0, 1.0f);
  return w;
}

Wave LastSpare() {
  Wave w;
  Tone a{Shape::Square, MidiHz(69), MidiHz(69), 0, 0.16, 0.004, 0.5f, 6, 15};
  Tone b{Shape::Square, MidiHz(64), MidiHz(62), 0.2, 0.32, 0.004, 0.5f, 6, 15};
  MixInto(w, Render(a), 0, 1.0f);
  MixInto(w, Render(b), Samples(0.17), 1.0f);
  LowPass(w, 2500);
  return w;
}

Wave WallBounce() {
  Wave w;
  Tone tok{Shape::Sine, 760, 380, 0.04, 0.09, 0.001, 1.0f};
  MixInto(w, Render(tok), 0, 1.0f);
  MixInto(w, NoiseBurst(77, 0.02, 6000, 3000, 1500, 0.0005, 0.5f), 0, 1.0f);
  return w;
}

// Chain chime for effect 10 + k: a major scale climbing from E4.
Wave Chain(int k) {
  static const int kScale[] = {0, 2, 4, 5, 7, 9, 11};
  double note = 76 + 12 * (k / 7) + kScale[k % 7] - 12;
  Wave w = Bell(MidiHz(note), 0.35, 0.8f);
  Tone pluck{Shape::Triangle, MidiHz(note), MidiHz(note), 0, 0.18, 0.002, 0.5f};
  MixInto(w, Render(pluck), 0, 1.0f);
  return w;
}

Wave MenuClick() {
  Wave w;
  Tone blip{Shape::Sine, 1050, 780, 0.03, 0.07, 0.001, 1.0f};
  MixInto(w, Render(blip), 0, 1.0f);
  Tone body{Shape::Triangle, 520, 500, 0, 0.06, 0.001, 0.3f};
  MixInto(w, Render(body), 0, 1.0f);
  return w;
}

Wave OnlineBlip() {
  Wave w;
  Tone a{Shape::Square, 660, 660, 0, 0.06, 0.002, 0.4f};
  Tone b{Shape::Square, 990, 990, 0, 0.09, 0.002, 0.4f};
  MixInto(w, Render(a), 0, 1.0f);
  MixInto(w, Render(b), Samples(0.07), 1.0f);
  LowPass(w, 3000);
  return w;
}

}  // namespace

Wave MakeSfx(int n) {
  Wave w;
  switch (n) {
    case 2: w = Hop(); break;
    case 3: w = Landing(); break;
    case 4: w = FlowerPick(); break;
    case 5: w = Launch(); break;
    case 6: w = LastSpare(); break;
    case 7: w = WallBounce(); break;
    case 98: w = MenuClick(); break;
    case 99: w = OnlineBlip(); break;
    default:
      if (n >= 10 && n <= 30) w = Chain(n - 10);
      break;
  }
  if (!w.empty()) Finish(w, 0.8f);
  return w;
}

// A bright little fanfare: a rising arpeggio that lands on a chord.
Wave MakeBadgeJingle() {
  Wave w;
  const double arp[] = {72, 76, 79, 84};  // C5 E5 G5 C6
  for (int i = 0; i < 4; ++i) {
    MixInto(w, Bell(MidiHz(arp[i]), 0.5, 0.7f), Samples(0.09 * i), 1.0f);
    Tone t{Shape::Triangle, MidiHz(arp[i]), MidiHz(arp[i]), 0, 0.16, 0.003, 0.35f};
    MixInto(w, Render(t), Samples(0.09 * i), 1.0f);
  }
  const double chord[] = {84, 88, 91, 96};
  for (double n : chord) {
    MixInto(w, Bell(MidiHz(n), 1.0, 0.45f), Samples(0.40), 1.0f);
    Tone t{Shape::Triangle, MidiHz(n), MidiHz(n), 0, 0.8, 0.01, 0.2f, 5.5, 12};
    MixInto(w, Render(t), Samples(0.40), 1.0f);
  }
  MixInto(w, NoiseBurst(99, 0.6, 10000, 7000, 5000, 0.02, 0.08f), Samples(0.40), 1.0f);
  Finish(w, 0.8f, 3, 40);
  return w;
}

}  // namespace assetgen
