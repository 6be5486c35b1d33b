#include "symbols/fetch.h"

#include "symbols/symbol_table.h"
#include "symbols/system_variables.h"

namespace veldran {

namespace {

void reportName(Run &run, const char *text) {
  const Name &n = run.work.name;
  report(run, "%s : %.*s\n", text, nameLength(n), n.data());
}

} // namespace

void fetchNumeric(Run &run) {
  run.work.value = 0;
  Lookup hit = lookupSymbol(run, LookupScope::ALL, run.work.name);
  if (!hit.found) {
    reportName(run, "numerische Variable nicht definiert");
    return;
  }
  SymbolEntry e = run.storage.entry(hit.entry);
  if (e.flags & SYM_TEXT) {
    reportName(run, "numerische Variable gesucht - Text gefunden");
    return;
  }
  run.work.value = e.value;
  if (e.flags & SYM_SYSTEM)
    systemValue(run, e.value);
}

void fetchText(Run &run) {
  run.work.value = 0;
  Lookup hit = lookupSymbol(run, LookupScope::ALL, run.work.name);
  if (!hit.found) {
    reportName(run, "Text-Variable nicht definiert");
    run.work.flags &= ~SYM_DEFINED;
    return;
  }
  SymbolEntry e = run.storage.entry(hit.entry);
  if (!(e.flags & SYM_TEXT)) {
    reportName(run, "Text-Variable gesucht - Nummer gefunden");
    run.work.flags &= ~SYM_DEFINED;
    return;
  }
  run.work = e;
  if (e.flags & SYM_SYSTEM) {
    systemValue(run, e.value);
    run.work.flags |= SYM_DEFINED;
  }
}

} // namespace veldran
