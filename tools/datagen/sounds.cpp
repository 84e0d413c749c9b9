// tools/datagen/sounds.cpp — the 23 sound effects sfx/NNN.wav (16-bit mono PCM WAV), each
// synthesised from scratch, and the call that writes the tune.
// Depends on: common.h (Random, WriteFile), synth.h (voices, mixing), music.cpp.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common.h"
#include "synth.h"

using synth::Sound;

namespace {

constexpr int kRate = 22050;

// ============================================================================
// [SECTION] WAV output
// ============================================================================

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xffff);
  Put16(b, v >> 16);
}

void PutTag(std::vector<uint8_t>& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

// RIFF "WAVE" with the 16-byte PCM "fmt " chunk first and one "data" chunk.
bool WriteWav(const std::string& path, const Sound& s) {
  const uint32_t dataBytes = static_cast<uint32_t>(s.samples.size() * 2);
  std::vector<uint8_t> b;
  b.reserve(44 + dataBytes);
  PutTag(b, "RIFF");
  Put32(b, 36 + dataBytes);
  PutTag(b, "WAVE");
  PutTag(b, "fmt ");
  Put32(b, 16);
  Put16(b, 1); // PCM
  Put16(b, 1); // mono
  Put32(b, static_cast<uint32_t>(s.rate));
  Put32(b, static_cast<uint32_t>(s.rate) * 2);
  Put16(b, 2);  // block align
  Put16(b, 16); // bits per sample
  PutTag(b, "data");
  Put32(b, dataBytes);
  for (float v : s.samples) {
    long q = std::lround(static_cast<double>(v) * 32767.0);
    if (q > 32767) q = 32767;
    if (q < -32767) q = -32767;
    Put16(b, static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(q))));
  }
  return datagen::WriteFile(path, b.data(), b.size());
}

// ============================================================================
// [SECTION] The effects
// ============================================================================

// Semitones from A4 of the C major pentatonic notes used throughout.
constexpr double kC5 = 3, kD5 = 5, kE5 = 7, kG5 = 10, kA5 = 12, kC6 = 15, kE6 = 19, kG6 = 22, kC7 = 27;

// 001-006: marimba notes of one pentatonic scale, so any two picked in a row sound well
// together even at the random playback rate.
Sound TileNote(int n) {
  static const double kNotes[6] = {kC5, kD5, kE5, kG5, kA5, kC6};
  Sound s(kRate, 0.42);
  const double f = synth::Pitch(kNotes[n - 1]);
  synth::Mix(s, 0, s.Seconds(), 1.0, [&](double t) { return synth::Marimba(f, t, kRate); });
  return s;
}

// 010: a quick rising arpeggio of bells.
Sound Chime() {
  Sound s(kRate, 0.85);
  const double notes[] = {kC6, kE6, kG6, kC7};
  for (int i = 0; i < 4; ++i) {
    const double f = synth::Pitch(notes[i]);
    synth::Mix(s, 0.055 * i, s.Seconds(), 0.7 + 0.1 * i,
               [&](double t) { return synth::Bell(f, t, kRate, 4.5); });
  }
  return s;
}

// 011: a low tone that falls and dies quickly.
Sound Bonk() {
  Sound s(kRate, 0.36);
  double phase = 0;
  synth::Mix(s, 0, s.Seconds(), 1.0, [&](double t) {
    const double f = 110.0 + 170.0 * std::exp(-t * 9.0);
    phase += synth::kTwoPi * f / kRate;
    return synth::Attack(t, 0.004) * std::exp(-t * 8.0) *
           (std::sin(phase) + 0.35 * std::sin(2 * phase) + 0.12 * std::sin(3 * phase));
  });
  return s;
}

// 095: a rising shower of short high pings.
Sound Sparkle(datagen::Random& rnd) {
  Sound s(kRate, 0.95);
  static const double kHigh[] = {kC6, kE6 - 2, kE6, kG6, kG6 + 2, kC7, kC7 + 2, kC7 + 4};
  for (int i = 0; i < 20; ++i) {
    const double at = 0.032 * i + rnd.Range(0.0f, 0.02f);
    const int pick = static_cast<int>(std::fmin(7.0, i * 0.3 + rnd.Range(0.0f, 2.5f)));
    const double f = synth::Pitch(kHigh[pick]);
    const double gain = 0.55 * (1.0 - 0.025 * i) * rnd.Range(0.7f, 1.0f);
    synth::Mix(s, at, 0.4, gain, [&](double t) {
      return synth::Attack(t, 0.001) * std::exp(-t * 14.0) *
             (std::sin(synth::kTwoPi * f * t) +
              0.3 * std::sin(synth::kTwoPi * 2.0 * f * t) * std::exp(-t * 30.0));
    });
  }
  return s;
}

