#include "driver/reading.h"

#include "base/messages.h"
#include "base/source_stack.h"
#include "driver/replay.h"

#include <algorithm>

namespace veldran {

namespace {

void skipEndOfFileMarks(InputSource &src) {
  while (src.position < src.length &&
         src.buffer[src.position] == kEndOfFileMark)
    ++src.position;
}

constexpr std::uint32_t kFirstBlock = 4096;
constexpr std::uint32_t kLargestBlock = 262144;

// Doubles the block of a file that fills it: small include files keep a
// small block, large inputs are read in large ones. Each level of includes
// halves the largest size, since every open file keeps its block while the
// files it includes are read: a large file that includes itself until no
// more files can be opened holds a small block per level.
void growBlock(const Run &run, InputSource &src) {
  int level = std::clamp(run.includeDepth, 0, 6);
  if (src.blockSize >= kLargestBlock >> level)
    return;
  std::uint32_t size = src.blockSize * 2;
  std::unique_ptr<std::uint8_t[]> larger(new std::uint8_t[size]);
  std::memcpy(larger.get(), src.block.get(), src.blockEnd);
  src.block = std::move(larger);
  src.blockSize = size;
}

// How far past a multiple of the output's alignment a read of plain text
// should end: a run of plain lines stops short of the block's end by less
// than a line and its window, so it ends a few KiB past the multiple.
constexpr std::uint64_t kReadEndPast = 4096;

// How much the next read of a file source takes. Where the output takes
// writes best at multiples of its alignment (the output buffer and the
// platform's writes cut at them), a block as large as that multiple is
// read up to where a run of plain lines brought by it will reach just past
// one: the run goes out up to the multiple in one write, and only its last
// few KiB are copied to the output's buffer. Otherwise the block is filled.
std::uint32_t readSize(const Run &run, const InputSource &src) {
  std::uint32_t room = src.blockSize - src.blockEnd;
  std::uint64_t unit = run.output ? run.output->writeAlignment() : 0;
  if (unit == 0 || src.blockSize < unit)
    return room;
  // The output offset where the block's bytes would end, as far as plain
  // lines are written as they stand.
  std::uint64_t reached = (run.outputOffset + src.blockEnd) % unit;
  std::uint64_t want = (kReadEndPast % unit + unit - reached) % unit;
  if (want < kLineMax)
    want += unit;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(want, room));
}

// Lets the window of a file source cover a full line's worth of bytes,
// reading on when fewer are left in the block.
void fillWindow(Run &run, InputSource &src) {
  if (src.blockEnd - src.blockStart < kLineMax && !src.atEnd) {
    std::uint32_t left = src.blockEnd - src.blockStart;
    std::memmove(src.block.get(), src.block.get() + src.blockStart, left);
    src.blockStart = 0;
    src.blockEnd = left;
    while (src.blockEnd < kLineMax && !src.atEnd) {
      int error = 0;
      std::uint32_t want = readSize(run, src);
      long got = src.file->read(src.block.get() + src.blockEnd, want, error);
      if (got < 0) {
        // Going on with part of a file would write a cut output as if
        // the run had succeeded.
        say(run, "l%05d ReadFile() returned error %d\n", 750, error);
        abortRun(run, ExitCode::InputFailed);
      }
      src.blockEnd += static_cast<std::uint32_t>(got);
      // Where the file tells that it has ended, the read that would
      // return nothing at once is left out.
      if (got == 0 || (src.blockEnd < kLineMax && src.file->endReached()))
        src.atEnd = true;
      if (static_cast<std::uint32_t>(got) == want)
        growBlock(run, src);
    }
  }
  setWindow(src, src.blockStart);
}

// Ends a file or command-string source whose input is used up.
void endFileSource(Run &run) {
  if (run.source().file)
    --run.includeDepth;
  popSource(run);
}

} // namespace

void setWindow(InputSource &src, std::uint32_t start) {
  src.blockStart = start;
  src.buffer = src.block.get() + start;
  src.length =
      static_cast<int>(std::min<std::uint32_t>(kLineMax, src.blockEnd - start));
  src.position = 0;
}

namespace {

// The input file gets the largest block at once, and room for the rest of
// a line besides, so that a read of the largest size always fits behind
// it: growing it would copy what was read and fault in every larger block
// anew. Included files start small.
void pushFile(Run &run, std::unique_ptr<InputFile> file,
              const std::string &name) {
  std::uint32_t size =
      run.sourceDepth == 0 ? kLargestBlock + kLineMax : kFirstBlock;
  InputSource &src = pushSource(run);
  src.file = std::move(file);
  src.fileName = name;
  src.block.reset(new std::uint8_t[size]);
  src.blockSize = size;
}

void noteFileRead(Run &run, const std::string &name) {
  std::vector<std::string> &read = run.filesRead;
  if (std::find(read.begin(), read.end(), name) == read.end())
    read.push_back(name);
}

} // namespace

int openInputFile(Run &run, const std::string &name) {
  int error = 0;
  std::unique_ptr<InputFile> file = run.platform.openInput(name, error);
  if (!file)
    return error;
  pushFile(run, std::move(file), name);
  noteFileRead(run, name);
  return 0;
}

int openStandardInput(Run &run) {
  int error = 0;
  std::unique_ptr<InputFile> file = run.platform.openStandardInput(error);
  if (!file)
    return error;
  pushFile(run, std::move(file), "-");
  return 0;
}

namespace {

// The counts of a line read from a replayed body.
bool countReplayedLine(Run &run) {
  spendBudget(run);
  ++run.source().lineNumber;
  run.lineContinues = false;
  return true;
}

} // namespace

bool readStep(Run &run) {
  run.keptLength = run.lineLength;
  for (;;) {
    if (!run.hasSource())
      return false;
    InputSource &src = run.source();
    if (src.isReplay()) {
      if (replayRead(run))
        return countReplayedLine(run);
      continue;
    }
    if (src.hasBlock())
      fillWindow(run, src);
    if (!src.givenLine)
      skipEndOfFileMarks(src);
    if (src.length > 0)
      break;
    endFileSource(run);
    run.keptLength = run.lineLength;
  }
  spendBudget(run);
  InputSource &src = run.source();
  if (src.givenLine) {
    src.givenLine = false;
    src.lineNumber = 1;
  } else {
    ++run.inputLineCount;
    ++src.lineNumber;
  }
  run.lineContinues = false;
  return true;
}

void sourceLineEndStep(Run &run) {
  InputSource &src = run.source();
  // A line of a body or given line read to its end leaves nothing.
  if (src.position >= src.length && !src.hasBlock()) {
    src.length = src.position = 0;
    return;
  }
  if (src.position > src.length)
    src.position = src.length;
  skipEndOfFileMarks(src);
  if (src.hasBlock()) {
    setWindow(src, src.blockStart + static_cast<std::uint32_t>(src.position));
    return;
  }
  int rest = src.length - src.position;
  if (rest > 0 && src.position > 0) {
    std::memmove(src.buffer, src.buffer + src.position,
                 static_cast<std::size_t>(rest));
    src.storedAt = kNotStored;
  }
  src.length = rest;
  src.position = 0;
}

} // namespace veldran
