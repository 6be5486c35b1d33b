// CALL results that depend on the counter and on exit codes that a real
// program cannot produce: run in-process over the in-memory platform.
#include "driver/run.h"
#include "platform/memory_platform.h"

#include <gtest/gtest.h>

namespace veldran {
namespace {

constexpr const char *kShowResults =
    "%CALL:prog\r\n%INT:$RC_LAST;/%INT:$RC_OS;/%INT:$TIME_E;\r\n";

struct CallRun {
  MemoryPlatform platform;
  std::string output;

  explicit CallRun(std::uint32_t exitCode = 0) {
    platform.program = [exitCode](const std::string &) {
      ProgramResult r;
      r.started = true;
      r.exitCode = exitCode;
      return r;
    };
  }
  void run(const std::string &input) {
    platform.files["TEST.INP"] = input;
    EXPECT_EQ(runVeldran(platform, {}), 0);
    output = platform.files["TEST.OUT"];
  }
};

TEST(CallResults, ElapsedTimeTruncatesToMilliseconds) {
  CallRun c(4);
  c.platform.frequency = 3;
  c.platform.tickStep = 2;
  c.run(kShowResults);
  EXPECT_EQ(c.output, "4/0/666\r\n");
  EXPECT_EQ(c.platform.console, "");
}

TEST(CallResults, LargeCounterValuesDoNotOverflow) {
  CallRun c;
  c.platform.frequency = 1000000000;
  c.platform.tickStep = 10000000000000000; // 116 days in nanoseconds
  c.run(kShowResults);
  EXPECT_EQ(c.output, "0/0/10000000000\r\n");
}

TEST(CallResults, NoFrequencyGivesZeroTime) {
  CallRun c;
  c.platform.frequencyFails = true;
  c.platform.frequencyError = 5;
  c.platform.tickStep = 100;
  c.run(kShowResults);
  EXPECT_EQ(c.output, "0/0/0\r\n");
  EXPECT_EQ(c.platform.console,
            "VELDRAN-l00490-W QueryPerformanceFrequency() Error 5.\n");
}

TEST(CallResults, CounterFailuresWarnAndGiveZeroTime) {
  CallRun c(9);
  c.platform.counterFails = true;
  c.platform.counterError = 22;
  c.run(kShowResults);
  EXPECT_EQ(c.output, "9/0/0\r\n");
  EXPECT_EQ(c.platform.console,
            "VELDRAN-l01076-W QueryPerformanceCounter() measure 1 Error 22.\n"
            "VELDRAN-l01099-W QueryPerformanceCounter() measure 2 Error "
            "22.\n");
}

TEST(CallResults, ExitCodeIsUnsigned) {
  CallRun c(3221225477u);
  c.run(kShowResults);
  EXPECT_EQ(c.output, "3221225477/0/0\r\n");
}

TEST(CallResults, CommandLineEndsAtZeroByte) {
  CallRun c;
  c.run("%CALL:  prog a%HEXA:00;b  \r\n");
  ASSERT_EQ(c.platform.commandLines.size(), 1u);
  EXPECT_EQ(c.platform.commandLines[0], "prog a");
}

} // namespace
} // namespace veldran
