// Name scans and command words of recorded body lines, remembered by where
// they start in the text storage. Stored text does not change while it stays
// below textTop, so a remembered scan holds until its text is given back (a
// repeat body or an executed line ending), when forgetScansFrom drops it.
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

// The word behind a command's '%', scanned as a name, with what the line
// loop found for it: its CommandTable row (-1: none) and its bit among the
// stored names (StorageArea::storedNameBits).
struct RememberedCommand {
  RememberedScan scan;
  std::int16_t row = -1;
  std::uint16_t nameBit = 0;
};

struct ScanCache {
  std::array<RememberedScan, 256> scans{};
  std::array<RememberedCommand, 256> commands{};
  // No remembered scan or command starts above this offset.
  std::uint32_t highest = 0;

  RememberedScan &slot(std::uint32_t at) {
    static_assert(sizeof scans / sizeof scans[0] == 256);
    return scans[(at * 0x9E3779B9u) >> 24];
  }
  void noteStart(std::uint32_t at) {
    if (at > highest)
      highest = at;
  }
  RememberedCommand &commandSlot(std::uint32_t at) {
    static_assert(sizeof commands / sizeof commands[0] == 256);
    return commands[(at * 0x9E3779B9u) >> 24];
  }
};

} // namespace veldran
