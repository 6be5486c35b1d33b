#include "base/scanner.h"
#include "base/byte_copy.h"
#include "base/diagnostics.h"
#include "base/messages.h"

#include <algorithm>

namespace veldran {

namespace {

constexpr std::array<std::uint8_t, 256> buildNameChars() {
  std::array<std::uint8_t, 256> t{};
  t['$'] = '$';
  t['_'] = '_';
  for (int c = '0'; c <= '9'; ++c)
    t[c] = static_cast<std::uint8_t>(c);
  for (int c = 'A'; c <= 'Z'; ++c) {
    t[c] = static_cast<std::uint8_t>(c);
    t[c + 32] = static_cast<std::uint8_t>(c);
  }
  // Code page 850 umlauts: both cases map to the upper-case letter.
  t[0x81] = t[0x9A] = 0x9A;
  t[0x84] = t[0x8E] = 0x8E;
  t[0x94] = t[0x99] = 0x99;
  return t;
}

// Where the line ends, from the byte the caller already took on: behind
// the first LF that follows a CR, and a CR just taken counts as one.
struct LineEnd {
  int stop;   // where the line ends, or the buffer's length
  bool ended; // false when the buffer ran out first
};

LineEnd lineEndFrom(const Run &run, const InputSource &src) {
  const std::uint8_t *from = src.buffer + src.position;
  const std::uint8_t *end = src.buffer + src.length;
  if (from >= end)
    return {src.length, false};
  // The usual rest: the CR LF right behind a command.
  if (end - from >= 2 && from[0] == CR && from[1] == LF)
    return {src.position + 2, true};
  if (run.currentChar != CR) {
    const void *cr =
        std::memchr(from, CR, static_cast<std::size_t>(end - from));
    if (!cr)
      return {src.length, false};
    from = static_cast<const std::uint8_t *>(cr) + 1;
  }
  // The usual end: the LF right behind the CR.
  if (from < end && *from == LF)
    return {static_cast<int>(from - src.buffer) + 1, true};
  const void *lf = std::memchr(from, LF, static_cast<std::size_t>(end - from));
  if (!lf)
    return {src.length, false};
  return {static_cast<int>(static_cast<const std::uint8_t *>(lf) - src.buffer) +
              1,
          true};
}

// Consumes the line to its end, appending its bytes when `keep` is set.
// Returns false when the buffer ran out first.
bool consumeLine(Run &run, bool keep) {
  InputSource &src = run.source();
  LineEnd end = lineEndFrom(run, src);
  if (keep && end.stop > src.position)
    appendBytes(run, src.buffer + src.position, end.stop - src.position);
  src.position = end.stop;
  return end.ended;
}

} // namespace

const std::array<std::uint8_t, 256> NameCharTable = buildNameChars();

namespace {

// Characters beyond the 16th are consumed and dropped. With --warn the
// whole name is kept to tell two cut names apart. Kept out of the name
// scanner, whose common case needs no string.
__attribute__((noinline, cold)) void scanCutName(Run &run) {
  if (!run.options.warn) {
    while (NameCharTable[run.currentChar])
      nextChar(run);
    return;
  }
  std::string full(run.scannedName.begin(), run.scannedName.end());
  while (std::uint8_t c = NameCharTable[run.currentChar]) {
    full += static_cast<char>(c);
    nextChar(run);
  }
  nameCut(run, full);
}

} // namespace

namespace {

// The read position and currentChar in locals, so that a scan does not go
// through the source record for every byte; nextChar's rules otherwise.
struct ByteCursor {
  explicit ByteCursor(Run &run)
      : source(run.source()), bytes(source.buffer), position(source.position),
        length(source.length), current(run.currentChar) {}

  void advance() {
    if (position < length) {
      current = bytes[position++];
    } else {
      position = length + 1;
      current = 0;
    }
  }
  void store(Run &run) const {
    source.position = position;
    run.currentChar = current;
  }

