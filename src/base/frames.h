// The items that commands push on the variable stack. Each is reserved
// with reserveStack and taken off in the reverse order of pushing; each
// layout is written and read only here.
#pragma once

#include "base/run.h"

namespace veldran {

// A saved kept prefix: the prefix's bytes, with their 32-bit length below
// them (at the lower address).
constexpr std::uint32_t keptPrefixSize(std::uint32_t length) {
  return length + 4;
}
// Pushes the first keptLength bytes of lineBuffer and their length.
void saveKeptPrefix(Run &run);
// The size of the saved prefix item at `at`.
inline std::uint32_t savedPrefixSizeAt(const StorageArea &s, std::uint32_t at) {
  return keptPrefixSize(static_cast<std::uint32_t>(s.read32(at)));
}
// Copies the saved prefix at `at` back into lineBuffer; keptLength and
// lineLength become its length. The item stays where it is.
void copyBackKeptPrefix(Run &run, std::uint32_t at);
// Pops the saved prefix on top of the stack back into lineBuffer.
void restoreKeptPrefix(Run &run);

// The condition of the enclosing block, saved by an IF while it is open.
constexpr std::uint32_t kSavedConditionSize = 1;
void pushSavedCondition(Run &run, bool current);
bool popSavedCondition(Run &run);

// The caller's conditional state, saved when a replayed body starts and
// restored when it ends: the active depth, the current condition and the
// active flag.
struct ConditionSave {
  static constexpr std::uint32_t kSize = 6;
  std::int32_t activeDepth = 0;
  bool current = false;
  bool active = true;

  static ConditionSave read(const StorageArea &s, std::uint32_t at) {
    return {s.read32(at), *s.at(at + 4) != 0, *s.at(at + 5) != 0};
  }
  void write(StorageArea &s, std::uint32_t at) const {
    s.write32(at, activeDepth);
    *s.at(at + 4) = current;
    *s.at(at + 5) = active;
  }
};

// The frame of a repeat block being recorded: where its body starts in the
// text storage, then a count word. The count itself, 64 bits wide, is kept
// in Run::repeatCount, since only one body is recorded at a time. REND
// turns the frame into the body's ConditionSave.
struct RepeatFrame {
  static constexpr std::uint32_t kSize = 8;
  static void push(Run &run, std::uint32_t bodyStart);
  static std::uint32_t bodyStart(const StorageArea &s);
};

// A name kept across the scan of the rest of a command (SET, MSET, DEFT,
// MDEFT), which overwrites scannedName.
constexpr std::uint32_t kSavedNameSize = kNameLength;
void pushSavedName(Run &run, const Name &name);
Name popSavedName(Run &run);

// The word pushed for the text target of a DEFT or MDEFT line. The target
// itself is kept by identity in Run::textTarget.
constexpr std::uint32_t kTextTargetWordSize = 4;

// Reservations whose bytes nothing reads: the work records of INT and
// TEXT and the saved name of a MINT argument (the binder keeps the name
// itself). They are made so that storage runs out where it always did.
constexpr std::uint32_t kIntWorkRecordSize = 16;
constexpr std::uint32_t kTextWorkRecordSize = 8;
constexpr std::uint32_t kMintSavedNameSize = kNameLength;

// The unit of every recorded body in the text storage: a 16-bit length,
// then that many bytes of line text without its line end.
struct StoredLine {
  static constexpr std::uint32_t kHeaderSize = 2;
  static constexpr std::uint32_t size(std::uint32_t length) {
    return kHeaderSize + length;
  }
  std::uint16_t length = 0;
  std::uint32_t text = 0; // where the bytes begin
  std::uint32_t next = 0; // where the next stored line begins

  static StoredLine read(const StorageArea &s, std::uint32_t at) {
    StoredLine line;
    std::memcpy(&line.length, s.at(at), kHeaderSize);
    line.text = at + kHeaderSize;
    line.next = line.text + line.length;
    return line;
  }
  // Appends a stored line at textTop; the caller has checked the room.
  static void append(Run &run, const std::uint8_t *bytes, std::uint16_t length);
};

} // namespace veldran
