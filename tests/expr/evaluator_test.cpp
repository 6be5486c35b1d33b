// The expression evaluator over a table of expressions: each is put into
// the buffer of a file source, as the line loop would have it, and
// evaluated from a blank in front of it.
#include "driver/input_sources.h"
#include "driver/run.h"
#include "driver/scanner.h"
#include "expr/evaluator.h"
#include "platform/memory_platform.h"
#include "symbols/symbol_table.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace veldran {
namespace {

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

struct Row {
  const char *input;
  std::int64_t value;
  std::string console = ""; // without the "1/1 " prefix; "" for none
  char terminator = ';';
  char lastSeparator = 0;     // 0: not checked
  const char *rest = nullptr; // the bytes left unread; null: not checked
};

std::ostream &operator<<(std::ostream &os, const Row &row) {
  return os << '"' << row.input << '"';
}

class Evaluate : public ::testing::TestWithParam<Row> {
protected:
  Evaluate() {
    initSymbols(run);
    numeric("N", 12345);
    numeric("M", -7);
    numeric("Z", 0);
    numeric("BIG", 100000);
    numeric("MIN", kMin);
    numeric("MAX", kMax);
    run.work = SymbolEntry{};
    run.work.name = makeName("T");
    run.work.flags = SYM_TEXT;
    run.work.value = run.storage.textTop;
    run.work.length = 3;
    storeSymbol(run, LookupScope::GLOBAL);
    appendText(run, reinterpret_cast<const std::uint8_t *>("abc"), 3);
  }

  void numeric(const char *name, std::int64_t value) {
    run.work = SymbolEntry{};
    run.work.name = makeName(name);
    run.work.value = value;
    storeSymbol(run, LookupScope::GLOBAL);
  }

  // Puts `text` into a file source's buffer and evaluates it.
  void evaluateText(const std::string &text, char terminator) {
    InputSource &src = pushSource(run);
    src.fileName = "DATA.INP";
    src.lineNumber = 1;
    run.inputLineCount = 1;
    std::memcpy(src.buffer, text.data(), text.size());
    src.length = static_cast<int>(text.size());
    run.currentChar = ' ';
    evaluate(run, terminator);
  }

  std::string rest() {
    InputSource &src = run.source();
    int from = std::min(src.position, src.length);
    return std::string(reinterpret_cast<const char *>(src.buffer) + from,
                       static_cast<std::size_t>(src.length - from));
  }

