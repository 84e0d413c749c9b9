// tests/audio/audio_support.h — helpers of the audio tests: files made by other tools (sox,
// oggenc) and by hand, the OpenAL Soft back end of a test process, and the loudness of a
// wave-writer recording over time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_files.h"

namespace audiotest {

namespace fs = std::filesystem;

// Temporary folders and whole files come from the shared test support.
using ::ReadFile;
using ::TempDir;
using ::WriteFile;

// Runs a tool from PATH; on failure returns false with the reason (its output) in *why.
bool RunTool(const std::vector<std::string>& args, std::string* why);

// A WAV file made by hand. Samples are a sine tone at `amplitude` (0..1) of full scale.
struct WavLayout {
  int audioFormat = 1; // 1 PCM
  int channels = 1;
  int bits = 16;
  int rate = 22050;
  int frames = 2205;
  double toneHz = 440;
  double amplitude = 0.5;
  std::string fmtExtra;     // bytes appended to the 16-byte fmt chunk
  std::string chunksBefore; // whole chunks between "fmt " and "data"
};
std::string MakeWav(const WavLayout& layout);
// One RIFF chunk: tag, little-endian size, body (no pad byte).
std::string Chunk(const char* tag, const std::string& body);
void PutU32(std::string& s, std::size_t at, std::uint32_t v);

// Selects OpenAL Soft's back end for this test process (before any device opens): the null
// back end, or the wave writer recording stereo 16-bit at `rate` into `file`. Test set-up only.
void UseNullBackend();
void UseWaveBackend(const fs::path& confFolder, const fs::path& file, int rate);

// The wave writer's rate and, in the playback tests, its file (set up by their main).
constexpr int kWaveRate = 22050;
fs::path WaveOutput();

// Root-mean-square level (of full scale 32768) of the left and right channels of a wave-writer
// recording (stereo 16-bit PCM after its 44-byte header), per window.
struct Recording {
  int rate = 0;
  std::vector<std::int16_t> pcm; // interleaved left, right
  std::size_t Frames() const { return pcm.size() / 2; }
  // Levels over the frames of [from, to) seconds from the start (clipped to the recording).
  double Level(double from, double to, int channel) const;
};
Recording ReadRecording(const fs::path& file, int rate);

} // namespace audiotest
