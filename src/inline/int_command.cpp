// INT: the value of an expression as decimal text, with an optional width
// filled with leading zeros.
#include "base/byte_copy.h"
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

// The longest text INT produces: 20 digits and a '-'; widths reach 16.
constexpr int kMaxText = 24;

// "00" to "99", for two digits per division.
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Writes the characters from the right, ending at `end`, as the width rules
// want them: the digits cut to `width` columns, then zeros, then a '-' in
// the first column of a negative value. Returns where the text begins.
char *formatRightToLeft(std::int64_t value, std::int64_t width, char *end) {
  bool negative = value < 0;
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value)
                                     : static_cast<std::uint64_t>(value);
  char *p = end;
  for (; magnitude >= 100; magnitude /= 100) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[2 * (magnitude % 100)], 2);
  }
  if (magnitude >= 10) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[2 * magnitude], 2);
  } else {
    *--p = static_cast<char>('0' + magnitude);
  }
  // Digits that fill the width leave no column for zeros or a sign.
  if (width > 0 && end - p >= width)
    return end - width;
  std::int64_t zerosTo = width - (negative ? 1 : 0);
  while (end - p < zerosTo)
    *--p = '0';
  if (negative)
    *--p = '-';
  return p;
}

// Appends the text of `value`; where the line has no room for all of it,
// the least significant characters are kept.
void appendNumber(Run &run, std::int64_t value, std::int64_t width) {
  int room = kLineMax - run.lineLength;
  if (room <= 0)
    return;
  char text[kMaxText];
  char *end = text + kMaxText;
  char *begin = formatRightToLeft(value, width, end);
  if (end - begin > room)
    begin = end - room;
  copyBytes(run.lineBuffer + run.lineLength,
            reinterpret_cast<const std::uint8_t *>(begin),
            static_cast<std::size_t>(end - begin));
  run.lineLength += static_cast<int>(end - begin);
}

// The expression behind the ':', evaluated and appended.
Next appendValue(Run &run, std::int64_t width) {
  reserveStack(run, kIntWorkRecordSize);
  appendNumber(run, evaluate(run, ';').value, width);
  releaseStack(run, kIntWorkRecordSize);
  return Next::GoOn;
}

Next syntaxError(Run &run) {
  report(run, "nach INT kein : oder (nnn)\n");
  return Next::GoOn;
}

// A width of digits from 1 to 16 in parentheses, and the ':' behind it.
bool literalWidth(Run &run, std::int64_t &width) {
  LiteralReader r(run);
  if (!r.skip('(') || !r.number(width) || width < 1 || width > kMaxWidth ||
      !r.skip(')') || !r.skip(':'))
    return false;
  r.take(run);
  return true;
}

} // namespace

Next cmdInt(Run &run) {
  std::int64_t width = 0;
  if (literalWidth(run, width))
    return appendValue(run, width);
  if (readName(run))
    return syntaxError(run);
  if (run.currentChar == '(') {
    nextChar(run);
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
  return appendValue(run, width);
}

} // namespace veldran
