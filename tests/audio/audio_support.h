// tests/audio/audio_support.h — helpers of the audio tests and of the generated-data tests:
// WAV files made by hand, tools run at test time (sox, oggenc), bytes decoded through one of
// the game's readers, and the wave writer's file of the playback tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/temp_files.h"

namespace audiotest {

namespace fs = std::filesystem;

// Runs a tool from PATH; when it fails, adds a test failure with its output and returns false.
bool RunTool(const std::vector<std::string>& args);

// A PCM WAV file made by hand, a 440 Hz tone at half of full scale, in the layout given (fields
// no tool writes included), with whole chunks between "fmt " and "data".
std::string PcmWav(int channels, int bits, int rate, int frames, const std::string& chunksBefore = "");
// A mono 16-bit tone of `seconds` at 22,050 Hz.
std::string ToneWav(double seconds);
// One RIFF chunk: tag, little-endian size, body (no pad byte).
std::string Chunk(const char* tag, const std::string& body);
void PutU32(std::string& s, std::size_t at, std::uint32_t v);
std::uint32_t GetU32(const std::string& s, std::size_t at);

// What one of the readers (LoadWAV, LoadOGG) made of some bytes.
using Reader = unsigned char* (*)(std::FILE*, int*, int*, int*, int*);
struct Decoded {
  bool ok = false;
  int length = -1, channels = -1, format = -1, hertz = -1;
  std::string pcm; // length * channels * format bytes
  double Seconds() const { return ok ? static_cast<double>(length) / hertz : 0; }
};
Decoded Decode(Reader reader, const std::string& bytes);
// Little-endian 16-bit samples as values.
std::vector<std::int16_t> Int16s(const std::string& bytes);

// The playback tests' wave writer: its rate, and its file (set up by their main).
constexpr int kWaveRate = 22050;
fs::path WaveOutput();

} // namespace audiotest
