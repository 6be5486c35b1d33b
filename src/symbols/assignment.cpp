// SET, MSET, DEFT and MDEFT, and the line end of a DEFT line.
#include "driver/collecting.h"
#include "driver/commands.h"
#include "driver/line_loop.h"
#include "driver/scanner.h"
#include "expr/evaluator.h"
#include "symbols/symbol_table.h"

namespace veldran {

namespace {

// Saves the scanned name on the variable stack while the rest of the
// command is scanned, which overwrites the WorkEntry.
void saveName(Run &run) {
  reserveStack(run, kNameLength);
  std::memcpy(run.storage.at(run.storage.stackTop), run.work.name.data(),
              kNameLength);
}

Name takeSavedName(Run &run) {
  Name n;
  std::memcpy(n.data(), run.storage.at(run.storage.stackTop), kNameLength);
  releaseStack(run, kNameLength);
  return n;
}

Next assign(Run &run, LookupScope scope, const char *syntaxMessage) {
  if (run.currentChar == ':')
    run.currentChar = ' ';
  if (!readName(run)) {
    report(run, "%s", syntaxMessage);
    return suppressLine(run);
  }
  saveName(run);
  if (readName(run) || run.currentChar != '=') {
    releaseStack(run, kNameLength);
    report(run, "%s", syntaxMessage);
    return suppressLine(run);
  }
  run.work = SymbolEntry{};
  run.currentChar = ' ';
  evaluate(run, ';');
  std::int64_t value = run.work.value;
  run.work = SymbolEntry{};
  run.work.name = takeSavedName(run);
  run.work.value = value;
  storeSymbol(run, scope);
  return suppressLine(run);
}

Next defineText(Run &run, LookupScope scope) {
  PendingTextTarget target;
  if (readName(run)) {
    saveName(run);
    if (!readName(run) && run.currentChar == ':') {
      run.work = SymbolEntry{};
      run.work.name = takeSavedName(run);
      run.work.value = run.storage.textTop;
      run.work.flags = SYM_TEXT;
      if (storeSymbol(run, scope) != kNoEntry)
        target = {true, scope, run.work.name};
    } else {
      releaseStack(run, kNameLength);
      report(run, "nach DEFT keine Variable bzw. :\n");
    }
  } else {
    report(run, "nach DEFT keine Variable bzw. :\n");
  }
  if (run.lineMode == 'F') {
    run.lineMode = 'T';
    saveKeptPrefix(run);
    reserveStack(run, 4);
    run.storage.write32(run.storage.stackTop, target.valid ? 1 : 0);
    trackCollection(run, static_cast<std::uint32_t>(run.keptLength) + 8, 4);
    run.textTarget = target;
  }
  run.lineLength = run.keptLength;
  return Next::GoOn;
}

} // namespace

Next cmdSet(Run &run) {
  return assign(run, LookupScope::GLOBAL,
                "nach SET keine Variable oder kein =\n");
}

Next cmdMset(Run &run) {
  if (!inMacro(run)) {
    report(run, "mset not in macro\n");
    return skipLine(run);
  }
  return assign(run, LookupScope::CURRENT,
                "nach MSET keine Variable oder kein =\n");
}

Next cmdDeft(Run &run) { return defineText(run, LookupScope::GLOBAL); }

Next cmdMdeft(Run &run) {
  if (!inMacro(run)) {
    report(run, "mdeft not in macro\n");
    return skipLine(run);
  }
  return defineText(run, LookupScope::CURRENT);
}

void textLineEnd(Run &run) {
  stripLineEnd(run);
  const PendingTextTarget &target = run.textTarget;
  if (target.valid) {
    auto n = static_cast<std::uint32_t>(run.lineLength);
    if (n > run.storage.freeBytes()) {
      report(run, "Text-Speicher nicht gro\xE1 genug - Abbruch\n");
      abortRun(run);
    }
    Lookup hit = lookupSymbol(run, target.scope, target.name);
    if (hit.found) {
      SymbolEntry e = run.storage.entry(hit.entry);
      e.value = run.storage.textTop;
      e.length = static_cast<std::int32_t>(n);
      run.storage.setEntry(hit.entry, e);
    }
    appendText(run, run.lineBuffer, n);
  }
}

} // namespace veldran
