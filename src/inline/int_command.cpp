// INT: the value of an expression as decimal text, with an optional width
// filled with leading zeros.
#include "base/fetch.h"
#include "base/frames.h"
#include "base/messages.h"
#include "base/scanner.h"
#include "base/symbol_table.h"
#include "expr/evaluator.h"
#include "inline/inline_commands.h"

namespace veldran {

namespace {

constexpr std::int64_t kMaxWidth = 16;

// Produces the characters from the right, as the width rules want them:
// the digits cut to `width` columns, then zeros, then a '-' in the first
// column of a negative value. `room` caps the count; the least significant
// characters stay. Returns the number of characters, last one first.
int formatRightToLeft(std::int64_t value, std::int64_t width, int room,
                      char *out) {
  bool negative = value < 0;
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value)
                                     : static_cast<std::uint64_t>(value);
  std::int64_t remaining = width;
  int i = 0;
  auto produce = [&](char c) {
    if (i > 0 && i == room)
      return false;
    out[i++] = c;
    return true;
  };
  for (;;) {
    if (!produce(static_cast<char>('0' + magnitude % 10)))
      return i;
    magnitude /= 10;
    if (--remaining == 0)
      return i;
    if (magnitude == 0)
      break;
  }
  std::int64_t zerosUntil = negative ? 1 : 0;
  for (; remaining > zerosUntil; --remaining)
    if (!produce('0'))
      return i;
  if (negative)
    produce('-');
  return i;
}

Next syntaxError(Run &run) {
  report(run, "nach INT kein : oder (nnn)\n");
  return Next::GoOn;
}

} // namespace

Next cmdInt(Run &run) {
  if (readName(run))
    return syntaxError(run);
  std::int64_t width = 0;
  if (run.currentChar == '(') {
    run.currentChar = ' ';
    if (readName(run)) {
      width = fetchNumeric(run, run.scannedName);
    } else {
      width = readNumber(run);
    }
    if (run.currentChar != ')')
      return syntaxError(run);
    if (width < 1 || width > kMaxWidth) {
      report(run, "INT - Anzahl Stellen falsch (1 bis 16)\n");
      return Next::GoOn;
    }
    nextChar(run);
  }
  if (run.currentChar != ':')
    return syntaxError(run);
  nextChar(run);
  reserveStack(run, kIntWorkRecordSize);
  std::int64_t value = evaluate(run, ';').value;
  if (run.lineLength < kLineMax) {
    char out[40];
    int n = formatRightToLeft(value, width, kLineMax - run.lineLength, out);
    for (int i = n - 1; i >= 0; --i)
      run.lineBuffer[run.lineLength++] = static_cast<std::uint8_t>(out[i]);
  }
  releaseStack(run, kIntWorkRecordSize);
  return Next::GoOn;
}

} // namespace veldran
