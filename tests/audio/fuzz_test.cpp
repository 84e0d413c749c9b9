// tests/audio/fuzz_test.cpp — thousands of randomly corrupted WAV and Ogg files, the same
// ones on every run (seeded), through LoadWAV and LoadOGG: no crash, no hang, no leak (the
// sanitizer build checks leaks and memory errors), and whatever loads is a sane sample that
// the file could hold.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <random>

#include "audio/decoders.h"
#include "audio_support.h"

namespace {

using namespace audiotest;

using Reader = unsigned char* (*)(std::FILE*, int*, int*, int*, int*);

// The values a corrupted size field most likely breaks a reader with.
const std::uint32_t kNastyValues[] = {0,      1,      2,          3,           15,          16,         17,
                                      0x7FFF, 0xFFFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFF0u, 0xFFFFFFFFu};

// One corrupted copy of `seed`: bytes flipped, a 32-bit field overwritten (often one at a
// known size position), bytes inserted or removed, or the file cut short.
std::string Corrupt(const std::string& seed, const std::vector<std::size_t>& sizeFields, int maxEdits,
                    std::mt19937& rng) {
  std::string s = seed;
  auto below = [&rng](std::size_t n) { return n ? static_cast<std::size_t>(rng() % n) : 0; };
  int edits = 1 + static_cast<int>(rng() % maxEdits);
  for (int e = 0; e < edits && !s.empty(); ++e) {
    switch (rng() % 6) {
    case 0: // flip a few bits
      for (int i = 0, n = 1 + static_cast<int>(rng() % 8); i < n; ++i)
        s[below(s.size())] ^= static_cast<char>(1 << (rng() % 8));
      break;
    case 1: // random bytes
      for (int i = 0, n = 1 + static_cast<int>(rng() % 4); i < n; ++i)
        s[below(s.size())] = static_cast<char>(rng());
      break;
    case 2: { // a size field, or any 4 bytes, set to a nasty value
      std::size_t at =
          !sizeFields.empty() && rng() % 2 ? sizeFields[below(sizeFields.size())] : below(s.size());
      std::uint32_t v = kNastyValues[below(std::size(kNastyValues))];
      if (rng() % 4 == 0) v = static_cast<std::uint32_t>(rng());
      if (at + 4 <= s.size()) PutU32(s, at, v);
      break;
    }
    case 3: // cut short
      s.resize(below(s.size() + 1));
      break;
    case 4: // bytes inserted
      s.insert(below(s.size() + 1), std::string(1 + below(16), static_cast<char>(rng())));
      break;
    default: // bytes removed
      s.erase(below(s.size()), 1 + below(16));
      break;
    }
  }
  return s;
}

struct Tally {
  int loaded = 0, refused = 0;
};

// Decodes the bytes from memory; fails the test when a result is not a sane sample.
void DecodeBytes(Reader reader, const std::string& bytes, int maxChannels, Tally* tally, int iteration) {
  std::FILE* f = fmemopen(const_cast<char*>(bytes.data()), bytes.size() ? bytes.size() : 1, "rb");
  ASSERT_NE(f, nullptr);
  if (bytes.empty()) std::fgetc(f); // an empty "file": at its end at once
  int length = 0, channels = 0, format = 0, hertz = 0;
  unsigned char* data = reader(f, &length, &channels, &format, &hertz);
  std::fclose(f);
  if (!data) {
    ++tally->refused;
    return;
  }
  ++tally->loaded;
  EXPECT_GT(length, 0) << "iteration " << iteration;
  EXPECT_TRUE(channels >= 1 && channels <= maxChannels) << "iteration " << iteration << ": " << channels;
  EXPECT_TRUE(format == 1 || format == 2) << "iteration " << iteration;
  EXPECT_GT(hertz, 0) << "iteration " << iteration;
  std::free(data);
}

// Heap in use (glibc; under the sanitizers, which replace malloc, it reads 0 and LeakSanitizer
// checks instead). It moves a little as the allocator's caches fill, so leaks are looked for
// as growth between a point after the first few hundred files and the end: one lost block
// per file would be tens of kilobytes.
std::size_t HeapInUse() { return mallinfo2().uordblks; }
constexpr int kWarmUp = 300;
constexpr std::size_t kSlack = 8 * 1024;

TEST(DecoderFuzz, CorruptedWavFilesNeverCrashHangOrLeak) {
  WavLayout layout;
  layout.frames = 64;
  layout.channels = 2;
  layout.fmtExtra = std::string("\0\0", 2);
  layout.chunksBefore = Chunk("LIST", "INFOICMT\x04\0\0\0test");
  std::string wav = MakeWav(layout);
  std::vector<std::size_t> sizeFields = {4, 16, wav.find("LIST") + 4, wav.find("data") + 4};
  WavLayout mono8;
  mono8.frames = 40;
  mono8.bits = 8;
  std::string wav8 = MakeWav(mono8);

  std::mt19937 rng(20240611);
  Tally tally;
  std::size_t heapBefore = 0;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 10000; ++i) {
    if (i == kWarmUp) heapBefore = HeapInUse();
    const std::string& seed = i % 3 == 2 ? wav8 : wav;
    std::string bad = Corrupt(seed, i % 3 == 2 ? std::vector<std::size_t>{4, 16, 40} : sizeFields, 4, rng);
    DecodeBytes(LoadWAV, bad, 2, &tally, i);
    if (HasFailure()) break;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(HeapInUse(), heapBefore + kSlack) << "the reader leaked";
  EXPECT_GT(tally.loaded, 100) << "the corruptions left too few files loadable to test the loaded path";
  EXPECT_GT(tally.refused, 1000);
  EXPECT_LT(seconds, 20) << "a reader dwells on corrupted sizes";
  std::printf("WAV: %d loaded, %d refused in %.2f s\n", tally.loaded, tally.refused, seconds);
}

TEST(DecoderFuzz, CorruptedOggFilesNeverCrashHangOrLeak) {
  TempDir tmp;
  WavLayout layout;
  layout.frames = 11025;
  WriteFile(tmp.path / "mono.wav", MakeWav(layout));
  layout.channels = 2;
  layout.frames = 4000;
  layout.rate = 8000;
  WriteFile(tmp.path / "stereo.wav", MakeWav(layout));
  std::string seeds[2];
  for (int k = 0; k < 2; ++k) {
    const char* name = k ? "stereo" : "mono";
    std::string why;
    ASSERT_TRUE(
        RunTool({"oggenc", "-Q", "--serial", "7", "-o", (tmp.path / (std::string(name) + ".ogg")).string(),
                 (tmp.path / (std::string(name) + ".wav")).string()},
                &why))
        << why;
    seeds[k] = ReadFile(tmp.path / (std::string(name) + ".ogg"));
  }

  std::mt19937 rng(4111);
  Tally tally;
  std::size_t heapBefore = 0;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 4000; ++i) {
    if (i == kWarmUp) heapBefore = HeapInUse();
    const std::string& seed = seeds[i % 2];
    // Ogg page headers start with "OggS": their size and segment fields are the sizes here.
    std::vector<std::size_t> fields;
    for (std::size_t at = seed.find("OggS"); at != std::string::npos && fields.size() < 8;
         at = seed.find("OggS", at + 1))
      fields.push_back(at + 22 + rng() % 6);
    DecodeBytes(LoadOGG, Corrupt(seed, fields, 2, rng), 255, &tally, i);
    if (HasFailure()) break;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(HeapInUse(), heapBefore + kSlack) << "the reader leaked";
  EXPECT_GT(tally.loaded, 100);
  EXPECT_GT(tally.refused, 100);
  EXPECT_LT(seconds, 30);
  std::printf("Ogg: %d loaded, %d refused in %.2f s\n", tally.loaded, tally.refused, seconds);
}

} // namespace
