// Macros and repeat blocks: recording bodies, calls with their arguments,
// and the commands that end a body early.
#pragma once

#include "base/command.h"

namespace veldran {

Next cmdMacro(Run &run);
Next cmdMend(Run &run);
Next cmdMexit(Run &run);
Next cmdRpt(Run &run);
Next cmdRptn(Run &run);
Next cmdRend(Run &run);
Next cmdRexit(Run &run);

// A command met while a body is recorded or passed over.
Next recordingCommand(Run &run, CommandNumber command);
// The end of a line in a recording mode: the line goes into the body.
void recordLine(Run &run);
// A body ended while a MACRO or RPT/RPTN recording that began inside it
// was still open: the recording is abandoned and its frame taken off.
void abandonRecording(Run &run);

// A symbol's name used as a command: a macro call, or a message.
Next symbolAsCommand(Run &run, std::uint32_t entry);
// The end of a macro call's line: the arguments are bound and the body
// starts.
void macroCallLineEnd(Run &run);

// Consumes the rest of the line that started a repeat replay (the REND
// line) in the source that is now current.
void skipRestOfRendLine(Run &run);

} // namespace veldran
