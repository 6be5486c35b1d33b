#include "driver/line_loop.h"

#include "base/collection.h"
#include "base/diagnostics.h"
#include "base/messages.h"
#include "base/scanner.h"
#include "base/symbol_table.h"
#include "driver/command_table.h"
#include "driver/console_commands.h"
#include "driver/plain_run.h"
#include "driver/reading.h"
#include "exec/exec_commands.h"
#include "macro/macro_commands.h"
#include "symbols/symbol_commands.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace veldran {

namespace {

// How the scan of a line ended.
enum class LineEnd {
  Ended,   // the line is complete: its line-end action follows
  Restart, // the line was dropped: go straight to the next read step
};

// The commands whose trace line gives what they did (a value, a result,
// a file) write it themselves; the others are traced here, as they start.
void traceCommand(Run &run, CommandNumber row) {
  switch (row) {
  case CMD_SET:
  case CMD_MSET:
  case CMD_DEFT:
  case CMD_MDEFT:
  case CMD_INCLUDE:
  case CMD_IIF:
  case CMD_IF:
  case CMD_RPTN:
  case CMD_CALL:
    return;
  default:
    break;
  }
  const Name &name = CommandTable[row].name;
  std::string word(name.data(), static_cast<std::size_t>(nameLength(name)));
  if (traces(run, word.c_str()))
    trace(run, "%s", word.c_str());
}

// The word behind a '%' scanned as a name, its CommandTable row (-1:
// none) and, for a row, its bit among the stored names.
struct CommandWord {
  bool found;
  int row;
  std::uint32_t nameBit;
};

CommandWord scanCommandWord(Run &run) {
  if (!readName(run))
    return {false, -1, 0};
  int row = findCommand(run.scannedName);
  return {true, row, row >= 0 ? storedNameBit(run.scannedName) : 0};
}

// Names of 16 characters are not remembered, as with every name scan.
__attribute__((noinline)) CommandWord
scanAndRememberCommand(Run &run, RememberedCommand &kept, std::uint32_t at) {
  ScanStart start = scanStart(run, at);
  CommandWord word = scanCommandWord(run);
  if (!word.found || run.scannedName[kNameLength - 1] != ' ')
    return word;
  rememberScan(run, kept.scan, start, true);
  kept.row = static_cast<std::int16_t>(word.row);
  kept.nameBit = static_cast<std::uint16_t>(word.nameBit);
  return word;
}

__attribute__((noinline)) CommandWord
scanAndRememberWord(Run &run, RememberedWord &kept, std::uint64_t bytes) {
  int from = run.source().position;
  CommandWord word = scanCommandWord(run);
  if (word.found && rememberScan(run, kept.scan, bytes, from, true)) {
    kept.row = static_cast<std::int16_t>(word.row);
    kept.nameBit = static_cast<std::uint16_t>(word.nameBit);
  }
  return word;
}

// On any other line it is remembered by the bytes it is made of.
CommandWord readUnstoredCommandWord(Run &run) {
  std::uint64_t bytes;
  if (!bytesAhead(run, bytes))
    return scanCommandWord(run);
  RememberedWord &kept = run.scanCache.wordSlot(bytes);
  if (!remembers(kept.scan, bytes))
    return scanAndRememberWord(run, kept, bytes);
  repeatScan(run, kept.scan);
  return {true, kept.row, kept.nameBit};
}

// On a recorded body line the word is remembered by where it lies, like a
// name scan (base/scan_cache.h).
CommandWord readCommandWord(Run &run) {
  std::uint32_t at = storedReadPlace(run.source());
  if (at == kNotStored)
    return readUnstoredCommandWord(run);
  RememberedCommand &kept = run.scanCache.commandSlot(at);
  if (!remembers(run, kept.scan, at))
    return scanAndRememberCommand(run, kept, at);
  repeatScan(run, kept.scan);
  return {true, kept.row, kept.nameBit};
}

// A byte followed a single '%': recognise the command and run it.
Next recognizeCommand(Run &run) {
  run.commandStart = run.source().position - 2;
  CommandWord word = readCommandWord(run);
  if (!word.found) {
    report(run, "command empty\n");
    stepBack(run);
    return Next::GoOn;
  }
  // Symbols hide commands. A command word that was never stored as a
  // symbol's name needs no lookup.
  int row = word.row;
  if (row < 0 || mayBeStored(run.storage, word.nameBit)) {
    Lookup hit = lookupSymbol(run, LookupScope::ALL, run.scannedName);
    if (hit.found)
      return symbolAsCommand(run, hit.entry);
  }
  if (row < 0) {
    report(run, "command not defined: %.16s\n", run.scannedName.data());
    if (run.lineMode == LineMode::Normal)
      warn(run,
           "'%%' and %.*s are left out of the line: no command, symbol "
           "or macro has that name; %%%% writes a percent sign",
           nameLength(run.scannedName), run.scannedName.data());
    stepBack(run);
    return Next::GoOn;
  }
  if (isRecordingOrSkipping(run.lineMode))
    return recordingCommand(run, static_cast<CommandNumber>(row));
  const CommandRow &cmd = CommandTable[row];
  if (run.lineClassMax > CommandClass::Inline &&
      run.lineClassMax <= cmd.commandClass) {
    report(run, "nesting of commands not allowed\n");
    stepBack(run);
    return Next::GoOn;
  }
  if (!cmd.actsWhenInactive && !run.cond.active) {
    stepBack(run);
    return Next::GoOn;
  }
  if (run.lineClassMax < cmd.commandClass)
    run.lineClassMax = cmd.commandClass;
  if (run.options.trace && run.cond.active)
    traceCommand(run, static_cast<CommandNumber>(row));
  return cmd.routine(run);
}

// The bytes of `word` that are '%' or CR, each marked by its high bit;
// the lowest mark is exact, a mark above it may be false.
std::uint64_t specialBytes(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHighs = kOnes << 7;
  auto zeroBytes = [](std::uint64_t v) { return (v - kOnes) & ~v & kHighs; };
  return zeroBytes(word ^ kOnes * '%') | zeroBytes(word ^ kOnes * CR);
}

// Index of the first '%' or CR at or after `from`, or `end`. Sixteen bytes
// are looked at in one step where the machine has vectors, then eight; on
// machines that store words the other way round the eight-byte step only
// tells that the word holds one.
int findSpecial(const std::uint8_t *buffer, int from, int end) {
  int i = from;
#if defined(__SSE2__)
  const __m128i percent = _mm_set1_epi8('%');
  const __m128i cr = _mm_set1_epi8(static_cast<char>(CR));
  for (; end - i >= 16; i += 16) {
    __m128i bytes =
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(buffer + i));
    auto marks = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_or_si128(
        _mm_cmpeq_epi8(bytes, percent), _mm_cmpeq_epi8(bytes, cr))));
    if (marks != 0)
      return i + std::countr_zero(marks);
  }
