// tools/datagen/synth.h — the small synthesiser behind the effects and the tune: instrument
// voices as functions of time, mixing into sample buffers, fades and peak normalising.
// Depends on: the C++ standard library only.
#pragma once

#include <cmath>
#include <string>
#include <vector>

namespace synth {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;

// The frequency of a note given in semitones from A4 (440 Hz).
inline double Pitch(double semitonesFromA4) { return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0); }

// A sum of decaying sine partials: ratio to the fundamental, level and decay rate (1/s).
struct Partial {
  double ratio, level, decay;
};

// Partials above 45% of the sample rate are left out, so nothing folds back, and so are
// those that have died away.
template <size_t N> inline double Partials(const Partial (&p)[N], double f, double t, int rate) {
  double v = 0;
  for (const Partial& q : p) {
    if (f * q.ratio >= 0.45 * rate) continue;
    const double level = q.level * std::exp(-q.decay * t);
    if (level > 1e-5) v += level * std::sin(kTwoPi * f * q.ratio * t); // died away otherwise
  }
  return v;
}

// A linear ramp from 0 to 1 over `attack` seconds.
inline double Attack(double t, double attack) { return t < attack ? t / attack : 1.0; }

// Wooden bar struck by a soft mallet: strong fundamental, the bar's fourth and tenth modes.
inline double Marimba(double f, double t, int rate) {
  static const Partial kBar[] = {{1.0, 1.0, 4.0}, {3.93, 0.28, 16.0}, {9.2, 0.07, 40.0}, {2.0, 0.10, 9.0}};
  return Attack(t, 0.0015) * Partials(kBar, f, t, rate);
}

// Small bell: inharmonic partials, the upper ones dying first.
inline double Bell(double f, double t, int rate, double decay = 3.0) {
  const Partial kBell[] = {{1.0, 1.0, decay},
                           {2.0, 0.45, decay * 1.6},
                           {2.76, 0.35, decay * 2.2},
                           {5.4, 0.16, decay * 3.5},
                           {8.93, 0.06, decay * 5.0}};
  return Attack(t, 0.002) * Partials(kBell, f, t, rate);
}

// Soft sustained voice with a gentle vibrato; `length` is the held time, then a release.
inline double Flute(double f, double t, double length) {
  // The phase of a 5 Hz, 0.3% frequency wobble, faded in over the first 0.4 s.
  double ph = kTwoPi * f * t + f * 0.003 / 5.0 * (1.0 - std::cos(kTwoPi * 5.0 * t)) * std::fmin(1.0, t / 0.4);
  double env = Attack(t, 0.04) * (0.75 + 0.25 * std::exp(-2.5 * t));
  if (t > length) env *= std::exp(-(t - length) / 0.06);
  return env * (std::sin(ph) + 0.22 * std::sin(2 * ph) + 0.06 * std::sin(3 * ph));
}

// Warm chord pad: two slightly detuned voices, slow attack and release.
inline double Pad(double f, double t, double length) {
  double env = Attack(t, 0.45);
  if (t > length) env *= std::exp(-(t - length) / 0.35);
  double a = kTwoPi * f * t, b = kTwoPi * f * 1.004 * t;
  return env * 0.5 * (std::sin(a) + std::sin(b) + 0.2 * std::sin(2 * a) + 0.1 * std::sin(3 * b));
}

// Round plucked bass.
inline double Bass(double f, double t, double length) {
  double env = Attack(t, 0.006) * std::exp(-1.6 * t);
  if (t > length) env *= std::exp(-(t - length) / 0.05);
  double ph = kTwoPi * f * t;
  return env * (std::sin(ph) + 0.25 * std::sin(2 * ph) * std::exp(-4.0 * t));
}

// A mono sample buffer.
struct Sound {
  int rate = 22050;
  std::vector<float> samples;
  Sound(int hz, double seconds) : rate(hz), samples(static_cast<size_t>(seconds * hz + 0.5), 0.0f) {}
  double Seconds() const { return static_cast<double>(samples.size()) / rate; }
};

// Adds voice(t) for t in [0, length) at `start` seconds, scaled by `gain`. With `wrap` the
// part that runs past the end continues at the beginning (for loops); otherwise it is cut.
template <class Voice>
inline void Mix(Sound& s, double start, double length, double gain, Voice&& voice, bool wrap = false) {
  const long n = static_cast<long>(s.samples.size());
  if (n == 0) return;
  const long first = std::lround(start * s.rate);
  const long count = static_cast<long>(length * s.rate);
  for (long i = 0; i < count; ++i) {
    long at = first + i;
    if (wrap)
      at = ((at % n) + n) % n;
    else if (at < 0 || at >= n)
      continue;
    s.samples[at] += static_cast<float>(gain * voice(static_cast<double>(i) / s.rate));
  }
}

// Linear fade in over the first `in` and out over the last `out` seconds.
inline void Fade(Sound& s, double in, double out) {
  const size_t n = s.samples.size();
  const size_t a = static_cast<size_t>(in * s.rate), b = static_cast<size_t>(out * s.rate);
  for (size_t i = 0; i < a && i < n; ++i) s.samples[i] *= static_cast<float>(i) / a;
  for (size_t i = 0; i < b && i < n; ++i) s.samples[n - 1 - i] *= static_cast<float>(i) / b;
}

// Scales the sound so that its loudest sample has the given level (0.708 = -3 dBFS).
inline void Normalise(Sound& s, double peak) {
  float top = 0;
  for (float v : s.samples) top = std::fmax(top, std::fabs(v));
  if (top <= 0) return;
  const float k = static_cast<float>(peak / top);
  for (float& v : s.samples) v *= k;
}

// -3 dBFS.
constexpr double kPeak = 0.7079;

} // namespace synth

// The tune "sfx/-1.ogg" below `out`; false (after printing why) on failure.
bool GenerateMusic(const std::string& out);
