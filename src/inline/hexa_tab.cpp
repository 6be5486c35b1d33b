// HEXA (raw bytes given in hexadecimal) and TAB (blanks up to a column).
#include "base/messages.h"
#include "base/scanner.h"
#include "expr/evaluator.h"
#include "inline/inline_commands.h"

namespace veldran {

namespace {

int hexValue(std::uint8_t c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

Next dropLine(Run &run, const char *message) {
  reportText(run, message);
  run.lineMode = LineMode::Suppressed;
  return Next::GoOn;
}

} // namespace

Next cmdHexa(Run &run) {
  if (run.currentChar != ':')
    return dropLine(run, "HEXA - nach Anweisung kein :\n");
  const char *badDigit = "HEXA - HEXA-Character nicht 0-9 und A-F\n";
  for (;;) {
    nextChar(run);
    if (run.currentChar == ';')
      return Next::GoOn;
    int high = hexValue(run.currentChar);
    if (high < 0)
      return dropLine(run, badDigit);
    nextChar(run);
    int low = hexValue(run.currentChar);
    if (low < 0)
      return dropLine(run, badDigit);
    appendByte(run, static_cast<std::uint8_t>(high * 16 + low));
  }
}

Next cmdTab(Run &run) {
  if (readName(run) || run.currentChar != ':') {
    report(run, "after TAB control-character : missing\n");
    return Next::GoOn;
  }
  nextChar(run);
  std::int64_t column = evaluate(run, ';').value;
  if (column > kLineMax || column < run.lineLength + 1) {
    report(run, "TAB-value not possible\n");
    return Next::GoOn;
  }
  while (run.lineLength < column - 1)
    run.lineBuffer[run.lineLength++] = ' ';
  return Next::GoOn;
}

} // namespace veldran
