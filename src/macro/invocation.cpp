// Macro calls: collecting the arguments, binding them to the parameters
// in a new local table, starting the body; and MEXIT.
#include "driver/collecting.h"
#include "driver/commands.h"
#include "driver/input_sources.h"
#include "driver/line_loop.h"
#include "driver/replay.h"
#include "driver/scanner.h"
#include "expr/conditional_blocks.h"
#include "expr/evaluator.h"
#include "symbols/symbol_table.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace veldran {

namespace {

enum ParamType { MINT, MTEXT, MQUOTE };

constexpr const char *kParamTypes[] = {"MINT    ", "MTEXT   ", "MQUOTE  "};

struct BindFailed {};

// Walks the macro's parameter text side by side with the argument text,
// which is the current source's buffer.
class Binder {
public:
  Binder(Run &run, const std::uint8_t *params, std::size_t count)
      : run_(run), params_(params), count_(count) {}

  void bindAll();

private:
  std::uint8_t takeParam() { return next_ < count_ ? params_[next_++] : 0; }
  bool paramsUsedUp() const { return next_ >= count_; }
  InputSource &args() { return run_.source(); }
  bool argsUsedUp() { return args().position >= args().length; }
  std::uint8_t peekArg() { return args().buffer[args().position]; }
  void skipArgBlanks() {
    while (!argsUsedUp() && peekArg() == ' ')
      ++args().position;
  }

  [[noreturn]] void fail(const char *format, ...)
      __attribute__((format(printf, 2, 3)));
  std::uint8_t bindOne();
  Name collectName(std::uint8_t &ch, bool skipBlanks);
  ParamType readType(std::uint8_t &ch);
  Name readParamName(std::uint8_t &ch);
  void takeInteger();
  void takeText();
  bool takeQuoted();
  void appendArgByte(std::uint8_t c, bool twoBytes, const char *overflow);

  Run &run_;
  const std::uint8_t *params_;
  std::size_t count_;
  std::size_t next_ = 0;
};

// The message is printed as printf prints it: a zero byte from `%c` is
// written and the rest of the format follows it.
void Binder::fail(const char *format, ...) {
  va_list args;
  va_start(args, format);
  vreportX(run_, format, args);
  va_end(args);
  throw BindFailed{};
}

void Binder::bindAll() {
  if (count_ == 0)
    return;
  while (bindOne() == ',') {
  }
}

// Collects name characters from `ch` on, upper-cased, 16 at most kept;
// with `skipBlanks` blanks inside the name are passed over.
Name Binder::collectName(std::uint8_t &ch, bool skipBlanks) {
  Name name;
  name.fill(' ');
  std::size_t n = 0;
  for (;; ch = takeParam()) {
    if (skipBlanks && ch == ' ')
      continue;
    std::uint8_t up = NameCharTable[ch];
    if (!up)
      return name;
    if (n < kNameLength)
      name[n++] = static_cast<char>(up);
  }
}

ParamType Binder::readType(std::uint8_t &ch) {
  ch = takeParam();
  while (ch == ' ')
    ch = takeParam();
  if (ch >= '0' && ch <= '9')
    fail("macro argument number found - %c.\n", ch);
  Name word = collectName(ch, false);
  for (int t = MINT; t <= MQUOTE; ++t)
    if (std::memcmp(word.data(), kParamTypes[t], 8) == 0)
      return static_cast<ParamType>(t);
  fail("macro argument type invalid - %.16s.\n", word.data());
}

Name Binder::readParamName(std::uint8_t &ch) {
  if (ch != ':') {
    char shown[2] = {static_cast<char>(ch), 0};
    fail("after macro argument separator invalid / : / %s.\n", shown);
  }
  if (paramsUsedUp())
    fail("macro arguments too short\n");
  ch = takeParam();
  if (ch >= '0' && ch <= '9')
    fail("macro argument number found - %c.\n", ch);
  Name name = collectName(ch, true);
  if (ch != ',' && ch != ')')
    fail("after macro variable separator invalid / , / ) / %c.\n", ch);
  return name;
}

std::uint8_t Binder::bindOne() {
  std::uint8_t ch = 0;
  ParamType type = readType(ch);
  run_.work = SymbolEntry{};
  run_.work.name = readParamName(ch);
  if (type == MINT)
    takeInteger();
  else if (type == MTEXT)
    takeText();
  else if (!takeQuoted())
    throw BindFailed{};
  storeSymbol(run_, LookupScope::CURRENT);
  skipArgBlanks();
  std::uint8_t separator;
  if (type == MINT) {
    separator = static_cast<std::uint8_t>(run_.lastSeparator);
    if (separator == ' ' && !argsUsedUp())
      separator = peekArg();
  } else {
    separator = argsUsedUp() ? ' ' : args().buffer[args().position++];
  }
  if (ch == ',') {
    if (argsUsedUp())
      fail("macro arguments too short\n");
    if (separator != ',')
      fail("separator after macro arguments invalid %c.\n", separator);
  } else if (separator != ')') {
    reportX(run_, "invalid end of macro arguments %c\n", separator);
  }
  return ch;
}

void Binder::takeInteger() {
  Name name = run_.work.name;
  reserveStack(run_, kNameLength);
  run_.work = SymbolEntry{};
  run_.currentChar = ' ';
  evaluate(run_, ',');
  std::int64_t value = run_.work.value;
  releaseStack(run_, kNameLength);
  run_.work = SymbolEntry{};
  run_.work.name = name;
  run_.work.value = value;
}

// Appends one byte of a text argument. An MTEXT byte needs two free bytes
// of storage, an MQUOTE byte one.
void Binder::appendArgByte(std::uint8_t c, bool twoBytes,
                           const char *overflow) {
  StorageArea &s = run_.storage;
  std::uint32_t needed = twoBytes ? 2 : 1;
  if (s.stackTop - s.textTop < needed) {
    reportX(run_, "%s", overflow);
    abortRun(run_);
  }
  appendText(run_, &c, 1);
  ++run_.work.length;
}

void Binder::takeText() {
  run_.work.value = run_.storage.textTop;
  run_.work.flags = SYM_TEXT;
  skipArgBlanks();
  while (!argsUsedUp() && peekArg() != ' ' && peekArg() != ',' &&
         peekArg() != ')') {
    appendArgByte(peekArg(), true, "stack overflow - MTEXT - abend\n");
    ++args().position;
  }
  if (argsUsedUp())
    fail("macro arguments MTEXT invalid\n");
}

// A quoted argument; two apostrophes in a row stand for one. Returns false
// when the text ends before the closing apostrophe is followed by anything.
bool Binder::takeQuoted() {
  run_.work.value = run_.storage.textTop;
  run_.work.flags = SYM_TEXT;
  skipArgBlanks();
  if (argsUsedUp())
    fail("macro arguments MQUOTE invalid\n");
  if (peekArg() != '\'')
    fail("macro arguments MQUOTE does not start correct %c\n", peekArg());
  ++args().position;
  if (argsUsedUp())
    fail("macro arguments MQUOTE invalid\n");
  const char *overflow = "stack overflow - MQUOTE - abend\n";
  bool pending = false;
  while (!argsUsedUp()) {
    std::uint8_t c = peekArg();
    if (c == '\'') {
      if (pending)
        appendArgByte(c, false, overflow);
      pending = !pending;
    } else if (pending) {
      return true;
    } else {
      appendArgByte(c, false, overflow);
    }
    ++args().position;
  }
  return false;
}

// Moves the items of the call line down to make room for the ConditionSave
// and the new local table: from the top of the stack, the saved kept
// prefix, the macro entry copy, then the ConditionSave, then what the
// caller had pushed, then the new table.
void openCallFrame(Run &run, std::uint32_t items) {
  StorageArea &s = run.storage;
  std::uint32_t oldTop = s.stackTop;
  reserveStack(run, 6);
  s.moveRange(oldTop, oldTop + items, -6);
  openLocalTable(run);
  bodyStart(run, s.stackTop + items);
}

// Undoes a call whose binding failed: the saved kept prefix stays on top.
void dropCall(Run &run, std::uint32_t prefixSize) {
  StorageArea &s = run.storage;
  ConditionState &c = run.cond;
  std::uint32_t save = s.stackTop + prefixSize + 32;
  c.activeDepth = s.read32(save);
  c.current = static_cast<char>(*s.at(save + 4));
  c.active = static_cast<char>(*s.at(save + 5));
  c.inactiveDepth = 0;
  s.moveRange(s.stackTop, s.stackTop + prefixSize, 38);
  s.stackTop += 38;
  releaseLocalTable(run);
  popSource(run);
}

} // namespace

