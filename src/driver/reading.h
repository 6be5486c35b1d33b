// Reading lines from the input sources: files in large blocks, the
// command string, and (through replay.h) recorded bodies.
#pragma once

#include "base/run.h"

#include <string>

namespace veldran {

// Opens a file and pushes it as the new current source. Returns 0 or the
// system error code; nothing is pushed on failure.
int openInputFile(Run &run, const std::string &name);
// The same for standard input, named "-".
int openStandardInput(Run &run);

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
