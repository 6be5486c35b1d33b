// What every command routine has in common: its signature, what it tells
// the line loop, and the command numbers, which are the rows of the
// command table.
#pragma once

#include "base/run.h"

namespace veldran {

// What the line loop does after a command.
enum class Next {
  GoOn,     // scanning goes on behind what the command consumed
  LineDone, // the command consumed the line to its end
  Restart,  // the line is dropped; the next read step follows at once
};

using CommandRoutine = Next (*)(Run &);

enum CommandNumber {
  CMD_INT,
  CMD_TEXT,
  CMD_HEXA,
  CMD_TAB,
  CMD_CONT,
  CMD_SET,
  CMD_DEFT,
  CMD_INCLUDE,
  CMD_CANCEL,
  CMD_DISP,
  CMD_ACC,
  CMD_IIF,
  CMD_IF,
  CMD_IFT,
  CMD_IFF,
  CMD_IFTF,
  CMD_CEND,
  CMD_MACRO,
  CMD_MEND,
  CMD_MEXIT,
  CMD_MSET,
  CMD_MDEFT,
  CMD_RPT,
  CMD_RPTN,
  CMD_REND,
  CMD_REXIT,
  CMD_EXECUTE,
  CMD_CALL,
  CMD_COMPT,
  CMD_COUNT
};

// Sets the line mode Suppressed and skips the rest of the line: the line
// yields no output.
Next suppressLine(Run &run);
// Skips the rest of the line.
Next skipLine(Run &run);

} // namespace veldran
