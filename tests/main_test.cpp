// The command line of the binary: --help and --version as the only
// argument, every other argument list unchanged.
#include "binary_run.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace veldran::testing {

namespace {

TEST(CommandLine, VersionPrintsTheVersionAndTouchesNoFile) {
  TempDir dir("version");
  BinaryRun run = runBinary(dir.path(), {"--version"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.console, std::string("veldran ") + VELDRAN_VERSION + "\n");
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(CommandLine, HelpNamesTheArgumentsAndTheirDefaults) {
  TempDir dir("help");
  BinaryRun run = runBinary(dir.path(), {"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.console.rfind(
                "Usage: veldran [input [output [command-string]]]\n", 0),
            0u)
      << run.console;
  EXPECT_NE(run.console.find("(default TEST.INP)"), std::string::npos);
  EXPECT_NE(run.console.find("(default TEST.OUT)"), std::string::npos);
  EXPECT_NE(run.console.find("--version"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(CommandLine, OptionsAmongOtherArgumentsAreFileNames) {
  TempDir dir("option-names");
  BinaryRun missing = runBinary(dir.path(), {"--version", "out.txt"});
  EXPECT_EQ(missing.exitCode, 0);
  EXPECT_EQ(missing.console, "Input DosOpen Error: return code = 2");
  EXPECT_TRUE(fs::is_empty(dir.path()));

  std::ofstream(dir.path() / "--help", std::ios::binary) << "%INT:6*7;\r\n";
  BinaryRun run = runBinary(dir.path(), {"--help", "--version"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.console, "");
  EXPECT_EQ(readFile(dir.path() / "--version"), "42\r\n");
}

} // namespace

} // namespace veldran::testing
