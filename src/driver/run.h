// The state of one processor run. Everything the processor knows lives in
// one Run, created by runVeldran and handed by reference to plain
// procedures, so that a test can run a whole processor in-process.
#pragma once

#include "platform/platform.h"
#include "symbols/storage_area.h"

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace veldran {

constexpr int kLineMax = 256;
constexpr std::uint8_t CR = 0x0D;
constexpr std::uint8_t LF = 0x0A;

// One record of the input-source stack: a file, the command string, or a
// recorded body being replayed ('M' macro, 'R' repeat, 'E' executed line).
struct InputSource {
  std::unique_ptr<InputFile> file;
  std::string fileName;
  std::int32_t lineNumber = 0;
  int length = 0;
  int position = 0;
  char kind = 0;
  std::uint32_t bodyStart = 0;
  std::uint32_t bodyEnd = 0;
  std::uint32_t bodyNext = 0;
  std::int64_t passesLeft = 0;
  // The bytes of the current line (and, for files, what was read beyond
  // it): `own`, or for a file a window of at most 256 bytes into `block`.
  std::uint8_t *buffer = own;
  std::uint8_t own[kLineMax];

  // A file is read in large blocks; the window slides over them, so that
  // moving to the next line copies nothing.
  std::unique_ptr<std::uint8_t[]> block;
  std::uint32_t blockSize = 0;
  std::uint32_t blockStart = 0; // where the window begins
  std::uint32_t blockEnd = 0;   // bytes read into the block
  bool atEnd = false;           // the file has delivered its last byte

  bool isReplay() const { return kind != 0; }
  bool hasBlock() const { return block != nullptr; }
};

struct ConditionState {
  char active = '1';
  char current = 0;
  char result = 0;
  std::int32_t inactiveDepth = 0;
  std::int32_t activeDepth = 0;
};

// What a collecting command (DISP, INCLUDE, DEFT, MDEFT, EXECUTE, CALL, a
// macro call) pushed for its line: the saved kept prefix, below it the
// pending text target or the macro entry copy. Located by its distance
// below the innermost symbol table, which no table change alters.
struct PendingCollection {
  bool pending = false;
  std::uint32_t depth = 0;    // currentTable minus the upper end of the items
  std::uint32_t size = 0;     // all bytes the command pushed
  std::uint32_t prefixAt = 0; // offset of the saved kept prefix in them
};

// The text variable a DEFT or MDEFT line is collecting for.
struct PendingTextTarget {
  bool valid = false;
  LookupScope scope = LookupScope::GLOBAL;
  Name name{};
};

// How the scan of a line ended.
enum class LineEnd {
  Ended,   // the line is complete: its line-end action follows
  Restart, // the line was dropped: go straight to the next read step
};

struct RunAborted {};

// Bounds for runs over untrusted input (fuzzing): the run is abandoned
// after this many lines and replay passes. 0 means no bound.
struct RunLimits {
  std::uint64_t lineBudget = 0;
};

struct Run {
  explicit Run(Platform &p) : platform(p) {}

  Platform &platform;
  RunLimits limits;
  std::unique_ptr<OutputFile> output;
  bool writeFailed = false;
  std::int64_t counterFrequency = 0;

  // Input-source stack; records above `sourceDepth` are kept for reuse.
  std::vector<std::unique_ptr<InputSource>> sources;
  std::size_t sourceDepth = 0;
  InputSource *currentSource = nullptr; // the top record, or null
  std::int32_t includeDepth = 0;
  std::uint8_t currentChar = 0;

  // Line state.
  std::uint8_t lineBuffer[kLineMax + 4] = {};
  int lineLength = 0;
  int keptLength = 0;
  char lineMode = 'F';
  bool lineContinues = false;
  char lineClassMax = ' ';
  std::int32_t inputLineCount = 0;
  std::int32_t outputLineNumber = 1;
  int commandStart = 0;
  Name scannedName{};

  ConditionState cond;
  StorageArea storage;
  SymbolEntry work{};
  bool keywordShadowed = false; // some symbol is named like a command
  char lastSeparator = 0;

  PendingCollection collection;
  PendingTextTarget textTarget;

  // Recording of macro and repeat bodies.
  std::int32_t macroNesting = 0;
  std::int32_t repeatNesting = 0;
  std::int64_t repeatCount = 0;

  // Results of the last CALL.
  std::uint32_t rcLast = 0;
  std::uint32_t rcOs = 0;
  std::int64_t timeElapsed = 0;

  InputSource &source() { return *currentSource; }
  bool hasSource() const { return currentSource != nullptr; }
  bool inRecording() const { return lineMode >= 'M' && lineMode <= 'S'; }
};

// Runs the processor with the command-line arguments (without the program
// name) and returns the exit code.
int runVeldran(Platform &platform, const std::vector<std::string> &args,
               const RunLimits &limits = {});

// Counts one line or replay pass against the run's budget.
void spendBudget(Run &run);

// Abandons the run: unwinds to runVeldran, which closes every source and
// the output file. The end-of-run checks are not made.
[[noreturn]] void abortRun(Run &run);

// Console output. `say` prints a formatted message; `report` prefixes it
// with the input line count and the current source's line number, `reportX`
// with the input line count and a literal x.
void say(Run &run, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
void report(Run &run, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
void reportX(Run &run, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
void vreportX(Run &run, const char *format, va_list args);

// Reports a failed write to the output file (once per run); the run ends
// with exit code 1.
void outputFailed(Run &run, int error);

// The name as printed in messages: up to its last non-blank character.
int nameLength(const Name &name);

} // namespace veldran
