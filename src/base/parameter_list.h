// A macro's parameter list as the binder meets it, read once from the
// stored text and kept outside the storage area for the next calls.
#pragma once

#include "base/expression_cache.h"

#include <vector>

namespace veldran {

enum class ParamType : std::uint8_t { MINT, MTEXT, MQUOTE };

// What is wrong with the list at a step, reported when the binding gets
// there: the parameters before it are bound first.
enum class ParamFault : std::uint8_t {
  None,
  NumberAsType, // a digit where the type begins
  InvalidType,  // a word that is no type
  NoColon,      // no ':' behind the type
  TooShort,     // the text ends behind the ':'
  NumberAsName, // a digit where the name begins
  BadSeparator, // neither ',' nor ')' behind the name
};

// One step of the binding: a parameter, or the fault that ends the list.
struct ParamStep {
  ParamFault fault = ParamFault::None;
  ParamType type = ParamType::MINT;
  // The byte behind the name (',' when another parameter follows), or the
  // byte a fault names.
  std::uint8_t byte = 0;
  // The parameter's name, or the word a fault names.
  Name name{};
  // An MINT parameter's argument at the last call.
  ExpressionByBytes argument;
};

// The steps read from the stored parameter text at `at`. Stored text does
// not change while it stays below textTop, so the steps hold until the
// text is given back, when forgetParameterLists drops them.
struct ParameterList {
  std::uint32_t at = kNoEntry;
  std::uint32_t length = 0;
  std::vector<ParamStep> steps;
};

// The lists of recently called macros, by where their text is stored.
using ParameterListCache = std::array<ParameterList, 16>;

// Drops the lists of text from `offset` on, which is given back.
inline void forgetParameterLists(ParameterListCache &lists,
                                 std::uint32_t offset) {
  for (ParameterList &list : lists)
    if (list.at != kNoEntry && list.at >= offset)
      list.at = kNoEntry;
}

} // namespace veldran
