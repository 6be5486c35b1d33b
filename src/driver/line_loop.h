// The line loop: scanning each line, recognising commands, and the action
// of the line's mode at its end.
#pragma once

#include "driver/run.h"

namespace veldran {

// Runs until no input source is left. With `commandString` the first line
// (the command string, already in the current source) is scanned at once.
void runLineLoop(Run &run, bool commandString);

// Remembers the `size` bytes at stackTop that a collecting command just
// pushed, with its saved kept prefix `prefixAt` bytes above stackTop, so
// that the line's end takes them off even when a later command changes the
// line's mode.
void trackCollection(Run &run, std::uint32_t size, std::uint32_t prefixAt);
// Takes a pending collection off the variable stack and puts its saved
// kept prefix back into lineBuffer.
void dropCollection(Run &run);

// The line mode that follows the conditional state: 'F' or '0', unless a
// body is being recorded or passed over.
void resetLineMode(Run &run);

// Writes lineBuffer to the output file.
void writeLine(Run &run);

} // namespace veldran
