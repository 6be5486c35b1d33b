// ACC: a word typed at the console into a global text or numeric variable.
#include "base/messages.h"
#include "base/scanner.h"
#include "base/symbol_table.h"
#include "expr/evaluator.h"
#include "symbols/symbol_commands.h"

#include <string>

namespace veldran {

namespace {

constexpr std::int64_t kMaxWord = 80;

// Parses a console word for format N (digits) or I (optional sign, then
// digits). Returns false when it is not numeric.
bool parseNumber(const std::string &word, bool signAllowed,
                 std::int64_t &value) {
  std::size_t p = 0;
  if (signAllowed && (word[0] == '-' || word[0] == '+')) {
    if (++p == word.size())
      return false;
  }
  std::uint64_t v = 0;
  for (; p < word.size(); ++p) {
    if (word[p] < '0' || word[p] > '9')
      return false;
    v = v * 10 + static_cast<std::uint64_t>(word[p] - '0');
  }
  if (word[0] == '-')
    v = 0 - v;
  value = static_cast<std::int64_t>(v);
  return true;
}

} // namespace

Next cmdAcc(Run &run) {
  if (readName(run) || run.currentChar != ':') {
    report(run, "nach ACC kein :\n");
    return suppressLine(run);
  }
  run.currentChar = ' ';
  if (!readName(run)) {
    report(run, "ACC - kein Symbol gefunden\n");
    return suppressLine(run);
  }
  SymbolEntry variable;
  variable.name = run.scannedName;
  skipBlanks(run);
  std::uint8_t format = run.currentChar;
  if (format >= 'a' && format <= 'z')
    format = static_cast<std::uint8_t>(format - 32);
  nextChar(run);
  std::int64_t maxLength = readNumber(run);
  if (maxLength < 1 || maxLength > kMaxWord) {
    report(run, "ACC - falsche L\x84nge Format\n");
    return suppressLine(run);
  }
  if (run.currentChar != ';') {
    report(run, "kein Ende-Zeichen (;)\n");
    return suppressLine(run);
  }
  for (;;) {
    std::string word;
    if (!run.platform.readConsoleWord(word)) {
      report(run, "ACC - Ende der Konsoleneingabe - Abbruch\n");
      abortRun(run, ExitCode::Stopped);
    }
    if (static_cast<std::int64_t>(word.size()) > maxLength) {
      say(run, "ACC - Eingabe von Konsole zu lang\n");
      continue;
    }
    if (format == 'A') {
      auto n = static_cast<std::uint32_t>(word.size());
      if (n > run.storage.freeBytes()) {
        report(run, "ACC-Speicher ist nicht gro\xE1 genug - Abbruch\n");
        abortRun(run, ExitCode::Stopped);
      }
      variable.value = run.storage.textTop;
      variable.length = static_cast<std::int32_t>(n);
      variable.flags = SYM_TEXT;
      appendText(run, reinterpret_cast<const std::uint8_t *>(word.data()), n);
      break;
    }
    if (parseNumber(word, format != 'N', variable.value))
      break;
    say(run, "ACC - Eingabe nicht numerisch\n");
  }
  storeSymbol(run, LookupScope::GLOBAL, variable);
  return suppressLine(run);
}

} // namespace veldran
