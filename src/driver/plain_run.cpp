#include "driver/plain_run.h"

#include "base/input_source.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VELDRAN_WIDE_CHUNKS 1
#endif

namespace veldran {

namespace {

// The block is looked at 64 bytes at a time: one bit per byte tells where
// its LFs are.
constexpr std::ptrdiff_t kChunk = 64;

// What a chunk holds: one bit per LF and per CR, and whether any byte is
// a '%' or an end-of-file mark.
struct ChunkMasks {
  std::uint64_t lineFeeds;
  std::uint64_t carriageReturns;
  bool percentOrMark;
};

ChunkMasks byteMasks(const std::uint8_t *bytes, std::ptrdiff_t count) {
  ChunkMasks masks{0, 0, false};
  for (std::ptrdiff_t i = 0; i < count; ++i) {
    masks.lineFeeds |= std::uint64_t{bytes[i] == LF} << i;
    masks.carriageReturns |= std::uint64_t{bytes[i] == CR} << i;
    masks.percentOrMark |= bytes[i] == '%' || bytes[i] == kEndOfFileMark;
  }
  return masks;
}

#if defined(__SSE2__)
[[gnu::always_inline]] inline ChunkMasks
narrowMasks(const std::uint8_t *chunk) {
  const __m128i lf = _mm_set1_epi8(static_cast<char>(LF));
  const __m128i cr = _mm_set1_epi8(static_cast<char>(CR));
  const __m128i mark = _mm_set1_epi8(static_cast<char>(kEndOfFileMark));
  const __m128i percent = _mm_set1_epi8('%');
  ChunkMasks masks{0, 0, false};
  __m128i marks = _mm_setzero_si128();
  for (int i = 0; i < kChunk; i += 16) {
    __m128i bytes =
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(chunk + i));
    auto bits = [&](__m128i byte) {
      return std::uint64_t{static_cast<std::uint32_t>(
                 _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, byte)))}
             << i;
    };
    masks.lineFeeds |= bits(lf);
    masks.carriageReturns |= bits(cr);
    marks = _mm_or_si128(marks, _mm_cmpeq_epi8(bytes, mark));
    marks = _mm_or_si128(marks, _mm_cmpeq_epi8(bytes, percent));
  }
  masks.percentOrMark = _mm_movemask_epi8(marks) != 0;
  return masks;
}
#else
[[gnu::always_inline]] inline ChunkMasks
narrowMasks(const std::uint8_t *chunk) {
  return byteMasks(chunk, kChunk);
}
#endif

// The LF bits of the chunk at `chunk`, of which only the bytes before
// `stop` count.
std::uint64_t chunkBits(const std::uint8_t *chunk, const std::uint8_t *stop) {
  if (stop - chunk >= kChunk)
    return narrowMasks(chunk).lineFeeds;
  return byteMasks(chunk, stop - chunk).lineFeeds;
}

} // namespace

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

namespace {

// The scan of whole chunks: the lines they end, counted by their LF bits
// without a step per line.
struct ChunkScan {
  const std::uint8_t *lineStart; // where the next line starts
  std::uint64_t lines;           // lines taken
  std::uint64_t crBefore;        // 1: the byte before the chunk is a CR
};

// Takes the lines that end in the chunk at `chunk`. Takes nothing and
// returns false when one of them may not be plain, so that the lines are
// taken one by one from `scan.lineStart` on: an LF without a CR before it,
// a line too long (also one whose LF is still to come), a '%' or an
// end-of-file mark anywhere, more lines than `maxLines`. One branch per
// chunk.
[[gnu::always_inline]] inline bool takeChunk(ChunkScan &scan,
                                             const std::uint8_t *chunk,
                                             const ChunkMasks &masks,
                                             std::uint64_t maxLines) {
  std::uint64_t lf = masks.lineFeeds;
  std::uint64_t cr = masks.carriageReturns;
  // With no LF in the chunk, the first one lies 64 bytes on at the least.
  std::ptrdiff_t firstLine = chunk + std::countr_zero(lf) - scan.lineStart;
  auto count = static_cast<std::uint64_t>(std::popcount(lf));
  bool notPlain = (lf & ~(cr << 1 | scan.crBefore)) != 0;
  notPlain |= masks.percentOrMark;
  notPlain |= firstLine >= kLineMax;
  notPlain |= scan.lines + count > maxLines;
  if (notPlain)
    return false;
  scan.lines += count;
  // Chosen without a branch: whether a chunk holds an LF is as good as
  // random for lines of 64 bytes and more.
  const std::uint8_t *afterLast = chunk + kChunk - std::countl_zero(lf | 1);
  scan.lineStart +=
      (afterLast - scan.lineStart) & -static_cast<std::ptrdiff_t>(lf != 0);
  scan.crBefore = cr >> 63;
  return true;
}

ChunkScan takeNarrowChunks(const std::uint8_t *next, std::ptrdiff_t span,
                           std::uint64_t maxLines) {
  ChunkScan scan{next, 0, 0};
  for (std::ptrdiff_t at = 0; at + kChunk <= span; at += kChunk)
    if (!takeChunk(scan, next + at, narrowMasks(next + at), maxLines))
      break;
  return scan;
}

#if defined(VELDRAN_WIDE_CHUNKS)
// One bit per byte of the 64 in `low` and `high` that equals `byte`.
[[gnu::target("avx2"), gnu::always_inline]] inline std::uint64_t
wideBits(__m256i low, __m256i high, __m256i byte) {
  auto lowBits = static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_cmpeq_epi8(low, byte)));
  auto highBits = static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_cmpeq_epi8(high, byte)));
  return std::uint64_t{highBits} << 32 | lowBits;
}

