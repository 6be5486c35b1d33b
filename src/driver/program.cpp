#include "driver/program.h"

#include "base/diagnostics.h"
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

// A line given on the command line (a definition or the command string):
// a one-line source whose line is not counted, so that its messages carry
// 0 and 1 as their two numbers.
void pushFirstLine(Run &run, const std::string &line,
                   const std::string &label) {
  std::size_t n = line.size();
  if (n > kCommandStringMax) {
    sayAboutTemplate(run, "Command-String verk\xFC\x81rzt");
    n = kCommandStringMax;
  }
  InputSource &src = pushSource(run);
  src.givenLine = true;
  src.label = label;
  std::memcpy(src.buffer, line.data(), n);
  src.buffer[n] = CR;
  src.buffer[n + 1] = LF;
  src.length = static_cast<int>(n + 2);
}

std::string definitionLine(const Definition &d) {
  std::string line = d.text ? "%DEFT " : "%SET ";
  line.append(d.name).append(d.text ? ":" : "=").append(d.value);
  if (!d.text)
    line.append(";");
  return line;
}

// The lines given on the command line are read before the input file: the
// definitions in their order, then the command string.
void pushFirstLines(Run &run) {
  const RunOptions &o = run.options;
  if (o.commandString)
    pushFirstLine(run, *o.commandString, "command string");
  for (auto d = o.definitions.rbegin(); d != o.definitions.rend(); ++d)
    pushFirstLine(run, definitionLine(*d),
                  (d->text ? "-T " : "-D ") + d->name + "=" + d->value);
}

void endOfRunChecks(Run &run) {
  endOfRunConditionCheck(run);
  if (isRecordingOrSkipping(run.lineMode)) {
    sayAboutTemplate(run, "*End* still in RPT/RPTN/MACRO\n");
    whereOpenRecording(run);
  }
}

// A file name as make reads it in a rule.
std::string makeEscaped(const std::string &name) {
  std::string escaped;
  for (char c : name) {
    if (c == '$')
      escaped += '$';
    else if (c == ' ' || c == '#')
      escaped += '\\';
    escaped += c;
  }
  return escaped;
}

// A make rule: the output depends on every file the run read.
void writeDepfile(Run &run) {
  std::string rule = makeEscaped(run.options.output) + ":";
  for (const std::string &name : run.filesRead)
    rule.append(" ").append(makeEscaped(name));
  rule += "\n";
  int error = 0;
  std::unique_ptr<OutputFile> file =
      run.platform.createOutput(run.options.depfile, error);
  if (!file) {
    say(run, "Output CreateFile Error: %ld\n", static_cast<long>(error));
    run.writeFailed = true;
    return;
  }
  if (!file->write(reinterpret_cast<const std::uint8_t *>(rule.data()),
                   rule.size(), error) ||
      !file->commit(error))
    outputFailed(run, error);
}

void closeOutput(Run &run) {
  int error = 0;
  if (!run.output->commit(error))
    outputFailed(run, error);
  run.output.reset();
}

// Opens the input and the output; false when the run cannot start.
bool openFiles(Run &run) {
  const std::string &outputName = run.options.output;
  int error = run.options.input == "-" ? openStandardInput(run)
                                       : openInputFile(run, run.options.input);
  if (error != 0) {
    say(run, "Input DosOpen Error: return code = %ld",
        static_cast<long>(error));
    run.stopCode = ExitCode::InputFailed;
    return false;
  }
  run.output = outputName == "-" ? run.platform.createStandardOutput(error)
                                 : run.platform.createOutput(outputName, error);
  if (!run.output) {
    say(run, "Output CreateFile Error: %ld\n", static_cast<long>(error));
    run.stopCode = ExitCode::OutputFailed;
    return false;
  }
  return true;
}

void processLines(Run &run) {
  initSymbols(run);
  pushFirstLines(run);
  runLineLoop(run);
  endOfRunChecks(run);
}

ExitCode process(Run &run) {
  int error = 0;
  if (!run.platform.counterFrequency(run.counterFrequency, error)) {
    run.counterFrequency = 0;
    say(run, "VELDRAN-l%05d-W QueryPerformanceFrequency() Error %d.\n", 490,
        error);
  }
  try {
    if (!openFiles(run))
      return run.stopCode;
    processLines(run);
  } catch (const RunAborted &) {
  } catch (const std::bad_alloc &) {
    report(run, "out of memory - abend\n");
    run.stopCode = ExitCode::Stopped;
  }
  while (run.hasSource())
    popSource(run);
  if (run.output)
    closeOutput(run);
  if (!run.options.depfile.empty())
    writeDepfile(run);
  if (run.writeFailed)
    return ExitCode::OutputFailed;
  if (run.stopCode == ExitCode::Success && run.options.strict &&
      run.templateMessages > 0)
    return ExitCode::Strict;
  return run.stopCode;
}

} // namespace

int runVeldran(Platform &platform, const RunOptions &options) {
  ExitCode code;
  try {
    auto run = std::make_unique<Run>(platform, options);
    code = process(*run);
  } catch (const std::bad_alloc &) {
    const char message[] = "out of memory - abend\n";
    platform.writeConsole(message, sizeof message - 1);
    code = ExitCode::Stopped;
  }
  platform.flushConsole();
  return static_cast<int>(code);
}

int runVeldran(Platform &platform, const std::vector<std::string> &args,
               const RunLimits &limits) {
  RunOptions options;
  if (args.size() > 0)
    options.input = args[0];
  if (args.size() > 1)
    options.output = args[1];
  if (args.size() > 2)
    options.commandString = args[2];
  options.limits = limits;
  return runVeldran(platform, options);
}

} // namespace veldran
