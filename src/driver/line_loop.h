// The line loop: scanning each line, recognising commands, and the action
// of the line's mode at its end.
#pragma once

#include "base/run.h"

namespace veldran {

// Runs until no input source is left.
void runLineLoop(Run &run);

} // namespace veldran
