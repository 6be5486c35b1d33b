// Pushing and popping input sources.
#pragma once

#include "base/run.h"

namespace veldran {

// Pushes a cleared record and makes it the current source.
InputSource &pushSource(Run &run, SourceKind kind = SourceKind::File);
// Pops the current source, closing its file.
void popSource(Run &run);
// The nearest source, from the top down, that is a file or the command
// string.
InputSource &nearestFileSource(Run &run);

} // namespace veldran
