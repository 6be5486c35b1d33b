// Runs the veldran binary in a directory of its own, as a user would from a
// shell.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace veldran::testing {

struct BinaryRun {
  int exitCode = -1;
  std::string console; // standard output
  std::string errors;  // standard error
};

// A fresh, empty directory under the system's temporary directory, named
// after `purpose` and the process, removed when the object goes.
class TempDir {
public:
  explicit TempDir(const std::string &purpose);
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::filesystem::path &path() const { return path_; }

private:
  std::filesystem::path path_;
};

// Runs a shell script in `dir` with `stdinText` as standard input and the
// binary built with the tests in $VELDRAN ($SANITIZED is 1 when it is
// built with the sanitizers). The exit code is -1 when a signal ended it.
BinaryRun runScript(const std::filesystem::path &dir, const std::string &script,
                    const std::string &stdinText = "");

// Runs the binary in `dir` with `args` and the NAME=VALUE settings of `env`
// added to its environment.
BinaryRun runBinary(const std::filesystem::path &dir,
                    const std::vector<std::string> &args,
                    const std::string &stdinText = "",
                    const std::vector<std::string> &env = {});

std::string readFile(const std::filesystem::path &p);
void writeFile(const std::filesystem::path &p, const std::string &bytes);

} // namespace veldran::testing
