// Opt-in help for finding mistakes in templates, all on standard error and
// never in the console bytes: where a message comes from (--where), a trace
// of the commands carried out (--trace) and warnings of traps nobody sees
// (--warn). Every entry point returns at once when its option is off.
#pragma once

#include "base/run.h"

#include <string>

namespace veldran {

// Where the current line comes from: "main.inp:4", "lib.inc:3, included
// from main.inp:4", "in macro ROW (body line 2), called at report.inp:12",
// "in repeat pass 3 of report.inp:20", "in EXECUTE at report.inp:31".
std::string placeOfLine(const Run &run);

// After a message: the line that tells where it came from.
void whereAfterMessage(Run &run);
// After an end-of-run message: where each block still open began.
void whereOpenBlocks(Run &run);
void whereOpenRecording(Run &run);

// Bookkeeping of open blocks for the end-of-run report, kept only with
// --where: an IF opened or closed, a replayed body started or ended, a
// MACRO or RPT/RPTN recording (or pass-over) begun.
void blockOpened(Run &run);
void blockClosed(Run &run);
void bodyScopeStarted(Run &run);
void bodyScopeEnded(Run &run);
void recordingBegun(Run &run, const char *command, const Name *name);

// --trace: whether `name` (a command or a macro) is traced, and the trace
// line "trace: PLACE: TEXT".
bool tracedName(const Run &run, const char *name);
inline bool traces(const Run &run, const char *name) {
  return run.options.trace && tracedName(run, name);
}
void trace(Run &run, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

// --warn: the warning "warning: PLACE: TEXT", once for each place and
// text. It counts as a message about the template.
void warn(Run &run, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
// The line ran into the end of its buffer: warns of a file with LF line
// ends (once a file), a line of more than 256 bytes, or a last line
// without line end.
void warnUnendedLine(Run &run);
// A byte as a warning shows it: 'x', CR, LF, "the end of the line" for the
// 0 read behind it, or 0xNN.
std::string byteShown(std::uint8_t c);
// A name longer than 16 characters was cut: warns when another name cut
// to the same 16 characters was met before.
void nameCut(Run &run, const std::string &fullName);

} // namespace veldran
