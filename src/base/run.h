// The state of one processor run. Everything the processor knows lives in
// one Run, created by runVeldran and handed by reference to plain
// procedures, so that a test can run a whole processor in-process.
#pragma once

#include "base/expression_cache.h"
#include "base/input_source.h"
#include "base/parameter_list.h"
#include "base/scan_cache.h"
#include "base/storage_area.h"
#include "platform/platform.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace veldran {

// What the line being scanned is for, and so what its end does.
enum class LineMode : char {
  Normal = 'F',       // text is copied and the line written at its end
  Suppressed = '0',   // commands still run; nothing is written
  Display = 'D',      // the rest of the line is DISP text
  Include = 'I',      // the rest of the line is an INCLUDE file name
  Text = 'T',         // the rest of the line is a DEFT/MDEFT value
  Arguments = 'A',    // the rest of the line holds macro arguments
  Call = 'C',         // the rest of the line is a CALL command line
  Execute = 'E',      // the rest of the line is an EXECUTE line
  RecordMacro = 'M',  // a macro body is recorded
  SkipMacro = 'N',    // a macro definition is passed over
  RecordRepeat = 'R', // a repeat body is recorded
  SkipRepeat = 'S',   // a repeat body is passed over
};

// Recording and passing over last from line to line until the matching
// MEND or REND; every other mode ends with its line.
inline bool isRecordingOrSkipping(LineMode m) {
  return m == LineMode::RecordMacro || m == LineMode::SkipMacro ||
         m == LineMode::RecordRepeat || m == LineMode::SkipRepeat;
}
// The modes that store the lines they meet.
inline bool isRecording(LineMode m) {
  return m == LineMode::RecordMacro || m == LineMode::RecordRepeat;
}

// Orders the commands on one line: after a command of some class, a later
// command on the same line runs only if its class is lower. Inline
// commands never raise the bar. The values order as the classes do.
enum class CommandClass : char {
  None = ' ',   // no command has run on the line yet
  Inline = '0', // INT, TEXT, HEXA, TAB, CONT
  Line = '1',   // SET, DEFT, INCLUDE, DISP, ACC, ...
  Block = '2',  // IF and its companions, MACRO, RPT, EXECUTE, CALL, ...
};

struct ConditionState {
  bool active = true;             // lines are processed, not skipped
  bool current = false;           // the condition of the innermost evaluated IF
  bool result = false;            // the last condition evaluated
  std::int32_t inactiveDepth = 0; // IFs met while inactive, still open
  std::int32_t activeDepth = 0;   // IFs evaluated and still open
};

// What a collecting command (DISP, INCLUDE, DEFT, MDEFT, EXECUTE, CALL, a
// macro call) pushed for its line, owned by base/collection.h.
struct PendingCollection {
  bool pending = false;
  std::uint32_t depth = 0;    // currentTable minus the upper end of the items
  std::uint32_t size = 0;     // all bytes the command pushed
  std::uint32_t prefixAt = 0; // offset of the saved kept prefix in them
};

// The text variable a DEFT or MDEFT line is collecting for, by identity,
// so that entries inserted before the line ends do not lose it.
struct PendingTextTarget {
  bool valid = false;
  LookupScope scope = LookupScope::GLOBAL;
  Name name{};
};

// How a run ends, as the process's exit code tells it.
enum class ExitCode : int {
  Success = 0,      // the input was used up, or CANCEL
  OutputFailed = 1, // the output could not be created, written or closed
  Usage = 2,        // the command line could not be understood
  InputFailed = 3,  // the input could not be opened, or a read failed
  Stopped = 4,      // storage or memory ran out, console input ended
  Strict = 5,       // with --strict: a message about the template
};

// Thrown by abortRun; caught where the run began.
struct RunAborted {};

// Bounds for runs over untrusted input (fuzzing): the run is abandoned
// after this many lines and replay passes. 0 means no bound. The fast path
// for plain text can be switched off, so that a fuzzer can compare it with
// the line-by-line path.
struct RunLimits {
  std::uint64_t lineBudget = 0;
  bool plainFastPath = true;
};

// A -D or -T definition of the command line: a line "%SET NAME=VALUE;" or
// "%DEFT NAME:VALUE" processed before the command string.
struct Definition {
  bool text = false;
  std::string name;
  std::string value;
};

