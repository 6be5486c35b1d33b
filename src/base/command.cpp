#include "base/command.h"

#include "base/scanner.h"

namespace veldran {

Next suppressLine(Run &run) {
  run.lineMode = LineMode::Suppressed;
  skipRestOfLine(run);
  return Next::LineDone;
}

Next skipLine(Run &run) {
  skipRestOfLine(run);
  return Next::LineDone;
}

} // namespace veldran
