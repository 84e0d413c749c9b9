// tests/runtime/errors_test.cpp — run-time errors and the debug stop through a real process;
// printing and the value formatters in process.
#include <gtest/gtest.h>

#include <clocale>

#include "runtime/errors.h"
#include "tests/support/subprocess.h"

namespace {

ProcessResult Child(const std::vector<std::string>& args, const std::string& input = "",
                    bool close_stdin = false) {
  std::vector<std::string> argv{ERROR_CHILD};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProcess(argv, input, close_stdin);
}

const char* kReport = "Quokka Runtime Error : abc\n\n";
const char* kStopLine = "{{~~~~}}\n\n";

TEST(RuntimeError, ReportsAndStopsWithNothingOnStandardInput) {
  ProcessResult closed = Child({"error", "abc"}, "", true);
  EXPECT_EQ(closed.out, kReport);
  EXPECT_EQ(closed.err, kStopLine);
  EXPECT_EQ(closed.exit_code, 255);

  ProcessResult empty_input = Child({"error", "abc"});
  EXPECT_EQ(empty_input.out, kReport);
  EXPECT_EQ(empty_input.exit_code, 255);

  ProcessResult no_newline = Child({"error", "abc"}, "q");
  EXPECT_EQ(no_newline.exit_code, 255);
}

TEST(RuntimeError, EmptyMessageEndsQuietly) {
  ProcessResult r = Child({"error", ""}, "", true);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
}

TEST(RuntimeError, DebugStopCommands) {
  ProcessResult quit = Child({"error", "abc"}, "q\n");
  EXPECT_EQ(quit.exit_code, 0);
  EXPECT_EQ(quit.out, kReport);

  ProcessResult unknown = Child({"error", "abc"}, "x\n");
  EXPECT_EQ(unknown.exit_code, 255);
  EXPECT_EQ(unknown.out, std::string(kReport) + "????? x ?????");

  // '?' reads on; 'r' resumes, which reports the error again.
  ProcessResult resume = Child({"error", "abc"}, "?\nr\ns\nq\n");
  EXPECT_EQ(resume.exit_code, 0);
  EXPECT_EQ(resume.out, std::string(kReport) + kReport + kReport);
  EXPECT_EQ(resume.err, std::string(kStopLine) + kStopLine + kStopLine);
}

TEST(RuntimeError, DescribesOnlyLiveObjects) {
  // The child asks about a live object, a freed one, garbage, "(nil)", nothing and
  // "zz", then quits: one description and five empty lines, no crash.
  ProcessResult r = Child({"object"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, std::string(kStopLine) + "+Described\n\n" + "\n\n\n\n\n");
}

TEST(RuntimeError, FatalSignalsBecomeRuntimeErrors) {
  ProcessResult segv = Child({"segv"}, "", true);
  EXPECT_EQ(segv.out, "Quokka Runtime Error : Memory access violation\n\n");
  EXPECT_EQ(segv.exit_code, 255);
  ProcessResult fpe = Child({"fpe"}, "", true);
  EXPECT_EQ(fpe.out, "Quokka Runtime Error : Floating point exception\n\n");
  EXPECT_EQ(fpe.exit_code, 255);
}

TEST(RuntimeError, StartUpPicksAUtf8Locale) {
  ProcessResult r = Child({"locale"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("UTF-8"), std::string::npos) << r.out;
}

TEST(Printing, ZuPrintWritesUtf8AndANewline) {
  EXPECT_EQ(Child({"print", "\xC3\xA9"}).out, "\xC3\xA9\n");
  EXPECT_EQ(Child({"print", "\xE2\x82\xAC"}).out, "\xE2\x82\xAC\n");
  EXPECT_EQ(Child({"print", "plain"}).out, "plain\n");
}

TEST(Printing, ValueFormatters) {
  EXPECT_EQ(dbg_value(1.0f), String("1.0"));
  EXPECT_EQ(dbg_value(0.5f), String("0.5"));
  EXPECT_EQ(dbg_value(0.1f), String("0.10000000149011612"));
  EXPECT_EQ(dbg_value(-7), String("-7"));
  EXPECT_EQ(dbg_value(true), String("True"));
  EXPECT_EQ(dbg_value(false), String("False"));
  EXPECT_EQ(dbg_value(String("a\"b\tc\nd\re")), String("\"a~qb~tc~nd~re\""));
  EXPECT_EQ(dbg_value(String()), String("\"\""));

  std::string long_text(120, 'y');
  String cut = dbg_value(String(long_text.c_str()));
  EXPECT_EQ(cut.Length(), 1 + 100 + 3 + 1);
  EXPECT_TRUE(cut.EndsWith(String("yyy...\"")));
  // The cut comes first, so an escape never splits: 99 'y' and a quote at 100.
  String edge = dbg_value(String((std::string(99, 'y') + "\"zzz").c_str()));
  EXPECT_TRUE(edge.EndsWith(String("y~q...\"")));

  EXPECT_EQ(dbg_type(static_cast<float*>(nullptr)), String("Float"));
  EXPECT_EQ(dbg_type(static_cast<String*>(nullptr)), String("String"));
  String ptr = dbg_ptr_value(reinterpret_cast<void*>(0x1234abcd));
  EXPECT_EQ(ptr, String("1234abcd"));
}

TEST(Printing, StackTraceCarriesTheDebugLocation) {
  EXPECT_EQ(dbg_stacktrace().Length(), 0);
  dbg_info = "";
  EXPECT_EQ(dbg_stacktrace().Length(), 0);
  dbg_info = "game.cpp<12>";
  EXPECT_EQ(dbg_stacktrace(), String("game.cpp<12>\n"));
  try {
    dbg_throw("boom");
  } catch (const char* text) {
    EXPECT_STREQ(text, "boom");
  }
  EXPECT_EQ(dbg_exstack, String("game.cpp<12>\n"));
  dbg_info = nullptr;
}

} // namespace
