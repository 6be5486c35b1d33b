#include "driver/replay.h"

#include "driver/commands.h"
#include "driver/input_sources.h"
#include "driver/line_loop.h"
#include "driver/scanner.h"
#include "expr/conditional_blocks.h"
#include "symbols/symbol_table.h"

namespace veldran {

namespace {

std::uint16_t storedLength(const Run &run, std::uint32_t at) {
  std::uint16_t n;
  std::memcpy(&n, run.storage.at(at), sizeof n);
  return n;
}

// A MACRO or RPT/RPTN recording that began inside the body cannot end any
// more: it is abandoned and its frame taken off the variable stack.
void abandonRecording(Run &run) {
  if (!run.inRecording())
    return;
  reportX(run, "still in RPT/RPTN/MACRO at MEND/REND/EXECUTE\n");
  if (run.lineMode == 'M')
    releaseStack(run, 32);
  else if (run.lineMode == 'R')
    releaseStack(run, 8);
  run.macroNesting = 0;
  run.repeatNesting = 0;
  run.lineMode = 'F';
}

void giveBackBody(Run &run, const InputSource &src) {
  if (run.storage.textTop == src.bodyEnd)
    run.storage.textTop = src.bodyStart;
}

// The end of a replay source after its last pass.
void endReplaySource(Run &run) {
  abandonRecording(run);
  if (run.collection.pending)
    dropCollection(run);
  bodyEnd(run, true);
  run.lineClassMax = ' ';
  InputSource &src = run.source();
  char kind = src.kind;
  if (kind == 'R' || kind == 'E')
    giveBackBody(run, src);
  if (kind == 'M')
    releaseLocalTable(run);
  if (kind == 'E')
    endExecutedLine(run);
  popSource(run);
  if (kind == 'R') {
    run.lineLength = run.keptLength;
    run.lineContinues = true;
    skipRestOfStartingLine(run);
    sourceLineEndStep(run);
  }
}

} // namespace

bool replayRead(Run &run) {
  InputSource &src = run.source();
  // Bytes behind a line end inside a stored line (an executed line can be
  // built with one) are the next line, not to be lost.
  if (src.length > 0)
    return true;
  for (;;) {
    if (src.bodyNext < src.bodyEnd) {
      std::uint16_t stored = storedLength(run, src.bodyNext);
      int n = stored < kLineMax ? stored : kLineMax;
      std::memcpy(src.buffer, run.storage.at(src.bodyNext + 2),
                  static_cast<std::size_t>(n));
      src.bodyNext += 2u + stored;
      if (n < kLineMax)
        src.buffer[n++] = CR;
      if (n < kLineMax)
        src.buffer[n++] = LF;
      src.length = n;
      src.position = 0;
      return true;
    }
    if (src.passesLeft > 0)
      --src.passesLeft;
    if (src.passesLeft == 0)
      break;
    // An empty RPT body starts pass after pass without a line in between.
    spendBudget(run);
    src.bodyNext = src.bodyStart;
    src.lineNumber = 0;
  }
  endReplaySource(run);
  return false;
}

void leaveBody(Run &run) {
  if (run.collection.pending)
    dropCollection(run);
  bodyEnd(run, false);
  run.lineLength = run.keptLength;
  run.lineClassMax = ' ';
}

void skipRestOfStartingLine(Run &run) {
  InputSource &src = run.source();
  // The byte the name scanner took behind REND decides whether an LF
  // right behind it ends the line.
  run.currentChar = src.position > 0 && src.position <= src.length
                        ? src.buffer[src.position - 1]
                        : 0;
  skipRestOfLine(run);
}

} // namespace veldran
