#include "binary_run.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace veldran::testing {

namespace {

std::string shellQuote(const std::string &arg) {
  std::string quoted = "'";
  for (char ch : arg) {
    if (ch == '\'')
      quoted += "'\\''";
    else
      quoted += ch;
  }
  quoted += '\'';
  return quoted;
}

} // namespace

BinaryRun runBinary(const fs::path &dir, const std::vector<std::string> &args) {
  const fs::path console = dir / ".console";
  std::string command = "cd ";
  command += shellQuote(dir.string());
  command += " && ";
  command += shellQuote(VELDRAN_BINARY);
  for (const std::string &arg : args) {
    command += ' ';
    command += shellQuote(arg);
  }
  command += " </dev/null >";
  command += shellQuote(console.string());
  int status = std::system(command.c_str());
  BinaryRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.console = readFile(console);
  fs::remove(console);
  return run;
}

TempDir::TempDir(const std::string &purpose)
    : path_(fs::temp_directory_path() /
            ("veldran-" + purpose + "-" + std::to_string(::getpid()))) {
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string readFile(const fs::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

} // namespace veldran::testing
