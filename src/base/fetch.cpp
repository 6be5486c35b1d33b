#include "base/fetch.h"

#include "base/messages.h"
#include "base/symbol_table.h"
#include "base/system_variables.h"

namespace veldran {

namespace {

// `format` takes the name's length and bytes.
void reportName(Run &run, const char *format, const Name &name)
    __attribute__((format(printf, 2, 0)));
void reportName(Run &run, const char *format, const Name &name) {
  report(run, format, nameLength(name), name.data());
}

} // namespace

std::int64_t fetchNumericEntry(Run &run, const Name &name, Lookup hit) {
  if (!hit.found) {
    reportName(run, "numerische Variable nicht definiert : %.*s\n", name);
    return 0;
  }
  SymbolEntry e = run.storage.entry(hit.entry);
  if (e.flags & SYM_TEXT) {
    reportName(run, "numerische Variable gesucht - Text gefunden : %.*s\n",
               name);
    return 0;
  }
  if (e.flags & SYM_SYSTEM)
    systemValue(run, e);
  return e.value;
}

std::int64_t fetchNumeric(Run &run, const Name &name) {
  return fetchNumeric(run, name, storedNameBit(name));
}

std::optional<SymbolEntry> fetchTextEntry(Run &run, const Name &name,
                                          Lookup hit) {
  if (!hit.found) {
    reportName(run, "Text-Variable nicht definiert : %.*s\n", name);
    return std::nullopt;
  }
  SymbolEntry e = run.storage.entry(hit.entry);
  if (!(e.flags & SYM_TEXT)) {
    reportName(run, "Text-Variable gesucht - Nummer gefunden : %.*s\n", name);
    return std::nullopt;
  }
  if (e.flags & SYM_SYSTEM)
    systemValue(run, e);
  return e;
}

} // namespace veldran
