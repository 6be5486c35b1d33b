// Conditions and conditional blocks: the block commands, and the saving
// and restoring of the conditional state around replayed bodies.
#pragma once

#include "base/command.h"
#include "base/frames.h"

namespace veldran {

Next cmdIif(Run &run);
Next cmdIf(Run &run);
Next cmdIft(Run &run);
Next cmdIff(Run &run);
Next cmdIftf(Run &run);
Next cmdCend(Run &run);

// Writes the caller's conditional state into the ConditionSave at `at`
// and starts a body with no open blocks.
void bodyStart(Run &run, std::uint32_t at);
// Drops the blocks left open in a body and restores the state saved at its
// start from the ConditionSave on top of the variable stack, which comes
// off. With `reportOpen` the open blocks are reported.
void bodyEnd(Run &run, bool reportOpen);
// Restores the caller's conditional state from a ConditionSave without
// taking anything off the stack: the blocks of the body are forgotten.
void restoreConditions(Run &run, const ConditionSave &save);

void endOfRunConditionCheck(Run &run);

} // namespace veldran
