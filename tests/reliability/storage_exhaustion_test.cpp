// Storage exhaustion at every place that reserves stack or appends text.
// A run defines its variables and macros, then the free space between the
// text storage and the variable stack is set to an exact count and a probe
// runs: with just enough room it runs through, with less it ends at the
// place that ran out, with that place's message, and keeps the output
// written before.
#include "driver/input_sources.h"
#include "driver/line_loop.h"
#include "driver/run.h"
#include "platform/memory_platform.h"
#include "reliability/sanitized.h"
#include "symbols/symbol_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace veldran {
namespace {

// Lines 1 to 19; the probe's line "before" is line 20.
constexpr const char *kSetup = "%DEFT T:abc\r\n"
                               "%MACRO:P0;\r\n<>\r\n%MEND\r\n"
                               "%MACRO:PI(MINT:A)\r\n<%INT:A;>\r\n%MEND\r\n"
                               "%MACRO:PT(MTEXT:B)\r\n<%TEXT:B;>\r\n%MEND\r\n"
                               "%MACRO:PQ(MQUOTE:C)\r\n<%TEXT:C;>\r\n%MEND\r\n"
                               "%MACRO:MS;\r\n%MSET Y=1+2;\r\n%MEND\r\n"
                               "%MACRO:MD;\r\n%MDEFT U:abcdefghij\r\n%MEND\r\n";

struct Outcome {
  bool aborted = false;
  std::string output;
  std::string console;
};

// Runs the setup, leaves `freeBytes` free and runs "before", the probe and
// "after".
Outcome runProbe(const std::string &probe, std::uint32_t freeBytes,
                 const std::string &consoleInput = "") {
  MemoryPlatform platform;
  platform.files["SETUP"] = kSetup;
  platform.files["PROBE"] = "before\r\n" + probe + "after\r\n";
  platform.files["INC"] = "inc\r\n";
  platform.consoleInput = consoleInput;
  Run run{platform};
  int error = 0;
  run.output = platform.createOutput("OUT", error);
  initSymbols(run);
  openInputFile(run, "SETUP");
  runLineLoop(run, false);
  EXPECT_EQ(platform.console, "");
  EXPECT_GE(run.storage.freeBytes(), freeBytes);
  run.storage.textTop = run.storage.stackTop - freeBytes;
  openInputFile(run, "PROBE");
  Outcome out;
  try {
    runLineLoop(run, false);
  } catch (const RunAborted &) {
    out.aborted = true;
  }
  run.output.reset();
  out.output = platform.files["OUT"];
  out.console = platform.console;
  return out;
}

std::string stackFull(const char *counters) {
  return std::string(counters) +
         " Variablen-Speicher ist nicht gro\xE1 genug - Abbruch\n";
}

std::string textFull(const char *counters) {
  return std::string(counters) +
         " Text-Speicher nicht gro\xE1 genug - Abbruch\n";
}

std::string bodyFull(const char *counters) {
  return std::string(counters) + " Macro-storage not big enough - abend\n";
}

struct Shortage {
  std::uint32_t freeBytes;
  std::string console;
};

struct Site {
  const char *name;
  const char *probe;
  std::uint32_t fits; // the least free space with which the probe runs
  const char *output; // what the probe then writes
  std::vector<Shortage> shortages; // the first one byte short of `fits`
  const char *console = "";        // what the probe then shows
  const char *consoleInput = "";
};

std::ostream &operator<<(std::ostream &os, const Site &site) {
  return os << site.name;
}

// The costs, in bytes: a saved name 16, a symbol entry 32, a kept prefix 4
// and its bytes, a pending text target 4, a saved condition byte 1, a
// repeat frame 8 (6 once the body replays), a call's entry copy 32 and its
// condition save and local table 10, INT's work record 16, TEXT's 8; the
// evaluator's base marker 4 and 16 for each pending operator and for the
// end; a stored line 2 and its bytes.
const Site kSites[] = {
    {"SET",
     "%SET X=1;\r\n",
     36,
     "",
     {{35, stackFull("21/2")}, {15, stackFull("21/2")}}},
    {"DEFT",
     "%DEFT V:abc\r\n[%TEXT:V;]\r\n",
     43,
     "[abc]\r\n",
     {{42, textFull("21/2")},
      {39, stackFull("21/2")},
      {35, stackFull("21/2")},
      {31, stackFull("21/2")},
      {15, stackFull("21/2")}}},
    {"MSET in a macro", "%MS;\r\n", 62, "", {{61, stackFull("21/1")}}},
    {"MDEFT in a macro", "%MD;\r\n", 60, "", {{59, textFull("21/1")}}},
    {"INT",
     "%INT:1+2*3&4^5|6;\r\n",
     116,
     "7\r\n",
     {{115, stackFull("21/2")}, {15, stackFull("21/2")}}},
    {"INT with parentheses",
     "%INT:((1+2)*(3+4));\r\n",
     68,
     "21\r\n",
     {{67, stackFull("21/2")}}},
    {"TEXT", "%TEXT:T;\r\n", 8, "abc\r\n", {{7, stackFull("21/2")}}},
    {"TAB",
     "%TAB:1+2*3&4^5|6;x\r\n",
     100,
     "      x\r\n",
     {{99, stackFull("21/2")}}},
    {"IF",
     "%IF EQ 0;\r\nin\r\n%CEND\r\n",
     21,
     "in\r\n",
     {{20, stackFull("21/2")}, {0, stackFull("21/2")}}},
    {"IIF",
     "%IIF EQ 0;yes\r\n",
     20,
     "yes\r\n",
     {{19, stackFull("21/2")}, {3, stackFull("21/2")}}},
    {"MACRO",
     "%MACRO:N;\r\nbody\r\n%MEND\r\n",
     40,
     "",
     {{39, bodyFull("22/3")}, {33, bodyFull("21/2")}, {31, stackFull("21/2")}}},
    {"RPT",
     "%RPT\r\nbody\r\n%REXIT\r\n%REND\r\n",
     22,
     "body\r\n",
     {{21, bodyFull("23/4")}, {7, stackFull("21/2")}}},
    {"RPTN",
     "%RPTN 2;\r\nb\r\n%REND\r\n",
     20,
     "b\r\nb\r\n",
     {{19, stackFull("21/2")}}},
    {"macro call",
     "%P0;\r\n",
     46,
     "<>\r\n",
     {{45, stackFull("21/2")},
      {35, stackFull("21/2")},
      {31, stackFull("21/2")}}},
    {"macro call on a continued line",
     "ab%CONT\r\n%P0;\r\n",
     48,
     "ab<>\r\n",
     {{47, stackFull("22/3")},
      {35, stackFull("22/3")},
      {33, stackFull("22/3")}}},
    {"MINT argument",
     "%PI(1+2*3&4^5|6)\r\n",
     162,
     "<7>\r\n",
     {{161, stackFull("21/0")}, {61, stackFull("21/0")}}},
    {"MTEXT argument",
     "%PT(bb)\r\n",
     80,
     "<bb>\r\n",
     {{79, stackFull("21/0")}, {48, "21/x stack overflow - MTEXT - abend\n"}}},
    {"MQUOTE argument",
     "%PQ('cc')\r\n",
     80,
     "<cc>\r\n",
     {{79, stackFull("21/0")}, {47, "21/x stack overflow - MQUOTE - abend\n"}}},
    {"MQUOTE argument with a doubled apostrophe",
     "%PQ('''')\r\n",
     79,
     "<'>\r\n",
     {{78, stackFull("21/0")}, {46, "21/x stack overflow - MQUOTE - abend\n"}}},
    {"EXECUTE",
     "%EXECUTE:abc\r\n",
     15,
     "abc\r\n",
     {{14, stackFull("21/0")},
      {8, "21/2 storage not big enough for EXECUTE - abend\n"},
      {3, stackFull("21/2")}}},
    {"ACC",
     "%ACC: W A10;\r\n",
     37,
     "",
     {{36, stackFull("21/2")},
      {4, "21/2 ACC-Speicher ist nicht gro\xE1 genug - Abbruch\n"}},
     "",
     "hello"},
    {"DISP", "%DISP:shown\r\n", 4, "", {{3, stackFull("21/2")}}, "shown\n"},
    {"INCLUDE", "%INCLUDE INC\r\n", 4, "inc\r\n", {{3, stackFull("21/2")}}},
    {"CALL",
     "%CALL:prog\r\n",
     4,
     "",
     {{3, stackFull("21/2")}},
     "VELDRAN-l01091-W CreateProcessA( prog ) returned GetLastError=2.\n"},
};

class Exhaustion : public ::testing::TestWithParam<Site> {};

TEST_P(Exhaustion, RunsThroughWithJustEnoughRoom) {
  const Site &site = GetParam();
  Outcome out = runProbe(site.probe, site.fits, site.consoleInput);
  EXPECT_FALSE(out.aborted);
  EXPECT_EQ(out.console, site.console);
  EXPECT_EQ(out.output, std::string("before\r\n") + site.output + "after\r\n");
}

TEST_P(Exhaustion, EndsTheRunWhenShort) {
  const Site &site = GetParam();
  ASSERT_EQ(site.shortages.front().freeBytes, site.fits - 1);
  for (const Shortage &s : site.shortages) {
    SCOPED_TRACE(std::to_string(s.freeBytes) + " bytes free");
    Outcome out = runProbe(site.probe, s.freeBytes, site.consoleInput);
    EXPECT_TRUE(out.aborted);
    EXPECT_EQ(out.console, s.console);
    EXPECT_EQ(out.output, "before\r\n");
  }
}

std::string siteName(const ::testing::TestParamInfo<Site> &info) {
  std::string name;
  for (const char *c = info.param.name; *c; ++c)
    name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Sites, Exhaustion, ::testing::ValuesIn(kSites),
                         siteName);

std::string lines(const std::string &line, int count) {
  std::string s;
  for (int i = 0; i < count; ++i)
    s += line;
  return s;
}

TEST(DeepNesting, IfBlocksUntilTheStackIsFull) {
  // The body costs 20 bytes (a 6-byte condition save and two stored lines
  // of 11 and 3 bytes); each pass keeps one condition byte and needs 20
  // more for its expression. 100,040 bytes give 100,000 open blocks.
  Outcome out = runProbe("%RPT\r\n%IF EQ 0;\r\nx\r\n%REND\r\n", 100040);
  EXPECT_TRUE(out.aborted);
  EXPECT_EQ(out.console, stackFull("24/1"));
  EXPECT_TRUE(out.output == "before\r\n" + lines("x\r\n", 100000));
}

TEST(DeepNesting, MacroRecursionUntilTheStackIsFull) {
  // The macro costs 44 bytes (its entry and 12 bytes of stored lines);
  // every level keeps 10 and its call needs 46 while it binds. Every call
  // moves the items of all levels below the new local table, so the time
  // grows with the square of the depth: a fifth of it under the
  // sanitizers, whose moves are checked byte by byte.
  const int levels = testing::kSanitized ? 20000 : 100000;
  Outcome out = runProbe("%MACRO:R;\r\n%MEND\r\n"
                         "%MACRO:R;\r\nx\r\n%R;\r\n%MEND\r\n"
                         "%R;\r\n",
                         static_cast<std::uint32_t>(10 * levels + 80));
  EXPECT_TRUE(out.aborted);
  EXPECT_EQ(out.console, stackFull("27/2"));
  EXPECT_TRUE(out.output == "before\r\n" + lines("x\r\n", levels));
}

} // namespace
} // namespace veldran
