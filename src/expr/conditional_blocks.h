// Conditions and conditional blocks: the ConditionState, the block
// commands, and the saving and restoring of the state around replayed
// bodies.
#pragma once

#include "driver/run.h"

namespace veldran {

// Evaluates the condition behind IF or IIF into cond.result.
void evaluateCondition(Run &run);

// The 6-byte ConditionSave at `at`: saves the state and starts a body with
// no open blocks.
void bodyStart(Run &run, std::uint32_t at);
// Drops the blocks left open in a body and restores the state saved at its
// start from the ConditionSave on top of the variable stack. With
// `reportOpen` the open blocks are reported.
void bodyEnd(Run &run, bool reportOpen);

void endOfRunConditionCheck(Run &run);

} // namespace veldran
