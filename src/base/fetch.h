// Fetching the value of a variable by name, from the innermost table out.
// Undefined names and kind mismatches are reported; the command goes on.
#pragma once

#include "base/run.h"

#include <optional>

namespace veldran {

// The number, or 0 after a reported error. `nameBit` is the name's
// storedNameBit (base/symbol_table.h).
std::int64_t fetchNumeric(Run &run, const Name &name, std::uint32_t nameBit);
std::int64_t fetchNumeric(Run &run, const Name &name);
// The text variable's entry (its value is where the text begins, its
// length the text's length), or nothing after a reported error.
std::optional<SymbolEntry> fetchText(Run &run, const Name &name);

} // namespace veldran
