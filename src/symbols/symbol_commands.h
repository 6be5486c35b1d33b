// The commands that define variables: SET, MSET, DEFT, MDEFT and ACC.
#pragma once

#include "base/command.h"

namespace veldran {

Next cmdSet(Run &run);
Next cmdMset(Run &run);
Next cmdDeft(Run &run);
Next cmdMdeft(Run &run);
Next cmdAcc(Run &run);

// The end of a DEFT or MDEFT line: the collected text becomes the value.
void textLineEnd(Run &run);

} // namespace veldran
