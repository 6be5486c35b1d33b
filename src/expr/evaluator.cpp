#include "expr/evaluator.h"

#include "base/diagnostics.h"
#include "base/fetch.h"
#include "base/messages.h"
#include "base/scanner.h"
#include "base/symbol_table.h"
#include "base/system_variables.h"

#include <algorithm>

namespace veldran {

namespace {

enum class OpKind : std::uint8_t { None, Binary, Open, Close, End };

struct Operator {
  char character;
  char priority;
  OpKind kind;
};

// The bitwise operators bind more tightly than '*' and '/', and '|' more
// tightly than '&'.
constexpr Operator kOperators[] = {
    {'+', '2', OpKind::Binary}, {'-', '2', OpKind::Binary},
    {'*', '3', OpKind::Binary}, {'/', '3', OpKind::Binary},
    {'&', '4', OpKind::Binary}, {'^', '5', OpKind::Binary},
    {'|', '6', OpKind::Binary}, {'(', '8', OpKind::Open},
    {')', '1', OpKind::Close},  {',', '0', OpKind::End},
    {';', '0', OpKind::End},
};

// The operator of each byte; kind None for every other byte.
constexpr std::array<Operator, 256> kOperatorOfByte = [] {
  std::array<Operator, 256> table{};
  for (const Operator &op : kOperators)
    table[static_cast<std::uint8_t>(op.character)] = op;
  return table;
}();

// The work stack counts in the storage area as a 4-byte base marker and a
// 16-byte entry per pending operator, reserved and released step by step
// so that storage runs out where it always did; the entries themselves are
// kept here. Each entry holds an operator byte and is pushed at one, and
// the source window holds at most kLineMax bytes; the end adds one more.
constexpr std::uint32_t kEvalEntrySize = 16;
constexpr std::uint32_t kMarkerSize = 4;
constexpr std::size_t kMaxEntries = kLineMax + 2;

// The base marker (index 0) and pending operators: parentheses opened
// behind the entry, its operator and priority, its left operand.
struct WorkEntry {
  std::uint8_t opens;
  char op;
  char priority;
  std::int64_t value;
};

struct Stop {}; // an error was reported: the expression yields 0

// `left op right` for every operator but '/', in two's-complement
// wrap-around without undefined behaviour.
std::int64_t arithmetic(std::int64_t left, char op, std::int64_t right) {
  auto l = static_cast<std::uint64_t>(left);
  auto r = static_cast<std::uint64_t>(right);
  switch (op) {
  case '+':
    return static_cast<std::int64_t>(l + r);
  case '-':
    return static_cast<std::int64_t>(l - r);
  case '*':
    return static_cast<std::int64_t>(l * r);
  case '&':
    return left & right;
  case '^':
    return left ^ right;
  default:
    return left | right;
  }
}

// Evaluates the bytes at the read position. Recording, it notes in a list
// the steps that depend on values or reserve storage, unless the
// expression gets a message of its own or divides (whose message would
// come in the middle of it). Evaluations that do not record are compiled
// without the notes.
template <bool Recording> class Evaluator {
public:
  Evaluator(Run &run, char terminator,
            std::vector<ExpressionStep> *record = nullptr)
      : run_(run), terminator_(terminator), record_(record) {}

  std::int64_t evaluate();
  bool recorded() const { return record_ != nullptr; }

private:
  // Ends an expression whose error has been reported: it yields 0.
  [[noreturn]] static void stop() { throw Stop{}; }
  void note(ExpressionStep::Kind kind, std::int64_t value = 0, char op = 0) {
    if constexpr (Recording)
      if (record_)
        record_->push_back({kind, op, false, 0, value, {}});
  }
  void noteFetch(const Name &name);
  void stopRecording() { record_ = nullptr; }
  std::int64_t steps();
  // Inlined into the step loop, which calls them at three places: as calls
  // they saved and restored most registers for every operand.
  [[gnu::always_inline]] void operand();
  [[gnu::always_inline]] void afterOperand();
  void push(char op, char priority);
  void pop();
  void pushReduce(char op, char priority);
  std::int64_t combine(std::int64_t left, char op, std::int64_t right);
  void lengthFunction();
  std::int64_t finish();

  Run &run_;
  char terminator_;
  std::vector<ExpressionStep> *record_;
  bool expectOperand_ = true;
  int openCount_ = 0;
  std::int64_t value_ = 0;
  std::size_t top_ = 0;
  WorkEntry work_[kMaxEntries];
};

template <bool Recording> std::int64_t Evaluator<Recording>::evaluate() {
  std::uint32_t before = run_.storage.stackTop;
  reserveStack(run_, kMarkerSize);
  work_[0] = {};
  try {
    return steps();
  } catch (const Stop &) {
    run_.storage.stackTop = before;
    stopRecording();
    return 0;
  }
}

// The first operand, then an operator step per byte behind an operand.
template <bool Recording> std::int64_t Evaluator<Recording>::steps() {
  readName(run_);
  operand();
  for (;;) {
    std::uint8_t c = run_.currentChar;
    run_.lastSeparator = c;
    if (c == ' ') {
      if (terminator_ == ';') {
        report(run_, "Space in Ausdruck - Ausdruck nicht zuende\n");
        stop();
      }
      return finish();
    }
    const Operator &op = kOperatorOfByte[c];
    switch (op.kind) {
    case OpKind::None:
      report(run_, "falsches Zeichen in Ausdruck / %c\n", c);
      if (c == CR || c == LF || c == 0)
        warn(run_, "the expression has no ';' before the end of the line: "
                   "it counts as 0");
      stop();
    case OpKind::Open:
      if (!expectOperand_) {
        report(run_, "in Ausdruck kein Operator gefunden\n");
        stop();
      }
      ++work_[top_].opens;
      ++openCount_;
      nextChar(run_);
      scanName(run_);
      operand();
      break;
    case OpKind::Close: {
      if (expectOperand_) {
        report(run_, "in Ausdruck kein Operator gefunden\n");
        stop();
      }
      if (terminator_ == ',' && openCount_ == 0)
        return finish();
      --openCount_;
      pushReduce(op.character, op.priority);
      WorkEntry &below = work_[top_ - 1];
      if (below.opens == 0) {
        report(run_, "Klammer zu ohne Klammer auf\n");
        stopRecording();
      } else {
        --below.opens;
      }
      value_ = work_[top_].value;
      note(ExpressionStep::TakeTop);
      pop();
      nextChar(run_);
      afterOperand();
      break;
    }
    case OpKind::End:
      return finish();
    case OpKind::Binary:
      if (expectOperand_ && c != '-') {
        report(run_, "in Ausdruck kein Symbol bzw. Zahl gefunden\n");
        stop();
      }
      pushReduce(op.character, op.priority);
      expectOperand_ = true;
      nextChar(run_);
      scanName(run_);
      operand();
      break;
    }
  }
}

// The operand step: a length function, a variable, a number, or nothing
// (an operator follows directly).
template <bool Recording> inline void Evaluator<Recording>::operand() {
  value_ = 0;
  if (run_.currentChar == '\'') {
    stopRecording();
    lengthFunction();
  } else if (run_.scannedName[0] != ' ') {
    noteFetch(run_.scannedName);
    value_ = fetchNumeric(run_, run_.scannedName);
  } else if (run_.currentChar >= '0' && run_.currentChar <= '9') {
    value_ = readNumber(run_);
    note(ExpressionStep::Number, value_);
  } else {
    note(ExpressionStep::Number, 0);
    return;
  }
  afterOperand();
}

// A name of 16 characters may have been cut, which --warn reports at each
// scan: such an expression is not kept.
template <bool Recording>
void Evaluator<Recording>::noteFetch(const Name &name) {
  if constexpr (Recording) {
    if (name[kNameLength - 1] != ' ')
      stopRecording();
    if (record_)
      record_->push_back(
          {ExpressionStep::Fetch, 0, false, storedNameBit(name), 0, name});
  }
}

template <bool Recording> inline void Evaluator<Recording>::afterOperand() {
  expectOperand_ = false;
  if (scanName(run_) || (run_.currentChar >= '0' && run_.currentChar <= '9')) {
    report(run_, "in Ausdruck kein Operator gefunden\n");
    stop();
  }
}

template <bool Recording>
void Evaluator<Recording>::push(char op, char priority) {
  reserveStack(run_, kEvalEntrySize);
  note(ExpressionStep::Push);
  work_[++top_] = {0, op, priority, value_};
}

template <bool Recording> void Evaluator<Recording>::pop() {
  releaseStack(run_, kEvalEntrySize);
  --top_;
}

// Pushes the operator, then combines while the entry below binds at least
// as tightly and no parenthesis was opened behind it. The base marker's
// priority is below every operator's.
template <bool Recording>
void Evaluator<Recording>::pushReduce(char op, char priority) {
  push(op, priority);
  for (;;) {
    WorkEntry &top = work_[top_];
    WorkEntry &below = work_[top_ - 1];
    if (below.opens != 0 || top.priority > below.priority)
      return;
    below.value = combine(below.value, below.op, top.value);
    note(ExpressionStep::Combine, 0, below.op);
    below.op = top.op;
    below.priority = top.priority;
    pop();
  }
}

template <bool Recording>
std::int64_t Evaluator<Recording>::combine(std::int64_t left, char op,
                                           std::int64_t right) {
  if (op != '/')
    return arithmetic(left, op, right);
  stopRecording();
  if (right == 0) {
    report(run_, "Division durch 0 in Ausdruck\n");
    stop();
  }
  if (right == -1)
    return static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(left));
  return left / right;
}

template <bool Recording> void Evaluator<Recording>::lengthFunction() {
  if (run_.scannedName != makeName("L")) {
    report(run_, "invalid command with quote / %.16s\n",
           run_.scannedName.data());
    stop();
  }
  nextChar(run_);
  if (!scanName(run_)) {
    report(run_, "invalid character in function length / %c\n",
           run_.currentChar);
    stop();
  }
  Lookup hit = lookupSymbol(run_, LookupScope::ALL, run_.scannedName);
  if (!hit.found) {
    report(run_, "variable (function length) not defined / %.16s\n",
           run_.scannedName.data());
    stop();
  }
  SymbolEntry e = run_.storage.entry(hit.entry);
  if (e.flags & SYM_SYSTEM)
    systemValue(run_, e);
  if (e.flags & SYM_TEXT) {
    value_ = e.length;
  } else {
    std::int64_t v = e.value;
    value_ = 0;
    do {
      ++value_;
      v /= 10;
    } while (v != 0);
  }
}

template <bool Recording> std::int64_t Evaluator<Recording>::finish() {
  if (expectOperand_) {
    report(run_, "in Ausdruck kein Operator gefunden\n");
    stop();
  }
  run_.currentChar = ';';
  if (top_ == 0) {
    // A single operand: the end entry finds nothing to combine.
    reserveStack(run_, kEvalEntrySize);
    releaseStack(run_, kEvalEntrySize + kMarkerSize);
    note(ExpressionStep::EndSingle);
    return value_;
  }
  pushReduce(0, '0');
  std::int64_t result = work_[top_].value;
  pop();
  if (work_[top_].op != 0) {
    report(run_, "Klammer zu fehlt\n");
    stop();
  }
  releaseStack(run_, kMarkerSize);
  note(ExpressionStep::EndTop);
  return result;
}

// The most stack the steps hold at once: the marker, the entries pushed,
// the end entry.
std::uint32_t peakReservation(const std::vector<ExpressionStep> &steps) {
  std::uint32_t held = kMarkerSize;
  std::uint32_t peak = held;
  for (const ExpressionStep &step : steps) {
    if (step.kind == ExpressionStep::Push ||
        step.kind == ExpressionStep::EndSingle)
      peak = std::max(peak, held += kEvalEntrySize);
    else if (step.kind == ExpressionStep::Combine ||
             step.kind == ExpressionStep::TakeTop)
      held -= kEvalEntrySize;
  }
  return peak;
}

bool isOperand(const ExpressionStep &step) {
  return step.kind == ExpressionStep::Fetch ||
         step.kind == ExpressionStep::Number;
}

// Whether the steps from `i` push an operand and combine it with the next:
// Push, the operand, Push, Combine.
bool appliesOperand(const std::vector<ExpressionStep> &steps, std::size_t i) {
  return i + 3 < steps.size() && steps[i].kind == ExpressionStep::Push &&
         isOperand(steps[i + 1]) && steps[i + 2].kind == ExpressionStep::Push &&
         steps[i + 3].kind == ExpressionStep::Combine;
}

// The steps for a replay that reserves nothing, where an operand pushed and
// at once combined with the next is one step, and so is the end behind it.
std::vector<ExpressionStep>
foldSteps(const std::vector<ExpressionStep> &steps) {
  std::vector<ExpressionStep> folded;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (!appliesOperand(steps, i)) {
      folded.push_back(steps[i]);
      continue;
    }
    ExpressionStep apply = steps[i + 1];
    apply.kind = apply.kind == ExpressionStep::Fetch
                     ? ExpressionStep::ApplyFetch
                     : ExpressionStep::ApplyNumber;
    apply.op = steps[i + 3].op;
    i += 3;
    apply.ends =
        i + 1 < steps.size() && steps[i + 1].kind == ExpressionStep::EndTop;
    if (apply.ends)
      ++i;
    folded.push_back(apply);
  }
  return folded;
}

