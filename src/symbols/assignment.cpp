// SET, MSET, DEFT and MDEFT, and the line end of a DEFT line.
#include "base/collection.h"
#include "base/diagnostics.h"
#include "base/frames.h"
#include "base/messages.h"
#include "base/scanner.h"
#include "base/symbol_table.h"
#include "expr/evaluator.h"
#include "symbols/symbol_commands.h"

namespace veldran {

namespace {

Next assign(Run &run, LookupScope scope, const char *syntaxMessage) {
  if (run.currentChar == ':')
    run.currentChar = ' ';
  if (!readName(run)) {
    reportText(run, syntaxMessage);
    return suppressLine(run);
  }
  // The name is kept on the stack while the rest of the command is read.
  pushSavedName(run, run.scannedName);
  if (readName(run) || run.currentChar != '=') {
    releaseStack(run, kSavedNameSize);
    reportText(run, syntaxMessage);
    return suppressLine(run);
  }
  nextChar(run);
  SymbolEntry variable;
  variable.value = evaluate(run, ';').value;
  variable.name = popSavedName(run);
  storeSymbol(run, scope, variable);
  const char *command = scope == LookupScope::GLOBAL ? "SET" : "MSET";
  if (traces(run, command))
    trace(run, "%s %.*s=%lld", command, nameLength(variable.name),
          variable.name.data(), static_cast<long long>(variable.value));
  return suppressLine(run);
}

// Defines the variable with an empty text at textTop, where the line's end
// appends it. Returns the target, invalid after a reported error.
PendingTextTarget defineEmptyText(Run &run, LookupScope scope) {
  if (readName(run)) {
    pushSavedName(run, run.scannedName);
    if (!readName(run) && run.currentChar == ':') {
      SymbolEntry variable;
      variable.name = popSavedName(run);
      variable.value = run.storage.textTop;
      variable.flags = SYM_TEXT;
      if (storeSymbol(run, scope, variable) == kNoEntry)
        return {};
      return {true, scope, variable.name};
    }
    releaseStack(run, kSavedNameSize);
  }
  report(run, "nach DEFT keine Variable bzw. :\n");
  return {};
}

Next defineText(Run &run, LookupScope scope) {
  PendingTextTarget target = defineEmptyText(run, scope);
  beginTextCollection(run, target);
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
  if (!target.valid)
    return;
  auto n = static_cast<std::uint32_t>(run.lineLength);
  if (n > run.storage.freeBytes()) {
    report(run, "Text-Speicher nicht gro\xE1 genug - Abbruch\n");
    abortRun(run, ExitCode::Stopped);
  }
  const char *command = target.scope == LookupScope::GLOBAL ? "DEFT" : "MDEFT";
  if (traces(run, command))
    trace(run, "%s %.*s (%u bytes)", command, nameLength(target.name),
          target.name.data(), n);
  Lookup hit = lookupSymbol(run, target.scope, target.name);
  if (hit.found) {
    SymbolEntry e = run.storage.entry(hit.entry);
    e.value = run.storage.textTop;
    e.length = static_cast<std::int32_t>(n);
    run.storage.setEntry(hit.entry, e);
  }
  appendText(run, run.lineBuffer, n);
}

} // namespace veldran
