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

// A scan of a short name in a line that is not stored, remembered by the
// eight bytes it could look at: currentChar and the seven bytes behind it.
// A scan that ends within them reads nothing else, so the same bytes give
// the same scan wherever they stand, and the scan never needs forgetting.
struct RememberedBytes {
  std::uint64_t bytes = 0;
  std::uint8_t advance = 0; // how far the read position moved; 0: empty
  std::uint8_t ended = 0;   // currentChar behind the name
  bool found = false;
  Name name{};
};

// A command word of a line that is not stored, remembered by its bytes.
struct RememberedWord {
  RememberedBytes scan;
  std::int16_t row = -1;
  std::uint16_t nameBit = 0;
};

struct ScanCache {
  std::array<RememberedScan, 256> scans{};
  std::array<RememberedCommand, 256> commands{};
  std::array<RememberedBytes, 64> byBytes{};
  std::array<RememberedWord, 64> wordsByBytes{};
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
  RememberedBytes &bytesSlot(std::uint64_t bytes) {
    static_assert(sizeof byBytes / sizeof byBytes[0] == 64);
    return byBytes[(bytes * 0x9E3779B97F4A7C15ull) >> 58];
  }
  RememberedWord &wordSlot(std::uint64_t bytes) {
    static_assert(sizeof wordsByBytes / sizeof wordsByBytes[0] == 64);
    return wordsByBytes[(bytes * 0x9E3779B97F4A7C15ull) >> 58];
  }
  RememberedCommand &commandSlot(std::uint32_t at) {
    static_assert(sizeof commands / sizeof commands[0] == 256);
    return commands[(at * 0x9E3779B9u) >> 24];
  }
};

} // namespace veldran
