#include "driver/commands.h"

#include "driver/scanner.h"

namespace veldran {

const CommandRow CommandTable[CMD_COUNT] = {
    {makeName("INT"), '0', '0', cmdInt},
    {makeName("TEXT"), '0', '0', cmdText},
    {makeName("HEXA"), '0', '0', cmdHexa},
    {makeName("TAB"), '0', '0', cmdTab},
    {makeName("CONT"), '0', '0', cmdCont},
    {makeName("SET"), '1', '0', cmdSet},
    {makeName("DEFT"), '1', '0', cmdDeft},
    {makeName("INCLUDE"), '1', '0', cmdInclude},
    {makeName("CANCEL"), '1', '0', cmdCancel},
    {makeName("DISP"), '1', '0', cmdDisp},
    {makeName("ACC"), '1', '0', cmdAcc},
    {makeName("IIF"), '2', '0', cmdIif},
    {makeName("IF"), '2', '1', cmdIf},
    {makeName("IFT"), '2', '1', cmdIft},
    {makeName("IFF"), '2', '1', cmdIff},
    {makeName("IFTF"), '2', '1', cmdIftf},
    {makeName("CEND"), '2', '1', cmdCend},
    {makeName("MACRO"), '2', '1', cmdMacro},
    {makeName("MEND"), '2', '1', cmdMend},
    {makeName("MEXIT"), '1', '0', cmdMexit},
    {makeName("MSET"), '1', '0', cmdMset},
    {makeName("MDEFT"), '1', '0', cmdMdeft},
    {makeName("RPT"), '2', '1', cmdRpt},
    {makeName("RPTN"), '2', '1', cmdRptn},
    {makeName("REND"), '2', '1', cmdRend},
    {makeName("REXIT"), '1', '0', cmdRexit},
    {makeName("EXECUTE"), '2', '0', cmdExecute},
    {makeName("CALL"), '2', '0', cmdCall},
    {makeName("COMPT"), '2', '0', cmdCompt},
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

Next suppressLine(Run &run) {
  run.lineMode = '0';
  skipRestOfLine(run);
  return Next::LineDone;
}

Next skipLine(Run &run) {
  skipRestOfLine(run);
  return Next::LineDone;
}

} // namespace veldran
