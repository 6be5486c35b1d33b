// TEXT: a text variable, or a piece of it, inserted into the line.
#include "driver/commands.h"
#include "driver/scanner.h"
#include "expr/evaluator.h"
#include "symbols/fetch.h"
#include "symbols/symbol_table.h"

namespace veldran {

namespace {

constexpr std::int64_t kMaxPosition = 256;

struct SyntaxError {
  const char *message;
};

// A position or length: a numeric variable or decimal digits.
std::int64_t readOperand(Run &run) {
  run.currentChar = ' ';
  if (readName(run)) {
    fetchNumeric(run);
    return run.work.value;
  }
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
  run.currentChar = ' ';
  if (!readName(run))
    throw SyntaxError{syntax};
  checkTerminator(run);
}

} // namespace

Next cmdText(Run &run) {
  reserveStack(run, 8);
  std::int64_t start = 0;
  std::int64_t maxLength = 0;
  try {
    parse(run, start, maxLength);
  } catch (const SyntaxError &e) {
    report(run, "%s", e.message);
    releaseStack(run, 8);
    run.lineMode = '0';
    return Next::GoOn;
  }
  fetchText(run);
  if (run.work.flags & SYM_DEFINED) {
    std::int64_t n = run.work.length - start;
    if (maxLength > 0 && maxLength < n)
      n = maxLength;
    if (n > 0)
      appendBytes(run, textBytes(run, run.work) + start, static_cast<int>(n));
  }
  releaseStack(run, 8);
  return Next::GoOn;
}

} // namespace veldran
