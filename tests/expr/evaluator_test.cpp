// The expression evaluator over tables of expressions and their results.
#include "base/scanner.h"
#include "base/source_stack.h"
#include "base/symbol_table.h"
#include "expr/evaluator.h"
#include "memory_platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

namespace veldran {
namespace {

constexpr std::int64_t kMin = INT64_MIN, kMax = INT64_MAX;
const std::pair<const char *, std::int64_t> kNumbers[] = {
    {"M", -7}, {"BIG", 100000}, {"MIN", kMin}, {"MAX", kMax}};

struct Row {
  std::string input;
  std::int64_t value;
  std::string console = ""; // the message behind "1/1 ", if any
  char separator = 0; // not 0: a macro argument (terminator ','), ended here
};

// Test names show the expression, not the row's bytes.
void PrintTo(const Row &row, std::ostream *os) { *os << row.input; }

struct Evaluate : ::testing::TestWithParam<Row> {
  Evaluate() {
    initSymbols(run);
    for (auto [name, value] : kNumbers)
      storeSymbol(run, LookupScope::GLOBAL, {makeName(name), 0, 0, value});
  }
  // Evaluates `text` from a file source's buffer, as the line loop has it,
  // with its first byte taken.
  Evaluation evaluateText(const std::string &text, char terminator) {
    InputSource &src = pushSource(run);
    src.lineNumber = run.inputLineCount = 1;
    std::memcpy(src.buffer, text.data(), text.size());
    src.length = static_cast<int>(text.size());
    nextChar(run);
    return evaluate(run, terminator);
  }
  // Evaluates `text` as a line of a recorded body that lies at `at` in the
  // text storage: the first time read, later replayed.
  Evaluation evaluateStored(const std::string &text, char terminator,
                            std::uint32_t at) {
    std::string line = text + "\r\n";
    InputSource &src = pushSource(run);
    std::memcpy(src.buffer, line.data(), line.size());
    src.length = static_cast<int>(line.size());
    src.storedAt = at;
    nextChar(run);
    return evaluate(run, terminator);
  }

  MemoryPlatform platform;
  veldran::Run run{platform};
};

TEST_P(Evaluate, Expression) {
  const Row &row = GetParam();
  SCOPED_TRACE(row.input);
  std::uint32_t top = run.storage.stackTop;
  Evaluation e = evaluateText(row.input, row.separator ? ',' : ';');
  EXPECT_EQ(e.value, row.value);
  EXPECT_EQ(platform.console, row.console.empty() ? "" : "1/1 " + row.console);
  EXPECT_TRUE(!row.console.empty() || run.currentChar == ';');
  EXPECT_EQ(run.storage.stackTop, top);
  EXPECT_TRUE(!row.separator || e.separator == row.separator);
}

// Bitwise operators bind more tightly than '*', '^' and '|' more than '&';
// values wrap on 64 bits; L' counts all digits, of system variables current.
const Row kValues[] = {
    {"2*3&1;", 2},     {"1&0|2;", 0},
    {"0&0^1;", 0},     {"(0-7)/2;", -3},
    {"--3;", -3},      {"2*-3;", -3},
    {"(1+2;", 3},      {"MAX+1;", kMin},
    {"MIN-1;", kMax},  {"MAX*2;", -2},
    {"L'M;", 1},       {"L'BIG;", 6},
    {"L'MIN;", 19},    {"l'm*2;", 2},
    {"L'$DATE;", 5},   {"MIN/(0-1);", kMin},
    {"M+1;", -6},      {"1+M*2;", -13},
    {"(M+1)*2;", -12}, {"M*2+BIG;", 99986},
    {"2*M-1&3;", -15}, {"1-2-3;", -4},
    {"BIG^3|M&1;", 1}, {"42;", 42},
    {"12+3;", 15},     {"18446744073709551617;", 1},
};
INSTANTIATE_TEST_SUITE_P(Values, Evaluate, ::testing::ValuesIn(kValues));

// A macro argument (terminator ',') ends at a comma, a blank or a lone ')'.
const Row kArguments[] = {
    {"1,x", 1, "", ','},      {"1;x", 1, "", ';'},     {"M+1)x", -6, "", ')'},
    {"(M+1))x", -6, "", ')'}, {"1+2*3 ,", 7, "", ' '},
};
INSTANTIATE_TEST_SUITE_P(Arguments, Evaluate, ::testing::ValuesIn(kArguments));

// A kept expression replayed gives what reading its bytes gave, and leaves
// the stack as it found it.
TEST_P(Evaluate, ReplayedAsRead) {
  const Row &row = GetParam();
  char terminator = row.separator ? ',' : ';';
  Evaluation read = evaluateText(row.input, terminator);
  std::uint8_t after = run.currentChar;
  int position = run.source().position;
  std::uint32_t top = run.storage.stackTop;
  for (int pass = 0; pass < 3; ++pass) {
    Evaluation e = evaluateStored(row.input, terminator, 64);
    EXPECT_EQ(e.value, read.value) << "pass " << pass;
    EXPECT_EQ(e.separator, read.separator) << "pass " << pass;
    EXPECT_EQ(run.currentChar, after) << "pass " << pass;
    EXPECT_EQ(run.source().position, position) << "pass " << pass;
    EXPECT_EQ(run.storage.stackTop, top) << "pass " << pass;
  }
}

const Row kMessages[] = {
    {"1+2);", 3, "Klammer zu ohne Klammer auf\n"},
    {"1+(2;", 0, "Klammer zu fehlt\n"},
    {"1 + 2;", 0, "Space in Ausdruck - Ausdruck nicht zuende\n"},
    {"12AB;", 0, "in Ausdruck kein Operator gefunden\n"},
    {"1(2);", 0, "in Ausdruck kein Operator gefunden\n"},
    {"(1)2;", 0, "in Ausdruck kein Operator gefunden\n"},
    {"(1)9;", 0, "in Ausdruck kein Operator gefunden\n"},
    {"(1+);", 0, "in Ausdruck kein Operator gefunden\n"},
    {"*2;", 0, "in Ausdruck kein Symbol bzw. Zahl gefunden\n"},
    {"UNDEF+1;", 1, "numerische Variable nicht definiert : UNDEF\n"},
    {"X'M;", 0, "invalid command with quote / X               \n"},
    {"L'5;", 0, "invalid character in function length / 5\n"},
    {"L'NOPE;", 0,
     "variable (function length) not defined / NOPE            \n"},
};
INSTANTIATE_TEST_SUITE_P(Messages, Evaluate, ::testing::ValuesIn(kMessages));

} // namespace
} // namespace veldran
