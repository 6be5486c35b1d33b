// MACRO and MEND, and the recording or passing over of bodies.
#include "base/collection.h"
#include "base/diagnostics.h"
#include "base/frames.h"
#include "base/messages.h"
#include "base/scanner.h"
#include "base/source_stack.h"
#include "base/symbol_table.h"
#include "expr/conditional_blocks.h"
#include "macro/macro_commands.h"

namespace veldran {

namespace {

// MEND with no inner definition open: the macro is defined.
Next endDefinition(Run &run) {
  run.lineMode = LineMode::Normal;
  StorageArea &s = run.storage;
  SymbolEntry macro = s.entry(s.stackTop);
  releaseStack(run, kEntrySize);
  macro.length = static_cast<std::int32_t>(s.textTop - macro.value);
  storeSymbol(run, LookupScope::GLOBAL, macro);
  return skipLine(run);
}

// REND with no inner block open: the recorded body starts to replay. The
// repeat frame becomes the body's ConditionSave.
Next endRecording(Run &run) {
  StorageArea &s = run.storage;
  InputSource &src = pushSource(run, SourceKind::RepeatBody);
  src.bodyStart = src.bodyNext = RepeatFrame::bodyStart(s);
  src.bodyEnd = s.textTop;
  src.passesLeft = run.repeatCount;
  src.origin = run.diagnostics.recordingPlace;
  releaseStack(run, RepeatFrame::kSize - ConditionSave::kSize);
  bodyStart(run, s.stackTop);
  run.lineLength = run.keptLength;
  run.lineMode = LineMode::Normal;
  return Next::Restart;
}

// MEND or REND closing a body that was passed over. The rest of the line
// follows the conditional state, so text in front of the command in a
// false block is not written.
Next endPassingOver(Run &run) {
  run.lineMode = LineMode::Normal;
  resetLineMode(run);
  return skipLine(run);
}

bool isMacroMode(LineMode m) {
  return m == LineMode::RecordMacro || m == LineMode::SkipMacro;
}

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
  reserveStack(run, kEntrySize);
  run.storage.setEntry(run.storage.stackTop, e);
  run.lineMode = LineMode::RecordMacro;
  recordingBegun(run, "MACRO", &e.name);
}

} // namespace

// MACRO and MEND nest inside a macro body, RPT, RPTN and REND inside a
// repeat body; only the matching MEND or REND ends it. Every other command
// is recorded with the rest of its line, or passed over with it.
Next recordingCommand(Run &run, CommandNumber command) {
  bool macro = isMacroMode(run.lineMode);
  std::int32_t &nesting = macro ? run.macroNesting : run.repeatNesting;
  bool opens =
      macro ? command == CMD_MACRO : command == CMD_RPT || command == CMD_RPTN;
  if (opens) {
    ++nesting;
  } else if (command == (macro ? CMD_MEND : CMD_REND)) {
    if (nesting == 0) {
      if (run.lineMode == LineMode::RecordMacro)
        return endDefinition(run);
      if (run.lineMode == LineMode::RecordRepeat)
        return endRecording(run);
      return endPassingOver(run);
    }
    --nesting;
  }
  if (!isRecording(run.lineMode))
    return skipLine(run);
  passCommandThrough(run);
  return Next::LineDone;
}

void abandonRecording(Run &run) {
  reportX(run, "still in RPT/RPTN/MACRO at MEND/REND/EXECUTE\n");
  if (run.lineMode == LineMode::RecordMacro)
    releaseStack(run, kEntrySize);
  else if (run.lineMode == LineMode::RecordRepeat)
    releaseStack(run, RepeatFrame::kSize);
  run.macroNesting = 0;
  run.repeatNesting = 0;
  run.lineMode = LineMode::Normal;
}

Next cmdMacro(Run &run) {
  LineMode mode = run.lineMode;
  if (run.currentChar != ':')
    report(run, "MACRO - after Command no : / %c\n", run.currentChar);
  else if (!run.cond.active)
    run.lineMode = LineMode::SkipMacro;
  else
    startDefinition(run);
  if (run.lineMode == LineMode::SkipMacro)
    recordingBegun(run, "MACRO", nullptr);
  // A definition overrides a macro call earlier on the line: the call's
  // items come off and its saved prefix comes back, to be dropped below.
  if (run.lineMode != mode)
    dropCollection(run);
  // Text carried in by CONT is dropped like the text in front of MACRO,
  // whether or not a definition starts.
  run.keptLength = 0;
  run.lineLength = 0;
  if (run.lineMode != LineMode::RecordMacro)
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
  if (run.storage.freeBytes() <
      StoredLine::size(static_cast<std::uint32_t>(n))) {
    report(run, "Macro-storage not big enough - abend\n");
    abortRun(run, ExitCode::Stopped);
  }
  StoredLine::append(run, run.lineBuffer + run.keptLength,
                     static_cast<std::uint16_t>(n));
  run.lineLength = run.keptLength;
}

} // namespace veldran
