// Helpers of the commands that collect the rest of their line (DISP,
// INCLUDE, DEFT, MDEFT, EXECUTE, CALL, a macro call).
#pragma once

#include "driver/run.h"

namespace veldran {

// Switches a normal line to `mode` and saves its kept prefix; a line
// already in another mode keeps it and nothing is pushed. Returns whether
// the mode was switched.
bool beginCollection(Run &run, char mode);
// Drops one trailing LF, then one trailing CR from lineBuffer.
void stripLineEnd(Run &run);

} // namespace veldran
