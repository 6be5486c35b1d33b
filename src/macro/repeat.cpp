// RPT, RPTN, REND and REXIT.
#include "driver/commands.h"
#include "driver/input_sources.h"
#include "driver/replay.h"
#include "driver/scanner.h"
#include "expr/evaluator.h"
#include "symbols/symbol_table.h"

namespace veldran {

namespace {

// Pushes the repeat frame and starts recording the body. The frame keeps
// the low 32 bits of the count; the whole count is kept in the run, since
// only one body is recorded at a time.
Next startRecording(Run &run, std::int64_t count) {
  reserveStack(run, 8);
  run.storage.write32(run.storage.stackTop,
                      static_cast<std::int32_t>(run.storage.textTop));
  run.storage.write32(run.storage.stackTop + 4,
                      static_cast<std::int32_t>(count));
  run.repeatCount = count;
  run.lineMode = 'R';
  run.lineContinues = true;
  return skipLine(run);
}

Next passOver(Run &run) {
  run.lineMode = 'S';
  return skipLine(run);
}

} // namespace

Next cmdRpt(Run &run) {
  run.lineLength = run.keptLength;
  if (run.cond.active != '1')
    return passOver(run);
  return startRecording(run, -1);
}

Next cmdRptn(Run &run) {
  run.lineLength = run.keptLength;
  if (run.cond.active != '1')
    return passOver(run);
  evaluate(run, ';');
  std::int64_t count = run.work.value;
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
  if (src.kind != 'R') {
    report(run, "REXIT without starting RPT/RPTN\n");
    return skipLine(run);
  }
  if (run.storage.textTop == src.bodyEnd)
    run.storage.textTop = src.bodyStart;
  popSource(run);
  leaveBody(run);
  run.lineContinues = true;
  skipRestOfStartingLine(run);
  return Next::LineDone;
}

} // namespace veldran
