// EXECUTE (a built line processed once more), CALL (an external program)
// and COMPT (the rest of the line dropped).
#pragma once

#include "base/command.h"

namespace veldran {

Next cmdExecute(Run &run);
Next cmdCall(Run &run);
Next cmdCompt(Run &run);

// The end of an EXECUTE line: the line is stored and starts at once.
void executeLineEnd(Run &run);
// The end of a CALL line: the program runs.
void callLineEnd(Run &run);
// The end of an executed line's replay: the kept prefix saved by EXECUTE
// comes back into lineBuffer.
void endExecutedLine(Run &run);

} // namespace veldran