#endif
  for (; end - i >= 8; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, buffer + i, sizeof word);
    std::uint64_t marks = specialBytes(word);
    if (marks == 0)
      continue;
    if constexpr (std::endian::native == std::endian::little)
      return i + std::countr_zero(marks) / 8;
    break;
  }
  while (i < end && buffer[i] != '%' && buffer[i] != CR)
    ++i;
  return i;
}

void writeBytes(Run &run, const std::uint8_t *bytes, std::size_t count) {
  int error = 0;
  if (count > 0 && !run.output->write(bytes, count, error))
    outputFailed(run, error);
  run.outputOffset += count;
}

void writeLine(Run &run) {
  writeBytes(run, run.lineBuffer, static_cast<std::size_t>(run.lineLength));
  ++run.outputLineNumber;
}

// Plain text's fast path. A line of a file that holds no '%' and ends in
// CR LF within its 256-byte window, met in normal mode with nothing carried
// into it, is written exactly as it stands; so is every such line after it.
// They go from the input block to the output in one write, with the
// counters advanced as the line loop would advance them line by line.
// Returns false when the current line is not such a line.
bool copyPlainLines(Run &run) {
  InputSource &src = run.source();
  if (!src.hasBlock() || src.position != 0 ||
      run.lineMode != LineMode::Normal || !run.cond.active ||
      run.lineLength != 0 || !run.limits.plainFastPath)
    return false;
  // A line budget ends the run at the same line as line by line: the read
  // step has counted the first line, and the next read step stops the run
  // when the budget is used up.
  const std::uint8_t *block = src.block.get();
  const std::uint8_t *first = src.buffer;
  if (!lineFeedFirst(first, block + src.blockEnd))
    return false;
  std::uint64_t maxLines =
      run.limits.lineBudget ? run.limits.lineBudget : UINT64_MAX;
  PlainRun plain =
      findPlainRun(first, block + src.blockEnd, src.atEnd, maxLines);
  if (plain.lines == 0)
    return false;
  std::uint32_t lines = plain.lines;
  writeBytes(run, first, static_cast<std::size_t>(plain.end - first));
  // The read step counted the first line; the others are counted here.
  if (run.limits.lineBudget)
    run.limits.lineBudget -= lines - 1;
  run.inputLineCount += lines - 1;
  src.lineNumber += lines - 1;
  run.outputLineNumber += lines;
  run.currentChar = LF;
  // Each line ended as the line-end step ends it: a command class carried
  // into the first one by CONT ends with it.
  run.lineClassMax = CommandClass::None;
  // The last line ends as the line loop ends it.
  setWindow(src, static_cast<std::uint32_t>(plain.lastLine - block));
  src.position = static_cast<int>(plain.end - plain.lastLine);
  sourceLineEndStep(run);
  return true;
}

