#include "base/diagnostics.h"

#include "base/messages.h"
#include "base/source_stack.h"

#include <cstdarg>
#include <cstdio>

namespace veldran {

namespace {

std::string macroNameOf(const InputSource &src) {
  std::string name(src.macroName.begin(), src.macroName.end());
  name.erase(name.find_last_not_of(' ') + 1);
  return name;
}

// The source at `index` and, through the sources below it, what led there.
// Without `passes` it names the line of the template only: the same for
// every pass of a repeat block and every call of a macro.
std::string describe(const Run &run, std::size_t index, bool passes = true) {
  const InputSource &src = *run.sources[index];
  std::string line = std::to_string(lineValue(src.lineNumber));
  auto below = [&] {
    return index > 0 ? describe(run, index - 1, passes) : std::string("?");
  };
  switch (src.kind) {
  case SourceKind::MacroBody:
    return "macro " + macroNameOf(src) + " (body line " + line + ")" +
           (passes ? ", called at " + below() : "");
  case SourceKind::RepeatBody:
    return (passes ? "repeat pass " + std::to_string(src.passNumber)
                   : std::string("repeat")) +
           " of " + src.origin + (passes ? "" : " line " + line);
  case SourceKind::ExecutedLine:
    return "EXECUTE at " + below();
  case SourceKind::File:
    break;
  }
  if (src.macroName[0] != 0)
    return "arguments of macro " + macroNameOf(src) + ", called at " + below();
  if (!src.label.empty())
    return src.label;
  std::string place =
      (src.fileName == "-" ? std::string("standard input") : src.fileName) +
      ":" + line;
  return index > 0 ? place + ", included from " + below() : place;
}

void writeLine(Run &run, const std::string &line) {
  run.platform.writeDiagnostics(line.data(), line.size());
}

std::string formatted(const char *format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  return text;
}

bool anyHelp(const RunOptions &o) { return o.where || o.trace || o.warn; }

const std::string &nearestFileSourceName(Run &run) {
  return nearestFileSource(run).fileName;
}

void warnLfLineEnds(Run &run) {
  const std::string &file = nearestFileSourceName(run);
  if (run.diagnostics.warned.insert("LF " + file).second)
    warn(run, "%s has LF line ends: give --lf, or convert it to CR LF",
         file.c_str());
}

} // namespace

std::string placeOfLine(const Run &run) {
  if (!run.hasSource())
    return "end of input";
  const InputSource &top = *run.currentSource;
  std::string place = describe(run, run.sourceDepth - 1);
  return top.isReplay() ? "in " + place : place;
}

void whereAfterMessage(Run &run) {
  if (run.options.where && run.hasSource())
    writeLine(run, "where: " + placeOfLine(run) + "\n");
}

void whereOpenBlocks(Run &run) {
  if (!run.options.where)
    return;
  for (const std::string &place : run.diagnostics.openBlocks)
    writeLine(run, "where: IF opened at " + place + "\n");
}

void whereOpenRecording(Run &run) {
  const DiagnosticState &d = run.diagnostics;
  if (run.options.where)
    writeLine(run, "where: " + d.recordingCommand + " opened at " +
                       d.recordingPlace + "\n");
}

void blockOpened(Run &run) {
  if (run.options.where)
    run.diagnostics.openBlocks.push_back(placeOfLine(run));
}

void blockClosed(Run &run) {
  std::vector<std::string> &open = run.diagnostics.openBlocks;
  if (run.options.where && !open.empty())
    open.pop_back();
}

void bodyScopeStarted(Run &run) {
  DiagnosticState &d = run.diagnostics;
  if (run.options.where)
    d.bodyScopes.push_back(d.openBlocks.size());
}

void bodyScopeEnded(Run &run) {
  DiagnosticState &d = run.diagnostics;
  if (!run.options.where || d.bodyScopes.empty())
    return;
  d.openBlocks.resize(d.bodyScopes.back());
  d.bodyScopes.pop_back();
}

void recordingBegun(Run &run, const char *command, const Name *name) {
  if (!anyHelp(run.options))
    return;
  DiagnosticState &d = run.diagnostics;
  d.recordingPlace = placeOfLine(run);
  d.recordingCommand = command;
  if (name)
    d.recordingCommand.append(" ").append(
        name->data(), static_cast<std::size_t>(nameLength(*name)));
}

bool tracedName(const Run &run, const char *name) {
  const RunOptions &o = run.options;
  if (o.traceNames.empty())
    return true;
  for (const std::string &n : o.traceNames)
    if (n == name)
      return true;
  return false;
}

void trace(Run &run, const char *format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = formatted(format, args);
  va_end(args);
  writeLine(run, "trace: " + placeOfLine(run) + ": " + text + "\n");
}

void warn(Run &run, const char *format, ...) {
  if (!run.options.warn)
    return;
  va_list args;
  va_start(args, format);
  std::string text = formatted(format, args);
  va_end(args);
  // Once for each line of the template, whichever pass or call met it.
  std::string key = run.hasSource() ? describe(run, run.sourceDepth - 1, false)
                                    : std::string();
  if (!run.diagnostics.warned.insert(key + ": " + text).second)
    return;
  std::string line = "warning: " + placeOfLine(run) + ": " + text + "\n";
  ++run.templateMessages;
  writeLine(run, line);
}

std::string byteShown(std::uint8_t c) {
  if (c == CR)
    return "CR";
  if (c == LF)
    return "LF";
  if (c == 0)
    return "the end of the line";
  if (c == ' ')
    return "a blank";
  char text[8];
  if (c < 0x20 || c >= 0x7F)
    std::snprintf(text, sizeof text, "0x%02X", c);
  else
    std::snprintf(text, sizeof text, "'%c'", c);
  return text;
}

// Why the line loop ran into the end of a buffer without a line end: a
// file with LF line ends, a line of more than 256 bytes, or a last line
// without its line end.
void warnUnendedLine(Run &run) {
  if (!run.options.warn)
    return;
  const InputSource &src = run.source();
  const std::uint8_t *end = src.buffer + src.length;
  const auto *lf = static_cast<const std::uint8_t *>(
      std::memchr(src.buffer, LF, static_cast<std::size_t>(src.length)));
  if (lf && (lf == src.buffer || lf[-1] != CR))
    warnLfLineEnds(run);
  else if (end - src.buffer >= kLineMax)
    warn(run, "the line is longer than 256 bytes: it is split here, and a "
              "command cut by the split loses bytes");
  else
    warn(run, "the last line has no line end");
}

void nameCut(Run &run, const std::string &fullName) {
  if (!run.options.warn)
    return;
  auto [first, inserted] =
      run.diagnostics.cutNames.emplace(fullName.substr(0, 16), fullName);
  if (!inserted && first->second != fullName)
    warn(run,
         "%s is the same name as %s: only the first 16 characters of a "
         "name count",
         fullName.c_str(), first->second.c_str());
}

} // namespace veldran
