// tests/audio/audio_support.cpp — see audio_support.h.
#include "audio_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace audiotest {

Decoded Decode(Reader reader, const std::string& bytes) {
  Decoded d;
  std::FILE* f = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  unsigned char* data = reader(f, &d.length, &d.channels, &d.format, &d.hertz);
  EXPECT_EQ(std::fclose(f), 0) << "the file stays the caller's";
  if ((d.ok = data != nullptr))
    d.pcm.assign(reinterpret_cast<char*>(data), static_cast<std::size_t>(d.length) * d.channels * d.format);
  std::free(data);
  return d;
}

std::vector<std::int16_t> Int16s(const std::string& bytes) {
  std::vector<std::int16_t> v(bytes.size() / 2);
  for (std::size_t i = 0; i < v.size(); ++i)
    v[i] = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  return v;
}

std::uint32_t GetU32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + i])) << (8 * i);
  return v;
}

} // namespace audiotest
