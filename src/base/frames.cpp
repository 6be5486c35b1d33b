#include "base/frames.h"

#include "base/byte_copy.h"
#include "base/symbol_table.h"

namespace veldran {

void saveKeptPrefix(Run &run) {
  auto k = static_cast<std::uint32_t>(run.keptLength);
  StorageArea &s = run.storage;
  if (k > 0) {
    reserveStack(run, k);
    copyBytes(s.at(s.stackTop), run.lineBuffer, k);
  }
  reserveStack(run, 4);
  s.write32(s.stackTop, static_cast<std::int32_t>(k));
}

void copyBackKeptPrefix(Run &run, std::uint32_t at) {
  StorageArea &s = run.storage;
  auto k = static_cast<std::uint32_t>(s.read32(at));
  copyBytes(run.lineBuffer, s.at(at + 4), k);
  run.keptLength = run.lineLength = static_cast<int>(k);
}

void restoreKeptPrefix(Run &run) {
  std::uint32_t size = savedPrefixSizeAt(run.storage, run.storage.stackTop);
  copyBackKeptPrefix(run, run.storage.stackTop);
  releaseStack(run, size);
}

void pushSavedCondition(Run &run, bool current) {
  reserveStack(run, kSavedConditionSize);
  *run.storage.at(run.storage.stackTop) = current;
}

bool popSavedCondition(Run &run) {
  bool current = *run.storage.at(run.storage.stackTop) != 0;
  releaseStack(run, kSavedConditionSize);
  return current;
}

void RepeatFrame::push(Run &run, std::uint32_t bodyStart) {
  reserveStack(run, kSize);
  run.storage.write32(run.storage.stackTop,
                      static_cast<std::int32_t>(bodyStart));
}

std::uint32_t RepeatFrame::bodyStart(const StorageArea &s) {
  return static_cast<std::uint32_t>(s.read32(s.stackTop));
}

void pushSavedName(Run &run, const Name &name) {
  reserveStack(run, kSavedNameSize);
  std::memcpy(run.storage.at(run.storage.stackTop), name.data(),
              kSavedNameSize);
}

Name popSavedName(Run &run) {
  Name name;
  std::memcpy(name.data(), run.storage.at(run.storage.stackTop),
              kSavedNameSize);
  releaseStack(run, kSavedNameSize);
  return name;
}

void StoredLine::append(Run &run, const std::uint8_t *bytes,
                        std::uint16_t length) {
  appendText(run, reinterpret_cast<const std::uint8_t *>(&length), kHeaderSize);
  appendText(run, bytes, length);
}

} // namespace veldran
