// libFuzzer targets: run a whole processor in-process on fuzzed bytes.
// The bytes are split at each "\n@@" into the input file, the command
// string, the console input, two files the input may INCLUDE (named A and
// B) and a control part whose bytes choose the read chunk size, the disk
// space of the platform and the help for finding mistakes (--where,
// --trace, --warn). A line budget ends endless repeat loops.
//
// Built with VELDRAN_FUZZ_PATHS, the target runs the bytes twice, with and
// without the fast path for plain text, and stops when the two runs
// differ in their files, console or exit code.
#include "driver/program.h"
#include "memory_platform.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
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
    if (at == std::string_view::npos || parts.size() == 6)
      return parts;
    data.remove_prefix(at + kSeparator.size());
  }
}

struct Outcome {
  std::map<std::string, std::string> files;
  std::string console;
  int exitCode;
  bool operator==(const Outcome &) const = default;
};

// The control part's bytes: the read chunk size, two bytes of disk space,
// the bits of --where, --trace and --warn.
void applyControl(const std::string &control, veldran::MemoryPlatform &p,
                  veldran::RunOptions &options) {
  auto byte = [&](std::size_t i) {
    return i < control.size() ? static_cast<unsigned char>(control[i]) : 0u;
  };
  p.readChunk = byte(0);
  if (control.size() > 2)
    p.diskSpace = byte(1) * 256u + byte(2);
  options.where = byte(3) & 1;
  options.trace = byte(3) & 2;
  options.warn = byte(3) & 4;
}

Outcome runParts(const std::vector<std::string> &parts, bool fastPath) {
  veldran::MemoryPlatform platform;
  veldran::RunOptions options;
  platform.files[options.input] = parts[0];
  if (parts.size() > 1 && !parts[1].empty())
    options.commandString = parts[1];
  if (parts.size() > 2)
    platform.consoleInput = parts[2];
  if (parts.size() > 3)
    platform.files["A"] = parts[3];
  if (parts.size() > 4)
    platform.files["B"] = parts[4];
  if (parts.size() > 5)
    applyControl(parts[5], platform, options);
  options.limits.lineBudget = kLineBudget;
  options.limits.plainFastPath = fastPath;
  int exitCode = veldran::runVeldran(platform, options);
  return {platform.files, platform.console + platform.diagnostics, exitCode};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data,
                                      std::size_t size) {
  std::vector<std::string> parts =
      splitParts({reinterpret_cast<const char *>(data), size});
#ifdef VELDRAN_FUZZ_PATHS
  if (!(runParts(parts, true) == runParts(parts, false)))
    std::abort();
#else
  runParts(parts, true);
#endif
  return 0;
}
