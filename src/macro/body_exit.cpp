#include "macro/body_exit.h"

#include "base/collection.h"
#include "expr/conditional_blocks.h"

namespace veldran {

void leaveBody(Run &run) {
  dropCollection(run);
  bodyEnd(run, false);
  run.lineLength = run.keptLength;
  run.lineClassMax = CommandClass::None;
}

} // namespace veldran
