// tests/audio/audio_support.h — bytes decoded through one of the game's sound readers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

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
inline Decoded Decode(Reader reader, const std::string& bytes) {
  Decoded d;
  std::FILE* f = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  unsigned char* data = reader(f, &d.length, &d.channels, &d.format, &d.hertz);
  EXPECT_EQ(std::fclose(f), 0) << "the file stays the caller's";
  if ((d.ok = data != nullptr))
    d.pcm.assign(reinterpret_cast<char*>(data), static_cast<std::size_t>(d.length) * d.channels * d.format);
  std::free(data);
  return d;
}
// Little-endian values: 32 bits at a place, and 16-bit samples.
inline std::uint32_t GetU32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + i])) << (8 * i);
  return v;
}
inline std::vector<std::int16_t> Int16s(const std::string& bytes) {
  std::vector<std::int16_t> v(bytes.size() / 2);
  for (std::size_t i = 0; i < v.size(); ++i)
    v[i] = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  return v;
}

} // namespace audiotest
