// Symbol tables on the variable stack: lookups, stores, local tables and the
// items that commands push.
#pragma once

#include "driver/run.h"

namespace veldran {

struct Lookup {
  bool found = false;
  std::uint32_t entry = kNoEntry; // the entry found, or the insertion point
};

// Lays out the global table with the ten system variables.
void initSymbols(Run &run);

// Moves stackTop down by n bytes; reports and abandons the run when the
// variable stack would meet the text storage.
void reserveStack(Run &run, std::uint32_t n);
// Moves stackTop up by n bytes.
void releaseStack(Run &run, std::uint32_t n);

Lookup lookupSymbol(const Run &run, LookupScope scope, const Name &name);
// Writes the WorkEntry into the tables of the scope. Returns the entry
// written, or kNoEntry when the store was refused with a message.
std::uint32_t storeSymbol(Run &run, LookupScope scope);
void openLocalTable(Run &run);
void releaseLocalTable(Run &run);
bool inMacro(const Run &run);

// Pushes the first keptLength bytes of lineBuffer and their length.
void saveKeptPrefix(Run &run);
// Pops a saved kept prefix into lineBuffer.
void restoreKeptPrefix(Run &run);

// Text storage append: false when the n bytes do not fit.
bool appendText(Run &run, const std::uint8_t *bytes, std::uint32_t n);

// The bytes of a text value that a fetch delivered.
const std::uint8_t *textBytes(Run &run, const SymbolEntry &entry);

} // namespace veldran
