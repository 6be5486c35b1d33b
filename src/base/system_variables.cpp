#include "base/system_variables.h"

#include "base/scanner.h"
#include "base/source_stack.h"

namespace veldran {

namespace {

const char *const kSystemNames[kSystemVariableCount] = {
    "$COPYC",   "$DATE",   "$INPFCOU", "$INPFILN", "$LINE_A",
    "$LINE_FI", "$LINE_O", "$RC_LAST", "$RC_OS",   "$TIME_E"};

} // namespace

Name systemVariableName(std::uint32_t number) {
  return makeName(kSystemNames[number]);
}

void systemValue(Run &run, SymbolEntry &w) {
  switch (w.value) {
  case 0:
    w.value = run.includeDepth;
    break;
  case 1: {
    LocalDate d = run.platform.today();
    w.value = std::int64_t{d.day} * 10000 + d.month * 100 + d.year % 100;
    break;
  }
  case 2:
    w.value = lineValue(nearestFileSource(run).lineNumber);
    break;
  case 3:
    w.value = kFileNameText;
    w.length =
        static_cast<std::int32_t>(nearestFileSource(run).fileName.size());
    break;
  case 4:
    w.value = lineValue(run.inputLineCount);
    break;
  case 5:
    w.value = run.hasSource() ? lineValue(run.source().lineNumber) : 0;
    break;
  case 6:
    w.value = lineValue(run.outputLineNumber);
    break;
  case 7:
    w.value = run.rcLast;
    break;
  case 8:
    w.value = run.rcOs;
    break;
  case 9:
    w.value = run.timeElapsed;
    break;
  default:
    break;
  }
}

} // namespace veldran
