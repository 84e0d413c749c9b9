// tools/datagen/common.h — what every generator shares: the seeded random source, files
// written whole (temporary file, then rename) and PNG output.
// Depends on: the C++ standard library, stb_image_write (libstb).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

// A small deterministic generator (xorshift-multiply), seeded from a constant and the
// output file's path, so every file has its own repeatable sequence.
class Random {
public:
  explicit Random(const std::string& path);
  uint32_t Next();
  float Unit();                    // [0, 1)
  float Range(float lo, float hi); // [lo, hi)

private:
  uint64_t state_;
};

// Writes `bytes` to `path` through `path.tmp` and a rename; creates parent folders.
// Returns false (after printing why) on failure.
bool WriteFile(const std::string& path, const void* bytes, size_t size);
bool WriteFile(const std::string& path, const std::string& text);

// RGBA image with straight alpha.
struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba; // width * height * 4
  Image() = default;
  Image(int w, int h) : width(w), height(h), rgba(static_cast<size_t>(w) * h * 4, 0) {}
  uint8_t* At(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// PNG with fixed compression settings; pixels with alpha 0 are written with RGB 0.
bool WritePng(const std::string& path, Image& image);

// Creates the folder and its parents.
bool MakeDirs(const std::string& dir);

} // namespace datagen

// The generators; each writes its files below `out` (the data folder) and returns false on
// failure.
bool GenerateImages(const std::string& out);
bool GenerateSounds(const std::string& out);
bool GenerateWords(const std::string& out);
// A contact sheet of every image at level 2, with frame numbers, for review.
bool WritePreview(const std::string& data, const std::string& png);
