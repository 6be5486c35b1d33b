#include "base/fetch.h"

#include "base/messages.h"
#include "base/symbol_table.h"
#include "base/system_variables.h"

namespace veldran {

namespace {

void reportName(Run &run, const char *text, const Name &name) {
  report(run, "%s : %.*s\n", text, nameLength(name), name.data());
}

} // namespace

std::int64_t fetchNumeric(Run &run, const Name &name) {
  Lookup hit = lookupSymbol(run, LookupScope::ALL, name);
  if (!hit.found) {
    reportName(run, "numerische Variable nicht definiert", name);
    return 0;
  }
  SymbolEntry e = run.storage.entry(hit.entry);
  if (e.flags & SYM_TEXT) {
    reportName(run, "numerische Variable gesucht - Text gefunden", name);
    return 0;
  }
  if (e.flags & SYM_SYSTEM)
    systemValue(run, e);
  return e.value;
}

std::optional<SymbolEntry> fetchText(Run &run, const Name &name) {
  Lookup hit = lookupSymbol(run, LookupScope::ALL, name);
  if (!hit.found) {
    reportName(run, "Text-Variable nicht definiert", name);
    return std::nullopt;
  }
  SymbolEntry e = run.storage.entry(hit.entry);
  if (!(e.flags & SYM_TEXT)) {
    reportName(run, "Text-Variable gesucht - Nummer gefunden", name);
    return std::nullopt;
  }
  if (e.flags & SYM_SYSTEM)
    systemValue(run, e);
  return e;
}

} // namespace veldran
