#include "driver/command_table.h"

#include "base/scanner.h"
#include "driver/console_commands.h"
#include "exec/exec_commands.h"
#include "expr/conditional_blocks.h"
#include "inline/inline_commands.h"
#include "macro/macro_commands.h"
#include "symbols/symbol_commands.h"

#include <array>

namespace veldran {

const CommandRow CommandTable[CMD_COUNT] = {
    {makeName("INT"), CommandClass::Inline, false, cmdInt},
    {makeName("TEXT"), CommandClass::Inline, false, cmdText},
    {makeName("HEXA"), CommandClass::Inline, false, cmdHexa},
    {makeName("TAB"), CommandClass::Inline, false, cmdTab},
    {makeName("CONT"), CommandClass::Inline, false, cmdCont},
    {makeName("SET"), CommandClass::Line, false, cmdSet},
    {makeName("DEFT"), CommandClass::Line, false, cmdDeft},
    {makeName("INCLUDE"), CommandClass::Line, false, cmdInclude},
    {makeName("CANCEL"), CommandClass::Line, false, cmdCancel},
    {makeName("DISP"), CommandClass::Line, false, cmdDisp},
    {makeName("ACC"), CommandClass::Line, false, cmdAcc},
    {makeName("IIF"), CommandClass::Block, false, cmdIif},
    {makeName("IF"), CommandClass::Block, true, cmdIf},
    {makeName("IFT"), CommandClass::Block, true, cmdIft},
    {makeName("IFF"), CommandClass::Block, true, cmdIff},
    {makeName("IFTF"), CommandClass::Block, true, cmdIftf},
    {makeName("CEND"), CommandClass::Block, true, cmdCend},
    {makeName("MACRO"), CommandClass::Block, true, cmdMacro},
    {makeName("MEND"), CommandClass::Block, true, cmdMend},
    {makeName("MEXIT"), CommandClass::Line, false, cmdMexit},
    {makeName("MSET"), CommandClass::Line, false, cmdMset},
    {makeName("MDEFT"), CommandClass::Line, false, cmdMdeft},
    {makeName("RPT"), CommandClass::Block, true, cmdRpt},
    {makeName("RPTN"), CommandClass::Block, true, cmdRptn},
    {makeName("REND"), CommandClass::Block, true, cmdRend},
    {makeName("REXIT"), CommandClass::Line, false, cmdRexit},
    {makeName("EXECUTE"), CommandClass::Block, false, cmdExecute},
    {makeName("CALL"), CommandClass::Block, false, cmdCall},
    {makeName("COMPT"), CommandClass::Block, false, cmdCompt},
};

namespace {

// Command words have at most 8 characters, so a name is compared as one
// 8-byte word after checking that the rest is blank.
std::uint64_t firstWord(const Name &name) {
  std::uint64_t w;
  std::memcpy(&w, name.data(), sizeof w);
  return w;
}

bool restIsBlank(const Name &name) {
  static const std::uint64_t blanks = firstWord(makeName(""));
  std::uint64_t w;
  std::memcpy(&w, name.data() + 8, sizeof w);
  return w == blanks;
}

} // namespace

int findCommand(const Name &name) {
  // Open addressing over the first words: one multiply and, nearly always,
  // one compare.
  constexpr int kSlots = 64;
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  struct Slot {
    std::uint64_t word;
    int row;
  };
  static const auto slots = [] {
    std::array<Slot, kSlots> t{};
    for (Slot &slot : t)
      slot.row = -1;
    for (int row = 0; row < CMD_COUNT; ++row) {
      std::uint64_t w = firstWord(CommandTable[row].name);
      std::size_t i = (w * kMultiplier) >> 58;
      while (t[i].row >= 0)
        i = (i + 1) % kSlots;
      t[i] = {w, row};
    }
    return t;
  }();
  if (!restIsBlank(name))
    return -1;
  std::uint64_t key = firstWord(name);
  for (std::size_t i = (key * kMultiplier) >> 58; slots[i].row >= 0;
       i = (i + 1) % kSlots)
    if (slots[i].word == key)
      return slots[i].row;
  return -1;
}

} // namespace veldran
