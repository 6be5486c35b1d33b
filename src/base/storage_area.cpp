#include "base/storage_area.h"

#include <cstdlib>
#include <new>

namespace veldran {

namespace {

// One default-sized area given back by the last run, kept for the next:
// processes that run many processors in turn (the tests, the fuzzer) then
// do not map and unmap a fresh megabyte each time.
thread_local StorageArea::Bytes spareArea;

} // namespace

StorageArea::StorageArea(std::uint32_t size)
    : stackTop(size - kInitialGlobalTableSize), globalTable(stackTop),
      currentTable(stackTop), size_(size) {
  if (size == kStorageSize && spareArea) {
    bytes_ = std::move(spareArea);
    std::memset(bytes_.get(), 0, size);
  } else {
    // A fresh area comes zeroed from the system, page by page as it is
    // first touched: most runs never touch most of it.
    bytes_.reset(static_cast<std::uint8_t *>(std::calloc(size, 1)));
    if (!bytes_)
      throw std::bad_alloc();
  }
}

StorageArea::~StorageArea() {
  if (size_ == kStorageSize)
    spareArea = std::move(bytes_);
}

} // namespace veldran