// What the command line asks of a run.
struct RunOptions {
  std::string input = "TEST.INP";  // "-": standard input
  std::string output = "TEST.OUT"; // "-": standard output
  std::vector<Definition> definitions;
  std::optional<std::string> commandString;
  // Where an INCLUDE name that does not exist is looked for next: the
  // including file's directory, then these, when `searchIncludes` is set.
  std::vector<std::string> includePath;
  bool searchIncludes = false;
  std::string depfile; // where to write a make rule of the files read
  std::uint32_t storageSize = kStorageSize;
  bool strict = false; // a message about the template fails the run
  bool where = false;  // tell where each message comes from
  bool warn = false;   // warn of traps nobody sees
  bool trace = false;  // trace the commands carried out
  std::vector<std::string> traceNames; // only these commands and macros
  RunLimits limits;
};

// The state of the opt-in help for finding mistakes (base/diagnostics.h).
struct DiagnosticState {
  std::set<std::string> warned;        // what was warned of, and where
  std::vector<std::string> openBlocks; // where each open IF began
  std::vector<std::size_t> bodyScopes; // openBlocks.size() at body starts
  std::string recordingPlace;          // where an open MACRO or RPT began
  std::string recordingCommand;        // and which
  // The full name first met for each 16-character name that was cut.
  std::map<std::string, std::string> cutNames;
};

inline const RunOptions kDefaultRunOptions{};

struct Run {
  explicit Run(Platform &p, const RunOptions &o = kDefaultRunOptions)
      : platform(p), options(o), limits(o.limits), storage(o.storageSize) {}

  Platform &platform;
  const RunOptions &options;
  RunLimits limits;
  std::unique_ptr<OutputFile> output;
  bool writeFailed = false;
  std::uint64_t outputOffset = 0;        // bytes handed to the output
  ExitCode stopCode = ExitCode::Success; // set when the run is abandoned
  std::uint64_t templateMessages = 0;    // messages about the template
  // Every file opened for reading, once, in the order first opened.
  std::vector<std::string> filesRead;
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
  LineMode lineMode = LineMode::Normal;
  bool lineContinues = false;
  CommandClass lineClassMax = CommandClass::None;
  // Line counters count in unsigned arithmetic, which wraps without fault;
  // they are shown as the signed 32-bit numbers they are (lineValue).
  std::uint32_t inputLineCount = 0;
  std::uint32_t outputLineNumber = 1;
  int commandStart = 0;
  Name scannedName{}; // the name of the last scanName

  ConditionState cond;
  StorageArea storage;
  // The byte at the evaluator's last operator step: what ended the last
  // expression. A macro call reads it to tell where an argument ended.
  std::uint8_t lastSeparator = 0;

  PendingCollection collection;
  PendingTextTarget textTarget;

  // Recording of macro and repeat bodies.
  std::int32_t macroNesting = 0;
  std::int32_t repeatNesting = 0;
  std::int64_t repeatCount = 0;

  DiagnosticState diagnostics;

  // Parameter lists of macros called before (macro/parameters.h); name
  // scans and expressions of recorded body lines (base/scanner.h,
  // expr/evaluator.h).
  ParameterListCache parameterLists;
  ScanCache scanCache;
  ExpressionCache expressionCache;

  // Results of the last CALL.
  std::uint32_t rcLast = 0;
  std::uint32_t rcOs = 0;
  std::int64_t timeElapsed = 0;

  InputSource &source() { return *currentSource; }
  bool hasSource() const { return currentSource != nullptr; }
};

// A line counter as it is shown: a signed 32-bit number.
inline std::int32_t lineValue(std::uint32_t counter) {
  return static_cast<std::int32_t>(counter);
}

// Abandons the run: unwinds to runVeldran, which closes every source and
// the output file and ends with `code`. The end-of-run checks are not made.
[[noreturn]] void abortRun(Run &run, ExitCode code);

// Counts one line or replay pass against the run's budget.
inline void spendBudget(Run &run) {
  if (run.limits.lineBudget != 0 && --run.limits.lineBudget == 0)
    abortRun(run, ExitCode::Stopped);
}

// The line mode that follows the conditional state: Normal or Suppressed,
// unless a body is being recorded or passed over.
inline void resetLineMode(Run &run) {
  if (!isRecordingOrSkipping(run.lineMode))
    run.lineMode = run.cond.active ? LineMode::Normal : LineMode::Suppressed;
}

} // namespace veldran
