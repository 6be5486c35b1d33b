// CONT, DISP, INCLUDE and CANCEL, and the line ends of DISP and INCLUDE.
#pragma once

#include "base/command.h"

namespace veldran {

Next cmdCont(Run &run);
Next cmdDisp(Run &run);
Next cmdInclude(Run &run);
Next cmdCancel(Run &run);

void displayLineEnd(Run &run);
void includeLineEnd(Run &run);

} // namespace veldran
