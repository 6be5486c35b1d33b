// One run of the processor, from the command-line arguments to the exit
// code.
#pragma once

#include "base/run.h"

#include <string>
#include <vector>

namespace veldran {

// Runs the processor with the command-line arguments (without the program
// name) and returns the exit code.
int runVeldran(Platform &platform, const std::vector<std::string> &args,
               const RunLimits &limits = {});

} // namespace veldran
