#include "driver/console_commands.h"

#include "base/collection.h"
#include "base/diagnostics.h"
#include "base/messages.h"
#include "base/scanner.h"
#include "base/source_stack.h"
#include "driver/reading.h"
#include "platform/include_path.h"

#include <string>

namespace veldran {

Next cmdCont(Run &run) {
  run.lineContinues = true;
  return skipLine(run);
}

Next cmdCancel(Run &run) { abortRun(run, ExitCode::Success); }

Next cmdDisp(Run &run) {
  if (run.currentChar != ':') {
    report(run, "missing control character after DISP :\n");
    return skipLine(run);
  }
  beginCollection(run, LineMode::Display);
  run.lineLength = 0;
  return Next::GoOn;
}

Next cmdInclude(Run &run) {
  if (run.currentChar != ':' && run.currentChar != ' ') {
    report(run, "Include separator invalid\n");
    return skipLine(run);
  }
  run.currentChar = ' ';
  skipBlanks(run);
  stepBack(run);
  beginCollection(run, LineMode::Include);
  run.lineLength = 0;
  return Next::GoOn;
}

namespace {

// An INCLUDE name that does not exist is looked for along the search path
// when one is given. Without a hit, the first try's error stands.
int openIncluded(Run &run, const std::string &name) {
  int error = openInputFile(run, name);
  if (error != Platform::kNotFound || !run.options.searchIncludes)
    return error;
  for (const std::string &candidate : includeCandidates(
           name, nearestFileSource(run).fileName, run.options.includePath))
    if (openInputFile(run, candidate) == 0)
      return 0;
  return error;
}

} // namespace

void displayLineEnd(Run &run) {
  stripLineEnd(run);
  run.lineBuffer[run.lineLength] = 0;
  say(run, "%s\n", reinterpret_cast<const char *>(run.lineBuffer));
}

void includeLineEnd(Run &run) {
  stripLineEnd(run);
  if (run.lineLength == 0) {
    report(run, "Include-Kommando leer\n");
    return;
  }
  run.lineBuffer[run.lineLength] = 0;
  std::string name(reinterpret_cast<const char *>(run.lineBuffer));
  if (traces(run, "INCLUDE"))
    trace(run, "INCLUDE %s", name.c_str());
  int error = openIncluded(run, name);
  if (error != 0) {
    sayAboutTemplate(run, "Include:%s DosOpen Error: return code = %d.\n",
                     name.c_str(), error);
    return;
  }
  ++run.includeDepth;
}

} // namespace veldran
