// bench/perf_alloc_count.cpp — see perf_alloc_count.h. Linked only into the measuring program:
// defining malloc here replaces the C library's for the whole process.
#include "perf_alloc_count.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <dlfcn.h>
#include <new>

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void __libc_free(void*);

namespace {

thread_local bool t_counting = false;
std::atomic<long long> g_count{0};

// Calling addresses and their counts: open addressing, no allocation inside the allocator.
constexpr int kSites = 1024;
struct Slot {
  std::atomic<std::uintptr_t> address{0};
  std::atomic<long long> count{0};
};
Slot g_sites[kSites];

void Note(void* caller) {
  if (!t_counting) return;
  g_count.fetch_add(1, std::memory_order_relaxed);
  auto a = reinterpret_cast<std::uintptr_t>(caller);
  for (int i = 0, h = static_cast<int>((a >> 4) % kSites); i < kSites; ++i, h = (h + 1) % kSites) {
    std::uintptr_t expected = 0;
    if (g_sites[h].address.load() == a || g_sites[h].address.compare_exchange_strong(expected, a) ||
        expected == a) {
      g_sites[h].count.fetch_add(1, std::memory_order_relaxed);
      return;
    }
  }
}

} // namespace

// ============================================================================
// [SECTION] The replaced allocator
// ============================================================================

extern "C" void* malloc(std::size_t size) {
  Note(__builtin_return_address(0));
  return __libc_malloc(size);
}

extern "C" void* calloc(std::size_t n, std::size_t size) {
  Note(__builtin_return_address(0));
  return __libc_calloc(n, size);
}

extern "C" void* realloc(void* p, std::size_t size) {
  Note(__builtin_return_address(0));
  return __libc_realloc(p, size);
}

extern "C" void free(void* p) { __libc_free(p); }

namespace {
void* NewBlock(std::size_t size, void* caller) {
  Note(caller);
  if (void* p = __libc_malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size) { return NewBlock(size, __builtin_return_address(0)); }
void* operator new[](std::size_t size) { return NewBlock(size, __builtin_return_address(0)); }
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, std::size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, std::size_t) noexcept { __libc_free(p); }

// ============================================================================
// [SECTION] Reading the counts
// ============================================================================

namespace {
// The load address of the program itself (where main lives).
void* ProgramBase() {
  Dl_info info;
  return dladdr(reinterpret_cast<void*>(&alloc_count::Count), &info) ? info.dli_fbase : nullptr;
}
} // namespace

namespace alloc_count {

void SetCounting(bool on) { t_counting = on; }

long long Count() { return g_count.load(); }

std::vector<Site> Sites() {
  bool was = t_counting;
  t_counting = false;
  std::vector<Site> out;
  for (const Slot& s : g_sites) {
    std::uintptr_t a = s.address.load();
    long long n = s.count.load();
    if (!a || !n) continue;
    std::string name;
    Dl_info info;
    const bool found = dladdr(reinterpret_cast<void*>(a), &info) != 0;
    const bool ours = found && info.dli_fbase == ProgramBase();
    char buf[64];
    if (found && info.dli_sname) {
      int status = 0;
      char* demangled = abi::__cxa_demangle(info.dli_sname, nullptr, nullptr, &status);
      name = status == 0 && demangled ? demangled : info.dli_sname;
      std::free(demangled);
    } else if (found && info.dli_fname) {
      // A library without symbol names: its file and the offset into it.
      const char* file = std::strrchr(info.dli_fname, '/');
      std::snprintf(buf, sizeof buf, "+%#lx",
                    static_cast<unsigned long>(a - reinterpret_cast<std::uintptr_t>(info.dli_fbase)));
      name = std::string(file ? file + 1 : info.dli_fname) + buf;
    } else {
      std::snprintf(buf, sizeof buf, "%#lx", static_cast<unsigned long>(a));
      name = buf;
    }
    auto same = std::find_if(out.begin(), out.end(), [&](const Site& x) { return x.function == name; });
    if (same != out.end())
      same->count += n;
    else
      out.push_back({name, n, ours});
  }
  std::sort(out.begin(), out.end(), [](const Site& a, const Site& b) { return a.count > b.count; });
  t_counting = was;
  return out;
}

void ResetSites() {
  for (Slot& s : g_sites) {
    s.count = 0;
    s.address = 0;
  }
  g_count = 0;
}

} // namespace alloc_count
