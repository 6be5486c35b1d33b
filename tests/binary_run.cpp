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
  for (char ch : arg)
    quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
  return quoted + "'";
}

} // namespace

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

BinaryRun runBinary(const fs::path &dir, const std::vector<std::string> &args,
                    const std::string &stdinText) {
  // Standard input and output live beside the directory, not in it.
  const fs::path in = dir.string() + ".stdin";
  const fs::path out = dir.string() + ".console";
  writeFile(in, stdinText);
  std::string command = "cd ";
  command.append(shellQuote(dir.string())).append(" && ");
  command.append(shellQuote(VELDRAN_BINARY));
  for (const std::string &arg : args)
    command.append(" ").append(shellQuote(arg));
  command.append(" <").append(shellQuote(in.string()));
  command.append(" >").append(shellQuote(out.string()));
  int status = std::system(command.c_str());
  BinaryRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.console = readFile(out);
  fs::remove(in);
  fs::remove(out);
  return run;
}

std::string readFile(const fs::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeFile(const fs::path &p, const std::string &bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

} // namespace veldran::testing
