#include "symbols/storage_area.h"

namespace veldran {

namespace {

// One area given back by the last run, kept for the next: processes that
// run many processors in turn (the tests, the fuzzer) then do not map and
// unmap a fresh megabyte each time.
thread_local std::unique_ptr<std::uint8_t[]> spareArea;

} // namespace

StorageArea::StorageArea() {
  if (spareArea) {
    bytes_ = std::move(spareArea);
    std::memset(bytes_.get(), 0, kStorageSize);
  } else {
    bytes_.reset(new std::uint8_t[kStorageSize]());
  }
}

StorageArea::~StorageArea() { spareArea = std::move(bytes_); }

} // namespace veldran
