// tests/audio/audio_support.h — bytes decoded through one of the game's readers, for the audio
// tests and the tests of the generated sounds.
#pragma once

#include <cstdint>
#include <cstdio>

#include "tests/support/temp_files.h" // ReadFile, TempDir, ... for the users of these helpers

namespace audiotest {

// What one of the readers (LoadWAV, LoadOGG) made of some bytes (not none).
using Reader = unsigned char* (*)(std::FILE*, int*, int*, int*, int*);
struct Decoded {
  bool ok = false;
  int length = -1, channels = -1, format = -1, hertz = -1;
  std::string pcm; // length * channels * format bytes
  double Seconds() const { return ok ? static_cast<double>(length) / hertz : 0; }
};
Decoded Decode(Reader reader, const std::string& bytes);
// Little-endian values: 16-bit samples, and 32 bits at a place.
std::vector<std::int16_t> Int16s(const std::string& bytes);
std::uint32_t GetU32(const std::string& s, std::size_t at);

} // namespace audiotest
