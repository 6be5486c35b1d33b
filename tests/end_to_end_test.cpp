// Runs every case under tests/cases: in-process over the in-memory platform,
// or through the real binary in a temporary directory for cases marked
// `real`.
#include "binary_run.h"
#include "case_file.h"

#include "driver/program.h"
#include "memory_platform.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace fs = std::filesystem;

namespace veldran::testing {

namespace {

struct Outcome {
  std::map<std::string, std::string> files;
  std::string console;
  std::string errors;
  int exitCode = 0;
};

Outcome runInProcess(const Case &c) {
  MemoryPlatform platform;
  for (const auto &[name, bytes] : c.files)
    platform.files[name] = bytes;
  platform.consoleInput = c.stdinText;
  Outcome out;
  out.exitCode = runVeldran(platform, c.runArgs());
  out.files = platform.files;
  out.console = platform.console;
  return out;
}

Outcome runReal(const Case &c) {
  TempDir dir("case");
  for (const auto &[name, bytes] : c.files)
    writeFile(dir.path() / name, bytes);
  BinaryRun run = c.script ? runScript(dir.path(), *c.script, c.stdinText)
                           : runBinary(dir.path(), c.runArgs(), c.stdinText);
  Outcome out{{}, run.console, run.errors, run.exitCode};
  for (const auto &entry : fs::recursive_directory_iterator(dir.path()))
    if (entry.is_regular_file())
      out.files[fs::relative(entry.path(), dir.path()).string()] =
          readFile(entry.path());
  return out;
}

std::vector<Case> allCases() {
  std::vector<fs::path> paths;
  for (const auto &entry : fs::directory_iterator(VELDRAN_CASES_DIR))
    if (entry.path().extension() == ".case")
      paths.push_back(entry.path());
  std::sort(paths.begin(), paths.end());
  std::vector<Case> cases;
  for (const fs::path &p : paths)
    for (Case &c : parseCaseFile(p.string()))
      cases.push_back(std::move(c));
  return cases;
}

} // namespace

void PrintTo(const Case &c, std::ostream *os) {
  *os << c.source << " " << c.name;
}

namespace {

class EndToEnd : public ::testing::TestWithParam<Case> {};

TEST_P(EndToEnd, Case) {
  const Case &c = GetParam();
  SCOPED_TRACE(c.source + ": " + c.name);
  Outcome out = c.real ? runReal(c) : runInProcess(c);
  if (c.script && out.exitCode == 77)
    GTEST_SKIP() << "the script cannot run here";
  EXPECT_EQ(out.exitCode, c.exitCode);
  if (c.console) {
    EXPECT_EQ(out.console, *c.console);
  }
  if (c.errors) {
    EXPECT_EQ(out.errors, *c.errors);
  }
  for (const ExpectedFile &f : c.outputs) {
    std::string name = f.name.empty() ? c.outputName() : f.name;
    auto it = out.files.find(name);
    ASSERT_NE(it, out.files.end()) << "no file " << name;
    EXPECT_EQ(it->second, f.bytes) << "file " << name;
  }
  for (const std::string &name : c.missing)
    EXPECT_EQ(out.files.count(name), 0u) << "file " << name << " exists";
}

std::string caseName(const ::testing::TestParamInfo<Case> &info) {
  std::string file = fs::path(info.param.source).filename().string();
  std::string name =
      file.substr(0, file.find('.')) + "_" + std::to_string(info.index) + "_";
  for (char ch : info.param.name)
    name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, ::testing::ValuesIn(allCases()),
                         caseName);

} // namespace

} // namespace veldran::testing
