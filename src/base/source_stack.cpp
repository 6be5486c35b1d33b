#include "base/source_stack.h"

namespace veldran {

InputSource &pushSource(Run &run, SourceKind kind) {
  if (run.sourceDepth == run.sources.size())
    run.sources.push_back(std::make_unique<InputSource>());
  InputSource &src = *run.sources[run.sourceDepth++];
  run.currentSource = &src;
  src.lineNumber = 0;
  src.givenLine = false;
  src.label.clear();
  src.macroName = {};
  src.passNumber = 1;
  src.origin.clear();
  src.length = 0;
  src.position = 0;
  src.kind = kind;
  src.bodyStart = src.bodyEnd = src.bodyNext = 0;
  src.passesLeft = 0;
  src.storedAt = kNotStored;
  src.buffer = src.own;
  src.blockStart = src.blockEnd = 0;
  src.atEnd = false;
  return src;
}

void popSource(Run &run) {
  InputSource &src = run.source();
  // Only a file source is given a file, a block and a name.
  if (!src.isReplay()) {
    src.file.reset();
    src.block.reset();
    src.fileName.clear();
  }
  --run.sourceDepth;
  run.currentSource =
      run.sourceDepth > 0 ? run.sources[run.sourceDepth - 1].get() : nullptr;
}

InputSource &nearestFileSource(Run &run) {
  std::size_t i = run.sourceDepth;
  while (i > 1 && run.sources[i - 1]->isReplay())
    --i;
  return *run.sources[i - 1];
}

} // namespace veldran
