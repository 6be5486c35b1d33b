#include "expr/evaluator.h"

#include "base/diagnostics.h"
#include "base/fetch.h"
#include "base/messages.h"
#include "base/scanner.h"
#include "base/symbol_table.h"
#include "base/system_variables.h"

namespace veldran {

namespace {

enum class OpKind { Binary, Open, Close, End };

struct Operator {
  char character;
  char priority;
  OpKind kind;
};

// Searched from the first row on. The bitwise operators bind more tightly
// than '*' and '/', and '|' more tightly than '&'.
constexpr Operator kOperatorTable[] = {
    {'+', '2', OpKind::Binary}, {'-', '2', OpKind::Binary},
    {'*', '3', OpKind::Binary}, {'/', '3', OpKind::Binary},
    {'&', '4', OpKind::Binary}, {'^', '5', OpKind::Binary},
    {'|', '6', OpKind::Binary}, {'(', '8', OpKind::Open},
    {')', '1', OpKind::Close},  {',', '0', OpKind::End},
    {';', '0', OpKind::End},
};

const Operator *findOperator(std::uint8_t c) {
  for (const Operator &op : kOperatorTable)
    if (static_cast<std::uint8_t>(op.character) == c)
      return &op;
  return nullptr;
}

// Layout of a work-stack entry: open-parenthesis count, operator, priority,
// and at offset 8 the left operand. The base marker is the first 4 bytes.
constexpr std::uint32_t kEvalEntrySize = 16;
constexpr std::uint32_t kMarkerSize = 4;

struct Stop {}; // an error was reported: the expression yields 0

class Evaluator {
public:
  Evaluator(Run &run, char terminator) : run_(run), terminator_(terminator) {}

  std::int64_t evaluate();

private:
  std::uint8_t *entry(std::uint32_t at) { return run_.storage.at(at); }
  std::int64_t valueAt(std::uint32_t at) {
    std::int64_t v;
    std::memcpy(&v, entry(at) + 8, sizeof v);
    return v;
  }
  void setValueAt(std::uint32_t at, std::int64_t v) {
    std::memcpy(entry(at) + 8, &v, sizeof v);
  }
  std::uint32_t top() const { return run_.storage.stackTop; }

  // Ends an expression whose error has been reported: it yields 0.
  [[noreturn]] static void stop() { throw Stop{}; }
  void operand();
  void afterOperand();
  void pushReduce(char op, char priority);
  std::int64_t combine(std::int64_t left, char op, std::int64_t right);
  void lengthFunction();
  std::int64_t finish();

  Run &run_;
  char terminator_;
  std::uint32_t base_ = 0;
  bool expectOperand_ = true;
  int openCount_ = 0;
  std::int64_t value_ = 0;
};

std::int64_t Evaluator::evaluate() {
  reserveStack(run_, kMarkerSize);
  base_ = top();
  std::memset(entry(base_), 0, kMarkerSize);
  try {
    readName(run_);
    operand();
    for (;;) {
      run_.lastSeparator = run_.currentChar;
      std::uint8_t c = run_.currentChar;
      if (c == ' ') {
        if (terminator_ == ';') {
          report(run_, "Space in Ausdruck - Ausdruck nicht zuende\n");
          stop();
        }
        return finish();
      }
      const Operator *op = findOperator(c);
      if (!op) {
        report(run_, "falsches Zeichen in Ausdruck / %c\n", c);
        if (c == CR || c == LF || c == 0)
          warn(run_, "the expression has no ';' before the end of the line: "
                     "it counts as 0");
        stop();
      }
      switch (op->kind) {
      case OpKind::Open:
        if (!expectOperand_) {
          report(run_, "in Ausdruck kein Operator gefunden\n");
          stop();
        }
        ++*entry(top());
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
        pushReduce(op->character, op->priority);
        std::uint32_t below = top() + kEvalEntrySize;
        if (*entry(below) == 0)
          report(run_, "Klammer zu ohne Klammer auf\n");
        else
          --*entry(below);
        value_ = valueAt(top());
        releaseStack(run_, kEvalEntrySize);
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
        pushReduce(op->character, op->priority);
        expectOperand_ = true;
        nextChar(run_);
        scanName(run_);
        operand();
        break;
      }
    }
  } catch (const Stop &) {
    run_.storage.stackTop = base_ + kMarkerSize;
    return 0;
  }
}

// The operand step: a length function, a variable, a number, or nothing
// (an operator follows directly).
void Evaluator::operand() {
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

void Evaluator::afterOperand() {
  expectOperand_ = false;
  if (scanName(run_) || (run_.currentChar >= '0' && run_.currentChar <= '9')) {
    report(run_, "in Ausdruck kein Operator gefunden\n");
    stop();
  }
}

void Evaluator::pushReduce(char op, char priority) {
  reserveStack(run_, kEvalEntrySize);
  std::uint8_t *e = entry(top());
  e[0] = 0;
  e[1] = static_cast<std::uint8_t>(op);
  e[2] = static_cast<std::uint8_t>(priority);
  setValueAt(top(), value_);
  for (;;) {
    std::uint32_t below = top() + kEvalEntrySize;
    std::uint8_t *b = entry(below);
    if (b[0] != 0 || entry(top())[2] > b[2])
      return;
    std::int64_t combined =
        combine(valueAt(below), static_cast<char>(b[1]), valueAt(top()));
    b[1] = entry(top())[1];
    b[2] = entry(top())[2];
    setValueAt(below, combined);
    releaseStack(run_, kEvalEntrySize);
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
  pushReduce(0, '0');
  std::int64_t result = valueAt(top());
  releaseStack(run_, kEvalEntrySize);
  if (entry(top())[1] != 0) {
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
