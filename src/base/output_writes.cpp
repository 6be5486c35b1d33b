#include "base/output_writes.h"

#include "base/messages.h"

namespace veldran {

namespace {

// Writes the first `count` held bytes; the others stay held.
void releaseHeldPart(Run &run, std::size_t count) {
  HeldOutput rest = run.heldOutput;
  rest.bytes += count;
  rest.count -= count;
  run.heldOutput.count = 0;
  writeBytes(run, run.heldOutput.bytes, count);
  run.heldOutput = rest;
}

} // namespace

void releaseHeldOutput(Run &run) { releaseHeldPart(run, run.heldOutput.count); }

void releaseHeldOutputIn(Run &run, const InputSource &src,
                         const std::uint8_t *from, const std::uint8_t *to) {
  const HeldOutput &held = run.heldOutput;
  const std::uint8_t *end = held.bytes + held.count;
  if (held.count == 0 || held.source != &src || end <= from || held.bytes >= to)
    return;
  // Usually only the first bytes lie where the block is read anew: the
  // others stay held.
  if (held.bytes >= from && end > to)
    releaseHeldPart(run, static_cast<std::size_t>(to - held.bytes));
  else
    releaseHeldOutput(run);
}

void writePlainRun(Run &run, const InputSource &src, const std::uint8_t *bytes,
                   std::size_t count) {
  std::uint64_t unit = run.outputAlignment;
  if (unit == 0) {
    writeBytes(run, bytes, count);
    return;
  }
  HeldOutput &held = run.heldOutput;
  bool joins = held.count == 0 ||
               (held.source == &src && held.bytes + held.count == bytes);
  std::uint64_t end = run.outputOffset + held.count + count;
  std::uint64_t cut = end - end % unit;
  if (cut <= run.outputOffset) {
    // No boundary reached: all of it waits for the next run.
    if (!joins)
      releaseHeldOutput(run);
    if (held.count == 0)
      held = {&src, bytes, 0};
    held.count += count;
    return;
  }
  // What is held never reaches a boundary, so some new bytes go out too.
  auto taken = static_cast<std::size_t>(cut - run.outputOffset - held.count);
  int error = 0;
  bool written = joins ? run.output->write(held.count > 0 ? held.bytes : bytes,
                                           held.count + taken, error)
                       : run.output->writeJoined(held.bytes, held.count, bytes,
                                                 taken, error);
  if (!written)
    outputFailed(run, error);
  run.outputOffset = cut;
  held = {&src, bytes + taken, count - taken};
}

void flushOutput(Run &run) {
  releaseHeldOutput(run);
  int error = 0;
  if (!run.output->flush(error))
    outputFailed(run, error);
}

} // namespace veldran
