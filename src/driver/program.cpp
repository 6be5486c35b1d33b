#include "driver/program.h"

#include "base/messages.h"
#include "base/source_stack.h"
#include "base/symbol_table.h"
#include "driver/line_loop.h"
#include "driver/reading.h"
#include "expr/conditional_blocks.h"

#include <new>

namespace veldran {

namespace {

constexpr std::size_t kCommandStringMax = 254;

// Pushes the command string as a one-line source.
void pushCommandString(Run &run, const std::string &arg) {
  std::size_t n = arg.size();
  if (n > kCommandStringMax) {
    say(run, "Command-String verk\xFC\x81rzt");
    n = kCommandStringMax;
  }
  InputSource &src = pushSource(run);
  src.lineNumber = 1;
  std::memcpy(src.buffer, arg.data(), n);
  src.buffer[n] = CR;
  src.buffer[n + 1] = LF;
  src.length = static_cast<int>(n + 2);
}

void endOfRunChecks(Run &run) {
  endOfRunConditionCheck(run);
  if (isRecordingOrSkipping(run.lineMode))
    say(run, "*End* still in RPT/RPTN/MACRO\n");
}

void closeOutput(Run &run) {
  int error = 0;
  if (!run.output->flush(error))
    outputFailed(run, error);
  run.output.reset();
}

// Opens the input and the output; false when the run cannot start.
bool openFiles(Run &run, const std::vector<std::string> &args) {
  std::string inputName = args.size() > 0 ? args[0] : "TEST.INP";
  std::string outputName = args.size() > 1 ? args[1] : "TEST.OUT";
  int error = openInputFile(run, inputName);
  if (error != 0) {
    say(run, "Input DosOpen Error: return code = %ld",
        static_cast<long>(error));
    run.stopCode = ExitCode::InputFailed;
    return false;
  }
  run.output = run.platform.createOutput(outputName, error);
  if (!run.output) {
    say(run, "Output CreateFile Error: %ld\n", static_cast<long>(error));
    run.stopCode = ExitCode::OutputFailed;
    return false;
  }
  return true;
}

void processLines(Run &run, const std::vector<std::string> &args) {
  initSymbols(run);
  bool commandString = args.size() > 2;
  if (commandString)
    pushCommandString(run, args[2]);
  runLineLoop(run, commandString);
  endOfRunChecks(run);
}

ExitCode process(Run &run, const std::vector<std::string> &args) {
  int error = 0;
  if (!run.platform.counterFrequency(run.counterFrequency, error)) {
    run.counterFrequency = 0;
    say(run, "VELDRAN-l%05d-W QueryPerformanceFrequency() Error %d.\n", 490,
        error);
  }
  try {
    if (!openFiles(run, args))
      return run.stopCode;
    processLines(run, args);
  } catch (const RunAborted &) {
  } catch (const std::bad_alloc &) {
    report(run, "out of memory - abend\n");
    run.stopCode = ExitCode::Stopped;
  }
  while (run.hasSource())
    popSource(run);
  if (run.output)
    closeOutput(run);
  return run.writeFailed ? ExitCode::OutputFailed : run.stopCode;
}

} // namespace

int runVeldran(Platform &platform, const std::vector<std::string> &args,
               const RunLimits &limits) {
  ExitCode code;
  try {
    auto run = std::make_unique<Run>(platform);
    run->limits = limits;
    code = process(*run, args);
  } catch (const std::bad_alloc &) {
    const char message[] = "out of memory - abend\n";
    platform.writeConsole(message, sizeof message - 1);
    code = ExitCode::Stopped;
  }
  platform.flushConsole();
  return static_cast<int>(code);
}

} // namespace veldran
