// The integer expression evaluator: operator precedence over a work stack of
// 16-byte entries on the variable stack. An expression of a recorded body
// line is evaluated once from its bytes; its steps are kept in the run
// (base/expression_cache.h) and taken again while the text stays recorded.
#pragma once

#include "base/run.h"

namespace veldran {

struct Evaluation {
  std::int64_t value = 0; // 0 after a reported error
  // The byte at the last operator step: what ended the expression (';',
  // ',', ')' or a blank). After an error found before the first operator
  // step it is the separator of the expression evaluated before.
  std::uint8_t separator = 0;
};

// Evaluates the expression at currentChar. `terminator` is ';' or ',' (a
// macro argument, which a blank or an unmatched ')' also ends). Overwrites
// scannedName. Afterwards currentChar is ';' and the read position stands
// behind what ended the expression.
Evaluation evaluate(Run &run, char terminator);
// evaluate for text that is read again, but not from a recorded body line:
// its steps are kept in `kept` with the bytes they were read from, and
// taken again while the same bytes stand at the read position.
Evaluation evaluateAgain(Run &run, char terminator, ExpressionByBytes &kept);

// Reads decimal digits from currentChar on; 0 when there are none.
std::int64_t readNumber(Run &run);

} // namespace veldran
