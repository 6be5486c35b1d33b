// Runs every examples/NAME.inp through the binary, in a copy of the
// examples directory, and compares the output file with NAME.expected and
// the console with NAME.console (empty when there is none).
#include "binary_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace fs = std::filesystem;

namespace veldran::testing {

namespace {

const fs::path kExamples = fs::path(VELDRAN_SOURCE_DIR) / "examples";

std::vector<std::string> exampleNames() {
  std::vector<std::string> names;
  for (const auto &entry : fs::directory_iterator(kExamples))
    if (entry.path().extension() == ".inp")
      names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

class Example : public ::testing::TestWithParam<std::string> {};

TEST_P(Example, WritesTheExpectedOutputAndConsole) {
  const std::string &name = GetParam();
  TempDir dir("example-" + name);
  fs::copy(kExamples, dir.path(), fs::copy_options::recursive);
  BinaryRun run = runBinary(dir.path(), {name + ".inp", name + ".out"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(readFile(dir.path() / (name + ".out")),
            readFile(kExamples / (name + ".expected")));
  EXPECT_EQ(run.console, readFile(kExamples / (name + ".console")));
}

std::string testName(const ::testing::TestParamInfo<std::string> &info) {
  std::string name;
  for (char ch : info.param)
    name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Examples, Example, ::testing::ValuesIn(exampleNames()),
                         testName);

TEST(Examples, EveryInputHasItsExpectedOutput) {
  std::vector<std::string> names = exampleNames();
  EXPECT_GE(names.size(), 5u);
  for (const std::string &name : names)
    EXPECT_TRUE(fs::exists(kExamples / (name + ".expected"))) << name;
}

} // namespace

} // namespace veldran::testing
