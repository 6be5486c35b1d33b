// The CommandTable: every command's name, class, whether it acts while
// the conditional state is inactive, and its routine. A command's row is
// its CommandNumber.
#pragma once

#include "base/command.h"

namespace veldran {

struct CommandRow {
  Name name;
  CommandClass commandClass;
  bool actsWhenInactive;
  CommandRoutine routine;
};

extern const CommandRow CommandTable[CMD_COUNT];

// The row whose name equals `name`, or -1.
int findCommand(const Name &name);

} // namespace veldran
