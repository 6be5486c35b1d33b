// The ten system variables: entries of the global table whose values are
// computed from the run's state at each fetch.
#pragma once

#include "driver/run.h"

namespace veldran {

constexpr std::uint32_t kInputFileNameVariable = 3;

Name systemVariableName(std::uint32_t number);
// Puts the current value of system variable `number` into the WorkEntry.
void systemValue(Run &run, std::int64_t number);
// The nearest source, from the top down, that is a file or the command
// string.
InputSource &nearestFileSource(Run &run);

} // namespace veldran
