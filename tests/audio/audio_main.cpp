// tests/audio/audio_main.cpp — main of the audio test executables: chooses OpenAL Soft's back
// end for this process before any device opens, then runs the tests.
//   AUDIO_BACKEND_NULL: the null back end (plays in real time into nothing).
//   AUDIO_BACKEND_WAVE: the wave writer, into a file of a private folder (playback_test.cpp
//   reads it through WaveOutput()).
#include <gtest/gtest.h>

#include "audio_support.h"

#ifdef AUDIO_BACKEND_WAVE
namespace audiotest {
// The private folder of this process and the wave writer's file in it.
TempDir* g_waveFolder;
fs::path WaveOutput() { return g_waveFolder->path / "out.wav"; }
} // namespace audiotest
#endif

// Under AddressSanitizer (make test-sanitize) any single allocation above 64 MB ends the run
// with a report: a reader that trusts a size read from a file is caught even when the
// allocation would succeed. Without the sanitizer this hook is never called.
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=64"; }

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
#if defined(AUDIO_BACKEND_WAVE)
  audiotest::TempDir folder;
  audiotest::g_waveFolder = &folder;
  audiotest::UseWaveBackend(folder.path, audiotest::WaveOutput(), audiotest::kWaveRate);
#elif defined(AUDIO_BACKEND_NULL)
  audiotest::UseNullBackend();
#endif
  return RUN_ALL_TESTS();
}
