// Symbol lookups, some of which are answered from the last hit of a name.
#include "base/scanner.h"
#include "base/symbol_table.h"
#include "memory_platform.h"

#include <gtest/gtest.h>

namespace veldran {
namespace {

// A lookup answered from the last hit of its name must give what a search
// of the tables gives, after every kind of change to them.
TEST(SymbolTable, RememberedHitsFollowEveryChangeOfTheTables) {
  MemoryPlatform platform;
  veldran::Run run{platform};
  initSymbols(run);
  auto store = [&](const char *name, LookupScope scope, std::int64_t value) {
    storeSymbol(run, scope, {makeName(name), 0, 0, value});
  };
  auto valueOf = [&](const char *name, LookupScope scope) -> std::int64_t {
    Lookup hit = lookupSymbol(run, scope, makeName(name));
    return hit.found ? run.storage.entry(hit.entry).value : -1;
  };
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

} // namespace
} // namespace veldran
