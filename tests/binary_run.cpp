#include "binary_run.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace veldran::testing {

namespace {

// Under the address sanitizer, a run needs memory of its own: scripts that
// limit the memory skip themselves.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

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

BinaryRun runScript(const fs::path &dir, const std::string &script,
                    const std::string &stdinText) {
  // The script and the standard streams live beside the directory, not in
  // it.
  const std::string base = dir.string();
  writeFile(base + ".sh", script);
  writeFile(base + ".stdin", stdinText);
  std::string command = kRunawayLimits;
  command.append("cd ").append(shellQuote(base));
  command.append(" && VELDRAN=").append(shellQuote(VELDRAN_BINARY));
  command.append(kSanitized ? " SANITIZED=1" : " SANITIZED=0");
  command.append(" sh ").append(shellQuote(base + ".sh"));
  command.append(" <").append(shellQuote(base + ".stdin"));
  command.append(" >").append(shellQuote(base + ".console"));
  command.append(" 2>").append(shellQuote(base + ".stderr"));
  int status = std::system(command.c_str());
  BinaryRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.console = readFile(base + ".console");
  run.errors = readFile(base + ".stderr");
  for (const char *suffix : {".sh", ".stdin", ".console", ".stderr"})
    fs::remove(base + suffix);
  return run;
}

BinaryRun runBinary(const fs::path &dir, const std::vector<std::string> &args,
                    const std::string &stdinText,
                    const std::vector<std::string> &env) {
  std::string command;
  for (const std::string &setting : env) {
    std::size_t equals = setting.find('=');
    command.append(setting.substr(0, equals + 1))
        .append(shellQuote(setting.substr(equals + 1)))
        .append(" ");
  }
  command.append("\"$VELDRAN\"");
  for (const std::string &arg : args)
    command.append(" ").append(shellQuote(arg));
  return runScript(dir, command, stdinText);
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
