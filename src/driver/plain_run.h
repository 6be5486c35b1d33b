// Finding a run of plain lines in an input block, for the fast path that
// copies them to the output without the line loop.
#pragma once

#include <cstdint>

namespace veldran {

struct PlainRun {
  const std::uint8_t *end;      // where the run ends (the next line's start)
  const std::uint8_t *lastLine; // the start of its last line
  std::uint32_t lines;          // how many lines it holds
};

// Whether an LF comes before any '%' within a line's worth of bytes from
// `next`: the usual line with a command holds its '%' before its first LF.
bool lineFeedFirst(const std::uint8_t *next, const std::uint8_t *end);

// How whole 64-byte chunks are looked at: with the vectors every processor
// of its kind has, or with wider ones chosen when the run starts.
enum class ChunkWidth { Narrow, Wide };
// The widest this processor has.
ChunkWidth widestChunks();

// The plain lines from `next` on: lines that hold no '%', end in CR LF
// within their 256-byte window and start at least 256 bytes before `end`
// unless the file has ended (the read step tops the window up first). A
// bare LF, a line too long and an end-of-file mark behind a line (left to
// the line-end step) end the run; so do `maxLines` lines.
PlainRun findPlainRun(const std::uint8_t *next, const std::uint8_t *end,
                      bool fileEnded, std::uint64_t maxLines,
                      ChunkWidth width = widestChunks());

} // namespace veldran
