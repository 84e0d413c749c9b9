// tools/datagen/music.cpp — the tune sfx/-1.ogg: a calm 16-bar loop (pad, bass, marimba
// arpeggio, melody, echo) rendered so its end runs into its start, encoded as Ogg Vorbis.
// Depends on: common.h (WriteFile), synth.h (voices, mixing), libvorbisenc/libvorbis/libogg.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common.h"
#include "synth.h"
#include "vorbis_encode.h"

using synth::Sound;

namespace {

constexpr int kRate = 22050;
constexpr long kEighth = 7875; // samples: 84 beats a minute
constexpr int kBars = 16;
constexpr double kEighthSeconds = static_cast<double>(kEighth) / kRate;

// ============================================================================
// [SECTION] The score
// ============================================================================

// One chord a bar, as semitones from A4 of its root, and whether it is minor.
struct Chord {
  int root;
  bool minor;
};
// C Am F G | C Am Dm G | F G Em Am | Dm G C G — the last G leads back to the first C.
const Chord kChords[kBars] = {{-9, false}, {-12, true}, {-4, false}, {-2, false}, {-9, false}, {-12, true},
                              {-7, true},  {-2, false}, {-4, false}, {-2, false}, {-5, true},  {-12, true},
                              {-7, true},  {-2, false}, {-9, false}, {-2, false}};

// The melody, bar by bar: note name with octave (or "-" for a rest) and length in eighths.
const char* const kMelody[kBars] = {
    "E5:3 G5:1 G5:4",      "A5:2 G5:2 E5:4",      "F5:3 E5:1 D5:2 C5:2", "D5:6 -:2",
    "E5:3 G5:1 C6:4",      "B5:2 A5:2 E5:4",      "F5:2 A5:2 G5:2 F5:2", "B4:2 D5:2 G5:4",
    "A5:4 G5:2 F5:2",      "G5:3 F5:1 E5:2 D5:2", "E5:4 B4:2 E5:2",      "A4:2 C5:2 E5:4",
    "F5:3 E5:1 D5:2 F5:2", "G5:4 B5:2 A5:2",      "G5:4 E5:2 C5:2",      "D5:6 -:2"};

// Semitones from A4 of a note name like "C5" or "F#4"; false for anything else.
bool ParseNote(const std::string& name, double* semitones) {
  static const int kLetter[7] = {0, 2, 3, 5, 7, 8, 10}; // A B C D E F G from A
  if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') return false;
  int s = kLetter[name[0] - 'A'];
  size_t i = 1;
  if (name[i] == '#') s += 1, ++i;
  if (i + 1 != name.size() || name[i] < '0' || name[i] > '9') return false;
  int octave = name[i] - '0';
  if (name[0] >= 'C') octave -= 1; // octaves start at C
  *semitones = s + 12.0 * (octave - 4);
  return true;
}

// ============================================================================
// [SECTION] Rendering
// ============================================================================

double BarStart(int bar) { return bar * 8 * kEighthSeconds; }

void AddBackground(Sound& s) {
  for (int bar = 0; bar < kBars; ++bar) {
    const Chord& c = kChords[bar];
    const int third = c.minor ? 3 : 4;
    // Pad: the triad around middle C, held for the bar.
    const double len = 8 * kEighthSeconds;
    for (int interval : {0, third, 7}) {
      double n = c.root + interval;
      if (n < -10) n += 12;
      const double f = synth::Pitch(n);
      synth::Mix(
          s, BarStart(bar), len + 1.5, 0.07, [&](double t) { return synth::Pad(f, t, len); }, true);
    }
    // Bass: the root an octave below the chord, on beats one and three.
    const double fb = synth::Pitch(c.root - 12);
    for (int half = 0; half < 2; ++half)
      synth::Mix(
          s, BarStart(bar) + half * 4 * kEighthSeconds, 4 * kEighthSeconds + 0.3, 0.28,
          [&](double t) { return synth::Bass(fb, t, 4 * kEighthSeconds - 0.05); }, true);
    // Arpeggio: up and down the chord tones, one marimba note an eighth.
    const double tones[6] = {c.root + 12.0, c.root + 12.0 + third, c.root + 19.0,
                             c.root + 24.0, c.root + 24.0 + third, c.root + 31.0};
    static const int kPattern[8] = {0, 2, 3, 4, 5, 4, 3, 2};
    for (int e = 0; e < 8; ++e) {
      const double f = synth::Pitch(tones[kPattern[e]] - 12);
      const double accent = e % 2 == 0 ? 1.0 : 0.75;
      synth::Mix(
          s, BarStart(bar) + e * kEighthSeconds, 1.2, 0.11 * accent,
          [&](double t) { return synth::Marimba(f, t, kRate); }, true);
    }
  }
}

bool AddMelody(Sound& s) {
  for (int bar = 0; bar < kBars; ++bar) {
    double at = BarStart(bar);
    int eighths = 0;
    const std::string line = kMelody[bar];
    size_t pos = 0;
    while (pos < line.size()) {
      size_t space = line.find(' ', pos);
      if (space == std::string::npos) space = line.size();
      const std::string token = line.substr(pos, space - pos);
      pos = space + 1;
      const size_t colon = token.find(':');
      const int len = colon == std::string::npos ? 0 : std::atoi(token.c_str() + colon + 1);
      double n = 0;
      const std::string name = token.substr(0, colon);
      if (len <= 0 || (name != "-" && !ParseNote(name, &n))) {
        std::fprintf(stderr, "datagen: bad melody note \"%s\" in bar %d\n", token.c_str(), bar + 1);
        return false;
      }
      const double held = len * kEighthSeconds - 0.04;
      if (name != "-") {
        const double f = synth::Pitch(n);
        synth::Mix(
            s, at, held + 0.5, 0.2, [&](double t) { return synth::Flute(f, t, held); }, true);
      }
      at += len * kEighthSeconds;
      eighths += len;
    }
    if (eighths != 8) {
      std::fprintf(stderr, "datagen: melody bar %d holds %d eighths, not 8\n", bar + 1, eighths);
      return false;
    }
  }
  return true;
}

// A dotted-eighth echo with feedback, run over the loop twice so that the echoes of the end
// fall on the start exactly as they would when the loop repeats.
void AddEcho(Sound& s) {
  const size_t n = s.samples.size(), delay = kEighth * 3 / 2;
  std::vector<float> line(delay, 0.0f), dry = s.samples;
  size_t head = 0;
  for (int pass = 0; pass < 2; ++pass)
    for (size_t i = 0; i < n; ++i) {
      const float echoed = line[head];
      line[head] = dry[i] + 0.35f * echoed;
      head = (head + 1) % delay;
      if (pass == 1) s.samples[i] = dry[i] + 0.3f * echoed;
    }
}

} // namespace

bool GenerateMusic(const std::string& out) {
  Sound s(kRate, 0);
  s.samples.assign(static_cast<size_t>(kBars) * 8 * kEighth, 0.0f);
  AddBackground(s);
  if (!AddMelody(s)) return false;
  AddEcho(s);
  synth::Normalise(s, synth::kPeak);
  std::vector<uint8_t> ogg;
  VorbisInput in;
  in.rate = s.rate;
  in.quality = 0.1f;
  in.planes = {s.samples};
  in.tags = {{"TITLE", "Lexorm theme"}, {"ARTIST", "The Lexorm team"}};
  if (!EncodeVorbis(in, ogg)) return false;
  return datagen::WriteFile(out + "/sfx/-1.ogg", ogg.data(), ogg.size());
}
