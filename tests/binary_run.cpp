#include "binary_run.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace veldran::testing {

namespace {

// A binary that runs away (under a planted fault, say) stops at 256 MB of
// output or a minute of processor time instead of filling the disk.
constexpr const char *kRunawayLimits = "ulimit -f 524288; ulimit -t 60; ";

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
                    const std::string &stdinText,
                    const std::vector<std::string> &env) {
  // Standard input and output live beside the directory, not in it.
  const fs::path in = dir.string() + ".stdin";
  const fs::path out = dir.string() + ".console";
  const fs::path err = dir.string() + ".stderr";
  writeFile(in, stdinText);
  std::string command = kRunawayLimits;
  command.append("cd ").append(shellQuote(dir.string())).append(" && ");
  for (const std::string &setting : env) {
    std::size_t equals = setting.find('=');
    command.append(setting.substr(0, equals + 1))
        .append(shellQuote(setting.substr(equals + 1)))
        .append(" ");
  }
  command.append(shellQuote(VELDRAN_BINARY));
  for (const std::string &arg : args)
    command.append(" ").append(shellQuote(arg));
  command.append(" <").append(shellQuote(in.string()));
  command.append(" >").append(shellQuote(out.string()));
  command.append(" 2>").append(shellQuote(err.string()));
  int status = std::system(command.c_str());
  BinaryRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.console = readFile(out);
  run.errors = readFile(err);
  fs::remove(in);
  fs::remove(out);
  fs::remove(err);
  return run;
}

int shellIn(const fs::path &dir, const std::string &command) {
  std::string line = kRunawayLimits;
  line.append("cd ").append(shellQuote(dir.string()));
  line.append(" && { ").append(command).append("; }");
  int status = std::system(line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