// fetchNumeric for a Fetch step whose variable was not found where its
// tables stand now: the lookup, which remembers a plain number's entry.
[[gnu::noinline]] std::int64_t fetchAndKeep(Run &run, ExpressionStep &step) {
  const StorageArea &s = run.storage;
  Lookup hit = lookupSymbol(run, LookupScope::ALL, step.name, step.nameBit);
  if (hit.found) {
    SymbolEntry e = s.entry(hit.entry);
    if (!(e.flags & (SYM_TEXT | SYM_SYSTEM))) {
      step.hitSearched = searchedScope(s, LookupScope::ALL);
      step.hitShape = searchedShape(s, step.hitSearched);
      step.hitEntry = hit.entry;
      return e.value;
    }
  }
  return fetchNumericEntry(run, step.name, hit);
}

// fetchNumeric for a Fetch step. A plain number found before is read where
// it was found while its tables keep their shape: entries move only when
// the shape changes, and an entry in place never turns into a text or a
// system variable.
inline std::int64_t fetchKept(Run &run, ExpressionStep &step) {
  const StorageArea &s = run.storage;
  LookupScope searched = searchedScope(s, LookupScope::ALL);
  if (step.hitShape == searchedShape(s, searched) &&
      step.hitSearched == searched)
    return s.entry(step.hitEntry).value;
  return fetchAndKeep(run, step);
}

