// Replaying recorded bodies: macro bodies, repeat bodies and executed
// lines are read again through the line loop.
#pragma once

#include "driver/run.h"

namespace veldran {

// Puts the next stored line of the current replay source into its buffer,
// starting a new pass when one is due. Returns false when the source ended
// and was popped.
bool replayRead(Run &run);

// Leaves a body early (MEXIT, REXIT): what the body's line left on the
// variable stack is taken off and the caller's conditional state restored.
void leaveBody(Run &run);

// Consumes the rest of the line that started a replay (a REND line) in the
// source that is now current.
void skipRestOfStartingLine(Run &run);

} // namespace veldran
