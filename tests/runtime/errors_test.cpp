// tests/runtime/errors_test.cpp — run-time errors, fatal signals and the debug stop, in a child.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <thread>
#include <tuple>

#include "runtime/errors.h"
#include "tests/support/collector.h"

namespace {

struct Described : Object {
  String debug() override { return String("+Described\n"); }
};
Object* g_object;

__attribute__((no_sanitize("undefined"), no_sanitize_address)) void ReadNull() { *(volatile int*)nullptr; }

// Runs `body` in a child with the signal handlers installed and `input` on its standard input
// (closed when empty): {standard output, standard error, exit status; 7 when body returned}.
std::tuple<std::string, std::string, int> RunChild(void (*body)(), const std::string& input) {
  int in[2], out[2], err[2];
  if (pipe(in) || pipe(out) || pipe(err)) return {};
  std::fflush(nullptr);
  if (fork() == 0) {
    input.empty() ? close(0) : dup2(in[0], 0);
    dup2(out[1], 1), dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    zu_install_signal_handlers();
    std::exit((body(), 7));
  }
  close(in[0]), close(out[1]), close(err[1]);
  bool written = write(in[1], input.data(), input.size()) == (ssize_t)input.size();
  close(in[1]);
  std::string texts[2];
  for (int i = 0; i < 2; ++i)
    for (char c; read(i ? err[0] : out[0], &c, 1) == 1;) texts[i] += c;
  int status = 0;
  close(out[0]), close(err[0]), wait(&status);
  return {texts[0], texts[1], written && WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

void Abc() { zuError(String("abc")); }
void Segv() { std::raise(SIGSEGV); }
const std::string kReport = "Quokka Runtime Error : abc\n\n", kStop = "{{~~~~}}\n\n";
const std::string kSegv = "Quokka Runtime Error : Memory access violation\n\n",
                  kLong = "q" + std::string(254, 'x');

TEST(RuntimeError, ReportsThenFollowsTheDebugStop) {
  gc_clear_roots();
  gc_root(g_object);
  gc_assign(g_object, new Described);
  std::string freed = dbg_ptr_value(new Described).ToUtf8(); // only a live object is described
  CollectFully();
  const std::tuple<void (*)(), std::string, std::string, std::string, int> cases[] = {
      {Abc, "", kReport, kStop, 255},
      {Abc, "q", kReport, kStop, 255}, // no newline: the end of input
      {Abc, "q\n", kReport, kStop, 0},
      {Abc, "x\n", kReport + "????? x ?????", kStop, 255},
      {Abc, "?\nr\ns\ne\nl\nq\n", kReport + kReport + kReport + kReport + kReport,
       kStop + kStop + kStop + kStop + kStop, 0},
      {Abc, kLong + "\n", kReport, kStop, 255}, // 255 characters do not fit
      {[] { zuError(String()); }, "", "", "", 0},
      {Abc, "@" + dbg_ptr_value(g_object).ToUtf8() + "\n@" + freed + "\n@0x12345678\n@(nil)\n@\n@zz\nq\n",
       kReport, kStop + "+Described\n\n\n\n\n\n\n", 0},
      {Segv, "", kSegv, kStop, 255},
      {Segv, "?\n@1\nr\ns\ne\nl\nq\n", kSegv + kSegv + kSegv + kSegv + kSegv,
       kStop + "\n" + kStop + kStop + kStop + kStop, 0},
      {Segv, "x\n", kSegv + "????? x ?????", kStop, 255},
      {Segv, kLong + "\n", kSegv, kStop, 0}, // here they do
      {Segv, "q" + kLong + "\n", kSegv, kStop, 255},
      {[] { std::raise(SIGFPE); }, "q\n", "Quokka Runtime Error : Floating point exception\n\n", kStop, 0},
      {ReadNull, "q\n", kSegv, kStop, 0},
      {[] { std::thread(ReadNull).join(); }, "", kSegv, kStop, 255},
      {[] { zuPrint(String::FromUtf8("\xC3\xA9\xE2\x82\xAC", 5)); }, "", "\xC3\xA9\xE2\x82\xAC\n", "", 7}};
  for (auto& [body, input, out, err, status] : cases)
    EXPECT_EQ(RunChild(body, input), std::make_tuple(out, err, status)) << input;
  // A value as the debugger shows it: quoted and escaped, cut past 100 characters before escaping.
  const std::string y99(99, 'y');
  EXPECT_EQ(dbg_value(String((y99 + "\t").c_str())), String(("\"" + y99 + "~t\"").c_str())) << "100: whole";
  EXPECT_EQ(dbg_value(String((y99 + "\tz").c_str())), String(("\"" + y99 + "~t...\"").c_str())) << "101: cut";
  gc_clear_roots();
}

} // namespace
