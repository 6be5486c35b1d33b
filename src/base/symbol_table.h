// Symbol tables on the variable stack: reservations, lookups, stores,
// local tables, and appends to the text storage.
#pragma once

#include "base/run.h"

namespace veldran {

struct Lookup {
  bool found = false;
  std::uint32_t entry = kNoEntry; // the entry found, or the insertion point
};

// Lays out the global table with the ten system variables.
void initSymbols(Run &run);

// Reports that the variable stack met the text storage and abandons the run.
[[noreturn]] void stackExhausted(Run &run);
// Moves stackTop down by n bytes; reports and abandons the run when the
// variable stack would meet the text storage.
inline void reserveStack(Run &run, std::uint32_t n) {
  StorageArea &s = run.storage;
  if (static_cast<std::int64_t>(s.stackTop) - n <
      static_cast<std::int64_t>(s.textTop))
    stackExhausted(run);
  s.stackTop -= n;
}
// Moves stackTop up by n bytes.
inline void releaseStack(Run &run, std::uint32_t n) {
  run.storage.stackTop += n;
}

// The bit of a name in StorageArea::storedNameBits.
inline std::uint32_t storedNameBit(const Name &name) {
  std::uint64_t high;
  std::uint64_t low;
  std::memcpy(&high, name.data(), 8);
  std::memcpy(&low, name.data() + 8, 8);
  return static_cast<std::uint32_t>(
      ((high ^ (low * 31)) * 0x9E3779B97F4A7C15ull) >> 52);
}
// The tables a lookup of `scope` searches: while every local table is
// empty, only the global table can hold a name, so that deep recursions of
// macros without parameters stay fast.
inline LookupScope searchedScope(const StorageArea &s, LookupScope scope) {
  return scope == LookupScope::ALL && s.localEntries == 0 ? LookupScope::GLOBAL
                                                          : scope;
}
// Searches the tables of `scope` and remembers a hit.
Lookup searchSymbol(const Run &run, LookupScope scope, const Name &name);
// The shape stamp of the tables a lookup of the searched scope uses.
inline std::uint64_t searchedShape(const StorageArea &s, LookupScope searched) {
  return searched == LookupScope::GLOBAL ? s.globalShape : s.tableShape;
}
// The table a lookup of the searched scope looks in first.
inline std::uint32_t firstTable(const StorageArea &s, LookupScope searched) {
  return searched == LookupScope::GLOBAL ? s.globalTable : s.currentTable;
}
// Whether a remembered hit lies in the table searched first and that
// table still holds its name there: a search would find it again, since
// a table holds a name once. A local table opened anew where the last one
// was keeps the hits of its names, whatever else changed.
inline bool stillInFirstTable(const StorageArea &s, const RememberedHit &hit) {
  std::uint32_t table = hit.firstTable;
  std::uint32_t end =
      table + 4 + kEntrySize * static_cast<std::uint32_t>(s.read32(table));
  return hit.entry > table && hit.entry < end &&
         std::memcmp(s.at(hit.entry), hit.name.data(), kNameLength) == 0;
}
// The entry of `name`, or on a miss the insertion point. A remembered hit
// answers while the tables it searched keep their shape, or while it is
// still in the table searched first.
// `nameBit` is the name's storedNameBit, which a caller may have kept.
inline Lookup lookupSymbol(const Run &run, LookupScope scope, const Name &name,
                           std::uint32_t nameBit) {
  const StorageArea &s = run.storage;
  LookupScope searched = searchedScope(s, scope);
  const RememberedHit &last = s.recentHits[nameBit % s.recentHits.size()];
  if (last.name == name && last.searched == searched) {
    if (last.shape == searchedShape(s, searched) ||
        (last.firstTable == firstTable(s, searched) &&
         stillInFirstTable(s, last)))
      return {true, last.entry};
  }
  return searchSymbol(run, scope, name);
}
inline Lookup lookupSymbol(const Run &run, LookupScope scope,
                           const Name &name) {
  return lookupSymbol(run, scope, name, storedNameBit(name));
}
// Writes `entry`, with SYM_DEFINED added, into the tables of the scope.
// Returns where it was written, or kNoEntry when the store was refused
// with a message (a system variable, or a text against a number).
std::uint32_t storeSymbol(Run &run, LookupScope scope, SymbolEntry entry);
// False when `name` has certainly never been stored: a lookup of it in any
// scope misses. Cheaper than the lookup.
inline bool mayBeStored(const StorageArea &s, std::uint32_t nameBit) {
  return (s.storedNameBits[nameBit / 64] >> (nameBit % 64)) & 1;
}
inline bool mayBeStored(const StorageArea &s, const Name &name) {
  return mayBeStored(s, storedNameBit(name));
}
void openLocalTable(Run &run);
void releaseLocalTable(Run &run);
bool inMacro(const Run &run);

// Text storage append: false when the n bytes do not fit.
bool appendText(Run &run, const std::uint8_t *bytes, std::uint32_t n);
// Gives back the text from `offset` to textTop, which becomes `offset`.
void giveBackText(Run &run, std::uint32_t offset);

// The bytes of $INPFILN's value: the name of the nearest file read.
const std::uint8_t *fileNameBytes(Run &run);
// The bytes of a text value that a fetch delivered.
inline const std::uint8_t *textBytes(Run &run, const SymbolEntry &entry) {
  if (entry.value == kFileNameText)
    return fileNameBytes(run);
  return run.storage.at(static_cast<std::uint32_t>(entry.value));
}

} // namespace veldran
