// One run of the processor, from its options to the exit code.
#pragma once

#include "base/run.h"

#include <string>
#include <vector>

namespace veldran {

// Runs the processor and returns the exit code.
int runVeldran(Platform &platform, const RunOptions &options);

// The run of the three positional arguments: input, output, command string.
int runVeldran(Platform &platform, const std::vector<std::string> &args,
               const RunLimits &limits = {});

} // namespace veldran
