// The ten system variables: entries of the global table whose values are
// computed from the run's state at each fetch.
#pragma once

#include "base/run.h"

namespace veldran {

constexpr std::uint32_t kInputFileNameVariable = 3;

Name systemVariableName(std::uint32_t number);
// Brings the entry of a system variable (its value holds the variable's
// number) up to date: its value, and for $INPFILN its text's length.
void systemValue(Run &run, SymbolEntry &entry);

} // namespace veldran