// The masks of the chunk at `chunk`, 32 bytes at a time.
[[gnu::target("avx2,bmi,popcnt"), gnu::always_inline]] inline ChunkMasks
wideMasks(const std::uint8_t *chunk) {
  const __m256i lf = _mm256_set1_epi8(static_cast<char>(LF));
  const __m256i cr = _mm256_set1_epi8(static_cast<char>(CR));
  const __m256i mark = _mm256_set1_epi8(static_cast<char>(kEndOfFileMark));
  const __m256i percent = _mm256_set1_epi8('%');
  __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(chunk));
  __m256i high =
      _mm256_loadu_si256(reinterpret_cast<const __m256i *>(chunk + 32));
  __m256i marks =
      _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(low, mark),
                                      _mm256_cmpeq_epi8(high, mark)),
                      _mm256_or_si256(_mm256_cmpeq_epi8(low, percent),
                                      _mm256_cmpeq_epi8(high, percent)));
  return {wideBits(low, high, lf), wideBits(low, high, cr),
          !_mm256_testz_si256(marks, marks)};
}

// The bytes of 32 at `at` that end a run: a '%', an end-of-file mark, an
// LF whose byte before is no CR. Also gives the LFs.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i
runEnds(const std::uint8_t *at, __m256i &feeds) {
  __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
  __m256i before =
      _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at - 1));
  feeds = _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(static_cast<char>(LF)));
  __m256i bare = _mm256_andnot_si256(
      _mm256_cmpeq_epi8(before, _mm256_set1_epi8(static_cast<char>(CR))),
      feeds);
  __m256i marks = _mm256_or_si256(
      _mm256_cmpeq_epi8(bytes,
                        _mm256_set1_epi8(static_cast<char>(kEndOfFileMark))),
      _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('%')));
  return _mm256_or_si256(bare, marks);
}

// Four chunks in one step, whose byte before lies in the run: what ends a
// run gathered in one vector and asked about once. Two LFs of the group lie
// fewer than 256 bytes apart, so of its lines only the one running into it
// may be too long: the first LF tells, and the last one where the next line
// starts. Takes all four chunks, or nothing where takeChunk would stop in
// any of them.
constexpr std::ptrdiff_t kGroup = 4 * kChunk;

[[gnu::target("avx2,bmi,popcnt"), gnu::always_inline]] inline bool
takeGroup(ChunkScan &scan, const std::uint8_t *group, std::uint64_t maxLines) {
  __m256i ends = _mm256_setzero_si256();
  std::uint64_t feeds[4];
  for (int i = 0; i < 4; ++i) {
    __m256i lowFeeds;
    __m256i highFeeds;
    ends = _mm256_or_si256(ends, runEnds(group + i * kChunk, lowFeeds));
    ends = _mm256_or_si256(ends, runEnds(group + i * kChunk + 32, highFeeds));
    feeds[i] = std::uint64_t{static_cast<std::uint32_t>(
                   _mm256_movemask_epi8(highFeeds))}
                   << 32 |
               static_cast<std::uint32_t>(_mm256_movemask_epi8(lowFeeds));
  }
  // Without a branch per chunk: whether a chunk holds an LF is as good as
  // random for lines of 64 bytes and more. Bit i of `holding`: chunk i
  // holds an LF; with none, the first lies 256 bytes on at the least.
  unsigned holding = 0;
  std::uint64_t lines = scan.lines;
  for (int i = 0; i < 4; ++i) {
    holding |= unsigned{feeds[i] != 0} << i;
    lines += static_cast<std::uint64_t>(std::popcount(feeds[i]));
  }
  int firstChunk = std::countr_zero(holding | 16u);
  std::ptrdiff_t first =
      firstChunk * kChunk + std::countr_zero(feeds[firstChunk & 3]);
  if (!_mm256_testz_si256(ends, ends) ||
      group + first - scan.lineStart >= kLineMax || lines > maxLines)
    return false;
  // A line that ends in the group: the last chunk holding an LF tells
  // where the next one starts.
  int lastChunk = std::bit_width(holding) - 1;
  scan.lineStart =
      group + (lastChunk + 1) * kChunk - std::countl_zero(feeds[lastChunk]);
  scan.lines = lines;
  scan.crBefore = group[kGroup - 1] == CR;
  return true;
}