// The value of the kept steps. Reserving, each step reserves and releases
// what the evaluator did, so that storage runs out at the same step; when
// the peak fits, the steps leave stackTop where it was and need not.
template <bool Reserving>
std::int64_t replaySteps(Run &run, std::vector<ExpressionStep> &steps) {
  std::int64_t stack[kMaxEntries];
  std::size_t top = 0;
  std::int64_t value = 0;
  if constexpr (Reserving)
    reserveStack(run, kMarkerSize);
  for (ExpressionStep &step : steps) {
    switch (step.kind) {
    case ExpressionStep::Fetch:
      value = fetchKept(run, step);
      break;
    case ExpressionStep::Number:
      value = step.value;
      break;
    case ExpressionStep::Push:
      if constexpr (Reserving)
        reserveStack(run, kEvalEntrySize);
      stack[++top] = value;
      break;
    case ExpressionStep::Combine:
      stack[top - 1] = arithmetic(stack[top - 1], step.op, stack[top]);
      --top;
      if constexpr (Reserving)
        releaseStack(run, kEvalEntrySize);
      break;
    case ExpressionStep::TakeTop:
      value = stack[top--];
      if constexpr (Reserving)
        releaseStack(run, kEvalEntrySize);
      break;
    case ExpressionStep::EndSingle:
      if constexpr (Reserving) {
        reserveStack(run, kEvalEntrySize);
        releaseStack(run, kEvalEntrySize + kMarkerSize);
      }
      break;
    case ExpressionStep::EndTop:
      value = stack[top--];
      if constexpr (Reserving)
        releaseStack(run, kEvalEntrySize + kMarkerSize);
      break;
    case ExpressionStep::ApplyFetch:
    case ExpressionStep::ApplyNumber: {
      std::int64_t operand = step.kind == ExpressionStep::ApplyFetch
                                 ? fetchKept(run, step)
                                 : step.value;
      std::int64_t result = arithmetic(value, step.op, operand);
      if (step.ends)
        value = result;
      else
        stack[++top] = result;
      break;
    }
    }
  }
  return value;
}

