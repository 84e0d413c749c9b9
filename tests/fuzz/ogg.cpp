// tests/fuzz/ogg.cpp — libFuzzer harness for LoadOGG (stb_vorbis behind our guards): any bytes
// as an in-memory file. A refusal leaves the out-values alone; a sample has at least one frame,
// 1..255 channels, 16-bit values, a rate of 1..INT_MAX, fits one OpenAL buffer, and every byte
// of it is readable (the sanitizer sees a short block).
// Depends on: audio (LoadOGG), fuzz_support.h.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "audio/decoders.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  int length = -7, channels = -7, format = -7, hertz = -7;
  unsigned char* pcm;
  {
    InputFile f(data, size);
    pcm = LoadOGG(f.get(), &length, &channels, &format, &hertz);
  }
  if (!pcm) {
    FUZZ_CHECK(length == -7 && channels == -7 && format == -7 && hertz == -7, "a refusal set the out-values");
    return 0;
  }
  FUZZ_CHECK(length > 0 && channels >= 1 && channels <= 255 && format == 2 && hertz > 0,
             "%d frames %d channels %d bytes %d Hz", length, channels, format, hertz);
  const long long bytes = static_cast<long long>(length) * channels * format;
  FUZZ_CHECK(bytes <= INT_MAX, "%lld bytes do not fit one OpenAL buffer", bytes);
  ReadEveryByte(pcm, bytes);
  std::free(pcm);
  return 0;
}
