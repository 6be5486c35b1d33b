#include "driver/replay.h"

#include "base/byte_copy.h"
#include "base/collection.h"
#include "base/frames.h"
#include "base/scanner.h"
#include "base/source_stack.h"
#include "base/symbol_table.h"
#include "driver/reading.h"
#include "exec/exec_commands.h"
#include "expr/conditional_blocks.h"
#include "macro/macro_commands.h"

namespace veldran {

namespace {

void giveBackBody(Run &run, const InputSource &src) {
  if (run.storage.textTop == src.bodyEnd)
    giveBackText(run, src.bodyStart);
}

// The end of a replay source after its last pass.
void endReplaySource(Run &run) {
  if (isRecordingOrSkipping(run.lineMode))
    abandonRecording(run);
  dropCollection(run);
  bodyEnd(run, true);
  run.lineClassMax = CommandClass::None;
  InputSource &src = run.source();
  SourceKind kind = src.kind;
  if (kind != SourceKind::MacroBody)
    giveBackBody(run, src);
  if (kind == SourceKind::MacroBody)
    releaseLocalTable(run);
  if (kind == SourceKind::ExecutedLine)
    endExecutedLine(run);
  popSource(run);
  if (kind == SourceKind::RepeatBody) {
    run.lineLength = run.keptLength;
    run.lineContinues = true;
    skipRestOfRendLine(run);
    sourceLineEndStep(run);
  }
}

// Where the line's bytes lie, for remembering name scans: only for bodies
// that stay recorded (an executed line is given back at once) and lines
// that fit whole with their CR LF.
std::uint32_t storedPlace(const InputSource &src, const StoredLine &line) {
  bool kept =
      src.kind == SourceKind::RepeatBody || src.kind == SourceKind::MacroBody;
  return kept && line.length + 2 <= kLineMax ? line.text : kNotStored;
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
      StoredLine line = StoredLine::read(run.storage, src.bodyNext);
      int n = line.length < kLineMax ? line.length : kLineMax;
      copyBytes(src.buffer, run.storage.at(line.text),
                static_cast<std::size_t>(n));
      src.bodyNext = line.next;
      src.storedAt = storedPlace(src, line);
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
    ++src.passNumber;
  }
  endReplaySource(run);
  return false;
}

} // namespace veldran
