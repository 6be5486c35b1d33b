// The integer expression evaluator: operator precedence over a work stack of
// 16-byte entries on the variable stack.
#pragma once

#include "driver/run.h"

namespace veldran {

// Evaluates the expression at currentChar; the value goes to the WorkEntry's
// value (0 after a reported error). `terminator` is ';' or ',' (a macro
// argument, which a blank or an unmatched ')' also ends).
void evaluate(Run &run, char terminator);

// Reads decimal digits from currentChar on; 0 when there are none.
std::int64_t readNumber(Run &run);

} // namespace veldran
