// tests/app/app_test.cpp — applications run by the real program entry in a child process:
// devices, update and render bracketing, closing, a second application.
#include <gtest/gtest.h>

#include "app/app.h"
#include "tests/support/subprocess.h"

namespace {

ProcessResult RunApp(const std::string& mode) {
  return RunProcess({"/usr/bin/env", "ALSOFT_DRIVERS=null", APP_CHILD, mode}, "", true, 60);
}

TEST(Application, RunsWithDevicesAndBracketedCalls) {
  ProcessResult r = RunApp("run");
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("created 640x480 devices ok"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("updates 20 rendered inside frames"), std::string::npos) << r.out;
}

TEST(Application, CloseAndBackEndTheProgramAtTheKeyDown) {
  for (const char* mode : {"close", "back"}) {
    ProcessResult r = RunApp(mode);
    EXPECT_EQ(r.exit_code, 0) << mode << r.out << r.err;
    EXPECT_NE(r.out.find("key up alone ignored"), std::string::npos) << mode << r.out;
    EXPECT_NE(r.out.find("saving before the end"), std::string::npos) << mode << r.out;
    EXPECT_EQ(r.out.find("after the key"), std::string::npos) << mode << r.out;
  }
}

TEST(Application, ASecondApplicationIsARuntimeError) {
  ProcessResult r = RunApp("twice");
  EXPECT_EQ(r.exit_code, 255);
  EXPECT_EQ(r.out, "Quokka Runtime Error : App has already been created\n\n");
}

} // namespace
