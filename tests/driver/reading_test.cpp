// Reading files: however the platform cuts the file into reads, and however
// lines fall across the blocks that the input is read in, the line loop sees
// the same lines.
#include "driver/program.h"
#include "memory_platform.h"

#include <gtest/gtest.h>

#include <string>

namespace veldran {
namespace {

struct Result {
  std::string output;
  std::string console;
};

// `alignment`: the output's writeAlignment, by which reads are sized.
Result runWith(const std::string &input, std::size_t readChunk,
               RunLimits limits = {}, std::size_t alignment = 0) {
  MemoryPlatform platform;
  platform.files["TEST.INP"] = input;
  platform.readChunk = readChunk;
  platform.writeAlignment = alignment;
  RunOptions options;
  options.limits = limits;
  runVeldran(platform, options);
  return {platform.files["TEST.OUT"], platform.console};
}

// A repeat body is read anew where another one was given back: what was
// read in the first is not taken for the second's. A faulty expression
// gets its message at every pass.
TEST(Reading, ABodyRecordedWhereAnotherWasIsReadAnew) {
  Result r = runWith("%SET AB=1;\r\n%SET AC=2;\r\n%RPTN 1;\r\n%INT:AB;\r\n"
                     "%REND\r\n%RPTN 2;\r\n%INT:AC;%INT:AC+;\r\n%REND\r\n",
                     0);
  EXPECT_EQ(r.output, "1\r\n20\r\n20\r\n");
  EXPECT_EQ(r.console, "8/1 in Ausdruck kein Operator gefunden\n"
                       "8/1 in Ausdruck kein Operator gefunden\n");
}

// Lines of every length around the 256-byte limit, plain ones and ones
// with commands, bare LFs, lone CRs and end-of-file marks, long enough to
// cross several blocks; first the lines just at the limit, each behind a
// short one, so that the line does not start where the fast path's scan
// begins.
std::string sampleInput() {
  std::string in = "%SET N=0;\r\n";
  for (std::size_t length : {254u, 255u, 256u})
    in += "ab\r\n" + std::string(length, 'y') + "\r\n";
  std::uint32_t state = 7;
  auto next = [&state] { return state = state * 1103515245u + 12345u; };
  for (int i = 0; i < 3000; ++i) {
    std::size_t length = next() % 300;
    std::string line(length, static_cast<char>('a' + i % 26));
    if (next() % 7 == 0)
      line += "%SET N=N+1;";
    if (next() % 11 == 0)
      line += "%INT(5):N;";
    if (next() % 13 == 0)
      line += "\n";
    if (next() % 17 == 0)
      line += "\r";
    if (next() % 19 == 0)
      line += "\x1A";
    in += line + (next() % 23 == 0 ? "" : "\r\n");
    if (next() % 29 == 0)
      in += "\x1A\x1A";
  }
  return in;
}

TEST(Reading, ShortReadsAndReadsSizedForTheOutputChangeNothing) {
  const std::string input = sampleInput();
  Result whole = runWith(input, 0);
  ASSERT_GT(whole.output.size(), 100000u);
  for (std::size_t chunk : {1u, 7u, 255u, 256u, 257u, 4095u, 70000u}) {
    Result pieces = runWith(input, chunk);
    EXPECT_EQ(pieces.output, whole.output) << "reads of " << chunk;
    EXPECT_EQ(pieces.console, whole.console) << "reads of " << chunk;
  }
  for (std::size_t alignment : {1u, 61u, 4096u, 262144u}) {
    Result sized = runWith(input, 0, {}, alignment);
    EXPECT_EQ(sized.output, whole.output) << "alignment " << alignment;
    EXPECT_EQ(sized.console, whole.console) << "alignment " << alignment;
  }
}

// Plain text read for an output whose alignment is the input block's size:
// each read is sized to the block's very end, and must stay within it.
TEST(Reading, ReadsSizedForAnAlignmentAsLargeAsTheBlockStayWithinIt) {
  std::string input;
  for (int i = 0; input.size() < 800000; ++i)
    input += std::string(static_cast<std::size_t>(i * 37 % 200), 'p') + "\r\n";
  EXPECT_TRUE(runWith(input, 0, {}, 262400).output == input);
}

TEST(Reading, PlainLinesGoTheFastPathAsLineByLine) {
  // Runs of plain lines end at every kind of line the fast path leaves to
  // the line loop, and at every line budget's end.
  const std::string input = sampleInput();
  for (std::uint64_t budget : {0u, 1u, 2u, 3u, 500u, 2999u}) {
    Result fast = runWith(input, 0, {budget, true});
    Result lineByLine = runWith(input, 0, {budget, false});
    EXPECT_EQ(fast.output, lineByLine.output) << "budget " << budget;
    EXPECT_EQ(fast.console, lineByLine.console) << "budget " << budget;
  }
}

// The budget that ends a run after so many lines (the fuzzer's guard
// against endless loops) counts the lines of a repeated body too: 102
// lines read and two passes fit in 150, the 200 lines replayed do not.
TEST(Reading, ALineBudgetCountsRepeatedLines) {
  std::string body;
  for (int i = 0; i < 100; ++i)
    body += "x\r\n";
  Result r = runWith("%RPTN 2;\r\n" + body + "%REND\r\n", 0, {150, true});
  EXPECT_LT(r.output.size(), 300u);
}

} // namespace
} // namespace veldran
