// tools/datagen/common.cpp — seeded random numbers, whole-file writes, PNG output.
// Depends on: common.h, stb_image_write (libstb).
#include "common.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include <stb_image_write.h>

namespace datagen {

Random::Random(const std::string& path) {
  // FNV-1a of the path over a fixed constant.
  uint64_t h = 0x4c65786f726d2121ull ^ 1469598103934665603ull;
  for (unsigned char c : path) h = (h ^ c) * 1099511628211ull;
  state_ = h ? h : 1;
}

uint32_t Random::Next() {
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return static_cast<uint32_t>((state_ * 2685821657736338717ull) >> 32);
}

float Random::Unit() { return static_cast<float>(Next() >> 8) * (1.0f / 16777216.0f); }
float Random::Range(float lo, float hi) { return lo + (hi - lo) * Unit(); }

bool MakeDirs(const std::string& dir) {
  for (size_t i = 1; i <= dir.size(); ++i) {
    if (i == dir.size() || dir[i] == '/') {
      std::string part = dir.substr(0, i);
      if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "datagen: cannot create %s: %s\n", part.c_str(), std::strerror(errno));
        return false;
      }
    }
  }
  return true;
}

bool WriteFile(const std::string& path, const void* bytes, size_t size) {
  size_t slash = path.rfind('/');
  if (slash != std::string::npos && !MakeDirs(path.substr(0, slash))) return false;
  std::string tmp = path + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "datagen: cannot write %s: %s\n", tmp.c_str(), std::strerror(errno));
    return false;
  }
  bool ok = std::fwrite(bytes, 1, size, f) == size;
  ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "datagen: cannot write %s\n", path.c_str());
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

bool WriteFile(const std::string& path, const std::string& text) {
  return WriteFile(path, text.data(), text.size());
}

static void AppendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  auto* p = static_cast<uint8_t*>(data);
  out->insert(out->end(), p, p + size);
}

bool WritePng(const std::string& path, Image& image) {
  for (size_t i = 0; i < image.rgba.size(); i += 4)
    if (image.rgba[i + 3] == 0) image.rgba[i] = image.rgba[i + 1] = image.rgba[i + 2] = 0;
  stbi_write_png_compression_level = 8;
  std::vector<uint8_t> png;
  if (!stbi_write_png_to_func(AppendBytes, &png, image.width, image.height, 4, image.rgba.data(),
                              image.width * 4)) {
    std::fprintf(stderr, "datagen: cannot encode %s\n", path.c_str());
    return false;
  }
  return WriteFile(path, png.data(), png.size());
}

} // namespace datagen
