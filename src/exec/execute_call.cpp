#include "exec/exec_commands.h"

#include "base/collection.h"
#include "base/diagnostics.h"
#include "base/frames.h"
#include "base/messages.h"
#include "base/scanner.h"
#include "base/source_stack.h"
#include "base/symbol_table.h"
#include "expr/conditional_blocks.h"

#include <string>

namespace veldran {

namespace {

Next startCollecting(Run &run, LineMode mode, const char *missingColon) {
  if (run.currentChar != ':') {
    reportText(run, missingColon);
    return skipLine(run);
  }
  beginCollection(run, mode);
  run.lineLength = 0;
  return Next::GoOn;
}

// The command line of a CALL: the collected text without leading and
// trailing blanks, up to a zero byte.
std::string commandLine(const Run &run) {
  int begin = 0;
  int end = run.lineLength;
  while (begin < end && run.lineBuffer[begin] == ' ')
    ++begin;
  while (end > begin && run.lineBuffer[end - 1] == ' ')
    --end;
  std::string text(reinterpret_cast<const char *>(run.lineBuffer) + begin,
                   static_cast<std::size_t>(end - begin));
  return text.substr(0, text.find('\0'));
}

bool readCounter(Run &run, std::int64_t &ticks, int warning,
                 const char *which) {
  int error = 0;
  if (run.platform.counter(ticks, error))
    return true;
  say(run, "VELDRAN-l%05d-W QueryPerformanceCounter() measure %s Error %d.\n",
      warning, which, error);
  return false;
}

// Milliseconds between two counter readings, without overflow.
std::int64_t elapsedMilliseconds(std::int64_t ticks, std::int64_t frequency) {
  return ticks / frequency * 1000 + ticks % frequency * 1000 / frequency;
}

void runCommand(Run &run, const std::string &command) {
  int error = 0;
  if (!run.output->flush(error))
    outputFailed(run, error);
  run.platform.flushConsole();
  std::int64_t before = 0;
  std::int64_t after = 0;
  bool measured = readCounter(run, before, 1076, "1");
  ProgramResult result = run.platform.runProgram(command);
  if (!result.started) {
    run.rcOs = result.error;
    sayAboutTemplate(
        run, "VELDRAN-l%05d-W CreateProcessA( %s ) returned GetLastError=%d.\n",
        1091, command.c_str(), static_cast<int>(result.error));
    run.rcLast = 0;
    run.timeElapsed = 0;
    return;
  }
  measured = readCounter(run, after, 1099, "2") && measured;
  run.rcOs = 0;
  run.rcLast = result.exitCode;
  run.timeElapsed =
      measured && run.counterFrequency > 0
          ? elapsedMilliseconds(after - before, run.counterFrequency)
          : 0;
}

} // namespace

Next cmdExecute(Run &run) {
  return startCollecting(run, LineMode::Execute,
                         "missing control character after EXECUTE :\n");
}

Next cmdCall(Run &run) {
  return startCollecting(run, LineMode::Call,
                         "missing control character after CALL :\n");
}

Next cmdCompt(Run &run) { return skipLine(run); }

void executeLineEnd(Run &run) {
  stripLineEnd(run);
  auto n = static_cast<std::uint32_t>(run.lineLength);
  StorageArea &s = run.storage;
  if (s.freeBytes() < StoredLine::size(n)) {
    report(run, "storage not big enough for EXECUTE - abend\n");
    abortRun(run, ExitCode::Stopped);
  }
  std::uint32_t start = s.textTop;
  StoredLine::append(run, run.lineBuffer, static_cast<std::uint16_t>(n));
  InputSource &src = pushSource(run, SourceKind::ExecutedLine);
  src.bodyStart = src.bodyNext = start;
  src.bodyEnd = s.textTop;
  src.passesLeft = 1;
  reserveStack(run, ConditionSave::kSize);
  bodyStart(run, s.stackTop);
  // The kept prefix saved by EXECUTE now belongs to the executed line's
  // source, which puts it back when the line is done.
  handOverCollection(run);
  run.keptLength = run.lineLength = 0;
  run.lineMode = LineMode::Normal;
}

// The prefix goes in front of text that a CONT at the end of the executed
// line carries on, so that neither is lost.
void endExecutedLine(Run &run) {
  std::uint8_t carried[kLineMax];
  auto n = static_cast<std::size_t>(run.lineLength);
  std::memcpy(carried, run.lineBuffer, n);
  restoreKeptPrefix(run);
  appendBytes(run, carried, static_cast<int>(n));
  run.keptLength = run.lineLength;
}

void callLineEnd(Run &run) {
  stripLineEnd(run);
  std::string command = commandLine(run);
  if (command.empty()) {
    report(run, "after CALL no command\n");
    return;
  }
  runCommand(run, command);
  if (!traces(run, "CALL"))
    return;
  if (run.rcOs != 0)
    trace(run, "CALL %s -> not started (%u)", command.c_str(), run.rcOs);
  else
    trace(run, "CALL %s -> rc %u, %lld ms", command.c_str(), run.rcLast,
          static_cast<long long>(run.timeElapsed));
}

} // namespace veldran
