// Fetching the value of the variable whose name the scanner just put into
// the WorkEntry.
#pragma once

#include "driver/run.h"

namespace veldran {

// Leaves the number in the WorkEntry's value (0 after a reported error).
void fetchNumeric(Run &run);
// Leaves the text in the WorkEntry: obtained exactly when SYM_DEFINED is set.
void fetchText(Run &run);

} // namespace veldran
