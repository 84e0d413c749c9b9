// bench/perf_alloc_count.h — counting the heap allocations made on one thread while a window of
// interest is open (malloc, calloc, realloc and operator new, replaced in the measuring program),
// with the calling function of each, so a report can say where per-frame allocations come from.
// Depends on: nothing (glibc's __libc_malloc family, dladdr).
#pragma once

#include <string>
#include <vector>

namespace alloc_count {

// Starts or stops counting on the calling thread; other threads are never counted.
void SetCounting(bool on);
// Allocations counted so far on any thread while counting was on.
long long Count();

struct Site {
  std::string function; // demangled name of the calling function, or its library and offset
  long long count;
  bool inOurProgram; // the caller is in the measuring program itself, not a shared library
};
// The calling functions seen, most frequent first.
std::vector<Site> Sites();
void ResetSites();

} // namespace alloc_count
