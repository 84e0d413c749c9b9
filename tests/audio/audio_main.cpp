// tests/audio/audio_main.cpp — main of the audio test executables: picks OpenAL Soft's back
// end for this process through its environment variables before any device opens (the
// product never sets them), then runs the tests.
//   AUDIO_BACKEND_NULL: the null back end (plays in real time into nothing).
//   AUDIO_BACKEND_WAVE: the wave writer, stereo 16-bit, into a file of a private folder.
#include <gtest/gtest.h>

#include <cstdlib>

#include "audio_support.h"

// Under AddressSanitizer (make test-sanitize) any single allocation above 64 MB ends the run:
// a reader that trusts a size read from a file is caught even where the allocation would
// succeed. Without the sanitizer this hook is never called.
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=64"; }

#ifdef AUDIO_BACKEND_WAVE
static TempDir* g_waveFolder;
std::filesystem::path audiotest::WaveOutput() { return g_waveFolder->path / "out.wav"; }
#endif

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
#if defined(AUDIO_BACKEND_WAVE)
  TempDir folder("wave");
  g_waveFolder = &folder;
  const std::filesystem::path conf = folder.path / "alsoft.conf";
  WriteFile(conf, "[general]\ndrivers = wave\nsample-type = int16\nchannels = stereo\nfrequency = " +
                      std::to_string(audiotest::kWaveRate) +
                      "\n[wave]\nfile = " + audiotest::WaveOutput().string() + "\n");
  unsetenv("ALSOFT_DRIVERS");
  setenv("ALSOFT_CONF", conf.c_str(), 1);
#elif defined(AUDIO_BACKEND_NULL)
  unsetenv("ALSOFT_CONF");
  setenv("ALSOFT_DRIVERS", "null", 1);
#endif
  return RUN_ALL_TESTS();
}
