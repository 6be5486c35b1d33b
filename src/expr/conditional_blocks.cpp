#include "expr/conditional_blocks.h"

#include "base/collection.h"
#include "base/diagnostics.h"
#include "base/frames.h"
#include "base/messages.h"
#include "base/scanner.h"
#include "base/symbol_table.h"
#include "expr/evaluator.h"

namespace veldran {

namespace {

enum Keyword { DEF, NDF, EQ, NE, GT, LT, GE, LE, NONE };

constexpr const char *kKeywords[] = {"DEF ", "NDF ", "EQ  ", "NE  ",
                                     "GT  ", "LT  ", "GE  ", "LE  "};

Keyword findKeyword(const Name &name) {
  for (int k = DEF; k <= LE; ++k)
    if (std::memcmp(name.data(), kKeywords[k], 4) == 0)
      return static_cast<Keyword>(k);
  return NONE;
}

bool holds(Keyword k, std::int64_t v) {
  switch (k) {
  case EQ:
    return v == 0;
  case NE:
    return v != 0;
  case GT:
    return v > 0;
  case LT:
    return v < 0;
  case GE:
    return v >= 0;
  default:
    return v <= 0;
  }
}

// IFT, IFF and IFTF switch the block of the innermost evaluated IF.
Next switchBlock(Run &run, bool active) {
  run.lineMode = LineMode::Suppressed;
  if (run.cond.inactiveDepth == 0) {
    if (run.cond.activeDepth == 0)
      report(run, "Abfrage Bedingung (IFT/IFF/IFTF) ohne IF\n");
    else
      run.cond.active = active;
  }
  skipRestOfLine(run);
  return Next::LineDone;
}

} // namespace

// Evaluates the condition behind IF or IIF into cond.result.
void evaluateCondition(Run &run) {
  run.cond.result = false;
  readName(run);
  Keyword k = findKeyword(run.scannedName);
  if (k == NONE) {
    report(run, "Bedingung nicht definiert - %.16s\n", run.scannedName.data());
    return;
  }
  if (k == DEF || k == NDF) {
    if (!readName(run)) {
      report(run, "nach DEF/NDF kein Symbol\n");
      return;
    }
    checkTerminator(run);
    bool found = lookupSymbol(run, LookupScope::ALL, run.scannedName).found;
    run.cond.result = found == (k == DEF);
    return;
  }
  Evaluation e = evaluate(run, ';');
  run.cond.result = holds(k, e.value);
  if (e.separator != ';')
    warn(run,
         "the condition's expression ends at %s, not at ';': it was "
         "taken as 0",
         byteShown(e.separator).c_str());
}

// The condition of IF or IIF as written, and what it gave.
void traceCondition(Run &run, const char *command, int from) {
  if (!traces(run, command))
    return;
  const InputSource &src = run.source();
  // A condition at the end of a file without a line end is read past it.
  from = std::min(from, src.length);
  std::string text(reinterpret_cast<const char *>(src.buffer) + from,
                   static_cast<std::size_t>(src.length - from));
  std::size_t end = std::min(text.find(';'), text.find_first_of("\r\n"));
  if (end != std::string::npos)
    text.resize(end);
  text.erase(0, text.find_first_not_of(' '));
  trace(run, "%s %s -> %s", command, text.c_str(),
        run.cond.result ? "true" : "false");
}

Next cmdIf(Run &run) {
  ConditionState &c = run.cond;
  blockOpened(run);
  if (c.active) {
    ++c.activeDepth;
    pushSavedCondition(run, c.current);
    int from = run.source().position;
    evaluateCondition(run);
    traceCondition(run, "IF", from);
    c.active = c.current = c.result;
  } else {
    ++c.inactiveDepth;
  }
  return suppressLine(run);
}

Next cmdIft(Run &run) { return switchBlock(run, run.cond.current); }

Next cmdIff(Run &run) { return switchBlock(run, !run.cond.current); }

Next cmdIftf(Run &run) { return switchBlock(run, true); }

Next cmdCend(Run &run) {
  ConditionState &c = run.cond;
  run.lineMode = LineMode::Suppressed;
  if (c.inactiveDepth != 0) {
    --c.inactiveDepth;
    blockClosed(run);
  } else if (c.activeDepth != 0) {
    // A macro call earlier on the line has put its items on top of the
    // saved condition. The line yields nothing now, so they go first.
    dropCollection(run);
    --c.activeDepth;
    c.current = popSavedCondition(run);
    c.active = true;
    blockClosed(run);
  } else {
    report(run, "CEND without IF\n");
  }
  return skipLine(run);
}

Next cmdIif(Run &run) {
  int from = run.source().position;
  evaluateCondition(run);
  traceCondition(run, "IIF", from);
  if (run.cond.result)
    return Next::GoOn;
  return suppressLine(run);
}

void bodyStart(Run &run, std::uint32_t at) {
  ConditionState &c = run.cond;
  ConditionSave{c.activeDepth, c.current, c.active}.write(run.storage, at);
  c.activeDepth = 0;
  bodyScopeStarted(run);
}

void restoreConditions(Run &run, const ConditionSave &save) {
  bodyScopeEnded(run);
  ConditionState &c = run.cond;
  c.inactiveDepth = 0;
  c.activeDepth = save.activeDepth;
  c.current = save.current;
  c.active = save.active;
}

void bodyEnd(Run &run, bool reportOpen) {
  ConditionState &c = run.cond;
  auto open = static_cast<std::int16_t>(c.activeDepth + c.inactiveDepth);
  if (reportOpen && open != 0)
    reportX(run, "CEND missing at MEND/REND/EXECUTE (%dx)\n", open);
  releaseStack(run,
               static_cast<std::uint32_t>(c.activeDepth) * kSavedConditionSize);
  restoreConditions(run,
                    ConditionSave::read(run.storage, run.storage.stackTop));
  releaseStack(run, ConditionSave::kSize);
  resetLineMode(run);
}

void endOfRunConditionCheck(Run &run) {
  std::int32_t open = run.cond.activeDepth + run.cond.inactiveDepth;
  if (open != 0) {
    sayAboutTemplate(run, "*Ende* CEND - Ende Bedingung - fehlt (%ldX)\n",
                     static_cast<long>(open));
    whereOpenBlocks(run);
  }
}

} // namespace veldran