  MemoryPlatform platform;
  veldran::Run run{platform};
};

TEST_P(Evaluate, Expression) {
  const Row &row = GetParam();
  std::uint32_t top = run.storage.stackTop;
  evaluateText(row.input, row.terminator);
  EXPECT_EQ(run.work.value, row.value);
  EXPECT_EQ(platform.console, row.console.empty() ? "" : "1/1 " + row.console);
  if (row.lastSeparator != 0) {
    EXPECT_EQ(run.lastSeparator, row.lastSeparator);
  }
  if (row.console.empty()) {
    EXPECT_EQ(run.currentChar, ';');
  }
  if (row.rest) {
    EXPECT_EQ(rest(), row.rest);
  }
  EXPECT_EQ(run.storage.stackTop, top);
}

const Row kPriorities[] = {
    {"1+2*3;", 7},     {"(1+2)*3;", 9},  {"10-3-2;", 5},
    {"8/2/2;", 2},     {"(0-7)/2;", -3}, {"7/2;", 3},
    {"-7/2;", -3},     {"2*3&1;", 2},    {"4|1&2;", 0},
    {"1^0|1;", 0},     {"0&0^1;", 0},    {"6&3|4;", 6},
    {"6^3&5;", 5},     {"2*(3+4);", 14}, {"((2));", 2},
    {"N-N/10*10;", 5}, {" 1+2;", 3},     {"1+2;x", 3, "", ';', ';', "x"},
};
INSTANTIATE_TEST_SUITE_P(Priorities, Evaluate,
                         ::testing::ValuesIn(kPriorities));

const Row kUnaryMinus[] = {
    {"-5;", -5},  {"2*-3;", -3}, // (2*0)-3
    {"--3;", -3}, {"5--3;", 2},  {"-(2+3);", -5}, {"-N;", -12345},
};
INSTANTIATE_TEST_SUITE_P(UnaryMinus, Evaluate,
                         ::testing::ValuesIn(kUnaryMinus));

const Row kWrapAround[] = {
    {"9223372036854775807+1;", kMin},
    {"MAX+1;", kMin},
    {"MIN-1;", kMax},
    {"MAX*2;", -2},
    {"-MIN;", kMin},
    {"MIN/(0-1);", kMin},
    {"9223372036854775808;", kMin},
    {"18446744073709551617;", 1},
    {"MIN/2;", kMin / 2},
};
INSTANTIATE_TEST_SUITE_P(WrapAround, Evaluate,
                         ::testing::ValuesIn(kWrapAround));

const Row kMessages[] = {
    {"1/0;", 0, "Division durch 0 in Ausdruck\n"},
    {"MIN/-1;", 0, "Division durch 0 in Ausdruck\n"}, // (MIN/0)-1
    {"1+2);", 3, "Klammer zu ohne Klammer auf\n"},
    {"1+(2;", 0, "Klammer zu fehlt\n"},
    {"(1+2;", 3},
    {"1 + 2;", 0, "Space in Ausdruck - Ausdruck nicht zuende\n", ';', ' ',
     "+ 2;"},
    {"1+2 ;", 0, "Space in Ausdruck - Ausdruck nicht zuende\n"},
    {"1+;", 0, "in Ausdruck kein Operator gefunden\n"},
    {";", 0, "in Ausdruck kein Operator gefunden\n"},
    {"*2;", 0, "in Ausdruck kein Symbol bzw. Zahl gefunden\n"},
    {"1+*2;", 0, "in Ausdruck kein Symbol bzw. Zahl gefunden\n"},
    {"12AB;x", 0, "in Ausdruck kein Operator gefunden\n", ';', 0, "x"},
    {"(1)2;", 0, "in Ausdruck kein Operator gefunden\n"},
    {"1(2);", 0, "in Ausdruck kein Operator gefunden\n"},
    {"();", 0, "in Ausdruck kein Operator gefunden\n"},
    {"N N;", 0, "Space in Ausdruck - Ausdruck nicht zuende\n"},
    {"1#2;", 0, "falsches Zeichen in Ausdruck / #\n"},
    {"1\r\n", 0, "falsches Zeichen in Ausdruck / \r\n", ';', 0, "\n"},
    {"1", 0, std::string("falsches Zeichen in Ausdruck / \0\n", 33)},
    {"UNDEF+1;", 1, "numerische Variable nicht definiert : UNDEF\n"},
    {"abcdefghijklmnopqrs*2;", 0,
     "numerische Variable nicht definiert : ABCDEFGHIJKLMNOP\n"},
    {"T+1;", 1, "numerische Variable gesucht - Text gefunden : T\n"},
    {"$INPFILN;", 0,
     "numerische Variable gesucht - Text gefunden : $INPFILN\n"},
};
INSTANTIATE_TEST_SUITE_P(Messages, Evaluate, ::testing::ValuesIn(kMessages));

const Row kVariablesAndLength[] = {
    {"N+1;", 12346},
    {"n*m;", -86415},
    {"$LINE_A+$INPFCOU;", 2},
    {"$DATE;", 61226},
    {"L'T;", 3},
    {"l't*2;", 6},
    {"2*L'T;", 6},
    {"L'N;", 5},
    {"L'M;", 1},
    {"L'Z;", 1},
    {"L'BIG;", 6},
    {"L'MIN;", 19},
    {"L'MAX;", 19},
    {"L'$INPFILN;", 8},
    {"L'$DATE;", 5},
    {"X'T;", 0, "invalid command with quote / X               \n"},
    {"'T;", 0, "invalid command with quote /                 \n"},
    {"L'5;", 0, "invalid character in function length / 5\n"},
    {"L' T;", 0, "invalid character in function length /  \n"},
    {"L'NOPE;", 0,
     "variable (function length) not defined / NOPE            \n"},
    {"L'T'T;", 0, "falsches Zeichen in Ausdruck / '\n"},
};
INSTANTIATE_TEST_SUITE_P(VariablesAndLength, Evaluate,
                         ::testing::ValuesIn(kVariablesAndLength));

const Row kCommaTerminator[] = {
    {"1,x", 1, "", ',', ',', "x"},
    {"1;x", 1, "", ',', ';', "x"},
    {"N+1)x", 12346, "", ',', ')', "x"},
    {"(N+1))x", 12346, "", ',', ')', "x"},
    {"1+2 x", 3, "", ',', ' ', "x"},
    {"1+2*3 ,", 7, "", ',', ' ', ","},
    {"(1+2 x", 3, "", ',', ' ', "x"},
    {"1+ 2,", 0, "in Ausdruck kein Operator gefunden\n", ','},
    {"1#2,", 0, "falsches Zeichen in Ausdruck / #\n", ','},
};
INSTANTIATE_TEST_SUITE_P(CommaTerminator, Evaluate,
                         ::testing::ValuesIn(kCommaTerminator));

// The work stack: a 4-byte base marker and 16-byte entries. 1+2 holds the
// marker, the entry of '+' and the end entry at once.
TEST(EvaluatorStack, NeedsMarkerAndTwoEntriesForOneOperator) {
  for (std::uint32_t room : {36u, 35u}) {
    MemoryPlatform platform;
    veldran::Run run{platform};
    initSymbols(run);
    InputSource &src = pushSource(run);
    std::memcpy(src.buffer, "1+2;", 4);
    src.length = 4;
    run.storage.textTop = run.storage.stackTop - room;
    run.currentChar = ' ';
    if (room == 36) {
      evaluate(run, ';');
      EXPECT_EQ(run.work.value, 3);
      EXPECT_EQ(platform.console, "");
    } else {
      EXPECT_THROW(evaluate(run, ';'), RunAborted);
      EXPECT_EQ(platform.console,
                "0/0 Variablen-Speicher ist nicht gro\xE1 genug - Abbruch\n");
    }
  }
}

} // namespace
} // namespace veldran
