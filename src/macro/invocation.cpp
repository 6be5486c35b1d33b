// Macro calls: collecting the arguments, binding them to the parameters
// in a new local table, starting the body; and MEXIT.
#include "base/byte_copy.h"
#include "base/collection.h"
#include "base/diagnostics.h"
#include "base/frames.h"
#include "base/messages.h"
#include "base/scanner.h"
#include "base/source_stack.h"
#include "base/symbol_table.h"
#include "expr/conditional_blocks.h"
#include "expr/evaluator.h"
#include "macro/body_exit.h"
#include "macro/macro_commands.h"
#include "macro/parameters.h"

#include <cstdarg>

namespace veldran {

namespace {

struct BindFailed {};

// Binds the steps of the macro's parameter list to the argument text,
// which is the current source's buffer.
class Binder {
public:
  Binder(Run &run, ParameterList &params) : run_(run), params_(params) {}

  void bindAll();

private:
  InputSource &args() { return run_.source(); }
  bool argsUsedUp() { return args().position >= args().length; }
  std::uint8_t peekArg() { return args().buffer[args().position]; }
  void skipArgBlanks() {
    while (!argsUsedUp() && peekArg() == ' ')
      ++args().position;
  }

  [[noreturn]] void fail(const char *format, ...)
      __attribute__((format(printf, 2, 3)));
  [[noreturn]] void failAt(const ParamStep &step);
  std::uint8_t bindOne(ParamStep &step);
  std::uint8_t takeInteger(SymbolEntry &parameter, ExpressionByBytes &kept);
  void takeText(SymbolEntry &parameter);
  bool takeQuoted(SymbolEntry &parameter);
  void appendArgByte(SymbolEntry &parameter, std::uint8_t c, bool twoBytes,
                     const char *overflow);

  Run &run_;
  ParameterList &params_;
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

void Binder::failAt(const ParamStep &step) {
  switch (step.fault) {
  case ParamFault::NumberAsType:
  case ParamFault::NumberAsName:
    fail("macro argument number found - %c.\n", step.byte);
  case ParamFault::InvalidType:
    fail("macro argument type invalid - %.16s.\n", step.name.data());
  case ParamFault::NoColon: {
    char shown[2] = {static_cast<char>(step.byte), 0};
    fail("after macro argument separator invalid / : / %s.\n", shown);
  }
  case ParamFault::TooShort:
    fail("macro arguments too short\n");
  default:
    fail("after macro variable separator invalid / , / ) / %c.\n", step.byte);
  }
}

void Binder::bindAll() {
  for (ParamStep &step : params_.steps)
    if (bindOne(step) != ',')
      return;
}

std::uint8_t Binder::bindOne(ParamStep &step) {
  if (step.fault != ParamFault::None)
    failAt(step);
  SymbolEntry parameter;
  parameter.name = step.name;
  std::uint8_t separator = 0;
  if (step.type == ParamType::MINT)
    separator = takeInteger(parameter, step.argument);
  else if (step.type == ParamType::MTEXT)
    takeText(parameter);
  else if (!takeQuoted(parameter))
    throw BindFailed{};
  storeSymbol(run_, LookupScope::CURRENT, parameter);
  skipArgBlanks();
  if (step.type == ParamType::MINT) {
    // The expression ended at this byte; a blank lets the next non-blank
    // byte decide.
    if (separator == ' ' && !argsUsedUp())
      separator = peekArg();
  } else {
    separator = argsUsedUp() ? ' ' : args().buffer[args().position++];
  }
  if (step.byte == ',') {
    if (argsUsedUp())
      fail("macro arguments too short\n");
    if (separator != ',')
      fail("separator after macro arguments invalid %c.\n", separator);
  } else if (separator != ')') {
    reportX(run_, "invalid end of macro arguments %c\n", separator);
  }
  return step.byte;
}

// Returns the byte that ended the expression. The argument is mostly the
// same text at every call, whose steps are kept with the parameter.
std::uint8_t Binder::takeInteger(SymbolEntry &parameter,
                                 ExpressionByBytes &kept) {
  reserveStack(run_, kMintSavedNameSize);
  run_.currentChar = ' ';
  Evaluation e = evaluateAgain(run_, ',', kept);
  releaseStack(run_, kMintSavedNameSize);
  parameter.value = e.value;
  return e.separator;
}

// Appends one byte of a text argument. An MTEXT byte needs two free bytes
// of storage, an MQUOTE byte one.
void Binder::appendArgByte(SymbolEntry &parameter, std::uint8_t c,
                           bool twoBytes, const char *overflow) {
  StorageArea &s = run_.storage;
  std::uint32_t needed = twoBytes ? 2 : 1;
  if (s.stackTop - s.textTop < needed) {
    reportXText(run_, overflow);
    abortRun(run_, ExitCode::Stopped);
  }
  *s.at(s.textTop++) = c;
  ++parameter.length;
}

void Binder::takeText(SymbolEntry &parameter) {
  parameter.value = run_.storage.textTop;
  parameter.flags = SYM_TEXT;
  skipArgBlanks();
  while (!argsUsedUp() && peekArg() != ' ' && peekArg() != ',' &&
         peekArg() != ')') {
    appendArgByte(parameter, peekArg(), true,
                  "stack overflow - MTEXT - abend\n");
    ++args().position;
  }
  if (argsUsedUp())
    fail("macro arguments MTEXT invalid\n");
}

// A quoted argument; two apostrophes in a row stand for one. Returns false
// when the text ends before the closing apostrophe is followed by anything.
bool Binder::takeQuoted(SymbolEntry &parameter) {
  parameter.value = run_.storage.textTop;
  parameter.flags = SYM_TEXT;
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
        appendArgByte(parameter, c, false, overflow);
      pending = !pending;
    } else if (pending) {
      return true;
    } else {
      appendArgByte(parameter, c, false, overflow);
    }
    ++args().position;
  }
  return false;
}

// The call's items while its arguments are bound, from the top of the
// stack: the saved kept prefix, the macro entry copy, the ConditionSave,
// what the caller had pushed, then the new local table. Opening it moves
// the first two down to make room for the other two.
void openCallFrame(Run &run, std::uint32_t items) {
  StorageArea &s = run.storage;
  std::uint32_t oldTop = s.stackTop;
  reserveStack(run, ConditionSave::kSize);
  s.moveRange(oldTop, oldTop + items, -std::int64_t{ConditionSave::kSize});
  openLocalTable(run);
  bodyStart(run, s.stackTop + items);
}

// Undoes a call whose binding failed: the saved kept prefix stays on top.
void dropCall(Run &run, std::uint32_t prefixSize) {
  StorageArea &s = run.storage;
  std::uint32_t save = s.stackTop + prefixSize + kEntrySize;
  restoreConditions(run, ConditionSave::read(s, save));
  constexpr std::uint32_t kDropped = kEntrySize + ConditionSave::kSize;
  s.moveRange(s.stackTop, s.stackTop + prefixSize, kDropped);
  s.stackTop += kDropped;
  releaseLocalTable(run);
  popSource(run);
}

void traceCall(Run &run, const Name &name) {
  std::string macroName(name.data(),
                        static_cast<std::size_t>(nameLength(name)));
  if (traces(run, macroName.c_str()))
    trace(run, "%s%s%.*s", macroName.c_str(), run.lineLength ? "(" : "",
          run.lineLength, reinterpret_cast<const char *>(run.lineBuffer));
}

} // namespace

