// Microbenchmarks: the line loop over in-memory files (a whole run on the
// in-memory platform, so no disk is involved) and the expression evaluator
// on its own. Build with -DVELDRAN_BENCH=ON, run build-dir/veldran_micro.
#include "base/scanner.h"
#include "base/source_stack.h"
#include "base/symbol_table.h"
#include "driver/program.h"
#include "expr/evaluator.h"
#include "memory_platform.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace veldran {
namespace {

// Plain CR LF lines of mixed length from a fixed linear congruential
// sequence; every tenth line gets a doubled '%' when `percent` is set.
std::string plainText(std::size_t bytes, bool percent) {
  static const char alphabet[] =
      "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 "
      ".,;:!?()-+=";
  std::string s;
  s.reserve(bytes + 256);
  std::uint32_t x = 12345;
  auto next = [&x] { return x = x * 1103515245u + 12345u, x >> 16; };
  for (int line = 0; s.size() < bytes; ++line) {
    std::size_t n = next() % 200;
    for (std::size_t i = 0; i < n; ++i) {
      if (percent && line % 10 == 9 && i == n / 2)
        s += "%%";
      s += alphabet[next() % (sizeof alphabet - 1)];
    }
    s += "\r\n";
  }
  return s;
}

std::string inlineText(int lines) {
  std::string s = "%SET XA=37;\r\n%SET XB=1234;\r\n%DEFT XT:abcdefgh\r\n";
  char line[128];
  for (int i = 1; i <= lines; ++i) {
    std::snprintf(line, sizeof line,
                  "L%07d %%INT(5):XA*%d+XB; %%TEXT(2,3):XT;%%TAB:40;|rest of "
                  "the line\r\n",
                  i, i % 1000);
    s += line;
  }
  return s;
}

std::string repeatText(int passes) {
  return "%SET N=0;\r\n"
         "%MACRO:ROW(MINT:V,MTEXT:S)\r\n"
         "%TEXT:S;:%INT(8):V*7;\r\n"
         "%MEND\r\n"
         "%RPTN " +
         std::to_string(passes) +
         ";\r\n"
         "%SET N=N+1;\r\n"
         "%IIF EQ N&3;quad %INT:N;\r\n"
         "%ROW(N+1,%INT(1):N;)\r\n"
         "line %INT(7):N;\r\n"
         "%REND\r\n";
}

// One whole run over `input`; with `countBytes` the input bytes are counted
// as processed.
void runOver(benchmark::State &state, const std::string &input,
             bool countBytes = true) {
  MemoryPlatform platform;
  platform.files["in.inp"] = input;
  std::vector<std::string> args{"in.inp", "out.out"};
  for (auto _ : state) {
    platform.files.erase("out.out");
    int rc = runVeldran(platform, args);
    benchmark::DoNotOptimize(rc);
  }
  if (!platform.console.empty())
    state.SkipWithError(
        ("console: " + platform.console.substr(0, 200)).c_str());
  if (countBytes)
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(input.size()));
}

void BM_LineLoopPlain(benchmark::State &state) {
  runOver(state, plainText(static_cast<std::size_t>(state.range(0)), false));
}
BENCHMARK(BM_LineLoopPlain)
    ->Arg(1 << 20)
    ->Arg(8 << 20)
    ->Unit(benchmark::kMillisecond);

void BM_LineLoopPercent(benchmark::State &state) {
  runOver(state, plainText(static_cast<std::size_t>(state.range(0)), true));
}
BENCHMARK(BM_LineLoopPercent)
    ->Arg(1 << 20)
    ->Arg(8 << 20)
    ->Unit(benchmark::kMillisecond);

void BM_LineLoopInline(benchmark::State &state) {
  std::string input = inlineText(static_cast<int>(state.range(0)));
  runOver(state, input);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LineLoopInline)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

void BM_RepeatMacro(benchmark::State &state) {
  runOver(state, repeatText(static_cast<int>(state.range(0))), false);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RepeatMacro)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

// The evaluator alone: the expression sits in a file source's buffer as the
// line loop would leave it and is evaluated from a blank in front of it.
class EvalFixture {
public:
  EvalFixture() {
    initSymbols(run);
    const char *names[] = {"A", "B", "COUNTER", "LIMIT", "X1", "X2", "Y"};
    std::int64_t v = 3;
    for (const char *n : names) {
      storeSymbol(run, LookupScope::GLOBAL, {makeName(n), 0, 0, v});
      v = v * 7 + 1;
    }
    InputSource &src = pushSource(run);
    src.fileName = "X.INP";
    src.lineNumber = 1;
  }
  std::int64_t eval(const std::string &text) {
    InputSource &src = run.source();
    std::memcpy(src.buffer, text.data(), text.size());
    src.length = static_cast<int>(text.size());
    src.position = 0;
    run.currentChar = ' ';
    return evaluate(run, ';').value;
  }
  MemoryPlatform platform;
  Run run{platform};
};

void evalBench(benchmark::State &state, const char *expression) {
  EvalFixture f;
  std::string text = expression;
  for (auto _ : state)
    benchmark::DoNotOptimize(f.eval(text));
  if (!f.platform.console.empty())
    state.SkipWithError(("console: " + f.platform.console).c_str());
  state.SetItemsProcessed(state.iterations());
}

void BM_EvalNumber(benchmark::State &state) { evalBench(state, "42;"); }
BENCHMARK(BM_EvalNumber);
void BM_EvalTwoVariables(benchmark::State &state) {
  evalBench(state, "A*17+B;");
}
BENCHMARK(BM_EvalTwoVariables);
void BM_EvalPrecedence(benchmark::State &state) {
  evalBench(state, "(COUNTER+1)*LIMIT-X1/3&7|Y^X2;");
}
BENCHMARK(BM_EvalPrecedence);
void BM_EvalLongNames(benchmark::State &state) {
  evalBench(state, "COUNTER+COUNTER+COUNTER+COUNTER+LIMIT+LIMIT+LIMIT+LIMIT;");
}
BENCHMARK(BM_EvalLongNames);

} // namespace
} // namespace veldran