// Whether the folded steps are one operand, or one operand applied to a
// second that ends the expression.
bool isShort(const std::vector<ExpressionStep> &folded) {
  if (folded.size() != 2 || !isOperand(folded[0]))
    return false;
  const ExpressionStep &last = folded[1];
  return last.kind == ExpressionStep::EndSingle ||
         ((last.kind == ExpressionStep::ApplyFetch ||
           last.kind == ExpressionStep::ApplyNumber) &&
          last.ends);
}

std::int64_t operandOf(Run &run, ExpressionStep &step) {
  if (step.kind == ExpressionStep::Fetch ||
      step.kind == ExpressionStep::ApplyFetch)
    return fetchKept(run, step);
  return step.value;
}

// replaySteps<false> for short folded steps, without a work stack.
std::int64_t replayShort(Run &run, std::vector<ExpressionStep> &folded) {
  std::int64_t value = operandOf(run, folded[0]);
  ExpressionStep &last = folded[1];
  if (last.kind == ExpressionStep::EndSingle)
    return value;
  return arithmetic(value, last.op, operandOf(run, last));
}

// Takes the steps kept for an expression: the same values read, the same
// storage reserved and released in the same order, and the read position
// and state left as the bytes left them.
Evaluation replay(Run &run, RecordedExpression &kept) {
  std::int64_t value = run.storage.freeBytes() < kept.peak
                           ? replaySteps<true>(run, kept.steps)
                       : kept.isShort ? replayShort(run, kept.folded)
                                      : replaySteps<false>(run, kept.folded);
  // A finished expression leaves no name scanned and ';' as currentChar.
  run.source().position += kept.advance;
  run.currentChar = ';';
  run.lastSeparator = kept.separator;
  run.scannedName.fill(' ');
  return {value, kept.separator};
}

