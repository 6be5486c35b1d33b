// The storage area: text storage growing upward from the start, the
// variable stack growing downward from the end, and the symbol tables at
// the top of the stack. Positions are 32-bit offsets into the area.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace veldran {

constexpr std::uint32_t kStorageSize = 1048576; // the default size
constexpr std::uint32_t kSystemVariableCount = 10;
constexpr std::uint32_t kEntrySize = 32;
// The global table at start: its count word and the system variables.
constexpr std::uint32_t kInitialGlobalTableSize =
    4 + kEntrySize * kSystemVariableCount;
constexpr std::uint32_t kNoEntry = 0xFFFFFFFFu;
constexpr std::size_t kNameLength = 16;

// Kind bits of a symbol entry.
constexpr std::uint32_t SYM_SYSTEM = 1;
constexpr std::uint32_t SYM_DEFINED = 2;
constexpr std::uint32_t SYM_TEXT = 4;
constexpr std::uint32_t SYM_MACRO = 8;

// A text value held outside the storage area: the name of the nearest
// input file, delivered by the system variable $INPFILN.
constexpr std::int64_t kFileNameText = std::int64_t{1} << 32;

using Name = std::array<char, kNameLength>;

struct SymbolEntry {
  Name name;
  std::uint32_t flags = 0;
  std::int32_t length = 0;
  std::int64_t value = 0;
};
static_assert(sizeof(SymbolEntry) == kEntrySize, "entries are 32-byte blocks");

// Which tables a lookup or store uses.
enum class LookupScope : char { GLOBAL = 'G', CURRENT = 'S', ALL = 'M' };

// A lookup that found its name, remembered with the shape stamp of the
// tables it searched (StorageArea::globalShape or tableShape) and the
// first table it searched.
struct RememberedHit {
  Name name{};
  std::uint64_t shape = 0;
  std::uint32_t entry = 0;
  std::uint32_t firstTable = 0;
  LookupScope searched = LookupScope::GLOBAL;
};

class StorageArea {
public:
  struct FreeBytes {
    void operator()(std::uint8_t *bytes) const { std::free(bytes); }
  };
  using Bytes = std::unique_ptr<std::uint8_t[], FreeBytes>;

  explicit StorageArea(std::uint32_t size = kStorageSize);
  ~StorageArea();
  StorageArea(const StorageArea &) = delete;
  StorageArea &operator=(const StorageArea &) = delete;

  std::uint32_t size() const { return size_; }
  std::uint8_t *at(std::uint32_t offset) { return bytes_.get() + offset; }
  const std::uint8_t *at(std::uint32_t offset) const {
    return bytes_.get() + offset;
  }

  SymbolEntry entry(std::uint32_t offset) const {
    SymbolEntry e;
    std::memcpy(&e, at(offset), sizeof e);
    return e;
  }
  void setEntry(std::uint32_t offset, const SymbolEntry &e) {
    std::memcpy(at(offset), &e, sizeof e);
  }
  std::int32_t read32(std::uint32_t offset) const {
    std::int32_t v;
    std::memcpy(&v, at(offset), sizeof v);
    return v;
  }
  void write32(std::uint32_t offset, std::int32_t v) {
    std::memcpy(at(offset), &v, sizeof v);
  }
  std::uint32_t freeBytes() const { return stackTop - textTop; }

  // Moves the bytes [from, to) by `delta` bytes (negative: downward).
  void moveRange(std::uint32_t from, std::uint32_t to, std::int64_t delta) {
    std::memmove(at(static_cast<std::uint32_t>(from + delta)), at(from),
                 to - from);
  }

  std::uint32_t textTop = 0;
  std::uint32_t stackTop;
  std::uint32_t globalTable;
  std::uint32_t currentTable;
  std::uint32_t localEntries = 0; // entries in all local tables together
  // One bit per name hash of every name ever stored (4096 bits): a name
  // whose bit is clear has never been stored, so a lookup of it must miss.
  std::array<std::uint64_t, 64> storedNameBits{};
  // Counted up whenever the global table, or any table, changes shape: an
  // entry inserted, a local table opened or released. Entries never move
  // otherwise, so a remembered hit holds while its stamp is current.
  std::uint64_t globalShape = 1;
  std::uint64_t tableShape = 1;
  mutable std::array<RememberedHit, 64> recentHits{};

private:
  std::uint32_t size_;
  Bytes bytes_;
};

} // namespace veldran