Next symbolAsCommand(Run &run, std::uint32_t entry) {
  if (isRecording(run.lineMode)) {
    passCommandThrough(run);
    return Next::LineDone;
  }
  if (isRecordingOrSkipping(run.lineMode))
    return skipLine(run);
  SymbolEntry macro = run.storage.entry(entry);
  if (!(macro.flags & SYM_MACRO)) {
    report(run, "found variable as command / macro: %.16s.\n",
           run.scannedName.data());
    stepBack(run);
    return Next::GoOn;
  }
  run.lineLength = run.keptLength;
  if (!run.cond.active)
    return skipLine(run);
  beginCallCollection(run, macro);
  run.lineLength = 0;
  return Next::GoOn;
}

void macroCallLineEnd(Run &run) {
  stripLineEnd(run);
  StorageArea &s = run.storage;
  std::uint32_t prefixSize = savedPrefixSizeAt(s, s.stackTop);
  SymbolEntry macro = s.entry(s.stackTop + prefixSize);
  openCallFrame(run, prefixSize + kEntrySize);
  if (run.options.trace)
    traceCall(run, macro.name);
  // The argument text becomes the text being read, so that the evaluator
  // reads MINT arguments from it. Until the body starts, the source is
  // like the command string: no file, no body.
  InputSource &src = pushSource(run);
  src.macroName = macro.name;
  copyBytes(src.buffer, run.lineBuffer,
            static_cast<std::size_t>(run.lineLength));
  src.length = run.lineLength;
  StoredLine params =
      StoredLine::read(s, static_cast<std::uint32_t>(macro.value));
  try {
    Binder(run, parameterList(run, params.text, params.length)).bindAll();
  } catch (const BindFailed &) {
    dropCall(run, prefixSize);
    collectPrefixOnly(run);
    return;
  }
  // The entry copy goes; the saved prefix stays for the line's end.
  s.moveRange(s.stackTop, s.stackTop + prefixSize, kEntrySize);
  s.stackTop += kEntrySize;
  collectPrefixOnly(run);
  src.kind = SourceKind::MacroBody;
  src.length = src.position = 0;
  src.bodyStart = params.text - StoredLine::kHeaderSize;
  src.bodyEnd = src.bodyStart + static_cast<std::uint32_t>(macro.length);
  src.bodyNext = params.next;
}

Next cmdMexit(Run &run) {
  if (run.source().kind != SourceKind::MacroBody) {
    report(run, "MEXIT not within macro\n");
    return skipLine(run);
  }
  popSource(run);
  leaveBody(run);
  releaseLocalTable(run);
  return Next::Restart;
}

} // namespace veldran
