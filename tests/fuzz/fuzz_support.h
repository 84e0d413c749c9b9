// tests/fuzz/fuzz_support.h — what the harnesses share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "runtime/gc.h"

// A broken property: a message where libFuzzer reports, and a crash, so that it keeps the input.
#define FUZZ_CHECK(cond, ...)                                                                                \
  do {                                                                                                       \
    if (!(cond))                                                                                             \
      std::fprintf(stderr, "\n%s:%d: %s\n  ", __FILE__, __LINE__, #cond), std::fprintf(stderr, __VA_ARGS__), \
          std::fputc('\n', stderr), std::abort();                                                            \
  } while (0)

// The bytes as a read-only, seekable FILE without a disk (fmemopen wants a buffer even for none).
inline std::FILE* MemFile(const void* data, std::size_t size) {
  static char none = 0;
  std::FILE* f = fmemopen(size ? const_cast<void*>(data) : &none, size, "rb");
  return f ? f : (std::abort(), nullptr);
}

// The progress lines the code prints would drown libFuzzer's own.
inline void SilenceStdout() {
  if (std::fflush(stdout) || !std::freopen("/dev/null", "w", stdout)) std::abort();
}

// A block shorter than it is said to be is then the address sanitizer's to report.
inline volatile unsigned g_fuzzSink;
inline void ReadEveryByte(const unsigned char* p, long long n) {
  unsigned sum = 0;
  for (long long i = 0; i < n; ++i) sum += p[i];
  g_fuzzSink = sum;
}

// An input's garbage goes before the next input, so that memory stays flat and libFuzzer's leak
// check is not set off; each cycle ends past the sweep threshold, as the host's do.
inline void CollectEverything() {
  for (int cycle = 0; cycle < 2; ++cycle) gc_ext_malloced(gc_sweep_threshold + 1), gc_collect(nullptr);
  gc_flush_free_list();
}
