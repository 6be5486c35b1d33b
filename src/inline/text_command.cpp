// TEXT: a text variable, or a piece of it, inserted into the line.
#include "base/fetch.h"
#include "base/frames.h"
#include "base/messages.h"
#include "base/scanner.h"
#include "base/symbol_table.h"
#include "expr/evaluator.h"
#include "inline/inline_commands.h"

namespace veldran {

namespace {

constexpr std::int64_t kMaxPosition = 256;

struct SyntaxError {
  const char *message;
};

// A position or length: a numeric variable or decimal digits.
std::int64_t readOperand(Run &run) {
  nextChar(run);
  if (readName(run))
    return fetchNumeric(run, run.scannedName);
  return readNumber(run);
}

bool inPlace(std::int64_t n) { return n >= 1 && n <= kMaxPosition; }

// A position and length of digits in parentheses, and the ':' behind them.
bool literalPlace(Run &run, std::int64_t &start, std::int64_t &maxLength) {
  LiteralReader r(run);
  std::int64_t position = 0;
  if (!r.skip('(') || !r.number(position) || !inPlace(position))
    return false;
  if (r.skip(',') && (!r.number(maxLength) || !inPlace(maxLength)))
    return false;
  if (!r.skip(')') || !r.skip(':'))
    return false;
  r.take(run);
  start = position - 1;
  return true;
}

// The variable's name behind the ':'; throws SyntaxError.
void readVariable(Run &run, const char *syntax) {
  if (!readName(run))
    throw SyntaxError{syntax};
  checkTerminator(run);
}

// Parses the command up to the variable name; throws SyntaxError.
void parse(Run &run, std::int64_t &start, std::int64_t &maxLength) {
  const char *syntax = "nach TEXT falsche Syntax\n";
  if (literalPlace(run, start, maxLength)) {
    readVariable(run, syntax);
    return;
  }
  if (readName(run))
    throw SyntaxError{syntax};
  if (run.currentChar == '(') {
    std::int64_t position = readOperand(run);
    if (!inPlace(position))
      throw SyntaxError{"TEXT - Angabe Position falsch\n"};
    start = position - 1;
    if (run.currentChar == ',') {
      maxLength = readOperand(run);
      if (!inPlace(maxLength))
        throw SyntaxError{"TEXT - Angabe L\x84nge falsch\n"};
    }
    if (run.currentChar != ')')
      throw SyntaxError{syntax};
    nextChar(run);
  }
  if (run.currentChar != ':')
    throw SyntaxError{syntax};
  nextChar(run);
  readVariable(run, syntax);
}

} // namespace

Next cmdText(Run &run) {
  reserveStack(run, kTextWorkRecordSize);
  std::int64_t start = 0;
  std::int64_t maxLength = 0;
  try {
    parse(run, start, maxLength);
  } catch (const SyntaxError &e) {
    reportText(run, e.message);
    releaseStack(run, kTextWorkRecordSize);
    run.lineMode = LineMode::Suppressed;
    return Next::GoOn;
  }
  if (std::optional<SymbolEntry> text = fetchText(run, run.scannedName)) {
    std::int64_t n = text->length - start;
    if (maxLength > 0 && maxLength < n)
      n = maxLength;
    if (n > 0)
      appendBytes(run, textBytes(run, *text) + start, static_cast<int>(n));
  }
  releaseStack(run, kTextWorkRecordSize);
  return Next::GoOn;
}

} // namespace veldran
