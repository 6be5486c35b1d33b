#include "base/storage_area.h"

namespace veldran {

namespace {

// One default-sized area given back by the last run, kept for the next:
// processes that run many processors in turn (the tests, the fuzzer) then
// do not map and unmap a fresh megabyte each time.
thread_local std::unique_ptr<std::uint8_t[]> spareArea;

} // namespace

StorageArea::StorageArea(std::uint32_t size)
    : stackTop(size - kInitialGlobalTableSize), globalTable(stackTop),
      currentTable(stackTop), size_(size) {
  if (size == kStorageSize && spareArea) {
    bytes_ = std::move(spareArea);
    std::memset(bytes_.get(), 0, size);
  } else {
    bytes_.reset(new std::uint8_t[size]());
  }
}

StorageArea::~StorageArea() {
  if (size_ == kStorageSize)
    spareArea = std::move(bytes_);
}

} // namespace veldran