// 096: the start jingle, four marimba notes up to a ringing chord over a bass note.
Sound Jingle() {
  Sound s(kRate, 1.3);
  const double run[] = {kG5 - 12, kC5, kE5, kG5};
  for (int i = 0; i < 4; ++i) {
    const double f = synth::Pitch(run[i]);
    synth::Mix(s, 0.12 * i, 0.6, 0.8, [&](double t) { return synth::Marimba(f, t, kRate); });
  }
  const double chord[] = {kC5, kE5, kG5, kC6};
  for (double n : chord) {
    const double f = synth::Pitch(n);
    synth::Mix(s, 0.5, 0.8, 0.45, [&](double t) { return synth::Bell(f, t, kRate, 2.2); });
  }
  const double bass = synth::Pitch(kC5 - 24);
  synth::Mix(s, 0.5, 0.8, 0.6, [&](double t) { return synth::Bass(bass, t, 0.6); });
  return s;
}

// 098: a short hollow knock, like a wood block.
Sound Tock(datagen::Random& rnd) {
  Sound s(kRate, 0.12);
  static const synth::Partial kBlock[] = {{1.0, 1.0, 38.0}, {2.32, 0.45, 60.0}, {4.1, 0.15, 90.0}};
  synth::Mix(s, 0, s.Seconds(), 1.0, [&](double t) {
    const double click = t < 0.004 ? rnd.Range(-1.0f, 1.0f) * (1.0 - t / 0.004) * 0.25 : 0.0;
    return synth::Attack(t, 0.0008) * synth::Partials(kBlock, 820.0, t, kRate) + click;
  });
  return s;
}

// 099: a light upward blip.
Sound Blip() {
  Sound s(kRate, 0.075);
  double phase = 0;
  synth::Mix(s, 0, s.Seconds(), 1.0, [&](double t) {
    phase += synth::kTwoPi * (1400.0 + 5000.0 * t) / kRate;
    return synth::Attack(t, 0.003) * std::exp(-t * 35.0) * (std::sin(phase) + 0.15 * std::sin(2 * phase));
  });
  return s;
}

// 007, 008, 020-028: short tones, each on its own step of a major scale and in one of three
// colours (round, hollow, a rising fifth), so no two are alike.
Sound Tone(int index) {
  static const int kSteps[] = {0, 2, 4, 5, 7, 9, 11, 12, 14, 16, 17};
  Sound s(kRate, 0.2);
  const double f = synth::Pitch(-2 + kSteps[index]); // from G4
  switch (index % 3) {
  case 0:
    synth::Mix(s, 0, 0.2, 1.0, [&](double t) {
      return synth::Attack(t, 0.005) * std::exp(-t * 10.0) *
             (std::sin(synth::kTwoPi * f * t) + 0.2 * std::sin(synth::kTwoPi * 2 * f * t));
    });
    break;
  case 1:
    synth::Mix(s, 0, 0.2, 1.0, [&](double t) {
      const double p = synth::kTwoPi * f * t;
      return synth::Attack(t, 0.005) * std::exp(-t * 12.0) *
             (std::sin(p) + std::sin(3 * p) / 3 + std::sin(5 * p) / 5 + std::sin(7 * p) / 7);
    });
    break;
  default:
    synth::Mix(s, 0, 0.09, 0.8, [&](double t) { return synth::Marimba(f, t, kRate) * (1.0 - t / 0.09); });
    synth::Mix(s, 0.08, 0.12, 0.8, [&](double t) { return synth::Marimba(f * 1.5, t, kRate); });
    break;
  }
  return s;
}

// Fades, sets the peak to -3 dBFS and writes the effect as sfx/NNN.wav.
bool Finish(const std::string& out, int id, Sound s) {
  synth::Fade(s, 0.001, std::fmin(0.15, s.Seconds() / 4));
  synth::Normalise(s, synth::kPeak);
  char name[16];
  std::snprintf(name, sizeof name, "sfx/%03d.wav", id);
  return WriteWav(out + "/" + name, s);
}

} // namespace

bool GenerateSounds(const std::string& out) {
  bool ok = true;
  for (int n = 1; n <= 6; ++n) ok = Finish(out, n, TileNote(n)) && ok;
  static const int kTones[] = {7, 8, 20, 21, 22, 23, 24, 25, 26, 27, 28};
  for (int i = 0; i < 11; ++i) ok = Finish(out, kTones[i], Tone(i)) && ok;
  ok = Finish(out, 10, Chime()) && ok;
  ok = Finish(out, 11, Bonk()) && ok;
  datagen::Random sparkle("sfx/095.wav"), tock("sfx/098.wav");
  ok = Finish(out, 95, Sparkle(sparkle)) && ok;
  ok = Finish(out, 96, Jingle()) && ok;
  ok = Finish(out, 98, Tock(tock)) && ok;
  ok = Finish(out, 99, Blip()) && ok;
  return GenerateMusic(out) && ok;
}
