// libFuzzer target: runs a whole processor in-process on fuzzed bytes.
// The bytes are split at each "\n@@" into the input file, the command
// string, the console input and two files the input may INCLUDE (named A
// and B); a line budget ends endless repeat loops.
#include "driver/program.h"
#include "memory_platform.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kSeparator = "\n@@";
constexpr std::uint64_t kLineBudget = 500;

std::vector<std::string> splitParts(std::string_view data) {
  std::vector<std::string> parts;
  for (;;) {
    std::size_t at = data.find(kSeparator);
    parts.emplace_back(data.substr(0, at));
    if (at == std::string_view::npos || parts.size() == 5)
      return parts;
    data.remove_prefix(at + kSeparator.size());
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data,
                                      std::size_t size) {
  std::vector<std::string> parts =
      splitParts({reinterpret_cast<const char *>(data), size});
  veldran::MemoryPlatform platform;
  platform.files["TEST.INP"] = parts[0];
  std::vector<std::string> args = {"TEST.INP", "TEST.OUT"};
  if (parts.size() > 1 && !parts[1].empty())
    args.push_back(parts[1]);
  if (parts.size() > 2)
    platform.consoleInput = parts[2];
  if (parts.size() > 3)
    platform.files["A"] = parts[3];
  if (parts.size() > 4)
    platform.files["B"] = parts[4];
  veldran::RunLimits limits;
  limits.lineBudget = kLineBudget;
  veldran::runVeldran(platform, args, limits);
  return 0;
}