// Evaluates the expression and keeps its steps in `kept` when it finished
// without a message of its own.
Evaluation evaluateAndRecord(Run &run, char terminator,
                             RecordedExpression &kept, std::uint32_t at) {
  std::uint8_t taken = run.currentChar;
  int from = run.source().position;
  kept.at = kNoEntry;
  kept.steps.clear();
  Evaluator<true> e(run, terminator, &kept.steps);
  std::int64_t value = e.evaluate();
  if (e.recorded()) {
    kept.at = at;
    kept.taken = taken;
    kept.terminator = terminator;
    kept.separator = run.lastSeparator;
    kept.advance = static_cast<std::uint16_t>(run.source().position - from);
    kept.peak = peakReservation(kept.steps);
    kept.folded = foldSteps(kept.steps);
    kept.isShort = isShort(kept.folded);
  }
  return {value, run.lastSeparator};
}

// The evaluator holds at most an entry per operator and the end's; where
// storage is too short for them, it is left to report that.
bool roomForEvaluator(const Run &run, std::uint32_t operators) {
  return run.storage.freeBytes() >=
         kMarkerSize + kEvalEntrySize * (operators + 1);
}

// Leaves the rest of the state as the evaluator leaves it, once the read
// position stands behind the expression's separator.
void endFlat(Run &run, Evaluation value, Evaluation &result) {
  run.currentChar = ';';
  run.lastSeparator = value.separator;
  run.scannedName.fill(' ');
  result = value;
}

// A lone decimal number ended by ';' or ',' (a column, a width): the
// FlatExpression's work without its set-up.
bool loneNumber(Run &run, Evaluation &result) {
  LiteralReader r(run);
  std::int64_t number = 0;
  if (!r.number(number))
    return false;
  std::uint8_t separator = r.current();
  if ((separator != ';' && separator != ',') || !roomForEvaluator(run, 0))
    return false;
  r.take(run);
  endFlat(run, {number, separator}, result);
  return true;
}

// The common expression read and computed in one pass over its bytes:
// names of plain numeric variables and decimal numbers joined by binary
// operators other than '/', ended by ';' or ','. Lookups and arithmetic
// change nothing a user sees, so any other expression, a name that a fetch
// would report or read as a system value, and storage too short for the
// evaluator's work stack are left to the evaluator, with nothing read or
// reserved. Returns false then. Otherwise the state is what the evaluator
// leaves, its reservations all released.
class FlatExpression {
public:
  explicit FlatExpression(Run &run)
      : run_(run), next_(run.source().buffer + run.source().position),
        end_(run.source().buffer + run.source().length) {}

  bool evaluate(Evaluation &result) {
    std::uint8_t c = run_.currentChar;
    std::int64_t value;
    for (;;) {
      if (!operand(c, value))
        return false;
      const Operator &op = kOperatorOfByte[c];
      if (op.kind == OpKind::End)
        break;
      if (op.kind != OpKind::Binary || c == '/' || !nextByte(c))
        return false;
      reduce(value, op.priority);
      pending_[top_++] = {op.character, op.priority, value};
      ++operators_;
    }
    if (!roomForEvaluator(run_, operators_))
      return false;
    reduce(value, 0);
    InputSource &src = run_.source();
    src.position = static_cast<int>(next_ - src.buffer);
    endFlat(run_, {value, c}, result);
    return true;
  }

private:
  bool nextByte(std::uint8_t &c) {
    if (next_ >= end_)
      return false;
    c = *next_++;
    return true;
  }

