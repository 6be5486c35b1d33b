// MACRO and MEND, and the recording or passing over of bodies.
#include "driver/collecting.h"
#include "driver/commands.h"
#include "driver/input_sources.h"
#include "driver/line_loop.h"
#include "driver/scanner.h"
#include "expr/conditional_blocks.h"
#include "symbols/symbol_table.h"

namespace veldran {

namespace {

// MEND with no inner definition open: the macro is defined.
Next endDefinition(Run &run) {
  run.lineMode = 'F';
  StorageArea &s = run.storage;
  run.work = s.entry(s.stackTop);
  releaseStack(run, 32);
  run.work.length = static_cast<std::int32_t>(s.textTop - run.work.value);
  storeSymbol(run, LookupScope::GLOBAL);
  return skipLine(run);
}

// REND with no inner block open: the recorded body starts to replay.
Next endRecording(Run &run) {
  StorageArea &s = run.storage;
  auto start = static_cast<std::uint32_t>(s.read32(s.stackTop));
  InputSource &src = pushSource(run);
  src.kind = 'R';
  src.bodyStart = src.bodyNext = start;
  src.bodyEnd = s.textTop;
  src.passesLeft = run.repeatCount;
  releaseStack(run, 2);
  bodyStart(run, s.stackTop);
  run.lineLength = run.keptLength;
  run.lineMode = 'F';
  return Next::Restart;
}

// MEND or REND closing a body that was passed over. The rest of the line
// follows the conditional state, so text in front of the command in a
// false block is not written.
Next endPassingOver(Run &run) {
  run.lineMode = 'F';
  resetLineMode(run);
  return skipLine(run);
}

} // namespace

// MACRO and MEND nest inside a macro body, RPT, RPTN and REND inside a
// repeat body; only the matching MEND or REND ends it. Every other command
// is recorded with the rest of its line, or passed over with it.
Next recordingCommand(Run &run, int row) {
  bool macro = run.lineMode == 'M' || run.lineMode == 'N';
  std::int32_t &nesting = macro ? run.macroNesting : run.repeatNesting;
  bool opens = macro ? row == CMD_MACRO : row == CMD_RPT || row == CMD_RPTN;
  if (opens) {
    ++nesting;
  } else if (row == (macro ? CMD_MEND : CMD_REND)) {
    if (nesting == 0) {
      if (run.lineMode == 'M')
        return endDefinition(run);
      if (run.lineMode == 'R')
        return endRecording(run);
      return endPassingOver(run);
    }
    --nesting;
  }
  if (run.lineMode == 'N' || run.lineMode == 'S')
    return skipLine(run);
  passCommandThrough(run);
  return Next::LineDone;
}

namespace {

// Reads the macro's name behind the ':' and pushes its entry: the body is
// recorded from the rest of this line on.
void startDefinition(Run &run) {
  run.currentChar = ' ';
  if (!readName(run)) {
    report(run, "after MACRO no macro-name\n");
    return;
  }
  Lookup hit = lookupSymbol(run, LookupScope::ALL, run.scannedName);
  if (hit.found && !(run.storage.entry(hit.entry).flags & SYM_MACRO)) {
    report(run, "MACRO found / variable already defined\n");
    return;
  }
  SymbolEntry e;
  e.name = run.scannedName;
  e.flags = SYM_MACRO;
  e.value = run.storage.textTop;
  reserveStack(run, 32);
  run.storage.setEntry(run.storage.stackTop, e);
  run.lineMode = 'M';
}

} // namespace

Next cmdMacro(Run &run) {
  char mode = run.lineMode;
  if (run.currentChar != ':')
    report(run, "MACRO - after Command no : / %c\n", run.currentChar);
  else if (run.cond.active != '1')
    run.lineMode = 'N';
  else
    startDefinition(run);
  // A definition overrides a macro call earlier on the line: the call's
  // items come off and its saved prefix comes back, to be dropped below.
  if (run.lineMode != mode && run.collection.pending)
    dropCollection(run);
  // Text carried in by CONT is dropped like the text in front of MACRO,
  // whether or not a definition starts.
  run.keptLength = 0;
  run.lineLength = 0;
  if (run.lineMode != 'M')
    return skipLine(run);
  return Next::GoOn;
}

Next cmdMend(Run &run) {
  report(run, "MEND without starting MACRO\n");
  return skipLine(run);
}

void recordLine(Run &run) {
  stripLineEnd(run);
  int n = run.lineLength - run.keptLength;
  if (n < 0)
    n = 0;
  auto size = static_cast<std::uint32_t>(n) + 2;
  if (run.storage.freeBytes() < size) {
    report(run, "Macro-storage not big enough - abend\n");
    abortRun(run);
  }
  auto length = static_cast<std::uint16_t>(n);
  appendText(run, reinterpret_cast<const std::uint8_t *>(&length), 2);
  appendText(run, run.lineBuffer + run.keptLength,
             static_cast<std::uint32_t>(n));
  run.lineLength = run.keptLength;
}

} // namespace veldran
