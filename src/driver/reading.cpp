#include "driver/reading.h"

#include "base/messages.h"
#include "base/output_writes.h"
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

// A file's block holds two reads and, before them, room for the rest of a
// line: a refill reads on behind the bytes read while a read fits, and
// otherwise moves the unread rest (less than a line) in front of the first
// read's place and reads there. So a refill leaves the other read's bytes
// where they are, for the end of a plain run held back for the output.
std::uint32_t blockBytes(std::uint32_t readSize) {
  return kLineMax + 2 * readSize;
}

// Doubles the reads of a file that fills them: small include files keep a
// small block, large inputs are read in large pieces. Each level of
// includes halves the largest size, since every open file keeps its block
// while the files it includes are read: a large file that includes itself
// until no more files can be opened holds a small block per level.
void growBlock(Run &run, InputSource &src) {
  int level = std::clamp(run.includeDepth, 0, 6);
  if (src.blockSize >= kLargestBlock >> level)
    return;
  releaseHeldOutputIn(run, src, src.block.get(),
                      src.block.get() + blockBytes(src.blockSize));
  std::uint32_t size = src.blockSize * 2;
  std::unique_ptr<std::uint8_t[]> larger(new std::uint8_t[blockBytes(size)]);
  std::memcpy(larger.get(), src.block.get(), src.blockEnd);
  src.block = std::move(larger);
  src.blockSize = size;
}

// Where the next read of a file source goes: behind the bytes read, or
// behind the unread rest moved to the front. Returns how many bytes it
// may take.
std::uint32_t makeRoom(Run &run, InputSource &src) {
  std::uint8_t *block = src.block.get();
  std::uint32_t room = blockBytes(src.blockSize) - src.blockEnd;
  if (room >= src.blockSize) {
    releaseHeldOutputIn(run, src, block + src.blockEnd,
                        block + src.blockEnd + src.blockSize);
    return src.blockSize;
  }
  std::uint32_t left = src.blockEnd - src.blockStart;
  releaseHeldOutputIn(run, src, block + kLineMax - left,
                      block + kLineMax + src.blockSize);
  std::memmove(block + kLineMax - left, block + src.blockStart, left);
  src.blockStart = kLineMax - left;
  src.blockEnd = kLineMax;
  return src.blockSize;
}

// Lets the window of a file source cover a full line's worth of bytes,
// reading on when fewer are left in the block.
void fillWindow(Run &run, InputSource &src) {
  while (src.blockEnd - src.blockStart < kLineMax && !src.atEnd) {
    int error = 0;
    std::uint32_t want = makeRoom(run, src);
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
    if (got == 0 ||
        (src.blockEnd - src.blockStart < kLineMax && src.file->endReached()))
      src.atEnd = true;
    if (static_cast<std::uint32_t>(got) == want)
      growBlock(run, src);
  }
  setWindow(src, src.blockStart);
}

// Ends a file or command-string source whose input is used up.
void endFileSource(Run &run) {
  InputSource &src = run.source();
  if (src.hasBlock())
    releaseHeldOutputIn(run, src, src.block.get(),
                        src.block.get() + blockBytes(src.blockSize));
  if (src.file)
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

// The input file gets the largest block at once: growing it would copy
// what was read and fault in every larger block anew. Included files start
// small.
void pushFile(Run &run, std::unique_ptr<InputFile> file,
              const std::string &name) {
  std::uint32_t size = run.sourceDepth == 0 ? kLargestBlock : kFirstBlock;
  InputSource &src = pushSource(run);
  src.file = std::move(file);
  src.fileName = name;
  src.block.reset(new std::uint8_t[blockBytes(size)]);
  src.blockSize = size;
  // The first read goes where every other one after a move goes.
  src.blockStart = src.blockEnd = kLineMax;
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
