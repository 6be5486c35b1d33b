#include "base/run.h"

namespace veldran {

void abortRun(Run &) { throw RunAborted{}; }

void spendBudget(Run &run) {
  if (run.limits.lineBudget == 0)
    return;
  if (--run.limits.lineBudget == 0)
    abortRun(run);
}

} // namespace veldran
