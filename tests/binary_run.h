// Runs the veldran binary in a directory, as a user would from a shell.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace veldran::testing {

struct BinaryRun {
  int exitCode = -1;
  std::string console; // standard output
};

// Runs the binary built with the tests in `dir` with `args`, standard input
// empty.
BinaryRun runBinary(const std::filesystem::path &dir,
                    const std::vector<std::string> &args);

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

std::string readFile(const std::filesystem::path &p);

} // namespace veldran::testing
