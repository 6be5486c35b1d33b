// Storage exhaustion at every place that reserves stack or appends text: a
// probe runs with an exact count of free bytes and ends at the place that
// ran out, with its message, keeping the output written before.
#include "base/symbol_table.h"
#include "driver/line_loop.h"
#include "driver/reading.h"
#include "memory_platform.h"

#include <gtest/gtest.h>

#include <string>

namespace veldran {
namespace {

// Lines 1 to 13; the probe's line "before" is line 14.
constexpr const char *kSetup = "%DEFT T:abc\r\n"
                               "%MACRO:P0;\r\n<>\r\n%MEND\r\n"
                               "%MACRO:PI(MINT:A)\r\n<%INT:A;>\r\n%MEND\r\n"
                               "%MACRO:PT(MTEXT:B)\r\n<%TEXT:B;>\r\n%MEND\r\n"
                               "%MACRO:PQ(MQUOTE:C)\r\n<%TEXT:C;>\r\n%MEND\r\n";

struct Outcome {
  bool aborted;
  std::string output, console;
};

// Runs the setup, leaves `freeBytes` free and runs "before", the probe and
// "after", with "hello" as console input.
Outcome runProbe(const std::string &probe, std::uint32_t freeBytes) {
  MemoryPlatform platform;
  platform.files["SETUP"] = kSetup;
  platform.files["PROBE"] = "before\r\n" + probe + "after\r\n";
  platform.consoleInput = "hello";
  Run run{platform};
  int error = 0;
  run.output = platform.createOutput("OUT", error);
  initSymbols(run);
  openInputFile(run, "SETUP");
  runLineLoop(run);
  EXPECT_GE(run.storage.freeBytes(), freeBytes);
  run.storage.textTop = run.storage.stackTop - freeBytes;
  openInputFile(run, "PROBE");
  bool aborted = false;
  try {
    runLineLoop(run);
  } catch (const RunAborted &) {
    aborted = true;
  }
  EXPECT_TRUE(run.output->commit(error));
  run.output.reset();
  return {aborted, platform.files["OUT"], platform.console};
}

constexpr const char *kStack =
    "Variablen-Speicher ist nicht gro\xE1 genug - Abbruch";
constexpr const char *kText = "Text-Speicher nicht gro\xE1 genug - Abbruch";
constexpr const char *kBody = "Macro-storage not big enough - abend";

// A probe, the free space with which it ends the run, and its message.
// The first row of a probe also gives what it writes when it runs through
// with one byte more; further rows reach other places first.
struct Row {
  const char *probe;
  std::uint32_t freeBytes;
  const char *counters;
  const char *message;
  const char *output = nullptr;
};

// Costs: a name 16, a symbol 32, a kept prefix 4 and its bytes, a text
// target 4, a condition byte 1, a repeat frame 8, a call 32 and then 10,
// INT 16, TEXT 8, an expression 4 and 16 for each pending operator and
// for the end, a stored line 2 and its bytes, an MTEXT byte 2.
const Row kRows[] = {
    {"%SET X=1;\r\n", 35, "15/2", kStack, ""},
    {"%DEFT V:abc\r\n[%TEXT:V;]\r\n", 42, "15/2", kText, "[abc]\r\n"},
    {"%DEFT V:abc\r\n[%TEXT:V;]\r\n", 39, "15/2", kStack},
    {"%DEFT V:abc\r\n[%TEXT:V;]\r\n", 35, "15/2", kStack},
    {"%DEFT V:abc\r\n[%TEXT:V;]\r\n", 31, "15/2", kStack},
    {"%DEFT V:abc\r\n[%TEXT:V;]\r\n", 15, "15/2", kStack},
    {"%INT:1+2*3&4^5|6;\r\n", 115, "15/2", kStack, "7\r\n"},
    {"%INT:1+2*3&4^5|6;\r\n", 15, "15/2", kStack},
    {"%TEXT:T;\r\n", 7, "15/2", kStack, "abc\r\n"},
    {"%IF EQ 0;\r\nin\r\n%CEND\r\n", 20, "15/2", kStack, "in\r\n"},
    {"%IF EQ 0;\r\nin\r\n%CEND\r\n", 4, "15/2", kStack},
    {"%IF EQ 0;\r\nin\r\n%CEND\r\n", 0, "15/2", kStack},
    {"%MACRO:N;\r\nbody\r\n%MEND\r\n", 39, "16/3", kBody, ""},
    {"%MACRO:N;\r\nbody\r\n%MEND\r\n", 33, "15/2", kBody},
    {"%MACRO:N;\r\nbody\r\n%MEND\r\n", 31, "15/2", kStack},
    {"%RPT\r\nbody\r\n%REXIT\r\n%REND\r\n", 21, "17/4", kBody, "body\r\n"},
    {"%RPT\r\nbody\r\n%REXIT\r\n%REND\r\n", 7, "15/2", kStack},
    {"%RPTN 2;\r\nb\r\n%REND\r\n", 19, "15/2", kStack, "b\r\nb\r\n"},
    // The expression kept at the first pass reserves as it did when read,
    // and gives all of it back at every pass (each pass's DEFT keeps its 8
    // bytes of text).
    {"%RPTN 9;\r\n%SET X=1+2*3&4^5|6;\r\n%DEFT V:abcdefgh\r\n%REND\r\n", 288,
     "18/1", kStack, ""},
    {"%P0;\r\n", 45, "15/2", kStack, "<>\r\n"},
    {"%P0;\r\n", 31, "15/2", kStack},
    {"ab%CONT\r\n%P0;\r\n", 47, "16/3", kStack, "ab<>\r\n"},
    {"ab%CONT\r\n%P0;\r\n", 33, "16/3", kStack},
    {"%PI(1+2*3&4^5|6)\r\n", 161, "15/0", kStack, "<7>\r\n"},
    {"%PI(1+2*3&4^5|6)\r\n", 61, "15/0", kStack},
    {"%PT(bb)\r\n", 79, "15/0", kStack, "<bb>\r\n"},
    {"%PT(bb)\r\n", 48, "15/x", "stack overflow - MTEXT - abend"},
    {"%PQ('c''')\r\n", 79, "15/0", kStack, "<c'>\r\n"},
    {"%PQ('c''')\r\n", 47, "15/x", "stack overflow - MQUOTE - abend"},
    {"%PQ('c''')\r\n", 48, "15/0", kStack},
    {"%EXECUTE:abc\r\n", 14, "15/0", kStack, "abc\r\n"},
    {"%EXECUTE:abc\r\n", 8, "15/2",
     "storage not big enough for EXECUTE - abend"},
    {"%ACC: W A10;\r\n", 36, "15/2", kStack, ""},
    {"%ACC: T A10;\r\n", 4, "15/2",
     "ACC-Speicher ist nicht gro\xE1 genug - Abbruch", ""},
};

TEST(Exhaustion, EveryPlaceEndsTheRunWhereItRunsOut) {
  for (const Row &row : kRows) {
    SCOPED_TRACE(std::string(row.probe) + " with " +
                 std::to_string(row.freeBytes) + " bytes free");
    Outcome out = runProbe(row.probe, row.freeBytes);
    EXPECT_TRUE(out.aborted);
    EXPECT_EQ(out.console,
              std::string(row.counters) + " " + row.message + "\n");
    EXPECT_EQ(out.output, "before\r\n");
    if (row.output) {
      out = runProbe(row.probe, row.freeBytes + 1);
      EXPECT_FALSE(out.aborted);
      EXPECT_EQ(out.console, "");
      EXPECT_EQ(out.output,
                std::string("before\r\n") + row.output + "after\r\n");
    }
  }
}

} // namespace
} // namespace veldran
