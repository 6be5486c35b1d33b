// Reading a macro's parameter list from its stored text.
#pragma once

#include "base/run.h"

namespace veldran {

// The steps of the parameter text of `length` bytes at `at`: read from
// the text, or kept from an earlier call of a macro stored there.
ParameterList &parameterList(Run &run, std::uint32_t at, std::uint32_t length);

} // namespace veldran
