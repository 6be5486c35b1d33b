// The pending collection: what a command that collects the rest of its
// line pushed on the variable stack, from the command until the line ends.
//
// DISP, INCLUDE, EXECUTE and CALL push the line's kept prefix; DEFT and
// MDEFT push it with the text target word below it; a macro call pushes a
// copy of the macro's entry with the kept prefix below it. The items are
// located by their distance below the innermost symbol table, which no
// table insertion changes. The line's end takes them off and puts the kept
// prefix back, whether or not a later command on the line overrode the
// collecting mode; so do MEXIT, REXIT, CEND, MACRO, a second macro call
// and the end of a body, before they change the stack themselves.
#pragma once

#include "base/run.h"

namespace veldran {

// DISP, INCLUDE, EXECUTE, CALL: a normal line switches to `mode` and its
// kept prefix is saved. A line already in another mode keeps it and
// nothing is pushed.
void beginCollection(Run &run, LineMode mode);
// DEFT, MDEFT: as beginCollection with LineMode::Text, with the text
// target word pushed too. The target is kept for the line's end.
void beginTextCollection(Run &run, const PendingTextTarget &target);
// A macro call: the macro's entry copy and the kept prefix are pushed and
// the line collects its arguments, whatever its mode was.
void beginCallCollection(Run &run, const SymbolEntry &macro);

// Takes a pending collection's items off the variable stack and puts the
// saved kept prefix back into lineBuffer.
void dropPendingCollection(Run &run);
// The same; nothing happens when none is pending.
inline void dropCollection(Run &run) {
  if (run.collection.pending)
    dropPendingCollection(run);
}

// The items are the saved kept prefix alone, on top of the stack: a macro
// call that has bound its arguments and given its entry copy back.
void collectPrefixOnly(Run &run);
// The saved kept prefix is handed to an executed line, whose end puts it
// back: the line's end leaves it alone.
void handOverCollection(Run &run);

} // namespace veldran
