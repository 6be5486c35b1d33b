// Runs every examples/NAME.inp through the binary, in a copy of the
// examples directory, and compares the output file with NAME.expected and
// the console with NAME.console (empty when there is none).
#include "binary_run.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace veldran::testing {
namespace {

TEST(Examples, WriteTheExpectedOutputAndConsole) {
  const fs::path examples = fs::path(VELDRAN_SOURCE_DIR) / "examples";
  int count = 0;
  for (const auto &entry : fs::directory_iterator(examples)) {
    if (entry.path().extension() != ".inp")
      continue;
    const std::string name = entry.path().stem().string();
    SCOPED_TRACE(name);
    TempDir dir("example");
    fs::copy(examples, dir.path(), fs::copy_options::recursive);
    BinaryRun run = runBinary(dir.path(), {name + ".inp", name + ".out"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(readFile(dir.path() / (name + ".out")),
              readFile(examples / (name + ".expected")));
    EXPECT_EQ(run.console, readFile(examples / (name + ".console")));
    ++count;
  }
  EXPECT_GE(count, 5);
}

} // namespace
} // namespace veldran::testing
