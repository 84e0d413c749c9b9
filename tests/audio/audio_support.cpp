// tests/audio/audio_support.cpp — see audio_support.h.
#include "audio_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "tests/support/subprocess.h"

namespace audiotest {

bool RunTool(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"/usr/bin/env"};
  argv.insert(argv.end(), args.begin(), args.end());
  const ProcessResult r = RunProcess(argv, "", true, 60);
  if (r.exit_code == 0) return true;
  ADD_FAILURE() << args[0] << " failed (exit " << r.exit_code << "): " << r.err << r.out
                << (r.exit_code == 127 ? " (scripts/install-deps.sh installs sox and vorbis-tools)" : "");
  return false;
}

static void AppendLE(std::string& s, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutU32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint32_t GetU32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + i])) << (8 * i);
  return v;
}

std::string Chunk(const char* tag, const std::string& body) {
  std::string c(tag, 4);
  AppendLE(c, static_cast<std::uint32_t>(body.size()), 4);
  return c + body;
}

std::string PcmWav(int channels, int bits, int rate, int frames, const std::string& chunksBefore) {
  const int bytes = bits / 8 > 0 ? bits / 8 : 1;
  std::string fmt;
  AppendLE(fmt, 1, 2); // PCM
  AppendLE(fmt, channels, 2);
  AppendLE(fmt, rate, 4);
  AppendLE(fmt, rate * channels * bytes, 4);
  AppendLE(fmt, channels * bytes, 2);
  AppendLE(fmt, bits, 2);
  std::string data;
  for (int i = 0; i < frames; ++i) {
    const double v = 0.5 * std::sin(2 * M_PI * 440 * i / rate);
    for (int c = 0; c < channels; ++c) {
      if (bytes == 1) {
        data += static_cast<char>(std::lround(128 + 127 * v));
      } else {
        data.append(bytes - 2, '\0'); // the low bytes of wider samples
        AppendLE(data, static_cast<std::uint32_t>(std::lround(32767 * v)) & 0xFFFF, 2);
      }
    }
  }
  return Chunk("RIFF", "WAVE" + Chunk("fmt ", fmt) + chunksBefore + Chunk("data", data));
}

std::string ToneWav(double seconds) { return PcmWav(1, 16, 22050, static_cast<int>(seconds * 22050)); }

std::vector<std::int16_t> Int16s(const std::string& bytes) {
  std::vector<std::int16_t> v(bytes.size() / 2);
  for (std::size_t i = 0; i < v.size(); ++i)
    v[i] = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  return v;
}

Decoded Decode(Reader reader, const std::string& bytes) {
  Decoded d;
  // An empty "file" is a one-byte one already read to its end.
  std::FILE* f = fmemopen(const_cast<char*>(bytes.data()), bytes.empty() ? 1 : bytes.size(), "rb");
  if (!f) {
    ADD_FAILURE() << "fmemopen failed";
    return d;
  }
  if (bytes.empty()) std::fgetc(f);
  unsigned char* data = reader(f, &d.length, &d.channels, &d.format, &d.hertz);
  EXPECT_EQ(std::fclose(f), 0) << "the file stays the caller's";
  if (data) {
    d.ok = true;
    if (d.length > 0 && d.channels > 0 && d.format > 0) // the fuzz loop checks the values themselves
      d.pcm.assign(reinterpret_cast<char*>(data), static_cast<std::size_t>(d.length) * d.channels * d.format);
    std::free(data);
  }
  return d;
}

} // namespace audiotest
