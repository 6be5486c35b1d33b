// CALL results that depend on the counter and on exit codes that a real
// program cannot produce: run in-process over the in-memory platform.
#include "driver/program.h"
#include "memory_platform.h"

#include <gtest/gtest.h>

namespace veldran {
namespace {

TEST(CallResults, ExitCodeTimeAndCounterWarnings) {
  const struct {
    const char *what;
    std::uint32_t exitCode;
    std::int64_t frequency, tickStep;
    int frequencyError, counterError; // non-zero: that reading fails
    const char *output, *console;
  } rows[] = {
      {"milliseconds are truncated", 4, 3, 2, 0, 0, "4/0/666", ""},
      {"no overflow over 116 days in nanoseconds", 0, 1000000000,
       10000000000000000, 0, 0, "0/0/10000000000", ""},
      {"the exit code is unsigned", 3221225477u, 1000, 0, 0, 0,
       "3221225477/0/0", ""},
      {"no frequency gives time 0", 0, 1000, 100, 5, 0, "0/0/0",
       "VELDRAN-l00490-W QueryPerformanceFrequency() Error 5.\n"},
      {"failing counter readings give time 0", 9, 1000, 100, 0, 22, "9/0/0",
       "VELDRAN-l01076-W QueryPerformanceCounter() measure 1 Error 22.\n"
       "VELDRAN-l01099-W QueryPerformanceCounter() measure 2 Error 22.\n"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.what);
    MemoryPlatform platform;
    platform.program = [&](const std::string &) {
      ProgramResult r;
      r.started = true;
      r.exitCode = row.exitCode;
      return r;
    };
    platform.frequency = row.frequency;
    platform.tickStep = row.tickStep;
    platform.frequencyError = row.frequencyError;
    platform.counterError = row.counterError;
    // The command line is trimmed and ends at a zero byte.
    platform.files["TEST.INP"] =
        "%CALL:  prog a%HEXA:00;b  \r\n"
        "%INT:$RC_LAST;/%INT:$RC_OS;/%INT:$TIME_E;\r\n";
    EXPECT_EQ(runVeldran(platform, RunOptions{}), 0);
    EXPECT_EQ(platform.files["TEST.OUT"], std::string(row.output) + "\r\n");
    EXPECT_EQ(platform.console, row.console);
    EXPECT_EQ(platform.commandLines, std::vector<std::string>{"prog a"});
  }
}

} // namespace
} // namespace veldran