Next symbolAsCommand(Run &run, std::uint32_t entry) {
  if (run.lineMode == 'M' || run.lineMode == 'R') {
    passCommandThrough(run);
    return Next::LineDone;
  }
  if (run.inRecording())
    return skipLine(run);
  SymbolEntry macro = run.storage.entry(entry);
  if (!(macro.flags & SYM_MACRO)) {
    report(run, "found variable as command / macro: %.16s.\n",
           run.scannedName.data());
    stepBack(run);
    return Next::GoOn;
  }
  run.lineLength = run.keptLength;
  if (run.cond.active != '1')
    return skipLine(run);
  // A call overrides a collecting command earlier on the line.
  if (run.collection.pending)
    dropCollection(run);
  reserveStack(run, 32);
  run.storage.setEntry(run.storage.stackTop, macro);
  saveKeptPrefix(run);
  auto prefixSize = static_cast<std::uint32_t>(run.keptLength) + 4;
  trackCollection(run, prefixSize + 32, 0);
  run.lineLength = 0;
  run.lineMode = 'A';
  return Next::GoOn;
}

void macroCallLineEnd(Run &run) {
  stripLineEnd(run);
  StorageArea &s = run.storage;
  auto prefixSize = static_cast<std::uint32_t>(s.read32(s.stackTop)) + 4;
  SymbolEntry macro = s.entry(s.stackTop + prefixSize);
  openCallFrame(run, prefixSize + 32);
  InputSource &src = pushSource(run);
  std::memcpy(src.buffer, run.lineBuffer,
              static_cast<std::size_t>(run.lineLength));
  src.length = run.lineLength;
  auto paramStart = static_cast<std::uint32_t>(macro.value);
  std::uint16_t paramLength;
  std::memcpy(&paramLength, s.at(paramStart), sizeof paramLength);
  try {
    Binder(run, s.at(paramStart + 2), paramLength).bindAll();
  } catch (const BindFailed &) {
    dropCall(run, prefixSize);
    trackCollection(run, prefixSize, 0);
    return;
  }
  s.moveRange(s.stackTop, s.stackTop + prefixSize, 32);
  s.stackTop += 32;
  trackCollection(run, prefixSize, 0);
  src.kind = 'M';
  src.length = src.position = 0;
  src.lineNumber = 0;
  src.bodyStart = paramStart;
  src.bodyEnd = paramStart + static_cast<std::uint32_t>(macro.length);
  src.bodyNext = paramStart + 2 + paramLength;
  src.passesLeft = 0;
}

Next cmdMexit(Run &run) {
  if (run.source().kind != 'M') {
    report(run, "MEXIT not within macro\n");
    return skipLine(run);
  }
  popSource(run);
  leaveBody(run);
  releaseLocalTable(run);
  return Next::Restart;
}

} // namespace veldran
