// Name scans of recorded body lines, remembered by where they start in the
// text storage. Stored text does not change while it stays below textTop,
// so a remembered scan holds until its text is given back (a repeat body
// or an executed line ending), when forgetScansFrom drops it.
#pragma once

#include "base/storage_area.h"

namespace veldran {

struct RememberedScan {
  std::uint32_t at = kNoEntry; // where the first byte read lies
  std::uint8_t taken = 0;      // currentChar when the scan began
  std::uint8_t ended = 0;      // currentChar behind the name
  std::uint16_t advance = 0;   // how far the read position moved
  bool found = false;
  Name name{};
};

struct ScanCache {
  std::array<RememberedScan, 256> scans{};
  // No remembered scan starts above this offset.
  std::uint32_t highest = 0;

  RememberedScan &slot(std::uint32_t at) {
    static_assert(sizeof scans / sizeof scans[0] == 256);
    return scans[(at * 0x9E3779B9u) >> 24];
  }
};

} // namespace veldran
