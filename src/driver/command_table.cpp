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

int findCommand(const Name &name) {
  for (int row = 0; row < CMD_COUNT; ++row)
    if (CommandTable[row].name[0] == name[0] && CommandTable[row].name == name)
      return row;
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
