// Writing the output: runs of plain lines held back in their input block so
// that writes end on the output's alignment must give the same bytes, in
// the same order, whatever comes between them.
#include "driver/program.h"
#include "memory_platform.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

namespace veldran {
namespace {

struct Result {
  int exitCode;
  std::string output;
  std::string console;
};

Result run(MemoryPlatform &platform, const std::string &input) {
  platform.files["TEST.INP"] = input;
  int exitCode = runVeldran(platform, RunOptions{});
  auto out = platform.files.find("TEST.OUT");
  return {exitCode, out == platform.files.end() ? "<none>" : out->second,
          platform.console};
}

// Plain lines of up to 199 bytes, about `size` bytes of them.
std::string plainLines(std::size_t size, std::uint32_t &state) {
  std::string text;
  while (text.size() < size) {
    state = state * 1103515245u + 12345u;
    text += std::string(state >> 16 & 0xFF ? (state >> 8) % 200 : 0,
                        static_cast<char>('a' + state % 26)) +
            "\r\n";
  }
  return text;
}

// Long stretches of plain lines (some across the input's reads, some in an
// included file) between lines that write, lines that write nothing, a
// false block and a program started: each of them ends a held run.
std::string mixedInput() {
  std::uint32_t state = 11;
  std::string in;
  const char *between[] = {"x%INT:1+2;y\r\n",  "%SET N=1;\r\n",
                           "%INCLUDE INC\r\n", "%DISP:shown\r\n",
                           "%CALL:prog\r\n",   "%RPTN 2;\r\nr\r\n%REND\r\n"};
  for (int i = 0; i < 12; ++i) {
    in += plainLines(i % 3 == 0 ? 300000 : 90000, state);
    in += between[i % 6];
    if (i % 4 == 1)
      in += "%IF EQ 1;\r\n" + plainLines(280000, state) + "%CEND\r\n";
  }
  return in + "end";
}

Result runMixed(std::size_t alignment, std::size_t readChunk) {
  MemoryPlatform platform;
  platform.writeAlignment = alignment;
  platform.readChunk = readChunk;
  std::uint32_t state = 5;
  platform.files["INC"] = plainLines(700000, state);
  platform.program = [](const std::string &) { return ProgramResult{true}; };
  return run(platform, mixedInput());
}

TEST(OutputWrites, RunsHeldBackForAlignedWritesChangeNoByte) {
  Result direct = runMixed(0, 0);
  ASSERT_GT(direct.output.size(), 2000000u);
  for (std::size_t alignment : {1u, 61u, 4096u, 262144u})
    for (std::size_t readChunk : {0u, 70000u}) {
      Result held = runMixed(alignment, readChunk);
      EXPECT_EQ(held.exitCode, direct.exitCode) << alignment;
      EXPECT_EQ(held.console, direct.console) << alignment;
      EXPECT_TRUE(held.output == direct.output)
          << "alignment " << alignment << ", reads of " << readChunk;
    }
}

TEST(OutputWrites, PlainTextGoesOutInPiecesEndingOnTheAlignment) {
  MemoryPlatform platform;
  platform.writeAlignment = 262144;
  std::uint32_t state = 3;
  std::string input = plainLines(1500000, state);
  Result r = run(platform, input);
  ASSERT_TRUE(r.output == input);
  // Only the end of the file, where the last lines go line by line, is
  // written in other pieces.
  const std::vector<std::size_t> &sizes = platform.writeSizes;
  ASSERT_GE(sizes.size(), 5u);
  for (std::size_t i = 0; i + 2 < sizes.size(); ++i)
    EXPECT_EQ(sizes[i], 262144u) << ::testing::PrintToString(sizes);
}

TEST(OutputWrites, AProgramStartedFindsEveryByteBeforeItWritten) {
  MemoryPlatform platform;
  platform.writeAlignment = 262144;
  std::uint32_t state = 9;
  std::string before = plainLines(400000, state);
  std::size_t writtenAtStart = 0;
  platform.program = [&](const std::string &) {
    writtenAtStart = std::accumulate(platform.writeSizes.begin(),
                                     platform.writeSizes.end(), 0u);
    return ProgramResult{true};
  };
  run(platform, before + "%CALL:prog\r\nafter\r\n");
  EXPECT_EQ(writtenAtStart, before.size());
}

// The write of the run's first 196 KiB fails: told at once, before the
// next line's DISP, and once.
TEST(OutputWrites, AFailedWriteOfAHeldRunIsReportedAtOnceAndOnce) {
  MemoryPlatform platform;
  platform.writeAlignment = 4096;
  platform.diskSpace = 100000;
  std::uint32_t state = 1;
  Result r = run(platform, "%DISP:first\r\n" + plainLines(200000, state) +
                               "%DISP:last\r\n" + plainLines(9000, state));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.output, "<none>");
  EXPECT_EQ(r.console, "first\nVELDRAN-l00870-W WriteFile() Error 28.\nlast\n");
}

} // namespace
} // namespace veldran
