// tests/fuzz/png.cpp — libFuzzer harness for the host's image loading (ZuGlfwGame::LoadImageData
// and the stb_image call behind it): a host whose OpenFile hands out the input as an in-memory
// file, no window. A failure is null with the out-values alone; an image has a size of at least
// 1 x 1, 1..4 bytes a pixel, and every byte of it is readable (the sanitizer sees a short block).
// Depends on: host (ZuGlfwGame), runtime, fuzz_support.h.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "host/desktop_game.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

class InputHost : public ZuGlfwGame {
public:
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::FILE* OpenFile(const String& path, const String&) override {
    if (path != String("input.png")) return nullptr;
    static std::uint8_t none = 0;
    return fmemopen(size ? const_cast<std::uint8_t*>(data) : &none, size, "rb");
  }
};

InputHost* host;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SilenceStdout(); // "LoadImageData: cannot decode ..." for nearly every input
  host = new InputHost;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  host->data = data;
  host->size = size;
  int w = -7, h = -7, d = -7;
  unsigned char* pixels = host->LoadImageData(String("input.png"), &w, &h, &d);
  if (!pixels) {
    FUZZ_CHECK(w == -7 && h == -7 && d == -7, "a failure set the out-values");
    return 0;
  }
  FUZZ_CHECK(w >= 1 && h >= 1 && d >= 1 && d <= 4, "%d x %d, %d bytes a pixel", w, h, d);
  const long long bytes = static_cast<long long>(w) * h * d;
  FUZZ_CHECK(bytes <= INT_MAX, "%lld bytes of pixels", bytes);
  ReadEveryByte(pixels, bytes);
  std::free(pixels); // stb_image's blocks come from malloc
  return 0;
}
