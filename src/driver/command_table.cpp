#include "driver/command_table.h"

#include "base/scanner.h"
#include "driver/console_commands.h"
#include "exec/exec_commands.h"
#include "expr/conditional_blocks.h"
#include "inline/inline_commands.h"
#include "macro/macro_commands.h"
#include "symbols/symbol_commands.h"

#include <array>
#include <bit>

namespace veldran {

constexpr CommandRow CommandTable[CMD_COUNT] = {
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
constexpr std::uint64_t wordAt(const Name &name, std::size_t index) {
  return std::bit_cast<std::array<std::uint64_t, 2>>(name)[index];
}

constexpr std::uint64_t kBlankWord = wordAt(makeName(""), 0);

// Open addressing over the first words: one multiply and, nearly always,
// one compare.
constexpr int kSlots = 64;
constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;

struct Slot {
  std::uint64_t word;
  int row; // -1: the slot is free
};

constexpr std::size_t slotOf(std::uint64_t word) {
  return static_cast<std::size_t>((word * kMultiplier) >> 58);
}

constexpr std::array<Slot, kSlots> kCommandSlots = [] {
  std::array<Slot, kSlots> t{};
  for (Slot &slot : t)
    slot.row = -1;
  for (int row = 0; row < CMD_COUNT; ++row) {
    std::uint64_t w = wordAt(CommandTable[row].name, 0);
    std::size_t i = slotOf(w);
    while (t[i].row >= 0)
      i = (i + 1) % kSlots;
    t[i] = {w, row};
  }
  return t;
}();

} // namespace

int findCommand(const Name &name) {
  if (wordAt(name, 1) != kBlankWord)
    return -1;
  std::uint64_t key = wordAt(name, 0);
  for (std::size_t i = slotOf(key); kCommandSlots[i].row >= 0;
       i = (i + 1) % kSlots)
    if (kCommandSlots[i].word == key)
      return kCommandSlots[i].row;
  return -1;
}

} // namespace veldran
