#include "expr/evaluator.h"

#include "base/diagnostics.h"
#include "base/fetch.h"
#include "base/messages.h"
#include "base/scanner.h"
#include "base/symbol_table.h"
#include "base/system_variables.h"

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

class Evaluator {
public:
  Evaluator(Run &run, char terminator) : run_(run), terminator_(terminator) {}

  std::int64_t evaluate();

private:
  // Ends an expression whose error has been reported: it yields 0.
  [[noreturn]] static void stop() { throw Stop{}; }
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
  bool expectOperand_ = true;
  int openCount_ = 0;
  std::int64_t value_ = 0;
  std::size_t top_ = 0;
  WorkEntry work_[kMaxEntries];
};

std::int64_t Evaluator::evaluate() {
  std::uint32_t before = run_.storage.stackTop;
  reserveStack(run_, kMarkerSize);
  work_[0] = {};
  try {
    return steps();
  } catch (const Stop &) {
    run_.storage.stackTop = before;
    return 0;
  }
}

// The first operand, then an operator step per byte behind an operand.
std::int64_t Evaluator::steps() {
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
      if (below.opens == 0)
        report(run_, "Klammer zu ohne Klammer auf\n");
      else
        --below.opens;
      value_ = work_[top_].value;
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
inline void Evaluator::operand() {
  value_ = 0;
  if (run_.currentChar == '\'') {
    lengthFunction();
  } else if (run_.scannedName[0] != ' ') {
    value_ = fetchNumeric(run_, run_.scannedName);
  } else if (run_.currentChar >= '0' && run_.currentChar <= '9') {
    value_ = readNumber(run_);
  } else {
    return;
  }
  afterOperand();
}

inline void Evaluator::afterOperand() {
  expectOperand_ = false;
  if (scanName(run_) || (run_.currentChar >= '0' && run_.currentChar <= '9')) {
    report(run_, "in Ausdruck kein Operator gefunden\n");
    stop();
  }
}

void Evaluator::push(char op, char priority) {
  reserveStack(run_, kEvalEntrySize);
  work_[++top_] = {0, op, priority, value_};
}

void Evaluator::pop() {
  releaseStack(run_, kEvalEntrySize);
  --top_;
}

// Pushes the operator, then combines while the entry below binds at least
// as tightly and no parenthesis was opened behind it. The base marker's
// priority is below every operator's.
void Evaluator::pushReduce(char op, char priority) {
  push(op, priority);
  for (;;) {
    WorkEntry &top = work_[top_];
    WorkEntry &below = work_[top_ - 1];
    if (below.opens != 0 || top.priority > below.priority)
      return;
    below.value = combine(below.value, below.op, top.value);
    below.op = top.op;
    below.priority = top.priority;
    pop();
  }
}

std::int64_t Evaluator::combine(std::int64_t left, char op,
                                std::int64_t right) {
  // Two's-complement wrap-around without undefined behaviour.
  auto l = static_cast<std::uint64_t>(left);
  auto r = static_cast<std::uint64_t>(right);
  switch (op) {
  case '+':
    return static_cast<std::int64_t>(l + r);
  case '-':
    return static_cast<std::int64_t>(l - r);
  case '*':
    return static_cast<std::int64_t>(l * r);
  case '/':
    if (right == 0) {
      report(run_, "Division durch 0 in Ausdruck\n");
      stop();
    }
    if (right == -1)
      return static_cast<std::int64_t>(0 - l);
    return left / right;
  case '&':
    return left & right;
  case '^':
    return left ^ right;
  default:
    return left | right;
  }
}

void Evaluator::lengthFunction() {
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

std::int64_t Evaluator::finish() {
  if (expectOperand_) {
    report(run_, "in Ausdruck kein Operator gefunden\n");
    stop();
  }
  run_.currentChar = ';';
  if (top_ == 0) {
    // A single operand: the end entry finds nothing to combine.
    reserveStack(run_, kEvalEntrySize);
    releaseStack(run_, kEvalEntrySize + kMarkerSize);
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
  return result;
}

} // namespace

Evaluation evaluate(Run &run, char terminator) {
  Evaluator e(run, terminator);
  std::int64_t value = e.evaluate();
  return {value, run.lastSeparator};
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
