// veldran [input [output [command-string]]]
// veldran --help | --version
#include "driver/program.h"
#include "platform/posix_platform.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: veldran [input [output [command-string]]]\n"
    "\n"
    "Processes the input file (default TEST.INP) and writes the output file\n"
    "(default TEST.OUT). The command string is processed as a first input\n"
    "line before the input file.\n"
    "\n"
    "  veldran --help     show this usage\n"
    "  veldran --version  show the version\n"
    "\n"
    "Exit codes: 0 done (or CANCEL); 1 the output could not be created,\n"
    "written or closed; 2 usage; 3 the input could not be opened or read;\n"
    "4 stopped early (storage or memory ran out, console input ended).\n"
    "Messages are in code page 850: veldran ... | iconv -f CP850\n";

} // namespace

int main(int argc, char **argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "--help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::printf("veldran %s\n", VELDRAN_VERSION);
    return 0;
  }
  if (args.size() > 3)
    args.resize(3);
  veldran::PosixPlatform platform;
  return veldran::runVeldran(platform, args);
}
