// Reading the current line: the character access every scanner uses, the
// name scanner, and the ways a command consumes the rest of its line.
#pragma once

#include "base/byte_copy.h"
#include "base/run.h"

#include <bit>
#include <cstring>

namespace veldran {

// Upper-case name character of a byte, or 0 when it cannot be in a name.
extern const std::array<std::uint8_t, 256> NameCharTable;

// A name from text: its first 16 characters, blank-padded.
constexpr Name makeName(const char *text) {
  Name n{};
  n.fill(' ');
  for (std::size_t i = 0; i < kNameLength && text[i]; ++i)
    n[i] = text[i];
  return n;
}

inline void nextChar(Run &run) {
  InputSource &src = run.source();
  if (src.position < src.length) {
    run.currentChar = src.buffer[src.position++];
  } else {
    src.position = src.length + 1;
    run.currentChar = 0;
  }
}

// Steps the read position back by one so the last byte is read again.
inline void stepBack(Run &run) { --run.source().position; }

// Whether a name can start with byte c: a name character, not a digit.
inline bool startsName(std::uint8_t c) {
  return NameCharTable[c] != 0 && (c < '0' || c > '9');
}

// readName where currentChar may start a name or is a blank. A scan of a
// recorded body line is remembered (base/scan_cache.h).
bool readNameFromSource(Run &run);
// Where the next byte read lies in the text storage, while it lies within
// the stored bytes of a recorded body line; otherwise kNotStored. What is
// read from such a line can be remembered by that place.
inline std::uint32_t storedReadPlace(const InputSource &src) {
  if (src.storedAt == kNotStored || src.position > src.length - 2)
    return kNotStored;
  return src.storedAt + static_cast<std::uint32_t>(src.position);
}
// Drops the remembered scans of text from `offset` on, which is given back.
void forgetScansFrom(Run &run, std::uint32_t offset);

// Where a scan of a recorded body line begins: its place in the text
// storage, currentChar and the read position.
struct ScanStart {
  std::uint32_t at;
  std::uint8_t taken;
  int from;
};
inline ScanStart scanStart(Run &run, std::uint32_t at) {
  return {at, run.currentChar, run.source().position};
}
// Whether `scan` is the one that begins at `at` with the current byte.
inline bool remembers(const Run &run, const RememberedScan &scan,
                      std::uint32_t at) {
  return scan.at == at && scan.taken == run.currentChar;
}
// Keeps the scan that began at `start` and ended where reading stands now.
void rememberScan(Run &run, RememberedScan &scan, ScanStart start, bool found);
// Leaves the run where the remembered scan left it.
inline bool repeatScan(Run &run, const RememberedScan &scan) {
  run.scannedName = scan.name;
  run.source().position += scan.advance;
  run.currentChar = scan.ended;
  return scan.found;
}

// currentChar and the seven bytes behind it as one word, the key of a
// scan of a line that is not stored (base/scan_cache.h); false when the
// line has fewer than eight bytes left to load, or on machines that store
// words the other way round.
inline bool bytesAhead(Run &run, std::uint64_t &bytes) {
  const InputSource &src = run.source();
  if (std::endian::native != std::endian::little ||
      src.length - src.position < 8)
    return false;
  std::memcpy(&bytes, src.buffer + src.position, sizeof bytes);
  bytes = bytes << 8 | run.currentChar;
  return true;
}
inline bool remembers(const RememberedBytes &scan, std::uint64_t bytes) {
  return scan.advance != 0 && scan.bytes == bytes;
}
// Keeps the scan of `bytes` that began at read position `from` and ended
// where reading stands now, if it stayed within them; returns whether.
bool rememberScan(Run &run, RememberedBytes &scan, std::uint64_t bytes,
                  int from, bool found);
inline bool repeatScan(Run &run, const RememberedBytes &scan) {
  run.scannedName = scan.name;
  run.source().position += scan.advance;
  run.currentChar = scan.ended;
  return scan.found;
}

// Scans a name from currentChar into scannedName (upper case, blank-padded,
// 16 characters kept); currentChar is left on the byte behind it. Returns
// false when no name character was found.
inline bool scanName(Run &run) {
  if (startsName(run.currentChar))
    return readNameFromSource(run);
  run.scannedName.fill(' ');
  return false;
}
// Skips blanks, then scans a name.
inline bool readName(Run &run) {
  if (run.currentChar == ' ' || startsName(run.currentChar))
    return readNameFromSource(run);
  run.scannedName.fill(' ');
  return false;
}
void skipBlanks(Run &run);

// Literal arguments (digits and punctuation, as in INT's "(5):") read
// straight from the bytes ahead, currentChar first, without the read state.
// A command tries them first; where anything else stands, or the bytes run
// out, it reads nothing (take is never called) and the command takes the
// general way, which reports what is wrong. take leaves the read position
// and currentChar as the general way leaves them, on the byte behind the
// arguments; scannedName is the caller's to set.
class LiteralReader {
public:
  explicit LiteralReader(const Run &run)
      : current_(run.currentChar),
        next_(run.currentSource->buffer + run.currentSource->position),
        end_(run.currentSource->buffer + run.currentSource->length) {}
  // Steps over `expected` where it stands.
  bool skip(std::uint8_t expected) { return current_ == expected && advance(); }
  // Decimal digits, at least one, wrapping around as readNumber does.
  bool number(std::int64_t &value) {
    if (current_ < '0' || current_ > '9')
      return false;
    std::uint64_t v = 0;
    do {
      v = v * 10 + (current_ - '0');
      if (!advance())
        return false;
    } while (current_ >= '0' && current_ <= '9');
    value = static_cast<std::int64_t>(v);
    return true;
  }
  std::uint8_t current() const { return current_; }
  void take(Run &run) const {
    InputSource &src = run.source();
    src.position = static_cast<int>(next_ - src.buffer);
    run.currentChar = current_;
  }

private:
  bool advance() {
    if (next_ == end_)
      return false;
    current_ = *next_++;
    return true;
  }
  std::uint8_t current_;
  const std::uint8_t *next_;
  const std::uint8_t *end_;
};

// Reports a missing ';' behind a name.
void checkTerminator(Run &run);

// Consumes the rest of the line without appending it.
void skipRestOfLine(Run &run);
// Appends the command from its '%' and the rest of the line unchanged.
void passCommandThrough(Run &run);

// Line buffer appends: bytes beyond the 256th are dropped.
inline void appendByte(Run &run, std::uint8_t c) {
  if (run.lineLength < kLineMax)
    run.lineBuffer[run.lineLength++] = c;
}
inline void appendBytes(Run &run, const std::uint8_t *bytes, int n) {
  int room = kLineMax - run.lineLength;
  if (n > room)
    n = room;
  if (n > 0) {
    copyBytes(run.lineBuffer + run.lineLength, bytes,
              static_cast<std::size_t>(n));
    run.lineLength += n;
  }
}
// Drops one trailing LF, then one trailing CR from lineBuffer.
void stripLineEnd(Run &run);

} // namespace veldran
