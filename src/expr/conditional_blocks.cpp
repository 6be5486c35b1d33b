#include "expr/conditional_blocks.h"

#include "driver/commands.h"
#include "driver/line_loop.h"
#include "driver/scanner.h"
#include "expr/evaluator.h"
#include "symbols/symbol_table.h"

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
Next switchBlock(Run &run, char active) {
  run.lineMode = '0';
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

void evaluateCondition(Run &run) {
  run.cond.result = '0';
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
    if (found == (k == DEF))
      run.cond.result = '1';
    return;
  }
  evaluate(run, ';');
  if (holds(k, run.work.value))
    run.cond.result = '1';
}

Next cmdIf(Run &run) {
  ConditionState &c = run.cond;
  if (c.active == '1') {
    ++c.activeDepth;
    reserveStack(run, 1);
    *run.storage.at(run.storage.stackTop) =
        static_cast<std::uint8_t>(c.current);
    evaluateCondition(run);
    c.active = c.current = c.result;
  } else {
    ++c.inactiveDepth;
  }
  return suppressLine(run);
}

Next cmdIft(Run &run) { return switchBlock(run, run.cond.current); }

Next cmdIff(Run &run) {
  return switchBlock(run, run.cond.current == '1' ? '0' : '1');
}

Next cmdIftf(Run &run) { return switchBlock(run, '1'); }

Next cmdCend(Run &run) {
  ConditionState &c = run.cond;
  run.lineMode = '0';
  if (c.inactiveDepth != 0) {
    --c.inactiveDepth;
  } else if (c.activeDepth != 0) {
    // A macro call earlier on the line has put its items on top of the
    // saved byte. The line yields nothing now, so they go first.
    if (run.collection.pending)
      dropCollection(run);
    --c.activeDepth;
    c.current = static_cast<char>(*run.storage.at(run.storage.stackTop));
    releaseStack(run, 1);
    c.active = '1';
  } else {
    report(run, "CEND without IF\n");
  }
  return skipLine(run);
}

Next cmdIif(Run &run) {
  evaluateCondition(run);
  if (run.cond.result == '1')
    return Next::GoOn;
  return suppressLine(run);
}

void bodyStart(Run &run, std::uint32_t at) {
  ConditionState &c = run.cond;
  run.storage.write32(at, c.activeDepth);
  *run.storage.at(at + 4) = static_cast<std::uint8_t>(c.current);
  *run.storage.at(at + 5) = static_cast<std::uint8_t>(c.active);
  c.activeDepth = 0;
}

void bodyEnd(Run &run, bool reportOpen) {
  ConditionState &c = run.cond;
  auto open = static_cast<std::int16_t>(c.activeDepth + c.inactiveDepth);
  if (reportOpen && open != 0)
    reportX(run, "CEND missing at MEND/REND/EXECUTE (%dx)\n", open);
  StorageArea &s = run.storage;
  s.stackTop += static_cast<std::uint32_t>(c.activeDepth);
  c.inactiveDepth = 0;
  c.activeDepth = s.read32(s.stackTop);
  c.current = static_cast<char>(*s.at(s.stackTop + 4));
  c.active = static_cast<char>(*s.at(s.stackTop + 5));
  s.stackTop += 6;
  resetLineMode(run);
}

void endOfRunConditionCheck(Run &run) {
  std::int32_t open = run.cond.activeDepth + run.cond.inactiveDepth;
  if (open != 0)
    say(run, "*Ende* CEND - Ende Bedingung - fehlt (%ldX)\n",
        static_cast<long>(open));
}

} // namespace veldran
