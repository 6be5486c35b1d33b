// Failures of the system services injected through the in-memory platform,
// and input of any quality: random bytes, repeat blocks nested deeper than
// the storage allows.
#include "base/symbol_table.h"
#include "driver/line_loop.h"
#include "driver/program.h"
#include "driver/reading.h"
#include "memory_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace veldran {
namespace {

struct Result {
  int exitCode;
  std::string output, console;
};

Result run(MemoryPlatform &platform, const std::string &input) {
  platform.files["TEST.INP"] = input;
  int exitCode = runVeldran(platform, RunOptions{});
  return {exitCode, platform.files["TEST.OUT"], platform.console};
}

Result run(const std::string &input) {
  MemoryPlatform platform;
  return run(platform, input);
}

TEST(FaultInjection, AFailedWriteIsReportedOnceAndEndsTheRunWithOne) {
  // The program of "%CALL:fill" fills the disk: every later write fails,
  // in the run and at its end, also at the end of a cancelled run. The
  // output that lost bytes does not replace the file.
  const std::string warning = "VELDRAN-l00870-W WriteFile() Error 28.\n";
  for (const auto &[rest, console] :
       {std::pair{"b\r\n%DISP:shown\r\nc\r\n", warning + "shown\n"},
        std::pair{"b\r\n%IF EQ 0;\r\n%CANCEL\r\n", warning}}) {
    MemoryPlatform platform;
    platform.program = [&platform](const std::string &) {
      platform.writeError = 28;
      return ProgramResult{true};
    };
    Result r = run(platform, std::string("a\r\n%CALL:fill\r\n") + rest);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(r.console, console);
  }
}

TEST(FaultInjection, AFailedCloseLeavesTheOldOutputAndEndsWithOne) {
  MemoryPlatform platform;
  platform.files["TEST.OUT"] = "old\r\n";
  platform.closeError = 5;
  Result r = run(platform, "new\r\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.output, "old\r\n");
  EXPECT_EQ(r.console, "VELDRAN-l00870-W WriteFile() Error 5.\n");
}

TEST(FaultInjection, AReadFailureEndsTheRunWithThree) {
  // The first read of the included file delivers part of it, the next one
  // fails: the run ends at once with the lines written before the include.
  MemoryPlatform platform;
  platform.files["INC"] = "one\r\ntwo\r\nthree\r\n";
  platform.readFaults.push_back({"INC", 12, 5});
  Result r = run(platform, "a\r\n%INCLUDE INC\r\nback\r\n");
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.output, "a\r\n");
  EXPECT_EQ(r.console, "l00750 ReadFile() returned error 5\n");
}

// What the line model makes of text without commands: each line is what
// the 256-byte window holds up to the first CR LF, or the whole window with
// a message; end-of-file marks at the start of a line are skipped.
Result plainText(const std::string &in) {
  Result r{0, "", ""};
  for (std::size_t pos = 0, line = 1;; ++line) {
    while (pos < in.size() && in[pos] == '\x1A')
      ++pos;
    if (pos == in.size())
      return r;
    std::size_t end = std::min(in.size(), pos + 256);
    std::size_t lf = pos + 1;
    while (lf < end && !(in[lf] == '\n' && in[lf - 1] == '\r'))
      ++lf;
    if (lf < end)
      end = lf + 1;
    else
      r.console += std::to_string(line) + "/" + std::to_string(line) +
                   " Eingabe-Zeile zu lang\n";
    r.output += in.substr(pos, end - pos);
    pos = end;
  }
}

TEST(HostileInput, RandomBytesWithCommandsEndNormallyAndWithoutFollowTheLines) {
  // Short lines, and lines mostly longer than 256 bytes; one in 4 or 64
  // bytes a line end, an end-of-file mark, a percent sign or a NUL byte.
  static const std::string kControl[] = {"\r\n", "\r", "\n",
                                         "\x1A", "%",  {"\0", 1}};
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::string input;
    while (input.size() < 100000) {
      std::uint32_t r = random();
      if (r % (seed % 2 ? 4 : 64) == 0)
        input += kControl[(r >> 8) % 6];
      else
        input += static_cast<char>(r >> 24);
    }
    EXPECT_EQ(run(input).exitCode, 0);
    std::replace(input.begin(), input.end(), '%', '#');
    Result expected = plainText(input);
    Result actual = run(input);
    EXPECT_TRUE(actual.output == expected.output);
    EXPECT_EQ(actual.console, expected.console);
  }
}

TEST(HostileInput, LineCountersWrapAndShowTheirSignedValue) {
  // 2^31 lines cannot be read in a test: the counters start close to it.
  MemoryPlatform platform;
  platform.files["IN"] = "%INT:$LINE_A; %INT:$LINE_O;\r\n%NOSUCH\r\n";
  int error = 0;
  veldran::Run state{platform};
  state.output = platform.createOutput("OUT", error);
  initSymbols(state);
  openInputFile(state, "IN");
  state.inputLineCount = state.outputLineNumber = 0x7FFFFFFF;
  runLineLoop(state);
  state.output->commit(error);
  EXPECT_EQ(platform.files["OUT"], "-2147483648 2147483647\r\n\r\n");
  EXPECT_EQ(platform.console,
            "-2147483647/2 command not defined: NOSUCH          \n");
}

} // namespace
} // namespace veldran
