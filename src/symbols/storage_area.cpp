#include "symbols/storage_area.h"

namespace veldran {

StorageArea::StorageArea() : bytes_(new std::uint8_t[kStorageSize]()) {}

} // namespace veldran