  // Reads the operand that begins with `c` into `value`, leaving `c` on
  // the byte behind it.
  bool operand(std::uint8_t &c, std::int64_t &value) {
    if (c >= '0' && c <= '9') {
      std::uint64_t number = 0;
      do {
        number = number * 10 + (c - '0');
        if (!nextByte(c))
          return false;
      } while (c >= '0' && c <= '9');
      value = static_cast<std::int64_t>(number);
      return true;
    }
    Name name;
    name.fill(' ');
    std::size_t count = 0;
    for (std::uint8_t up; (up = NameCharTable[c]) != 0;) {
      // A longer name is cut, which --warn reports.
      if (count == kNameLength)
        return false;
      name[count++] = static_cast<char>(up);
      if (!nextByte(c))
        return false;
    }
    if (count == 0)
      return false;
    Lookup hit = lookupSymbol(run_, LookupScope::ALL, name);
    if (!hit.found)
      return false;
    SymbolEntry e = run_.storage.entry(hit.entry);
    value = e.value;
    return !(e.flags & (SYM_TEXT | SYM_SYSTEM));
  }

  // Combines the pending operands that bind at least as tightly as an
  // operator of `priority` with `value`, left to right.
  void reduce(std::int64_t &value, char priority) {
    while (top_ > 0 && pending_[top_ - 1].priority >= priority) {
      const Pending &left = pending_[--top_];
      value = arithmetic(left.value, left.op, value);
    }
  }

  Run &run_;
  const std::uint8_t *next_;
  const std::uint8_t *end_;
  std::size_t top_ = 0;
  std::uint32_t operators_ = 0;
  // An operator and its left operand, waiting for what binds more tightly.
  struct Pending {
    char op;
    char priority;
    std::int64_t value;
  };
  // Each pending operator binds more tightly than the one below it, so
  // there are at most as many as there are priorities.
  Pending pending_[5];
};

// Out of line, so that the other paths do not set up the evaluator's frame.
[[gnu::noinline]] Evaluation evaluateFully(Run &run, char terminator) {
  Evaluator<false> e(run, terminator);
  std::int64_t value = e.evaluate();
  return {value, run.lastSeparator};
}

[[gnu::noinline]] Evaluation evaluateBytes(Run &run, char terminator) {
  Evaluation flat;
  if (FlatExpression(run).evaluate(flat))
    return flat;
  return evaluateFully(run, terminator);
}

} // namespace

Evaluation evaluate(Run &run, char terminator) {
  std::uint32_t at = storedReadPlace(run.source());
  if (at == kNotStored) {
    Evaluation lone;
    if (loneNumber(run, lone))
      return lone;
    return evaluateBytes(run, terminator);
  }
  RecordedExpression &kept = run.expressionCache.slot(at);
  if (kept.at == at && kept.taken == run.currentChar &&
      kept.terminator == terminator)
    return replay(run, kept);
  return evaluateAndRecord(run, terminator, kept, at);
}

namespace {

// Evaluates the bytes at the read position and keeps the steps with them.
[[gnu::noinline]] Evaluation evaluateAndKeepBytes(Run &run, char terminator,
                                                  ExpressionByBytes &kept) {
  const InputSource &src = run.source();
  const std::uint8_t *from = src.buffer + src.position;
  RecordedExpression &e = kept.expression;
  Evaluation result = evaluateAndRecord(run, terminator, e, 0);
  if (e.at != kNoEntry)
    kept.bytes.assign(from, from + e.advance);
  return result;
}

// Whether the kept bytes stand at `from`; they are a few, compared one by
// one without a call.
bool sameBytes(const std::vector<std::uint8_t> &bytes,
               const std::uint8_t *from) {
  for (std::uint8_t b : bytes)
    if (b != *from++)
      return false;
  return true;
}

} // namespace

Evaluation evaluateAgain(Run &run, char terminator, ExpressionByBytes &kept) {
  const InputSource &src = run.source();
  RecordedExpression &e = kept.expression;
  if (e.at != kNoEntry && e.taken == run.currentChar &&
      e.terminator == terminator && src.length - src.position >= e.advance &&
      sameBytes(kept.bytes, src.buffer + src.position))
    return replay(run, e);
  return evaluateAndKeepBytes(run, terminator, kept);
}

std::int64_t readNumber(Run &run) {
  std::uint64_t v = 0;
  while (run.currentChar >= '0' && run.currentChar <= '9') {
    v = v * 10 + (run.currentChar - '0');
    nextChar(run);
  }
  return static_cast<std::int64_t>(v);
}

} // namespace veldran
