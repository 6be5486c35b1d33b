// Console messages. Every message of the processor goes through the
// platform's console sink from here.
#pragma once

#include "base/run.h"

#include <cstdarg>

namespace veldran {

// `say` prints a formatted message; `report` prefixes it with the input
// line count and the current source's line number, `reportX` with the
// input line count and a literal x. What printf formats is written whole,
// zero bytes included. `report`, `reportX` and `sayAboutTemplate` count a
// message about the template (which fails a --strict run).
void say(Run &run, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
void sayAboutTemplate(Run &run, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
void report(Run &run, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
void reportX(Run &run, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
void vreportX(Run &run, const char *format, va_list args);
// `report` and `reportX` of a fixed text of the processor's own.
void reportText(Run &run, const char *text);
void reportXText(Run &run, const char *text);

// Reports a failed write to the output file (once per run); the run ends
// with exit code 1.
void outputFailed(Run &run, int error);

// The name as printed in messages: up to its last non-blank character.
int nameLength(const Name &name);

} // namespace veldran
