// veldran [input [output [command-string]]]
#include "driver/run.h"
#include "platform/posix_platform.h"

#include <string>
#include <vector>

int main(int argc, char **argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() > 3)
    args.resize(3);
  veldran::PosixPlatform platform;
  return veldran::runVeldran(platform, args);
}
