#include "base/run.h"

namespace veldran {

void abortRun(Run &run, ExitCode code) {
  run.stopCode = code;
  throw RunAborted{};
}

} // namespace veldran
