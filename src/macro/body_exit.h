// Leaving a replayed body early (MEXIT, REXIT).
#pragma once

#include "base/run.h"

namespace veldran {

// What the body's line left on the variable stack is taken off and the
// caller's conditional state restored; the line writes nothing.
void leaveBody(Run &run);

} // namespace veldran
