#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace veldran {
namespace {

// The rules of the Windows C runtime.
TEST(SplitCommandLine, BlanksQuotesAndBackslashes) {
  const struct {
    const char *line;
    std::vector<std::string> args;
  } rows[] = {
      {" \t prog\t\ta  b \t", {"prog", "a", "b"}},
      {" \t ", {}},
      {"a\nb\rc", {"a\nb\rc"}},
      {"prog \"a b\"\t\"c\td\"", {"prog", "a b", "c\td"}},
      {"a\"b c\"d e", {"ab cd", "e"}},
      {"\"\" x \"\"", {"", "x", ""}},
      {"prog \"a b", {"prog", "a b"}},
      // A doubled quote inside quotes is a literal one and the text stays
      // quoted; outside quotes it is an empty group.
      {"\"a\"\"b c\"", {"a\"b c"}},
      {"a\"\"b c", {"ab", "c"}},
      // 2n backslashes before a quote give n and the quote toggles; 2n+1
      // give n and a literal quote.
      {R"(a\\\\"b c" d)", {R"(a\\b c)", "d"}},
      {R"("a b\\" c)", {R"(a b\)", "c"}},
      {R"(a\\\"b c)", {R"(a\"b)", "c"}},
      {R"("a \" b")", {R"(a " b)"}},
      // Elsewhere backslashes are literal.
      {R"(C:\dir\\file x\\\y)", {R"(C:\dir\\file)", R"(x\\\y)"}},
      {R"(a\ b\\)", {R"(a\)", R"(b\\)"}},
      {R"("a\\)", {R"(a\\)"}},
  };
  for (const auto &row : rows)
    EXPECT_EQ(splitCommandLine(row.line), row.args) << row.line;
}

} // namespace
} // namespace veldran
