// The line loop: scanning each line, recognising commands, and the action
// of the line's mode at its end.
#pragma once

#include "base/run.h"

namespace veldran {

// Runs until no input source is left. With `commandString` the first line
// (the command string, already in the current source) is scanned at once.
void runLineLoop(Run &run, bool commandString);

} // namespace veldran
