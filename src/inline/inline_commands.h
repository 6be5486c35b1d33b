// The inline functions: commands that put text into the line where they
// stand.
#pragma once

#include "base/command.h"

namespace veldran {

Next cmdInt(Run &run);
Next cmdText(Run &run);
Next cmdHexa(Run &run);
Next cmdTab(Run &run);

} // namespace veldran
