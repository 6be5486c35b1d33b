// Runs of plain lines found 64 bytes at a time, with the vectors of every
// width, against the lines taken one at a time by the rules of the header.
#include "driver/plain_run.h"

#include "base/input_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace veldran {
namespace {

PlainRun lineByLine(const std::uint8_t *next, const std::uint8_t *end,
                    bool fileEnded, std::uint64_t maxLines) {
  PlainRun run{next, next, 0};
  while (run.lines < maxLines &&
         (fileEnded ? next < end : end - next >= kLineMax)) {
    const std::uint8_t *limit = std::min(end, next + kLineMax);
    const std::uint8_t *lf = std::find(next, limit, LF);
    if (lf == limit || lf == next || lf[-1] != CR ||
        std::find(next, lf, '%') != lf)
      break;
    run.lastLine = next;
    next = run.end = lf + 1;
    ++run.lines;
    if (next < end && *next == kEndOfFileMark)
      break;
  }
  return run;
}

// Mostly plain lines of 0 to 300 bytes, with now and then a '%', a bare
// LF, a lone CR, an end-of-file mark inside or at the start of a line, or
// a last line without its end.
std::string sampleBlock(std::mt19937 &random) {
  std::string block;
  auto chance = [&random](unsigned in) { return random() % in == 0; };
  while (block.size() < 6000) {
    std::string line(random() % (chance(5) ? 300 : 120), 'x');
    for (char &c : line)
      c = static_cast<char>('a' + random() % 26);
    std::size_t at = line.empty() ? 0 : random() % line.size();
    if (chance(40))
      line.insert(at, 1, "%\n\r\x1A"[random() % 4]);
    if (chance(60))
      line = "\x1A" + line;
    block += line + (chance(80) ? "\n" : "\r\n");
  }
  return block;
}

TEST(PlainRun, EveryChunkWidthTakesTheLinesOneByOneWould) {
  std::mt19937 random(11);
  std::vector<ChunkWidth> widths{ChunkWidth::Narrow};
  if (widestChunks() != ChunkWidth::Narrow)
    widths.push_back(widestChunks());
  for (int sample = 0; sample < 3000; ++sample) {
    std::string text = sampleBlock(random);
    const auto *block = reinterpret_cast<const std::uint8_t *>(text.data());
    const std::uint8_t *end = block + text.size() - random() % 300;
    const std::uint8_t *next = block + random() % 200;
    bool fileEnded = random() % 2 == 0;
    std::uint64_t maxLines = random() % 3 == 0 ? random() % 40 : UINT64_MAX;
    PlainRun expected = lineByLine(next, end, fileEnded, maxLines);
    for (ChunkWidth width : widths) {
      PlainRun found = findPlainRun(next, end, fileEnded, maxLines, width);
      ASSERT_EQ(found.lines, expected.lines) << "sample " << sample;
      ASSERT_EQ(found.end, expected.end) << "sample " << sample;
      ASSERT_EQ(found.lastLine, expected.lastLine) << "sample " << sample;
    }
  }
}

// A CR two bytes before the end of the first four chunks after the first
// one, a bare LF just behind them, and a '%' in the four after: the chunks
// behind a group are judged by the group's last byte.
TEST(PlainRun, ALineFeedJustBehindAGroupOfChunksIsJudgedByTheByteBeforeIt) {
  std::string text;
  while (text.size() < 318)
    text += "aaaa\r\n";
  text.resize(318);
  text += "\rx\n";
  while (text.size() < 400)
    text += "bbbb\r\n";
  text += "%\r\n";
  while (text.size() < 900)
    text += "cccc\r\n";
  const auto *block = reinterpret_cast<const std::uint8_t *>(text.data());
  const std::uint8_t *end = block + text.size();
  std::vector<ChunkWidth> widths{ChunkWidth::Narrow, widestChunks()};
  PlainRun expected = lineByLine(block, end, true, UINT64_MAX);
  ASSERT_EQ(expected.end, block + 318);
  for (ChunkWidth width : widths) {
    PlainRun found = findPlainRun(block, end, true, UINT64_MAX, width);
    EXPECT_EQ(found.lines, expected.lines);
    EXPECT_EQ(found.end, expected.end);
  }
}

} // namespace
} // namespace veldran
