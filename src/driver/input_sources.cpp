#include "driver/input_sources.h"

#include "driver/replay.h"

namespace veldran {

namespace {

constexpr std::uint8_t kEndOfFileMark = 0x1A;

void skipEndOfFileMarks(InputSource &src) {
  while (src.position < src.length && src.buffer[src.position] == kEndOfFileMark)
    ++src.position;
}

// Tops the buffer of a file source up to a full line's worth of bytes.
void fillFileBuffer(Run &run, InputSource &src) {
  if (!src.file)
    return;
  int error = 0;
  long got = src.file->read(src.buffer + src.length,
                            static_cast<std::size_t>(kLineMax - src.length),
                            error);
  if (got < 0)
    say(run, "l%05d ReadFile() returned error %d\n", 750, error);
  else
    src.length += static_cast<int>(got);
}

// Ends a file or command-string source whose input is used up.
void endFileSource(Run &run) {
  if (run.source().file)
    --run.includeDepth;
  popSource(run);
}

} // namespace

InputSource &pushSource(Run &run) {
  if (run.sourceDepth == run.sources.size())
    run.sources.push_back(std::make_unique<InputSource>());
  InputSource &src = *run.sources[run.sourceDepth++];
  run.currentSource = &src;
  src.lineNumber = 0;
  src.length = 0;
  src.position = 0;
  src.kind = 0;
  src.bodyStart = src.bodyEnd = src.bodyNext = 0;
  src.passesLeft = 0;
  return src;
}

void popSource(Run &run) {
  InputSource &src = run.source();
  src.file.reset();
  src.fileName.clear();
  --run.sourceDepth;
  run.currentSource =
      run.sourceDepth > 0 ? run.sources[run.sourceDepth - 1].get() : nullptr;
}

int openInputFile(Run &run, const std::string &name) {
  int error = 0;
  std::unique_ptr<InputFile> file = run.platform.openInput(name, error);
  if (!file)
    return error;
  InputSource &src = pushSource(run);
  src.file = std::move(file);
  src.fileName = name;
  return 0;
}

bool readStep(Run &run) {
  run.keptLength = run.lineLength;
  for (;;) {
    if (!run.hasSource())
      return false;
    InputSource &src = run.source();
    if (src.isReplay()) {
      if (replayRead(run))
        break;
      continue;
    }
    fillFileBuffer(run, src);
    skipEndOfFileMarks(src);
    if (src.length > 0) {
      ++run.inputLineCount;
      break;
    }
    endFileSource(run);
    run.keptLength = run.lineLength;
  }
  spendBudget(run);
  ++run.source().lineNumber;
  run.lineContinues = false;
  return true;
}

void sourceLineEndStep(Run &run) {
  InputSource &src = run.source();
  if (src.position > src.length)
    src.position = src.length;
  skipEndOfFileMarks(src);
  int rest = src.length - src.position;
  std::memmove(src.buffer, src.buffer + src.position,
               static_cast<std::size_t>(rest));
  src.length = rest;
  src.position = 0;
}

} // namespace veldran
