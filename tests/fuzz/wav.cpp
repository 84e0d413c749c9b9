// tests/fuzz/wav.cpp — libFuzzer harness for LoadWAV: any bytes as an in-memory file, the result
// compared with the format as audio/decoders.h describes it, read here from the bytes on their
// own: "RIFF", a size, "WAVE", a "fmt " chunk first (PCM, 1 or 2 channels, 8 or 16 bits, a rate
// of 1..INT_MAX, extra bytes and the pad byte of an odd size skipped), other chunks skipped, and
// the whole frames of the first "data" chunk that the file holds in full. A refusal leaves the
// out-values alone; a sample is those frames, byte for byte.
// Depends on: audio (LoadWAV), fuzz_support.h.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "audio/decoders.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Wav {
  bool ok = false;
  int frames = 0, channels = 0, bytes = 0, rate = 0;
  std::size_t at = 0; // where the frames start
};

std::uint64_t U16(const std::uint8_t* p) { return p[0] | p[1] << 8; }
std::uint64_t U32(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(p[0]) | static_cast<std::uint64_t>(p[1]) << 8 |
         static_cast<std::uint64_t>(p[2]) << 16 | static_cast<std::uint64_t>(p[3]) << 24;
}

Wav Read(const std::uint8_t* p, std::size_t n) {
  Wav w;
  if (n < 36 || std::memcmp(p, "RIFF", 4) || std::memcmp(p + 8, "WAVE", 4) || std::memcmp(p + 12, "fmt ", 4))
    return w;
  const std::uint64_t fmtSize = U32(p + 16), format = U16(p + 20), channels = U16(p + 22), rate = U32(p + 24),
                      bits = U16(p + 34);
  if (fmtSize < 16 || format != 1 || (channels != 1 && channels != 2) || (bits != 8 && bits != 16) ||
      rate == 0 || rate > INT_MAX)
    return w;
  std::uint64_t pos = 36 + (fmtSize - 16) + (fmtSize & 1);
  const std::uint64_t frameBytes = channels * bits / 8;
  while (pos <= n && n - pos >= 8) {
    const std::uint64_t size = U32(p + pos + 4);
    const bool data = std::memcmp(p + pos, "data", 4) == 0;
    pos += 8;
    if (!data) {
      pos += size + (size & 1);
      continue;
    }
    if (size > n - pos || size / frameBytes == 0 || size / frameBytes * frameBytes > INT_MAX) return w;
    w.ok = true;
    w.frames = static_cast<int>(size / frameBytes);
    w.channels = static_cast<int>(channels);
    w.bytes = static_cast<int>(bits / 8);
    w.rate = static_cast<int>(rate);
    w.at = static_cast<std::size_t>(pos);
    return w;
  }
  return w;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  int length = -7, channels = -7, format = -7, hertz = -7;
  unsigned char* pcm;
  {
    InputFile f(data, size);
    pcm = LoadWAV(f.get(), &length, &channels, &format, &hertz);
  }
  const Wav want = Read(data, size);
  if (!pcm) {
    FUZZ_CHECK(!want.ok, "refused a WAV of %d frames, %d channels, %d bytes, %d Hz", want.frames,
               want.channels, want.bytes, want.rate);
    FUZZ_CHECK(length == -7 && channels == -7 && format == -7 && hertz == -7, "a refusal set the out-values");
    return 0;
  }
  FUZZ_CHECK(want.ok, "loaded %d frames from a file that is no WAV this reader takes", length);
  FUZZ_CHECK(length == want.frames && channels == want.channels && format == want.bytes && hertz == want.rate,
             "%d frames %d channels %d bytes %d Hz, the file says %d %d %d %d", length, channels, format,
             hertz, want.frames, want.channels, want.bytes, want.rate);
  const std::size_t bytes = static_cast<std::size_t>(length) * channels * format;
  FUZZ_CHECK(std::memcmp(pcm, data + want.at, bytes) == 0, "the samples are not the data chunk's bytes");
  std::free(pcm);
  return 0;
}