  InputSource &source;
  const std::uint8_t *bytes;
  int position;
  int length;
  std::uint8_t current;
};

// The name's characters from the cursor on, with no check of the buffer's
// end: the caller makes sure that the 17 bytes a name and the byte behind
// it can take are there. Returns how many were taken, 17 for a name that
// goes on beyond the 16 kept.
std::size_t takeNameUnchecked(Name &name, ByteCursor &cursor) {
  const std::uint8_t *next = cursor.bytes + cursor.position;
  std::uint8_t c = cursor.current;
  std::size_t count = 0;
  for (std::uint8_t up; (up = NameCharTable[c]) != 0; c = *next++) {
    if (count == kNameLength) {
      ++count;
      break;
    }
    name[count++] = static_cast<char>(up);
  }
  cursor.position = static_cast<int>(next - cursor.bytes);
  cursor.current = c;
  return count;
}

std::size_t takeName(Name &name, ByteCursor &cursor) {
  if (cursor.length - cursor.position > static_cast<int>(kNameLength))
    return takeNameUnchecked(name, cursor);
  std::size_t count = 0;
  for (std::uint8_t up; (up = NameCharTable[cursor.current]) != 0;
       cursor.advance()) {
    if (count == kNameLength)
      return count + 1;
    name[count++] = static_cast<char>(up);
  }
  return count;
}

bool scanNameAt(Run &run, ByteCursor &cursor) {
  Name &name = run.scannedName;
  name.fill(' ');
  std::uint8_t c = cursor.current;
  if (c >= '0' && c <= '9') {
    cursor.store(run);
    return false;
  }
  std::size_t count = takeName(name, cursor);
  cursor.store(run);
  if (count > kNameLength)
    scanCutName(run);
  return count > 0;
}

bool skipBlanksAndScan(Run &run) {
  ByteCursor cursor(run);
  while (cursor.current == ' ')
    cursor.advance();
  return scanNameAt(run, cursor);
}

// A name of 16 characters may have been cut, which --warn reports at
// each scan, so such scans are not remembered.
__attribute__((noinline)) bool scanAndRemember(Run &run, RememberedScan &scan,
                                               std::uint32_t at) {
  ScanStart start = scanStart(run, at);
  bool found = skipBlanksAndScan(run);
  if (run.scannedName[kNameLength - 1] == ' ')
    rememberScan(run, scan, start, found);
  return found;
}

// A scan that begins at `at`, within the stored bytes of a recorded body
// line, is taken from the scan cache.
bool readStoredName(Run &run, std::uint32_t at) {
  RememberedScan &scan = run.scanCache.slot(at);
  if (!remembers(run, scan, at))
    return scanAndRemember(run, scan, at);
  return repeatScan(run, scan);
}

__attribute__((noinline)) bool
scanAndRememberBytes(Run &run, RememberedBytes &scan, std::uint64_t bytes) {
  int from = run.source().position;
  bool found = skipBlanksAndScan(run);
  rememberScan(run, scan, bytes, from, found);
  return found;
}

// A scan of a line that is not stored is taken from the scans remembered
// by their bytes.
bool readUnstoredName(Run &run) {
  std::uint64_t bytes;
  if (!bytesAhead(run, bytes))
    return skipBlanksAndScan(run);
  RememberedBytes &scan = run.scanCache.bytesSlot(bytes);
  if (!remembers(scan, bytes))
    return scanAndRememberBytes(run, scan, bytes);
  return repeatScan(run, scan);
}

} // namespace

bool rememberScan(Run &run, RememberedBytes &scan, std::uint64_t bytes,
                  int from, bool found) {
  int advance = run.source().position - from;
  if (advance >= 8)
    return false;
  scan = {bytes, static_cast<std::uint8_t>(advance), run.currentChar, found,
          run.scannedName};
  return true;
}

bool readNameFromSource(Run &run) {
  std::uint32_t at = storedReadPlace(run.source());
  if (at == kNotStored)
    return readUnstoredName(run);
  return readStoredName(run, at);
}

void rememberScan(Run &run, RememberedScan &scan, ScanStart start, bool found) {
  scan = {start.at,
          start.taken,
          run.currentChar,
          static_cast<std::uint16_t>(run.source().position - start.from),
          found,
          run.scannedName};
  run.scanCache.noteStart(start.at);
}

void forgetScansFrom(Run &run, std::uint32_t offset) {
  ScanCache &cache = run.scanCache;
  if (cache.highest < offset)
    return;
  for (RememberedScan &scan : cache.scans)
    if (scan.at != kNoEntry && scan.at >= offset)
      scan.at = kNoEntry;
  for (RememberedCommand &command : cache.commands)
    if (command.scan.at != kNoEntry && command.scan.at >= offset)
      command.scan.at = kNoEntry;
  cache.highest = offset;
}

void skipBlanks(Run &run) {
  while (run.currentChar == ' ')
    nextChar(run);
}

void checkTerminator(Run &run) {
  if (run.currentChar != ';')
    report(run, "nach Befehl fehlt Ende-Zeichen (;)\n");
}

void skipRestOfLine(Run &run) {
  if (!consumeLine(run, false)) {
    report(run, "Eingabe-Zeile zu lang\n");
    warnUnendedLine(run);
  }
}

void passCommandThrough(Run &run) {
  InputSource &src = run.source();
  int end = std::min(src.position, src.length);
  appendBytes(run, src.buffer + run.commandStart, end - run.commandStart);
  consumeLine(run, true);
}

void stripLineEnd(Run &run) {
  if (run.lineLength > 0 && run.lineBuffer[run.lineLength - 1] == LF)
    --run.lineLength;
  if (run.lineLength > 0 && run.lineBuffer[run.lineLength - 1] == CR)
    --run.lineLength;
}

} // namespace veldran
