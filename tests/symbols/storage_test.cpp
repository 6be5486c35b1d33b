// The storage area's byte accounting and the symbol-table operations,
// driven directly on a Run over the in-memory platform.
#include "base/frames.h"
#include "base/scanner.h"
#include "base/symbol_table.h"
#include "memory_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

namespace veldran {
namespace {

using Operation = void (*)(veldran::Run &);

struct Storage : ::testing::TestWithParam<std::pair<std::uint32_t, Operation>> {
  Storage() { initSymbols(run); }

  std::uint32_t store(const std::string &name, LookupScope scope,
                      std::int64_t value, std::uint32_t flags = 0) {
    return storeSymbol(run, scope, {makeName(name.c_str()), flags, 0, value});
  }
  std::int64_t valueOf(const char *name, LookupScope scope) {
    Lookup hit = lookupSymbol(run, scope, makeName(name));
    return hit.found ? s.entry(hit.entry).value : -1;
  }
  // Pushes an n-byte item of `fill` bytes. Items keep their distance below
  // the innermost table; the result tells whether the item is still whole.
  std::function<bool()> pushItem(std::uint32_t n, std::uint8_t fill) {
    reserveStack(run, n);
    std::memset(s.at(s.stackTop), fill, n);
    return [this, n, fill, depth = s.currentTable - s.stackTop] {
      const std::uint8_t *at = s.at(s.currentTable - depth);
      return std::all_of(at, at + n, [fill](auto b) { return b == fill; });
    };
  }

  MemoryPlatform platform;
  veldran::Run run{platform};
  StorageArea &s = run.storage;
};

TEST_F(Storage, TablesSortByUnsignedBytesAndMissesGiveTheInsertionPoint) {
  const std::pair<const char *, std::int64_t> kRanks[] = {
      {"\x9AX", 17}, {"A_", 13}, {"Z", 14}, {"A1", 11},   {"\x8E", 16},
      {"_", 15},     {"AB", 12}, {"A", 10}, {"$RC_OS", 8}};
  for (auto [name, rank] : kRanks)
    store(name, LookupScope::GLOBAL, rank);
  for (auto [name, rank] : kRanks)
    EXPECT_EQ(valueOf(name, LookupScope::ALL), rank) << name;
  for (std::uint32_t i = 0; i < 18; ++i) // system variables hold their index
    EXPECT_EQ(s.entry(s.globalTable + 4 + 32 * i).value, i);
  Lookup miss = lookupSymbol(run, LookupScope::ALL, makeName("B"));
  std::uint32_t z = s.globalTable + 4 + 32 * 14;
  EXPECT_TRUE(!miss.found && miss.entry == z);
  // Only the text bit is compared: a number replaces a macro in place.
  EXPECT_EQ(store("Z", LookupScope::GLOBAL, 2, SYM_MACRO), z);
  EXPECT_EQ(store("Z", LookupScope::GLOBAL, 3), z);
  EXPECT_EQ(store("Z", LookupScope::GLOBAL, 4, SYM_TEXT), kNoEntry);
  EXPECT_EQ(s.stackTop, (kStorageSize - kInitialGlobalTableSize) - 8 * 32);
}

TEST_F(Storage, LocalTablesHideGlobalsAndGlobalStoresShiftThemDown) {
  store("X", LookupScope::GLOBAL, 1);
  auto outer = pushItem(16, 0xA1);
  openLocalTable(run);
  store("X", LookupScope::CURRENT, 2);
  store("$DATE", LookupScope::CURRENT, 3);
  auto inner = pushItem(7, 0xB2);
  openLocalTable(run);
  for (int i = 0; i < 1100; ++i) // more bytes than 16 bits can count
    store(std::to_string(i).insert(0, 1, 'V'), LookupScope::CURRENT, i);
  EXPECT_EQ(valueOf("V1099", LookupScope::ALL), 1099);
  EXPECT_EQ(valueOf("X", LookupScope::ALL), 2);
  EXPECT_EQ(valueOf("$DATE", LookupScope::ALL), 3);
  store("G", LookupScope::GLOBAL, 4);
  releaseLocalTable(run);
  EXPECT_TRUE(outer() && inner());
  releaseLocalTable(run);
  EXPECT_EQ(s.currentTable, s.globalTable);
  EXPECT_EQ(valueOf("X", LookupScope::ALL), 1);
  EXPECT_EQ(valueOf("G", LookupScope::ALL), 4);
  EXPECT_TRUE(outer());
  EXPECT_EQ(s.stackTop,
            (kStorageSize - kInitialGlobalTableSize) - 2 * 32 - 16 - 7);
}

// A lookup answered from the last hit of its name must give what a search
// of the tables gives, after every kind of change to them.
TEST_F(Storage, RememberedHitsFollowEveryChangeOfTheTables) {
  store("X", LookupScope::GLOBAL, 1);
  EXPECT_EQ(valueOf("X", LookupScope::ALL), 1);
  store("Y", LookupScope::GLOBAL, 5); // sorts after X: X's entry moves down
  EXPECT_EQ(valueOf("X", LookupScope::ALL), 1);
  openLocalTable(run);
  store("X", LookupScope::CURRENT, 2);
  EXPECT_EQ(valueOf("X", LookupScope::GLOBAL), 1);
  EXPECT_EQ(valueOf("X", LookupScope::CURRENT), 2);
  openLocalTable(run); // a new, empty current table
  EXPECT_EQ(valueOf("X", LookupScope::CURRENT), -1);
  store("X", LookupScope::CURRENT, 3);
  EXPECT_EQ(valueOf("X", LookupScope::ALL), 3);
  releaseLocalTable(run);
  EXPECT_EQ(valueOf("X", LookupScope::ALL), 2);
  store("Z", LookupScope::GLOBAL, 6); // moves the local table down
  EXPECT_EQ(valueOf("X", LookupScope::ALL), 2);
  releaseLocalTable(run);
  EXPECT_EQ(valueOf("X", LookupScope::ALL), 1);
  EXPECT_EQ(valueOf("Z", LookupScope::ALL), 6);
}

// Each reservation may use up the last free byte; one byte more stops the
// run, whatever part of its items was already pushed.
TEST_P(Storage, MayUseUpTheLastFreeByte) {
  auto [need, operation] = GetParam();
  run.keptLength = 5;
  std::uint32_t top = s.stackTop;
  s.textTop = top - need + 1;
  EXPECT_THROW(operation(run), RunAborted);
  EXPECT_EQ(platform.console,
            "0/0 Variablen-Speicher ist nicht gro\xE1 genug - Abbruch\n");
  s.stackTop = top;
  s.textTop = top - need;
  operation(run);
  EXPECT_EQ(s.freeBytes(), 0u);
}
const std::pair<std::uint32_t, Operation> kReservations[] = {
    {100, [](veldran::Run &r) { reserveStack(r, 100); }},
    {4, [](veldran::Run &r) { openLocalTable(r); }},
    {9, [](veldran::Run &r) { saveKeptPrefix(r); }}, // 5 bytes and length
    {32,
     [](veldran::Run &r) {
       storeSymbol(r, LookupScope::GLOBAL, {makeName("A"), 0, 0, 0});
     }},
};
INSTANTIATE_TEST_SUITE_P(Reservations, Storage,
                         ::testing::ValuesIn(kReservations));

TEST_F(Storage, TextMayFillTheGapExactly) {
  static const std::uint8_t bytes[kStorageSize] = {};
  EXPECT_FALSE(appendText(run, bytes, s.stackTop + 1));
  EXPECT_TRUE(appendText(run, bytes, s.stackTop));
}

} // namespace
} // namespace veldran
