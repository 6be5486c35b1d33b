// The processor's writes to the output file. Runs of plain lines may be
// held back in their input block so that large writes end where the output
// takes them best; every other write sends what is held first.
#pragma once

#include "base/messages.h"
#include "base/run.h"

namespace veldran {

// Writes out what is held back.
void releaseHeldOutput(Run &run);

// Writes bytes of the output, behind anything held back.
inline void writeBytes(Run &run, const std::uint8_t *bytes, std::size_t count) {
  if (run.heldOutput.count > 0)
    releaseHeldOutput(run);
  int error = 0;
  if (count > 0 && !run.output->write(bytes, count, error))
    outputFailed(run, error);
  run.outputOffset += count;
}

// Writes a run of plain lines lying in the block of `src`, up to the last
// multiple of the output's alignment it reaches; the rest is held back
// until the next write. The bytes must stay in the block until
// releaseHeldOutputIn or releaseHeldOutput says otherwise.
void writePlainRun(Run &run, const InputSource &src, const std::uint8_t *bytes,
                   std::size_t count);

// Called before the bytes of `src`'s block from `from` to `to` change:
// writes out what is held back there.
void releaseHeldOutputIn(Run &run, const InputSource &src,
                         const std::uint8_t *from, const std::uint8_t *to);

// Writes out what is held back and what the output buffers.
void flushOutput(Run &run);

} // namespace veldran
