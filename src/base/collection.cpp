#include "base/collection.h"

#include "base/frames.h"
#include "base/symbol_table.h"

namespace veldran {

namespace {

// Remembers the `size` bytes at stackTop as the pending items, with the
// saved kept prefix `prefixAt` bytes above stackTop.
void track(Run &run, std::uint32_t size, std::uint32_t prefixAt) {
  PendingCollection &c = run.collection;
  c.pending = true;
  c.size = size;
  c.prefixAt = prefixAt;
  c.depth = run.storage.currentTable - (run.storage.stackTop + size);
}

std::uint32_t savedPrefixSize(const Run &run) {
  return keptPrefixSize(static_cast<std::uint32_t>(run.keptLength));
}

} // namespace

void beginCollection(Run &run, LineMode mode) {
  if (run.lineMode != LineMode::Normal)
    return;
  run.lineMode = mode;
  saveKeptPrefix(run);
  track(run, savedPrefixSize(run), 0);
}

void beginTextCollection(Run &run, const PendingTextTarget &target) {
  if (run.lineMode != LineMode::Normal)
    return;
  run.lineMode = LineMode::Text;
  saveKeptPrefix(run);
  reserveStack(run, kTextTargetWordSize);
  track(run, savedPrefixSize(run) + kTextTargetWordSize, kTextTargetWordSize);
  run.textTarget = target;
}

void beginCallCollection(Run &run, const SymbolEntry &macro) {
  dropCollection(run);
  reserveStack(run, kEntrySize);
  run.storage.setEntry(run.storage.stackTop, macro);
  saveKeptPrefix(run);
  track(run, savedPrefixSize(run) + kEntrySize, 0);
  run.lineMode = LineMode::Arguments;
}

void dropPendingCollection(Run &run) {
  PendingCollection &c = run.collection;
  StorageArea &s = run.storage;
  std::uint32_t low = s.currentTable - c.depth - c.size;
  copyBackKeptPrefix(run, low + c.prefixAt);
  s.moveRange(s.stackTop, low, c.size);
  s.stackTop += c.size;
  c.pending = false;
}

void collectPrefixOnly(Run &run) {
  track(run, savedPrefixSizeAt(run.storage, run.storage.stackTop), 0);
}

void handOverCollection(Run &run) { run.collection.pending = false; }

} // namespace veldran
