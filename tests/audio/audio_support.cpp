// tests/audio/audio_support.cpp — see audio_support.h.
#include "audio_support.h"

#include <cmath>
#include <cstdlib>

#include "tests/support/subprocess.h"

namespace audiotest {

bool RunTool(const std::vector<std::string>& args, std::string* why) {
  std::vector<std::string> argv = {"/usr/bin/env"};
  argv.insert(argv.end(), args.begin(), args.end());
  ProcessResult r = RunProcess(argv, "", true, 60);
  if (r.exit_code == 0) return true;
  if (why) {
    *why = args[0] + " failed (exit " + std::to_string(r.exit_code) + "): " + r.err + r.out;
    if (r.exit_code == 127)
      *why += " — is it installed? (scripts/install-deps.sh installs sox and vorbis-tools)";
  }
  return false;
}

namespace {

void AppendU16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}

void AppendU32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

} // namespace

void PutU32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string Chunk(const char* tag, const std::string& body) {
  std::string c(tag, 4);
  AppendU32(c, static_cast<std::uint32_t>(body.size()));
  return c + body;
}

std::string MakeWav(const WavLayout& layout) {
  const int bytes = layout.bits / 8 > 0 ? layout.bits / 8 : 1;
  std::string fmt;
  AppendU16(fmt, layout.audioFormat);
  AppendU16(fmt, layout.channels);
  AppendU32(fmt, layout.rate);
  AppendU32(fmt, layout.rate * layout.channels * bytes);
  AppendU16(fmt, layout.channels * bytes);
  AppendU16(fmt, layout.bits);
  fmt += layout.fmtExtra;

  std::string data;
  const double pi = 3.14159265358979323846;
  for (int i = 0; i < layout.frames; ++i) {
    double v = layout.amplitude * std::sin(2 * pi * layout.toneHz * i / layout.rate);
    for (int c = 0; c < layout.channels; ++c) {
      if (bytes == 1) {
        data += static_cast<char>(static_cast<int>(std::lround(128 + 127 * v)));
      } else {
        int s = static_cast<int>(std::lround(32767 * v));
        for (int b = 2; b < bytes; ++b) data += '\0'; // low bytes of wider samples
        AppendU16(data, static_cast<std::uint32_t>(s) & 0xFFFF);
      }
    }
  }
  std::string body = "WAVE" + Chunk("fmt ", fmt) + layout.chunksBefore + Chunk("data", data);
  return Chunk("RIFF", body);
}

void UseNullBackend() {
  unsetenv("ALSOFT_CONF");
  setenv("ALSOFT_DRIVERS", "null", 1);
}

void UseWaveBackend(const fs::path& confFolder, const fs::path& file, int rate) {
  fs::path conf = confFolder / "alsoft.conf";
  WriteFile(conf, "[general]\ndrivers = wave\nsample-type = int16\nchannels = stereo\nfrequency = " +
                      std::to_string(rate) + "\n[wave]\nfile = " + file.string() + "\n");
  unsetenv("ALSOFT_DRIVERS");
  setenv("ALSOFT_CONF", conf.c_str(), 1);
}

double Recording::Level(double from, double to, int channel) const {
  std::size_t a = from <= 0 ? 0 : static_cast<std::size_t>(from * rate);
  std::size_t b = to <= 0 ? 0 : static_cast<std::size_t>(to * rate);
  if (b > Frames()) b = Frames();
  if (a >= b) return 0;
  double sum = 0;
  for (std::size_t i = a; i < b; ++i) {
    double v = pcm[2 * i + channel] / 32768.0;
    sum += v * v;
  }
  return std::sqrt(sum / static_cast<double>(b - a));
}

Recording ReadRecording(const fs::path& file, int rate) {
  Recording r;
  r.rate = rate;
  std::string bytes = ReadFile(file);
  if (bytes.size() <= 44) return r;
  std::size_t n = (bytes.size() - 44) / 2;
  r.pcm.resize(n - n % 2);
  for (std::size_t i = 0; i < r.pcm.size(); ++i) {
    auto lo = static_cast<unsigned char>(bytes[44 + 2 * i]);
    auto hi = static_cast<unsigned char>(bytes[45 + 2 * i]);
    r.pcm[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | hi << 8));
  }
  return r;
}

} // namespace audiotest
