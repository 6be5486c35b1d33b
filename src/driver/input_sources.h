// The stack of input sources and the reading of lines from them.
#pragma once

#include "driver/run.h"

namespace veldran {

InputSource &pushSource(Run &run);
void popSource(Run &run);

// Opens a file and pushes it as the new current source. Returns 0 or the
// system error code; nothing is pushed on failure.
int openInputFile(Run &run, const std::string &name);

// Puts the next line into the current source's buffer. Returns false when
// no source is left.
bool readStep(Run &run);
// Puts the window of a file source at `start` in its block: at most 256
// bytes from there, read from the start.
void setWindow(InputSource &src, std::uint32_t start);
// After a line: drops end-of-file marks and moves the unread bytes to the
// front of the buffer.
void sourceLineEndStep(Run &run);

} // namespace veldran
