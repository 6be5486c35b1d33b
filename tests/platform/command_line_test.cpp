#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace veldran {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, BlanksAndTabsSeparate) {
  EXPECT_EQ(splitCommandLine("prog a b"), (Args{"prog", "a", "b"}));
  EXPECT_EQ(splitCommandLine(" \t prog\t\ta  b \t"), (Args{"prog", "a", "b"}));
  EXPECT_EQ(splitCommandLine(""), Args{});
  EXPECT_EQ(splitCommandLine(" \t "), Args{});
}

TEST(SplitCommandLine, OtherWhiteSpaceIsText) {
  EXPECT_EQ(splitCommandLine("a\nb\rc"), Args{"a\nb\rc"});
}

TEST(SplitCommandLine, QuotesGroupAndAreRemoved) {
  EXPECT_EQ(splitCommandLine("prog \"a b\"\t\"c\td\""),
            (Args{"prog", "a b", "c\td"}));
  EXPECT_EQ(splitCommandLine("a\"b c\"d e"), (Args{"ab cd", "e"}));
}

TEST(SplitCommandLine, EmptyQuotesMakeAnEmptyArgument) {
  EXPECT_EQ(splitCommandLine("prog \"\" x"), (Args{"prog", "", "x"}));
  EXPECT_EQ(splitCommandLine("prog \"\""), (Args{"prog", ""}));
  EXPECT_EQ(splitCommandLine("\"\" \"\""), (Args{"", ""}));
}

TEST(SplitCommandLine, UnclosedQuoteRunsToTheEnd) {
  EXPECT_EQ(splitCommandLine("prog \"a b"), (Args{"prog", "a b"}));
  EXPECT_EQ(splitCommandLine("prog \""), (Args{"prog", ""}));
}

TEST(SplitCommandLine, DoubledQuoteInsideQuotesIsLiteralAndStaysQuoted) {
  // The quoted text goes on after the literal quote: the blank does not
  // separate.
  EXPECT_EQ(splitCommandLine("\"a\"\"b c\""), Args{"a\"b c"});
  EXPECT_EQ(splitCommandLine("\"\"\"\""), Args{"\""});
  EXPECT_EQ(splitCommandLine("\"\"\"\"\"\" x"), (Args{"\"\"", "x"}));
  // Outside quotes, two quotes open and close an empty group.
  EXPECT_EQ(splitCommandLine("a\"\"b c"), (Args{"ab", "c"}));
}

TEST(SplitCommandLine, EvenBackslashesBeforeQuoteHalveAndToggle) {
  EXPECT_EQ(splitCommandLine(R"(a\\"b c")"), Args{R"(a\b c)"});
  EXPECT_EQ(splitCommandLine(R"(a\\\\"b c" d)"), (Args{R"(a\\b c)", "d"}));
  EXPECT_EQ(splitCommandLine(R"("a b\\" c)"), (Args{R"(a b\)", "c"}));
}

TEST(SplitCommandLine, OddBackslashesBeforeQuoteGiveLiteralQuote) {
  EXPECT_EQ(splitCommandLine(R"(a\"b c)"), (Args{R"(a"b)", "c"}));
  EXPECT_EQ(splitCommandLine(R"(a\\\"b)"), Args{R"(a\"b)"});
  EXPECT_EQ(splitCommandLine(R"("a \" b")"), Args{R"(a " b)"});
}

TEST(SplitCommandLine, BackslashesNotBeforeQuoteAreLiteral) {
  EXPECT_EQ(splitCommandLine(R"(C:\dir\\file x\\\y)"),
            (Args{R"(C:\dir\\file)", R"(x\\\y)"}));
  EXPECT_EQ(splitCommandLine(R"("a\b c")"), Args{R"(a\b c)"});
}

TEST(SplitCommandLine, TrailingBackslashes) {
  EXPECT_EQ(splitCommandLine(R"(a\ b\\)"), (Args{R"(a\)", R"(b\\)"}));
  EXPECT_EQ(splitCommandLine(R"(a\\ )"), Args{R"(a\\)"});
  EXPECT_EQ(splitCommandLine(R"("a\\)"), Args{R"(a\\)"});
}

} // namespace
} // namespace veldran
