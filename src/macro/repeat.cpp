// RPT, RPTN, REND and REXIT.
#include "base/diagnostics.h"
#include "base/frames.h"
#include "base/messages.h"
#include "base/scanner.h"
#include "base/source_stack.h"
#include "base/symbol_table.h"
#include "expr/evaluator.h"
#include "macro/body_exit.h"
#include "macro/macro_commands.h"

namespace veldran {

namespace {

// Pushes the repeat frame and starts recording the body.
Next startRecording(Run &run, std::int64_t count) {
  RepeatFrame::push(run, run.storage.textTop);
  run.repeatCount = count;
  run.lineMode = LineMode::RecordRepeat;
  run.lineContinues = true;
  return skipLine(run);
}

Next passOver(Run &run) {
  run.lineMode = LineMode::SkipRepeat;
  return skipLine(run);
}

} // namespace

Next cmdRpt(Run &run) {
  run.lineLength = run.keptLength;
  recordingBegun(run, "RPT", nullptr);
  if (!run.cond.active)
    return passOver(run);
  return startRecording(run, -1);
}

Next cmdRptn(Run &run) {
  run.lineLength = run.keptLength;
  recordingBegun(run, "RPTN", nullptr);
  if (!run.cond.active)
    return passOver(run);
  std::int64_t count = evaluate(run, ';').value;
  if (traces(run, "RPTN"))
    trace(run, "RPTN %lld", static_cast<long long>(count));
  if (count > 0)
    return startRecording(run, count);
  if (count < 0)
    report(run, "RPTN with negative count %d\n", static_cast<int>(count));
  return passOver(run);
}

Next cmdRend(Run &run) {
  report(run, "REND without starting RPT/RPTN\n");
  return skipLine(run);
}

Next cmdRexit(Run &run) {
  InputSource &src = run.source();
  if (src.kind != SourceKind::RepeatBody) {
    report(run, "REXIT without starting RPT/RPTN\n");
    return skipLine(run);
  }
  if (run.storage.textTop == src.bodyEnd)
    giveBackText(run, src.bodyStart);
  popSource(run);
  leaveBody(run);
  run.lineContinues = true;
  skipRestOfRendLine(run);
  return Next::LineDone;
}

void skipRestOfRendLine(Run &run) {
  InputSource &src = run.source();
  // The byte the name scanner took behind REND decides whether an LF
  // right behind it ends the line.
  run.currentChar = src.position > 0 && src.position <= src.length
                        ? src.buffer[src.position - 1]
                        : 0;
  skipRestOfLine(run);
}

} // namespace veldran
