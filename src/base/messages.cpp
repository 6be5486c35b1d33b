#include "base/messages.h"

#include "base/diagnostics.h"

#include <cstdio>
#include <string>

namespace veldran {

namespace {

// The format is the processor's own text, shown as the console wants it;
// what it formats in (names, texts, bytes) is written as it is.
void vsay(Run &run, const char *prefix, const char *systemFormat,
          va_list args) {
  std::string storage;
  const char *format = run.platform.systemText(systemFormat, storage);
  char text[1024];
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(text, sizeof text, format, args);
  if (*prefix)
    run.platform.writeConsole(prefix, std::strlen(prefix));
  if (n >= static_cast<int>(sizeof text)) {
    std::string longText(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(longText.data(), longText.size(), format, again);
    run.platform.writeConsole(longText.data(), static_cast<std::size_t>(n));
  } else if (n > 0) {
    run.platform.writeConsole(text, static_cast<std::size_t>(n));
  }
  va_end(again);
}

std::int32_t currentLineNumber(Run &run) {
  return run.hasSource() ? lineValue(run.source().lineNumber) : 0;
}

} // namespace

void say(Run &run, const char *format, ...) {
  va_list args;
  va_start(args, format);
  vsay(run, "", format, args);
  va_end(args);
}

void sayAboutTemplate(Run &run, const char *format, ...) {
  ++run.templateMessages;
  va_list args;
  va_start(args, format);
  vsay(run, "", format, args);
  va_end(args);
  whereAfterMessage(run);
}

void report(Run &run, const char *format, ...) {
  ++run.templateMessages;
  char prefix[40];
  std::snprintf(prefix, sizeof prefix, "%ld/%ld ",
                static_cast<long>(lineValue(run.inputLineCount)),
                static_cast<long>(currentLineNumber(run)));
  va_list args;
  va_start(args, format);
  vsay(run, prefix, format, args);
  va_end(args);
  whereAfterMessage(run);
}

void reportX(Run &run, const char *format, ...) {
  va_list args;
  va_start(args, format);
  vreportX(run, format, args);
  va_end(args);
}

void vreportX(Run &run, const char *format, va_list args) {
  ++run.templateMessages;
  char prefix[40];
  std::snprintf(prefix, sizeof prefix, "%ld/x ",
                static_cast<long>(lineValue(run.inputLineCount)));
  vsay(run, prefix, format, args);
  whereAfterMessage(run);
}

void reportText(Run &run, const char *text) {
  std::string storage;
  report(run, "%s", run.platform.systemText(text, storage));
}

void reportXText(Run &run, const char *text) {
  std::string storage;
  reportX(run, "%s", run.platform.systemText(text, storage));
}

void outputFailed(Run &run, int error) {
  if (!run.writeFailed)
    say(run, "VELDRAN-l%05d-W WriteFile() Error %d.\n", 870, error);
  run.writeFailed = true;
}

int nameLength(const Name &name) {
  int n = static_cast<int>(kNameLength);
  while (n > 0 && name[n - 1] == ' ')
    --n;
  return n;
}

} // namespace veldran