[[gnu::target("avx2,bmi,popcnt")]] ChunkScan
takeWideChunks(const std::uint8_t *next, std::ptrdiff_t span,
               std::uint64_t maxLines) {
  ChunkScan scan{next, 0, 0};
  std::ptrdiff_t at = 0;
  // The first chunk alone: the byte before it may lie outside the block.
  if (span >= kChunk) {
    if (!takeChunk(scan, next, wideMasks(next), maxLines))
      return scan;
    at = kChunk;
  }
  // Where a group would stop the run, its chunks are taken one by one.
  for (; at + kGroup <= span && takeGroup(scan, next + at, maxLines);
       at += kGroup) {
  }
  for (; at + kChunk <= span; at += kChunk)
    if (!takeChunk(scan, next + at, wideMasks(next + at), maxLines))
      break;
  return scan;
}
#endif

ChunkScan takeChunks(const std::uint8_t *next, std::ptrdiff_t span,
                     std::uint64_t maxLines, ChunkWidth width) {
#if defined(VELDRAN_WIDE_CHUNKS)
  if (width == ChunkWidth::Wide)
    return takeWideChunks(next, span, maxLines);
#endif
  return takeNarrowChunks(next, span, maxLines);
}

// Where the last of the lines between `first` and `end` starts.
const std::uint8_t *lastLineStart(const std::uint8_t *first,
                                  const std::uint8_t *end) {
  const void *lf =
      memrchr(first, LF, static_cast<std::size_t>(end - 1 - first));
  return lf ? static_cast<const std::uint8_t *>(lf) + 1 : first;
}

// Takes lines one by one from `run.end` on, bit by bit in the LF masks,
// up to the first that is not plain.
void takeLines(PlainRun &run, const std::uint8_t *stop, const std::uint8_t *end,
               bool fileEnded, std::uint64_t maxLines) {
  const std::uint8_t *next = run.end;
  if (run.lines > 0 && next < end && *next == kEndOfFileMark)
    return;
  const std::uint8_t *chunk = next;
  std::uint64_t bits = chunkBits(chunk, stop);
  while (run.lines < maxLines &&
         (fileEnded ? next < end : end - next >= kLineMax)) {
    while (bits == 0) {
      chunk += kChunk;
      if (chunk >= stop || chunk - next >= kLineMax)
        return;
      bits = chunkBits(chunk, stop);
    }
    const std::uint8_t *lf = chunk + std::countr_zero(bits);
    bits &= bits - 1;
    if (lf - next >= kLineMax || lf == next || lf[-1] != CR)
      return;
    run.lastLine = next;
    next = run.end = lf + 1;
    ++run.lines;
    if (next < end && *next == kEndOfFileMark)
      return;
  }
}

} // namespace

ChunkWidth widestChunks() {
#if defined(VELDRAN_WIDE_CHUNKS)
  static const bool wide = __builtin_cpu_supports("avx2") &&
                           __builtin_cpu_supports("bmi") &&
                           __builtin_cpu_supports("popcnt");
  if (wide)
    return ChunkWidth::Wide;
#endif
  return ChunkWidth::Narrow;
}

PlainRun findPlainRun(const std::uint8_t *next, const std::uint8_t *end,
                      bool fileEnded, std::uint64_t maxLines,
                      ChunkWidth width) {
  PlainRun run{next, next, 0};
  // Whole chunks hold lines that start early enough in the block.
  std::ptrdiff_t span = end - next;
  if (!fileEnded)
    span -= kLineMax;
  ChunkScan scan = takeChunks(next, span, maxLines, width);
  if (scan.lines > 0) {
    run.lines = scan.lines;
    run.end = scan.lineStart;
    run.lastLine = lastLineStart(next, run.end);
  }
  // A line that holds the next '%' ends the run, so no LF behind it is
  // needed: a line without an LF before `stop` is not plain.
  const auto *percent = static_cast<const std::uint8_t *>(
      std::memchr(run.end, '%', static_cast<std::size_t>(end - run.end)));
  takeLines(run, percent ? percent : end, end, fileEnded, maxLines);
  return run;
}

} // namespace veldran
