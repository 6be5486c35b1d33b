// The storage area's byte accounting and the symbol-table operations,
// driven directly on a Run over the in-memory platform.
#include "driver/run.h"
#include "driver/scanner.h"
#include "platform/memory_platform.h"
#include "symbols/symbol_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veldran {
namespace {

constexpr const char *kStackFull =
    "0/0 Variablen-Speicher ist nicht gro\xE1 genug - Abbruch\n";

class Storage : public ::testing::Test {
protected:
  Storage() { initSymbols(run); }

  StorageArea &s() { return run.storage; }

  std::uint32_t store(const std::string &name, LookupScope scope,
                      std::int64_t value, std::uint32_t flags = 0) {
    run.work = SymbolEntry{};
    run.work.name = makeName(name.c_str());
    run.work.flags = flags;
    run.work.value = value;
    return storeSymbol(run, scope);
  }

  std::vector<std::string> namesOf(std::uint32_t table) {
    std::vector<std::string> names;
    std::int32_t count = s().read32(table);
    for (std::int32_t i = 0; i < count; ++i) {
      Name n = s().entry(table + 4 + 32 * static_cast<std::uint32_t>(i)).name;
      names.emplace_back(n.data(), static_cast<std::size_t>(nameLength(n)));
    }
    return names;
  }

  // Pushes an n-byte item filled with `fill` and returns its position.
  std::uint32_t pushItem(std::uint32_t n, std::uint8_t fill) {
    reserveStack(run, n);
    std::memset(s().at(s().stackTop), fill, n);
    return s().stackTop;
  }

  bool itemIntact(std::uint32_t at, std::uint32_t n, std::uint8_t fill) {
    for (std::uint32_t i = 0; i < n; ++i)
      if (*s().at(at + i) != fill)
        return false;
    return true;
  }

