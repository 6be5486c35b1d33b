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

// Parses the command up to the variable name; throws SyntaxError.
void parse(Run &run, std::int64_t &start, std::int64_t &maxLength) {
  const char *syntax = "nach TEXT falsche Syntax\n";
  if (readName(run))
    throw SyntaxError{syntax};
  if (run.currentChar == '(') {
    std::int64_t position = readOperand(run);
    if (position < 1 || position > kMaxPosition)
      throw SyntaxError{"TEXT - Angabe Position falsch\n"};
    start = position - 1;
    if (run.currentChar == ',') {
      maxLength = readOperand(run);
      if (maxLength < 1 || maxLength > kMaxPosition)
        throw SyntaxError{"TEXT - Angabe L\x84nge falsch\n"};
    }
    if (run.currentChar != ')')
      throw SyntaxError{syntax};
    nextChar(run);
  }
  if (run.currentChar != ':')
    throw SyntaxError{syntax};
  nextChar(run);
  if (!readName(run))
    throw SyntaxError{syntax};
  checkTerminator(run);
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
