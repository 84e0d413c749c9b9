// tests/audio/fuzz_test.cpp — thousands of randomly corrupted WAV and Ogg files, the same ones
// on every run (seeded), through LoadWAV and LoadOGG: no crash and no leak (the sanitizer
// build checks memory errors and leaks; a reader that hangs meets CTest's time limit), and
// whatever loads is a sane sample.
#include <gtest/gtest.h>

#include <iterator>
#include <malloc.h>
#include <random>

#include "audio/decoders.h"
#include "audio_support.h"

namespace {

using namespace audiotest;

// The values a corrupted size field most likely breaks a reader with.
const std::uint32_t kNasty[] = {0,      1,      2,          3,           15,          16,         17,
                                0x7FFF, 0xFFFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFF0u, 0xFFFFFFFFu};

// One corrupted copy: bits flipped, bytes replaced, a 32-bit field (often one of the size
// fields given) set to a nasty value, the file cut short, bytes inserted or removed.
std::string Corrupt(std::string s, const std::vector<std::size_t>& sizeFields, int maxEdits,
                    std::mt19937& rng) {
  auto below = [&rng](std::size_t n) { return n ? static_cast<std::size_t>(rng() % n) : 0; };
  for (int e = 0, edits = 1 + static_cast<int>(rng() % maxEdits); e < edits && !s.empty(); ++e) {
    switch (rng() % 6) {
    case 0:
      for (int i = 0, n = 1 + static_cast<int>(rng() % 8); i < n; ++i)
        s[below(s.size())] ^= static_cast<char>(1 << (rng() % 8));
      break;
    case 1:
      for (int i = 0, n = 1 + static_cast<int>(rng() % 4); i < n; ++i)
        s[below(s.size())] = static_cast<char>(rng());
      break;
    case 2: {
      std::size_t at =
          !sizeFields.empty() && rng() % 2 ? sizeFields[below(sizeFields.size())] : below(s.size());
      std::uint32_t v = rng() % 4 ? kNasty[below(std::size(kNasty))] : static_cast<std::uint32_t>(rng());
      if (at + 4 <= s.size()) PutU32(s, at, v);
      break;
    }
    case 3:
      s.resize(below(s.size() + 1));
      break;
    case 4:
      s.insert(below(s.size() + 1), std::string(1 + below(16), static_cast<char>(rng())));
      break;
    default:
      s.erase(below(s.size()), 1 + below(16));
    }
  }
  return s;
}

// Heap in use (glibc; under the sanitizers, which replace malloc, it reads 0 and LeakSanitizer
// checks instead). It moves a little while the allocator's caches fill, so a leak shows as
// growth from a few hundred files in to the end: a block lost per file is tens of kilobytes.
std::size_t HeapInUse() { return mallinfo2().uordblks; }

struct Tally {
  int loaded = 0, refused = 0;
};

// Decodes `count` corrupted copies of the seeds, taken in turn; `fields` gives a seed's size
// fields. Fails on the first result that is not a sane sample, and on a leak.
template <class Fields>
Tally Fuzz(Reader reader, const std::vector<std::string>& seeds, Fields fields, int maxEdits, int maxChannels,
           int count, unsigned seed) {
  std::mt19937 rng(seed);
  Tally tally;
  std::size_t heapBefore = 0;
  for (int i = 0; i < count && !::testing::Test::HasFailure(); ++i) {
    if (i == 300) heapBefore = HeapInUse();
    const std::string& s = seeds[i % seeds.size()];
    const Decoded d = Decode(reader, Corrupt(s, fields(s, rng), maxEdits, rng));
    if (!d.ok) {
      ++tally.refused;
      continue;
    }
    ++tally.loaded;
    EXPECT_TRUE(d.length > 0 && d.channels >= 1 && d.channels <= maxChannels &&
                (d.format == 1 || d.format == 2) && d.hertz > 0)
        << "file " << i << ": " << d.length << " frames, " << d.channels << " channels, " << d.format
        << " bytes, " << d.hertz << " Hz";
  }
  EXPECT_LT(HeapInUse(), heapBefore + 8 * 1024) << "the reader leaked";
  std::printf("%d loaded, %d refused\n", tally.loaded, tally.refused);
  return tally;
}

TEST(DecoderFuzz, CorruptedWavFilesNeverCrashOrLeakAndWhatLoadsIsSane) {
  const std::string wav = PcmWav(2, 16, 22050, 64, Chunk("LIST", std::string("INFOICMT\x04\0\0\0test", 16))),
                    wav8 = PcmWav(1, 8, 22050, 40);
  auto sizeFields = [](const std::string& s, std::mt19937&) {
    std::vector<std::size_t> at = {4, 16};
    for (const char* tag : {"LIST", "data"})
      if (s.find(tag) != std::string::npos) at.push_back(s.find(tag) + 4);
    return at;
  };
  Tally t = Fuzz(LoadWAV, {wav, wav, wav8}, sizeFields, 4, 2, 10000, 20240611);
  EXPECT_GT(t.loaded, 100) << "too few files loaded to test the loading path";
  EXPECT_GT(t.refused, 1000);
}

TEST(DecoderFuzz, CorruptedOggFilesNeverCrashOrLeakAndWhatLoadsIsSane) {
  TempDir tmp;
  std::vector<std::string> seeds;
  for (const std::string& wav : {PcmWav(1, 16, 22050, 11025), PcmWav(2, 16, 8000, 4000)}) {
    WriteFile(tmp.path / "in.wav", wav);
    const std::string out = (tmp.path / "out.ogg").string();
    ASSERT_TRUE(RunTool({"oggenc", "-Q", "--serial", "7", "-o", out, (tmp.path / "in.wav").string()}));
    seeds.push_back(ReadFile(out));
  }
  // The size and segment fields of the first pages' headers.
  auto pageFields = [](const std::string& s, std::mt19937& rng) {
    std::vector<std::size_t> at;
    for (std::size_t p = s.find("OggS"); p != std::string::npos && at.size() < 8; p = s.find("OggS", p + 1))
      at.push_back(p + 22 + rng() % 6);
    return at;
  };
  Tally t = Fuzz(LoadOGG, seeds, pageFields, 2, 255, 4000, 4111);
  EXPECT_GT(t.loaded, 100);
  EXPECT_GT(t.refused, 100);
}

} // namespace
