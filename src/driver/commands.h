// The CommandTable and the routines it dispatches to. Every command has the
// same signature; its row in the table gives its class and whether it acts
// while the conditional state is inactive.
#pragma once

#include "driver/run.h"

namespace veldran {

// What the line loop does after a command.
enum class Next {
  GoOn,     // scanning goes on behind what the command consumed
  LineDone, // the command consumed the line to its end
  Restart,  // the line is dropped; the next read step follows at once
};

using CommandRoutine = Next (*)(Run &);

struct CommandRow {
  Name name;
  char commandClass;
  char actsWhenInactive;
  CommandRoutine routine;
};

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

extern const CommandRow CommandTable[CMD_COUNT];

// The row whose name equals the scanned name, or -1.
int findCommand(const Name &name);

Next cmdInt(Run &run);
Next cmdText(Run &run);
Next cmdHexa(Run &run);
Next cmdTab(Run &run);
Next cmdCont(Run &run);
Next cmdSet(Run &run);
Next cmdDeft(Run &run);
Next cmdInclude(Run &run);
Next cmdCancel(Run &run);
Next cmdDisp(Run &run);
Next cmdAcc(Run &run);
Next cmdIif(Run &run);
Next cmdIf(Run &run);
Next cmdIft(Run &run);
Next cmdIff(Run &run);
Next cmdIftf(Run &run);
Next cmdCend(Run &run);
Next cmdMacro(Run &run);
Next cmdMend(Run &run);
Next cmdMexit(Run &run);
Next cmdMset(Run &run);
Next cmdMdeft(Run &run);
Next cmdRpt(Run &run);
Next cmdRptn(Run &run);
Next cmdRend(Run &run);
Next cmdRexit(Run &run);
Next cmdExecute(Run &run);
Next cmdCall(Run &run);
Next cmdCompt(Run &run);

// Line-end actions of the modes that collect or record their line.
void displayLineEnd(Run &run);
void includeLineEnd(Run &run);
void textLineEnd(Run &run);
void macroCallLineEnd(Run &run);
void callLineEnd(Run &run);
void executeLineEnd(Run &run);
// The end of an executed line's replay: the kept prefix saved by EXECUTE
// comes back into lineBuffer.
void endExecutedLine(Run &run);
void recordLine(Run &run);

// A symbol's name used as a command: a macro call, or a message.
Next symbolAsCommand(Run &run, std::uint32_t entry);
// A command met while a body is recorded or passed over.
Next recordingCommand(Run &run, int row);

// Sets lineMode '0' and skips the rest of the line: the line yields no
// output.
Next suppressLine(Run &run);
// Skips the rest of the line.
Next skipLine(Run &run);

} // namespace veldran
