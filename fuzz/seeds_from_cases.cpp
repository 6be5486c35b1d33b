// Writes one fuzzer seed per end-to-end case: the input file, the command
// string, the console input and the files named A and B, joined by "\n@@"
// as the fuzz target splits them.
#include "case_file.h"

#include <filesystem>
#include <fstream>
#include <iostream>

namespace fs = std::filesystem;
using veldran::testing::Case;

namespace {

std::string fileOf(const Case &c, const std::string &name) {
  for (const auto &[n, bytes] : c.files)
    if (n == name)
      return bytes;
  return "";
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::cerr << "usage: seeds_from_cases CASES_DIR SEED_DIR\n";
    return 2;
  }
  fs::create_directories(argv[2]);
  int count = 0;
  for (const auto &entry : fs::directory_iterator(argv[1])) {
    if (entry.path().extension() != ".case")
      continue;
    for (const Case &c : veldran::testing::parseCaseFile(entry.path())) {
      std::string input = c.args.empty() ? "TEST.INP" : c.args[0];
      std::string seed = fileOf(c, input) + "\n@@" +
                         c.commandString.value_or("") + "\n@@" + c.stdinText +
                         "\n@@" + fileOf(c, "A") + "\n@@" + fileOf(c, "B");
      std::ofstream(fs::path(argv[2]) / ("seed" + std::to_string(count++)),
                    std::ios::binary)
          << seed;
    }
  }
  std::cout << count << " seeds\n";
  return 0;
}
