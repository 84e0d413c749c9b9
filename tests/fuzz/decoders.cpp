// tests/fuzz/decoders.cpp — fuzz_wav, fuzz_ogg and fuzz_png: the sound and image readers on any
// bytes. A refusal leaves the out-values alone; a result can be read to its end, fits one OpenAL
// buffer or texture and agrees with the file's own header (checked below, format by format).
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "audio/decoders.h"
#include "host/desktop_game.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct InputHost : ZuGlfwGame {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::FILE* OpenFile(const String& path, const String&) override {
    return path == String("input.png") ? MemFile(data, size) : nullptr;
  }
} * host;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SilenceStdout(); // "LoadImageData: cannot decode ..." for nearly every input
  host = new InputHost;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  int a = -7, b = -7, c = -7, hertz = -7; // frames, channels, bytes a sample; width, height, depth
  std::FILE* f = MemFile(data, size);
#if defined(FUZZ_PNG)
  host->data = data, host->size = size;
  unsigned char* out = host->LoadImageData(String("input.png"), &a, &b, &c);
#elif defined(FUZZ_WAV)
  unsigned char* out = LoadWAV(f, &a, &b, &c, &hertz);
#else
  unsigned char* out = LoadOGG(f, &a, &b, &c, &hertz);
#endif
  std::fclose(f);
  FUZZ_CHECK(out || (a == -7 && b == -7 && c == -7 && hertz == -7), "a refusal set the out-values");
  if (!out) return 0;
  const long long bytes = static_cast<long long>(a) * b * c;
#if defined(FUZZ_PNG)
  auto u16 = [data](int at) { return data[at] << 8 | data[at + 1]; };
  FUZZ_CHECK(size >= 33 && !std::memcmp(data, "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) && !u16(16) &&
                 a == u16(18) && !u16(20) && b == u16(22) && a >= 1 && b >= 1 && a <= 8192 && b <= 8192 &&
                 c >= 1 && c <= 4,
             "%d x %d, %d bytes a pixel", a, b, c);
#elif defined(FUZZ_OGG)
  FUZZ_CHECK(a > 0 && b >= 1 && b <= 2 && c == 2 && hertz > 0 && hertz <= 192000 && a <= 600LL * hertz &&
                 bytes <= INT_MAX,
             "%d frames %d channels %d bytes %d Hz", a, b, c, hertz);
#else
  auto u16 = [data](int at) { return data[at] | data[at + 1] << 8; };
  FUZZ_CHECK(size >= 45 && a >= 1 && b == u16(22) && c * 8 == u16(34) &&
                 hertz == static_cast<int>(u16(24) | std::uint32_t(u16(26)) << 16),
             "%d frames, %d channels, %d bytes, %d Hz from %zu bytes", a, b, c, hertz, size);
  bool found = false;
  for (std::size_t at = 36; !found && at + 8 + bytes <= size; ++at)
    found = !std::memcmp(data + at, "data", 4) && !std::memcmp(data + at + 8, out, bytes);
  FUZZ_CHECK(found, "%lld bytes of samples that no data chunk of the file holds", bytes);
#endif
  ReadEveryByte(out, bytes);
  std::free(out); // from malloc, stb's blocks too
  return 0;
}