// Appends the plain bytes from `position` up to the next '%' or CR and
// returns where they end. With vectors, sixteen bytes are looked at and
// copied in one step while the line buffer has room for them: what is
// copied behind the '%' or CR lies beyond the line's length, for later
// appends to overwrite.
int copyPlainRun(Run &run, const std::uint8_t *bytes, int position,
                 int length) {
  if (position >= length || bytes[position] == '%' || bytes[position] == CR)
    return position;
#if defined(__SSE2__)
  const __m128i percent = _mm_set1_epi8('%');
  const __m128i cr = _mm_set1_epi8(static_cast<char>(CR));
  while (length - position >= 16 && kLineMax - run.lineLength >= 16) {
    __m128i chunk =
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + position));
    _mm_storeu_si128(
        reinterpret_cast<__m128i *>(run.lineBuffer + run.lineLength), chunk);
    auto marks = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_or_si128(
        _mm_cmpeq_epi8(chunk, percent), _mm_cmpeq_epi8(chunk, cr))));
    if (marks != 0) {
      int plain = std::countr_zero(marks);
      run.lineLength += plain;
      return position + plain;
    }
    run.lineLength += 16;
    position += 16;
  }
#endif
  int stop = findSpecial(bytes, position, length);
  appendBytes(run, bytes + position, stop - position);
  return stop;
}

// How the bytes taken one by one went: the line ended, a command or "%%"
// was handled and scanning goes on, or the buffer ran out.
enum class Step { Ended, Restart, GoOn, RanOut };

// A '%' was taken: "%%" is a percent sign (doubled while recording), any
// other byte starts a command.
Step percentStep(Run &run, InputSource &src) {
  if (src.position >= src.length)
    return Step::RanOut;
  std::uint8_t c = src.buffer[src.position++];
  run.currentChar = c;
  if (c == '%') {
    appendByte(run, '%');
    if (isRecording(run.lineMode))
      appendByte(run, '%');
    return Step::GoOn;
  }
  switch (recognizeCommand(run)) {
  case Next::LineDone:
    return Step::Ended;
  case Next::Restart:
    return Step::Restart;
  case Next::GoOn:
    break;
  }
  return Step::GoOn;
}

// Takes the bytes at which a plain run stopped one by one: a CR, and the
// byte behind it, where an LF ends the line; a '%' and what follows it.
Step specialSteps(Run &run, InputSource &src) {
  for (;;) {
    if (src.position >= src.length)
      return Step::RanOut;
    std::uint8_t c = src.buffer[src.position++];
    run.currentChar = c;
    if (c == '%')
      return percentStep(run, src);
    appendByte(run, c);
    if (c != CR)
      return Step::GoOn;
    if (src.position < src.length && src.buffer[src.position] == LF) {
      run.currentChar = src.buffer[src.position++];
      appendByte(run, LF);
      return Step::Ended;
    }
  }
}

LineEnd scanLine(Run &run) {
  for (;;) {
    InputSource &src = run.source();
    src.position = copyPlainRun(run, src.buffer, src.position, src.length);
    switch (specialSteps(run, src)) {
    case Step::Ended:
      return LineEnd::Ended;
    case Step::Restart:
      return LineEnd::Restart;
    case Step::GoOn:
      continue;
    case Step::RanOut:
      break;
    }
    break;
  }
  if (!run.source().isReplay()) {
    report(run, "Eingabe-Zeile zu lang\n");
    warnUnendedLine(run);
  }
  return LineEnd::Ended;
}

// The action of the line's mode. Returns false when the line-end step is
// to be left out (an executed line starts at once).
bool lineEndAction(Run &run) {
  switch (run.lineMode) {
  case LineMode::Normal:
    run.keptLength = 0;
    if (run.lineLength > 0)
      writeLine(run);
    break;
  case LineMode::Display:
    displayLineEnd(run);
    break;
  case LineMode::Include:
    includeLineEnd(run);
    break;
  case LineMode::Text:
    textLineEnd(run);
    break;
  case LineMode::Arguments:
    macroCallLineEnd(run);
    break;
  case LineMode::Call:
    callLineEnd(run);
    break;
  case LineMode::Execute:
    executeLineEnd(run);
    return false;
  case LineMode::RecordMacro:
  case LineMode::RecordRepeat:
    recordLine(run);
    break;
  case LineMode::Suppressed:
  case LineMode::SkipMacro:
  case LineMode::SkipRepeat:
    break;
  }
  return true;
}

// After the action: a line that collected (or whose collection a later
// command overrode) gets back the kept prefix its collecting command saved.
void lineEndStep(Run &run) {
  run.lineLength = run.keptLength;
  dropCollection(run);
  resetLineMode(run);
  run.lineClassMax = CommandClass::None;
}

} // namespace

void runLineLoop(Run &run) {
  if (!readStep(run))
    return;
  for (;;) {
    if (!copyPlainLines(run) && scanLine(run) == LineEnd::Ended) {
      sourceLineEndStep(run);
      if (!run.lineContinues && lineEndAction(run))
        lineEndStep(run);
    }
    if (!readStep(run))
      return;
  }
}

} // namespace veldran
