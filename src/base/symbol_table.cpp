#include "base/symbol_table.h"

#include "base/messages.h"
#include "base/scanner.h"
#include "base/source_stack.h"
#include "base/system_variables.h"

namespace veldran {

namespace {

std::uint32_t tableCount(const Run &run, std::uint32_t table) {
  return static_cast<std::uint32_t>(run.storage.read32(table));
}

std::uint32_t tableEnd(const Run &run, std::uint32_t table) {
  return table + 4 + kEntrySize * tableCount(run, table);
}

// A name as two numbers whose order is the order of its bytes compared
// unsigned, so that a comparison costs two integer compares.
struct NameKey {
  std::uint64_t high;
  std::uint64_t low;

  explicit NameKey(const std::uint8_t *bytes) {
    std::memcpy(&high, bytes, 8);
    std::memcpy(&low, bytes + 8, 8);
    high = __builtin_bswap64(high);
    low = __builtin_bswap64(low);
  }
  bool operator==(const NameKey &o) const {
    return high == o.high && low == o.low;
  }
  bool operator<(const NameKey &o) const {
    return high < o.high || (high == o.high && low < o.low);
  }
};

// Outdates the remembered hits of the tables that changed: all of them, or
// all but the global table's.
void changeShape(StorageArea &s, bool globalTable) {
  if (globalTable)
    ++s.globalShape;
  ++s.tableShape;
}

void noteStoredName(StorageArea &s, const Name &name) {
  std::uint32_t bit = storedNameBit(name);
  s.storedNameBits[bit / 64] |= std::uint64_t{1} << (bit % 64);
}

// Binary search of one table; on a miss the result is the insertion point.
Lookup searchTable(const Run &run, std::uint32_t table, const NameKey &key) {
  std::uint32_t low = 0;
  std::uint32_t high = tableCount(run, table);
  const std::uint32_t first = table + 4;
  while (low < high) {
    std::uint32_t mid = low + (high - low) / 2;
    NameKey probe(run.storage.at(first + kEntrySize * mid));
    if (probe == key)
      return {true, first + kEntrySize * mid};
    if (probe < key)
      low = mid + 1;
    else
      high = mid;
  }
  return {false, first + kEntrySize * low};
}

// searchTable for a table of a few entries, which a macro's local table
// mostly is: a look at each entry from the first costs less than halving.
Lookup searchSmallTable(const Run &run, std::uint32_t table,
                        const NameKey &key) {
  constexpr std::uint32_t kSmall = 8;
  std::uint32_t count = tableCount(run, table);
  if (count > kSmall)
    return searchTable(run, table, key);
  std::uint32_t entry = table + 4;
  for (std::uint32_t i = 0; i < count; ++i, entry += kEntrySize) {
    NameKey probe(run.storage.at(entry));
    if (probe == key)
      return {true, entry};
    if (key < probe)
      break;
  }
  return {false, entry};
}

} // namespace

void initSymbols(Run &run) {
  StorageArea &s = run.storage;
  changeShape(s, true);
  s.write32(s.globalTable, static_cast<std::int32_t>(kSystemVariableCount));
  for (std::uint32_t i = 0; i < kSystemVariableCount; ++i) {
    SymbolEntry e;
    e.name = systemVariableName(i);
    e.flags = SYM_SYSTEM | (i == kInputFileNameVariable ? SYM_TEXT : 0);
    e.value = i;
    s.setEntry(s.globalTable + 4 + kEntrySize * i, e);
    noteStoredName(s, e.name);
  }
}

void stackExhausted(Run &run) {
  report(run, "Variablen-Speicher ist nicht gro\xE1 genug - Abbruch\n");
  abortRun(run, ExitCode::Stopped);
}

namespace {

Lookup searchTables(const Run &run, LookupScope scope, std::uint32_t table,
                    const Name &name) {
  const StorageArea &s = run.storage;
  NameKey key(reinterpret_cast<const std::uint8_t *>(name.data()));
  for (;;) {
    Lookup hit = searchTable(run, table, key);
    if (hit.found || scope != LookupScope::ALL || table == s.globalTable)
      return hit;
    table = tableEnd(run, table);
  }
}

} // namespace

Lookup searchSymbol(const Run &run, LookupScope scope, const Name &name) {
  const StorageArea &s = run.storage;
  LookupScope searched = searchedScope(s, scope);
  bool global = searched == LookupScope::GLOBAL;
  std::uint32_t first = firstTable(s, searched);
  Lookup hit = searchTables(run, scope, first, name);
  if (hit.found)
    s.recentHits[storedNameBit(name) % s.recentHits.size()] = {
        name, global ? s.globalShape : s.tableShape, hit.entry, first,
        searched};
  return hit;
}

std::uint32_t storeSymbol(Run &run, LookupScope scope, SymbolEntry entry) {
  StorageArea &s = run.storage;
  entry.flags |= SYM_DEFINED;
  // A store into the current table (a macro's parameters and MSET, MDEFT)
  // searches only that table.
  Lookup hit =
      scope == LookupScope::CURRENT
          ? searchSmallTable(run, s.currentTable,
                             NameKey(reinterpret_cast<const std::uint8_t *>(
                                 entry.name.data())))
          : lookupSymbol(run, scope, entry.name);
  if (hit.found) {
    SymbolEntry old = s.entry(hit.entry);
    if (old.flags & SYM_SYSTEM) {
      report(run, "System-Variable soll ge\x84ndert werden\n");
      return kNoEntry;
    }
    if ((old.flags ^ entry.flags) & SYM_TEXT) {
      if (old.flags & SYM_TEXT)
        report(run, "Text soll durch Variable \x81"
                    "berschrieben werden\n");
      else
        report(run, "Variable soll durch Text \x81"
                    "berschrieben werden\n");
      return kNoEntry;
    }
    s.setEntry(hit.entry, entry);
    return hit.entry;
  }
  reserveStack(run, kEntrySize);
  changeShape(s,
              scope == LookupScope::GLOBAL || s.currentTable == s.globalTable);
  s.moveRange(s.stackTop + kEntrySize, hit.entry, -std::int64_t{kEntrySize});
  s.currentTable -= kEntrySize;
  if (scope == LookupScope::GLOBAL) {
    s.globalTable -= kEntrySize;
    s.write32(s.globalTable, s.read32(s.globalTable) + 1);
  } else {
    s.write32(s.currentTable, s.read32(s.currentTable) + 1);
    ++s.localEntries;
  }
  noteStoredName(s, entry.name);
  std::uint32_t slot = hit.entry - kEntrySize;
  s.setEntry(slot, entry);
  return slot;
}

void openLocalTable(Run &run) {
  StorageArea &s = run.storage;
  reserveStack(run, 4);
  changeShape(s, false);
  s.moveRange(s.stackTop + 4, s.currentTable, -4);
  s.currentTable -= 4;
  s.write32(s.currentTable, 0);
}

void releaseLocalTable(Run &run) {
  StorageArea &s = run.storage;
  std::uint32_t count = tableCount(run, s.currentTable);
  std::uint32_t size = 4 + kEntrySize * count;
  s.localEntries -= count;
  changeShape(s, false);
  s.moveRange(s.stackTop, s.currentTable, size);
  s.currentTable += size;
  s.stackTop += size;
}

bool inMacro(const Run &run) {
  return run.storage.currentTable != run.storage.globalTable;
}

bool appendText(Run &run, const std::uint8_t *bytes, std::uint32_t n) {
  StorageArea &s = run.storage;
  if (n > s.freeBytes())
    return false;
  std::memcpy(s.at(s.textTop), bytes, n);
  s.textTop += n;
  return true;
}

void giveBackText(Run &run, std::uint32_t offset) {
  forgetScansFrom(run, offset);
  forgetParameterLists(run.parameterLists, offset);
  forgetExpressions(run.expressionCache, offset);
  run.storage.textTop = offset;
}

const std::uint8_t *fileNameBytes(Run &run) {
  return reinterpret_cast<const std::uint8_t *>(
      nearestFileSource(run).fileName.data());
}

} // namespace veldran
