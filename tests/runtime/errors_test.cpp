// tests/runtime/errors_test.cpp — run-time errors and the debug stop through a real process;
// printing and the value formatters in process.
#include <gtest/gtest.h>

#include <clocale>
#include <utility>

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
  for (const char* input : {"", "q"}) // empty input, and a command without its newline
    EXPECT_EQ(Child({"error", "abc"}, input).exit_code, 255) << input;
  // An empty message ends quietly.
  ProcessResult quiet = Child({"error", ""}, "", true);
  EXPECT_EQ(quiet.exit_code, 0);
  EXPECT_EQ(quiet.out + quiet.err, "");
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

// Each fault reports once with the stop line and ends at once: 255 with nothing to read, 0
// after "q". A fault raised with the allocator's lock held still reports (nothing in the
// report allocates); one on a second thread ends the whole process.
TEST(RuntimeError, FatalSignalsReportOnceAndEndWithoutHanging) {
  const std::pair<const char*, const char*> faults[] = {{"segv", "Memory access violation"},
                                                        {"fpe", "Floating point exception"},
                                                        {"null", "Memory access violation"},
                                                        {"thread-null", "Memory access violation"},
                                                        {"malloc-segv", "Memory access violation"}};
  for (auto [fault, text] : faults) {
    for (const char* input : {"", "q\n"}) {
      ProcessResult r = RunProcess({ERROR_CHILD, fault}, input, *input == 0, 5);
      if (r.exit_code == 77) continue; // no replaceable allocator in this build
      EXPECT_EQ(r.out, std::string("Quokka Runtime Error : ") + text + "\n\n") << fault;
      EXPECT_EQ(r.err, kStopLine) << fault;
      EXPECT_EQ(r.exit_code, *input ? 0 : 255) << fault << " " << input;
    }
  }
  // Resumed, the report comes again; an unknown answer is framed on standard output.
  ProcessResult again = Child({"segv"}, "r\nx\n");
  EXPECT_EQ(again.out, "Quokka Runtime Error : Memory access violation\n\n"
                       "Quokka Runtime Error : Memory access violation\n\n????? x ?????");
  EXPECT_EQ(again.exit_code, 255);
}

TEST(RuntimeError, StartUpPicksAUtf8Locale) {
  ProcessResult r = Child({"locale"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("UTF-8"), std::string::npos) << r.out;
}

TEST(Printing, ZuPrintWritesUtf8AndANewline) {
  EXPECT_EQ(Child({"print", "plain \xC3\xA9\xE2\x82\xAC"}).out, "plain \xC3\xA9\xE2\x82\xAC\n");
}

TEST(Printing, ValueFormatters) {
  // Numbers come from String's own conversions (string_test.cpp); booleans and strings are
  // formatted here.
  EXPECT_EQ(dbg_value(0.5f), String("0.5"));
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
  EXPECT_EQ(dbg_ptr_value(reinterpret_cast<void*>(0x1234abcd)), String("1234abcd"));
}

TEST(Printing, StackTraceCarriesTheDebugLocation) {
  for (const char* none : {static_cast<const char*>(nullptr), ""}) {
    dbg_info = none;
    EXPECT_EQ(dbg_stacktrace().Length(), 0);
  }
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
