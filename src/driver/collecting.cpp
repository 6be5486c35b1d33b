#include "driver/collecting.h"

#include "driver/line_loop.h"
#include "symbols/symbol_table.h"

namespace veldran {

bool beginCollection(Run &run, char mode) {
  if (run.lineMode != 'F')
    return false;
  run.lineMode = mode;
  saveKeptPrefix(run);
  trackCollection(run, static_cast<std::uint32_t>(run.keptLength) + 4, 0);
  return true;
}

void stripLineEnd(Run &run) {
  if (run.lineLength > 0 && run.lineBuffer[run.lineLength - 1] == LF)
    --run.lineLength;
  if (run.lineLength > 0 && run.lineBuffer[run.lineLength - 1] == CR)
    --run.lineLength;
}

} // namespace veldran
