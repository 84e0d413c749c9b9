// tests/fuzz/fuzz_support.h — what every harness shares: the input as a read-only FILE, a check
// that stops the run with a message, standard output silenced, and a small seeded generator.
// Depends on: runtime (the collector).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "runtime/gc.h"

// A property of the code under test that the input broke: the message goes to standard error
// (where libFuzzer reports) and the run ends as a crash, so that the input is kept.
#define FUZZ_CHECK(cond, ...)                                                                                \
  do {                                                                                                       \
    if (!(cond)) {                                                                                           \
      std::fprintf(stderr, "\n%s:%d: check failed: %s\n  ", __FILE__, __LINE__, #cond);                      \
      std::fprintf(stderr, __VA_ARGS__);                                                                     \
      std::fputc('\n', stderr);                                                                              \
      std::abort();                                                                                          \
    }                                                                                                        \
  } while (0)

// The fuzzer's bytes as a read-only FILE (fmemopen: seekable, no disk), closed with the object.
class InputFile {
public:
  InputFile(const std::uint8_t* data, std::size_t size) {
    static std::uint8_t none = 0; // fmemopen wants a buffer even for nothing
    f = fmemopen(size ? const_cast<std::uint8_t*>(data) : &none, size, "rb");
    if (!f) std::abort();
  }
  ~InputFile() { std::fclose(f); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  std::FILE* get() const { return f; }

private:
  std::FILE* f;
};

// The runtime prints progress lines ("Settings Loaded", "cannot decode ...") to standard output;
// at a million inputs they would drown libFuzzer's own lines, which go to standard error.
inline void SilenceStdout() {
  std::fflush(stdout);
  const int null = open("/dev/null", O_WRONLY);
  if (null < 0 || dup2(null, 1) < 0) std::abort();
  close(null);
}

// Reads every byte of a block the code under test handed out: a short block is then the
// sanitizer's to report. The sum goes where the optimiser cannot drop it.
inline volatile unsigned g_fuzzSink;
inline void ReadEveryByte(const unsigned char* p, long long n) {
  unsigned sum = 0;
  for (long long i = 0; i < n; ++i) sum += p[i];
  g_fuzzSink = sum;
}

// Two whole collector cycles and the destruction of what died: what an input left behind is
// freed before the next one, so memory stays flat and libFuzzer's leak check (which looks
// whenever an input's allocations outnumber its frees) is not set off by the collector. Each
// cycle ends the way the host's collection steps end one, past the sweep threshold, so that
// the collector's counters start again as they do in the game.
inline void CollectEverything() {
  for (int cycle = 0; cycle < 2; ++cycle) {
    gc_ext_malloced(gc_sweep_threshold + 1);
    gc_collect(nullptr);
  }
  gc_flush_free_list();
}

// xorshift32: a fixed sequence from a seed taken from the input, so that a run can be replayed.
class InputRandom {
public:
  explicit InputRandom(std::uint32_t seed) : s(seed ? seed : 0x9E3779B9u) {}
  std::uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  std::uint32_t Below(std::uint32_t n) { return n ? Next() % n : 0; }

private:
  std::uint32_t s;
};
