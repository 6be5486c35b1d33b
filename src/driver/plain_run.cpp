#include "driver/plain_run.h"

#include "base/input_source.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace veldran {

namespace {

// The block is looked at 64 bytes at a time: one bit per byte tells where
// its LFs are, and the lines are then taken bit by bit, without a call or
// a loop over the bytes per line.
constexpr std::ptrdiff_t kChunk = 64;

std::uint64_t lineFeedBits(const std::uint8_t *bytes, std::ptrdiff_t count) {
  std::uint64_t bits = 0;
  for (std::ptrdiff_t i = 0; i < count; ++i)
    bits |= std::uint64_t{bytes[i] == LF} << i;
  return bits;
}

// The LF bits of the chunk at `chunk`, of which only the bytes before
// `stop` count.
std::uint64_t chunkBits(const std::uint8_t *chunk, const std::uint8_t *stop) {
#if defined(__SSE2__)
  if (stop - chunk >= kChunk) {
    const __m128i lf = _mm_set1_epi8(static_cast<char>(LF));
    std::uint64_t bits = 0;
    for (int i = 0; i < kChunk; i += 16) {
      __m128i bytes =
          _mm_loadu_si128(reinterpret_cast<const __m128i *>(chunk + i));
      auto mask = static_cast<std::uint32_t>(
          _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf)));
      bits |= std::uint64_t{mask} << i;
    }
    return bits;
  }
#endif
  return lineFeedBits(chunk, std::min(stop - chunk, kChunk));
}

// Whether an LF comes before any '%' within a line's worth of bytes from
// `next`.
bool lineFeedFirst(const std::uint8_t *next, const std::uint8_t *end) {
  std::ptrdiff_t count = std::min<std::ptrdiff_t>(end - next, kLineMax);
  std::ptrdiff_t i = 0;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8(static_cast<char>(LF));
  const __m128i percent = _mm_set1_epi8('%');
  for (; count - i >= 16; i += 16) {
    __m128i bytes =
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(next + i));
    auto marks = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_or_si128(
        _mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, percent))));
    if (marks != 0)
      return next[i + std::countr_zero(marks)] == LF;
  }
#endif
  for (; i < count; ++i)
    if (next[i] == LF || next[i] == '%')
      return next[i] == LF;
  return false;
}

} // namespace

PlainRun findPlainRun(const std::uint8_t *next, const std::uint8_t *end,
                      bool fileEnded, std::uint64_t maxLines) {
  PlainRun run{next, next, 0};
  // The usual line with a command holds its '%' before its first LF.
  if (!lineFeedFirst(next, end))
    return run;
  // A line that holds the first '%' ends the run, so no LF behind it is
  // needed.
  const auto *percent = static_cast<const std::uint8_t *>(
      std::memchr(next, '%', static_cast<std::size_t>(end - next)));
  const std::uint8_t *stop = percent ? percent : end;
  const std::uint8_t *chunk = next;
  std::uint64_t bits = chunkBits(chunk, stop);
  while (run.lines < maxLines &&
         (fileEnded ? next < end : end - next >= kLineMax)) {
    while (bits == 0) {
      chunk += kChunk;
      if (chunk >= stop || chunk - next >= kLineMax)
        return run;
      bits = chunkBits(chunk, stop);
    }
    const std::uint8_t *lf = chunk + std::countr_zero(bits);
    bits &= bits - 1;
    if (lf - next >= kLineMax || lf == next || lf[-1] != CR)
      return run;
    run.lastLine = next;
    next = run.end = lf + 1;
    ++run.lines;
    if (next < end && *next == kEndOfFileMark)
      return run;
  }
  return run;
}

} // namespace veldran
