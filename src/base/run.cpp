#include "base/run.h"

namespace veldran {

void abortRun(Run &run, ExitCode code) {
  run.stopCode = code;
  throw RunAborted{};
}

void spendBudget(Run &run) {
  if (run.limits.lineBudget == 0)
    return;
  if (--run.limits.lineBudget == 0)
    abortRun(run, ExitCode::Stopped);
}

} // namespace veldran
