#include "driver/run.h"

#include "driver/input_sources.h"
#include "driver/line_loop.h"
#include "expr/conditional_blocks.h"
#include "symbols/symbol_table.h"

#include <cstdarg>
#include <cstdio>

namespace veldran {

namespace {

constexpr std::size_t kCommandStringMax = 254;

void vsay(Run &run, const char *prefix, const char *format, va_list args) {
  char text[1024];
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(text, sizeof text, format, args);
  if (*prefix)
    run.platform.writeConsole(prefix, std::strlen(prefix));
  if (n >= static_cast<int>(sizeof text)) {
    std::string long_text(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(long_text.data(), long_text.size(), format, again);
    run.platform.writeConsole(long_text.data(), static_cast<std::size_t>(n));
  } else if (n > 0) {
    run.platform.writeConsole(text, static_cast<std::size_t>(n));
  }
  va_end(again);
}

std::int32_t currentLineNumber(Run &run) {
  return run.hasSource() ? run.source().lineNumber : 0;
}

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
  if (run.inRecording())
    say(run, "*End* still in RPT/RPTN/MACRO\n");
}

void closeOutput(Run &run) {
  int error = 0;
  if (!run.output->commit(error))
    outputFailed(run, error);
  run.output.reset();
}

int process(Run &run, const std::vector<std::string> &args) {
  int error = 0;
  if (!run.platform.counterFrequency(run.counterFrequency, error)) {
    run.counterFrequency = 0;
    say(run, "VELDRAN-l%05d-W QueryPerformanceFrequency() Error %d.\n", 490,
        error);
  }
  std::string inputName = args.size() > 0 ? args[0] : "TEST.INP";
  std::string outputName = args.size() > 1 ? args[1] : "TEST.OUT";
  error = openInputFile(run, inputName);
  if (error != 0) {
    say(run, "Input DosOpen Error: return code = %ld",
        static_cast<long>(error));
    return 0;
  }
  run.output = run.platform.createOutput(outputName, error);
  if (!run.output) {
    say(run, "Output CreateFile Error: %ld\n", static_cast<long>(error));
    return 1;
  }
  initSymbols(run);
  try {
    bool commandString = args.size() > 2;
    if (commandString)
      pushCommandString(run, args[2]);
    runLineLoop(run, commandString);
    endOfRunChecks(run);
  } catch (const RunAborted &) {
  }
  while (run.hasSource())
    popSource(run);
  closeOutput(run);
  return run.writeFailed ? 1 : 0;
}

} // namespace

void outputFailed(Run &run, int error) {
  if (!run.writeFailed)
    say(run, "VELDRAN-l%05d-W WriteFile() Error %d.\n", 870, error);
  run.writeFailed = true;
}

int runVeldran(Platform &platform, const std::vector<std::string> &args,
               const RunLimits &limits) {
  auto run = std::make_unique<Run>(platform);
  run->limits = limits;
  int code = process(*run, args);
  platform.flushConsole();
  return code;
}

void abortRun(Run &) { throw RunAborted{}; }

void spendBudget(Run &run) {
  if (run.limits.lineBudget == 0)
    return;
  if (--run.limits.lineBudget == 0)
    abortRun(run);
}

void say(Run &run, const char *format, ...) {
  va_list args;
  va_start(args, format);
  vsay(run, "", format, args);
  va_end(args);
}

void report(Run &run, const char *format, ...) {
  char prefix[40];
  std::snprintf(prefix, sizeof prefix, "%ld/%ld ",
                static_cast<long>(run.inputLineCount),
                static_cast<long>(currentLineNumber(run)));
  va_list args;
  va_start(args, format);
  vsay(run, prefix, format, args);
  va_end(args);
}

void reportX(Run &run, const char *format, ...) {
  va_list args;
  va_start(args, format);
  vreportX(run, format, args);
  va_end(args);
}

void vreportX(Run &run, const char *format, va_list args) {
  char prefix[40];
  std::snprintf(prefix, sizeof prefix, "%ld/x ",
                static_cast<long>(run.inputLineCount));
  vsay(run, prefix, format, args);
}

int nameLength(const Name &name) {
  int n = static_cast<int>(kNameLength);
  while (n > 0 && name[n - 1] == ' ')
    --n;
  return n;
}

} // namespace veldran
