// Replaying recorded bodies: macro bodies, repeat bodies and executed
// lines are read again through the line loop.
#pragma once

#include "base/run.h"

namespace veldran {

// Puts the next stored line of the current replay source into its buffer,
// starting a new pass when one is due. Returns false when the source ended
// and was popped.
bool replayRead(Run &run);

} // namespace veldran
