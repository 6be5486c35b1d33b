// Fetching the value of a variable by name, from the innermost table out.
// Undefined names and kind mismatches are reported; the command goes on.
#pragma once

#include "base/run.h"
#include "base/symbol_table.h"

#include <optional>

namespace veldran {

// fetchNumeric once the lookup is made: the value of a system variable, or
// a reported error.
std::int64_t fetchNumericEntry(Run &run, const Name &name, Lookup hit);
// The number, or 0 after a reported error. `nameBit` is the name's
// storedNameBit. A plain numeric variable is read inline, for the replays
// of kept expressions; the other fetches call.
inline std::int64_t fetchNumeric(Run &run, const Name &name,
                                 std::uint32_t nameBit) {
  Lookup hit = lookupSymbol(run, LookupScope::ALL, name, nameBit);
  if (hit.found) {
    SymbolEntry e = run.storage.entry(hit.entry);
    if (!(e.flags & (SYM_TEXT | SYM_SYSTEM)))
      return e.value;
  }
  return fetchNumericEntry(run, name, hit);
}
std::int64_t fetchNumeric(Run &run, const Name &name);
// fetchText once the lookup is made: the entry of a system variable, or a
// reported error.
std::optional<SymbolEntry> fetchTextEntry(Run &run, const Name &name,
                                          Lookup hit);
// The text variable's entry (its value is where the text begins, its
// length the text's length), or nothing after a reported error. A plain
// text variable is read inline.
inline std::optional<SymbolEntry> fetchText(Run &run, const Name &name) {
  Lookup hit = lookupSymbol(run, LookupScope::ALL, name);
  if (hit.found) {
    SymbolEntry e = run.storage.entry(hit.entry);
    if ((e.flags & (SYM_TEXT | SYM_SYSTEM)) == SYM_TEXT)
      return e;
  }
  return fetchTextEntry(run, name, hit);
}

} // namespace veldran
