// tests/fuzz/decoders.cpp — fuzz_wav, fuzz_ogg and fuzz_png: the sound and image readers on any
// bytes. A refusal leaves the out-values alone; a result can be read to its end, fits one OpenAL
// buffer or texture and agrees with the file's own header (checked below, format by format; a
// PNG's image data also inflates to no more than its size needs).
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <zlib.h>

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

#if defined(FUZZ_PNG)
std::uint32_t Be32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}
// What the image data of a loaded file inflates to, counted up to `cap` and one past it: the IDAT
// chunks before IEND, joined, their two header bytes skipped, inflated raw as the decoder does.
std::uint64_t InflatedImageData(const std::uint8_t* data, std::size_t size, std::uint64_t cap) {
  std::vector<unsigned char> stream;
  for (std::size_t at = 8; at + 12 <= size && std::memcmp(data + at + 4, "IEND", 4) != 0;
       at += 12 + std::size_t(Be32(data + at))) {
    const std::size_t n = Be32(data + at);
    if (n > size - at - 12) break;
    if (!std::memcmp(data + at + 4, "IDAT", 4)) stream.insert(stream.end(), data + at + 8, data + at + 8 + n);
  }
  z_stream z{};
  if (stream.size() < 2 || inflateInit2(&z, -15) != Z_OK) return 0;
  z.next_in = stream.data() + 2;
  z.avail_in = static_cast<uInt>(stream.size() - 2);
  unsigned char out[4096];
  int r = Z_OK;
  while (r == Z_OK && z.total_out <= cap) {
    z.next_out = out, z.avail_out = sizeof out;
    r = inflate(&z, Z_NO_FLUSH);
  }
  const std::uint64_t total = z.total_out;
  inflateEnd(&z);
  return total;
}
// The bytes a header's size needs: a filter byte and the bits of a row, per Adam7 pass if
// interlaced. Its depth and colour type are ones the loader took.
std::uint64_t RawBytes(std::uint64_t w, std::uint64_t h, int depth, int colour, bool interlaced) {
  const std::uint64_t bits = std::uint64_t(depth) * (colour == 2 ? 3 : colour == 4 ? 2 : colour == 6 ? 4 : 1);
  auto rows = [&](std::uint64_t pw, std::uint64_t ph) {
    return pw && ph ? ph * (1 + (pw * bits + 7) / 8) : 0;
  };
  if (!interlaced) return rows(w, h);
  std::uint64_t sum = 0;
  const int x0[7] = {0, 4, 0, 2, 0, 1, 0}, y0[7] = {0, 0, 4, 0, 2, 0, 1};
  const int dx[7] = {8, 8, 4, 4, 2, 2, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
  for (int p = 0; p < 7; ++p)
    sum += rows(w > std::uint64_t(x0[p]) ? (w - x0[p] + dx[p] - 1) / dx[p] : 0,
                h > std::uint64_t(y0[p]) ? (h - y0[p] + dy[p] - 1) / dy[p] : 0);
  return sum;
}
#endif

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
  // Its image data inflates to no more than its size needs (a bomb of zeros is refused).
  const std::uint64_t need = RawBytes(a, b, data[24], data[25], data[28] == 1);
  const std::uint64_t got = InflatedImageData(data, size, need);
  FUZZ_CHECK(got <= need, "image data of %llu bytes or more for %llu", (unsigned long long)got,
             (unsigned long long)need);
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