  MemoryPlatform platform;
  veldran::Run run{platform};
};

TEST_F(Storage, StartsWithTheSystemTableAtTheTop) {
  EXPECT_EQ(s().stackTop, 1048252u);
  EXPECT_EQ(s().globalTable, 1048252u);
  EXPECT_EQ(s().currentTable, 1048252u);
  EXPECT_EQ(s().textTop, 0u);
  EXPECT_EQ(namesOf(s().globalTable),
            (std::vector<std::string>{"$COPYC", "$DATE", "$INPFCOU", "$INPFILN",
                                      "$LINE_A", "$LINE_FI", "$LINE_O",
                                      "$RC_LAST", "$RC_OS", "$TIME_E"}));
  SymbolEntry fileName = s().entry(s().globalTable + 4 + 32 * 3);
  EXPECT_EQ(fileName.flags, SYM_SYSTEM | SYM_TEXT);
  EXPECT_EQ(fileName.value, 3);
}

TEST_F(Storage, TablesSortByUnsignedBytesWithUmlautsLast) {
  for (const char *name : {"\x9A"
                           "X",
                           "A_", "Z", "A1", "\x8E", "_", "AB",
                           "\x99"
                           "Z",
                           "A", "B9", "$Z"})
    ASSERT_NE(store(name, LookupScope::GLOBAL, 1), kNoEntry);
  std::vector<std::string> names = namesOf(s().globalTable);
  std::vector<std::string> expected = {"$COPYC",
                                       "$DATE",
                                       "$INPFCOU",
                                       "$INPFILN",
                                       "$LINE_A",
                                       "$LINE_FI",
                                       "$LINE_O",
                                       "$RC_LAST",
                                       "$RC_OS",
                                       "$TIME_E",
                                       "$Z",
                                       "A",
                                       "A1",
                                       "AB",
                                       "A_",
                                       "B9",
                                       "Z",
                                       "_",
                                       "\x8E",
                                       "\x99"
                                       "Z",
                                       "\x9A"
                                       "X"};
  EXPECT_EQ(names, expected);
  EXPECT_EQ(s().globalTable, 1048252u - 11 * 32);
  EXPECT_EQ(s().stackTop, s().globalTable);
  for (const std::string &name : expected) {
    Lookup hit = lookupSymbol(run, LookupScope::ALL, makeName(name.c_str()));
    EXPECT_TRUE(hit.found) << name;
  }
}

TEST_F(Storage, MissGivesTheInsertionPoint) {
  store("B", LookupScope::GLOBAL, 1);
  std::uint32_t first = s().globalTable + 4;
  Lookup hit = lookupSymbol(run, LookupScope::GLOBAL, makeName("A"));
  EXPECT_FALSE(hit.found);
  EXPECT_EQ(hit.entry, first + 32 * 10); // in front of B
  hit = lookupSymbol(run, LookupScope::GLOBAL, makeName("C"));
  EXPECT_FALSE(hit.found);
  EXPECT_EQ(hit.entry, first + 32 * 11); // the table's end
}

TEST_F(Storage, StoreOverwritesAndRefuses) {
  std::uint32_t at = store("N", LookupScope::GLOBAL, 5);
  ASSERT_NE(at, kNoEntry);
  EXPECT_EQ(s().entry(at).flags, SYM_DEFINED);
  std::uint32_t top = s().stackTop;
  EXPECT_EQ(store("N", LookupScope::GLOBAL, 7), at);
  EXPECT_EQ(s().entry(at).value, 7);
  EXPECT_EQ(s().stackTop, top);

  EXPECT_EQ(store("N", LookupScope::GLOBAL, 0, SYM_TEXT), kNoEntry);
  store("T", LookupScope::GLOBAL, 0, SYM_TEXT);
  EXPECT_EQ(store("T", LookupScope::GLOBAL, 1), kNoEntry);
  EXPECT_EQ(store("$LINE_O", LookupScope::GLOBAL, 1), kNoEntry);
  EXPECT_EQ(store("$INPFILN", LookupScope::GLOBAL, 0, SYM_TEXT), kNoEntry);
  EXPECT_EQ(platform.console, "0/0 Variable soll durch Text \x81"
                              "berschrieben werden\n"
                              "0/0 Text soll durch Variable \x81"
                              "berschrieben werden\n"
                              "0/0 System-Variable soll ge\x84ndert werden\n"
                              "0/0 System-Variable soll ge\x84ndert werden\n");
  // T went in above N, so N moved down by one entry.
  EXPECT_EQ(s().entry(at - 32).value, 7);

  // Only the text bit is compared: a number replaces a macro.
  std::uint32_t macro = store("M", LookupScope::GLOBAL, 99, SYM_MACRO);
  EXPECT_EQ(store("M", LookupScope::GLOBAL, 3), macro);
  EXPECT_EQ(s().entry(macro).flags, SYM_DEFINED);
  EXPECT_EQ(s().entry(macro).value, 3);
}

TEST_F(Storage, GlobalInsertionShiftsEverythingBelowIt) {
  pushItem(16, 0xA1);
  openLocalTable(run);
  store("L", LookupScope::CURRENT, 1);
  // Opening the table and storing into it moved the item down below it.
  std::uint32_t outer = s().stackTop;
  EXPECT_EQ(outer, kGlobalTableStart - 16 - 4 - 32);
  EXPECT_TRUE(itemIntact(outer, 16, 0xA1));
  std::uint32_t inner = pushItem(7, 0xB2);
  std::uint32_t local = s().currentTable;

  store("G", LookupScope::GLOBAL, 2);
  EXPECT_EQ(s().currentTable, local - 32);
  EXPECT_EQ(s().globalTable, kGlobalTableStart - 32);
  EXPECT_TRUE(itemIntact(outer - 32, 16, 0xA1));
  EXPECT_TRUE(itemIntact(inner - 32, 7, 0xB2));
  EXPECT_EQ(s().stackTop, inner - 32);
  EXPECT_EQ(namesOf(s().currentTable), std::vector<std::string>{"L"});
  EXPECT_EQ(s().read32(s().globalTable), 11);
}

TEST_F(Storage, LocalTablesHideAndVanish) {
  store("X", LookupScope::GLOBAL, 1);
  std::uint32_t before = s().stackTop;
  openLocalTable(run);
  EXPECT_EQ(s().stackTop, before - 4);
  EXPECT_FALSE(lookupSymbol(run, LookupScope::CURRENT, makeName("X")).found);
  Lookup empty = lookupSymbol(run, LookupScope::CURRENT, makeName("A"));
  EXPECT_EQ(empty.entry, s().currentTable + 4);

  store("X", LookupScope::CURRENT, 2);
  store("$DATE", LookupScope::CURRENT, 3);
  Lookup hit = lookupSymbol(run, LookupScope::ALL, makeName("X"));
  EXPECT_EQ(s().entry(hit.entry).value, 2);
  hit = lookupSymbol(run, LookupScope::ALL, makeName("$DATE"));
  EXPECT_EQ(s().entry(hit.entry).flags, SYM_DEFINED);
  hit = lookupSymbol(run, LookupScope::GLOBAL, makeName("X"));
  EXPECT_EQ(s().entry(hit.entry).value, 1);
  // A global store from inside the macro lands in the global table.
  store("Y", LookupScope::GLOBAL, 4);

  releaseLocalTable(run);
  EXPECT_EQ(s().currentTable, s().globalTable);
  EXPECT_EQ(s().stackTop, before - 32);
  hit = lookupSymbol(run, LookupScope::ALL, makeName("X"));
  EXPECT_EQ(s().entry(hit.entry).value, 1);
  EXPECT_TRUE(lookupSymbol(run, LookupScope::ALL, makeName("Y")).found);
  EXPECT_EQ(
      s().entry(lookupSymbol(run, LookupScope::ALL, makeName("$DATE")).entry)
          .flags,
      SYM_SYSTEM);
}

TEST_F(Storage, NestedTablesSearchOutward) {
  store("A", LookupScope::GLOBAL, 1);
  openLocalTable(run);
  store("B", LookupScope::CURRENT, 2);
  openLocalTable(run);
  store("C", LookupScope::CURRENT, 3);
  for (const char *name : {"A", "B", "C"})
    EXPECT_TRUE(lookupSymbol(run, LookupScope::ALL, makeName(name)).found);
  EXPECT_FALSE(lookupSymbol(run, LookupScope::CURRENT, makeName("B")).found);
  releaseLocalTable(run);
  EXPECT_FALSE(lookupSymbol(run, LookupScope::ALL, makeName("C")).found);
  EXPECT_TRUE(lookupSymbol(run, LookupScope::ALL, makeName("B")).found);
}

TEST_F(Storage, LocalTableBeyond1023EntriesIsReleasedWhole) {
  std::uint32_t item = pushItem(6, 0xC3);
  std::uint32_t top = s().stackTop;
  openLocalTable(run);
  const int count = 1100;
  for (int i = count - 1; i >= 0; --i) {
    std::string name = "V";
    name += std::to_string(i);
    ASSERT_NE(store(name, LookupScope::CURRENT, i), kNoEntry);
  }
  EXPECT_EQ(s().read32(s().currentTable), count);
  EXPECT_EQ(s().stackTop, top - 4 - 32 * count);
  EXPECT_TRUE(itemIntact(s().stackTop, 6, 0xC3));
  Lookup hit = lookupSymbol(run, LookupScope::ALL, makeName("V1099"));
  ASSERT_TRUE(hit.found);
  EXPECT_EQ(s().entry(hit.entry).value, 1099);

  releaseLocalTable(run);
  EXPECT_EQ(s().stackTop, top);
  EXPECT_EQ(s().currentTable, kGlobalTableStart);
  EXPECT_TRUE(itemIntact(item, 6, 0xC3));
}

TEST_F(Storage, KeptPrefixIsSavedWithItsLengthBelow) {
  std::memcpy(run.lineBuffer, "abcdef", 6);
  run.keptLength = 3;
  run.lineLength = 6;
  saveKeptPrefix(run);
  EXPECT_EQ(s().stackTop, kGlobalTableStart - 7);
  EXPECT_EQ(s().read32(s().stackTop), 3);
  run.lineLength = 0;
  restoreKeptPrefix(run);
  EXPECT_EQ(s().stackTop, kGlobalTableStart);
  EXPECT_EQ(run.lineLength, 3);
  EXPECT_EQ(run.keptLength, 3);
  EXPECT_EQ(std::memcmp(run.lineBuffer, "abc", 3), 0);

  run.keptLength = 0;
  saveKeptPrefix(run);
  EXPECT_EQ(s().stackTop, kGlobalTableStart - 4);
}

TEST_F(Storage, ReservationMayLeaveExactlyNothing) {
  s().textTop = s().stackTop - 100;
  reserveStack(run, 100);
  EXPECT_EQ(s().freeBytes(), 0u);
  EXPECT_EQ(platform.console, "");
  EXPECT_THROW(reserveStack(run, 1), RunAborted);
  EXPECT_EQ(platform.console, kStackFull);
}

TEST_F(Storage, StoreNeedsAWholeEntry) {
  s().textTop = s().stackTop - 32;
  ASSERT_NE(store("A", LookupScope::GLOBAL, 1), kNoEntry);
  EXPECT_EQ(s().freeBytes(), 0u);
  // Overwriting needs no room.
  EXPECT_NE(store("A", LookupScope::GLOBAL, 2), kNoEntry);
  EXPECT_THROW(store("B", LookupScope::GLOBAL, 1), RunAborted);
  EXPECT_EQ(platform.console, kStackFull);

  MemoryPlatform other;
  veldran::Run second{other};
  initSymbols(second);
  second.storage.textTop = second.storage.stackTop - 31;
  second.work = SymbolEntry{};
  second.work.name = makeName("A");
  EXPECT_THROW(storeSymbol(second, LookupScope::GLOBAL), RunAborted);
  EXPECT_EQ(other.console, kStackFull);
}

TEST_F(Storage, LocalTableAndKeptPrefixNeedTheirBytes) {
  s().textTop = s().stackTop - 4;
  openLocalTable(run);
  EXPECT_EQ(s().freeBytes(), 0u);
  releaseLocalTable(run);

  run.keptLength = 5;
  s().textTop = s().stackTop - 9;
  saveKeptPrefix(run);
  EXPECT_EQ(s().freeBytes(), 0u);
  restoreKeptPrefix(run);
  s().textTop += 1;
  EXPECT_THROW(saveKeptPrefix(run), RunAborted);
  EXPECT_EQ(platform.console, kStackFull);
}

TEST_F(Storage, TextAppendMayFillTheGapExactly) {
  std::vector<std::uint8_t> bytes(s().stackTop, 'x');
  EXPECT_FALSE(appendText(run, bytes.data(), s().stackTop + 1));
  EXPECT_EQ(s().textTop, 0u);
  EXPECT_TRUE(appendText(run, bytes.data(), s().stackTop));
  EXPECT_EQ(s().freeBytes(), 0u);
}

} // namespace
} // namespace veldran
