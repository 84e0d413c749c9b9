// tests/runtime/error_child.cpp — starts the runtime, then fails in the way argv[1] asks.
//   error TEXT   zuError(TEXT)          print TEXT   zuPrint of TEXT's UTF-8 bytes
//   segv / fpe   a fatal signal         object       zuError, then asks "@" about several addresses
//   null         reads through a null pointer on the main thread
//   thread-null  the same on a second thread while the main thread goes on
//   malloc-segv  a fault raised inside the allocator with its lock held (exit 77 where the
//                allocator cannot be replaced, under the address sanitizer)
//   locale       prints the LC_CTYPE locale that start-up chose
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

#include "runtime/errors.h"
#include "runtime/startup.h"

class Described : public Object {
public:
  String debug() override { return String("+Described\n"); }
};

static Object* g_object;

// A reading through null the optimiser cannot remove (and that the sanitizers leave to the
// program's own signal handler).
__attribute__((no_sanitize("undefined"), no_sanitize_address)) static int ReadNull() {
  volatile int* p = nullptr;
  return *p;
}

#if defined(__SANITIZE_ADDRESS__)
static bool ReplaceableMalloc() { return false; }
static void ArmMallocFault() {}
#else
// The program's own malloc: glibc's behind a lock that is not re-entrant, which raises a fault
// while holding it when armed. A report that allocated would wait on that lock for ever.
extern "C" void* __libc_malloc(size_t size);
static pthread_mutex_t g_mallocLock = PTHREAD_MUTEX_INITIALIZER;
static volatile bool g_mallocFault = false;
extern "C" void* malloc(size_t size) {
  pthread_mutex_lock(&g_mallocLock);
  if (g_mallocFault) {
    g_mallocFault = false;
    std::raise(SIGSEGV);
  }
  void* p = __libc_malloc(size);
  pthread_mutex_unlock(&g_mallocLock);
  return p;
}
static bool ReplaceableMalloc() { return true; }
static void ArmMallocFault() { g_mallocFault = true; }
#endif

void zuInit() {
  g_object = nullptr;
  gc_root(g_object);
}

int zuMain() {
  const char* mode = argc > 1 ? argv[1] : "";
  const char* text = argc > 2 ? argv[2] : "";
  if (!std::strcmp(mode, "error")) zuError(String(text));
  if (!std::strcmp(mode, "print")) {
    zuPrint(String::FromUtf8(text, static_cast<int>(std::strlen(text))));
    return 0;
  }
  if (!std::strcmp(mode, "segv")) std::raise(SIGSEGV);
  if (!std::strcmp(mode, "fpe")) std::raise(SIGFPE);
  if (!std::strcmp(mode, "null")) return ReadNull();
  if (!std::strcmp(mode, "thread-null")) {
    std::thread([] { ReadNull(); }).detach();
    for (;;) pause();
  }
  if (!std::strcmp(mode, "malloc-segv")) {
    if (!ReplaceableMalloc()) _exit(77);
    ArmMallocFault();
    std::free(std::malloc(16));
  }
  if (!std::strcmp(mode, "object")) {
    // Answers its own debug stop: a live object, a freed one, garbage, null, then quit.
    gc_assign(g_object, new Described);
    Described* freed = new Described;
    gc_ext_malloced(gc_sweep_threshold + 1);
    gc_collect(nullptr);
    gc_flush_free_list();
    std::string answers = "@" + std::string(String::CString<char>(dbg_ptr_value(g_object))) + "\n";
    answers += "@" + std::string(String::CString<char>(dbg_ptr_value(freed))) + "\n";
    answers += "@0x12345678\n@(nil)\n@\n@zz\nq\n";
    int fds[2];
    if (pipe(fds) != 0 || write(fds[1], answers.data(), answers.size()) != (ssize_t)answers.size()) return 1;
    close(fds[1]);
    dup2(fds[0], 0);
    zuError(String("abc"));
  }
  if (!std::strcmp(mode, "locale")) {
    std::printf("%s\n", std::setlocale(LC_CTYPE, nullptr));
    return 0;
  }
  return 0;
}

int main(int argc_, char** argv_) {
  zu_std_main(argc_, argv_);
  return 0;
}
